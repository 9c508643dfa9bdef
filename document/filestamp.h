#pragma once

#include <QString>

// What a file on disk looked like when the editor last read or wrote it:
// enough to tell that something else has written it since (a script bumping
// a serial, another editor replacing it by rename) without reading it again.
struct FileStamp {
    bool exists = false;
    qint64 modifiedNs = 0;
    qint64 size = 0;
    quint64 device = 0;
    quint64 inode = 0;

    // The file as it is now (through links, as a save writes through them).
    static FileStamp of(const QString &path);

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};
