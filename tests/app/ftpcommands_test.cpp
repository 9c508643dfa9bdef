// The FTP commands as the main frame offers them.
#include "apptestfixture.h"

#include "ftp/ftpopendialog.h"
#include "platform/quorelids.h"

#include <QDialog>
#include <QLineEdit>

namespace {

using FtpCommandsTest = AppTest;

TEST_F(FtpCommandsTest, OpenAndSaveRunTheBrowserInTheirModes)
{
    ASSERT_TRUE(start());
    // Without FtpOpenIniPath the list is the user's own, beside the settings.
    EXPECT_EQ(app->ftpContext().iniPath, dir.filePath(QStringLiteral("QuorelFtpServers.ini")));
    EXPECT_TRUE(app->ftpContext().localFolder.endsWith(QStringLiteral("/Quindale")));
    QStringList seen;
    app->ftpContext().execDialog = [&seen](QDialog &dialog) {
        auto *browser = qobject_cast<CFtpOpenDialog *>(&dialog);
        EXPECT_NE(browser, nullptr);
        seen << dialog.windowTitle() + QLatin1Char('|')
                + dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        return int(QDialog::Rejected);
    };
    trigger(ids::command::kFtpOpen);
    const QString path = file("hosts.zone", "@ IN A 10.0.0.1\n");
    ASSERT_NE(app->OpenDocumentFile(path), nullptr);
    settle();
    trigger(ids::command::kFtpSave);
    EXPECT_EQ(seen, (QStringList {QStringLiteral("FTP 열기|"), QStringLiteral("FTP 저장하기|hosts.zone")}));
    // The wizard's entry point runs the open mode, and a closed browser gives nothing.
    EXPECT_EQ(app->OnFtpOpenForWizard(), QString());
    EXPECT_EQ(seen.size(), 3);

    // The machine-wide value names the list when the installation set it.
    machine->setValue(QStringLiteral("FtpOpenIniPath"), dir.filePath(QStringLiteral("shared.ini")));
    EXPECT_EQ(app->settings().ftpServerListPath(), dir.filePath(QStringLiteral("shared.ini")));
}

} // namespace
