#include "editor/outcomereport.h"

#include "document/documentcontext.h"
#include "document/documentconversion.h"
#include "document/prompter.h"
#include "document/quoreldoc.h"
#include "editor/conversionresult.h"
#include "editor/convresultdialog.h"
#include "editor/mainframe.h"
#include "editor/quorelview.h"
#include "editor/viewconversion.h"

#include <QPointer>
#include <QStringList>

bool reportOutcome(const CQuorelDoc &doc, const DocumentOutcome &outcome)
{
    const DocumentContext &context = doc.context();
    if (!outcome.message.isEmpty() && context.prompter)
        context.prompter->information(outcome.message, context.appName);
    return outcome.ok();
}

QString conversionFaultsText(const ConversionFaults &faults)
{
    QStringList lines;
    for (qsizetype i = 0; i < faults.size() && i < kMaxListedFaults; ++i)
        lines << faults.at(i).text();
    if (faults.size() > kMaxListedFaults)
        lines << QStringLiteral("외 %1줄").arg(faults.size() - kMaxListedFaults);
    return lines.join(QLatin1Char('\n'));
}

QString conversionFailedStatus(const ConversionFaults &faults)
{
    if (faults.isEmpty())
        return conversionFailedText();
    QString text = conversionFailedText() + QLatin1Char(' ') + faults.front().text();
    if (faults.size() > 1)
        text += QStringLiteral(" 외 %1줄").arg(faults.size() - 1);
    return text;
}

void reportConversionFailure(
    CMainFrame &frame, CQuorelView *view, const CQuorelDoc &doc, const DocumentOutcome &outcome)
{
    reportOutcome(doc, outcome);
    frame.SetStatusText(conversionFailedStatus(outcome.faults));
    if (outcome.line > 0 && view)
        showFailingLine(*view, outcome.line);
    const DocumentContext &context = doc.context();
    if (!outcome.faults.isEmpty() && context.prompter)
        context.prompter->information(
            conversionFailedText() + QStringLiteral("\n\n") + conversionFaultsText(outcome.faults),
            context.appName);
}

void reportConversionWarnings(CMainFrame &frame, CQuorelView *view, const ConversionWarnings &warnings)
{
    // Only the last conversion's list: an older one names lines that have
    // moved since.
    for (CConvResultDialog *old : frame.findChildren<CConvResultDialog *>(
             CConvResultDialog::warningsName(), Qt::FindDirectChildrenOnly))
        old->close();
    if (warnings.isEmpty())
        return;
    frame.SetStatusText(conversionWarningsStatus(warnings));
    auto *dialog = new CConvResultDialog(warnings, &frame);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<CQuorelView> target(view);
    QObject::connect(dialog, &CConvResultDialog::lineRequested, dialog, [target](int line, int column) {
        if (target)
            target->goToLine(line, column);
    });
    dialog->show();
}
