// ProfileFile on real files: the private-profile rules the FTP server list
// relies on.
#include "platform/profilefile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

mode_t modeOf(const QString &path)
{
    struct stat st { };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

class ProfileFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("servers.ini"));
};

TEST_F(ProfileFileTest, ANewFileHoldsItsCommentLineAndIsTheOwnersAlone)
{
    ProfileFile file(path);
    ASSERT_TRUE(file.createIfMissing(QStringLiteral(";ini config file of FtpOpenDialog")));
    EXPECT_EQ(readAll(path), QByteArray(";ini config file of FtpOpenDialog"));
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_TRUE(file.sectionNames().isEmpty());

    ASSERT_TRUE(file.writeString(
        QStringLiteral("회사 서버"), QStringLiteral("Add"), QStringLiteral("ftp.example.kr")));
    EXPECT_EQ(
        readAll(path), QByteArray(";ini config file of FtpOpenDialog\n[회사 서버]\nAdd=ftp.example.kr\n"));
    EXPECT_EQ(modeOf(path), 0600u) << "the atomic rewrite keeps the mode";
    // An existing file is never made again.
    EXPECT_TRUE(file.createIfMissing(QStringLiteral(";other")));
    EXPECT_TRUE(readAll(path).startsWith(";ini config"));

    // A file the owner opened up keeps the mode it was given.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(file.writeString(QStringLiteral("회사 서버"), QStringLiteral("ID"), QStringLiteral("kim")));
    EXPECT_EQ(modeOf(path), 0640u);

    // Written without the file there first: made for the owner only as well.
    const QString fresh = dir.filePath(QStringLiteral("fresh.ini"));
    ASSERT_TRUE(
        ProfileFile(fresh).writeString(QStringLiteral("a"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(modeOf(fresh), 0600u);
}

TEST_F(ProfileFileTest, NamesMatchWithoutCaseAndOnlyTheTouchedLineChanges)
{
    writeAll(path,
        "; kept comment\r\n[Alpha]\r\nAdd=a.example\r\nPass=old\r\n\r\n; "
        "between\r\n[beta]\r\nAdd=b.example\r\n"
        "other line\r\n");
    ProfileFile file(path);
    EXPECT_EQ(file.sectionNames(), (QStringList {QStringLiteral("Alpha"), QStringLiteral("beta")}));
    EXPECT_EQ(file.readString(QStringLiteral("ALPHA"), QStringLiteral("pass"), QStringLiteral("Error")),
        QStringLiteral("old"));
    EXPECT_EQ(file.readString(QStringLiteral("alpha"), QStringLiteral("ID"), QStringLiteral("Error")),
        QStringLiteral("Error"));
    EXPECT_EQ(file.readString(QStringLiteral("gamma"), QStringLiteral("Add"), QStringLiteral("none")),
        QStringLiteral("none"));

    // Key "PASS" read, "Pass" written: the same key, replaced in place.
    ASSERT_TRUE(file.writeString(QStringLiteral("alpha"), QStringLiteral("PASS"), QStringLiteral("new")));
    // A new key goes after the section's last key, a new section to the end.
    ASSERT_TRUE(file.writeString(QStringLiteral("BETA"), QStringLiteral("PORT"), QStringLiteral("2121")));
    ASSERT_TRUE(
        file.writeString(QStringLiteral("gamma"), QStringLiteral("Add"), QStringLiteral("c.example")));
    EXPECT_EQ(readAll(path),
        QByteArray("; kept comment\r\n[Alpha]\r\nAdd=a.example\r\nPASS=new\r\n\r\n; between\r\n[beta]\r\n"
                   "Add=b.example\r\nPORT=2121\r\nother line\r\n[gamma]\r\nAdd=c.example\r\n"));
    EXPECT_EQ(file.sectionNames(),
        (QStringList {QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));

    ASSERT_TRUE(file.deleteSection(QStringLiteral("ALPHA")));
    EXPECT_EQ(file.sectionNames(), (QStringList {QStringLiteral("beta"), QStringLiteral("gamma")}));
    EXPECT_TRUE(readAll(path).startsWith("; kept comment\r\n[beta]"));
}

TEST_F(ProfileFileTest, NumbersAndValuesReadAsThePlatformReadsThem)
{
    writeAll(path, "[s]\nPORT = 2121xyz\nNEG=-5\nTEXT=abc\nEMPTY=\nQUOTED=\"  spaced  \"\n");
    ProfileFile file(path);
    EXPECT_EQ(file.readInt(QStringLiteral("s"), QStringLiteral("port"), 0), 2121);
    EXPECT_EQ(file.readInt(QStringLiteral("s"), QStringLiteral("NEG"), 7), 0);
    EXPECT_EQ(file.readInt(QStringLiteral("s"), QStringLiteral("TEXT"), 7), 0);
    EXPECT_EQ(file.readInt(QStringLiteral("s"), QStringLiteral("EMPTY"), 7), 0);
    EXPECT_EQ(file.readInt(QStringLiteral("s"), QStringLiteral("MISSING"), 7), 7);
    EXPECT_EQ(
        file.readString(QStringLiteral("s"), QStringLiteral("QUOTED"), {}), QStringLiteral("  spaced  "));

    // Whatever a password holds comes back exactly as written.
    for (const QString &password : {QStringLiteral("  pad "), QStringLiteral("\"q\""),
             QStringLiteral("a=b;c"), QStringLiteral("비밀 번호")}) {
        ASSERT_TRUE(file.writeString(QStringLiteral("s"), QStringLiteral("Pass"), password));
        EXPECT_EQ(file.readString(QStringLiteral("s"), QStringLiteral("PASS"), {}), password);
    }
    EXPECT_FALSE(file.writeString(QStringLiteral("s"), QStringLiteral("Pass"), QStringLiteral("two\nlines")));
}

TEST_F(ProfileFileTest, ALongListOfSectionsIsReadWhole)
{
    QByteArray bytes;
    QStringList expected;
    for (int i = 0; i < 400; ++i) {
        const QString name = QStringLiteral("서버 번호 %1 입니다").arg(i);
        expected << name;
        bytes += "[" + name.toUtf8() + "]\nAdd=h" + QByteArray::number(i) + "\n";
    }
    writeAll(path, bytes);
    const QStringList names = ProfileFile(path).sectionNames();
    EXPECT_GT(expected.join(QChar(0)).toUtf8().size(), 4094);
    EXPECT_EQ(names, expected);
}

TEST_F(ProfileFileTest, BytesOfOtherLinesAreKeptAsTheyWere)
{
    // Not UTF-8: read as code page 949 and written back byte for byte.
    const QByteArray odd("[s]\nAdd=\xFF\xFF\x80\n");
    writeAll(path, odd);
    ASSERT_TRUE(
        ProfileFile(path).writeString(QStringLiteral("s"), QStringLiteral("ID"), QStringLiteral("x")));
    EXPECT_EQ(readAll(path), odd + "ID=x\n");
}

TEST_F(ProfileFileTest, ACodePage949FileStaysInItsEncoding)
{
    // "[서버]" in code page 949, as the list was written on its original platform.
    writeAll(path, QByteArray("[\xBC\xAD\xB9\xF6]\r\nAdd=old.example\r\n"));
    ProfileFile file(path);
    EXPECT_EQ(file.sectionNames(), QStringList {QStringLiteral("서버")});
    ASSERT_TRUE(file.writeString(QStringLiteral("서버"), QStringLiteral("ID"), QStringLiteral("관리자")));
    EXPECT_EQ(readAll(path),
        QByteArray("[\xBC\xAD\xB9\xF6]\r\nAdd=old.example\r\nID=\xB0\xFC\xB8\xAE\xC0\xDA\r\n"));
}

} // namespace
