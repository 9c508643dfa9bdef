#pragma once

#include <QString>

// One FTP server of the server list, plus where an upload goes.
struct FtpServerEntry {
    static constexpr int kDefaultPort = 21;

    QString address;
    QString user;
    QString password;
    int port = kDefaultPort;
    int passive = 0; // 1: passive-mode transfers
    // Set by the browser's save mode: the directory and name the upload takes.
    QString remoteDirectory;
    QString remoteFileName;
};
