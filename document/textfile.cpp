#include "document/textfile.h"

#include "document/textbuffer.h"

#include <algorithm>

#include "namecodec/codec.h"

namespace {

bool hasNonAscii(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

QString fromU16(const std::u16string &s)
{
    return QString(reinterpret_cast<const QChar *>(s.data()), static_cast<qsizetype>(s.size()));
}

// Decodes one line that failed as a whole, pair by pair, so the good parts
// still read and each bad byte shows as U+FFFD.
QString decodeLossy(std::string_view line)
{
    QString out;
    std::size_t i = 0;
    while (i < line.size()) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (b < 0x80) {
            out += QLatin1Char(static_cast<char>(b));
            ++i;
            continue;
        }
        if (i + 1 < line.size()) {
            auto pair = namecodec::decodeText(line.substr(i, 2), namecodec::Encoding::Cp949);
            if (pair && pair->size() == 1) {
                out += fromU16(*pair);
                i += 2;
                continue;
            }
        }
        out += QChar(QChar::ReplacementCharacter);
        ++i;
    }
    return out;
}

QString decodeCp949WithBadLines(const QByteArray &bytes, int &badLine)
{
    QString out;
    out.reserve(bytes.size());
    const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::size_t start = 0;
    int line = 1;
    while (start <= all.size()) {
        std::size_t end = all.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = all.size();
        const std::string_view piece = all.substr(start, end - start);
        auto decoded = namecodec::decodeText(piece, namecodec::Encoding::Cp949);
        if (decoded) {
            out += fromU16(*decoded);
        } else {
            if (badLine == 0)
                badLine = line;
            out += decodeLossy(piece);
        }
        if (last)
            break;
        out += QLatin1Char('\n');
        start = end + 1;
        ++line;
    }
    return out;
}

// The file's characters: UTF-8 when the bytes are valid UTF-8 that needs
// it (byte order mark kept aside, since the editor would drop it silently),
// else code page 949, bad lines shown with U+FFFD and the first one noted.
QString decodeCharacters(const QByteArray &bytes, DecodedText &result)
{
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (hasNonAscii(bytes) && namecodec::isValidUtf8(view)) {
        result.encoding = namecodec::Encoding::Utf8;
        result.byteOrderMark = bytes.startsWith("\xef\xbb\xbf");
        return QString::fromUtf8(result.byteOrderMark ? bytes.mid(3) : bytes);
    }
    if (auto decoded = namecodec::decodeText(view, namecodec::Encoding::Cp949))
        return fromU16(*decoded);
    return decodeCp949WithBadLines(bytes, result.badLine);
}

struct BreakCounts {
    qsizetype crlf = 0;
    qsizetype lf = 0;
    qsizetype cr = 0;
};

// '\r' and '\n' are single bytes in both encodings and map one to one, so
// the breaks can be read from the decoded text.
BreakCounts countBreaks(const QString &text)
{
    BreakCounts counts;
    const qsizetype n = text.size();
    const QChar *p = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] == QLatin1Char('\r')) {
            if (i + 1 < n && p[i + 1] == QLatin1Char('\n')) {
                ++counts.crlf;
                ++i;
            } else {
                ++counts.cr;
            }
        } else if (p[i] == QLatin1Char('\n')) {
            ++counts.lf;
        }
    }
    return counts;
}

// A file that mixes its breaks: every line ends in '\n' for the editor, and
// its own break is kept in `breaks` to be written back.
QString splitMixedLines(const QString &text, std::vector<LineBreak> &breaks)
{
    const qsizetype n = text.size();
    const QChar *p = text.constData();
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = p[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < n && p[i + 1] == QLatin1Char('\n')) {
                breaks.push_back(LineBreak::CRLF);
                ++i;
            } else {
                breaks.push_back(LineBreak::CR);
            }
            out += QLatin1Char('\n');
        } else if (c == QLatin1Char('\n')) {
            breaks.push_back(LineBreak::LF);
            out += c;
        } else {
            out += c;
        }
    }
    breaks.push_back(LineBreak::None);
    return out;
}

} // namespace

