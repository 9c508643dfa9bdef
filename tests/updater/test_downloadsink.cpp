// The rules a package download is held to while its bytes arrive.
#include <algorithm>
#include <cerrno>
#include <string>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "updater/packagedownloadsink.h"

namespace {

using namespace pellwick;

constexpr qint64 kCap = 1000;

std::string package(quint32 declared, std::size_t bodyBytes)
{
    std::string bytes(PackageDownloadSink::kHeaderBytes, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[std::size_t(i)] = char((declared >> (8 * i)) & 0xff);
    bytes[4] = 'Z'; // the rest of the header is not the sink's business
    for (std::size_t i = 0; i < bodyBytes; ++i)
        bytes.push_back(char('a' + i % 26));
    return bytes;
}

class DownloadSink : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("part")); }
    int create() const
    {
        return ::open(QFile::encodeName(path()).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    }
    QByteArray stored() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }
    // Feeds bytes in pieces of `step`; the number of pieces taken before the sink said stop.
    static std::size_t feed(PackageDownloadSink &sink, const std::string &bytes, std::size_t step)
    {
        std::size_t pieces = 0;
        for (std::size_t at = 0; at < bytes.size(); at += step, ++pieces) {
            if (!sink.write(bytes.data() + at, std::min(step, bytes.size() - at)))
                break;
        }
        return pieces;
    }

    QTemporaryDir m_dir;
};

TEST_F(DownloadSink, StoresAndHashesAWholePackageHoweverItIsSplit)
{
    const std::string bytes = package(300, 300);
    const QByteArray view = QByteArray::fromStdString(bytes);
    for (std::size_t step : {std::size_t(1), std::size_t(3), std::size_t(7), std::size_t(8), std::size_t(9),
             std::size_t(64), bytes.size()}) {
        SCOPED_TRACE(step);
        PackageDownloadSink sink(create(), "part", kCap, true);
        EXPECT_EQ(feed(sink, bytes, step), (bytes.size() + step - 1) / step);
        ASSERT_TRUE(sink.finish());
        EXPECT_EQ(sink.declaredBodyBytes(), 300u);
        EXPECT_EQ(sink.received(), qint64(bytes.size()));
        EXPECT_EQ(stored(), view);
        EXPECT_EQ(sink.md5Hex(), QCryptographicHash::hash(view, QCryptographicHash::Md5).toHex());
        EXPECT_EQ(sink.sha256Hex(), QCryptographicHash::hash(view, QCryptographicHash::Sha256).toHex());
    }
}

TEST_F(DownloadSink, WorksOutSha256OnlyWhenAsked)
{
    PackageDownloadSink sink(create(), "part", kCap, false);
    const std::string bytes = package(4, 4);
    feed(sink, bytes, bytes.size());
    ASSERT_TRUE(sink.finish());
    EXPECT_TRUE(sink.sha256Hex().isEmpty());
    EXPECT_EQ(sink.md5Hex(),
        QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5).toHex());
}

TEST_F(DownloadSink, ReportsProgressOnlyForBytesItKept)
{
    PackageDownloadSink sink(create(), "part", kCap, false);
    const std::string bytes = package(10, 12);
    EXPECT_TRUE(sink.write(bytes.data(), 5));
    EXPECT_EQ(sink.received(), 5);
    EXPECT_TRUE(sink.write(bytes.data() + 5, 10));
    EXPECT_EQ(sink.received(), 15);
    EXPECT_FALSE(sink.write(bytes.data() + 15, 5)); // two bytes past the promised body
    EXPECT_EQ(sink.received(), 15);
    EXPECT_TRUE(sink.finish().error().message.find("10바이트보다 길어") != std::string::npos);
    EXPECT_EQ(stored(), QByteArray::fromStdString(bytes.substr(0, 15)));
}

TEST_F(DownloadSink, HoldsTheBodyToTheLengthItsHeaderPromises)
{
    struct Case {
        const char *what;
        quint32 declared;
        std::size_t body;
        std::size_t step;
        FailureKind kind;
        const char *says;
        qint64 kept;
        std::size_t cutTo = 0; // the connection ends here
    };
    const Case cases[] = {
        {"header over the cap", quint32(kCap - 7), 0, 8, FailureKind::TooLarge, "본문 993바이트", 0},
        {"header over the cap, split", quint32(kCap - 7), 0, 3, FailureKind::TooLarge, "최대", 6},
        {"header past 4 GiB of cap", 0xffffffffu, 0, 8, FailureKind::TooLarge, "본문 4294967295바이트", 0},
        {"body longer than declared", 20, 21, 29, FailureKind::TooLarge, "20바이트보다 길어", 0},
        {"body longer, split", 20, 25, 4, FailureKind::TooLarge, "20바이트보다 길어", 28},
        {"body shorter than declared", 20, 19, 5, FailureKind::BadDownload, "받은 본문 19바이트", 27},
        {"header cut short", 20, 0, 1, FailureKind::BadDownload, "받은 본문 0바이트", 5, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = package(c.declared, c.body);
        if (c.cutTo)
            bytes.resize(c.cutTo);
        PackageDownloadSink sink(create(), "part", kCap, false);
        feed(sink, bytes, c.step);
        EXPECT_EQ(sink.received(), c.kept);
        const Status verdict = sink.finish();
        ASSERT_FALSE(verdict);
        EXPECT_EQ(verdict.error().kind, c.kind);
        EXPECT_NE(verdict.error().message.find(c.says), std::string::npos) << verdict.error().message;
        EXPECT_EQ(stored().size(), c.kept);
    }
}

TEST_F(DownloadSink, TakesAHeaderThatFillsTheCapExactly)
{
    PackageDownloadSink sink(create(), "part", kCap, false);
    const std::string bytes = package(quint32(kCap - 8), std::size_t(kCap - 8));
    feed(sink, bytes, 100);
    EXPECT_TRUE(sink.finish());
    EXPECT_EQ(sink.received(), kCap);
}

TEST_F(DownloadSink, StopsAndNamesTheFileWhenItCannotBeWritten)
{
    struct Case {
        const char *what;
        const char *device;
        int flags;
    };
    const Case cases[] = {
        {"full disk", "/dev/full", O_WRONLY},
        {"opened for reading only", nullptr, O_RDONLY},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::close(create()), 0);
        const QByteArray target = c.device ? QByteArray(c.device) : QFile::encodeName(path());
        const int fd = ::open(target.constData(), c.flags | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        PackageDownloadSink sink(fd, "autoupcab.part", kCap, false);
        const std::string bytes = package(10, 10);
        EXPECT_FALSE(sink.write(bytes.data(), bytes.size()));
        EXPECT_EQ(sink.received(), 0);
        const Status verdict = sink.finish();
        ASSERT_FALSE(verdict);
        EXPECT_EQ(verdict.error().kind, FailureKind::Disk);
        EXPECT_NE(verdict.error().message.find("autoupcab.part"), std::string::npos);
        EXPECT_NE(verdict.error().message.find(describeErrno(c.device ? ENOSPC : EBADF)), std::string::npos)
            << verdict.error().message;
    }
}

} // namespace
