#include "updater/pellwicklog.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include "updater/updatepackage.h"

PellwickLog::PellwickLog()
{
    ::openlog("Pellwick", LOG_PID, LOG_USER);
}

PellwickLog::~PellwickLog()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        trim();
    }
    if (m_dirFd >= 0)
        ::close(m_dirFd);
    ::closelog();
}

void PellwickLog::attach(int installDirFd)
{
    if (m_fd >= 0)
        return;
    m_dirFd = ::fcntl(installDirFd, F_DUPFD_CLOEXEC, 0);
    if (m_dirFd < 0)
        return;
    trim();
    m_fd = ::openat(
        m_dirFd, pellwick::kLogFileName, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
}

void PellwickLog::info(const std::string &text)
{
    write(LOG_INFO, text);
}

void PellwickLog::error(const std::string &text)
{
    write(LOG_ERR, text);
}

void PellwickLog::write(int priority, const std::string &text)
{
    ::syslog(priority, "%s", text.c_str());
    if (m_fd < 0)
        return;
    char stamp[64] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string line = std::string(stamp) + " [" + std::to_string(::getpid()) + "] "
        + (priority == LOG_ERR ? "오류: " : "") + text + "\n";
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t wrote = ::write(m_fd, rest.data(), rest.size());
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return; // a full disk must not stop the update over its log
        rest.remove_prefix(static_cast<std::size_t>(wrote));
    }
}

// Keeps the newest kKeepBytes, cut at a line start, by writing them beside
// the log and renaming over it, so a crash never leaves half a log.
void PellwickLog::trim()
{
    const int fd = ::openat(m_dirFd, pellwick::kLogFileName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || std::size_t(info.st_size) <= kKeepBytes) {
        ::close(fd);
        return;
    }
    std::vector<char> tail(kKeepBytes);
    std::size_t got = 0;
    while (got < tail.size()) {
        const ssize_t n = ::pread(fd, tail.data() + got, tail.size() - got,
            static_cast<off_t>(std::size_t(info.st_size) - kKeepBytes + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    std::string_view kept(tail.data(), got);
    if (const std::size_t feed = kept.find('\n'); feed != std::string_view::npos)
        kept.remove_prefix(feed + 1);

    const std::string temp = std::string(".") + pellwick::kLogFileName + "." + std::to_string(::getpid());
    ::unlinkat(m_dirFd, temp.c_str(), 0);
    const int out
        = ::openat(m_dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0)
        return;
    bool ok = true;
    while (ok && !kept.empty()) {
        const ssize_t n = ::write(out, kept.data(), kept.size());
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            kept.remove_prefix(static_cast<std::size_t>(n));
    }
    ok = ::close(out) == 0 && ok;
    if (!ok || ::renameat(m_dirFd, temp.c_str(), m_dirFd, pellwick::kLogFileName) != 0)
        ::unlinkat(m_dirFd, temp.c_str(), 0);
}
