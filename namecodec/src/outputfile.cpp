#include "outputfile.h"
#include "internal.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace namecodec::detail {

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

// Gives the partial file the owner, group and mode of the file it will
// replace. A daemon that reads its zone as bind:bind 0640 must still read it
// after a conversion run as root; a file whose owner cannot be kept is not
// replaced by one of another owner.
int keepOwnerAndMode(int fd, const struct stat &old)
{
    struct stat now { };
    if (::fstat(fd, &now) != 0)
        return errno;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return errno;
    // After fchown, which clears the set-id bits.
    const mode_t wanted = old.st_mode & 07777;
    if (::fchmod(fd, wanted) != 0) {
        const int error = errno;
        // Some file systems keep fixed modes; that is acceptable as long as
        // the new file is open to nobody the old one was closed to.
        if (::fstat(fd, &now) != 0 || (now.st_mode & 0777 & ~wanted) != 0)
            return error;
    }
    return 0;
}

// Writes everything, through short writes and interrupted calls; 0 or errno.
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

} // namespace

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

OutputFile::~OutputFile()
{
    discard();
}

Error OutputFile::failure(const char *what, int error) const
{
    return makeError(ErrorKind::Io, "'" + m_path + "' 파일을 " + what + " (" + std::strerror(error) + ")");
}

Result<void> OutputFile::open(const std::string &path, const PartialFileHook &partialFile)
{
    discard();
    m_path = path;
    m_writeError = 0;
    m_hook = partialFile;
    if (path == "-") {
        m_held = std::tmpfile();
        if (!m_held)
            return Unexpected(failure("쓸 수 없습니다", errno));
        m_fd = ::fileno(m_held);
        m_kind = Kind::StandardOutput;
        return {};
    }

    m_target = resolveLinks(path);
    if (m_target.empty())
        return Unexpected(failure("쓸 수 없습니다", ELOOP));
    struct stat st { };
    const bool exists = ::stat(m_target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return Unexpected(failure("쓸 수 없습니다", errno));
    if (exists && S_ISDIR(st.st_mode))
        return Unexpected(
            makeError(ErrorKind::Io, "'" + path + "'은(는) 폴더입니다. 결과를 쓸 파일 이름을 주십시오."));
    if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) {
        // Renaming over a device or FIFO would put a plain file in its place
        // and the reader would get nothing: write into it as it is.
        m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0)
            return Unexpected(failure("쓸 수 없습니다", errno));
        m_kind = Kind::Direct;
        return {};
    }
    if (exists && !S_ISREG(st.st_mode))
        return Unexpected(makeError(
            ErrorKind::Io, "'" + path + "'은(는) 일반 파일이나 장치가 아니어서 결과를 쓸 수 없습니다."));

    removeStalePartialFiles(m_target);
    // Until its owner and mode are set, the partial file is its creator's alone.
    m_fd = createPartialFile(m_target, exists ? 0600 : 0666, m_hook, m_partial);
    if (m_fd < 0) {
        const int error = errno;
        m_partial.clear();
        return Unexpected(failure("쓸 수 없습니다", error));
    }
    m_kind = Kind::Replace;
    if (exists) {
        if (const int error = keepOwnerAndMode(m_fd, st)) {
            discard();
            return Unexpected(makeError(ErrorKind::Io,
                "'" + path + "' 파일의 소유자(" + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid)
                    + ")와 권한을 유지할 수 없어 바꾸지 않았습니다 (" + std::strerror(error) + ")"));
        }
    }
    return {};
}

bool OutputFile::write(std::string_view data)
{
    if (m_fd < 0 || m_writeError != 0)
        return false;
    m_writeError = writeAll(m_fd, data);
    return m_writeError == 0;
}

Result<void> OutputFile::commit()
{
    if (m_kind == Kind::None)
        return Unexpected(failure("쓸 수 없습니다", EBADF));
    if (m_writeError != 0) {
        const int error = m_writeError;
        discard();
        return Unexpected(failure("쓸 수 없습니다", error));
    }
    if (m_kind == Kind::StandardOutput) {
        std::fflush(stdout);
        std::string block(1 << 20, '\0');
        int error = ::lseek(m_fd, 0, SEEK_SET) == 0 ? 0 : errno;
        while (error == 0) {
            const ssize_t n = ::read(m_fd, block.data(), block.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n == 0 ? 0 : errno;
                break;
            }
            error = writeAll(STDOUT_FILENO, std::string_view(block.data(), static_cast<std::size_t>(n)));
        }
        discard();
        if (error != 0)
            return Unexpected(failure("쓸 수 없습니다", error));
        return {};
    }
    if (m_kind == Kind::Direct) {
        const int fd = m_fd;
        m_fd = -1;
        m_kind = Kind::None;
        if (::close(fd) != 0 && errno != EINTR)
            return Unexpected(failure("쓸 수 없습니다", errno));
        return {};
    }
    // The data reaches the disk before the name does, so a crash leaves
    // either the old file or the whole new one.
    if (::fsync(m_fd) != 0 || ::close(m_fd) != 0) {
        const int error = errno;
        m_fd = -1;
        discard();
        return Unexpected(failure("쓸 수 없습니다", error));
    }
    m_fd = -1;
    if (::rename(m_partial.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        discard();
        return Unexpected(failure("쓸 수 없습니다", error));
    }
    forgetPartial();
    m_kind = Kind::None;
    return {};
}

void OutputFile::discard()
{
    if (m_held) {
        std::fclose(m_held);
        m_held = nullptr;
        m_fd = -1;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_partial.empty()) {
        ::unlink(m_partial.c_str());
        forgetPartial();
    }
    m_kind = Kind::None;
}

void OutputFile::forgetPartial()
{
    m_partial.clear();
    if (m_hook)
        m_hook(nullptr);
}

} // namespace namecodec::detail
