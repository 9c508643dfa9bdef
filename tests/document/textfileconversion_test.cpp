#include "document/namebytes.h"
#include "document/textfileconversion.h"
#include "namecodec/namecodec.h"
#include "platform/quorelids.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

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

// Keeps every piece it is given, and may decline the text after some.
class RecordingSink final : public ConvertedTextSink {
public:
    int declineAfter = -1; // pieces taken before declining; -1: never
    QByteArray bytes;
    int pieces = 0;
    bool sawLast = false;
    bool piecesEndWithBreaks = true;

    bool take(QByteArrayView lines, bool last) override
    {
        if (pieces++ == declineAfter)
            return false;
        EXPECT_FALSE(sawLast);
        sawLast = last;
        if (!last && !lines.endsWith('\n'))
            piecesEndWithBreaks = false;
        bytes += lines;
        return true;
    }
};

// Several megabytes, more than a pipe holds, with Hangul on every line.
QByteArray largeZone()
{
    QByteArray zone = cp949(QStringLiteral("$ORIGIN 한국.kr.\n$TTL 3600\n"));
    for (int i = 0; zone.size() < 3 * 1024 * 1024; ++i)
        zone += cp949(QStringLiteral("웹%1\tIN\tCNAME\t서버%1.한국.kr.\n").arg(i));
    return zone;
}

QByteArray convertedByTheLibrary(const QByteArray &source, int keep)
{
    namecodec::ConvertOptions options;
    options.kind = namecodec::FileKind::Zone;
    options.keepComment = keep == 1;
    namecodec::ConvertReport report;
    const std::string out = namecodec::convertText(
        std::string_view(source.constData(), static_cast<std::size_t>(source.size())), options, report);
    EXPECT_TRUE(report.ok());
    return QByteArray::fromStdString(out);
}

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

        const TextConversion forth = convertDocumentBytes(
            euckr, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, keep, temp.path());
        ASSERT_TRUE(forth.ok);
        EXPECT_EQ(forth.text, expected);
        EXPECT_TRUE(forth.text.contains("xn--3e0b707e"));
        EXPECT_EQ(forth.text.contains("; $ORIGIN"), keep == 1);

        writeAll(in, forth.text);
        ASSERT_EQ(ConvertFile(QFile::encodeName(in), QFile::encodeName(out), 2, 4, keep, &line), 0);
        const TextConversion back = convertDocumentBytes(
            forth.text, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949, keep, temp.path());
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
    const TextConversion result = convertDocumentBytes(
        text, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 1, temp.path());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorLine, 3);
    EXPECT_TRUE(result.text.isEmpty());
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

TEST(ConvertDocumentBytes, EveryFailingLineComesWithColumnLabelAndReason)
{
    // The C entry point would name line 2 only; a user mends all three at once.
    QTemporaryDir temp;
    const QString filler = QString(QChar(0x3164));
    const QByteArray text = cp949(QStringLiteral("ok\tIN\tA\t10.0.0.1\n"
                                                 "가%1\tIN\tA\t10.0.0.2\n"
                                                 "www\tIN\tCNAME\t웹.한국.kr.\n"
                                                 "mail\tIN\tCNAME\txn--zz-invalid.kr.\n"
                                                 "한글_\tIN\tA\t10.0.0.3\n")
                                      .arg(filler));
    for (const auto &[from, to] : {std::pair {namecodec::Encoding::Cp949, namecodec::Encoding::Punycode},
             std::pair {namecodec::Encoding::Punycode, namecodec::Encoding::Cp949}}) {
        SCOPED_TRACE(static_cast<int>(from));
        const TextConversion result = convertDocumentBytes(text, from, to, 1, temp.path());
        EXPECT_FALSE(result.ok);
        ASSERT_FALSE(result.faults.isEmpty());
        EXPECT_EQ(result.errorLine, result.faults.front().line);
        for (const ConversionFault &fault : result.faults) {
            EXPECT_GT(fault.column, 0);
            EXPECT_FALSE(fault.reason.isEmpty());
            EXPECT_TRUE(
                fault.text().startsWith(QStringLiteral("%1번째 줄 %2열: ").arg(fault.line).arg(fault.column)))
                << fault.text().toStdString();
        }
        EXPECT_TRUE(QDir(temp.path()).isEmpty());
    }

    const TextConversion forth = convertDocumentBytes(
        text, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 1, temp.path());
    // Going to Punycode an xn-- label is copied as it is; going back it is
    // decoded and refused.
    ASSERT_EQ(forth.faults.size(), 2);
    EXPECT_EQ(forth.faults[0].line, 2);
    EXPECT_EQ(forth.faults[0].column, 1);
    EXPECT_EQ(forth.faults[0].label, QStringLiteral("가") + filler);
    EXPECT_TRUE(forth.faults[0].reason.contains(QStringLiteral("한글 채움 문자 U+3164")))
        << forth.faults[0].reason.toStdString();
    EXPECT_EQ(forth.faults[1].line, 5);

    const TextConversion back = convertDocumentBytes(
        text, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949, 1, temp.path());
    ASSERT_FALSE(back.faults.isEmpty());
    const auto invalid = std::find_if(back.faults.cbegin(), back.faults.cend(),
        [](const ConversionFault &fault) { return fault.line == 4; });
    ASSERT_NE(invalid, back.faults.cend());
    EXPECT_TRUE(invalid->label.contains(QStringLiteral("xn--zz-invalid"))) << invalid->label.toStdString();
    EXPECT_EQ(invalid->column, 15); // after "mail\tIN\tCNAME\t", 14 characters
}

