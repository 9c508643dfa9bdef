// The check phase and the schedule, run through the real program against a
// real HTTP server.
#include "pellwickfixture.h"

#include <QDir>
#include <QFile>

namespace {

const QByteArray kFourLineScript = "md ae:\\sub\nwrite ae:\\sub\\a.txt 5\nwrite id:\\b.dll 3\nen";

class ScheduleTest : public PellwickTest {
protected:
    void SetUp() override
    {
        PellwickTest::SetUp();
        startServer();
    }
    bool packageRequested() const { return requests().contains(QStringLiteral("/pkg/update.pak")); }
};

TEST_F(ScheduleTest, FirstStartDownloadsAndNextStartInstalls)
{
    publish(packageOf(kFourLineScript,
        "hello"
        "abc"));
    ASSERT_EQ(runPellwick(), 0);

    EXPECT_EQ(setting("IsUpdate").toInt(), 1);
    EXPECT_EQ(setting("CurrentVer").toUInt(), 130u);
    EXPECT_EQ(setting("UpdateDelay").toInt(), 86400);
    EXPECT_EQ(setting("LastDay").toString(), QString::number(today()));
    EXPECT_FALSE(setting("Version").isValid()) << "a download never installs";
    EXPECT_TRUE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
    EXPECT_FALSE(exists(installPath(QStringLiteral("sub"))));
    EXPECT_EQ(requests(),
        QStringList({QStringLiteral("/autoupdate/conv/verinfo.html"), QStringLiteral("/pkg/update.pak"),
            QStringLiteral("/autoupdate/conv/checksum.html")}));

    // A newer announcement must not be looked at by the installing run.
    publish(packageOf("en"), 140);
    ASSERT_EQ(runPellwick("20270101"), 0);
    EXPECT_EQ(setting("Version").toUInt(), 130u);
    EXPECT_EQ(setting("IsUpdate").toInt(), 0);
    EXPECT_EQ(readFile(installPath(QStringLiteral("sub/a.txt"))), "hello");
    EXPECT_EQ(readFile(installPath(QStringLiteral("lib/idn/b.dll"))), "abc");
    EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
    EXPECT_EQ(requests().size(), 3) << "the installing run made a request";
    EXPECT_EQ(setting("LastDay").toString(), QString::number(today()));
}

TEST_F(ScheduleTest, IntervalDecidesWhenTheNextCheckRuns)
{
    publish(packageOf("en"), 100);
    struct Case {
        qint64 lastDay;
        const char *today;
        bool due;
    };
    const qint64 t = today();
    const Case cases[] = {
        {t - 100, kToday, false}, // checked 100 s ago
        {t - 86400, kToday, false}, // exactly one interval ago: not yet
        {t + 10 * 86400, "20261212", false}, // clock set back: stamp lies ahead
        {t + 10 * 86400, "20261218", false}, // now - last equals the interval
        {t + 10 * 86400, "20261219", true}, // past the stamp plus the interval
        {t - 86401, kToday, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lastDay - t);
        setSetting("LastDay", QString::number(c.lastDay));
        const qsizetype before = requests().size();
        ASSERT_EQ(runPellwick(c.today), 0);
        EXPECT_EQ(requests().size() > before, c.due);
        const qint64 expectedStamp = c.due ? dayStart(c.today) : c.lastDay;
        EXPECT_EQ(setting("LastDay").toString(), QString::number(expectedStamp));
    }
}

TEST_F(ScheduleTest, UrlFollowedByBlanksIsTrimmed)
{
    publish(packageOf("en"), "130 86400 " + serverUrl().toUtf8() + "/pkg/update.pak   \t\r\nsecond line\n");
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("CurrentVer").toUInt(), 130u);
    EXPECT_EQ(setting("UpdateDelay").toInt(), 86400);
    EXPECT_EQ(setting("IsUpdate").toInt(), 1);
}

TEST_F(ScheduleTest, VersionLineWithoutSpacesRecordsZeroAndChecksAgainNextDay)
{
    publish(packageOf("en"), "130\n");
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("CurrentVer").toUInt(), 0u);
    EXPECT_EQ(setting("UpdateDelay").toInt(), 0);
    EXPECT_FALSE(packageRequested());
    EXPECT_FALSE(setting("IsUpdate").isValid());

    ASSERT_EQ(runPellwick(), 0); // same second: 0 elapsed is not more than 0
    EXPECT_EQ(requests().size(), 1);
    ASSERT_EQ(runPellwick("20261208"), 0);
    EXPECT_EQ(requests().size(), 2);
}

TEST_F(ScheduleTest, EqualVersionIsRecordedButNotDownloaded)
{
    setSetting("Version", 130);
    publish(packageOf("en"), "130 3600 " + serverUrl().toUtf8() + "/pkg/update.pak\n");
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("CurrentVer").toUInt(), 130u);
    EXPECT_EQ(setting("UpdateDelay").toInt(), 3600);
    EXPECT_FALSE(packageRequested());
    EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
}

TEST_F(ScheduleTest, NegativeVersionCountsAsNewestAndIsInstalled)
{
    setSetting("Version", 4000);
    publish(packageOf("en"), "-1 86400 " + serverUrl().toUtf8() + "/pkg/update.pak\n");
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("CurrentVer").toUInt(), 4294967295u);
    EXPECT_EQ(setting("IsUpdate").toInt(), 1);
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("Version").toUInt(), 4294967295u);
    EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
}

