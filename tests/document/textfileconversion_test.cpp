#include "document/namebytes.h"
#include "document/textfileconversion.h"
#include "namecodec/namecodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray cp949(const QString &text)
{
    return encodeNameText(text, namecodec::Encoding::Cp949).value();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QString kZone = QStringLiteral("$ORIGIN 한국.kr.\r\n"
                                     "@\tIN\tSOA\tns.한국.kr. admin.한국.kr. (1 3600 900 604800 86400)\r\n"
                                     "\tIN\tNS\tns.한국.kr.\r\n"
                                     "www\tIN\tCNAME\t웹.한국.kr. ; 별칭\r\n"
                                     "txt\tIN\tTXT\t\"한국.kr 그대로\"\r\n");

} // namespace

TEST(ConvertDocumentBytes, GivesExactlyWhatConvertFileWritesBothWaysWithAndWithoutComments)
{
    QTemporaryDir temp;
    QTemporaryDir reference;
    const QByteArray euckr = cp949(kZone);
    for (int keep : {1, 0}) {
        SCOPED_TRACE(keep);
        const QString in = reference.filePath(QStringLiteral("in.zone"));
        const QString out = reference.filePath(QStringLiteral("out.zone"));
        writeAll(in, euckr);
        int line = 0;
        ASSERT_EQ(ConvertFile(QFile::encodeName(in), QFile::encodeName(out), 4, 2, keep, &line), 0);
        const QByteArray expected = readAll(out);

        const TextConversion forth = convertDocumentBytes(euckr, 4, 2, keep, temp.path());
        ASSERT_TRUE(forth.ok);
        EXPECT_EQ(forth.text, expected);
        EXPECT_TRUE(forth.text.contains("xn--3e0b707e"));
        EXPECT_EQ(forth.text.contains("; $ORIGIN"), keep == 1);

        writeAll(in, forth.text);
        ASSERT_EQ(ConvertFile(QFile::encodeName(in), QFile::encodeName(out), 2, 4, keep, &line), 0);
        const TextConversion back = convertDocumentBytes(forth.text, 2, 4, keep, temp.path());
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.text, readAll(out));
        if (keep == 0) {
            EXPECT_EQ(back.text, euckr); // a round trip without comments gives the text back
        }
        EXPECT_TRUE(QDir(temp.path()).isEmpty());
    }
}

TEST(ConvertDocumentBytes, AFailureNamesTheLineAndLeavesNoTemporaryFile)
{
    QTemporaryDir temp;
    const QByteArray text = cp949(QStringLiteral("a\tIN\tA\t10.0.0.1\n"
                                                 "b\tIN\tA\t10.0.0.2\n"
                                                 "한글_\tIN\tA\t10.0.0.3\n"));
    const TextConversion result = convertDocumentBytes(text, 4, 2, 1, temp.path());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorLine, 3);
    EXPECT_TRUE(result.text.isEmpty());
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

TEST(ConvertDocumentBytes, AMissingTemporaryDirectoryIsReportedWithoutALine)
{
    QTemporaryDir temp;
    const QString missing = temp.filePath(QStringLiteral("temp"));
    const TextConversion result = convertDocumentBytes(cp949(kZone), 4, 2, 1, missing);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorLine, 0);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST(ConvertTextFile, AnEmptyOutputPathSucceedsWithoutConverting)
{
    int line = -5;
    EXPECT_TRUE(ConvertTextFile(QStringLiteral("/nonexistent/in"), QString(), 4, 2, 1, &line));
    EXPECT_EQ(line, -5);
}
