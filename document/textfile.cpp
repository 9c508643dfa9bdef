#include "document/textfile.h"

#include <QTextBlock>
#include <QTextDocument>

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

} // namespace

DecodedText decodeFileBytes(const QByteArray &bytes)
{
    DecodedText result;
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    QString text;
    if (hasNonAscii(bytes) && namecodec::isValidUtf8(view)) {
        result.encoding = namecodec::Encoding::Utf8;
        // The mark is kept aside: the editor would drop it silently.
        result.byteOrderMark = bytes.startsWith("\xef\xbb\xbf");
        text = QString::fromUtf8(result.byteOrderMark ? bytes.mid(3) : bytes);
    } else {
        auto decoded = namecodec::decodeText(view, namecodec::Encoding::Cp949);
        if (decoded)
            text = fromU16(*decoded);
        else
            text = decodeCp949WithBadLines(bytes, result.badLine);
    }

    for (qsizetype i = 0, line = 1; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\n') {
            ++line;
        } else if (c == 0x2029 || c == 0xFDD0 || c == 0xFDD1) {
            result.unheldLine = static_cast<int>(line);
            break;
        }
    }

    // '\r' and '\n' are single bytes in both encodings and map one to one, so
    // the breaks can be read from the decoded text.
    qsizetype crlf = 0, lf = 0, cr = 0;
    const qsizetype n = text.size();
    const QChar *p = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] == QLatin1Char('\r')) {
            if (i + 1 < n && p[i + 1] == QLatin1Char('\n')) {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (p[i] == QLatin1Char('\n')) {
            ++lf;
        }
    }
    if (cr == 0 && crlf == 0) {
        result.ending = LineEnding::LF;
        result.text = std::move(text);
        return result;
    }
    if (cr == 0 && lf == 0) {
        result.ending = LineEnding::CRLF;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        result.text = std::move(text);
        return result;
    }
    result.ending = LineEnding::Mixed;
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = p[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < n && p[i + 1] == QLatin1Char('\n')) {
                result.breaks.push_back(LineBreak::CRLF);
                ++i;
            } else {
                result.breaks.push_back(LineBreak::CR);
            }
            out += QLatin1Char('\n');
        } else if (c == QLatin1Char('\n')) {
            result.breaks.push_back(LineBreak::LF);
            out += c;
        } else {
            out += c;
        }
    }
    result.breaks.push_back(LineBreak::None);
    result.text = std::move(out);
    return result;
}

void loadIntoDocument(QTextDocument &doc, const DecodedText &decoded)
{
    doc.setPlainText(decoded.text);
    if (decoded.ending != LineEnding::Mixed)
        return;
    std::size_t i = 0;
    for (QTextBlock b = doc.begin(); b.isValid() && i < decoded.breaks.size(); b = b.next(), ++i)
        b.setUserState(static_cast<int>(decoded.breaks[i]));
}

QString documentText(const QTextDocument &doc)
{
    // toPlainText() would turn no-break spaces into blanks; the raw text keeps
    // every character and marks block ends with U+2029.
    QString text = doc.toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

EncodeResult encodeDocument(
    const QTextDocument &doc, namecodec::Encoding encoding, LineEnding ending, bool byteOrderMark)
{
    EncodeResult result;
    const auto target = encoding;
    const QString text = documentText(doc);
    const std::u16string_view units(
        reinterpret_cast<const char16_t *>(text.constData()), static_cast<std::size_t>(text.size()));
    auto encoded = namecodec::encodeText(units, target);
    if (!encoded) {
        result.errorLine = encoded.error().line;
        result.message = QStringLiteral(
            "%1번째 줄: %2\n이 문자를 바꾸거나 지운 뒤 다시 저장하십시오. 파일은 저장하지 않았습니다.")
                             .arg(result.errorLine)
                             .arg(QString::fromStdString(encoded.error().message));
        return result;
    }
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
        QTextBlock block = doc.begin();
        qsizetype start = 0;
        while (true) {
            const qsizetype end = bytes.indexOf('\n', start);
            if (end < 0) {
                result.bytes.append(bytes.constData() + start, bytes.size() - start);
                break;
            }
            result.bytes.append(bytes.constData() + start, end - start);
            const int state = block.isValid() ? block.userState() : -1;
            if (state == static_cast<int>(LineBreak::CRLF))
                result.bytes.append("\r\n");
            else if (state == static_cast<int>(LineBreak::CR))
                result.bytes.append('\r');
            else
                result.bytes.append('\n');
            start = end + 1;
            if (block.isValid())
                block = block.next();
        }
    }
    return result;
}
