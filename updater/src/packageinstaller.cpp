#include "updater/packageinstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace pellwick {

QString resolveLocation(const ScriptLocation &where, const InstallBases &bases)
{
    const QString *base = nullptr;
    switch (where.base) {
    case ScriptBase::Current:
        base = &bases.current;
        break;
    case ScriptBase::Windows:
        base = &bases.windows;
        break;
    case ScriptBase::Idn:
        base = &bases.idn;
        break;
    case ScriptBase::Unknown:
        return {};
    }
    // The script's bytes name the file as the file system spells it.
    return *base + QFile::decodeName(QByteArray::fromStdString(where.path));
}

namespace {

// Each command may fail on its own (missing file, directory not empty or
// already there); the package goes on regardless.
void runImmediate(const ScriptOp &op, const QString &path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    switch (op.kind) {
    case ScriptOpKind::Delete:
        if (!info.isDir() || info.isSymLink())
            QFile::remove(path);
        break;
    case ScriptOpKind::RemoveDir:
        if (info.isDir() && !info.isSymLink())
            QDir().rmdir(path);
        break;
    case ScriptOpKind::MakeDir:
        QDir().mkdir(path);
        break;
    case ScriptOpKind::Write:
        break;
    }
}

bool writeFile(const QString &path, const char *data, qint64 size)
{
    if (QFileInfo(path).isDir())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (size > 0 && file.write(data, size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

bool applyPackage(const PackageImage &image, const InstallBases &bases)
{
    for (const ScriptOp &op : image.plan.ops) {
        if (op.kind != ScriptOpKind::Write)
            runImmediate(op, resolveLocation(op.where, bases));
    }
    if (image.plan.end != ScriptEnd::EndMarker)
        return false;

    std::size_t cursor = image.dataOffset;
    for (const ScriptOp &op : image.plan.ops) {
        if (op.kind != ScriptOpKind::Write)
            continue;
        const QString path = resolveLocation(op.where, bases);
        const auto size = static_cast<std::size_t>(op.size);
        // readPackage has checked every size against the payload; check
        // again so that this function is safe on its own.
        if (op.size < 0 || size > image.payload.size() - cursor)
            return false;
        if (!writeFile(path, image.payload.data() + cursor, static_cast<qint64>(size)))
            return false;
        cursor += size;
    }
    return true;
}

} // namespace pellwick
