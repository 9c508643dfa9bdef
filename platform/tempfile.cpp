#include "platform/tempfile.h"

#include <QFile>

#include <cstdlib>
#include <ctime>

QString makeTempFileName(const QString &dir)
{
    const long long seconds = static_cast<long long>(std::time(nullptr));
    const int next = std::rand();
    return QStringLiteral("%1/conv_%2%3.tmp").arg(dir).arg(seconds).arg(next);
}

QString createTempFile(const QString &dir)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = makeTempFileName(dir);
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        if (file.exists())
            continue;
        return {};
    }
    return {};
}
