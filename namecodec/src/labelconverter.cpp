#include "labelconverter.h"

#include <unicode/uchar.h>
#include <unicode/uidna.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace namecodec::detail {

namespace {

constexpr std::size_t kMaxCacheEntries = 1 << 16;
constexpr std::size_t kMaxLabelOctets = 63;
constexpr std::size_t kMaxNameOctets = 253;

std::string codePoint(UChar32 cp)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

std::string quoted(std::string_view label, Encoding enc)
{
    return "'" + displayText(label, enc) + "'";
}

bool isJamo(UChar32 c)
{
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) || (c >= 0xA960 && c <= 0xA97F)
        || (c >= 0xD7B0 && c <= 0xD7FF) || (c >= 0xFFA0 && c <= 0xFFDF);
}

// Labels that IDNA would accept but that no Korean registry takes and that
// cannot come back into code page 949 unchanged: loose jamo (after
// composition) and characters IDNA silently drops (zero-width space, the
// Hangul fillers, soft hyphen ...). Refusing them keeps what the user sees and
// what DNS serves the same name.
std::optional<Error> hangulTrap(const std::u16string &label, std::string_view raw, Encoding enc)
{
    bool jamo = false;
    for (std::size_t i = 0; i < label.size();) {
        UChar32 c;
        U16_NEXT(label.data(), i, label.size(), c);
        if (c == 0x3164 || c == 0xFFA0 || c == 0x115F || c == 0x1160)
            return makeError(ErrorKind::Disallowed,
                quoted(raw, enc) + " 레이블에 한글 채움 문자 " + codePoint(c)
                    + "가 있습니다. 도메인 이름에 쓸 수 없습니다.",
                std::string(raw));
        if (u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT))
            return makeError(ErrorKind::Disallowed,
                quoted(raw, enc) + " 레이블에 보이지 않는 문자 " + codePoint(c)
                    + "가 있습니다. 지우고 다시 변환하십시오.",
                std::string(raw));
        if (c >= 0x3130 && c <= 0x318F)
            return makeError(ErrorKind::Disallowed,
                quoted(raw, enc) + " 레이블에 한글 호환 자모 " + codePoint(c)
                    + "가 있습니다. 완성된 음절만 도메인 이름에 쓸 수 있습니다.",
                std::string(raw));
        jamo = jamo || isJamo(c);
    }
    if (!jamo)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *nfc = unorm2_getNFCInstance(&status);
    std::u16string composed(label.size() + 8, u'\0');
    const int32_t n = unorm2_normalize(nfc, label.data(), static_cast<int32_t>(label.size()), composed.data(),
        static_cast<int32_t>(composed.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    composed.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < composed.size();) {
        UChar32 c;
        U16_NEXT(composed.data(), i, composed.size(), c);
        if (isJamo(c))
            return makeError(ErrorKind::Disallowed,
                quoted(raw, enc) + " 레이블에 음절을 이루지 않은 한글 자모 " + codePoint(c)
                    + "가 있습니다. 완성된 음절만 도메인 이름에 쓸 수 있습니다.",
                std::string(raw));
    }
    return std::nullopt;
}

// UTS #46 still accepts symbols and punctuation that IDNA2008 took out of
// domain names (U+2605 BLACK STAR and the like); registries refuse them, so
// only letters, marks and digits pass, plus the few contextual characters
// IDNA2008 allows.
UChar32 firstNotIdna2008(const std::u16string &label)
{
    for (std::size_t i = 0; i < label.size();) {
        UChar32 c;
        U16_NEXT(label.data(), i, label.size(), c);
        if (c < 0x80 || c == 0x00B7 || c == 0x0375 || c == 0x05F3 || c == 0x05F4 || c == 0x30FB)
            continue;
        switch (u_charType(c)) {
        case U_UPPERCASE_LETTER:
        case U_LOWERCASE_LETTER:
        case U_TITLECASE_LETTER:
        case U_MODIFIER_LETTER:
        case U_OTHER_LETTER:
        case U_NON_SPACING_MARK:
        case U_COMBINING_SPACING_MARK:
        case U_DECIMAL_DIGIT_NUMBER:
            continue;
        default:
            return c;
        }
    }
    return -1;
}

