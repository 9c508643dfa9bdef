#pragma once

#include <QString>

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
    // Opens a downloaded file in a new editor window.
    std::function<bool(const QString &)> openDocument;
    // Runs a dialog modally; tests drive it instead.
    std::function<int(QDialog &)> execDialog;
};