TEST(ConvertDocumentBytes, AMissingTemporaryDirectoryIsReportedWithoutALine)
{
    QTemporaryDir temp;
    const QString missing = temp.filePath(QStringLiteral("temp"));
    const TextConversion result = convertDocumentBytes(
        cp949(kZone), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 1, missing);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorLine, 0);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST(ConvertTextFile, AnEmptyOutputPathSucceedsWithoutConverting)
{
    int line = -5;
    EXPECT_TRUE(ConvertTextFile(QStringLiteral("/nonexistent/in"), QString(), namecodec::Encoding::Cp949,
        namecodec::Encoding::Punycode, 1, &line));
    EXPECT_EQ(line, -5);
}

TEST(ConversionKind, TheTemplateTellsFirstThenTheExtensionThenTheContent)
{
    using namecodec::FileKind;
    const QByteArray vhost
        = cp949(QStringLiteral("<VirtualHost *:80>\n    ServerName 예제.한국\n</VirtualHost>\n"));
    const QByteArray named = cp949(QStringLiteral("zone \"예제.한국\" {\n    type master;\n};\n"));
    const QByteArray unclear = cp949(QStringLiteral("# 예제.한국 설정\n"));
    const struct {
        int templateId; // 0: opened from the path
        const char *path;
        QByteArray content;
        FileKind expected;
    } cases[] = {
        // A template the user chose is the kind, whatever the file is called.
        {ids::templ::kZone, "", unclear, FileKind::Zone},
        {ids::templ::kReverseZone, "/srv/reverse.db", unclear, FileKind::Zone},
        {ids::templ::kNamedConf, "", vhost, FileKind::NamedConf},
        {ids::templ::kVirtualHost, "/etc/apache2/sites/site.conf", named, FileKind::WebServer},
        // Opened by its extension.
        {0, "/var/named/예제.한국.zone", vhost, FileKind::Zone},
        {0, "/var/named/EXAMPLE.ZONE", unclear, FileKind::Zone},
        {ids::templ::kGeneral, "/home/user/new.zone", unclear,
            FileKind::Zone}, // a general document saved as a zone file
        // ".conf" names both configurations: the content tells them apart,
        // and named.conf, which converts the fewest names, when it cannot.
        {0, "/etc/apache2/sites-available/예제.conf", vhost, FileKind::WebServer},
        {0, "/etc/bind/named.conf", named, FileKind::NamedConf},
        {0, "/etc/misc.conf", unclear, FileKind::NamedConf},
        // BIND's names without those extensions: "db.*" is a zone, whatever
        // it holds; "named.conf.*" is read as ".conf" is.
        {0, "/var/named/db.example", named, FileKind::Zone},
        {0, "/etc/bind/DB.192.168.1", unclear, FileKind::Zone},
        {0, "/etc/bind/named.conf.local", named, FileKind::NamedConf},
        {0, "/etc/bind/db.web.conf", vhost, FileKind::WebServer},
        // Anything else is recognised from the content by the library.
        {0, "/var/named/example.hosts", named, FileKind::Auto},
        {0, "/var/named/named.root", unclear, FileKind::Auto},
        {ids::templ::kGeneral, "", vhost, FileKind::Auto},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.templateId) + " " + c.path);
        EXPECT_EQ(conversionKind(c.templateId, QString::fromUtf8(c.path), c.content), c.expected);
    }
}