// The parameters of RFC 3492 for IDNA, and its bias adaptation, shared by
// the encoder and the decoder.
namespace punycode {

constexpr std::uint32_t base = 36, tmin = 1, tmax = 26, skew = 38, damp = 700;
constexpr std::uint32_t initialN = 0x80, initialBias = 72;

constexpr std::uint32_t adapt(std::uint32_t delta, std::uint32_t points, bool first)
{
    delta = first ? delta / damp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((base - tmin) * tmax) / 2) {
        delta /= base - tmin;
        k += base;
    }
    return k + (base - tmin + 1) * delta / (delta + skew);
}

} // namespace punycode

// RFC 3492 encoding of a label's code points, with the ACE prefix. Nearly
// every Hangul label goes through here; the digits are divided by 35 or 10
// but for the few near the bias, and a division by a constant is a
// multiplication, so those two are spelled out.
std::string acePunycode(const std::u16string &label)
{
    using namespace punycode;
    auto digit = [](std::uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + d - 26); };
    std::string out;
    out.reserve(4 + label.size() * 5);
    out += "xn--";
    for (const char16_t c : label) {
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
    }
    const auto basic = static_cast<std::uint32_t>(out.size() - 4);
    std::uint32_t handled = basic;
    if (basic > 0)
        out.push_back('-');
    std::uint32_t n = initialN, delta = 0, bias = initialBias;
    while (handled < label.size()) {
        std::uint32_t m = 0xFFFFFFFFu;
        for (const char16_t c : label) {
            if (c >= n && c < m)
                m = c;
        }
        delta += (m - n) * (handled + 1);
        n = m;
        for (const char16_t c : label) {
            if (c < n)
                ++delta;
            if (c != n)
                continue;
            std::uint32_t q = delta;
            for (std::uint32_t k = base;; k += base) {
                const std::uint32_t t = k <= bias ? tmin : k >= bias + tmax ? tmax : k - bias;
                if (q < t)
                    break;
                const std::uint32_t rest = q - t;
                std::uint32_t quotient;
                if (t == tmin)
                    quotient = rest / (base - tmin);
                else if (t == tmax)
                    quotient = rest / (base - tmax);
                else
                    quotient = rest / (base - t);
                out.push_back(digit(t + rest - quotient * (base - t)));
                q = quotient;
            }
            out.push_back(digit(q));
            bias = adapt(delta, handled + 1, handled == basic);
            delta = 0;
            ++handled;
        }
        ++delta;
        ++n;
    }
    return out;
}

