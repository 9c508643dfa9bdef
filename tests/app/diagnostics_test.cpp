// What Quorel records about itself, seen from outside as a user or an
// administrator sees it: the log file in the state folder, and the debug
// lines `--verbose` puts on stderr.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

namespace {

// One Quorel with its settings, state folder and hand-over channel in `dir`,
// its stderr gathered; killed however the test ends.
class RunningQuorel {
public:
    RunningQuorel(const QTemporaryDir &dir, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        env.insert(QStringLiteral("QUOREL_INSTANCE"), dir.filePath(QStringLiteral("channel")));
        env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{type} %{category}: %{message}"));
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        m_process.setProcessEnvironment(env);
        m_process.setReadChannel(QProcess::StandardError);
        m_process.start(QStringLiteral(QUOREL_BIN_DIR "/Quorel"), args);
        m_process.waitForStarted();
    }
    ~RunningQuorel()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    RunningQuorel(const RunningQuorel &) = delete;
    RunningQuorel &operator=(const RunningQuorel &) = delete;

    QString stderrText()
    {
        // Without an event loop the pipe is only read while waiting on it.
        m_process.waitForReadyRead(20);
        m_stderr += m_process.readAllStandardError();
        return QString::fromUtf8(m_stderr);
    }

private:
    QProcess m_process;
    QByteArray m_stderr;
};

// Polls for up to 15 s.
bool eventually(const std::function<bool()> &condition)
{
    for (int i = 0; i < 300; ++i) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

QString recentFile(const QTemporaryDir &dir)
{
    return QSettings(dir.filePath(QStringLiteral("config/VANTO/Quorel.conf")), QSettings::IniFormat)
        .value(QStringLiteral("Recent File List/File1"))
        .toString();
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// `--verbose` is a switch, not a file to open: the file after it opens, and
// the subsystems' debug lines reach stderr. Without it the same start
// writes none.
TEST(Diagnostics, VerboseShowsDebugLinesOnStderr)
{
    for (const bool verbose : {true, false}) {
        SCOPED_TRACE(verbose ? "--verbose" : "plain");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString zone = dir.filePath(QStringLiteral("shown.zone"));
        QFile file(zone);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("$TTL 60\n@ IN NS ns.example.\n");
        file.close();

        QStringList args {zone};
        if (verbose)
            args.prepend(QStringLiteral("--verbose"));
        RunningQuorel quorel(dir, args);
        // The recent-file list is written after the document has opened.
        EXPECT_TRUE(eventually([&] { return recentFile(dir) == zone; }));
        if (verbose) {
            EXPECT_TRUE(eventually([&] {
                return quorel.stderrText().contains(
                    QStringLiteral("debug quorel.document: opened \"") + zone);
            })) << qPrintable(quorel.stderrText());
            EXPECT_TRUE(quorel.stderrText().contains(QStringLiteral("debug quorel.app: started")));
        } else {
            QThread::msleep(200);
            EXPECT_FALSE(quorel.stderrText().contains(QStringLiteral("debug quorel.")))
                << qPrintable(quorel.stderrText());
        }
    }
}

// A file that cannot be opened (here a folder named like a zone file, given
// on the command line): the box the user sees and the cause behind it are
// both in the log file, which only its owner can read.
TEST(Diagnostics, FailedOpenLeavesItsCauseInThePrivateLogFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("folder.zone"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString logPath = dir.filePath(QStringLiteral("state/quorel/quorel.log"));

    RunningQuorel quorel(dir, {folder});
    // The message box stays up; the lines were written before it showed.
    const bool logged
        = eventually([&] { return readText(logPath).contains(QStringLiteral("quorel.prompt")); });
    const QString log = readText(logPath);
    ASSERT_TRUE(logged) << qPrintable(log) << qPrintable(quorel.stderrText());
    EXPECT_TRUE(
        log.contains(QStringLiteral("warning quorel.document: cannot open \"%1\" - a folder").arg(folder)))
        << qPrintable(log);
    EXPECT_TRUE(
        log.contains(QStringLiteral("warning quorel.prompt: shown: 파일을 열 수 없습니다. / ") + folder))
        << qPrintable(log);
    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(logPath).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}
