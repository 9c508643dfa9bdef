#include "scanners.h"
#include "scannertext.h"

#include <unicode/uchar.h>

namespace namecodec::detail {

namespace {

bool isHangul(char32_t c)
{
    return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F)
        || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xD7B0 && c <= 0xD7FF) || (c >= 0xFFA0 && c <= 0xFFDC);
}

// Letters, marks and digits of any script belong to a name. Invisible format
// characters do too, so that one inside a name is refused rather than
// cutting the name in two; punctuation, symbols and spaces (’ → © and the
// like) are text.
bool isNameCodePoint(char32_t c)
{
    if (c < 0x80)
        return isAsciiNameChar(static_cast<unsigned char>(c));
    if (c == 0xFFFD)
        return false;
    switch (u_charType(static_cast<UChar32>(c))) {
    case U_UPPERCASE_LETTER:
    case U_LOWERCASE_LETTER:
    case U_TITLECASE_LETTER:
    case U_MODIFIER_LETTER:
    case U_OTHER_LETTER:
    case U_NON_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_COMBINING_SPACING_MARK:
    case U_DECIMAL_DIGIT_NUMBER:
    case U_FORMAT_CHAR:
        return true;
    default:
        return false;
    }
}

// In a document of any other kind a name is a dotted run of two labels or
// more that holds a Hangul label (an xn-- label on the way back). A run that
// touches '/' or '\' is part of a path and stays as it is, except the host
// right after "://". Everything else is text: never converted, never a
// reason to fail.
class GeneralScanner final : public LineScanner {
public:
    GeneralScanner(Encoding enc, bool backToUnicode)
        : LineScanner(enc)
        , m_back(backToUnicode)
    {
    }

    std::unique_ptr<LineScanner> clone() const override { return std::make_unique<GeneralScanner>(*this); }

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        const auto *bytes = reinterpret_cast<const unsigned char *>(line.data());
        const std::size_t n = line.size();
        std::size_t i = 0;
        while (i < n) {
            std::size_t length = 1;
            if (!nameCharAt(bytes, i, n, length)) {
                i += length;
                continue;
            }
            const std::size_t start = i;
            std::size_t labelStart = i;
            int labels = 0;
            bool wanted = false, hangul = false;
            auto closeLabel = [&](std::size_t end) {
                if (end > labelStart)
                    ++labels;
                if (m_back ? isAceStart(line, labelStart, end) : hangul)
                    wanted = true;
                hangul = false;
            };
            while (i < n && nameCharAt(bytes, i, n, length)) {
                if (bytes[i] == '.') {
                    closeLabel(i);
                    labelStart = i + 1;
                } else if (bytes[i] >= 0x80 && !m_back) {
                    hangul = hangul || isHangul(decodeChar(bytes + i, n - i, m_enc));
                }
                i += length;
            }
            closeLabel(i);
            if (labels < 2 || !wanted)
                continue;
            const bool host = start >= 3 && line.substr(start - 3, 3) == "://";
            const bool path = (start > 0 && isSeparator(line[start - 1])) || (i < n && isSeparator(line[i]));
            if (path && !host)
                continue;
            // Dots around the run are punctuation, but a name may end in
            // its root dot.
            std::size_t b = start, e = i;
            while (b < e && line[b] == '.')
                ++b;
            while (e - b >= 2 && line[e - 1] == '.' && line[e - 2] == '.')
                --e;
            names.push_back({b, e});
        }
    }

private:
    static bool isSeparator(char c) { return c == '/' || c == '\\'; }

    static bool isAceStart(std::string_view line, std::size_t b, std::size_t e)
    {
        return e - b >= 4 && (line[b] | 0x20) == 'x' && (line[b + 1] | 0x20) == 'n' && line[b + 2] == '-'
            && line[b + 3] == '-';
    }

    bool nameCharAt(const unsigned char *bytes, std::size_t i, std::size_t n, std::size_t &length) const
    {
        if (bytes[i] < 0x80) {
            length = 1;
            return isAsciiNameChar(bytes[i]);
        }
        length = charLength(bytes + i, n - i, m_enc);
        return isNameCodePoint(decodeChar(bytes + i, n - i, m_enc));
    }

    bool m_back;
};

} // namespace

std::unique_ptr<LineScanner> makeGeneralScanner(Encoding enc, bool backToUnicode)
{
    return std::make_unique<GeneralScanner>(enc, backToUnicode);
}

} // namespace namecodec::detail
