// The check phase and the schedule, run through the real program against a
// real HTTP server.
#include "pellwickfixture.h"

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
    };
    const Case cases[] = {
        {"upper-case checksum", good, md5Hex(good).toUpper()},
        {"checksum of another file", good, md5Hex("other")},
        {"header longer than body", longer, md5Hex(longer)},
        {"body longer than header", shorter, md5Hex(shorter)},
        {"response shorter than a header", "1234", md5Hex("1234")},
        {"empty response", "", md5Hex("")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        removeSetting("LastDay");
        publish(c.package);
        writeFile(webPath(QStringLiteral("autoupdate/conv/checksum.html")), c.checksum + "\n");
        ASSERT_EQ(runPellwick(), 0);
        EXPECT_FALSE(setting("IsUpdate").isValid());
        EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
        EXPECT_EQ(setting("LastDay").toString(), QString::number(today()));
    }
}

TEST_F(ScheduleTest, UnreachableOrMissingServerOnlyStampsTheCheck)
{
    const int port = m_server->port();
    m_server.reset(); // nothing listens there now
    for (const QString &server : {QStringLiteral("http://127.0.0.1:") + QString::number(port), QString()}) {
        SCOPED_TRACE(server.toStdString());
        removeSetting("LastDay");
        setSetting("UpdateServer", server);
        ASSERT_EQ(runPellwick(), 0);
        EXPECT_EQ(setting("LastDay").toString(), QString::number(today()));
        EXPECT_FALSE(setting("CurrentVer").isValid());
        EXPECT_FALSE(setting("UpdateDelay").isValid());
        EXPECT_FALSE(setting("IsUpdate").isValid());
        EXPECT_TRUE(m_stderr.isEmpty()) << m_stderr.toStdString();
    }
}

TEST_F(ScheduleTest, PendingFlagWithoutPackageDropsTheUpdate)
{
    setSetting("IsUpdate", 1);
    setSetting("CurrentVer", 150);
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("Version").toUInt(), 150u);
    EXPECT_EQ(setting("IsUpdate").toInt(), 0);
    EXPECT_TRUE(requests().isEmpty());
    EXPECT_FALSE(setting("LastDay").isValid());
}

TEST_F(ScheduleTest, WithoutInstallDirectoryTheStartDirectoryIsUsed)
{
    removeSetting("ProPathName");
    publish(packageOf("write ae:\\here.txt 2\nen", "ok"));
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_TRUE(exists(path(QStringLiteral("start/autoupcab.tmp"))));
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(readFile(path(QStringLiteral("start/here.txt"))), "ok");
    EXPECT_FALSE(exists(path(QStringLiteral("start/autoupcab.tmp"))));
}

} // namespace
