// A missing installation, a broken or hostile update server, and the log
// that says what happened, all with the real program.
#include "pellwickfixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

namespace {

class HostileTest : public PellwickTest {
protected:
    // Only the lines of the latest pass.
    QString lastPass() const { return logText().section(QStringLiteral("업데이트를 시작합니다"), -1); }

    QStringList listing(const QString &dir) const
    {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // Waits for the server to note how much it sent before the client hung up.
    qint64 bytesSent(const QString &sentLog) const
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            const QByteArray text = readFile(sentLog);
            if (text.contains('\n'))
                return text.split(' ').value(1).trimmed().toLongLong();
            QThread::msleep(50);
        }
        return -1;
    }

    static QByteArray randomBytes(int size)
    {
        QByteArray data(size, '\0');
        QRandomGenerator generator(99);
        generator.fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
        return data;
    }
};

// An installation directory that is gone, is a file, or is given relative
// stops the pass before it touches anything; above all the folder Pellwick
// was started from (the home folder at log-in) is left alone.
TEST_F(HostileTest, UnusableInstallDirectoryStopsThePassAndChangesNothing)
{
    startServer();
    publish(packageOf("write ae:\\.profile 5\nen", "owned"));
    writeFile(path(QStringLiteral("afile")), "not a folder");
    const QString start = path(QStringLiteral("start"));
    writeFile(start + QStringLiteral("/.profile"), "mine");
    writeFile(start + QStringLiteral("/autoupcab.tmp"), packageOf("write ae:\\.profile 5\nen", "owned"));
    QDir().mkpath(start + QStringLiteral("/install/lib/idn"));
    const QStringList startBefore = listing(start);

    const QString settings[] = {path(QStringLiteral("gone")), path(QStringLiteral("afile")),
        QStringLiteral("install"), path(QStringLiteral("afile/sub"))};
    for (const QString &installDir : settings) {
        for (const int pending : {1, 0}) {
            SCOPED_TRACE(installDir.toStdString() + (pending ? " installing" : " checking"));
            setSetting("ProPathName", installDir);
            setSetting("IsUpdate", pending);
            setSetting("CurrentVer", 200);
            removeSetting("LastDay");
            EXPECT_EQ(runPellwick(), 1);
            EXPECT_EQ(listing(start), startBefore);
            EXPECT_EQ(readFile(start + QStringLiteral("/.profile")), "mine");
            EXPECT_FALSE(exists(path(QStringLiteral("gone"))));
            EXPECT_EQ(readFile(path(QStringLiteral("afile"))), "not a folder");
            EXPECT_EQ(setting("IsUpdate").toInt(), pending);
            EXPECT_FALSE(setting("Version").isValid());
            EXPECT_FALSE(setting("LastDay").isValid()) << "the check was stamped";
            EXPECT_TRUE(requests().isEmpty());
            EXPECT_TRUE(m_stderr.isEmpty()) << m_stderr.toStdString();
        }
    }
}

