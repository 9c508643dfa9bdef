// Reading and writing files byte for byte: encodings, line endings, the
// refusal to save characters the encoding cannot hold.
#include <gtest/gtest.h>

#include "../support/files.h"
#include "document/textbuffer.h"
#include "document/textfile.h"

namespace {

QByteArray roundTrip(const QByteArray &bytes)
{
    const DecodedText decoded = decodeFileBytes(bytes);
    TextBuffer doc;
    loadIntoDocument(doc, decoded);
    const EncodeResult encoded = encodeDocument(doc, decoded.encoding, decoded.ending, decoded.byteOrderMark);
    EXPECT_TRUE(encoded.ok()) << encoded.message.toStdString();
    return encoded.bytes;
}

} // namespace

TEST(TextFile, DecidesEncodingAndLineEndings)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        namecodec::Encoding encoding;
        LineEnding ending;
        QString text;
    };
    const Case cases[] = {
        {"cp949 lf", cp949("메일 IN A 192.0.2.1\n"), namecodec::Encoding::Cp949, LineEnding::LF,
            QStringLiteral("메일 IN A 192.0.2.1\n")},
        {"cp949 crlf", cp949("가\r\n나\r\n"), namecodec::Encoding::Cp949, LineEnding::CRLF,
            QStringLiteral("가\n나\n")},
        {"utf-8 hangul", QByteArray("\xed\x95\x9c\xea\xb8\x80\n"), namecodec::Encoding::Utf8, LineEnding::LF,
            QStringLiteral("한글\n")},
        {"ascii only", QByteArray("www IN A 192.0.2.1"), namecodec::Encoding::Cp949, LineEnding::LF,
            QStringLiteral("www IN A 192.0.2.1")},
        {"mixed", QByteArray("a\r\nb\nc\rd"), namecodec::Encoding::Cp949, LineEnding::Mixed,
            QStringLiteral("a\nb\nc\nd")},
        // Bytes outside KS X 1001 but inside code page 949 (똠) are read as 949.
        {"extended 949", cp949("똠방각하\n"), namecodec::Encoding::Cp949, LineEnding::LF,
            QStringLiteral("똠방각하\n")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText d = decodeFileBytes(c.bytes);
        EXPECT_EQ(d.encoding, c.encoding);
        EXPECT_EQ(d.ending, c.ending);
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.badLine, 0);
    }
}

TEST(TextFile, WritesBackTheSameBytes)
{
    const QByteArray samples[] = {
        cp949("; 한글도메인.kr\n$ORIGIN 한글도메인.kr.\n쇼핑몰 IN A 192.0.2.30\n"),
        cp949("zone \"한글.kr\" {\r\n  type master;\r\n};\r\n"),
        cp949("no final newline: 끝"),
        QByteArray("\xef\xbb\xbf# BOM \xed\x95\x9c\xea\xb8\x80\n"), // UTF-8 with BOM
        QByteArray("nbsp:\xc2\xa0:\xed\x95\x9c\n"), // a no-break space survives
        cp949("crlf\r\nlf\ncr\rlast\r\n"), // every line keeps its break
        QByteArray("\r\n\r\n\n"),
        QByteArray("nul:\0:tab\t:ff\f:vt\v:esc\x1b\n", 24), // control characters survive
        QByteArray("line\xe2\x80\xa8separator \xed\x95\x9c\n"), // U+2028 inside a UTF-8 line
        QByteArray(),
    };
    int i = 0;
    for (const QByteArray &bytes : samples) {
        SCOPED_TRACE(i++);
        EXPECT_EQ(roundTrip(bytes), bytes);
    }
}

TEST(TextFile, MixedFileKeepsBreaksAroundAnEdit)
{
    // Each ending stays with the text it ended, whatever an edit joins or
    // splits; a break the edit adds takes LF.
    const struct {
        const char *name;
        QByteArray bytes;
        int line; // the edit is at the end of this line
        QString inserted;
        int removed;
        QByteArray expected;
    } cases[] = {
        {"type", cp949("하나\r\n둘\n셋\r\n"), 1, QStringLiteral("!"), 0, cp949("하나\r\n둘!\n셋\r\n")},
        {"join", QByteArray("a\r\nb\nc\r\nd\n"), 0, QString(), 1, QByteArray("ab\nc\r\nd\n")},
        {"join two", QByteArray("a\r\nb\nc\r\nd\n"), 0, QString(), 3, QByteArray("ac\r\nd\n")},
        {"split", QByteArray("a\r\nb\nc\r\nd\r\n"), 1, QStringLiteral("\n"), 0,
            QByteArray("a\r\nb\n\nc\r\nd\r\n")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText decoded = decodeFileBytes(c.bytes);
        TextBuffer doc;
        loadIntoDocument(doc, decoded);
        const int at = doc.lineStart(c.line) + static_cast<int>(doc.line(c.line).size());
        doc.replace(at, at + c.removed, c.inserted, TextSelection {at, at});
        const EncodeResult encoded = encodeDocument(doc, decoded.encoding, decoded.ending);
        ASSERT_TRUE(encoded.ok());
        EXPECT_EQ(encoded.bytes, c.expected);
        // Undo gives back every ending as it was.
        doc.undo();
        EXPECT_EQ(encodeDocument(doc, decoded.encoding, decoded.ending).bytes, c.bytes);
    }
}

TEST(TextFile, UndecodableFileNamesItsFirstBadLine)
{
    // Line 3 holds a lone lead byte: neither code page 949 nor UTF-8.
    const QByteArray bytes = cp949("가\n나\n") + QByteArray("bad \x81\n") + cp949("다\n");
    const DecodedText d = decodeFileBytes(bytes);
    EXPECT_EQ(d.badLine, 3);
    EXPECT_TRUE(d.text.startsWith(QStringLiteral("가\n나\nbad ")));
    EXPECT_TRUE(d.text.contains(QChar(QChar::ReplacementCharacter)));
    EXPECT_TRUE(d.text.endsWith(QStringLiteral("다\n")));
}

TEST(TextFile, RefusesCharactersTheEncodingCannotHold)
{
    TextBuffer doc;
    doc.setPlainText(QStringLiteral("첫 줄\n둘째 줄 \U0001F600\n"));
    const EncodeResult cp = encodeDocument(doc, namecodec::Encoding::Cp949, LineEnding::LF);
    EXPECT_FALSE(cp.ok());
    EXPECT_EQ(cp.errorLine, 2);
    EXPECT_TRUE(cp.message.contains(QStringLiteral("2번째 줄"))) << cp.message.toStdString();
    EXPECT_TRUE(cp.bytes.isEmpty());

    const EncodeResult utf8 = encodeDocument(doc, namecodec::Encoding::Utf8, LineEnding::LF);
    EXPECT_TRUE(utf8.ok());
}
