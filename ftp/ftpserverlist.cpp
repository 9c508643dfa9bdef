#include "ftp/ftpserverlist.h"

FtpServerList::FtpServerList(const QString &path)
    : m_file(path)
{
    m_file.setSecretKey(QStringLiteral("Pass"));
}

bool FtpServerList::write(const QString &section, const QString &key, const QString &value)
{
    const bool ok = m_file.writeString(section, key, value);
    // The first thing a run of writes had to say is the one that matters:
    // the mode is tightened once, and a refusal repeats itself.
    if (m_note.isEmpty())
        m_note = m_file.writeNote();
    return ok;
}

QString FtpServerList::readText(const QString &section, const QString &key)
{
    const QString value = m_file.readString(section, key, QStringLiteral("Error"));
    if (value != QLatin1String("Error"))
        return value;
    write(section, key, QString());
    return QString();
}

int FtpServerList::readNumber(const QString &section, const QString &key, int fallback)
{
    const int value = m_file.readInt(section, key, 0);
    if (value != 0)
        return value;
    write(section, key, QString::number(fallback));
    return fallback;
}

FtpServerEntry FtpServerList::read(const QString &name)
{
    FtpServerEntry entry;
    entry.address = readText(name, QStringLiteral("Add"));
    entry.user = readText(name, QStringLiteral("ID"));
    entry.password = readText(name, QStringLiteral("PASS"));
    // Lists written before servers had a protocol read as plain FTP; the key
    // is not added to them. Read first: a missing port is the protocol's own.
    entry.protocol = protocolFromKey(m_file.readString(name, QStringLiteral("PROTOCOL"), QString()));
    entry.port = readNumber(name, QStringLiteral("PORT"), entry.defaultPort());
    if (entry.port > 65535)
        entry.port = entry.defaultPort();
    entry.passive = readNumber(name, QStringLiteral("PASSIVE"), 0) != 0 ? 1 : 0;
    return entry;
}

bool FtpServerList::save(const QString &name, const FtpServerEntry &entry)
{
    m_note.clear();
    bool ok = write(name, QStringLiteral("Add"), entry.address);
    ok = write(name, QStringLiteral("ID"), entry.user) && ok;
    ok = write(name, QStringLiteral("Pass"), entry.password) && ok;
    ok = write(name, QStringLiteral("PORT"), QString::number(entry.port)) && ok;
    ok = write(name, QStringLiteral("PASSIVE"), QString::number(entry.passive ? 1 : 0)) && ok;
    ok = write(name, QStringLiteral("PROTOCOL"), protocolKey(entry.protocol)) && ok;
    return ok;
}

FtpServerEntry FtpServerList::defaultEntry()
{
    FtpServerEntry entry;
    entry.address = QStringLiteral("ftp.example.com");
    entry.user = QStringLiteral("anonymous");
    entry.password = QStringLiteral("guest@example.com");
    return entry;
}

QString FtpServerList::protocolKey(FtpServerEntry::Protocol protocol)
{
    switch (protocol) {
    case FtpServerEntry::Protocol::Ftps:
        return QStringLiteral("ftps");
    case FtpServerEntry::Protocol::Sftp:
        return QStringLiteral("sftp");
    case FtpServerEntry::Protocol::Ftp:
        break;
    }
    return QStringLiteral("ftp");
}

FtpServerEntry::Protocol FtpServerList::protocolFromKey(const QString &key)
{
    const QString k = key.trimmed().toLower();
    if (k == QLatin1String("ftps"))
        return FtpServerEntry::Protocol::Ftps;
    if (k == QLatin1String("sftp"))
        return FtpServerEntry::Protocol::Sftp;
    return FtpServerEntry::Protocol::Ftp;
}
