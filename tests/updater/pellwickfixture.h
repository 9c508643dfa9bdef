#pragma once

#include <memory>

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

// A real update server on 127.0.0.1 (tests/updater/testserver.py) serving a
// temporary folder, stopped when the object goes.
class TestServer {
public:
    struct Options {
        QString certificate; // PEM; with key, the server speaks HTTPS
        QString key;
        QStringList redirects; // "PATH=LOCATION"
        QStringList statuses; // "PATH=CODE": an error page with that status
        QStringList endless; // "PATH": the file, then junk without end
        QStringList slow; // "PATH=BYTES": the file at BYTES per second
        QString sentLog; // where endless and slow answers record "PATH BYTES" when they end
    };
    TestServer(const QString &root, const QString &logFile, const Options &options);
    ~TestServer();
    QString baseUrl() const { return m_baseUrl; }
    int port() const { return m_port; }

private:
    QProcess m_process;
    QString m_baseUrl;
    int m_port = 0;
};

// One installation under test: a temporary XDG_CONFIG_HOME holding
// VANTO/Pellwick.conf, an installation directory with lib/idn, a web root
// with /autoupdate/conv, and the real Pellwick program run against them.
class PellwickTest : public ::testing::Test {
protected:
    static constexpr char kToday[] = "20261207";
    static qint64 dayStart(const char *yyyymmdd);
    static qint64 today() { return dayStart(kToday); }

    void SetUp() override;

    QString path(const QString &relative) const { return m_root.filePath(relative); }
    QString installPath(const QString &relative) const { return path(QStringLiteral("install/") + relative); }
    QString webPath(const QString &relative) const { return path(QStringLiteral("www/") + relative); }

    // Starts the HTTP server and points UpdateServer at it.
    void startServer(const TestServer::Options &options = {});
    QString serverUrl() const { return m_server ? m_server->baseUrl() : QString(); }
    QStringList requests() const; // paths asked for so far, in order

    QVariant setting(const char *key) const;
    void setSetting(const char *key, const QVariant &value);
    void removeSetting(const char *key);

    // Runs Pellwick once and returns its exit code (-1 when it crashed or hung).
    int runPellwick(const char *todayText = kToday, const QProcessEnvironment &extra = {},
        const QString &shellPrefix = {});
    // The environment runPellwick gives it: the test's settings, no proxies, no stray hooks.
    QProcessEnvironment pellwickEnvironment(
        const char *todayText = kToday, const QProcessEnvironment &extra = {}) const;
    QString logText() const; // pellwick.log of the installation, as UTF-8

    // Writes a package and its checksum and version files for the server.
    QByteArray publish(const QByteArray &package, const QByteArray &versionLine);
    QByteArray publish(const QByteArray &package, quint32 version = 130);
    // Leaves a package in the installation directory as a previous run would.
    void stageForInstall(const QByteArray &package);

    static QByteArray packageOf(const QByteArray &script, const QByteArray &data = {});
    static QByteArray md5Hex(const QByteArray &bytes);
    static void writeFile(const QString &file, const QByteArray &data);
    static QByteArray readFile(const QString &file);
    static bool exists(const QString &file);

    QTemporaryDir m_root;
    QString m_program = QStringLiteral(QUOREL_BIN_DIR "/Pellwick");
    QString m_stderr;
    qint64 m_elapsedMs = 0; // of the last runPellwick
    std::unique_ptr<TestServer> m_server;
};
