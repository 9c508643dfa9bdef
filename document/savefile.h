#pragma once

#include <QByteArray>
#include <QString>

// True when `path` (through its links) is an existing file that has been
// made read-only: no write permission for this user, or no write bit at all
// (root could write it, but its owner said it must not change).
bool isReadOnlyFile(const QString &path);

// Writes a document's bytes to `path` the way every save must:
// - a regular file (also one a symbolic link names; the link stays) is
//   written beside itself and renamed into place, keeping its owner, group
//   and mode; a read-only one is refused and left as it is;
// - a FIFO or a device is written directly (a FIFO only while a reader
//   waits, so the window never hangs on it);
// - a folder is refused.
// Returns an empty string on success, else a Korean message naming the path.
QString saveFileBytes(const QString &path, const QByteArray &bytes);
