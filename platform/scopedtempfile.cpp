#include "scopedtempfile.h"

#include "platform/logging.h"
#include "platform/tempfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

ScopedTempFile::~ScopedTempFile()
{
    remove();
}

bool ScopedTempFile::create(const QString &directory, QString *error)
{
    return create(
        directory, [&directory] { return makeTempFileName(directory); }, error);
}

bool ScopedTempFile::create(
    const QString &directory, const std::function<QString()> &nextName, QString *error)
{
    return make(directory, nextName, createPrivateFile, error);
}

bool ScopedTempFile::createFifo(const QString &directory, QString *error)
{
    return make(
        directory, [&directory] { return makeTempFileName(directory); }, createPrivateFifo, error);
}

bool ScopedTempFile::make(const QString &directory, const std::function<QString()> &nextName,
    const std::function<bool(const QString &)> &maker, QString *error)
{
    remove();
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const QString candidate = nextName();
        if (maker(candidate)) {
            m_path = candidate;
            return true;
        }
        // Only a name that is taken is worth another try; a missing or
        // unwritable directory fails the same way every time.
        if (errno != EEXIST)
            break;
    }
    qCWarning(lcDocument) << "cannot make a temporary file in" << directory << "-" << std::strerror(errno);
    if (error)
        *error = QStringLiteral("임시 파일을 만들 수 없습니다: %1").arg(QDir::toNativeSeparators(directory));
    return false;
}

void ScopedTempFile::remove()
{
    if (m_path.isEmpty())
        return;
    QFile::remove(m_path);
    m_path.clear();
}
