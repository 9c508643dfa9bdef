// The application's FTP commands: opening from and saving to the servers of
// the FTP server list.
#include "app/quorelapp.h"
#include "editor/childframe.h"
#include "editor/mainframe.h"
#include "ftp/ftpcommands.h"
#include "ftp/ftpprompter.h"
#include "platform/quorelids.h"

#include <QAction>
#include <QDialog>

void CQuorelApp::connectFtpCommands()
{
    m_ftpPrompter = std::make_unique<WidgetFtpPrompter>();
    m_ftpContext.prompter = m_ftpPrompter.get();
    m_ftpContext.iniPath = m_settings.ftpServerListPath();
    m_ftpContext.localFolder = QuorelSettings::localFtpFolder();
    m_ftpContext.tempDirectory = m_settings.tempDirectory();
    m_ftpContext.appName = m_context.appName;
    m_ftpContext.openDocument = [this](const QString &path) { return openReported(path) != nullptr; };

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
