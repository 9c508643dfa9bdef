// Corvale's dialog and what "완료" starts, through a shell the test watches,
// and once through the real desktop shell with stand-in programs.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "../support/testmain.h"
#include "platform/settings.h"
#include "setupfinish/corvaledlg.h"
#include "setupfinish/corvaleids.h"
#include "setupfinish/setupfinisher.h"
#include "setupfinish/setupshell.h"

namespace {

// Every request in the order it came, e.g. "start /x/Quorel in /x".
class RecordingShell : public SetupShell {
public:
    bool startProgram(const QString &program, const QString &workingDirectory) override
    {
        calls
            << QStringLiteral("start %1 in %2 (cwd %3)").arg(program, workingDirectory, QDir::currentPath());
        return startWorks;
    }
    bool openDocument(const QString &path) override
    {
        calls << QStringLiteral("open %1").arg(path);
        return true;
    }
    void warning(const QString &text) override { warnings << text; }

    QStringList calls;
    QStringList warnings;
    bool startWorks = true;
};

class CorvaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        install = QDir(tmp.filePath(QStringLiteral("설치 폴더"))).absolutePath();
        ASSERT_TRUE(QDir().mkpath(install));
        QFile readMe(install + QStringLiteral("/readme.txt"));
        ASSERT_TRUE(readMe.open(QIODevice::WriteOnly));
        profile
            = std::make_unique<QSettings>(tmp.filePath(QStringLiteral("Quorel.conf")), QSettings::IniFormat);
        profile->setValue(QuorelSettings::installDirectoryKey(), install);
        startDir = QDir::currentPath();
    }
    void TearDown() override { QDir::setCurrent(startDir); }

    QString started() const { return QStringLiteral("start %1/Quorel in %1 (cwd %1)").arg(install); }
    QString opened() const { return QStringLiteral("open %1/readme.txt").arg(install); }

    // Shows the dialog, sets the boxes as a user would, and ends it with
    // Enter on "완료" or with Esc.
    int runDialog(bool runProgram, bool readMe, Qt::Key key, const FinisherFallbacks &fallbacks = {})
    {
        SetupFinisher finisher(*profile, shell, fallbacks);
        CCorvaleDlg dialog(finisher);
        dialog.show();
        auto *run = dialog.findChild<QCheckBox *>(QStringLiteral("runProgramCheck"));
        auto *read = dialog.findChild<QCheckBox *>(QStringLiteral("readMeCheck"));
        EXPECT_TRUE(run && read);
        if (!run || !read)
            return -1;
        if (run->isChecked() != runProgram)
            QTest::mouseClick(run, Qt::LeftButton);
        if (read->isChecked() != readMe)
            QTest::mouseClick(read, Qt::LeftButton);
        QTest::keyClick(&dialog, key);
        EXPECT_FALSE(dialog.isVisible());
        return dialog.result();
    }

    QTemporaryDir tmp;
    QString install;
    QString startDir;
    std::unique_ptr<QSettings> profile;
    RecordingShell shell;
};

TEST_F(CorvaleTest, DialogShowsTheTwoBoxesWithoutACloseBox)
{
    SetupFinisher finisher(*profile, shell);
    CCorvaleDlg dialog(finisher);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("린드바트"));
    EXPECT_EQ(dialog.property("controlId").toInt(), corvale::ids::dialog::kSetupFinish);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

    auto *run = dialog.findChild<QCheckBox *>(QStringLiteral("runProgramCheck"));
    auto *read = dialog.findChild<QCheckBox *>(QStringLiteral("readMeCheck"));
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("corvaleOk"));
    ASSERT_TRUE(run && read && ok);
    EXPECT_EQ(run->property("controlId").toInt(), 1001);
    EXPECT_EQ(run->text(), QStringLiteral("린드바트를 실행합니다."));
    EXPECT_TRUE(run->isChecked());
    EXPECT_EQ(read->property("controlId").toInt(), 1000);
    EXPECT_EQ(read->text(), QStringLiteral("ReadMe 파일을 읽습니다."));
    EXPECT_FALSE(read->isChecked());
    EXPECT_EQ(ok->text(), QStringLiteral("완료"));
    EXPECT_TRUE(ok->isDefault());
    for (const char *name : {"corvaleBanner", "corvaleBadge"}) {
        auto *picture = dialog.findChild<QLabel *>(QString::fromLatin1(name));
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_FALSE(picture->pixmap().isNull()) << name;
    }
}

