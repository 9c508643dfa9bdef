#pragma once

// The server a browser scenario runs against, whichever protocol it speaks:
// the scenarios that hold for FTP and SFTP alike are written once and run
// over both.
#include "ftptestserver.h"
#include "sftptestserver.h"

#include <QDir>

#include <memory>
#include <ostream>

enum class BrowserProtocol { Ftp, Sftp };

inline std::ostream &operator<<(std::ostream &out, BrowserProtocol protocol)
{
    return out << (protocol == BrowserProtocol::Ftp ? "FTP" : "SFTP");
}

class BrowserServer {
public:
    virtual ~BrowserServer() = default;

    // Empty when the server runs; otherwise why it could not, and whether
    // that means "cannot run here" rather than a fault.
    virtual QString failure() const { return {}; }
    virtual bool skippable() const { return false; }

    virtual FtpServerEntry entry() const = 0;
    // The folder the browser shows after the log-in: "/" on the FTP server
    // (the log-in folder is its root), a real path on the SSH server.
    virtual QString home() const = 0;
    virtual void write(const QString &relative, const QByteArray &bytes) const = 0;
    virtual void mkdir(const QString &relative) const = 0;
    virtual bool exists(const QString &relative) const = 0;
    virtual QByteArray read(const QString &relative) const = 0;

    // `home()` joined with a relative folder, as the browser spells it.
    QString remotePath(const QString &relative) const
    {
        return home() == QLatin1String("/") ? home() + relative : home() + QLatin1Char('/') + relative;
    }

    static std::unique_ptr<BrowserServer> start(BrowserProtocol protocol);
};

namespace browserserver_detail {

template <typename Server> class Forwarding : public BrowserServer {
public:
    FtpServerEntry entry() const override { return server().entry(); }
    void write(const QString &relative, const QByteArray &bytes) const override
    {
        server().write(relative, bytes);
    }
    void mkdir(const QString &relative) const override { server().mkdir(relative); }
    bool exists(const QString &relative) const override { return server().exists(relative); }
    QByteArray read(const QString &relative) const override { return server().read(relative); }

protected:
    virtual const Server &server() const = 0;
};

class Ftp : public Forwarding<FtpTestServer> {
public:
    QString home() const override { return QStringLiteral("/"); }

protected:
    const FtpTestServer &server() const override { return m_server; }

private:
    FtpTestServer m_server;
};

class Sftp : public Forwarding<SftpTestServer> {
public:
    QString failure() const override { return m_server.failure(); }
    bool skippable() const override { return m_server.skippable(); }
    QString home() const override { return QDir(m_server.root()).canonicalPath(); }
    const SftpTestServer &sshServer() const { return m_server; }

protected:
    const SftpTestServer &server() const override { return m_server; }

private:
    SftpTestServer m_server;
};

} // namespace browserserver_detail

inline std::unique_ptr<BrowserServer> BrowserServer::start(BrowserProtocol protocol)
{
    if (protocol == BrowserProtocol::Ftp)
        return std::make_unique<browserserver_detail::Ftp>();
    return std::make_unique<browserserver_detail::Sftp>();
}