TEST(ConvertDocumentBytes, TheKindGivenIsTheKindScanned)
{
    // The start of this zone file reads like general text; told it is a
    // zone file, the conversion leaves the comment and the TXT string alone.
    QTemporaryDir temp;
    const QByteArray zone = cp949(QStringLiteral("; 예제.한국 info\n예제.한국. IN TXT \"메일.예제.한국\"\n"));
    const TextConversion asZone = convertDocumentBytes(zone, namecodec::Encoding::Cp949,
        namecodec::Encoding::Punycode, 0, temp.path(), namecodec::FileKind::Zone);
    ASSERT_TRUE(asZone.ok);
    EXPECT_EQ(asZone.text,
        cp949(QStringLiteral("; 예제.한국 info\nxn--2j5b21b.xn--3e0b707e. IN TXT \"메일.예제.한국\"\n")));
    const TextConversion asText = convertDocumentBytes(zone, namecodec::Encoding::Cp949,
        namecodec::Encoding::Punycode, 0, temp.path(), namecodec::FileKind::General);
    ASSERT_TRUE(asText.ok);
    EXPECT_TRUE(asText.text.startsWith("; xn--2j5b21b.xn--3e0b707e info\n"));
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

// The result streamed to a sink while the library writes it: the same bytes
// as through a file, whole lines a piece; a sink that declines gets the text
// made again into a file, and nothing is left in the temporary folder.
TEST(ConvertDocumentBytes, ASinkTakesTheResultAsItIsWrittenOrHandsItBack)
{
    QTemporaryDir temp;
    const QByteArray zone = largeZone();
    for (int keep : {1, 0}) {
        SCOPED_TRACE(keep);
        const QByteArray expected = convertedByTheLibrary(zone, keep);
        ASSERT_GT(expected.size(), 3 * 1024 * 1024);

        RecordingSink whole;
        const TextConversion streamed = convertDocumentBytes(zone, namecodec::Encoding::Cp949,
            namecodec::Encoding::Punycode, keep, temp.path(), namecodec::FileKind::Zone, {}, &whole);
        ASSERT_TRUE(streamed.ok);
        EXPECT_TRUE(streamed.streamed);
        EXPECT_TRUE(streamed.text.isEmpty());
        EXPECT_TRUE(whole.bytes == expected);
        EXPECT_GT(whole.pieces, 2);
        EXPECT_TRUE(whole.sawLast);
        EXPECT_TRUE(whole.piecesEndWithBreaks);
        EXPECT_TRUE(QDir(temp.path()).isEmpty());

        // Declining at once and half-way: the library is never left waiting
        // on a full pipe, and the text comes back through a file.
        for (int after : {0, 2}) {
            SCOPED_TRACE(after);
            RecordingSink declining;
            declining.declineAfter = after;
            const TextConversion handedBack = convertDocumentBytes(zone, namecodec::Encoding::Cp949,
                namecodec::Encoding::Punycode, keep, temp.path(), namecodec::FileKind::Zone, {}, &declining);
            ASSERT_TRUE(handedBack.ok);
            EXPECT_FALSE(handedBack.streamed);
            EXPECT_TRUE(handedBack.text == expected);
            EXPECT_TRUE(QDir(temp.path()).isEmpty());
        }
    }
}

TEST(ConvertDocumentBytes, AFailureWithASinkNamesTheLineAndLeavesNothing)
{
    QTemporaryDir temp;
    QByteArray zone = largeZone();
    const int lines = static_cast<int>(zone.count('\n'));
    zone += cp949(QStringLiteral("한글_\tIN\tA\t10.0.0.3\n"));
    RecordingSink sink;
    const TextConversion result = convertDocumentBytes(zone, namecodec::Encoding::Cp949,
        namecodec::Encoding::Punycode, 1, temp.path(), namecodec::FileKind::Zone, {}, &sink);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.streamed);
    EXPECT_EQ(result.errorLine, lines + 1);
    EXPECT_TRUE(QDir(temp.path()).isEmpty());

    // A copy gone before the library reads it fails before the library
    // opens the pipe: the reader is not left waiting for a writer.
    RecordingSink unread;
    const auto writeAndLose = [](QIODevice &copy) {
        const auto *file = qobject_cast<QFile *>(&copy);
        return file && QFile::remove(file->fileName()) && copy.write("a\n") == 2;
    };
    const TextConversion missing = convertDocumentCopy(
        writeAndLose, [](QByteArrayView) { return namecodec::FileKind::Zone; }, namecodec::Encoding::Cp949,
        namecodec::Encoding::Punycode, 0, temp.path(), {}, &unread);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.errorLine, 1);
    EXPECT_TRUE(unread.bytes.isEmpty());
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}
