#include "ftp/ftpfoldertree.h"

#include "ftp/ftpsession.h"

namespace ftpstatus {
QString fileDeleted(const QString &name)
{
    return QStringLiteral("\"%1\"개의 파일이 잘 지워졌습니다.").arg(name);
}
QString fileDeleteFailed(const QString &name)
{
    return QStringLiteral("이 \"%1\" : 파일을 지우려다가 에러났습니다.").arg(name);
}
QString treeFileDeleted(const QString &name)
{
    return QStringLiteral("이 \"%1\" 파일을 잘 지웠습니다.").arg(name);
}
QString treeFileDeleteFailed(const QString &name)
{
    return QStringLiteral("이 \"%1\" : 파일 지우다가 에러났습니다.").arg(name);
}
QString deletingFolder(const QString &name)
{
    return QStringLiteral("Deleting Folder \"%1\"").arg(name);
}
QString folderDeleted(const QString &name)
{
    return QStringLiteral("이 \"%1\" 폴더 잘 지웠습니다.").arg(name);
}
QString folderDeleteFailed(const QString &name)
{
    return QStringLiteral("이 \"%1\" 폴더 지우려다가 에러났습니다.").arg(name);
}
} // namespace ftpstatus

namespace {

FtpStatus deleteTree(
    CFtpSession &session, const QString &name, const std::function<void(const QString &)> &status)
{
    const QString start = session.currentDirectory();
    if (FtpStatus entered = session.setCurrentDirectory(name); !entered)
        return entered;
    auto entries = session.list();
    if (!entries)
        return FtpFailure(entries.error());
    QStringList folders;
    for (const FtpFileInfo &e : *entries) {
        // A link is removed itself, never followed into what it names.
        if (e.isFolder && !e.isLink) {
            folders << e.name;
            continue;
        }
        if (FtpStatus deleted = session.deleteFile(e.name); !deleted) {
            status(ftpstatus::treeFileDeleteFailed(e.name));
            return deleted;
        }
        status(ftpstatus::treeFileDeleted(e.name));
    }
    for (const QString &folder : folders) {
        if (FtpStatus deleted = deleteTree(session, folder, status); !deleted)
            return deleted;
    }
    if (FtpStatus back = session.setCurrentDirectory(start); !back)
        return back;
    status(ftpstatus::deletingFolder(name));
    if (FtpStatus removed = session.removeDirectory(name); !removed) {
        status(ftpstatus::folderDeleteFailed(name));
        return removed;
    }
    status(ftpstatus::folderDeleted(name));
    return {};
}

} // namespace

FtpStatus deleteFolderTree(
    CFtpSession &session, const QString &name, const std::function<void(const QString &)> &status)
{
    const QString start = session.currentDirectory();
    FtpStatus result = deleteTree(session, name, status);
    if (!result && session.currentDirectory() != start)
        session.setCurrentDirectory(start);
    return result;
}
