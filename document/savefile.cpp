#include "document/savefile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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
        return QStringLiteral("파일을 저장할 수 없습니다.\n%1\n%2").arg(path, systemError(errno));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<std::size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        data += n;
        left -= n;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0)
        return QStringLiteral("파일을 저장할 수 없습니다. 일부는 이미 쓰였을 수 있습니다.\n%1\n%2")
            .arg(path, systemError(error));
    return {};
}

// QSaveFile keeps the permission bits of the file it replaces, but not its
// owner and group (a zone saved as root would become root's, and named
// could no longer read it) nor its set-id and sticky bits.
QString keepOwnerAndMode(int fd, const QString &path, const struct stat &old)
{
    struct stat now { };
    if (fd < 0 || ::fstat(fd, &now) != 0)
        return QStringLiteral("파일을 저장할 수 없습니다.\n%1\n%2").arg(path, systemError(errno));
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return QStringLiteral("'%1' 파일의 소유자(%2:%3)를 유지할 수 없어 저장하지 않았습니다.\n%4")
            .arg(path)
            .arg(old.st_uid)
            .arg(old.st_gid)
            .arg(systemError(errno));
    const mode_t wanted = old.st_mode & 07777;
    if (::fchmod(fd, wanted) != 0 && (::fstat(fd, &now) != 0 || (now.st_mode & 0777 & ~wanted) != 0))
        return QStringLiteral("'%1' 파일의 권한을 유지할 수 없어 저장하지 않았습니다.\n%2")
            .arg(path, systemError(errno));
    return {};
}

} // namespace

bool isReadOnlyFile(const QString &path)
{
    struct stat st { };
    return statTarget(path, st) && readOnly(QFile::encodeName(path), st);
}

QString saveFileBytes(const QString &path, const QByteArray &bytes)
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

    // QSaveFile follows links itself and writes beside the file they name.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("파일을 저장할 수 없습니다.\n%1\n%2").arg(path, file.errorString());
    if (exists) {
        const QString kept = keepOwnerAndMode(file.handle(), path, st);
        if (!kept.isEmpty()) {
            file.cancelWriting();
            return kept;
        }
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return QStringLiteral("파일을 저장할 수 없습니다.\n%1\n%2").arg(path, why);
    }
    return {};
}
