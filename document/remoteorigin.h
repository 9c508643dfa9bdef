#pragma once

#include <QString>

// Where a document downloaded from a server came from: the server list's
// entry, the remote folder and file name, and the address shown to the user
// ("sftp://관리자@host:22/zones/a.zone").
struct RemoteOrigin {
    QString server;
    QString directory;
    QString fileName;
    QString url;

    bool isValid() const { return !server.isEmpty() && !fileName.isEmpty(); }
    // The remote path, "/zones/a.zone".
    QString remotePath() const
    {
        return directory.endsWith(QLatin1Char('/')) ? directory + fileName : directory + u'/' + fileName;
    }
    bool operator==(const RemoteOrigin &) const = default;
};