DecodedText decodeFileBytes(const QByteArray &bytes)
{
    DecodedText result;
    QString text = decodeCharacters(bytes, result);

    const BreakCounts counts = countBreaks(text);
    if (counts.cr == 0 && counts.crlf == 0) {
        result.ending = LineEnding::LF;
        result.text = std::move(text);
    } else if (counts.cr == 0 && counts.lf == 0) {
        result.ending = LineEnding::CRLF;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        result.text = std::move(text);
    } else {
        result.ending = LineEnding::Mixed;
        result.text = splitMixedLines(text, result.breaks);
    }
    return result;
}

void loadIntoDocument(TextBuffer &doc, const DecodedText &decoded)
{
    doc.setPlainText(decoded.text);
    if (decoded.ending != LineEnding::Mixed)
        return;
    const int lines = std::min(doc.lineCount(), static_cast<int>(decoded.breaks.size()));
    for (int i = 0; i < lines; ++i)
        doc.setLineState(i, static_cast<int>(decoded.breaks[static_cast<std::size_t>(i)]));
}

QString documentText(const TextBuffer &doc)
{
    return doc.toPlainText();
}

TextSnapshot snapshotText(const TextBuffer &doc, LineEnding ending)
{
    TextSnapshot snapshot;
    snapshot.lines = doc.lineList();
    if (ending == LineEnding::Mixed) {
        snapshot.lineStates.reserve(static_cast<std::size_t>(doc.lineCount()));
        for (int i = 0; i < doc.lineCount(); ++i)
            snapshot.lineStates.push_back(doc.lineState(i));
    }
    return snapshot;
}

EncodeResult encodeSnapshot(
    const TextSnapshot &snapshot, namecodec::Encoding encoding, LineEnding ending, bool byteOrderMark)
{
    EncodeResult result;
    QString text = snapshot.lines.join(QLatin1Char('\n'));
    const std::u16string_view units(
        reinterpret_cast<const char16_t *>(text.constData()), static_cast<std::size_t>(text.size()));
    auto encoded = namecodec::encodeText(units, encoding);
    if (!encoded) {
        result.errorLine = encoded.error().line;
        result.message = QStringLiteral(
            "%1번째 줄: %2\n이 문자를 바꾸거나 지운 뒤 다시 저장하십시오. 파일은 저장하지 않았습니다.")
                             .arg(result.errorLine)
                             .arg(QString::fromStdString(encoded.error().message));
        return result;
    }
    text = QString();
    const QByteArray bytes = QByteArray::fromStdString(*encoded);
    if (byteOrderMark && encoding == namecodec::Encoding::Utf8)
        result.bytes = "\xef\xbb\xbf";
    if (ending == LineEnding::LF) {
        result.bytes += bytes;
    } else if (ending == LineEnding::CRLF) {
        QByteArray crlf = bytes;
        result.bytes += crlf.replace("\n", "\r\n");
    } else {
        // Each line keeps the break it had; lines the user added take LF.
        result.bytes.reserve(result.bytes.size() + bytes.size() + bytes.size() / 16);
        std::size_t line = 0;
        qsizetype start = 0;
        while (true) {
            const qsizetype end = bytes.indexOf('\n', start);
            if (end < 0) {
                result.bytes.append(bytes.constData() + start, bytes.size() - start);
                break;
            }
            result.bytes.append(bytes.constData() + start, end - start);
            const int state = line < snapshot.lineStates.size() ? snapshot.lineStates[line] : -1;
            if (state == static_cast<int>(LineBreak::CRLF))
                result.bytes.append("\r\n");
            else if (state == static_cast<int>(LineBreak::CR))
                result.bytes.append('\r');
            else
                result.bytes.append('\n');
            start = end + 1;
            ++line;
        }
    }
    return result;
}

EncodeResult encodeDocument(
    const TextBuffer &doc, namecodec::Encoding encoding, LineEnding ending, bool byteOrderMark)
{
    return encodeSnapshot(snapshotText(doc, ending), encoding, ending, byteOrderMark);
}
