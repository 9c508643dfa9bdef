#pragma once

#include <QDir>
#include <QFile>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "ftp/ftpserverentry.h"

#include <csignal>
#include <sys/prctl.h>

// A real FTP server (pyftpdlib under Debian's Python) on 127.0.0.1 at a free
// port, serving a temporary folder; stopped when the object goes.
class FtpTestServer {
public:
    struct Options {
        double idleTimeout = 300; // seconds until the server drops a quiet connection
        int throttle = 0; // bytes per second of each transfer; 0: no limit
        QStringList refuseDelete; // file names whose DELE the server refuses
        QStringList refuseChange; // name prefixes whose MKD, RMD and RNFR the server refuses
        QString certificate; // PEM with its key: the server speaks FTP over TLS only
        // Files that grow by the given bytes when their download starts,
        // after the client asked their size.
        QList<QPair<QString, int>> growOnDownload;
    };

    explicit FtpTestServer(const Options &options) { start(options); }
    FtpTestServer()
        : FtpTestServer(Options {})
    {
    }
    ~FtpTestServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    int port() const { return m_port; }
    QString root() const { return m_root.path(); }
    QString path(const QString &relative) const { return m_root.filePath(relative); }

    FtpServerEntry entry(bool passive = true) const
    {
        FtpServerEntry e;
        e.address = QStringLiteral("127.0.0.1");
        e.user = QStringLiteral("quorel");
        e.password = QStringLiteral("secret");
        e.port = m_port;
        e.passive = passive ? 1 : 0;
        return e;
    }

    void write(const QString &relative, const QByteArray &bytes) const
    {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }
    void mkdir(const QString &relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))); }
    QByteArray read(const QString &relative) const
    {
        QFile in(path(relative));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    bool exists(const QString &relative) const { return QFileInfo::exists(path(relative)); }
    // What the server wrote to its log so far (one line a command).
    QString log() const
    {
        QFile in(m_logDir.filePath(QStringLiteral("server.log")));
        return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    }

    // How many connections the server has closed for their idle time-out.
    int idleDrops() const { return int(log().count(QLatin1String("IDLE-DROP "))); }
    // Waits, handling events, until the server has dropped `count` idle
    // connections; false if that did not happen within `timeoutMs`.
    bool waitForIdleDrops(int count = 1, int timeoutMs = 15000) const
    {
        return QTest::qWaitFor([&] { return idleDrops() >= count; }, timeoutMs);
    }

private:
    void start(const Options &options)
    {
        ASSERT_TRUE(m_root.isValid());
        QStringList args {QStringLiteral(QUOREL_SOURCE_DIR "/tests/ftp/ftpserver.py"),
            QStringLiteral("--root"), m_root.path(), QStringLiteral("--idle-timeout"),
            QString::number(options.idleTimeout)};
        if (options.throttle > 0)
            args << QStringLiteral("--throttle") << QString::number(options.throttle);
        if (!options.certificate.isEmpty())
            args << QStringLiteral("--cert") << options.certificate;
        for (const QString &name : options.refuseDelete)
            args << QStringLiteral("--refuse-delete") << name;
        for (const QString &prefix : options.refuseChange)
            args << QStringLiteral("--refuse-change") << prefix;
        for (const auto &[name, bytes] : options.growOnDownload)
            args << QStringLiteral("--grow") << name + QLatin1Char(':') + QString::number(bytes);
        // The log goes to a file: a pipe nobody drains would stall the server.
        m_process.setStandardErrorFile(m_logDir.filePath(QStringLiteral("server.log")));
        // A test that dies must not leave its server behind: it would serve
        // on, and hold whatever the test had open (a build lock among them).
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        // Debian's interpreter: the first python3 on PATH may not see pyftpdlib.
        m_process.start(QStringLiteral("/usr/bin/python3"), args);
        ASSERT_TRUE(m_process.waitForStarted(10000));
        QByteArray line;
        while (!line.contains('\n') && m_process.waitForReadyRead(10000))
            line += m_process.readAllStandardOutput();
        ASSERT_TRUE(line.startsWith("PORT ")) << line.toStdString() << log().toStdString();
        m_port = line.mid(5).trimmed().toInt();
        ASSERT_GT(m_port, 0);
    }

    QTemporaryDir m_root;
    QTemporaryDir m_logDir;
    QProcess m_process;
    int m_port = 0;
};

// A port on 127.0.0.1 where nothing listens (bound, then released).
int closedLoopbackPort();
