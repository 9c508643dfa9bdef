#pragma once

#include "internal.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

struct UIDNA;

namespace namecodec::detail {

// Converts names label by label with UTS #46 (non-transitional, STD3 rules,
// bidi and CONTEXTJ checks). Only labels that need it are touched; the rest
// are copied byte for byte. Results are cached because zone files repeat
// the same few names on every record.
class LabelConverter {
public:
    LabelConverter();
    ~LabelConverter();
    LabelConverter(const LabelConverter &) = delete;
    LabelConverter &operator=(const LabelConverter &) = delete;

    // Non-ASCII labels of `name` (text in `enc`) to ACE.
    Result<std::string> nameToAscii(std::string_view name, Encoding enc);
    // xn-- labels of `name` to Unicode, written in `enc`.
    Result<std::string> nameToUnicode(std::string_view name, Encoding enc);

    // A host as a rule spells it (a pattern may escape its dots) with each
    // non-ASCII label in ACE form and everything else as written, so the
    // result drops into the same rule; empty when a label cannot be converted.
    std::string ruleHostToAscii(std::string_view host, Encoding enc);

    // True when the name has an xn-- label to decode (hasHighByte tells the
    // same for the way to ACE).
    static bool needsUnicode(std::string_view name);

private:
    // A converted label and whether it is a right-to-left one (holds a
    // character of bidi class R, AL or AN), which puts the whole name under
    // the bidi rule.
    struct Label {
        std::string text;
        bool rtl = false;
    };

    Result<Label> labelToAscii(std::string_view label, Encoding enc);
    // The way for every label but a plain Hangul one: Hangul traps, then ICU.
    Result<Label> icuLabelToAscii(std::string_view label, Encoding enc, const std::u16string &wide);
    Result<Label> labelToUnicode(std::string_view label, Encoding enc);

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view> {}(s); }
    };
    using Cache = std::unordered_map<std::string, Label, Hash, std::equal_to<>>;

    UIDNA *m_idna = nullptr;
    // One cache per text encoding, looked up without copying the label.
    Cache m_asciiCache[2];
    Cache m_unicodeCache[2];
};

// True when the label starts with the ACE prefix, in any letter case.
inline bool isAceLabel(std::string_view label)
{
    return label.size() >= 4 && (label[0] | 0x20) == 'x' && (label[1] | 0x20) == 'n' && label[2] == '-'
        && label[3] == '-';
}

} // namespace namecodec::detail
