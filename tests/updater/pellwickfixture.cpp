#include "pellwickfixture.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "updater/updatepackage.h"

TestServer::TestServer(const QString &root, const QString &logFile, const Options &options)
{
    QStringList arguments {QStringLiteral(QUOREL_SOURCE_DIR "/tests/updater/testserver.py"),
        QStringLiteral("--root"), root, QStringLiteral("--log"), logFile};
    if (!options.certificate.isEmpty())
        arguments << QStringLiteral("--cert") << options.certificate << QStringLiteral("--key")
                  << options.key;
    for (const QString &redirect : options.redirects)
        arguments << QStringLiteral("--redirect") << redirect;
    for (const QString &status : options.statuses)
        arguments << QStringLiteral("--status") << status;
    for (const QString &endless : options.endless)
        arguments << QStringLiteral("--endless") << endless;
    for (const QString &slow : options.slow)
        arguments << QStringLiteral("--slow") << slow;
    if (!options.sentLog.isEmpty())
        arguments << QStringLiteral("--sent-log") << options.sentLog;
    // Debian's interpreter: the first python3 on PATH may be another build.
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!m_process.waitForStarted(10000))
        return;
    QByteArray line;
    while (!line.contains('\n') && m_process.waitForReadyRead(10000))
        line += m_process.readAllStandardOutput();
    if (line.startsWith("PORT "))
        m_port = line.mid(5).trimmed().toInt();
    const QString scheme = options.certificate.isEmpty() ? QStringLiteral("http") : QStringLiteral("https");
    m_baseUrl = scheme + QStringLiteral("://127.0.0.1:") + QString::number(m_port);
}

TestServer::~TestServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

qint64 PellwickTest::dayStart(const char *yyyymmdd)
{
    return QDateTime(
        QDate::fromString(QString::fromLatin1(yyyymmdd), QStringLiteral("yyyyMMdd")), QTime(0, 0), Qt::UTC)
        .toSecsSinceEpoch();
}

void PellwickTest::SetUp()
{
    ASSERT_TRUE(m_root.isValid());
    QDir root(m_root.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("install/lib/idn")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("www/autoupdate/conv")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("www/pkg")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("config/VANTO")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("start")));
    setSetting("ProPathName", installPath(QString()).chopped(1));
}

void PellwickTest::startServer(const TestServer::Options &options)
{
    m_server = std::make_unique<TestServer>(
        path(QStringLiteral("www")), path(QStringLiteral("requests.log")), options);
    ASSERT_GT(m_server->port(), 0) << "test server did not start";
    setSetting("UpdateServer", m_server->baseUrl());
}

QStringList PellwickTest::requests() const
{
    return QString::fromUtf8(readFile(path(QStringLiteral("requests.log"))))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

static QString settingsFile(const QTemporaryDir &root)
{
    return root.filePath(QStringLiteral("config/VANTO/Pellwick.conf"));
}

QVariant PellwickTest::setting(const char *key) const
{
    QSettings store(settingsFile(m_root), QSettings::IniFormat);
    return store.value(QStringLiteral("AutoUpdateInfo/") + QLatin1String(key));
}

void PellwickTest::setSetting(const char *key, const QVariant &value)
{
    QSettings store(settingsFile(m_root), QSettings::IniFormat);
    store.setValue(QStringLiteral("AutoUpdateInfo/") + QLatin1String(key), value);
}

void PellwickTest::removeSetting(const char *key)
{
    QSettings store(settingsFile(m_root), QSettings::IniFormat);
    store.remove(QStringLiteral("AutoUpdateInfo/") + QLatin1String(key));
}

QProcessEnvironment PellwickTest::pellwickEnvironment(
    const char *todayText, const QProcessEnvironment &extra) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    environment.insert(QStringLiteral("PELLWICK_TODAY"), QString::fromLatin1(todayText));
    for (const char *name :
        {"PELLWICK_CA_FILE", "PELLWICK_SLOW_SECONDS", "PELLWICK_PASS_SECONDS", "PELLWICK_KILL_AT",
            "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        environment.remove(QLatin1String(name));
    for (const QString &name : extra.keys())
        environment.insert(name, extra.value(name));
    return environment;
}

int PellwickTest::runPellwick(
    const char *todayText, const QProcessEnvironment &extra, const QString &shellPrefix)
{
    QProcess process;
    process.setProcessEnvironment(pellwickEnvironment(todayText, extra));
    process.setWorkingDirectory(path(QStringLiteral("start")));
    QElapsedTimer timer;
    timer.start();
    if (shellPrefix.isEmpty())
        process.start(m_program, {});
    else
        process.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), shellPrefix + QStringLiteral(" exec \"$0\""), m_program});
    const bool finished = process.waitForFinished(60000);
    m_elapsedMs = timer.elapsed();
    if (!finished) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    m_stderr = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString PellwickTest::logText() const
{
    return QString::fromUtf8(readFile(installPath(QStringLiteral("pellwick.log"))));
}

QByteArray PellwickTest::publish(const QByteArray &package, const QByteArray &versionLine)
{
    writeFile(webPath(QStringLiteral("pkg/update.pak")), package);
    writeFile(webPath(QStringLiteral("autoupdate/conv/checksum.html")), md5Hex(package) + '\n');
    writeFile(webPath(QStringLiteral("autoupdate/conv/verinfo.html")), versionLine);
    return package;
}

QByteArray PellwickTest::publish(const QByteArray &package, quint32 version)
{
    return publish(
        package, QByteArray::number(version) + " 86400 " + serverUrl().toUtf8() + "/pkg/update.pak\n");
}

void PellwickTest::stageForInstall(const QByteArray &package)
{
    writeFile(installPath(QStringLiteral("autoupcab.tmp")), package);
    setSetting("IsUpdate", 1);
    setSetting("CurrentVer", 200);
}

QByteArray PellwickTest::packageOf(const QByteArray &script, const QByteArray &data)
{
    return QByteArray::fromStdString(pellwick::buildPackage(script.toStdString(), data.toStdString()));
}

QByteArray PellwickTest::md5Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

void PellwickTest::writeFile(const QString &file, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
    ASSERT_EQ(out.write(data), data.size());
}

QByteArray PellwickTest::readFile(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return in.readAll();
}

bool PellwickTest::exists(const QString &file)
{
    return QFileInfo::exists(file);
}
