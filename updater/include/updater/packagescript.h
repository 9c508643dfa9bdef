#pragma once

#include <string>
#include <string_view>

namespace pellwick {

// Turns a package author's script into the exact script a package carries:
// line feeds only, sizes of the write lines filled in from the staged files,
// the closing "en" added. The files of the write lines are read from
// stagingDir/ae, stagingDir/wd and stagingDir/id, mirroring the prefixes.
struct PreparedScript {
    std::string script; // empty when error is set
    std::string fileData; // the write lines' files, concatenated in script order
    std::string error; // Korean, ready to show
};

[[nodiscard]] PreparedScript prepareScript(std::string_view source, const std::string &stagingDir);

} // namespace pellwick
