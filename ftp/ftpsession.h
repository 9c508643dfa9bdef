#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "ftp/ftperror.h"
#include "ftp/ftpserverentry.h"

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

typedef void CURL;

// One entry of a remote directory, as libcurl's list parser reads it (FTP)
// or as the SFTP server's long listing gives it.
struct FtpFileInfo {
    QString name;
    bool isFolder = false;
    bool isLink = false; // listed as a file: deleting it never follows it
    qint64 size = 0;
    QDateTime modified; // local time; invalid when the server gave none we read
};

// The connection to one FTP server and its current directory. Every call
// blocks until the server answered (at most 10 s of silence), so the
// windows run them off the GUI thread; calls never overlap. The control
// connection is kept and reused by libcurl; commands and transfers name
// absolute paths built from the current directory, so they mean the same
// thing even when libcurl had to log in again.
class CFtpSession {
public:
    static constexpr long kTimeoutMs = 10000;

    CFtpSession();
    ~CFtpSession();
    CFtpSession(const CFtpSession &) = delete;
    CFtpSession &operator=(const CFtpSession &) = delete;

    // One log-in try; on success the current directory is the server's
    // starting directory. A failure keeps its text as the last error text.
    FtpStatus connect(const FtpServerEntry &entry);
    void close();
    bool isConnected() const { return m_connected; }
    // False when libcurl could not make a handle at all.
    bool isUsable() const { return m_curl != nullptr; }
    // The state check: false when there is no connection or the server has
    // dropped it (then the session is closed).
    bool checkConnection();

    const FtpServerEntry &entry() const { return m_entry; }
    QString lastErrorText() const { return m_lastErrorText; }
    // Local path of the last download that completed.
    QString localPath() const { return m_localPath; }

    QString currentDirectory() const { return m_currentDir; }
    // CWD to `path` (absolute, or relative to the current directory), then
    // PWD: the current directory becomes what the server says it is.
    FtpStatus setCurrentDirectory(const QString &path);
    // Every entry of the current directory but "." and "..", in server order.
    // A line of the server's listing that names no entry we can show (a
    // name with a line break in it, a form we cannot read) is left out and
    // counted, and the rest is listed all the same.
    FtpResult<std::vector<FtpFileInfo>> list();
    // How many entries the last list() left out; 0 after a failed one.
    int skippedEntries() const { return m_skipped; }

    // Names are relative to the current directory.
    FtpStatus createDirectory(const QString &name);
    FtpStatus removeDirectory(const QString &name);
    FtpStatus deleteFile(const QString &name);
    // Names relative to the current directory, or absolute paths; either
    // goes to the server as a clean absolute path ("//a" as "/a").
    FtpStatus rename(const QString &from, const QString &to);

    // Fetches `name` of the current directory into `localFolder`, through a
    // temporary file renamed into place once complete. A name that would
    // leave the folder is refused. `expectedSize` (from the listing) feeds
    // the progress; -1 when unknown. Over FTP the server is asked for the
    // file's size first, and a server that sends more than that is stopped
    // (FtpError::Kind::Oversized) and nothing is kept.
    FtpStatus download(const QString &name, const QString &localFolder, qint64 expectedSize = -1);
    // Stores the local file as remoteDirectory/remoteFileName of `entry`,
    // logging in again first when the connection is gone.
    FtpStatus upload(const FtpServerEntry &entry, const QString &localFile);

    // Certificates of FTP over TLS are checked against the system's
    // authorities, or against the authorities of this file (PEM) when set.
    void setCaFile(const QString &path) { m_caFile = path; }

    // SFTP host keys are checked against ~/.ssh/known_hosts. A key seen for
    // the first time is put to the user through this question (called on
    // the thread that runs the session); on yes it is added to the file.
    // Without one, an unknown key is refused.
    using HostKeyQuestion = std::function<bool(const QString &text)>;
    void setHostKeyQuestion(HostKeyQuestion question) { m_hostKeyQuestion = std::move(question); }
    static QString knownHostsPath();
    // "SHA256:" and the unpadded base64 of the key's SHA-256, as OpenSSH
    // prints it; `blob` is the key in the SSH wire format.
    static QString sshFingerprint(const QByteArray &blob);

    // Progress of the running transfer and its cancel, safe from any thread.
    void requestCancel() { m_cancel = true; }
    qint64 transferredBytes() const { return m_done; }
    qint64 totalBytes() const { return m_total; }

    // The absolute path of `name` in the current directory.
    QString absolutePath(const QString &name) const;
    // True when `name` is a plain file name that stays inside a folder.
    static bool isSafeLocalName(const QString &name);

private:
    struct Reply;
    void setCommonOptions(Reply &reply);
    // The parts of setCommonOptions, one concern each.
    void setTimeoutOptions();
    void setLoginOptions();
    void setSshOptions(); // host key check and authentication
    void setTlsOptions();
    void setTransferModeOptions();
    void setReplyCallback(Reply &reply);
    void setProgressCallback(Reply &reply);
    bool isSftp() const { return m_entry.protocol == FtpServerEntry::Protocol::Sftp; }
    QByteArray urlFor(const QString &absolutePath) const;
    // A path as one argument of an SFTP quote command.
    static QString sftpArgument(const QString &path);
    struct Listing {
        std::vector<FtpFileInfo> entries;
        int skipped = 0;
    };
    FtpResult<Listing> listSftp(const QString &dir);
    Listing readFtpListing(const QByteArray &body);
    enum class LineKind { Entry, NotAnEntry, Unreadable };
    // One line in the long form ("ls -l"); `strict` also wants a number for
    // the size, as a line of an FTP listing in that form always has.
    LineKind readLongLine(const QByteArray &line, bool strict, FtpFileInfo &entry);
    // One line in the form of DOS-style servers ("12-08-25  02:00PM <DIR> name").
    LineKind readDosLine(const QByteArray &line, FtpFileInfo &entry);
    // libcurl's host key callback: answers by the known_hosts match.
    int checkHostKey(const QByteArray &blob, int match);
    bool addKnownHost(const QByteArray &blob) const;
    QByteArray encodeName(const QString &text) const;
    QString decodeName(const QByteArray &bytes);
    // Runs the configured handle; on failure returns the error and keeps its text.
    FtpStatus perform(Reply &reply, bool keepAsLastError = false);
    FtpStatus quote(const QStringList &commands, Reply &reply, const QByteArray &url = {});
    FtpStatus quote(const QStringList &commands);

    CURL *m_curl = nullptr;
    bool m_connected = false;
    bool m_cp949Names = false; // the server lists names in code page 949
    FtpServerEntry m_entry;
    QString m_currentDir;
    QString m_lastErrorText;
    QString m_localPath;
    QString m_caFile;
    HostKeyQuestion m_hostKeyQuestion;
    SshHostKeyProblem m_hostKeyProblem = SshHostKeyProblem::None;
    QString m_hostKeyFingerprint;
    // The listing an SFTP change of directory read to check the directory,
    // handed to the list() that follows it; any other call drops it.
    std::optional<Listing> m_pendingListing;
    int m_skipped = 0;
    std::atomic<bool> m_cancel {false};
    std::atomic<qint64> m_done {0};
    std::atomic<qint64> m_total {0};
};
