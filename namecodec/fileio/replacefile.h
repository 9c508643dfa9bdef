#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>

// How every program of ours replaces a file a user owns: a new file beside
// it, made exclusively, given the old file's owner and mode, synced and
// renamed into place, so a reader sees either the old file or the whole new
// one. POSIX only (no Qt, no ICU), so that libnamecodec links it as well as
// the editor. Results are 0 or an errno value; callers word the message.
namespace fileio {

// Told the partial file's path just before it is made, and nullptr once it
// is gone, so that a signal handler can remove it.
using PartialFileHook = std::function<void(const char *path)>;

class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Makes the hidden partial file ".NAME.<pid>.XXXXXX" beside `target` (a
    // path whose links are already followed), never through a link. While
    // `replacing` an existing file it is private to its creator until the
    // caller gives it the old owner and mode; a new file gets 0666 under the
    // umask. Partial files of processes that are gone are removed first.
    int open(const std::string &target, bool replacing, PartialFileHook hook = {});
    int fd() const { return m_fd; }
    // Syncs the data and renames the partial file over the target; on
    // failure the partial file is removed and the target left as it was.
    int commit();
    // Removes the partial file; the target is left as it was.
    void discard();

private:
    void forgetPartial();

    std::string m_target;
    std::string m_partial;
    int m_fd = -1;
    PartialFileHook m_hook;
};

// The file a path names after following every symbolic link, also when the
// last link points at a name that does not exist yet. Empty on a loop.
std::string resolveLinks(const std::string &path);

// Give `fd` the owner and group, and the mode (set-id and sticky bits
// included), of the file described by `old`. A daemon that reads its zone as
// bind:bind 0640 must still read it after root saved or converted it. A file
// system with fixed modes passes as long as the new file is open to nobody
// the old one was closed to.
int keepOwner(int fd, const struct stat &old);
int keepMode(int fd, const struct stat &old);
inline int keepOwnerAndMode(int fd, const struct stat &old)
{
    // The mode after the owner: fchown clears the set-id bits.
    const int error = keepOwner(fd, old);
    return error != 0 ? error : keepMode(fd, old);
}

// Writes everything, through short writes and interrupted calls.
int writeAll(int fd, std::string_view data);

// Removes the partial files ".NAME.<pid>.XXXXXX" beside `target` whose
// process is gone; those of running processes are left alone.
void removeStalePartialFiles(const std::string &target);

} // namespace fileio
