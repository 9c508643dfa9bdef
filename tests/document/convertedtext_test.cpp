// Reading a whole document's converted bytes back into lines: the quick
// reader for code page 949 results must give exactly what the general
// reader gives, or step aside for it.
#include "document/documentconversion.h"
#include "document/lineblocks.h"
#include "document/namebytes.h"
#include "document/textbuffer.h"
#include "document/textfile.h"
#include "document/textfileconversion.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

QByteArray cp949(const QString &text)
{
    return encodeNameText(text, namecodec::Encoding::Cp949).value();
}

// Over a megabyte, so that it is read in two halves: ASCII lines, Hangul
// lines and empty lines, in an order that moves with `seed` so the middle
// falls on different kinds of line.
QByteArray largeResult(int seed)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 1100 * 1024 + seed * 7; ++i) {
        switch ((i + seed) % 4) {
        case 0:
            bytes += "www" + QByteArray::number(i) + "\tIN\tCNAME\txn--3e0b707e.kr.\n";
            break;
        case 1:
            bytes += cp949(QStringLiteral("; 웹%1\tIN\tCNAME\t똠햏.한국.kr.\n").arg(i));
            break;
        case 2:
            bytes += "\n";
            break;
        default:
            bytes
                += cp949(QStringLiteral("한%1")).replace("%1", QByteArray::number(i)) + "\tIN\tA\t10.0.0.1\n";
        }
    }
    return bytes;
}

void expectReadLikeTheGeneralReader(const QByteArray &bytes)
{
    const std::unique_ptr<TextBuffer> text = readPlainCp949Text(bytes);
    ASSERT_NE(text, nullptr);
    const DecodedText decoded = decodeFileBytes(bytes);
    ASSERT_EQ(decoded.badLine, 0);
    EXPECT_EQ(text->toPlainText(), decoded.text);
    EXPECT_EQ(text->lineCount(), decoded.text.count(u'\n') + 1);
    EXPECT_EQ(text->length(), decoded.text.size());
    EXPECT_FALSE(text->isModified());
    EXPECT_FALSE(text->isUndoAvailable());
}

} // namespace

TEST(ConvertedText, ReadsExactlyWhatTheGeneralReaderReads)
{
    for (int seed = 0; seed < 4; ++seed) {
        SCOPED_TRACE(seed);
        QByteArray bytes = largeResult(seed);
        expectReadLikeTheGeneralReader(bytes); // ends with a break: a last empty line
        bytes.chop(1);
        expectReadLikeTheGeneralReader(bytes);
    }
    expectReadLikeTheGeneralReader(cp949(QStringLiteral("a\n한국\n\nb")));
    expectReadLikeTheGeneralReader(QByteArray());
    expectReadLikeTheGeneralReader(QByteArray("\n"));
    // One line of more than a megabyte has no break to split at.
    expectReadLikeTheGeneralReader(QByteArray(1200 * 1024, 'x') + cp949(QStringLiteral("한")));
}

TEST(ConvertedText, LeavesCarriageReturnsAndBadBytesToTheGeneralReader)
{
    const QByteArray bad("\x81\x20", 2);
    ASSERT_FALSE(namecodec::decodeText(std::string_view(bad.constData(), 2), namecodec::Encoding::Cp949));
    const QByteArray bytes = largeResult(0);
    for (const qsizetype at : {qsizetype(10), bytes.size() / 2 + 100, bytes.size() - 3}) {
        SCOPED_TRACE(at);
        QByteArray withReturn = bytes;
        withReturn.insert(at, '\r');
        EXPECT_EQ(readPlainCp949Text(withReturn), nullptr);
        QByteArray withBadBytes = bytes;
        withBadBytes.insert(at, bad);
        EXPECT_EQ(readPlainCp949Text(withBadBytes), nullptr);
    }
    EXPECT_EQ(readPlainCp949Text(QByteArray("a\r\nb")), nullptr);
}

// Lines that share a block are strings of their own for everyone using them.
TEST(LineBlocks, LinesSharingABlockChangeAlone)
{
    std::vector<QString> lines;
    {
        LineBlocks blocks;
        for (const QString &text :
            {QStringLiteral("first"), QStringLiteral("둘째"), QStringLiteral("third")}) {
            lines.push_back(blocks.make(text.size(),
                [&text](char16_t *to) { std::copy(text.utf16(), text.utf16() + text.size(), to); }));
        }
        // Longer than a block: a block of its own.
        const QString longLine(300 * 1024, u'y');
        lines.push_back(blocks.make(longLine.size(), [&longLine](char16_t *to) {
            std::copy(longLine.utf16(), longLine.utf16() + longLine.size(), to);
        }));
    } // the lines outlive whoever made them
    EXPECT_EQ(lines[0], QStringLiteral("first"));
    EXPECT_EQ(lines[1], QStringLiteral("둘째"));
    EXPECT_EQ(lines[3], QString(300 * 1024, u'y'));
    for (const QString &line : lines)
        EXPECT_EQ(line.utf16()[line.size()], u'\0');

    lines[0].append(QStringLiteral(" grown"));
    lines[1][0] = u'셋';
    EXPECT_EQ(lines[0], QStringLiteral("first grown"));
    EXPECT_EQ(lines[1], QStringLiteral("셋째"));
    EXPECT_EQ(lines[2], QStringLiteral("third"));

    // The last line left in its block grows over the dead ones after it.
    QString last = lines[2];
    std::thread([dropped = std::move(lines)]() mutable { dropped.clear(); }).join();
    last.append(QStringLiteral(" and more"));
    EXPECT_EQ(last, QStringLiteral("third and more"));
    EXPECT_EQ(last.utf16()[last.size()], u'\0');
}

