#include "namebytes.h"

#include "namecodec/namecodec.h"

#include <array>

std::optional<QByteArray> encodeNameText(const QString &text, namecodec::Encoding encoding)
{
    const std::u16string_view view(
        reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size()));
    auto bytes = namecodec::encodeText(view, encoding);
    if (!bytes)
        return std::nullopt;
    return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

std::optional<QString> decodeNameText(const QByteArray &bytes, namecodec::Encoding encoding)
{
    auto text = namecodec::decodeText(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), encoding);
    if (!text)
        return std::nullopt;
    return QString::fromUtf16(text->data(), static_cast<qsizetype>(text->size()));
}

QByteArray cutToBytes(const QByteArray &bytes, qsizetype limit, namecodec::Encoding encoding)
{
    if (bytes.size() <= limit)
        return bytes;
    qsizetype end = 0;
    while (end < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[end]);
        qsizetype length = 1;
        if (encoding == namecodec::Encoding::Utf8)
            length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        else if (c >= 0x81 && c <= 0xFE)
            length = 2;
        if (end + length > limit)
            break;
        end += length;
    }
    return bytes.left(end);
}

StringConversion convertNameString(const QByteArray &input, namecodec::Encoding from, namecodec::Encoding to)
{
    std::array<char, NAMECODEC_OUTPUT_SIZE> buffer {};
    StringConversion result;
    result.status = ConvertString(input.constData(), buffer.data(), encodingCode(from), encodingCode(to));
    buffer.back() = '\0'; // the library promises the NUL; do not read past the buffer if it forgot
    result.output = QByteArray(buffer.data());
    return result;
}

int encodingCode(namecodec::Encoding encoding)
{
    switch (encoding) {
    case namecodec::Encoding::Utf8:
        return 1;
    case namecodec::Encoding::Punycode:
        return 2;
    case namecodec::Encoding::Cp949:
        break;
    }
    return 4;
}

QString encodingName(namecodec::Encoding encoding)
{
    const char *name = NamecodecEncodingName(encodingCode(encoding));
    return name ? QString::fromLatin1(name) : QString();
}
