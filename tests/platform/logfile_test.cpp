#include "platform/logfile.h"
#include "platform/logging.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const QRegularExpression kLine(
    QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d{4} (\\w+) ([\\w.]+): (.*)$"));

std::atomic<int> g_passedOn {0};
// Stands in for Qt's stderr handler, so the test sees what reaches it.
void countingHandler(QtMsgType, const QMessageLogContext &, const QString &)
{
    ++g_passedOn;
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.endsWith(QLatin1Char('\n')));
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

mode_t modeOf(const QString &path)
{
    struct stat info { };
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    return info.st_mode & 07777;
}

} // namespace

// Over two megabytes of warnings: the file never passes the cap, it ends
// with the newest line, and what it kept is whole consecutive lines. The
// handler before it got every message, debug ones included; the file got
// no debug line.
TEST(LogFile, KeepsTheNewestWholeLinesUnderTheCap)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("state/quorel/quorel.log"));
    const QtMessageHandler before = qInstallMessageHandler(countingHandler);
    g_passedOn = 0;
    constexpr int kCount = 20000;
    {
        LogFile log(path);
        ASSERT_TRUE(log.isOpen());
        log.install();
        enableVerboseLogging();
        const QString filler(80, QLatin1Char('x'));
        for (int i = 0; i < kCount; ++i)
            qCWarning(lcDocument, "entry %d\n%s", i, qPrintable(filler));
        qCDebug(lcDocument, "a debug line");
        QLoggingCategory::setFilterRules(QString());
    }
    qInstallMessageHandler(before);
    EXPECT_EQ(g_passedOn.load(), kCount + 1);

    EXPECT_LE(QFile(path).size(), LogFile::kCapBytes);
    EXPECT_GT(QFile(path).size(), LogFile::kCapBytes / 2);
    const QStringList lines = fileLines(path);
    ASSERT_FALSE(lines.isEmpty());
    int expected = -1;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = kLine.match(line);
        ASSERT_TRUE(match.hasMatch()) << qPrintable(line);
        EXPECT_EQ(match.captured(1), QStringLiteral("warning"));
        EXPECT_EQ(match.captured(2), QStringLiteral("quorel.document"));
        // The box's line break became a separator: one event, one line.
        const QStringList parts = match.captured(3).split(QStringLiteral(" / "));
        ASSERT_EQ(parts.size(), 2) << qPrintable(line);
        const int number = parts[0].mid(6).toInt();
        if (expected >= 0) {
            EXPECT_EQ(number, expected);
        }
        expected = number + 1;
    }
    EXPECT_EQ(expected, kCount);
}

// Lines from several threads at once come out whole, each exactly once.
TEST(LogFile, LinesFromManyThreadsStayWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("quorel.log"));
    constexpr int kThreads = 4;
    constexpr int kEach = 1000;
    {
        LogFile log(path);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, t] {
                for (int i = 0; i < kEach; ++i)
                    log.append(QtCriticalMsg, "quorel.ftp",
                        QStringLiteral("스레드 %1 줄 %2 %3")
                            .arg(t)
                            .arg(i)
                            .arg(QString(150, QLatin1Char('z'))));
            });
        }
        for (std::thread &thread : threads)
            thread.join();
    }
    std::set<QString> seen;
    for (const QString &line : fileLines(path)) {
        const QRegularExpressionMatch match = kLine.match(line);
        ASSERT_TRUE(match.hasMatch()) << qPrintable(line);
        EXPECT_EQ(match.captured(1), QStringLiteral("critical"));
        EXPECT_TRUE(match.captured(3).endsWith(QString(150, QLatin1Char('z'))));
        EXPECT_TRUE(seen.insert(match.captured(3)).second);
    }
    EXPECT_EQ(seen.size(), std::size_t(kThreads * kEach));
}

// The log may name the user's files and servers: it is made 0600 in a
// folder of the user's alone, a wider mode left on it is tightened, and a
// link planted under its name is never written through.
TEST(LogFile, IsPrivateAndNeverFollowsALink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("quorel/quorel.log"));
    {
        // Nothing said, nothing made: a quiet run leaves no trace.
        LogFile log(path);
        ASSERT_TRUE(log.isOpen());
        log.install();
        qWarning("a warning of Qt's own about the session");
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("quorel"))));
        qCWarning(lcDocument, "the first line");
    }
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_FALSE(fileLines(path).join(u'\n').contains(QStringLiteral("Qt's own")));
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("quorel"))), 0700u);

    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    {
        LogFile log(path);
        ASSERT_TRUE(log.isOpen());
    }
    EXPECT_EQ(modeOf(path), 0600u);

    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    const QString linked = dir.filePath(QStringLiteral("quorel/linked.log"));
    ASSERT_TRUE(QFile::link(target, linked));
    {
        LogFile log(linked);
        EXPECT_FALSE(log.isOpen());
        log.append(QtWarningMsg, "quorel.app", QStringLiteral("lost"));
    }
    EXPECT_FALSE(QFile::exists(target));
}
