#pragma once

#include <QString>

#include <functional>

#include "ftp/ftperror.h"

class CFtpSession;

// Deletes the folder `name` of the session's current directory with
// everything in it: files before their folder, the deepest folders first.
// `status` is told each step in the browser's status-line wording. The
// first refusal ends the delete; whatever is left stays, and the session is
// back in the directory it started from either way, so a later upload never
// lands inside the half-deleted folder.
FtpStatus deleteFolderTree(
    CFtpSession &session, const QString &name, const std::function<void(const QString &)> &status);

// The status-line texts of the remote file operations.
namespace ftpstatus {
QString fileDeleted(const QString &name); // a file deleted from the list
QString fileDeleteFailed(const QString &name);
QString treeFileDeleted(const QString &name); // a file inside a folder being deleted
QString treeFileDeleteFailed(const QString &name);
QString deletingFolder(const QString &name);
QString folderDeleted(const QString &name);
QString folderDeleteFailed(const QString &name);
} // namespace ftpstatus
