#include "wizard/wizardconversion.h"

#include "document/savefile.h"
#include "document/textfileconversion.h"
#include "platform/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

QString proposedOutputName(const QString &copySource)
{
    if (copySource.isEmpty())
        return {};
    // Either separator ends a folder, so a name typed the other platform's
    // way is cut the same.
    QString name = copySource;
    const qsizetype slash = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    name = name.mid(slash + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot >= 0 ? name.left(dot) : QString();
}

QString proposedTargetPath(const QString &copySource, const QString &extension)
{
    const QString name = proposedOutputName(copySource);
    if (name.isEmpty())
        return {};
    const QFileInfo source(copySource);
    // "hosting.zone" would give "hosting.zone" again: the result never
    // takes its source's name.
    const QString own = name + QLatin1Char('.') + extension;
    const QString proposal = source.fileName() == own ? name + QStringLiteral(".puny.") + extension : name;
    return source.absoluteDir().filePath(proposal);
}

bool isSameFile(const QString &a, const QString &b)
{
    struct stat first { };
    struct stat second { };
    // stat() follows links: a link to the source is the source.
    if (::stat(QFile::encodeName(a).constData(), &first) != 0
        || ::stat(QFile::encodeName(b).constData(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

QString targetPathWithExtension(const QString &chosen, const QString &extension)
{
    if (chosen.isEmpty() || QFileInfo(chosen).fileName().contains(QLatin1Char('.')))
        return chosen;
    return chosen + QLatin1Char('.') + extension;
}

bool WorkingCopy::make(const QString &source, const QString &tempDirectory, QString *error)
{
    remove();
    if (source.isEmpty()) {
        if (error)
            *error
                = QStringLiteral("변환할 원본 파일이 정해지지 않았습니다. 이전 단계에서 파일을 고르십시오.");
        return false;
    }
    QFile in(source);
    if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("원본 파일을 열 수 없습니다.\n%1\n%2")
                         .arg(QDir::toNativeSeparators(source), in.errorString());
        qCWarning(lcWizard) << "cannot open the source" << source << "-"
                            << (QFileInfo(source).isFile() ? in.errorString() : QStringLiteral("not a file"));
        return false;
    }
    QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("원본 파일을 읽을 수 없습니다.\n%1\n%2")
                         .arg(QDir::toNativeSeparators(source), in.errorString());
        qCWarning(lcWizard) << "cannot read the source" << source << "-" << in.errorString();
        return false;
    }
    if (!m_file.create(tempDirectory, error))
        return false;
    QFile out(m_file.path());
    if (!out.open(QIODevice::WriteOnly | QIODevice::ExistingOnly) || out.write(bytes) != bytes.size()
        || !out.flush()) {
        if (error)
            *error = QStringLiteral("임시 파일에 쓸 수 없습니다: %1").arg(out.errorString());
        qCWarning(lcWizard) << "cannot write the working copy" << m_file.path() << "-" << out.errorString();
        m_file.remove();
        return false;
    }
    m_source = source;
    m_bytes = std::move(bytes);
    return true;
}

QString WorkingCopy::writeBack(const QByteArray &bytes)
{
    if (!exists())
        return QStringLiteral("작업 파일이 없어 고친 내용을 쓸 수 없습니다.");
    QFile out(m_file.path());
    // Truncated, so a shorter text leaves nothing of the longer one.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::ExistingOnly)
        || out.write(bytes) != bytes.size() || !out.flush()) {
        qCWarning(lcWizard) << "cannot write the working copy" << m_file.path() << "-" << out.errorString();
        return QStringLiteral("작업 파일에 쓸 수 없습니다: %1").arg(out.errorString());
    }
    m_bytes = bytes;
    return {};
}

void WorkingCopy::remove()
{
    m_file.remove();
    m_bytes.clear();
}

WizardConversion convertWorkingCopy(const QString &workingCopy, const QString &target,
    namecodec::Encoding from, namecodec::FileKind kind, int keepComment, const QString &tempDirectory)
{
    WizardConversion result;
    // The result name is taken exclusively, so the library replaces a file
    // of ours, never someone else's; it goes whatever happens.
    ScopedTempFile converted;
    if (!converted.create(tempDirectory, &result.error))
        return result;
    int line = 0;
    if (!ConvertTextFile(workingCopy, converted.path(), from, namecodec::Encoding::Punycode, keepComment,
            &line, kind, &result.faults)) {
        result.errorLine = line > 0 ? line : 1;
        return result;
    }
    QFile in(converted.path());
    if (!in.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("변환 결과를 읽을 수 없습니다: %1").arg(in.errorString());
        qCWarning(lcWizard) << "cannot read the converted copy" << converted.path() << "-"
                            << in.errorString();
        return result;
    }
    const QByteArray bytes = in.readAll();
    in.close();
    result.error = saveFileBytes(target, bytes);
    result.ok = result.error.isEmpty();
    return result;
}
