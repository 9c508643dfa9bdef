// The Quorel program itself, as separate processes: a second `Quorel FILE`
// hands FILE to the one already running and ends.
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "../support/files.h"

#include <csignal>
#include <sys/prctl.h>

namespace {
// A Quorel the test started. It is killed and waited for on every way out
// of the test, a failed ASSERT among them, and the kernel kills it if the
// test program itself dies (a time-out of the runner), so none outlives the
// test holding its folder, its channel or a lock the runner passed on.
class ChildProcess : public QProcess {
public:
    ChildProcess()
    {
        setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    ~ChildProcess() override
    {
        if (state() != NotRunning) {
            kill();
            waitForFinished(5000);
        }
    }
};

QStringList channelsIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("Quorel-*")}, QDir::System);
}

QProcessEnvironment programEnvironment(const QTemporaryDir &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    env.insert(QStringLiteral("QUOREL_INSTANCE"), dir.filePath(QStringLiteral("channel")));
    return env;
}

// The head of a running Quorel's recent-file list in its settings file
// `conf`, once it has written one (empty after 15 s).
QString firstRecentFile(const QString &conf)
{
    QString recent;
    for (int i = 0; i < 300 && recent.isEmpty(); ++i) {
        QThread::msleep(50);
        recent = QSettings(conf, QSettings::IniFormat)
                     .value(QStringLiteral("Recent File List/File1"))
                     .toString();
    }
    return recent;
}

} // namespace

TEST(Program, SecondQuorelHandsItsFileToTheRunningOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = QStringLiteral(QUOREL_BIN_DIR "/Quorel");
    const QString zone = dir.filePath(QStringLiteral("handed.zone"));
    writeBytes(zone, cp949("$ORIGIN 한글.kr.\n"));

    ChildProcess first;
    first.setProcessEnvironment(programEnvironment(dir));
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    // The first one listens once it is up.
    const QString channel = dir.filePath(QStringLiteral("channel"));
    for (int i = 0; i < 300 && !QFile::exists(channel); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(channel));

    ChildProcess second;
    second.setProcessEnvironment(programEnvironment(dir));
    second.start(program, {zone});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);

    // The running one opened it: the file heads its recent-file list.
    const QString conf = dir.filePath(QStringLiteral("config/VANTO/Quorel.conf"));
    const QString recent = firstRecentFile(conf);
    EXPECT_EQ(recent, zone);
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST(Program, FileGoesOnlyToTheQuorelOnTheSameDisplay)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = QStringLiteral(QUOREL_BIN_DIR "/Quorel");
    const QString zone = dir.filePath(QStringLiteral("shown.zone"));
    writeBytes(zone, QByteArray("$TTL 60\n"));
    // The default channel, in a private folder, on two displays.
    auto onDisplay = [&](const char *display) {
        QProcessEnvironment env = programEnvironment(dir);
        env.remove(QStringLiteral("QUOREL_INSTANCE"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("XDG_SESSION_ID"));
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QString::fromLatin1(display + 1)));
        return env;
    };

    ChildProcess first;
    first.setProcessEnvironment(onDisplay(":71"));
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    for (int i = 0; i < 300 && channelsIn(dir.path()).isEmpty(); ++i)
        QThread::msleep(50);
    ASSERT_EQ(channelsIn(dir.path()).size(), 1);

    // Another display: this Quorel keeps the file and its own window; it
    // listens on a channel of its own instead of ending.
    ChildProcess other;
    other.setProcessEnvironment(onDisplay(":72"));
    other.start(program, {zone});
    ASSERT_TRUE(other.waitForStarted());
    for (int i = 0; i < 300 && channelsIn(dir.path()).size() < 2 && other.state() == QProcess::Running; ++i)
        QThread::msleep(50);
    EXPECT_EQ(channelsIn(dir.path()).size(), 2);
    EXPECT_EQ(other.state(), QProcess::Running);

    // The same display: handed over, and this one ends at once.
    ChildProcess same;
    same.setProcessEnvironment(onDisplay(":71"));
    same.start(program, {zone});
    EXPECT_TRUE(same.waitForFinished(10000));
    EXPECT_EQ(same.exitCode(), 0);
    const QString conf = dir.filePath(QStringLiteral("71/VANTO/Quorel.conf"));
    const QString recent = firstRecentFile(conf);
    EXPECT_EQ(recent, zone);
}
