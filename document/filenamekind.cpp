#include "document/filenamekind.h"

namespace FileNameKind {

bool isZoneName(const QString &fileName)
{
    // "db." alone names nothing.
    return fileName.size() > 3 && fileName.startsWith(QStringLiteral("db."), Qt::CaseInsensitive);
}

bool isNamedConfName(const QString &fileName)
{
    return fileName.compare(QStringLiteral("named.conf"), Qt::CaseInsensitive) == 0
        || fileName.startsWith(QStringLiteral("named.conf."), Qt::CaseInsensitive);
}

} // namespace FileNameKind