TEST_F(ScheduleTest, RejectedDownloadsAreDeletedAndNotFlagged)
{
    const QByteArray good = packageOf("en");
    QByteArray longer = good;
    longer[0] = char(longer[0] + 1); // header announces one body byte more than is served
    QByteArray shorter = good + "x"; // one byte more than announced
    struct Case {
        const char *name;
        QByteArray package;
        QByteArray checksum;
        const char *logged; // what the log must name
    };
    const Case cases[] = {
        {"upper-case checksum", good, md5Hex(good).toUpper(), "MD5 체크섬이 맞지 않습니다"},
        {"checksum of another file", good, md5Hex("other"), "MD5 체크섬이 맞지 않습니다"},
        {"header longer than body", longer, md5Hex(longer), "패키지 길이가 헤더와 다릅니다"},
        {"body longer than header", shorter, md5Hex(shorter), "보다 길어 받기를 멈추었습니다"},
        {"response shorter than a header", "1234", md5Hex("1234"), "패키지 길이가 헤더와 다릅니다"},
        {"empty response", "", md5Hex(""), "패키지 길이가 헤더와 다릅니다"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        removeSetting("LastDay");
        publish(c.package);
        writeFile(webPath(QStringLiteral("autoupdate/conv/checksum.html")), c.checksum + "\n");
        ASSERT_EQ(runPellwick(), 1);
        EXPECT_FALSE(setting("IsUpdate").isValid());
        EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
        EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp.part"))));
        EXPECT_EQ(setting("LastDay").toString(), QString::number(today()));
        EXPECT_TRUE(logText()
                        .section(QStringLiteral("업데이트를 시작합니다"), -1)
                        .contains(QString::fromUtf8(c.logged)))
            << logText().toStdString();
    }
}

TEST_F(ScheduleTest, UnreachableServerFailsAndMissingServerChecksNothing)
{
    const int port = m_server->port();
    m_server.reset(); // nothing listens there now
    struct Case {
        QString server;
        int status;
        const char *logged;
    };
    const Case cases[] = {
        {QStringLiteral("http://127.0.0.1:") + QString::number(port), 1, "서버에서 받을 수 없습니다"},
        {QString(), 0, "설정되지 않아 확인하지 않습니다"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.server.toStdString());
        removeSetting("LastDay");
        setSetting("UpdateServer", c.server);
        ASSERT_EQ(runPellwick(), c.status);
        EXPECT_EQ(setting("LastDay").toString(), QString::number(today()));
        EXPECT_FALSE(setting("CurrentVer").isValid());
        EXPECT_FALSE(setting("UpdateDelay").isValid());
        EXPECT_FALSE(setting("IsUpdate").isValid());
        EXPECT_TRUE(m_stderr.isEmpty()) << m_stderr.toStdString();
        EXPECT_TRUE(logText()
                        .section(QStringLiteral("업데이트를 시작합니다"), -1)
                        .contains(QString::fromUtf8(c.logged)))
            << logText().toStdString();
    }
}

// A waiting flag without its package fails like any install: it is tried at
// the next starts, and after the third failure dropped with the old version kept.
TEST_F(ScheduleTest, PendingFlagWithoutPackageIsTriedThreeTimesThenDropped)
{
    setSetting("IsUpdate", 1);
    setSetting("CurrentVer", 150);
    for (int start = 1; start <= 3; ++start) {
        SCOPED_TRACE(start);
        ASSERT_EQ(runPellwick(), 1);
        EXPECT_FALSE(setting("Version").isValid());
        EXPECT_EQ(setting("IsUpdate").toInt(), start < 3 ? 1 : 0);
    }
    EXPECT_EQ(logText().count(QStringLiteral("설치할 패키지 파일이 없습니다")), 3);
    EXPECT_TRUE(logText().contains(QStringLiteral("3번 실패하여 이 업데이트를 포기합니다. 버전 100")))
        << logText().toStdString();
    EXPECT_TRUE(requests().isEmpty());
    EXPECT_FALSE(setting("LastDay").isValid());

    // The next due check finds the version again, so a fixed package gets its own chances.
    publish(packageOf("en"), 150);
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("IsUpdate").toInt(), 1);
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("Version").toUInt(), 150u);
}

// Without ProPathName the installation is the program's own folder, never
// the folder Pellwick happened to be started from.
TEST_F(ScheduleTest, WithoutInstallDirectoryTheProgramsFolderIsUsed)
{
    removeSetting("ProPathName");
    QDir().mkpath(path(QStringLiteral("app/lib/idn")));
    m_program = path(QStringLiteral("app/Pellwick"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUOREL_BIN_DIR "/Pellwick"), m_program));
    publish(packageOf("write ae:\\here.txt 2\nwrite id:\\lib.so 2\nen", "okid"));
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_TRUE(exists(path(QStringLiteral("app/autoupcab.tmp"))));
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(readFile(path(QStringLiteral("app/here.txt"))), "ok");
    EXPECT_EQ(readFile(path(QStringLiteral("app/lib/idn/lib.so"))), "id");
    EXPECT_FALSE(exists(path(QStringLiteral("app/autoupcab.tmp"))));
    EXPECT_TRUE(
        QDir(path(QStringLiteral("start"))).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

} // namespace
