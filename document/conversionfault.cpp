#include "document/conversionfault.h"

QString ConversionFault::text() const
{
    if (column > 0)
        return QStringLiteral("%1번째 줄 %2열: %3").arg(line).arg(column).arg(reason);
    return QStringLiteral("%1번째 줄: %2").arg(line).arg(reason);
}
