#pragma once

#include <QString>
#include <QStringList>

#include "ftp/ftpserverentry.h"
#include "platform/profilefile.h"

// The FTP server list file: one section per server, named as the user
// typed it, with the keys Add, ID, Pass, PORT and PASSIVE. Reading follows
// the list's rules: a missing text key reads empty and is written back
// empty, a missing or zero number reads as its default and is written back.
class FtpServerList {
public:
    explicit FtpServerList(const QString &path);

    static QString commentLine() { return QStringLiteral(";ini config file of FtpOpenDialog"); }

    const QString &path() const { return m_file.path(); }
    bool exists() const { return m_file.exists(); }
    // Makes the file with its comment line when it is missing.
    bool create() { return m_file.createIfMissing(commentLine()); }

    QStringList names() const { return m_file.sectionNames(); }
    FtpServerEntry read(const QString &name);
    bool save(const QString &name, const FtpServerEntry &entry);
    // What the last save had to tell the user (the file's mode tightened
    // because it holds a password, or why it was not written); else empty.
    const QString &lastNote() const { return m_note; }
    bool remove(const QString &name) { return m_file.deleteSection(name); }

    // Shown when no server can be loaded.
    static FtpServerEntry defaultEntry();

    // The PROTOCOL value of a protocol, and back (anything else reads as ftp).
    static QString protocolKey(FtpServerEntry::Protocol protocol);
    static FtpServerEntry::Protocol protocolFromKey(const QString &key);

private:
    QString readText(const QString &section, const QString &key);
    int readNumber(const QString &section, const QString &key, int fallback);

    bool write(const QString &section, const QString &key, const QString &value);

    ProfileFile m_file;
    QString m_note;
};
