#pragma once

#include <QString>

#include <tl/expected.hpp>

// Why an FTP step failed, already in words a user reads.
struct FtpError {
    enum class Kind {
        HostNotFound,
        ConnectionRefused, // nothing answered at the address and port
        TimedOut,
        LoginDenied,
        NotFound, // no such file or directory
        PermissionDenied,
        ServerReply, // any other error reply of the server
        Cancelled, // the user stopped the transfer
        LocalFolder, // the local FTP folder could not be made
        LocalFile, // the file on this computer could not be read or written
        Refused, // refused before anything was sent (an unsafe name)
        HostKey, // the SSH host key was changed, or the user did not accept it: no retry
        Oversized, // the server sent more than the size it announced: stopped, nothing kept
        Other,
    };

    Kind kind = Kind::Other;
    int replyCode = 0; // the server's reply (4xx or 5xx) when it answered with an error
    QString text; // Korean, one line or a few, ready to show

    // The server answered with an error reply: the class of failure the
    // browser treats apart (a taken folder name, a refused directory).
    bool isServerReply() const { return replyCode >= 400 && replyCode < 600; }
};

template <typename T> using FtpResult = tl::expected<T, FtpError>;
using FtpStatus = tl::expected<void, FtpError>;
using FtpFailure = tl::unexpected<FtpError>;

// The Korean text for a failed libcurl call: `code` is its CURLcode,
// `reply` the last reply code and `replyText` the server's last reply line.
// libcurl's own (English) message never reaches the text; where no class
// of ours applies, the text names the CURLcode.
FtpError ftpErrorFor(int code, long reply, const QString &replyText);

// A download the session stopped because the server sent more bytes than
// it said the file had.
FtpError oversizedDownloadError();

// Why an SFTP host key was not taken.
enum class SshHostKeyProblem { None, Changed, Declined };

// The Korean text for a failed libcurl call over SFTP: `curlMessage` is
// libcurl's error text (it carries the SFTP status of a refused command, and
// is shown only as that status), `fingerprint` the server's key as
// "SHA256:..." when a host key failed.
FtpError sftpErrorFor(
    int code, const QString &curlMessage, SshHostKeyProblem hostKey, const QString &fingerprint);
