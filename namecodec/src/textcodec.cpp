#include "internal.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace namecodec {
namespace detail {

namespace {

struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};

// ICU converters keep state and are not shareable between threads. The
// "windows-949" table is Microsoft's, with all 11,172 syllables; Qt's own
// EUC-KR and CP949 codecs are not, which is why every program comes here.
UConverter *cp949Converter()
{
    thread_local std::unique_ptr<UConverter, ConverterCloser> converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        UConverter *c = ucnv_open("windows-949", &status);
        if (U_FAILURE(status))
            return std::unique_ptr<UConverter, ConverterCloser>();
        status = U_ZERO_ERROR;
        ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        return std::unique_ptr<UConverter, ConverterCloser>(c);
    }();
    return converter.get();
}

// Code page 949 as a table, read once from ICU's converter: decoding a
// 20 MB file a line or a label at a time through the converter's call
// overhead costs more than the conversion itself.
struct Cp949Table {
    bool ok = false;
    std::array<bool, 128> isLead {}; // bytes 0x80..0xFF
    std::array<char16_t, 128> single {}; // 0: not a character on its own
    std::vector<char16_t> pairs; // (lead - 0x81) * 256 + trail; 0: invalid
    std::vector<std::uint16_t> encode; // by UTF-16 unit: 0 none, < 0x100 one byte, else two
};

const Cp949Table &cp949Table()
{
    static const Cp949Table table = [] {
        Cp949Table t;
        UErrorCode status = U_ZERO_ERROR;
        UConverter *c = ucnv_open("windows-949", &status);
        if (U_FAILURE(status))
            return t;
        ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        auto decode = [&](const char *src, int32_t length) -> char16_t {
            UChar out[4];
            UErrorCode s = U_ZERO_ERROR;
            ucnv_resetToUnicode(c);
            const int32_t n = ucnv_toUChars(c, out, 4, src, length, &s);
            return U_SUCCESS(s) && n == 1 && out[0] != 0 ? out[0] : 0;
        };
        t.pairs.assign(126 * 256, 0);
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0; trail <= 0xFF; ++trail) {
                const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                const char16_t u = decode(bytes, 2);
                t.pairs[static_cast<std::size_t>(lead - 0x81) * 256 + static_cast<std::size_t>(trail)] = u;
                if (u != 0)
                    t.isLead[static_cast<std::size_t>(lead - 0x80)] = true;
            }
        }
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char byte = static_cast<char>(b);
            t.single[static_cast<std::size_t>(b - 0x80)] = decode(&byte, 1);
        }
        // The reverse direction asks ICU for each character, so that of two
        // byte sequences for one character the one ICU writes is chosen.
        ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        t.encode.assign(0x10000, 0);
        for (std::uint32_t u = 0x80; u <= 0xFFFF; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF)
                continue;
            const UChar unit = static_cast<UChar>(u);
            char bytes[8];
            UErrorCode s = U_ZERO_ERROR;
            ucnv_resetFromUnicode(c);
            const int32_t n = ucnv_fromUChars(c, bytes, sizeof bytes, &unit, 1, &s);
            if (U_FAILURE(s))
                continue;
            if (n == 1)
                t.encode[u] = static_cast<unsigned char>(bytes[0]);
            else if (n == 2)
                t.encode[u] = static_cast<std::uint16_t>(
                    (static_cast<unsigned char>(bytes[0]) << 8) | static_cast<unsigned char>(bytes[1]));
        }
        ucnv_close(c);
        t.ok = true;
        return t;
    }();
    return table;
}

std::string hexByte(unsigned char b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

std::string codePointName(char32_t cp)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

// Offset of the first malformed UTF-8 sequence, or npos.
std::size_t firstBadUtf8(std::string_view s)
{
    const auto *p = reinterpret_cast<const unsigned char *>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return i;
        }
        if (i + len > n)
            return i;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return i;
        i += len;
    }
    return std::string_view::npos;
}

} // namespace

std::size_t countChars(std::string_view bytes, Encoding enc)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t i = 0, count = 0;
    while (i < bytes.size()) {
        i += charLength(p + i, bytes.size() - i, enc);
        ++count;
    }
    return count;
}

void locate(std::string_view text, std::size_t offset, Encoding enc, int &line, int &column)
{
    if (offset > text.size())
        offset = text.size();
    line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    column = static_cast<int>(countChars(text.substr(lineStart, offset - lineStart), enc)) + 1;
}

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.resize(text.size() * 3);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
        static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return out;
}

std::u16string fromUtf8(std::string_view text)
{
    std::u16string out;
    out.resize(text.size());
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
        static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return out;
}

namespace {

// Control characters would cut a message short (NUL in a C string) or act
// on the terminal it is printed to; their pictures (U+2400..) show them.
std::string visibleUtf8(std::u16string wide)
{
    for (char16_t &u : wide) {
        if (u < 0x20)
            u = static_cast<char16_t>(0x2400 + u);
        else if (u == 0x7F)
            u = 0x2421;
    }
    return toUtf8(wide);
}

} // namespace

