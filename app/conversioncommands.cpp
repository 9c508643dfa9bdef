// The application's conversion commands: the string converter it keeps and
// the whole-document conversion of the active window.
#include "app/quorelapp.h"
#include "document/documentconversion.h"
#include "document/prompter.h"
#include "document/quoreldoc.h"
#include "editor/childframe.h"
#include "editor/mainframe.h"
#include "editor/outcomereport.h"
#include "editor/quorelview.h"
#include "editor/stringconvertdialog.h"
#include "editor/viewconversion.h"
#include "platform/quorelids.h"
#include "wizard/convwizardsheet.h"

#include <QAction>
#include <QPointer>

void CQuorelApp::connectConversionCommands()
{
    connect(m_mainFrame->action(ids::command::kStringConvert), &QAction::triggered, this,
        [this] { OnStringConvert(); });
    m_mainFrame->action(ids::command::kStringConvert)->setEnabled(true);
    connect(m_mainFrame->action(ids::command::kConvWizard), &QAction::triggered, this,
        [this] { OnConvWizard(); });
    m_mainFrame->action(ids::command::kConvWizard)->setEnabled(true);
    connect(m_mainFrame->action(ids::command::kConvertToPunycode), &QAction::triggered, this,
        [this] { OnConvertDocument(namecodec::Encoding::Cp949, namecodec::Encoding::Punycode); });
    connect(m_mainFrame->action(ids::command::kConvertToEucKr), &QAction::triggered, this,
        [this] { OnConvertDocument(namecodec::Encoding::Punycode, namecodec::Encoding::Cp949); });
    // Enabled while a document window is active.
    m_mainFrame->registerDocumentCommand(ids::command::kConvertToPunycode);
    m_mainFrame->registerDocumentCommand(ids::command::kConvertToEucKr);
}

CStringConvertDialog *CQuorelApp::stringConverter() const
{
    return m_stringConverter;
}

void CQuorelApp::OnStringConvert()
{
    if (!m_stringConverter) {
        m_stringConverter = new CStringConvertDialog(m_mainFrame.get());
        m_stringConverter->setMessageHandler(
            [this](const QString &text) { m_prompter.information(text, m_context.appName); });
    }
    m_stringConverter->exec();
}

void CQuorelApp::OnConvWizard()
{
    ConvWizardServices services;
    services.prompter = &m_prompter;
    services.settings = &m_settings;
    services.commentOption = [this] { return m_commentOption; };
    services.openFilter = m_templates.openFilter();
    services.openDocument = [this](const QString &path) { openReported(path); };
    services.appName = m_context.appName;
    CConvWizardSheet sheet(std::move(services), m_mainFrame.get());
    // "FTP 불러오기": the browser in open mode; the file it downloaded last
    // (already open in an editor window) becomes the source.
    sheet.setFtpSourceFetcher([this](QWidget *) { return OnFtpOpenForWizard(); });
    sheet.exec();
}

bool CQuorelApp::OnConvertDocument(namecodec::Encoding from, namecodec::Encoding to)
{
    CChildFrame *frame = m_mainFrame->activeChildFrame();
    if (!frame || !frame->document())
        return false;
    const QPointer<CQuorelView> view = frame->view();
    const QPointer<CQuorelDoc> doc = frame->document();
    const bool readOnly = doc->isReadOnly();
    const DocumentOutcome outcome = ConvertDocument(*doc, from, to);
    if (outcome)
        reportConversionWarnings(*m_mainFrame, view, outcome.warnings);
    if (outcome || !doc)
        return outcome.ok();
    // A refused read-only copy was not converted at all: only its message.
    if (readOnly)
        reportOutcome(*doc, outcome);
    else
        reportConversionFailure(*m_mainFrame, view, *doc, outcome);
    return false;
}
