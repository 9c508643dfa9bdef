#include "document/savefile.h"
#include "fileio/replacefile.h"
#include "platform/logging.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString cannotSave(const QString &path, int error)
{
    // The system's own words for a full disk or quota mean little to a user
    // who only sees that the save did not happen.
    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("디스크 공간이 부족합니다\n파일을 저장하지 않았습니다.\n%1").arg(path);
    return QStringLiteral("파일을 저장할 수 없습니다.\n%1\n%2").arg(path, systemError(error));
}

bool statTarget(const QString &path, struct stat &st)
{
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool readOnly(const QByteArray &name, const struct stat &st)
{
    return S_ISREG(st.st_mode) && (::access(name.constData(), W_OK) != 0 || (st.st_mode & 0222) == 0);
}

QString writeDirectly(const QString &path, const QByteArray &bytes)
{
    // Without a reader a FIFO would block the window until one came.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENXIO)
            return QStringLiteral("'%1'은(는) 읽는 프로그램이 없는 FIFO라서 저장할 수 없습니다.").arg(path);
        return cannotSave(path, errno);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    int error
        = fileio::writeAll(fd, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0)
        return QStringLiteral("파일을 저장할 수 없습니다. 일부는 이미 쓰였을 수 있습니다.\n%1\n%2")
            .arg(path, systemError(error));
    return {};
}

// The new file takes the owner and group of the one it replaces (a zone
// saved as root would otherwise become root's, and named could no longer
// read it) and its mode, set-id and sticky bits included.
QString keepOwnerAndMode(int fd, const QString &path, const struct stat &old)
{
    if (const int error = fileio::keepOwner(fd, old))
        return QStringLiteral("'%1' 파일의 소유자(%2:%3)를 유지할 수 없어 저장하지 않았습니다.\n%4")
            .arg(path)
            .arg(old.st_uid)
            .arg(old.st_gid)
            .arg(systemError(error));
    if (const int error = fileio::keepMode(fd, old))
        return QStringLiteral("'%1' 파일의 권한을 유지할 수 없어 저장하지 않았습니다.\n%2")
            .arg(path, systemError(error));
    return {};
}

} // namespace

bool isReadOnlyFile(const QString &path)
{
    struct stat st { };
    return statTarget(path, st) && readOnly(QFile::encodeName(path), st);
}

namespace {

QString writeFileBytes(const QString &path, const QByteArray &bytes)
{
    struct stat st { };
    const bool exists = statTarget(path, st);
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return QStringLiteral("'%1'은(는) 폴더입니다. 다른 이름으로 저장하십시오.").arg(path);
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            return writeDirectly(path, bytes);
        if (!S_ISREG(st.st_mode))
            return QStringLiteral("'%1'은(는) 일반 파일이 아니어서 저장할 수 없습니다.").arg(path);
        if (readOnly(QFile::encodeName(path), st))
            return QStringLiteral(
                "'%1' 파일은 읽기 전용이어서 저장하지 않았습니다. 다른 이름으로 저장하십시오.")
                .arg(path);
    }

    // A link stays: the file it names is the one replaced.
    const std::string target = fileio::resolveLinks(QFile::encodeName(path).toStdString());
    if (target.empty())
        return cannotSave(path, ELOOP);
    fileio::ReplacementFile file;
    if (const int error = file.open(target, exists))
        return cannotSave(path, error);
    if (exists) {
        const QString kept = keepOwnerAndMode(file.fd(), path, st);
        if (!kept.isEmpty())
            return kept;
    }
    if (const int error = fileio::writeAll(
            file.fd(), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
        return cannotSave(path, error);
    if (const int error = file.commit())
        return cannotSave(path, error);
    return {};
}

} // namespace

QString saveFileBytes(const QString &path, const QByteArray &bytes)
{
    // The message names the path and the system's reason: the cause, on one line.
    QString error = writeFileBytes(path, bytes);
    if (error.isEmpty())
        qCDebug(lcDocument) << "saved" << path << bytes.size() << "bytes";
    else
        qCWarning(lcDocument).noquote() << "save failed:" << oneLine(error);
    return error;
}