char32_t decodeChar(const unsigned char *p, std::size_t left, Encoding enc)
{
    if (left == 0)
        return 0xFFFD;
    const unsigned char c = p[0];
    if (c < 0x80)
        return c;
    if (enc == Encoding::Utf8 || enc == Encoding::Punycode) {
        const std::size_t len = charLength(p, left, enc);
        if (len < 2 || firstBadUtf8(std::string_view(reinterpret_cast<const char *>(p), len)) == 0)
            return 0xFFFD;
        char32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
        for (std::size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (p[k] & 0x3F);
        return cp;
    }
    const Cp949Table &table = cp949Table();
    if (!table.ok)
        return 0xFFFD;
    char16_t u = 0;
    if (table.isLead[c - 0x80])
        u = left >= 2 ? table.pairs[static_cast<std::size_t>(c - 0x81) * 256 + p[1]] : 0;
    else
        u = table.single[c - 0x80];
    return u == 0 ? 0xFFFD : u;
}

std::string displayText(std::string_view bytes, Encoding enc)
{
    if (enc == Encoding::Utf8 || enc == Encoding::Punycode)
        return visibleUtf8(fromUtf8(bytes));
    UConverter *c = cp949Converter();
    auto asciiOnly = [&] {
        std::u16string wide;
        for (const char b : bytes)
            wide.push_back(static_cast<unsigned char>(b) < 0x80 ? static_cast<char16_t>(b) : u'\uFFFD');
        return visibleUtf8(std::move(wide));
    };
    if (!c)
        return asciiOnly();
    // Substitute rather than stop: this text is only shown.
    UErrorCode status = U_ZERO_ERROR;
    UConverter *sub = ucnv_clone(c, &status);
    if (U_FAILURE(status))
        return asciiOnly();
    ucnv_setToUCallBack(sub, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    std::u16string wide(bytes.size() + 1, u'\0');
    status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(sub, wide.data(), static_cast<int32_t>(wide.size()), bytes.data(),
        static_cast<int32_t>(bytes.size()), &status);
    ucnv_close(sub);
    wide.resize(U_SUCCESS(status) ? static_cast<std::size_t>(n) : 0);
    return visibleUtf8(std::move(wide));
}

Error makeError(ErrorKind kind, std::string message, std::string label)
{
    Error e;
    e.kind = kind;
    e.message = std::move(message);
    e.label = std::move(label);
    return e;
}

} // namespace detail

using namespace detail;

bool isValidUtf8(std::string_view bytes)
{
    return firstBadUtf8(bytes) == std::string_view::npos;
}

Result<std::u16string> decodeText(std::string_view bytes, Encoding from)
{
    if (from == Encoding::Utf8 || from == Encoding::Punycode) {
        const std::size_t bad = firstBadUtf8(bytes);
        if (bad != std::string_view::npos) {
            Error e = makeError(ErrorKind::Decode,
                "UTF-8로 읽을 수 없는 바이트가 있습니다 (" + hexByte(static_cast<unsigned char>(bytes[bad]))
                    + ").");
            locate(bytes, bad, Encoding::Utf8, e.line, e.column);
            return Unexpected(e);
        }
        return fromUtf8(bytes);
    }
    const Cp949Table &table = cp949Table();
    if (!table.ok)
        return Unexpected(makeError(ErrorKind::Unsupported, "EUC-KR 변환기를 열 수 없습니다."));
    // Every code page 949 character is one UTF-16 unit, so the output never
    // outgrows the input.
    std::u16string out(bytes.size(), u'\0');
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0, o = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out[o++] = b;
            ++i;
            continue;
        }
        char16_t c = 0;
        std::size_t length = 1;
        if (table.isLead[b - 0x80]) {
            if (i + 1 < n)
                c = table.pairs[static_cast<std::size_t>(b - 0x81) * 256 + p[i + 1]];
            length = 2;
        } else {
            c = table.single[b - 0x80];
        }
        if (c == 0) {
            Error e = makeError(ErrorKind::Decode,
                "EUC-KR(코드 페이지 949)로 읽을 수 없는 바이트가 있습니다 (" + hexByte(b) + ").");
            locate(bytes, i, Encoding::Cp949, e.line, e.column);
            return Unexpected(e);
        }
        out[o++] = c;
        i += length;
    }
    out.resize(o);
    return out;
}

Result<std::string> encodeText(std::u16string_view text, Encoding to)
{
    auto failAt = [&](std::size_t unitOffset, const char *encodingName) {
        char32_t cp = text[unitOffset];
        if (U16_IS_LEAD(cp) && unitOffset + 1 < text.size() && U16_IS_TRAIL(text[unitOffset + 1]))
            cp = U16_GET_SUPPLEMENTARY(cp, text[unitOffset + 1]);
        Error e = makeError(ErrorKind::Encode,
            std::string("문자 ") + codePointName(cp) + "("
                + toUtf8(text.substr(unitOffset, cp > 0xFFFF ? 2 : 1)) + ")는 " + encodingName
                + "로 나타낼 수 없습니다.");
        e.line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < unitOffset; ++i) {
            if (text[i] == u'\n') {
                ++e.line;
                lineStart = i + 1;
            }
        }
        int column = 1;
        for (std::size_t i = lineStart; i < unitOffset; ++i) {
            if (!U16_IS_TRAIL(text[i]))
                ++column;
        }
        e.column = column;
        return Unexpected(e);
    };

    if (to == Encoding::Utf8 || to == Encoding::Punycode) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t u = text[i];
            if (U16_IS_LEAD(u) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
                ++i;
            } else if (U16_IS_SURROGATE(u)) {
                return failAt(i, "UTF-8");
            }
        }
        return toUtf8(text);
    }
    const Cp949Table &table = cp949Table();
    if (!table.ok)
        return Unexpected(makeError(ErrorKind::Unsupported, "EUC-KR 변환기를 열 수 없습니다."));
    std::string out(text.size() * 2, '\0');
    std::size_t o = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u < 0x80) {
            out[o++] = static_cast<char>(u);
            continue;
        }
        const std::uint16_t code = table.encode[u];
        if (code == 0)
            return failAt(i, "EUC-KR");
        if (code > 0xFF)
            out[o++] = static_cast<char>(code >> 8);
        out[o++] = static_cast<char>(code & 0xFF);
    }
    out.resize(o);
    return out;
}

} // namespace namecodec
