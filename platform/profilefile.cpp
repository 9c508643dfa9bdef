#include "platform/profilefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include "namecodec/codec.h"
#include "platform/logging.h"

#include <optional>
#include <unistd.h>

namespace {

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// "[name]" (the closing bracket may be missing, as the platform allows).
std::optional<QString> sectionOf(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    qsizetype end = t.indexOf(QLatin1Char(']'));
    if (end < 0)
        end = t.size();
    return t.mid(1, end - 1).trimmed();
}

// The key of a "key=value" line; comments and other lines have none.
std::optional<QString> keyOf(const QString &line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return t.left(eq).trimmed();
}

QString valueOf(const QString &line)
{
    QString v = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (v.size() >= 2) {
        const QChar q = v.front();
        if ((q == QLatin1Char('"') || q == QLatin1Char('\'')) && v.back() == q)
            v = v.mid(1, v.size() - 2);
    }
    return v;
}

// A value that reading would change (white space at its ends, quotes around
// it) is written inside quotes, so a password comes back exactly as typed.
QString storedValue(const QString &value)
{
    if (value.isEmpty())
        return value;
    const bool changes = value.trimmed() != value
        || ((value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) && value.size() >= 2
            && value.back() == value.front());
    return changes ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

// Where a section starts (its header line) and ends (the next header, or the end).
struct SectionSpan {
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionSpan findSection(const QStringList &lines, const QString &section)
{
    SectionSpan span;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<QString> name = sectionOf(lines[i]);
        if (!name)
            continue;
        if (span.header >= 0) {
            span.end = i;
            return span;
        }
        if (sameName(*name, section))
            span.header = i;
    }
    if (span.header >= 0)
        span.end = lines.size();
    return span;
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
}

bool ProfileFile::exists() const
{
    return !m_path.isEmpty() && QFileInfo(m_path).isFile();
}

ProfileFile::Contents ProfileFile::load() const
{
    Contents c;
    QFile file(m_path);
    if (m_path.isEmpty())
        return c;
    if (!file.open(QIODevice::ReadOnly)) {
        c.unwritable = file.exists();
        return c;
    }
    c.exists = true;
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        const auto decoded = namecodec::decodeText(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
            namecodec::Encoding::Cp949);
        if (decoded) {
            text = QString::fromUtf16(decoded->data(), static_cast<qsizetype>(decoded->size()));
            c.cp949 = true;
        } else {
            c.unwritable = true;
        }
    }
    c.crlf = text.contains(QStringLiteral("\r\n"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    c.finalNewline = text.endsWith(QLatin1Char('\n'));
    if (c.finalNewline)
        text.chop(1);
    if (!text.isEmpty() || c.finalNewline)
        c.lines = text.split(QLatin1Char('\n'));
    return c;
}

bool ProfileFile::holdsSecret(const QStringList &lines) const
{
    if (m_secretKey.isEmpty())
        return false;
    for (const QString &line : lines) {
        const std::optional<QString> key = keyOf(line);
        if (key && sameName(*key, m_secretKey) && !valueOf(line).isEmpty())
            return true;
    }
    return false;
}

bool ProfileFile::store(const Contents &c) const
{
    m_writeNote.clear();
    if (m_path.isEmpty())
        return false;
    if (c.unwritable) {
        m_writeNote = QStringLiteral("파일을 읽을 수 없어 쓰지 않았습니다: %1").arg(m_path);
        qCWarning(lcSettings) << "not written" << m_path << "- it could not be read first";
        return false;
    }
    const QFileInfo info(m_path);
    const bool existed = info.exists();
    // Writing would hand another user's file to us, or leave our password
    // in a file its owner can read.
    if (existed && info.ownerId() != ::geteuid()) {
        m_writeNote
            = QStringLiteral("다른 사용자(%1)의 파일이라 쓰지 않았습니다: %2").arg(info.owner(), m_path);
        qCWarning(lcSettings) << "not written" << m_path << "- owned by" << info.owner();
        return false;
    }
    const QString eol = c.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text = c.lines.join(eol);
    if (c.finalNewline)
        text += eol;
    QByteArray bytes;
    if (c.cp949) {
        const auto encoded
            = namecodec::encodeText(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()),
                                        static_cast<std::size_t>(text.size())),
                namecodec::Encoding::Cp949);
        if (!encoded) {
            qCWarning(lcSettings) << "not written" << m_path << "- a character code page 949 cannot hold";
            return false;
        }
        bytes = QByteArray::fromStdString(*encoded);
    } else {
        bytes = text.toUtf8();
    }
    constexpr QFileDevice::Permissions ownerOnly
        = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
    constexpr QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QFileDevice::Permissions permissions = existed ? info.permissions() : ownerOnly;
    // Passwords live here: a new file, and any file that holds one, is for
    // its owner's eyes only.
    const bool tighten = existed && permissions.testAnyFlags(others) && holdsSecret(c.lines);
    if (tighten)
        permissions &= ~others;
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(permissions)
        || out.write(bytes) != bytes.size() || !out.commit()) {
        m_writeNote = QStringLiteral("파일을 쓸 수 없습니다: %1 (%2)").arg(m_path, out.errorString());
        qCWarning(lcSettings) << "cannot write" << m_path << "-" << out.errorString();
        return false;
    }
    if (tighten)
        m_writeNote
            = QStringLiteral("비밀번호가 들어 있어 %1 파일을 소유자만 읽고 쓸 수 있게(0600) 바꾸었습니다.")
                  .arg(info.fileName());
    return true;
}

