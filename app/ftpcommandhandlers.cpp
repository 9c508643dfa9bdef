// The application's FTP commands: opening from and saving to the servers of
// the FTP server list.
#include "app/ftpcommands.h"
#include "app/quorelapp.h"
#include "document/quoreldoc.h"
#include "editor/childframe.h"
#include "editor/mainframe.h"
#include "ftp/ftpprompter.h"
#include "platform/quorelids.h"

#include <QAction>
#include <QDialog>
#include <QFileInfo>
#include <QMdiArea>

void CQuorelApp::connectFtpCommands()
{
    m_ftpPrompter = std::make_unique<WidgetFtpPrompter>();
    m_ftpContext.prompter = m_ftpPrompter.get();
    m_ftpContext.iniPath = m_settings.ftpServerListPath();
    m_ftpContext.localFolder = QuorelSettings::localFtpFolder();
    m_ftpContext.tempDirectory = m_settings.tempDirectory();
    m_ftpContext.appName = m_context.appName;
    m_ftpContext.openDocument = [this](const QString &path, const RemoteOrigin &origin) {
        CQuorelDoc *doc = openReported(path);
        if (doc) {
            doc->setRemoteOrigin(origin);
            showEntryPlace(doc->id());
        }
        return doc != nullptr;
    };
    m_ftpContext.openCopy = [this](const QString &path) {
        FtpContext::OpenCopy copy;
        if (CQuorelDoc *doc = openDocumentAt(path)) {
            copy.open = true;
            copy.origin = doc->remoteOrigin();
        }
        return copy;
    };
    m_ftpContext.showDocument = [this](const QString &path) {
        if (CQuorelDoc *doc = openDocumentAt(path))
            activateDocument(doc);
    };

    m_ftpContext.warnPlainFtpOnce
        = [this](const QString &server) { return m_settings.takePlainFtpNotice(server); };
    // After the frame's own handler has saved: the file goes back to its server.
    connect(m_mainFrame->action(ids::command::kFileSave), &QAction::triggered, this, [this] {
        if (CChildFrame *frame = m_mainFrame->activeChildFrame(); frame && frame->document())
            OnSaveBackToServer(*frame->document(), m_ftpContext);
    });

    connect(m_mainFrame->action(ids::command::kFtpOpen), &QAction::triggered, this,
        [this] { OnFtpOpen(m_ftpContext); });
    m_mainFrame->action(ids::command::kFtpOpen)->setEnabled(true);
    connect(m_mainFrame->action(ids::command::kFtpSave), &QAction::triggered, this, [this] {
        if (CChildFrame *frame = m_mainFrame->activeChildFrame(); frame && frame->document())
            OnFtpSave(*frame->document(), m_ftpContext);
    });
    m_mainFrame->registerDocumentCommand(ids::command::kFtpSave);
}

QString CQuorelApp::OnFtpOpenForWizard()
{
    return downloadFileFromFtp(m_ftpContext);
}

CQuorelDoc *CQuorelApp::openDocumentAt(const QString &path) const
{
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (CQuorelDoc *doc : documents()) {
        if (!doc->isReadOnly() && !doc->GetPathName().isEmpty()
            && QFileInfo(doc->GetPathName()).absoluteFilePath() == wanted)
            return doc;
    }
    return nullptr;
}

void CQuorelApp::activateDocument(CQuorelDoc *doc)
{
    for (CChildFrame *frame : m_mainFrame->childFrames()) {
        if (frame->document() == doc && frame->isVisible()) {
            m_mainFrame->mdiArea()->setActiveSubWindow(frame);
            return;
        }
    }
}