// RFC 3492 decoding (without the ACE prefix); nullopt for anything malformed.
// Into UTF-16 it stops at the BMP, which is all a plain label needs; into
// code points it reaches every plane.
template <typename Char> std::optional<std::basic_string<Char>> depunycode(std::string_view in)
{
    using namespace punycode;
    constexpr std::uint32_t maxCodePoint = sizeof(Char) == 2 ? 0xFFFF : 0x10FFFF;
    std::basic_string<Char> out;
    const std::size_t delimiter = in.rfind('-');
    std::size_t pos = 0;
    if (delimiter != std::string_view::npos) {
        for (std::size_t k = 0; k < delimiter; ++k) {
            if (static_cast<unsigned char>(in[k]) >= 0x80)
                return std::nullopt;
            out.push_back(static_cast<Char>(in[k]));
        }
        pos = delimiter + 1;
    }
    std::uint32_t n = initialN, i = 0, bias = initialBias;
    while (pos < in.size()) {
        const std::uint32_t oldi = i;
        std::uint32_t w = 1;
        for (std::uint32_t k = base;; k += base) {
            if (pos >= in.size())
                return std::nullopt;
            const char c = in[pos++];
            std::uint32_t d;
            if (c >= 'a' && c <= 'z')
                d = static_cast<std::uint32_t>(c - 'a');
            else if (c >= 'A' && c <= 'Z')
                d = static_cast<std::uint32_t>(c - 'A');
            else if (c >= '0' && c <= '9')
                d = static_cast<std::uint32_t>(c - '0') + 26;
            else
                return std::nullopt;
            if (d > (0x7FFFFFFFu - i) / w)
                return std::nullopt;
            i += d * w;
            const std::uint32_t t = k <= bias ? tmin : k >= bias + tmax ? tmax : k - bias;
            if (d < t)
                break;
            if (w > 0x7FFFFFFFu / (base - t))
                return std::nullopt;
            w *= base - t;
        }
        const auto points = static_cast<std::uint32_t>(out.size() + 1);
        bias = adapt(i - oldi, points, oldi == 0);
        if (i / points > maxCodePoint - n)
            return std::nullopt;
        n += i / points;
        i %= points;
        if (n >= 0xD800 && n <= 0xDFFF)
            return std::nullopt;
        out.insert(out.begin() + i, static_cast<Char>(n));
        ++i;
    }
    return out;
}