// A reader offered the converted file takes the text, or declines and the
// bytes come as without it; either way no temporary file is left.
TEST(ConvertDocumentBytes, AReaderOfTheResultTakesItOrLeavesIt)
{
    QTemporaryDir temp;
    const QByteArray zone = cp949(QStringLiteral("$ORIGIN 한국.kr.\nwww\tIN\tCNAME\t웹.한국.kr.\n"));
    const TextConversion plain = convertDocumentBytes(
        zone, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 1, temp.path());
    ASSERT_TRUE(plain.ok);
    ASSERT_TRUE(plain.text.contains("xn--"));

    QByteArray seen;
    const auto take = [&seen](QFile &converted) {
        seen = converted.readAll();
        return true;
    };
    const TextConversion taken = convertDocumentBytes(
        zone, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 1, temp.path(), {}, take);
    EXPECT_TRUE(taken.ok);
    EXPECT_TRUE(taken.text.isEmpty());
    EXPECT_EQ(seen, plain.text);
    EXPECT_TRUE(QDir(temp.path()).isEmpty());

    // Declining after reading some of it still gives the whole result.
    const auto decline = [](QFile &converted) {
        converted.read(5);
        return false;
    };
    const TextConversion declined = convertDocumentBytes(
        zone, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 1, temp.path(), {}, decline);
    EXPECT_TRUE(declined.ok);
    EXPECT_EQ(declined.text, plain.text);
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

// A copy written piece by piece converts as the same bytes given whole; the
// kind is asked with exactly the bytes written; a writer that stops for a
// reason of its own leaves no file and no message of ours.
TEST(ConvertDocumentCopy, WrittenInPiecesLikeWholeAndAWriterMayStop)
{
    QTemporaryDir temp;
    const QByteArray zone = cp949(QStringLiteral("$ORIGIN 한국.kr.\nwww\tIN\tCNAME\t웹.한국.kr.\n"));
    const TextConversion whole = convertDocumentBytes(
        zone, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 0, temp.path());
    ASSERT_TRUE(whole.ok);

    QByteArray kindSaw;
    const auto inPieces = [&zone](QIODevice &copy) {
        return copy.write(zone.first(7)) == 7 && copy.write(zone.sliced(7)) == zone.size() - 7;
    };
    const auto kindOf = [&kindSaw](QByteArrayView content) {
        kindSaw = content.toByteArray();
        return namecodec::FileKind::Zone;
    };
    const TextConversion pieces = convertDocumentCopy(
        inPieces, kindOf, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 0, temp.path());
    EXPECT_TRUE(pieces.ok);
    EXPECT_EQ(pieces.text, whole.text);
    EXPECT_EQ(kindSaw, zone);
    EXPECT_TRUE(QDir(temp.path()).isEmpty());

    const auto stops = [](QIODevice &copy) {
        copy.write("a\n", 2);
        return false;
    };
    const TextConversion stopped = convertDocumentCopy(
        stops, kindOf, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 0, temp.path());
    EXPECT_FALSE(stopped.ok);
    EXPECT_TRUE(stopped.error.isEmpty());
    EXPECT_EQ(stopped.errorLine, 0);
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

// Taken piece by piece as a conversion writes it, the text is the one read
// whole, wherever the pieces end; a CR or bad bytes in any piece hand it
// back to the general reader.
TEST(ConvertedText, TakenInPiecesAsWrittenItIsTheTextReadWhole)
{
    const QByteArray bytes = largeResult(1) + cp949(QStringLiteral("끝"));
    const auto feed = [&bytes](qsizetype pieceSize, PlainCp949Lines &lines) {
        qsizetype start = 0;
        for (;;) {
            // Pieces end after a line break, as the pipe's reader cuts them.
            const qsizetype cut
                = bytes.size() - start > pieceSize ? bytes.indexOf('\n', start + pieceSize) : -1;
            if (cut < 0)
                return lines.take(QByteArrayView(bytes).sliced(start), true);
            if (!lines.take(QByteArrayView(bytes).sliced(start, cut + 1 - start), false))
                return false;
            start = cut + 1;
        }
    };
    const DecodedText whole = decodeFileBytes(bytes);
    for (const qsizetype pieceSize : {qsizetype(1), qsizetype(4093), qsizetype(1024 * 1024 + 1)}) {
        SCOPED_TRACE(pieceSize);
        PlainCp949Lines lines;
        lines.expect(16);
        ASSERT_TRUE(feed(pieceSize, lines));
        const std::unique_ptr<TextBuffer> text = lines.text();
        EXPECT_EQ(text->toPlainText(), whole.text);
        EXPECT_EQ(text->lineCount(), whole.text.count(u'\n') + 1);
    }
    // The end of the text is its own piece, empty after a last break.
    PlainCp949Lines ending;
    ASSERT_TRUE(ending.take("a\nb\n", false));
    ASSERT_TRUE(ending.take(QByteArrayView(), true));
    EXPECT_EQ(ending.text()->toPlainText(), QStringLiteral("a\nb\n"));

    PlainCp949Lines withReturn;
    EXPECT_TRUE(withReturn.take("a\n", false));
    EXPECT_FALSE(withReturn.take("b\r\n", false));
    PlainCp949Lines withBadBytes;
    EXPECT_FALSE(withBadBytes.take(QByteArrayView("\x81\x20\n", 3), false));
}