// Any answer other than 2xx is a failed step: an error page is never read
// as the version file, the checksum or the package.
TEST_F(HostileTest, ErrorPagesChangeNoSetting)
{
    struct Case {
        const char *name;
        QStringList statuses;
        bool versionRead; // the version file itself was fine
        const char *logged;
    };
    const Case cases[] = {
        {"version file missing", {}, false, "HTTP 404"},
        {"version file 500", {QStringLiteral("/autoupdate/conv/verinfo.html=500")}, false, "HTTP 500"},
        {"version file 403", {QStringLiteral("/autoupdate/conv/verinfo.html=403")}, false, "HTTP 403"},
        {"package 404", {QStringLiteral("/pkg/update.pak=404")}, true, "HTTP 404"},
        {"checksum 500", {QStringLiteral("/autoupdate/conv/checksum.html=500")}, true, "HTTP 500"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestServer::Options options;
        options.statuses = c.statuses;
        startServer(options);
        QFile::remove(webPath(QStringLiteral("autoupdate/conv/verinfo.html")));
        if (c.statuses.size())
            publish(packageOf("en"), 130);
        setSetting("CurrentVer", 120);
        setSetting("UpdateDelay", 7200);
        removeSetting("LastDay");

        EXPECT_EQ(runPellwick(), 1);
        EXPECT_EQ(setting("CurrentVer").toUInt(), c.versionRead ? 130u : 120u);
        EXPECT_EQ(setting("UpdateDelay").toInt(), c.versionRead ? 86400 : 7200);
        EXPECT_FALSE(setting("IsUpdate").isValid());
        EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
        EXPECT_TRUE(lastPass().contains(QString::fromLatin1(c.logged))) << lastPass().toStdString();
    }
}

// A body longer than its header says is cut off just past that length, and a
// header announcing more than 512 MiB is refused at once, however much the
// server would go on sending.
TEST_F(HostileTest, OverLongBodiesAreCutOff)
{
    const QString sentLog = path(QStringLiteral("sent.log"));
    TestServer::Options options;
    options.endless = {QStringLiteral("/pkg/update.pak")};
    options.sentLog = sentLog;
    startServer(options);

    QByteArray huge(8, '\0');
    huge[0] = '\x08'; // 0x20000008 bytes of body: past the 512 MiB cap
    huge[3] = '\x20';
    struct Case {
        const char *name;
        QByteArray package;
        const char *logged;
    };
    const Case cases[] = {
        {"47-byte header", packageOf("md ae:\\x\nen"), "바이트보다 길어 받기를 멈추었습니다"},
        {"header over the cap", huge, "최대 512 MiB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(sentLog);
        publish(c.package);
        removeSetting("LastDay");
        EXPECT_EQ(runPellwick(), 1);
        EXPECT_FALSE(setting("IsUpdate").isValid());
        EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
        EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp.part"))));
        EXPECT_TRUE(lastPass().contains(QString::fromUtf8(c.logged))) << lastPass().toStdString();
        // What the server got rid of before the client hung up: socket buffers, not a disk's worth.
        const qint64 sent = bytesSent(sentLog);
        EXPECT_GE(sent, 0) << "the server never saw the client hang up";
        EXPECT_LT(sent, 64 * 1024 * 1024);
    }
}

// A trickling server is given up once it stays under 1 KB/s for the
// low-speed time, and a steady but slow one when the pass runs out of time.
// The hooks shorten 30 s and 10 min to seconds.
TEST_F(HostileTest, SlowServersAreGivenUpWithinTheLimits)
{
    struct Case {
        const char *name;
        QString slow;
        const char *variable;
        const char *logged;
    };
    const Case cases[] = {
        {"4 bytes a second", QStringLiteral("/pkg/update.pak=4"), "PELLWICK_SLOW_SECONDS",
            "전송이 너무 느려 그만두었습니다 (2초 동안"},
        {"8 KB a second", QStringLiteral("/pkg/update.pak=8192"), "PELLWICK_PASS_SECONDS",
            "업데이트 한 번에 허용된 시간(2초)을 넘었습니다"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestServer::Options options;
        options.slow = {c.slow};
        startServer(options);
        publish(packageOf("write ae:\\big.bin 1048576\nen", randomBytes(1024 * 1024)));
        removeSetting("LastDay");
        QProcessEnvironment limits;
        limits.insert(QLatin1String(c.variable), QStringLiteral("2"));
        EXPECT_EQ(runPellwick(kToday, limits), 1);
        // Without the limit the transfer would take two minutes or more.
        EXPECT_LT(m_elapsedMs, 30000);
        EXPECT_FALSE(setting("IsUpdate").isValid());
        EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp.part"))));
        EXPECT_TRUE(lastPass().contains(QString::fromUtf8(c.logged))) << lastPass().toStdString();
        m_server.reset(); // its handler is still trickling
    }
}

// Each pass writes what it did, step by step, to pellwick.log.
TEST_F(HostileTest, LogNamesEveryStepOfACycle)
{
    startServer();
    publish(packageOf("write ae:\\a.txt 1\nen", "a"));
    ASSERT_EQ(runPellwick(), 0);
    ASSERT_EQ(runPellwick(), 0);
    const QString log = logText();
    const char *steps[] = {
        "업데이트를 시작합니다. 설치 폴더: ",
        "버전 파일을 확인합니다: http://127.0.0.1:",
        "서버의 버전: 130, 설치된 버전: 100",
        "패키지를 받습니다: http://127.0.0.1:",
        "패키지의 MD5 체크섬을 확인했습니다: ",
        "버전 130 패키지를 받아 확인했습니다. 다음 시작 때 설치합니다.",
        "버전 130 설치를 시작합니다 (1/3번째 시도).",
        "패키지를 확인했습니다: 스크립트 ",
        "설치를 마쳤습니다. 설치된 버전: 130",
        "업데이트 작업을 마쳤습니다.",
    };
    qsizetype from = 0;
    for (const char *step : steps) {
        const qsizetype at = log.indexOf(QString::fromUtf8(step), from);
        EXPECT_GE(at, 0) << step << " missing or out of order in\n" << log.toStdString();
        if (at >= 0)
            from = at;
    }
    EXPECT_FALSE(log.contains(QStringLiteral("오류:"))) << log.toStdString();

    // The next start has nothing to do and says so.
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_TRUE(lastPass().contains(QStringLiteral("확인할 때가 아닙니다"))) << lastPass().toStdString();
}

TEST_F(HostileTest, LogKeepsTheLastMegabyteFromALineStart)
{
    QByteArray old;
    for (int i = 0; old.size() < 1536 * 1024; ++i)
        old += "2026-01-01 00:00:00 [1] old line " + QByteArray::number(i) + "\n";
    writeFile(installPath(QStringLiteral("pellwick.log")), old);
    ASSERT_EQ(runPellwick(), 0); // no server set: nothing to check
    const QByteArray log = readFile(installPath(QStringLiteral("pellwick.log")));
    EXPECT_LE(log.size(), 1024 * 1024);
    EXPECT_GT(log.size(), 1000 * 1024);
    EXPECT_TRUE(log.startsWith("2026-01-01 00:00:00 [1] old line ")) << log.left(80).toStdString();
    EXPECT_TRUE(log.contains(old.right(200)));
    EXPECT_TRUE(QString::fromUtf8(log).contains(QStringLiteral("설정되지 않아 확인하지 않습니다")));
    EXPECT_EQ(listing(installPath(QString())),
        QStringList({QStringLiteral("lib"), QStringLiteral("pellwick.log")}));
}

} // namespace
