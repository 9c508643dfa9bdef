#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellwick {

// Decimal conversion used for every number in the update files: leading
// white space and one sign are accepted, the digits stop at the first other
// character, no digits give 0. Values beyond 32 bits saturate, as the
// platform's own conversion did.
[[nodiscard]] std::int32_t toDecimal(std::string_view text);

// The first line of the version file, split into its three fields.
struct VersionLine {
    std::uint32_t version = 0; // announced version; a negative field wraps, so -1 counts as newest
    std::int32_t delay = 0; // check interval in seconds
    std::string packageUrl; // trimmed
};

[[nodiscard]] VersionLine parseVersionLine(std::string_view line);

// Removes leading and trailing white space (blank, tab, CR, LF, VT, FF).
[[nodiscard]] std::string_view trimmed(std::string_view text);

} // namespace pellwick