// What an ACE label stands for, in UTF-16, whatever plane it reaches.
std::optional<std::u16string> aceMeaning(std::string_view label)
{
    auto points = depunycode<char32_t>(label.substr(4));
    if (!points)
        return std::nullopt;
    std::u16string out;
    out.reserve(points->size());
    for (const char32_t c : *points) {
        if (c > 0xFFFF) {
            out.push_back(static_cast<char16_t>(U16_LEAD(c)));
            out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// RFC 5893 sorts characters by bidi class; a label holding R, AL or AN reads
// right to left and makes its whole name a bidi name.
bool isRtlDirection(UCharDirection d)
{
    return d == U_RIGHT_TO_LEFT || d == U_RIGHT_TO_LEFT_ARABIC || d == U_ARABIC_NUMBER;
}

bool hasRtl(std::u16string_view label)
{
    for (std::size_t i = 0; i < label.size();) {
        UChar32 c;
        U16_NEXT(label.data(), i, label.size(), c);
        if (isRtlDirection(u_charDirection(c)))
            return true;
    }
    return false;
}

// The six conditions of RFC 5893 that every label of a bidi name must meet.
// Checked for the whole name, not per label: "0à" alone is a fine label,
// but beside a Hebrew label a reader would see the digit jump to the other
// end of the name.
bool meetsBidiRule(std::u16string_view label)
{
    if (label.empty())
        return true;
    std::size_t i = 0;
    UChar32 c;
    U16_NEXT(label.data(), i, label.size(), c);
    const UCharDirection first = u_charDirection(c);
    if (first != U_LEFT_TO_RIGHT && first != U_RIGHT_TO_LEFT && first != U_RIGHT_TO_LEFT_ARABIC)
        return false;
    const bool rtl = first != U_LEFT_TO_RIGHT;
    bool european = false, arabic = false;
    UCharDirection last = first;
    for (i = 0; i < label.size();) {
        U16_NEXT(label.data(), i, label.size(), c);
        const UCharDirection d = u_charDirection(c);
        switch (d) {
        case U_EUROPEAN_NUMBER_SEPARATOR:
        case U_COMMON_NUMBER_SEPARATOR:
        case U_EUROPEAN_NUMBER_TERMINATOR:
        case U_OTHER_NEUTRAL:
        case U_BOUNDARY_NEUTRAL:
        case U_DIR_NON_SPACING_MARK:
            break;
        case U_EUROPEAN_NUMBER:
            european = true;
            break;
        case U_LEFT_TO_RIGHT:
            if (rtl)
                return false;
            break;
        case U_RIGHT_TO_LEFT:
        case U_RIGHT_TO_LEFT_ARABIC:
        case U_ARABIC_NUMBER:
            if (!rtl)
                return false;
            arabic = arabic || d == U_ARABIC_NUMBER;
            break;
        default:
            return false;
        }
        if (d != U_DIR_NON_SPACING_MARK)
            last = d;
    }
    if (rtl)
        return !(european && arabic)
            && (last == U_RIGHT_TO_LEFT || last == U_RIGHT_TO_LEFT_ARABIC || last == U_EUROPEAN_NUMBER
                || last == U_ARABIC_NUMBER);
    return last == U_LEFT_TO_RIGHT || last == U_EUROPEAN_NUMBER;
}

// Precomposed syllables with lower-case ASCII letters, digits and inner
// hyphens are already in the form UTS #46 would give them and pass every
// IDNA2008 rule, so such a label (nearly every Hangul label) goes straight
// to Punycode.
bool isPlainHangulLabel(const std::u16string &label)
{
    const std::size_t n = label.size();
    if (n == 0 || label[0] == u'-' || label[n - 1] == u'-'
        || (n >= 4 && label[2] == u'-' && label[3] == u'-'))
        return false;
    bool syllable = false; // an ACE label of plain ASCII is not a valid one
    for (const char16_t c : label) {
        if (c >= 0xAC00 && c <= 0xD7A3)
            syllable = true;
        else if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-'))
            return false;
    }
    return syllable;
}

// The first code point of the label that IDNA refuses on its own, for the
// message; the whole label was refused, so this only runs on the error path.
UChar32 firstRefused(UIDNA *idna, const std::u16string &label)
{
    for (std::size_t i = 0; i < label.size();) {
        const std::size_t start = i;
        UChar32 c;
        U16_NEXT(label.data(), i, label.size(), c);
        UChar out[64];
        UIDNAInfo info = UIDNA_INFO_INITIALIZER;
        UErrorCode status = U_ZERO_ERROR;
        uidna_labelToASCII(
            idna, label.data() + start, static_cast<int32_t>(i - start), out, 64, &info, &status);
        if (U_SUCCESS(status)
            && (info.errors
                & (UIDNA_ERROR_DISALLOWED | UIDNA_ERROR_LABEL_HAS_DOT | UIDNA_ERROR_LEADING_COMBINING_MARK)))
            return c;
    }
    return -1;
}

} // namespace

LabelConverter::LabelConverter()
{
    UErrorCode status = U_ZERO_ERROR;
    m_idna = uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE
            | UIDNA_USE_STD3_RULES | UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_CHECK_CONTEXTO,
        &status);
    if (U_FAILURE(status))
        m_idna = nullptr;
}

LabelConverter::~LabelConverter()
{
    if (m_idna)
        uidna_close(m_idna);
}

bool LabelConverter::needsUnicode(std::string_view name)
{
    for (std::size_t i = 0; i + 4 <= name.size(); ++i) {
        if ((i == 0 || name[i - 1] == '.') && isAceLabel(name.substr(i)))
            return true;
    }
    return false;
}

namespace {

// Every character costs at least one octet of ACE and composition joins at
// most three into one, so a label of more characters than this cannot fit;
// saying so early spares IDNA a label of megabytes.
constexpr std::size_t kMaxLabelChars = 3 * kMaxLabelOctets;

Error labelTooLong(std::string_view label, Encoding enc, std::size_t octets)
{
    return makeError(ErrorKind::LabelTooLong,
        quoted(label, enc) + " 레이블이 Punycode로 " + std::to_string(octets) + "바이트"
            + (octets > 255 ? " 이상" : "") + "입니다. 한 레이블은 63바이트를 넘을 수 없습니다.",
        std::string(label));
}

// Why `c` cannot stand in a label, naming it. The ideographic and
// full-width full stops come from Korean input methods: they are not taken
// as label separators here, so the message says which dot to type instead.
std::string refusedCharacterMessage(std::string_view label, Encoding enc, UChar32 c)
{
    if (c == 0x3002 || c == 0xFF0E || c == 0xFF61)
        return quoted(label, enc) + " 레이블에 마침표 " + codePoint(c)
            + "가 있습니다. 레이블 사이에는 '.'(U+002E)를 쓰십시오.";
    if (c == 0xA0 || c == 0x3000 || u_isspace(c))
        return quoted(label, enc) + " 레이블에 공백 문자 " + codePoint(c) + "가 있습니다.";
    return quoted(label, enc) + " 레이블에 도메인 이름에 쓸 수 없는 문자 " + codePoint(c) + "가 있습니다.";
}

// A label holding a character IDNA2008 keeps out, caught before ICU so that
// the message names the character.
std::optional<Error> notIdna2008(std::string_view label, Encoding enc, const std::u16string &wide)
{
    const UChar32 symbol = firstNotIdna2008(wide);
    if (symbol < 0)
        return std::nullopt;
    return makeError(ErrorKind::Disallowed, refusedCharacterMessage(label, enc, symbol), std::string(label));
}

// What ICU's error flags for a label mean, in a message that names the fault.
Error idnaRefusal(
    UIDNA *idna, std::string_view label, Encoding enc, const std::u16string &wide, uint32_t errors)
{
    ErrorKind kind = ErrorKind::Disallowed;
    std::string message;
    if (errors & (UIDNA_ERROR_PUNYCODE | UIDNA_ERROR_INVALID_ACE_LABEL)) {
        kind = ErrorKind::BadAce;
        message = quoted(label, enc) + " 레이블을 Punycode로 바꿀 수 없습니다.";
    } else if (errors & UIDNA_ERROR_HYPHEN_3_4) {
        message = quoted(label, enc) + " 레이블은 셋째와 넷째 글자가 모두 '-'여서 쓸 수 없습니다.";
    } else if (errors & (UIDNA_ERROR_LEADING_HYPHEN | UIDNA_ERROR_TRAILING_HYPHEN)) {
        message = quoted(label, enc) + " 레이블은 '-'로 시작하거나 끝날 수 없습니다.";
    } else if (errors & UIDNA_ERROR_BIDI) {
        message = quoted(label, enc) + " 레이블은 쓰기 방향이 다른 문자를 섞어 쓸 수 없습니다.";
    } else if (errors & UIDNA_ERROR_LEADING_COMBINING_MARK) {
        message = quoted(label, enc) + " 레이블은 결합 문자로 시작할 수 없습니다.";
    } else {
        const UChar32 bad = firstRefused(idna, wide);
        if (bad >= 0)
            message = refusedCharacterMessage(label, enc, bad);
        else
            message = quoted(label, enc) + " 레이블은 도메인 이름에 쓸 수 없습니다.";
    }
    return makeError(kind, message, std::string(label));
}

} // namespace

Result<LabelConverter::Label> LabelConverter::labelToAscii(std::string_view label, Encoding enc)
{
    Cache &cache = m_asciiCache[enc == Encoding::Utf8 ? 1 : 0];
    if (auto it = cache.find(label); it != cache.end())
        return it->second;

    auto wide = decodeText(label, enc);
    if (!wide) {
        Error e = wide.error();
        e.label = std::string(label);
        return Unexpected(e);
    }
    if (wide->size() > kMaxLabelChars)
        return Unexpected(labelTooLong(label, enc, wide->size() / 3));
    if (isPlainHangulLabel(*wide)) {
        std::string ascii = acePunycode(*wide);
        if (ascii.size() > kMaxLabelOctets)
            return Unexpected(labelTooLong(label, enc, ascii.size()));
        return Label {std::move(ascii), false}; // cheaper to compute again than to cache
    }
    auto result = icuLabelToAscii(label, enc, *wide);
    if (result) {
        if (cache.size() >= kMaxCacheEntries)
            cache.clear();
        cache.emplace(std::string(label), *result);
    }
    return result;
}

Result<LabelConverter::Label> LabelConverter::icuLabelToAscii(
    std::string_view label, Encoding enc, const std::u16string &wide)
{
    if (auto trap = hangulTrap(wide, label, enc))
        return Unexpected(*trap);
    if (!m_idna)
        return Unexpected(makeError(ErrorKind::Unsupported, "IDNA 변환기를 열 수 없습니다."));
    if (auto refused = notIdna2008(label, enc, wide))
        return Unexpected(*refused);

    UChar out[256];
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = uidna_labelToASCII(
        m_idna, wide.data(), static_cast<int32_t>(wide.size()), out, 256, &info, &status);
    const uint32_t errors = info.errors;
    if (status == U_BUFFER_OVERFLOW_ERROR || n > 255)
        return Unexpected(labelTooLong(label, enc, static_cast<std::size_t>(n)));
    if (U_FAILURE(status) || (errors & ~UIDNA_ERROR_LABEL_TOO_LONG) != 0)
        return Unexpected(idnaRefusal(m_idna, label, enc, wide, errors));
    std::string ascii(out, out + n);
    if (ascii.size() > kMaxLabelOctets)
        return Unexpected(labelTooLong(label, enc, ascii.size()));
    // The direction is that of the mapped label, which the ACE form holds.
    std::optional<std::u16string> mapped;
    if (isAceLabel(ascii))
        mapped = aceMeaning(ascii);
    const bool rtl = mapped && hasRtl(*mapped);
    return Label {std::move(ascii), rtl};
}

Result<LabelConverter::Label> LabelConverter::labelToUnicode(std::string_view label, Encoding enc)
{
    Cache &cache = m_unicodeCache[enc == Encoding::Utf8 ? 1 : 0];
    if (auto it = cache.find(label); it != cache.end())
        return it->second;
    if (!m_idna)
        return Unexpected(makeError(ErrorKind::Unsupported, "IDNA 변환기를 열 수 없습니다."));

    auto bad = [&](const std::string &why) {
        return Unexpected(makeError(ErrorKind::BadAce,
            quoted(label, Encoding::Utf8) + "는 올바른 Punycode 레이블이 아닙니다" + why + ".",
            std::string(label)));
    };
    if (label.size() > kMaxLabelOctets)
        return Unexpected(makeError(ErrorKind::LabelTooLong,
            quoted(label, Encoding::Utf8) + " 레이블이 " + std::to_string(label.size())
                + "바이트입니다. 한 레이블은 63바이트를 넘을 수 없습니다.",
            std::string(label)));
    // The common case, a label of Hangul syllables, is checked by encoding
    // it again: only the one canonical spelling of a plain label passes, and
    // everything else goes through ICU's full validation.
    if (auto decoded = depunycode<char16_t>(label.substr(4)); decoded && isPlainHangulLabel(*decoded)) {
        std::string canonical = acePunycode(*decoded);
        bool same = canonical.size() == label.size();
        for (std::size_t k = 0; same && k < label.size(); ++k)
            same = (label[k] | 0x20) == canonical[k] || label[k] == canonical[k];
        if (same) {
            if (auto encoded = encodeText(*decoded, enc))
                return Label {std::move(*encoded), false};
        }
    }
    std::u16string wide(label.begin(), label.end());
    UChar out[256];
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = uidna_labelToUnicode(
        m_idna, wide.data(), static_cast<int32_t>(wide.size()), out, 256, &info, &status);
    if (U_FAILURE(status) || n > 255 || n <= 0)
        return bad("");
    if (info.errors & (UIDNA_ERROR_PUNYCODE | UIDNA_ERROR_INVALID_ACE_LABEL))
        return bad(" (Punycode 해석 실패)");
    if (info.errors != 0)
        return bad(" (도메인 이름에 쓸 수 없는 문자로 풀립니다)");
    std::u16string decoded(out, out + n);
    for (const char16_t u : decoded) {
        // An ACE label that decodes to plain ASCII, or to something with
        // controls, is not a name anyone registered.
        if (u < 0x20 || u == 0x7F)
            return bad(" (제어 문자로 풀립니다)");
    }
    if (auto trap = hangulTrap(decoded, label, Encoding::Utf8))
        return Unexpected(*trap);
    auto encoded = encodeText(decoded, enc);
    if (!encoded) {
        Error e = encoded.error();
        e.line = 0;
        e.column = 0;
        e.label = std::string(label);
        e.message = quoted(label, Encoding::Utf8) + " 레이블을 풀면 " + e.message;
        return Unexpected(e);
    }
    Label result {std::move(*encoded), hasRtl(decoded)};
    if (cache.size() >= kMaxCacheEntries)
        cache.clear();
    cache.emplace(std::string(label), result);
    return result;
}

namespace {

// Calls `visit` with each label of `name` until it returns false. A trail
// byte of code page 949 may look like anything but a dot, so stepping by
// characters finds exactly the ASCII dots.
template <typename Visit> void forEachLabel(std::string_view name, Encoding enc, Visit visit)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(name.data());
    std::size_t start = 0;
    for (std::size_t i = 0;;) {
        if (i < name.size() && name[i] != '.') {
            i += charLength(bytes + i, name.size() - i, enc);
            continue;
        }
        if (!visit(name.substr(start, i - start)) || i == name.size())
            return;
        start = ++i;
    }
}

// Rebuilds `name` label by label: labels `wanted` accepts go through
// `convert`, the rest are copied. `rtl` tells whether a converted label reads
// right to left, `mayBeRtl` whether a copied one that `unsure` picks might.
template <typename Wanted, typename Convert, typename Unsure>
Result<std::string> mapLabels(std::string_view name, Encoding enc, Wanted wanted, Convert convert,
    Unsure unsure, bool &converted, bool &rtl, bool &mayBeRtl)
{
    std::string out;
    out.reserve(name.size() * 2);
    std::optional<Error> failure;
    bool first = true;
    forEachLabel(name, enc, [&](std::string_view label) {
        if (!first)
            out.push_back('.');
        first = false;
        if (!wanted(label)) {
            mayBeRtl = mayBeRtl || unsure(label);
            out.append(label);
            return true;
        }
        auto result = convert(label);
        if (!result) {
            failure = std::move(result.error());
            return false;
        }
        out += result->text;
        converted = true;
        rtl = rtl || result->rtl;
        return true;
    });
    if (failure)
        return Unexpected(std::move(*failure));
    return out;
}

// A label as the bidi rule sees it: an xn-- label by what it stands for.
// ASCII labels that are no host name (`_sip`, `*`) stay outside the rule, as
// they stay outside IDNA altogether.
std::optional<std::u16string> bidiForm(std::string_view label, Encoding enc)
{
    bool ascii = true, hostName = true;
    for (const char c : label) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        hostName = hostName
            && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-');
    }
    if (!ascii) {
        auto wide = decodeText(label, enc);
        return wide ? std::optional<std::u16string>(std::move(*wide)) : std::nullopt;
    }
    if (isAceLabel(label)) {
        if (auto decoded = aceMeaning(label))
            return decoded;
    }
    if (!hostName)
        return std::nullopt;
    return std::u16string(label.begin(), label.end());
}

