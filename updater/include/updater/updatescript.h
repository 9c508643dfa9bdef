#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellwick {

// The three places a package may touch.
enum class ScriptBase { Unknown, Current, Windows, Idn };

struct ScriptLocation {
    ScriptBase base = ScriptBase::Unknown;
    std::string path; // after the prefix, with '\' read as '/'; empty for an unknown prefix
};

enum class ScriptOpKind { Delete, RemoveDir, MakeDir, Write };

struct ScriptOp {
    ScriptOpKind kind;
    ScriptLocation where;
    std::int64_t size = 0; // Write only; may be negative in a bad script
};

enum class ScriptEnd {
    EndMarker, // the scan stopped exactly on the closing "en"
    NoEndMarker, // anything else was left at the end
    TooManyWrites, // the 100th write line was reached
    Malformed, // shorter than the end marker or holding a NUL byte
};

// Everything a script asks for, in script order, and how its scan ended.
// Deletions and directory commands take effect in this order before any
// write, even when the scan ends badly; writes happen only after a clean end.
struct ScriptPlan {
    std::vector<ScriptOp> ops;
    ScriptEnd end = ScriptEnd::Malformed;
    int writeCount = 0;
};

inline constexpr std::size_t kMaxScriptLength = 4095;
inline constexpr int kWriteTableSize = 100; // the 100th write fails the installation

[[nodiscard]] ScriptPlan scanScript(std::string_view script);

// Splits "ae:\\sub\\a.txt" into its base and path.
[[nodiscard]] ScriptLocation resolveScriptLocation(std::string_view location);

// A location stays inside its base when its path is empty or starts with a
// separator and never names "..". Unknown prefixes touch nothing and pass.
[[nodiscard]] bool staysInsideBase(const ScriptLocation &where);

} // namespace pellwick
