// "Update정보(&U)..." opens the update notes of the installation that
// ProPathName names, read afresh each time.
#include <QApplication>
#include <QFile>
#include <QTextBrowser>
#include <QTimer>

#include "apptestfixture.h"
#include "panes/updateinfodialog.h"
#include "platform/quorelids.h"

namespace {

// Triggers 32791 and returns what the modal window showed.
QString notesShown(CMainFrame *frame)
{
    QString shown;
    QTimer::singleShot(0, [&shown] {
        auto *dialog = qobject_cast<CUpdateInfoDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shown = dialog->notes()->toPlainText();
        dialog->accept();
    });
    QAction *action = frame->action(ids::command::kUpdateInfo);
    EXPECT_TRUE(action->isEnabled());
    EXPECT_EQ(action->text(), QStringLiteral("Update정보(&U)..."));
    action->trigger();
    return shown;
}

} // namespace

TEST_F(AppTest, UpdateInfoShowsTheInstallationsNotesReadAfreshEachTime)
{
    const QString install = startInstalled();
    EXPECT_EQ(notesShown(frame()), QStringLiteral("업데이트 정보가 없습니다"));

    QFile notes(install + QStringLiteral("/updateinfo.rtf"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("{\\rtf1\\ansi\\ansicpg949 {\\b \\'c3\\'b9 \\'c1\\'d9}\\par \\u54620?\\u44397?\\par}");
    notes.close();
    EXPECT_EQ(notesShown(frame()), QStringLiteral("첫 줄\n한국"));
}
