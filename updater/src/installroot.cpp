#include "updater/installroot.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellwick {

std::string describeErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "디스크 공간이 부족합니다";
    case EFBIG:
        return "파일 크기 제한을 넘었습니다";
    case EACCES:
    case EPERM:
        return "권한이 없습니다";
    case ENOENT:
        return "없습니다";
    case ENOTDIR:
        return "폴더가 아닙니다";
    case EISDIR:
        return "폴더입니다";
    case EROFS:
        return "읽기 전용 파일 시스템입니다";
    case EBUSY:
    case ETXTBSY:
        return "사용 중입니다";
    case ELOOP:
        return "심볼릭 링크입니다";
    case EIO:
        return "입출력 오류입니다";
    default:
        return std::strerror(error);
    }
}

InstallRoot::InstallRoot(int fd, std::string path)
    : m_fd(fd)
    , m_path(std::move(path))
{
}

InstallRoot::InstallRoot(InstallRoot &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
{
}

InstallRoot &InstallRoot::operator=(InstallRoot &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

InstallRoot::~InstallRoot()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Result<InstallRoot> InstallRoot::open(const std::string &absolutePath)
{
    if (absolutePath.empty() || absolutePath.front() != '/')
        return fail(
            FailureKind::InstallDirectory, "설치 폴더는 절대 경로여야 합니다: \"" + absolutePath + "\"");
    const int fd = ::open(absolutePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return fail(FailureKind::InstallDirectory,
            "설치 폴더를 열 수 없습니다: " + absolutePath + " (" + describeErrno(error) + ")");
    }
    return InstallRoot(fd, absolutePath);
}

Result<FileBytes> InstallRoot::readFile(const std::string &name) const
{
    const int fd = ::openat(m_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return fail(error == ENOENT ? FailureKind::PackageMissing : FailureKind::Disk,
            "파일을 읽을 수 없습니다: " + name + " (" + describeErrno(error) + ")");
    }
    FileBytes file;
    std::size_t capacity = 0;
    struct stat info { };
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        capacity = static_cast<std::size_t>(info.st_size);
    try {
        file.data.reset(new unsigned char[capacity]);
        for (;;) {
            unsigned char probe[4096];
            const bool full = file.size == capacity; // at the expected end, or not a regular file
            const ssize_t n = full ? ::read(fd, probe, sizeof probe)
                                   : ::read(fd, file.data.get() + file.size, capacity - file.size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int error = errno;
                ::close(fd);
                return fail(FailureKind::Disk,
                    "파일을 읽을 수 없습니다: " + name + " (" + describeErrno(error) + ")");
            }
            if (n == 0)
                break;
            if (full) { // the file grew: make room for more
                capacity = capacity * 2 + sizeof probe;
                std::unique_ptr<unsigned char[]> larger(new unsigned char[capacity]);
                std::copy_n(file.data.get(), file.size, larger.get());
                std::copy_n(probe, n, larger.get() + file.size);
                file.data = std::move(larger);
            }
            file.size += static_cast<std::size_t>(n);
        }
    } catch (const std::bad_alloc &) {
        ::close(fd);
        return fail(FailureKind::Disk, "파일을 읽을 메모리가 부족합니다: " + name);
    }
    ::close(fd);
    return file;
}

Result<int> InstallRoot::createFresh(const std::string &name) const
{
    ::unlinkat(m_fd, name.c_str(), 0);
    const int fd = ::openat(m_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        return fail(
            FailureKind::Disk, "파일을 만들 수 없습니다: " + name + " (" + describeErrno(error) + ")");
    }
    return fd;
}

Status InstallRoot::rename(const std::string &from, const std::string &to) const
{
    if (::renameat(m_fd, from.c_str(), m_fd, to.c_str()) != 0) {
        const int error = errno;
        return fail(FailureKind::Disk,
            "파일 이름을 바꿀 수 없습니다: " + from + " → " + to + " (" + describeErrno(error) + ")");
    }
    return {};
}

void InstallRoot::remove(const std::string &name) const
{
    ::unlinkat(m_fd, name.c_str(), 0);
}

bool InstallRoot::exists(const std::string &name) const
{
    struct stat info { };
    return ::fstatat(m_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace pellwick
