#pragma once

#include "fileio/replacefile.h"
#include "namecodec/codec.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace namecodec::detail {

// Where the result of a file conversion goes, by what the output path is:
// - a regular file, or a new name: a hidden partial file beside it
//   (".NAME.<pid>.XXXXXX") that replaces it by rename on commit, with the
//   owner, group and mode of the file it replaces;
// - a symbolic link: the same, for the file the link names (the link stays);
// - a FIFO or a device: written directly, as the result streams;
// - "-": standard output, held back in an anonymous file until commit;
// - a folder, a socket: refused.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Readies `path` for writing. `partialFile` (may be empty) hears the
    // partial file's path just before the file is made, and nullptr once it
    // is gone.
    [[nodiscard]] Result<void> open(const std::string &path, const PartialFileHook &partialFile);

    // Appends bytes; false when the write failed (commit() then reports it).
    bool write(std::string_view data);

    // Puts the result in place. After a direct write the bytes are already
    // out, so a failure there may leave part of the result behind.
    [[nodiscard]] Result<void> commit();

    // Drops the partial result: the partial file is removed, the target is
    // left as it was (except what a direct write already sent).
    void discard();

private:
    enum class Kind { None, Replace, Direct, StandardOutput };

    Error failure(const char *what, int error) const;

    Kind m_kind = Kind::None;
    std::string m_path; // as the caller named it, for messages
    fileio::ReplacementFile m_replacement;
    int m_fd = -1; // where write() goes: the partial file, the device or the held file
    std::FILE *m_held = nullptr; // the anonymous file behind standard output
    int m_writeError = 0;
};

} // namespace namecodec::detail