bool ProfileFile::createIfMissing(const QString &firstLine)
{
    if (exists())
        return true;
    if (m_path.isEmpty())
        return false;
    QFile file(m_path);
    // Exclusive: a file that appears meanwhile is never overwritten.
    if (!file.open(
            QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return exists();
    const QByteArray bytes = firstLine.toUtf8();
    return file.write(bytes) == bytes.size();
}

QStringList ProfileFile::sectionNames() const
{
    QStringList names;
    for (const QString &line : load().lines) {
        const std::optional<QString> name = sectionOf(line);
        if (!name || name->isEmpty())
            continue;
        bool seen = false;
        for (const QString &n : names)
            seen = seen || sameName(n, *name);
        if (!seen)
            names << *name;
    }
    return names;
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &fallback) const
{
    const Contents c = load();
    const SectionSpan span = findSection(c.lines, section);
    if (span.header < 0)
        return fallback;
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        const std::optional<QString> k = keyOf(c.lines[i]);
        if (k && sameName(*k, key))
            return valueOf(c.lines[i]);
    }
    return fallback;
}

int ProfileFile::readInt(const QString &section, const QString &key, int fallback) const
{
    const QString missing = QStringLiteral("\x01missing");
    const QString value = readString(section, key, missing);
    if (value == missing)
        return fallback;
    qsizetype digits = 0;
    while (digits < value.size() && value[digits].isDigit() && value[digits].unicode() < 128)
        ++digits;
    bool ok = false;
    const int n = value.left(digits).toInt(&ok);
    return ok ? n : 0;
}

bool ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    if (section.isEmpty() || key.isEmpty() || value.contains(QLatin1Char('\n'))
        || value.contains(QLatin1Char('\r')))
        return false;
    Contents c = load();
    const QString line = key + QLatin1Char('=') + storedValue(value);
    const SectionSpan span = findSection(c.lines, section);
    if (span.header < 0) {
        c.lines << QLatin1Char('[') + section + QLatin1Char(']') << line;
        c.finalNewline = true;
        return store(c);
    }
    qsizetype lastKeyLine = span.header;
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        const std::optional<QString> k = keyOf(c.lines[i]);
        if (!k)
            continue;
        if (sameName(*k, key)) {
            c.lines[i] = line;
            return store(c);
        }
        lastKeyLine = i;
    }
    c.lines.insert(lastKeyLine + 1, line);
    if (lastKeyLine + 1 == c.lines.size() - 1)
        c.finalNewline = true;
    return store(c);
}

bool ProfileFile::deleteSection(const QString &section)
{
    Contents c = load();
    const SectionSpan span = findSection(c.lines, section);
    if (span.header < 0)
        return c.exists;
    c.lines.remove(span.header, span.end - span.header);
    return store(c);
}
