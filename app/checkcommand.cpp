#include "app/checkcommand.h"

#include <QAction>
#include <QFileInfo>
#include <QMdiArea>
#include <QRegularExpression>

#include "app/checkorigindialog.h"
#include "app/zoneorigin.h"
#include "document/documentconversion.h"
#include "document/prompter.h"
#include "document/quoreldoc.h"
#include "document/textfile.h"
#include "editor/childframe.h"
#include "editor/mainframe.h"
#include "editor/quorelview.h"
#include "panes/checkresultpane.h"
#include "platform/quorelids.h"
#include "platform/settings.h"

namespace {

const QString kTitle = QStringLiteral("검사");

// Both servers' files are "web server" text to the converter; their syntax
// tells them apart: Apache's sections are tags, nginx's are braces and its
// directives end with ';'.
bool looksLikeNginx(const QByteArray &bytes)
{
    const QString text = QString::fromLatin1(bytes);
    static const QRegularExpression apacheSection(
        QStringLiteral("^\\s*</?(VirtualHost|Directory|Location|Files|IfModule|Proxy)\\b"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    if (apacheSection.match(text).hasMatch())
        return false;
    static const QRegularExpression nginxSyntax(
        QStringLiteral("^\\s*[a-z_]+\\b[^#\\n]*(\\{|;)\\s*$"), QRegularExpression::MultilineOption);
    return nginxSyntax.match(text).hasMatch();
}

QString nameOf(const CQuorelDoc &doc)
{
    return doc.GetPathName().isEmpty() ? doc.GetTitle() : QFileInfo(doc.GetPathName()).fileName();
}

} // namespace

std::optional<CheckKind> checkKindOf(const CQuorelDoc &doc, const QByteArray &bytes)
{
    namecodec::FileKind kind = documentConversionKind(doc, bytes);
    if (kind == namecodec::FileKind::Auto)
        kind = namecodec::detectFileKind(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    switch (kind) {
    case namecodec::FileKind::Zone:
        return CheckKind::Zone;
    case namecodec::FileKind::NamedConf:
        return CheckKind::NamedConf;
    case namecodec::FileKind::WebServer:
        return looksLikeNginx(bytes) ? CheckKind::Nginx : CheckKind::Apache;
    default:
        return std::nullopt;
    }
}

CheckCommand::CheckCommand(CMainFrame &frame, QuorelSettings &settings, Prompter &prompter, QObject *parent)
    : QObject(parent)
    , m_frame(frame)
    , m_settings(settings)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("checkCommand"));
    connect(m_frame.action(ids::command::kCheckDocument), &QAction::triggered, this,
        &CheckCommand::OnCheckDocument);
    connect(&m_runner, &CheckRunner::finished, this, &CheckCommand::onFinished);
}

void CheckCommand::OnCheckDocument()
{
    CQuorelDoc *doc = m_frame.activeDocument();
    if (!doc)
        return;
    if (m_runner.isRunning()) {
        m_frame.SetStatusText(QStringLiteral("앞의 검사가 아직 끝나지 않았습니다."));
        return;
    }
    const EncodeResult encoded
        = encodeDocument(*doc->textBuffer(), doc->encoding(), doc->lineEnding(), doc->hasByteOrderMark());
    if (!encoded.ok()) {
        m_prompter.information(encoded.message, kTitle);
        return;
    }
    const std::optional<CheckKind> kind = checkKindOf(*doc, encoded.bytes);
    if (!kind) {
        m_prompter.information(QStringLiteral("검사할 수 있는 것은 존 파일, named.conf, Apache와 nginx의 "
                                              "설정 파일입니다. 이 문서는 그중 어느 것도 아닙니다."),
            kTitle);
        return;
    }
    CheckRequest request;
    request.kind = *kind;
    request.bytes = encoded.bytes;
    request.encoding = doc->encoding();
    request.displayName = nameOf(*doc);
    request.tempDirectory = m_settings.tempDirectory();
    if (request.kind == CheckKind::Zone) {
        request.origin = zoneOrigin(*doc, documentText(*doc->textBuffer()));
        if (request.origin.isEmpty())
            return;
    }
    const QString error = m_runner.start(request);
    if (!error.isEmpty()) {
        m_frame.SetStatusText(error.section(QLatin1Char('\n'), 0, 0));
        m_prompter.information(error, kTitle);
        return;
    }
    m_checked = doc;
    m_checkedName = request.displayName;
    m_frame.SetStatusText(QStringLiteral("%1 파일을 %2(으)로 검사하고 있습니다...")
                              .arg(request.displayName, CheckRunner::programFor(request.kind)));
}

QString CheckCommand::zoneOrigin(const CQuorelDoc &doc, const QString &text)
{
    const QString path = doc.GetPathName();
    if (!path.isEmpty()) {
        const QString remembered = m_settings.checkOrigin(path);
        if (!remembered.isEmpty())
            return remembered;
    }
    CheckOriginDialog dialog(nameOf(doc), guessZoneOrigin(text, nameOf(doc)), &m_frame);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QString origin = dialog.origin();
    if (!path.isEmpty())
        m_settings.setCheckOrigin(path, origin);
    return origin;
}

void CheckCommand::onFinished(const CheckReport &report)
{
    showReport(m_checkedName, report);
    m_frame.SetStatusText(report.summary);
}

void CheckCommand::showReport(const QString &documentName, const CheckReport &report)
{
    CheckResultPane *pane = ensurePane();
    pane->begin(documentName);
    for (const CheckFinding &finding : report.findings)
        pane->addFinding(finding.line, finding.message);
    pane->finish(report.ok, report.summary);
    pane->show();
    pane->raise();
}

CheckResultPane *CheckCommand::ensurePane()
{
    if (!m_pane) {
        m_pane = new CheckResultPane(&m_frame);
        m_frame.addDockWidget(Qt::BottomDockWidgetArea, m_pane);
        connect(m_pane, &CheckResultPane::lineActivated, this, &CheckCommand::goToLine);
    }
    return m_pane;
}

void CheckCommand::goToLine(int line)
{
    // The rows belong to the document checked, whichever window is active now.
    if (!m_checked)
        return;
    auto *frame = qobject_cast<CChildFrame *>(m_checked->frame());
    if (!frame || !frame->view())
        return;
    m_frame.mdiArea()->setActiveSubWindow(frame);
    frame->view()->goToLine(line, 1);
    frame->view()->setFocus();
}
