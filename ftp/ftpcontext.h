#pragma once

#include <QString>

#include "document/remoteorigin.h"

#include <functional>

class FtpPrompter;
class QDialog;

// What the FTP windows reach outside themselves, handed in by the
// application (or by a test).
struct FtpContext {
    FtpPrompter *prompter = nullptr;
    QString iniPath; // the server list file
    QString localFolder; // where downloads are kept
    QString tempDirectory; // where an untitled document's upload copy is written
    QString appName = QStringLiteral("Quorel");
    // Authorities that FTP over TLS certificates are checked against; empty
    // for the system's own.
    QString caFile;
    // Opens a downloaded file in a new editor window, remembering where on
    // which server it came from.
    std::function<bool(const QString &path, const RemoteOrigin &origin)> openDocument;
    // Whether a local file is open in an editor window now, and where that
    // copy came from; a download never replaces it under the user's edits.
    struct OpenCopy {
        bool open = false;
        RemoteOrigin origin;
    };
    std::function<OpenCopy(const QString &path)> openCopy;
    // True the first time it is asked about a server (and never again):
    // plain FTP is then explained once, with TLS and SFTP offered.
    std::function<bool(const QString &server)> warnPlainFtpOnce;
    // Brings the editor window of an open local file to the front.
    std::function<void(const QString &path)> showDocument;
    // Runs a dialog modally; tests drive it instead.
    std::function<int(QDialog &)> execDialog;
};