TEST_F(CorvaleTest, DoneStartsWhatTheBoxesAskInOrderAndEscStartsNothing)
{
    struct Case {
        const char *name;
        bool runProgram;
        bool readMe;
        Qt::Key key;
        int result;
        bool expectStart;
        bool expectOpen;
    };
    const Case cases[] = {
        {"default boxes", true, false, Qt::Key_Return, QDialog::Accepted, true, false},
        {"both boxes", true, true, Qt::Key_Return, QDialog::Accepted, true, true},
        {"ReadMe only", false, true, Qt::Key_Return, QDialog::Accepted, false, true},
        {"neither box", false, false, Qt::Key_Return, QDialog::Accepted, false, false},
        {"Esc, default boxes", true, false, Qt::Key_Escape, QDialog::Rejected, false, false},
        {"Esc, both boxes", true, true, Qt::Key_Escape, QDialog::Rejected, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        shell.calls.clear();
        QDir::setCurrent(startDir);
        EXPECT_EQ(runDialog(c.runProgram, c.readMe, c.key), c.result);
        QStringList expected;
        if (c.expectStart)
            expected << started();
        if (c.expectOpen)
            expected << opened();
        EXPECT_EQ(shell.calls, expected);
        EXPECT_TRUE(shell.warnings.isEmpty()) << shell.warnings.join(u'\n').toStdString();
    }
}

TEST_F(CorvaleTest, DoneClickedWithTheMouseStartsQuorel)
{
    SetupFinisher finisher(*profile, shell);
    CCorvaleDlg dialog(finisher);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("corvaleOk")), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(shell.calls, QStringList {started()});
    EXPECT_EQ(dialog.m_bRunProgram, 1);
    EXPECT_EQ(dialog.m_bReadMe, 0);
}

TEST_F(CorvaleTest, UnusableInstallDirectoryStartsNothingAndSaysWhy)
{
    struct Case {
        const char *name;
        QVariant value; // invalid: absent
        const char *says;
    };
    // 1,999 bytes fit the 2,000-byte buffer with the terminator; 2,000 do not.
    const QString deep = QStringLiteral("/") + QString(1998, u'a');
    const Case cases[] = {
        {"absent", QVariant(), "설정에 없습니다"},
        {"empty", QString(), "설정에 없습니다"},
        {"one byte too long", QVariant(deep + QStringLiteral("b")), "2000바이트를 넘어"},
        {"Hangul past the buffer", QVariant(QStringLiteral("/") + QString(667, u'한')), "2000바이트를 넘어"},
        {"missing folder", QVariant(install + QStringLiteral("/없는 폴더")), "찾을 수 없습니다"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        shell.calls.clear();
        shell.warnings.clear();
        if (c.value.isValid())
            profile->setValue(QuorelSettings::installDirectoryKey(), c.value);
        else
            profile->remove(QuorelSettings::installDirectoryKey());
        QDir::setCurrent(startDir);
        EXPECT_EQ(runDialog(true, true, Qt::Key_Return), QDialog::Accepted);
        EXPECT_TRUE(shell.calls.isEmpty()) << shell.calls.join(u'\n').toStdString();
        ASSERT_EQ(shell.warnings.size(), 1);
        EXPECT_TRUE(shell.warnings[0].contains(QString::fromUtf8(c.says))) << shell.warnings[0].toStdString();
        EXPECT_EQ(QDir::currentPath(), startDir);
    }
    // The longest value that fits is used as it stands, not cut.
    SetupFinisher finisher(*profile, shell);
    profile->setValue(QuorelSettings::installDirectoryKey(), deep);
    EXPECT_TRUE(finisher.installDirectory().problem.contains(QStringLiteral("찾을 수 없습니다")));
    EXPECT_TRUE(finisher.installDirectory().problem.contains(deep));
}

// A package installation: no folder in the user's profile, so the
// machine-wide value is tried, then Corvale's own folder if Quorel is there.
TEST_F(CorvaleTest, WithoutTheProfilesFolderTheMachineValueThenItsOwnFolderIsUsed)
{
    const QString own = QDir(tmp.filePath(QStringLiteral("opt"))).absolutePath();
    const QString bare = QDir(tmp.filePath(QStringLiteral("bare"))).absolutePath();
    ASSERT_TRUE(QDir().mkpath(own) && QDir().mkpath(bare));
    QFile quorel(own + QStringLiteral("/Quorel"));
    ASSERT_TRUE(quorel.open(QIODevice::WriteOnly));
    quorel.close();
    quorel.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QSettings machine(tmp.filePath(QStringLiteral("idn.conf")), QSettings::IniFormat);
    const QString missing = install + QStringLiteral("/없는 폴더");
    const QString reinstall = QStringLiteral("ProPathName이 설정에 없습니다. 설치를 다시 실행해 주십시오.");

    struct Case {
        const char *name;
        QString user; // empty: absent
        QString machineValue; // empty: absent
        QString ownFolder;
        QString startsIn; // empty: nothing starts
        QString says; // the warning, when nothing starts
    };
    const Case cases[] = {
        {"machine value", {}, install, own, install, {}},
        {"own folder", {}, {}, own, own, {}},
        {"machine value gone, own folder", {}, missing, own, own, {}},
        {"machine value gone, no Quorel beside", {}, missing, bare, {}, QStringLiteral("찾을 수 없습니다")},
        {"nothing anywhere", {}, {}, bare, {}, reinstall},
        {"the user's stale value decides", missing, install, own, {}, QStringLiteral("찾을 수 없습니다")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        shell.calls.clear();
        shell.warnings.clear();
        QDir::setCurrent(startDir);
        profile->remove(QuorelSettings::installDirectoryKey());
        if (!c.user.isEmpty())
            profile->setValue(QuorelSettings::installDirectoryKey(), c.user);
        machine.remove(QuorelSettings::machineInstallDirectoryKey());
        if (!c.machineValue.isEmpty())
            machine.setValue(QuorelSettings::machineInstallDirectoryKey(), c.machineValue);

        EXPECT_EQ(runDialog(true, false, Qt::Key_Return, {&machine, c.ownFolder}), QDialog::Accepted);
        if (c.startsIn.isEmpty()) {
            EXPECT_TRUE(shell.calls.isEmpty()) << shell.calls.join(u'\n').toStdString();
            ASSERT_EQ(shell.warnings.size(), 1);
            EXPECT_TRUE(shell.warnings[0].contains(c.says)) << shell.warnings[0].toStdString();
        } else {
            EXPECT_EQ(
                shell.calls, QStringList {QStringLiteral("start %1/Quorel in %1 (cwd %1)").arg(c.startsIn)});
            EXPECT_TRUE(shell.warnings.isEmpty()) << shell.warnings.join(u'\n').toStdString();
        }
    }
    // Without a machine store at all, the message is the whole sentence.
    profile->remove(QuorelSettings::installDirectoryKey());
    SetupFinisher finisher(*profile, shell, {nullptr, bare});
    EXPECT_EQ(finisher.installDirectory().problem, reinstall);
}

// The real desktop shell's box, as the user meets it: "완료" with nothing
// to start from, and the box answered with its own Korean button.
TEST_F(CorvaleTest, TheWarningBoxIsAnsweredWithItsKoreanButton)
{
    profile->remove(QuorelSettings::installDirectoryKey());
    DesktopShell desktop;
    SetupFinisher finisher(*profile, desktop);
    CCorvaleDlg dialog(finisher);
    dialog.show();
    QString said;
    QStringList buttons;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        watch.stop();
        said = box->text();
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        if (box->buttons().isEmpty())
            box->reject();
        else
            QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
    });
    watch.start(20);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("corvaleOk")), Qt::LeftButton);
    EXPECT_EQ(said, QStringLiteral("ProPathName이 설정에 없습니다. 설치를 다시 실행해 주십시오."));
    EXPECT_EQ(buttons, QStringList {QStringLiteral("확인")});
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(CorvaleTest, FailedStartAndMissingReadMeAreToldButTheDialogCloses)
{
    shell.startWorks = false;
    QFile::remove(install + QStringLiteral("/readme.txt"));
    EXPECT_EQ(runDialog(true, true, Qt::Key_Return), QDialog::Accepted);
    EXPECT_EQ(shell.calls, QStringList {started()});
    ASSERT_EQ(shell.warnings.size(), 2);
    EXPECT_TRUE(shell.warnings[0].contains(QStringLiteral("실행할 수 없습니다")));
    EXPECT_TRUE(shell.warnings[1].contains(QStringLiteral("ReadMe 파일")));
}

