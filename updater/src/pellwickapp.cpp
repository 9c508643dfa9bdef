#include "updater/pellwickapp.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>

#include "updater/packageinstaller.h"
#include "updater/packagesignature.h"
#include "updater/updatepackage.h"
#include "updater/versioninfo.h"

namespace {

constexpr char kVersionPath[] = "/autoupdate/conv/verinfo.html";
constexpr char kChecksumPath[] = "/autoupdate/conv/checksum.html";
constexpr char kSignaturePath[] = "/autoupdate/conv/checksum.sig";

QString packagePath()
{
    return QDir::current().filePath(QLatin1String(pellwick::kPackageFileName));
}

QByteArray fileDigest(const QString &path, QCryptographicHash::Algorithm algorithm, qint64 *size = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(algorithm);
    char block[64 * 1024];
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(block, sizeof block);
        if (got < 0)
            return {};
        if (got == 0)
            break;
        hash.addData(QByteArrayView(block, got));
        total += got;
    }
    if (size)
        *size = total;
    return hash.result().toHex();
}

} // namespace

CPellwickApp::CPellwickApp(
    PellwickSettings &settings, pellwick::HttpTransport &transport, Clock clock, QString executableDir)
    : m_settings(settings)
    , m_transport(transport)
    , m_clock(std::move(clock))
    , m_executableDir(std::move(executableDir))
{
}

void CPellwickApp::RunUpdate()
{
    const QString installDir = m_settings.installDirectory();
    if (!installDir.isEmpty())
        QDir::setCurrent(installDir); // a failure leaves us where we were started

    // A second copy started meanwhile would write the same package; it ends here.
    QLockFile lock(QDir::current().filePath(QLatin1String(kLockFileName)));
    lock.setStaleLockTime(0); // a long download is no sign of a dead owner
    if (!lock.tryLock(0))
        return;

    if (m_settings.isUpdate() == 1) {
        // Recorded before installing, so a package that fails is not tried again.
        m_settings.setVersion(m_settings.currentVer());
        m_settings.setIsUpdate(0);
        InstallPackage();
        return;
    }
    if (!IsCheckDue())
        return;
    CheckForUpdate();
}

bool CPellwickApp::IsCheckDue()
{
    const qint32 delay = m_settings.updateDelay();
    const qint32 last = pellwick::toDecimal(m_settings.lastDay().toStdString());
    const auto now = static_cast<qint32>(m_clock());
    // Signed 32-bit difference: a stamp in the future (clock set back) keeps
    // the check waiting until the clock passes it again.
    const auto elapsed = static_cast<qint32>(static_cast<quint32>(now) - static_cast<quint32>(last));
    if (elapsed <= delay)
        return false;
    m_settings.setLastDay(QString::number(now));
    return true;
}

std::string CPellwickApp::serverUrl(const char *path) const
{
    QString server = m_settings.updateServer();
    while (server.endsWith(QLatin1Char('/')))
        server.chop(1);
    if (server.isEmpty())
        return {};
    return server.toStdString() + path;
}

bool CPellwickApp::FetchVersionInfo(quint32 &version, qint32 &delay)
{
    const std::string url = serverUrl(kVersionPath);
    std::string line;
    if (url.empty() || !m_transport.fetchFirstLine(url, line))
        return false;
    const pellwick::VersionLine fields = pellwick::parseVersionLine(line);
    version = fields.version;
    m_settings.setCurrentVer(version);
    delay = fields.delay;
    m_settings.setUpdateDelay(delay);
    m_strPackageUrl = QString::fromStdString(fields.packageUrl);
    m_announcedVersion = version;
    return true;
}

bool CPellwickApp::IsNewerVersion(quint32 version) const
{
    return m_settings.version() < version;
}

bool CPellwickApp::CheckForUpdate()
{
    quint32 version = 0;
    qint32 delay = 0;
    if (!FetchVersionInfo(version, delay))
        return false;
    if (!IsNewerVersion(version))
        return true;
    if (!DownloadPackage())
        return false;
    m_settings.setIsUpdate(1);
    return true;
}

bool CPellwickApp::DownloadPackage()
{
    if (m_strPackageUrl.isEmpty())
        return false;

    const QString path = packagePath();
    QFile file(path);
    unsigned char header[8] = {};
    qint64 total = 0;
    bool writeFailed = false;
    const bool fetched
        = m_transport.fetch(m_strPackageUrl.toStdString(), [&](const char *data, std::size_t size) {
              if (!file.isOpen() && !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                  writeFailed = true;
                  return false;
              }
              for (std::size_t i = 0; i < size && total + qint64(i) < 8; ++i)
                  header[total + qint64(i)] = static_cast<unsigned char>(data[i]);
              if (file.write(data, static_cast<qint64>(size)) != static_cast<qint64>(size)) {
                  writeFailed = true;
                  return false;
              }
              total += static_cast<qint64>(size);
              return true;
          });
    bool closed = true;
    if (file.isOpen()) {
        closed = file.flush();
        file.close();
        closed = closed && file.error() == QFileDevice::NoError;
    }

    const quint32 expected
        = quint32(header[0]) | quint32(header[1]) << 8 | quint32(header[2]) << 16 | quint32(header[3]) << 24;
    // A response too short to hold the header cannot be a package, whatever its checksum.
    const bool whole = fetched && !writeFailed && closed && total >= 8 && total - 8 == qint64(expected);
    if (!whole || !VerifyPackageChecksum() || !VerifyPackageSignature()) {
        QFile::remove(path);
        return false;
    }
    return true;
}

bool CPellwickApp::VerifyPackageChecksum()
{
    const std::string url = serverUrl(kChecksumPath);
    std::string line;
    if (url.empty() || !m_transport.fetchFirstLine(url, line))
        return false;
    const QString digest = Md5FileDigest(packagePath());
    // Exact comparison: the server must publish lower-case digits.
    return !digest.isEmpty() && QString::fromLatin1(pellwick::trimmed(line)) == digest;
}

bool CPellwickApp::VerifyPackageSignature()
{
    const QString key = m_settings.updateKey();
    if (key.isEmpty())
        return true; // without a key the checksum is all there is
    if (m_announcedVersion < m_settings.version())
        return false;
    qint64 length = 0;
    const QByteArray sha256 = fileDigest(packagePath(), QCryptographicHash::Sha256, &length);
    const std::string url = serverUrl(kSignaturePath);
    std::string line;
    if (sha256.isEmpty() || url.empty() || !m_transport.fetchFirstLine(url, line))
        return false;
    const std::string message = pellwick::signedMessage(
        m_announcedVersion, static_cast<std::uint64_t>(length), sha256.toStdString());
    return pellwick::verifySignature(key.toStdString(), message, pellwick::trimmed(line));
}

QString CPellwickApp::Md5FileDigest(const QString &path)
{
    return QString::fromLatin1(fileDigest(path, QCryptographicHash::Md5));
}

bool CPellwickApp::InstallPackage()
{
    QFile file(packagePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    file.close();

    const pellwick::PackageResult<pellwick::PackageImage> package = pellwick::readPackage(std::span(
        reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    if (!package)
        return false;

    const QString installDir = m_settings.installDirectory();
    pellwick::InstallBases bases;
    bases.current = QDir::currentPath();
    bases.windows = (installDir.isEmpty() ? m_executableDir : installDir) + QLatin1String("/lib");
    bases.idn = bases.windows + QLatin1String("/idn");
    if (!pellwick::applyPackage(*package, bases))
        return false;
    QFile::remove(packagePath());
    return true;
}
