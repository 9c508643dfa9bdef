#include "app/zoneorigin.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

QString withoutFinalDot(QString name)
{
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}

// Zone data up to a comment; quoted semicolons are rare in the owner and
// type fields this looks at, so a plain cut is enough.
QString uncommented(const QString &line)
{
    const qsizetype semicolon = line.indexOf(QLatin1Char(';'));
    return semicolon < 0 ? line : line.left(semicolon);
}

QString originFromDirectives(const QStringList &lines)
{
    static const QRegularExpression origin(
        QStringLiteral("^\\$ORIGIN\\s+(\\S+)"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = origin.match(uncommented(line));
        if (m.hasMatch())
            return withoutFinalDot(m.captured(1));
    }
    return {};
}

QString originFromSoaOwner(const QStringList &lines)
{
    // Only an owner at the start of the line is one; an indented record
    // belongs to the owner before it, and a relative or "@" owner says
    // nothing without an origin.
    for (const QString &line : lines) {
        const QStringList fields = uncommented(line).split(QRegularExpression(QStringLiteral("\\s+")));
        if (!fields.contains(QStringLiteral("SOA"), Qt::CaseInsensitive))
            continue;
        const QString owner = fields.first();
        if (owner.size() > 1 && owner.endsWith(QLatin1Char('.')))
            return withoutFinalDot(owner);
        return {};
    }
    return {};
}

QString originFromFileName(const QString &fileName)
{
    QString name = fileName;
    if (name.startsWith(QStringLiteral("db."), Qt::CaseInsensitive))
        name = name.mid(3);
    for (const char *suffix : {".zone", ".db", ".hosts"}) {
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            name.chop(qsizetype(qstrlen(suffix)));
            break;
        }
    }
    // A name without a dot ("localhost", "Untitled") is no zone's.
    return name.contains(QLatin1Char('.')) ? withoutFinalDot(name) : QString();
}

} // namespace

QString guessZoneOrigin(const QString &text, const QString &fileName)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    QString origin = originFromDirectives(lines);
    if (origin.isEmpty())
        origin = originFromSoaOwner(lines);
    if (origin.isEmpty())
        origin = originFromFileName(fileName);
    return origin;
}