bool hasRtlLabel(std::string_view name, Encoding enc)
{
    bool rtl = false;
    forEachLabel(name, enc, [&](std::string_view label) {
        auto form = bidiForm(label, enc);
        rtl = form && hasRtl(*form);
        return !rtl;
    });
    return rtl;
}

// With a right-to-left label anywhere in the name, every label of `out` (the
// converted name, in `outEnc`) must meet the bidi rule; the fault names the
// label of `name` it came from.
std::optional<Error> bidiFault(std::string_view name, Encoding enc, std::string_view out, Encoding outEnc)
{
    std::vector<std::string_view> sources;
    forEachLabel(name, enc, [&](std::string_view label) {
        sources.push_back(label);
        return true;
    });
    std::optional<Error> fault;
    std::size_t index = 0;
    forEachLabel(out, outEnc, [&](std::string_view label) {
        const std::string_view source = index < sources.size() ? sources[index] : label;
        ++index;
        auto form = bidiForm(label, outEnc);
        if (!form || meetsBidiRule(*form))
            return true;
        fault = makeError(ErrorKind::Disallowed,
            quoted(name, enc) + " 이름에 오른쪽에서 왼쪽으로 쓰는 레이블이 있어, " + quoted(source, enc)
                + " 레이블이 쓰기 방향 규칙(RFC 5893)에 어긋납니다.",
            std::string(source));
        return false;
    });
    return fault;
}

} // namespace

