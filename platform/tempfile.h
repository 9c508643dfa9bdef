#pragma once

#include <QString>

// The name "conv_<seconds><random>.tmp" in `dir`. The random part comes from
// the system's generator, so neither another user nor a second run of the
// program can guess the next name.
QString makeTempFileName(const QString &dir);

// Makes `path` as a new empty file readable and writable by its owner only
// (0600). It never opens an existing file and never follows a link planted
// under that name. False when the name is taken or cannot be made.
bool createPrivateFile(const QString &path);

// The same for a named pipe (0600) at `path`: a reader on one thread takes
// what a writer that only knows paths writes on another, with nothing kept
// on disk.
bool createPrivateFifo(const QString &path);

// Makes an empty file with such a name and returns its path; empty when the
// folder is not writable.
QString createTempFile(const QString &dir);

// The folder temporary copies go to. `preferred` (the installation's temp
// folder) when it is a folder of this user's that nobody else can write
// into, or when it is missing (the caller then says so). Otherwise, as with
// an installation for every user whose temp folder is a link to /tmp, a
// private folder (0700) of this user's: $XDG_RUNTIME_DIR/quorel, else
// "quorel" in the user's cache folder. A link or a folder of someone else's
// planted under either name is never used.
QString privateTempDirectory(const QString &preferred);
