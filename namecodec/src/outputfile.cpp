#include "outputfile.h"
#include "internal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace namecodec::detail {

using fileio::writeAll;

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
    if (path == "-") {
        m_held = std::tmpfile();
        if (!m_held)
            return Unexpected(failure("쓸 수 없습니다", errno));
        m_fd = ::fileno(m_held);
        m_kind = Kind::StandardOutput;
        return {};
    }

    const std::string target = fileio::resolveLinks(path);
    if (target.empty())
        return Unexpected(failure("쓸 수 없습니다", ELOOP));
    struct stat st { };
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return Unexpected(failure("쓸 수 없습니다", errno));
    if (exists && S_ISDIR(st.st_mode))
        return Unexpected(
            makeError(ErrorKind::Io, "'" + path + "'은(는) 폴더입니다. 결과를 쓸 파일 이름을 주십시오."));
    if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) {
        // Renaming over a device or FIFO would put a plain file in its place
        // and the reader would get nothing: write into it as it is.
        m_fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0)
            return Unexpected(failure("쓸 수 없습니다", errno));
        m_kind = Kind::Direct;
        return {};
    }
    if (exists && !S_ISREG(st.st_mode))
        return Unexpected(makeError(
            ErrorKind::Io, "'" + path + "'은(는) 일반 파일이나 장치가 아니어서 결과를 쓸 수 없습니다."));

    if (const int error = m_replacement.open(target, exists, partialFile))
        return Unexpected(failure("쓸 수 없습니다", error));
    m_fd = m_replacement.fd();
    m_kind = Kind::Replace;
    // A file whose owner cannot be kept is not replaced by one of another owner.
    if (exists) {
        if (const int error = fileio::keepOwnerAndMode(m_fd, st)) {
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
    m_fd = -1;
    m_kind = Kind::None;
    if (const int error = m_replacement.commit())
        return Unexpected(failure("쓸 수 없습니다", error));
    return {};
}

void OutputFile::discard()
{
    if (m_held) {
        std::fclose(m_held);
        m_held = nullptr;
    } else if (m_kind == Kind::Direct && m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_replacement.discard();
    m_kind = Kind::None;
}

} // namespace namecodec::detail
