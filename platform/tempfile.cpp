#include "platform/tempfile.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder we may keep copies in: a real folder (no link) of ours that
// nobody else can write into.
bool isPrivateFolder(const QByteArray &path)
{
    struct stat info { };
    if (::lstat(path.constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Makes `path` (its parent must exist) as a folder for this user alone, or
// takes the one already there when it is ours; tightens its mode to 0700.
bool ensurePrivateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info { };
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    if ((info.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString makeTempFileName(const QString &dir)
{
    const long long seconds = static_cast<long long>(std::time(nullptr));
    const quint64 next = QRandomGenerator::system()->generate64();
    return QStringLiteral("%1/conv_%2%3.tmp").arg(dir).arg(seconds).arg(next);
}

bool createPrivateFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool createPrivateFifo(const QString &path)
{
    // mkfifo never takes an existing name, a planted link included.
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

QString createTempFile(const QString &dir)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = makeTempFileName(dir);
        if (createPrivateFile(name))
            return name;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

QString privateTempDirectory(const QString &preferred)
{
    const QByteArray native = QFile::encodeName(preferred);
    struct stat info { };
    if (preferred.isEmpty() || (::lstat(native.constData(), &info) != 0 && errno == ENOENT)
        || isPrivateFolder(native))
        return preferred;

    QStringList candidates;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(QFile::encodeName(runtime)))
        candidates << runtime + QStringLiteral("/quorel");
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && QDir().mkpath(cache))
        candidates << cache + QStringLiteral("/quorel");
    for (const QString &candidate : candidates) {
        if (ensurePrivateFolder(candidate))
            return candidate;
    }
    // No private folder could be had: the shared one still gets files that
    // only their owner can read, under names nobody can guess.
    return preferred;
}
