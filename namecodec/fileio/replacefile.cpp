#include "fileio/replacefile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <unistd.h>

namespace fileio {

namespace {

constexpr int kMaxLinks = 40; // as the kernel's own limit on a path's links
constexpr std::size_t kRandomChars = 6;
constexpr char kRandomAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string directoryOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string &dir, const std::string &name)
{
    return dir == "/" ? "/" + name : dir + "/" + name;
}

// Whether `name` is ".BASE.<pid>.XXXXXX" for `base`; gives the pid.
bool parsePartialName(std::string_view name, std::string_view base, pid_t &pid)
{
    if (name.size() < base.size() + 2 || name[0] != '.' || name.substr(1, base.size()) != base
        || name[base.size() + 1] != '.')
        return false;
    std::string_view rest = name.substr(base.size() + 2);
    std::size_t digits = 0;
    long long value = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
        value = value * 10 + (rest[digits] - '0');
        if (value > INT_MAX)
            return false;
        ++digits;
    }
    if (digits == 0 || rest.size() != digits + 1 + kRandomChars || rest[digits] != '.')
        return false;
    for (const char c : rest.substr(digits + 1)) {
        if (!std::strchr(kRandomAlphabet, c) || c == '\0')
            return false;
    }
    pid = static_cast<pid_t>(value);
    return value > 0;
}

bool processIsGone(pid_t pid)
{
    // EPERM means it runs under another user: alive all the same.
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Makes a new partial file beside `target`, exclusively and never through a
// link, with `mode` (the umask applies, as for any new file). The hook hears
// each name before it is made, so a signal can never catch a made file whose
// name it does not know; a name that was taken carries our pid, so it can
// only be a stale file of ours.
int createPartialFile(const std::string &target, mode_t mode, const PartialFileHook &hook, std::string &path)
{
    static thread_local std::mt19937 random {std::random_device {}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kRandomAlphabet - 2);
    const std::string stem
        = joinPath(directoryOf(target), "." + fileNameOf(target) + "." + std::to_string(::getpid()) + ".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = stem;
        for (std::size_t i = 0; i < kRandomChars; ++i)
            path += kRandomAlphabet[pick(random)];
        if (hook)
            hook(path.c_str());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            break;
    }
    const int error = errno;
    if (hook)
        hook(nullptr);
    errno = error;
    return -1;
}

} // namespace

ReplacementFile::~ReplacementFile()
{
    discard();
}

int ReplacementFile::open(const std::string &target, bool replacing, PartialFileHook hook)
{
    discard();
    m_target = target;
    m_hook = std::move(hook);
    removeStalePartialFiles(target);
    m_fd = createPartialFile(target, replacing ? 0600 : 0666, m_hook, m_partial);
    if (m_fd < 0) {
        const int error = errno;
        m_partial.clear();
        return error;
    }
    return 0;
}

int ReplacementFile::commit()
{
    if (m_fd < 0)
        return EBADF;
    // The data reaches the disk before the name does, so a crash leaves
    // either the old file or the whole new one.
    if (::fsync(m_fd) != 0 || ::close(m_fd) != 0) {
        const int error = errno;
        m_fd = -1;
        discard();
        return error;
    }
    m_fd = -1;
    if (::rename(m_partial.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        discard();
        return error;
    }
    forgetPartial();
    return 0;
}

void ReplacementFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_partial.empty()) {
        ::unlink(m_partial.c_str());
        forgetPartial();
    }
}

void ReplacementFile::forgetPartial()
{
    m_partial.clear();
    if (m_hook)
        m_hook(nullptr);
}

std::string resolveLinks(const std::string &path)
{
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st { };
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0)
            return current;
        link.resize(static_cast<std::size_t>(n));
        current = !link.empty() && link[0] == '/' ? link : joinPath(directoryOf(current), link);
    }
    errno = ELOOP;
    return {};
}

int keepOwner(int fd, const struct stat &old)
{
    struct stat now { };
    if (::fstat(fd, &now) != 0)
        return errno;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return errno;
    return 0;
}

int keepMode(int fd, const struct stat &old)
{
    const mode_t wanted = old.st_mode & 07777;
    if (::fchmod(fd, wanted) != 0) {
        const int error = errno;
        struct stat now { };
        if (::fstat(fd, &now) != 0 || (now.st_mode & 0777 & ~wanted) != 0)
            return error;
    }
    return 0;
}

int writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

void removeStalePartialFiles(const std::string &target)
{
    const std::string dirPath = directoryOf(target);
    const std::string base = fileNameOf(target);
    DIR *dir = ::opendir(dirPath.c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    const pid_t self = ::getpid();
    while (const dirent *entry = ::readdir(dir)) {
        pid_t pid = 0;
        if (!parsePartialName(entry->d_name, base, pid) || pid == self || !processIsGone(pid))
            continue;
        struct stat st { };
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            (void)::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace fileio