// The real shell: a stand-in Quorel and a stand-in desktop opener on PATH
// write down how they were started.
TEST_F(CorvaleTest, DesktopShellStartsTheInstalledProgramAndTheDesktopOpener)
{
    const QString log = tmp.filePath(QStringLiteral("log"));
    const QString bin = tmp.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    auto script = [](const QString &path, const QByteArray &body) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + body);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    script(install + QStringLiteral("/Quorel"), "echo \"quorel $(pwd) $#\" >> \"" + log.toUtf8() + "\"\n");
    script(bin + QStringLiteral("/xdg-open"), "echo \"open $1\" >> \"" + log.toUtf8() + ".open\"\n");
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ':' + oldPath);

    // The real shell, but a problem is written down instead of shown.
    struct QuietDesktop : DesktopShell {
        void warning(const QString &text) override { warnings << text; }
        QStringList warnings;
    } desktop;
    SetupFinisher finisher(*profile, desktop);
    const bool done = finisher.finish(true, true);
    qputenv("PATH", oldPath);
    EXPECT_TRUE(done);
    EXPECT_TRUE(desktop.warnings.isEmpty()) << desktop.warnings.join(u'\n').toStdString();

    auto waitFor = [](const QString &path) {
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(path) && clock.elapsed() < 10000)
            QTest::qWait(50);
        QTest::qWait(100);
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    EXPECT_EQ(waitFor(log), QStringLiteral("quorel %1 0\n").arg(install));
    // The opener is given the file as a path or as a file URL.
    QString openedWith = waitFor(log + QStringLiteral(".open")).trimmed();
    ASSERT_TRUE(openedWith.startsWith(QStringLiteral("open "))) << openedWith.toStdString();
    openedWith = openedWith.mid(5);
    if (openedWith.startsWith(QStringLiteral("file:")))
        openedWith = QUrl(openedWith).toLocalFile();
    EXPECT_EQ(openedWith, install + QStringLiteral("/readme.txt"));
}

} // namespace

int main(int argc, char **argv)
{
    return runWidgetTests(argc, argv);
}
