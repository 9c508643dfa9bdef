#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "ftp/ftpserverentry.h"

#include <csignal>
#include <pwd.h>
#include <unistd.h>

int closedLoopbackPort();

// A real OpenSSH server on 127.0.0.1 at a free port whose SFTP sessions
// start in a temporary folder, with its own host key and a user key that a
// private ssh-agent holds. While it lives, HOME points at a temporary folder
// (so ~/.ssh/known_hosts is the test's own) and SSH_AUTH_SOCK at that agent;
// both are put back and both processes stopped when the object goes.
class SftpTestServer {
public:
    SftpTestServer()
        : m_oldHome(qgetenv("HOME"))
        , m_oldAgent(qgetenv("SSH_AUTH_SOCK"))
        , m_hadAgent(qEnvironmentVariableIsSet("SSH_AUTH_SOCK"))
    {
        start();
    }
    ~SftpTestServer()
    {
        for (QProcess *p : {&m_sshd, &m_agent}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(3000)) {
                    p->kill();
                    p->waitForFinished(3000);
                }
            }
        }
        qputenv("HOME", m_oldHome);
        if (m_hadAgent)
            qputenv("SSH_AUTH_SOCK", m_oldAgent);
        else
            qunsetenv("SSH_AUTH_SOCK");
    }

    // Empty when the server runs; otherwise why it could not.
    QString failure() const { return m_failure; }
    // True when a failure means "cannot run here" rather than a fault.
    bool skippable() const { return m_skippable; }

    int port() const { return m_port; }
    QString root() const { return m_dir.filePath(QStringLiteral("root")); }
    QString path(const QString &relative) const { return root() + QLatin1Char('/') + relative; }
    QString home() const { return m_home.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString knownHosts() const { return home() + QStringLiteral("/.ssh/known_hosts"); }
    QString log() const { return QString::fromUtf8(readFile(file(QStringLiteral("sshd.log")))); }

    FtpServerEntry entry() const
    {
        FtpServerEntry e;
        e.address = QStringLiteral("127.0.0.1");
        const passwd *pw = ::getpwuid(::geteuid());
        e.user = pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("root");
        e.port = m_port;
        e.protocol = FtpServerEntry::Protocol::Sftp;
        return e;
    }

    // Ends every open connection from the server's side, as a server that
    // drops its clients does: each connection is a child of the listener.
    int dropConnections() const
    {
        const qint64 pid = m_sshd.processId();
        const QByteArray children = readFile(QStringLiteral("/proc/%1/task/%1/children").arg(pid)).trimmed();
        int ended = 0;
        for (const QByteArray &child : children.split(' ')) {
            if (child.toInt() > 0 && ::kill(child.toInt(), SIGTERM) == 0)
                ++ended;
        }
        return ended;
    }

    // Bytes the server sent that sit unread in the clients' sockets, as the
    // kernel counts them: between commands that is a keep-alive.
    int unreadAtClients() const
    {
        const QByteArray server
            = QStringLiteral("0100007F:%1").arg(m_port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
        int unread = 0;
        for (const QByteArray &line : readFile(QStringLiteral("/proc/net/tcp")).split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            // sl, local, remote, state, tx_queue:rx_queue; 01 is established.
            if (f.size() > 4 && f[2] == server && f[3] == "01")
                unread += f[4].mid(f[4].indexOf(':') + 1).toInt(nullptr, 16);
        }
        return unread;
    }
    // Waits, handling events, until a keep-alive has reached a client.
    bool waitForKeepAlive(int timeoutMs = 15000) const
    {
        return QTest::qWaitFor([this] { return unreadAtClients() > 0; }, timeoutMs);
    }

    // The host key's fingerprint as OpenSSH's own tool prints it.
    QString hostKeyFingerprint() const
    {
        const QString out
            = run(QStringLiteral("ssh-keygen"), {QStringLiteral("-lf"), file(QStringLiteral("hostkey.pub"))});
        return out.section(QLatin1Char(' '), 1, 1);
    }

    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile out(path(relative));
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(bytes);
    }
    void mkdir(const QString &relative) const { QDir().mkpath(path(relative)); }
    bool exists(const QString &relative) const { return QFileInfo::exists(path(relative)); }
    QByteArray read(const QString &relative) const { return readFile(path(relative)); }

    static QByteArray readFile(const QString &name)
    {
        QFile in(name);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    // Runs a tool to its end; its standard output.
    static QString run(const QString &program, const QStringList &args, const QString &agent = {})
    {
        QProcess p;
        if (!agent.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("SSH_AUTH_SOCK"), agent);
            p.setProcessEnvironment(env);
        }
        p.start(program, args);
        if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return {};
        return QString::fromUtf8(p.readAllStandardOutput());
    }

private:
    bool fail(const QString &why, bool skippable = false)
    {
        m_failure = why;
        m_skippable = skippable;
        return false;
    }

    bool keygen(const QString &name)
    {
        const QString out = run(QStringLiteral("ssh-keygen"),
            {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                QString(), QStringLiteral("-C"), QStringLiteral("quorel-test"), QStringLiteral("-f"),
                file(name)});
        return QFileInfo::exists(file(name + QStringLiteral(".pub")));
    }

    bool start()
    {
        const bool asRoot = ::geteuid() == 0;
        if (!QFileInfo::exists(QStringLiteral("/usr/sbin/sshd")))
            return fail(QStringLiteral("/usr/sbin/sshd is not installed (openssh-server)"), true);
        if (!m_dir.isValid() || !m_home.isValid())
            return fail(QStringLiteral("no temporary folder"));
        if (!keygen(QStringLiteral("hostkey")) || !keygen(QStringLiteral("userkey")))
            return fail(QStringLiteral("ssh-keygen made no keys"));
        QFile::copy(file(QStringLiteral("userkey.pub")), file(QStringLiteral("authorized_keys")));
        QDir().mkpath(root());
        // Another user may log in too (sshd reads the keys as that user) and
        // look around, but write nothing of ours.
        const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
        QFile::setPermissions(m_dir.path(), open);
        QFile::setPermissions(root(), open);
        QFile::setPermissions(file(QStringLiteral("authorized_keys")),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                | QFileDevice::ReadOther);
        // sshd wants its privilege separation folder even when it runs alone.
        if (asRoot)
            QDir().mkpath(QStringLiteral("/run/sshd"));
        m_port = closedLoopbackPort();
        const QString config = QStringLiteral(
            "Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile %3\nAuthorizedKeysFile %4\n"
            "PasswordAuthentication no\nKbdInteractiveAuthentication no\nPubkeyAuthentication yes\n"
            "StrictModes no\nUsePAM no\nPermitRootLogin yes\nSubsystem sftp internal-sftp\n"
            "ClientAliveInterval 1\nForceCommand internal-sftp -d %5\n")
                                   .arg(m_port)
                                   .arg(file(QStringLiteral("hostkey")), file(QStringLiteral("sshd.pid")),
                                       file(QStringLiteral("authorized_keys")), root());
        {
            QFile out(file(QStringLiteral("sshd_config")));
            if (!out.open(QIODevice::WriteOnly) || out.write(config.toUtf8()) != config.toUtf8().size())
                return fail(QStringLiteral("cannot write sshd_config"));
        }
        m_sshd.setStandardErrorFile(file(QStringLiteral("sshd.log")));
        m_sshd.start(QStringLiteral("/usr/sbin/sshd"),
            {QStringLiteral("-f"), file(QStringLiteral("sshd_config")), QStringLiteral("-D"),
                QStringLiteral("-e")});
        if (!m_sshd.waitForStarted(5000))
            return fail(QStringLiteral("sshd did not start"), !asRoot);
        if (!waitForPort())
            return fail(QStringLiteral("sshd does not listen: ") + log(), !asRoot);

        // The user key lives in an agent of the test's own, as a desktop's would.
        const QString socket = file(QStringLiteral("agent.sock"));
        m_agent.start(QStringLiteral("ssh-agent"), {QStringLiteral("-D"), QStringLiteral("-a"), socket});
        if (!m_agent.waitForStarted(5000))
            return fail(QStringLiteral("ssh-agent did not start"));
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(socket) && waited.elapsed() < 5000 && m_agent.state() == QProcess::Running)
            QThread::msleep(10);
        if (!QFileInfo::exists(socket))
            return fail(QStringLiteral("ssh-agent did not start"));
        QProcess add;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SSH_AUTH_SOCK"), socket);
        add.setProcessEnvironment(env);
        add.start(QStringLiteral("ssh-add"), {QStringLiteral("-q"), file(QStringLiteral("userkey"))});
        if (!add.waitForFinished(5000) || add.exitCode() != 0)
            return fail(QStringLiteral("ssh-add failed: ") + QString::fromUtf8(add.readAllStandardError()));
        qputenv("SSH_AUTH_SOCK", QFile::encodeName(socket));
        qputenv("HOME", QFile::encodeName(m_home.path()));
        return true;
    }

    bool waitForPort()
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000 && m_sshd.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_port));
            if (probe.waitForConnected(200))
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    QByteArray m_oldHome;
    QByteArray m_oldAgent;
    bool m_hadAgent;
    QTemporaryDir m_dir;
    QTemporaryDir m_home;
    QProcess m_sshd;
    QProcess m_agent;
    int m_port = 0;
    QString m_failure;
    bool m_skippable = false;
};