Result<std::string> LabelConverter::nameToAscii(std::string_view name, Encoding enc)
{
    bool converted = false, rtl = false, mayBeRtl = false;
    // An xn-- label copied beside the converted ones counts by what it
    // stands for.
    auto out = mapLabels(
        name, enc, hasHighByte, [&](std::string_view label) { return labelToAscii(label, enc); }, isAceLabel,
        converted, rtl, mayBeRtl);
    if (!out)
        return out;
    std::size_t length = out->size();
    if (length > 0 && out->back() == '.')
        --length;
    if (converted && length > kMaxNameOctets)
        return Unexpected(makeError(ErrorKind::NameTooLong,
            quoted(name, enc) + " 이름이 Punycode로 " + std::to_string(length)
                + "바이트입니다. 도메인 이름은 253바이트를 넘을 수 없습니다.",
            std::string(name)));
    if (converted && !rtl && mayBeRtl)
        rtl = hasRtlLabel(*out, Encoding::Utf8);
    if (rtl) {
        if (auto fault = bidiFault(name, enc, *out, Encoding::Utf8))
            return Unexpected(std::move(*fault));
    }
    return out;
}

Result<std::string> LabelConverter::nameToUnicode(std::string_view name, Encoding enc)
{
    bool converted = false, rtl = false, mayBeRtl = false;
    // So does a label that was already in Unicode (code page 949 holds no
    // right-to-left letter).
    auto out = mapLabels(
        name, enc, isAceLabel, [&](std::string_view label) { return labelToUnicode(label, enc); },
        [enc](std::string_view label) { return enc == Encoding::Utf8 && hasHighByte(label); }, converted, rtl,
        mayBeRtl);
    if (out && converted && !rtl && mayBeRtl)
        rtl = hasRtlLabel(*out, enc);
    if (out && rtl) {
        if (auto fault = bidiFault(name, enc, *out, enc))
            return Unexpected(std::move(*fault));
    }
    return out;
}

std::string LabelConverter::ruleHostToAscii(std::string_view host, Encoding enc)
{
    std::string ace;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = host.find('.', start);
        const std::size_t end = dot == std::string_view::npos ? host.size() : dot;
        std::size_t labelEnd = end;
        if (labelEnd > start && host[labelEnd - 1] == '\\')
            --labelEnd;
        const std::string_view label = host.substr(start, labelEnd - start);
        if (hasHighByte(label)) {
            auto converted = nameToAscii(label, enc);
            if (!converted)
                return {};
            ace += *converted;
        } else {
            ace += label;
        }
        if (dot == std::string_view::npos)
            return ace;
        ace += host.substr(labelEnd, dot + 1 - labelEnd);
        start = dot + 1;
    }
}

} // namespace namecodec::detail
