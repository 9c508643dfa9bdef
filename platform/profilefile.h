#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// An INI file read and written the way the desktop platform's private-profile
// functions do it, which the FTP server list relies on:
// - section and key names are compared without regard to case;
// - sections and keys stay in the order they were first written; a new
//   section goes to the end, a new key to the end of its section;
// - every other line (comments, blank lines, lines of other programs) is
//   kept, and a write rewrites only the line it touches;
// - a value is read trimmed of white space, and one pair of matching quotes
//   around it is taken off; a value that would not survive that is written
//   inside quotes, so what is written is what is read back.
// Each call reads the file afresh, so two programs sharing it see each
// other's writes. A write replaces the file atomically; a new file is made
// readable by its owner only, and so is any file that holds a value of the
// secret key after a write. The file keeps its encoding: UTF-8, or code
// page 949 when its bytes are not UTF-8. A file that is there but cannot be
// read, or is neither, or belongs to another user, is never written over.
class ProfileFile {
public:
    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }
    bool exists() const;

    // Makes a new file holding `firstLine` (without a line end); an existing
    // file is left alone. False when it could not be made.
    bool createIfMissing(const QString &firstLine);

    // The section names in file order, each once, however many there are.
    QStringList sectionNames() const;
    // `fallback` when the section or key is missing.
    QString readString(const QString &section, const QString &key, const QString &fallback) const;
    // The key's leading decimal number; `fallback` when the section or key is
    // missing, 0 when the value does not start with a number or is negative.
    int readInt(const QString &section, const QString &key, int fallback) const;

    bool writeString(const QString &section, const QString &key, const QString &value);
    bool deleteSection(const QString &section);

    // A key (any section, any case) whose values are secrets, such as a
    // password: a file holding a non-empty one is kept at 0600.
    void setSecretKey(const QString &key) { m_secretKey = key; }
    // What the last write has to tell the user, in Korean: that the file's
    // mode was tightened, or why it was not written. Empty when nothing.
    const QString &writeNote() const { return m_writeNote; }

private:
    struct Contents {
        QStringList lines;
        bool cp949 = false;
        bool finalNewline = false;
        bool crlf = false; // the file's lines end in CR LF, and so do new ones
        bool exists = false;
        // The file is there but could not be read or decoded: writing would
        // replace what we never saw, so every write is refused.
        bool unwritable = false;
    };
    Contents load() const;
    bool store(const Contents &contents) const;

    bool holdsSecret(const QStringList &lines) const;

    QString m_path;
    QString m_secretKey;
    mutable QString m_writeNote;
};
