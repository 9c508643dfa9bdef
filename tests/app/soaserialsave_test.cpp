// Counting the SOA serial on when a zone file is saved, as a user reaches
// it: the option turned on in "환경 설정", a change typed, Ctrl+S, Ctrl+Z.
#include "../support/modalscript.h"
#include "../support/testmain.h"
#include "apptestfixture.h"
#include "editor/preferencesdialog.h"
#include "platform/quorelids.h"

#include <QCheckBox>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

namespace {

const QByteArray kZone = "$TTL 3600\n"
                         "@\tIN\tSOA\tns1.example.com. hostmaster.example.com. (\n"
                         "\t\t42 ; serial\n"
                         "\t\t3600 900 604800 86400 )\n"
                         "\tIN\tNS\tns1.example.com.\n"
                         "ns1\tIN\tA\t192.0.2.1\n";

class SoaSerialSaveTest : public AppTest {
protected:
    // Opens "환경 설정" from the 보기 menu by its keys and clicks the serial box once.
    void toggleOptionInDialog()
    {
        ModalScript script(10000);
        script.then([](QWidget *modal) {
            auto *dialog = qobject_cast<CPreferencesDialog *>(modal);
            auto *box = dialog ? dialog->findChild<QCheckBox *>(QStringLiteral("bumpSoaSerial")) : nullptr;
            if (!box)
                return false;
            EXPECT_EQ(box->text(), QStringLiteral("저장할 때 SOA 일련번호 올리기"));
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("ok")), Qt::LeftButton);
            return true;
        });
        // Alt+V opens 보기, P chooses "환경 설정(&P)...".
        QTest::keyClick(frame(), Qt::Key_V, Qt::AltModifier);
        QMenu *viewMenu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(viewMenu, nullptr);
        QTest::keyClick(viewMenu, Qt::Key_P);
        settle();
        EXPECT_TRUE(script.finished());
        // The window manager gives the main window back its focus when the
        // dialog closes; offscreen, nobody does.
        QApplication::setActiveWindow(frame());
        frame()->activeView()->setFocus();
    }
    // Types a record on the last line and saves with Ctrl+S; the saved bytes.
    QByteArray typeAndSave(CQuorelView *view, const QString &record)
    {
        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(view, record);
        QTest::keyClick(view, Qt::Key_Return);
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
        settle();
        return readBytes(dir.filePath(QStringLiteral("example.com.zone")));
    }
    // named-checkzone's exit code for the file, its output in `output`.
    int checkZone(QString *output)
    {
        const QString checker = QStandardPaths::findExecutable(
            QStringLiteral("named-checkzone"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (checker.isEmpty()) {
            *output = QStringLiteral("bind9-utils is not installed (scripts/setup installs it)");
            return -1;
        }
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(
            checker, {QStringLiteral("example.com"), dir.filePath(QStringLiteral("example.com.zone"))});
        if (!check.waitForFinished(30000))
            return -1;
        *output = QString::fromLocal8Bit(check.readAll());
        return check.exitCode();
    }
};

TEST_F(SoaSerialSaveTest, TheOptionCountsTheSerialOnOnceASaveAndUndoTakesItBack)
{
    CQuorelView *view = startFocused("example.com.zone", kZone);
    ASSERT_NE(view, nullptr);
    toggleOptionInDialog();
    user->sync();
    EXPECT_TRUE(user->value(QStringLiteral("EditorOption/BumpSoaSerial")).toBool());

    QByteArray saved = typeAndSave(view, QStringLiteral("www\tIN\tA\t192.0.2.2"));
    EXPECT_TRUE(saved.contains("\t\t43 ; serial\n")) << saved.constData();
    EXPECT_TRUE(saved.endsWith("www\tIN\tA\t192.0.2.2\n")) << saved.constData();
    EXPECT_EQ(frame()->statusText(), QStringLiteral("SOA 일련번호: 42 → 43"));
    QString output;
    EXPECT_EQ(checkZone(&output), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("serial 43"))) << output.toStdString();

    // Saving what is already on disk counts nothing.
    QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
    settle();
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("example.com.zone"))), saved);

    // One Ctrl+Z takes the serial back and leaves the typed record.
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(view->buffer()->line(2), QStringLiteral("\t\t42 ; serial"));
    EXPECT_EQ(view->buffer()->line(6), QStringLiteral("www\tIN\tA\t192.0.2.2"));
    EXPECT_TRUE(frame()->activeDocument()->IsModified());

    // The next change counts on from what the file holds again.
    saved = typeAndSave(view, QStringLiteral("mail\tIN\tA\t192.0.2.3"));
    EXPECT_TRUE(saved.contains("\t\t43 ; serial\n")) << saved.constData();
}

TEST_F(SoaSerialSaveTest, OffByDefaultAndWhenTurnedOffAgain)
{
    CQuorelView *view = startFocused("example.com.zone", kZone);
    ASSERT_NE(view, nullptr);
    QByteArray saved = typeAndSave(view, QStringLiteral("www\tIN\tA\t192.0.2.2"));
    EXPECT_TRUE(saved.contains("\t\t42 ; serial\n")) << saved.constData();

    toggleOptionInDialog();
    saved = typeAndSave(view, QStringLiteral("a\tIN\tA\t192.0.2.3"));
    EXPECT_TRUE(saved.contains("\t\t43 ; serial\n")) << saved.constData();
    toggleOptionInDialog();
    user->sync();
    EXPECT_FALSE(user->value(QStringLiteral("EditorOption/BumpSoaSerial")).toBool());
    saved = typeAndSave(view, QStringLiteral("b\tIN\tA\t192.0.2.4"));
    EXPECT_TRUE(saved.contains("\t\t43 ; serial\n")) << saved.constData();
}

TEST_F(SoaSerialSaveTest, ASaveTheUserCancelsLeavesTheSerialAsTheFileHasIt)
{
    CQuorelView *view = startFocused("example.com.zone", kZone);
    ASSERT_NE(view, nullptr);
    toggleOptionInDialog();
    // Another program writes the file: the save asks before it overwrites,
    // and the user says no.
    const QString path = dir.filePath(QStringLiteral("example.com.zone"));
    writeBytes(path, kZone + "; elsewhere\n");
    prompter.questionAnswer = false;
    typeAndSave(view, QStringLiteral("www\tIN\tA\t192.0.2.2"));
    ASSERT_FALSE(prompter.questions.isEmpty());
    EXPECT_EQ(view->buffer()->line(2), QStringLiteral("\t\t42 ; serial"));
    EXPECT_FALSE(view->buffer()->isRedoAvailable());

    prompter.questionAnswer = true;
    QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(readBytes(path).contains("\t\t43 ; serial\n")) << readBytes(path).constData();
}

} // namespace

int main(int argc, char **argv)
{
    return runWidgetTests(argc, argv);
}
