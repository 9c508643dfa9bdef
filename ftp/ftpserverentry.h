#pragma once

#include <QString>

// One FTP server of the server list, plus where an upload goes.
struct FtpServerEntry {
    static constexpr int kDefaultPort = 21;
    static constexpr int kSftpDefaultPort = 22;

    // How the server is reached; stored as PROTOCOL ("ftp", "ftps", "sftp").
    enum class Protocol {
        Ftp,
        Ftps, // FTP over TLS, explicit (AUTH TLS); certificates are checked
        Sftp,
    };

    QString address;
    QString user;
    QString password;
    int port = kDefaultPort;
    int passive = 0; // 1: passive-mode transfers
    Protocol protocol = Protocol::Ftp;
    // The port a 0 in the list stands for.
    int defaultPort() const { return protocol == Protocol::Sftp ? kSftpDefaultPort : kDefaultPort; }
    // Set by the browser's save mode: the directory and name the upload takes.
    QString remoteDirectory;
    QString remoteFileName;
};
