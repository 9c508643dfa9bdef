#pragma once

#include "namecodec/codec.h"
#include "namecodec/export.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace namecodec {

// What a conversion would do to a name an editor shows.
enum class NameMarkKind {
    Converted, // holds Hangul: becomes ACE on the way to Punycode
    Ace, // an xn-- label: becomes Hangul on the way back
    Refused, // a conversion would refuse it
    // A Hangul host inside a rule (a rewrite condition, an SPF record) that
    // the conversion leaves as it is; once names are ACE the rule no longer
    // matches, so the administrator is shown it
    LeftInRule,
};

struct NameMark {
    int column = 0; // 0-based, in UTF-16 units of the line
    int length = 0; // in UTF-16 units
    NameMarkKind kind = NameMarkKind::Converted;
    // UTF-8: the ACE form of a Converted name or of a host LeftInRule (empty
    // when it has none), the Hangul form of the name an Ace label is in, the
    // Korean reason for a Refused one.
    std::string note;
};

// Finds, line by line, the names the conversion of a text of kind `kind`
// would change or refuse, with the very scanner and rules the conversion
// uses. Lines go through it in order, as the scanners keep what crosses
// lines (records in parentheses, block comments); a copy goes on from where
// the original is, so a caller can keep copies every so many lines and
// start again from the nearest one.
class NAMECODEC_API NameMarker {
public:
    // `kind` Auto counts as General.
    explicit NameMarker(FileKind kind);
    NameMarker(const NameMarker &other);
    NameMarker &operator=(const NameMarker &other);
    NameMarker(NameMarker &&) noexcept;
    NameMarker &operator=(NameMarker &&) noexcept;
    ~NameMarker();

    FileKind kind() const;
    // The marks of the next line (no line ending), in column order.
    std::vector<NameMark> markLine(std::u16string_view line);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace namecodec
