#include "updater/pellwickapp.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>

#include "updater/packagedownloadsink.h"
#include "updater/packageinstaller.h"
#include "updater/packagesignature.h"
#include "updater/updatepackage.h"
#include "updater/versioninfo.h"

using pellwick::FailureKind;
using pellwick::Status;

namespace {

constexpr char kVersionPath[] = "/autoupdate/conv/verinfo.html";
constexpr char kChecksumPath[] = "/autoupdate/conv/checksum.html";
constexpr char kSignaturePath[] = "/autoupdate/conv/checksum.sig";

std::string text(const QString &value)
{
    return value.toStdString();
}

std::string number(qint64 value)
{
    return std::to_string(value);
}

bool isHttps(const QString &url)
{
    return url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

} // namespace

CPellwickApp::CPellwickApp(PellwickSettings &settings, pellwick::HttpTransport &transport, PellwickLog &log,
    Clock clock, QString executableDir, int killAt)
    : m_settings(settings)
    , m_transport(transport)
    , m_log(log)
    , m_clock(std::move(clock))
    , m_executableDir(std::move(executableDir))
    , m_killAt(killAt)
{
}

Status CPellwickApp::RunUpdate()
{
    // Never the current directory: at log-in that is the user's home.
    const QString configured = m_settings.installDirectory();
    const QString installDir = configured.isEmpty() ? m_executableDir : configured;
    const std::string started = "업데이트를 시작합니다. 설치 폴더: " + text(installDir);
    pellwick::Result<pellwick::InstallRoot> root
        = pellwick::InstallRoot::open(QFile::encodeName(installDir).toStdString());
    if (!root) {
        // Only the system log hears of it: there is no folder to keep a log in.
        m_log.info(started);
        m_log.error(root.error().message + " 아무것도 바꾸지 않고 끝냅니다.");
        return tl::unexpected(root.error());
    }
    m_root.emplace(std::move(*root));
    m_log.attach(m_root->fd());
    m_log.info(started);

    // A second copy started meanwhile would write the same package; it ends here.
    QLockFile lock(installDir + QLatin1Char('/') + QLatin1String(pellwick::kLockFileName));
    lock.setStaleLockTime(0); // a long download is no sign of a dead owner
    if (!lock.tryLock(0)) {
        m_log.info("다른 Pellwick이 이 설치 폴더에서 실행 중이어서 끝냅니다.");
        return {};
    }

    // An install cut short (power cut, kill) is settled before anything else.
    pellwick::InstallOptions options;
    options.recordInstalled = [this](std::uint32_t version) { return recordInstalled(version); };
    const pellwick::Result<pellwick::Recovery> recovered
        = pellwick::recoverInterruptedInstall(*m_root, options);
    if (!recovered) {
        m_log.error(recovered.error().message);
        return tl::unexpected(recovered.error());
    }
    if (*recovered == pellwick::Recovery::Completed)
        m_log.info("중단된 설치를 마쳤습니다. 설치된 버전: " + number(m_settings.version()));
    else if (*recovered == pellwick::Recovery::RolledBack)
        m_log.info("중단된 설치를 되돌렸습니다. 이전 파일이 그대로 있습니다.");

    Status result;
    if (m_settings.isUpdate() == 1) {
        result = installPhase();
    } else if (!IsCheckDue()) {
        m_log.info("확인할 때가 아닙니다. 끝냅니다.");
        return {};
    } else {
        result = CheckForUpdate();
    }
    if (!result)
        m_log.error(result.error().message);
    m_log.info(result ? "업데이트 작업을 마쳤습니다." : "업데이트 작업이 실패하였습니다.");
    return result;
}

bool CPellwickApp::recordInstalled(quint32 version)
{
    return m_settings.recordInstalled(version);
}

void CPellwickApp::dropPackage()
{
    m_settings.dropWaitingPackage();
    m_root->remove(pellwick::kPackageFileName);
}

Status CPellwickApp::installPhase()
{
    const int tries = m_settings.installTries();
    if (tries >= kMaxInstallTries) {
        // The last try died before it could count itself out.
        dropPackage();
        return pellwick::fail(FailureKind::GaveUp,
            "설치가 " + number(kMaxInstallTries) + "번 실패하여 이 업데이트를 포기합니다. 버전 "
                + number(m_settings.version()) + "을(를) 그대로 씁니다.");
    }
    // Counted before the attempt, so an attempt that is killed counts too.
    m_settings.setInstallTries(tries + 1);
    m_log.info("버전 " + number(m_settings.currentVer()) + " 설치를 시작합니다 (" + number(tries + 1) + "/"
        + number(kMaxInstallTries) + "번째 시도).");
    const Status installed = InstallPackage();
    if (installed) {
        m_log.info("설치를 마쳤습니다. 설치된 버전: " + number(m_settings.version()));
        return {};
    }
    if (installed.error().kind == FailureKind::NotRecorded)
        return installed; // nothing to undo: the next start records it from the journal
    if (tries + 1 >= kMaxInstallTries) {
        m_log.error(installed.error().message);
        dropPackage();
        return pellwick::fail(FailureKind::GaveUp,
            "설치가 " + number(kMaxInstallTries) + "번 실패하여 이 업데이트를 포기합니다. 버전 "
                + number(m_settings.version()) + "을(를) 그대로 씁니다.");
    }
    return pellwick::fail(installed.error().kind,
        installed.error().message + " 이전 파일을 그대로 두었고, 다음 시작 때 다시 설치합니다.");
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

Status CPellwickApp::FetchVersionInfo(quint32 &version, qint32 &delay)
{
    const std::string url = serverUrl(kVersionPath);
    if (url.empty())
        return pellwick::fail(FailureKind::Network, "업데이트 서버(UpdateServer)가 설정되지 않았습니다.");
    m_log.info("버전 파일을 확인합니다: " + url);
    std::string line;
    const pellwick::Result<pellwick::HttpTransport::Fetched> fetched = m_transport.fetchFirstLine(url, line);
    if (!fetched)
        return tl::unexpected(fetched.error());
    const pellwick::VersionLine fields = pellwick::parseVersionLine(line);
    version = fields.version;
    m_settings.setCurrentVer(version);
    delay = fields.delay;
    m_settings.setUpdateDelay(delay);
    m_strPackageUrl = QString::fromStdString(fields.packageUrl);
    m_announcedVersion = version;
    m_versionOverHttps = fetched->secure;
    return {};
}

bool CPellwickApp::IsNewerVersion(quint32 version) const
{
    return m_settings.version() < version;
}

Status CPellwickApp::CheckForUpdate()
{
    if (serverUrl(kVersionPath).empty()) {
        m_log.info("업데이트 서버(UpdateServer)가 설정되지 않아 확인하지 않습니다.");
        return {};
    }
    quint32 version = 0;
    qint32 delay = 0;
    if (Status fetched = FetchVersionInfo(version, delay); !fetched)
        return fetched;
    m_log.info("서버의 버전: " + number(version) + ", 설치된 버전: " + number(m_settings.version()));
    if (!IsNewerVersion(version)) {
        m_log.info("새 버전이 없습니다.");
        return {};
    }
    if (Status downloaded = DownloadPackage(); !downloaded)
        return downloaded;
    m_settings.markPackageWaiting();
    m_log.info("버전 " + number(version) + " 패키지를 받아 확인했습니다. 다음 시작 때 설치합니다.");
    return {};
}

Status CPellwickApp::DownloadPackage()
{
    const pellwick::InstallRoot &root = *m_root;
    // Whatever an earlier run left is stale: a waiting package would have been installed first.
    root.remove(pellwick::kPackageFileName);
    if (m_strPackageUrl.isEmpty())
        return pellwick::fail(FailureKind::BadDownload, "버전 파일에 패키지 주소가 없습니다.");
    if (m_versionOverHttps && !isHttps(m_strPackageUrl))
        return pellwick::fail(FailureKind::InsecureUrl,
            "HTTPS로 받은 버전 파일이 HTTPS가 아닌 패키지 주소를 알립니다: " + text(m_strPackageUrl));
    m_log.info("패키지를 받습니다: " + text(m_strPackageUrl));

    pellwick::Result<int> created = root.createFresh(pellwick::kPartialFileName);
    if (!created)
        return tl::unexpected(created.error());
    pellwick::PackageDownloadSink sink(
        *created, pellwick::kPartialFileName, kMaxPackageBytes, !m_settings.updateKey().isEmpty());
    const pellwick::Result<pellwick::HttpTransport::Fetched> fetched
        = m_transport.fetch(m_strPackageUrl.toStdString(),
            [&sink](const char *data, std::size_t size) { return sink.write(data, size); });
    // The file is closed whatever happened; a broken transfer is the reason given before any other.
    Status result = sink.finish();
    if (!fetched)
        result = tl::unexpected(fetched.error());
    if (result) {
        m_md5Hex = sink.md5Hex();
        m_sha256Hex = sink.sha256Hex();
        m_packageLength = sink.received();
        result = VerifyPackageChecksum();
    }
    if (result)
        result = VerifyPackageSignature();
    if (result)
        result = root.rename(pellwick::kPartialFileName, pellwick::kPackageFileName);
    if (!result) {
        root.remove(pellwick::kPartialFileName);
        return result;
    }
    return {};
}

Status CPellwickApp::VerifyPackageChecksum()
{
    const std::string url = serverUrl(kChecksumPath);
    if (url.empty())
        return pellwick::fail(FailureKind::Checksum, "체크섬 파일의 주소가 없습니다.");
    std::string line;
    if (const auto fetched = m_transport.fetchFirstLine(url, line); !fetched)
        return tl::unexpected(fetched.error());
    // Exact comparison: the server must publish lower-case digits.
    const std::string_view published = pellwick::trimmed(line);
    if (m_md5Hex.isEmpty()
        || published != std::string_view(m_md5Hex.constData(), std::size_t(m_md5Hex.size())))
        return pellwick::fail(FailureKind::Checksum,
            "패키지의 MD5 체크섬이 맞지 않습니다: 서버 \"" + std::string(published.substr(0, 64))
                + "\", 받은 파일 " + m_md5Hex.toStdString());
    m_log.info("패키지의 MD5 체크섬을 확인했습니다: " + m_md5Hex.toStdString());
    return {};
}

Status CPellwickApp::VerifyPackageSignature()
{
    const QString key = m_settings.updateKey();
    if (key.isEmpty())
        return {}; // without a key the checksum is all there is
    if (m_announcedVersion < m_settings.version())
        return pellwick::fail(
            FailureKind::Signature, "알린 버전이 설치된 버전보다 낮아 서명을 받아들이지 않습니다.");
    const std::string url = serverUrl(kSignaturePath);
    std::string line;
    if (m_sha256Hex.isEmpty() || url.empty())
        return pellwick::fail(FailureKind::Signature, "패키지 서명을 확인할 수 없습니다.");
    if (const auto fetched = m_transport.fetchFirstLine(url, line); !fetched)
        return pellwick::fail(
            FailureKind::Signature, "패키지 서명을 받을 수 없습니다: " + fetched.error().message);
    const std::string message = pellwick::signedMessage(
        m_announcedVersion, static_cast<std::uint64_t>(m_packageLength), m_sha256Hex.toStdString());
    if (!pellwick::verifySignature(key.toStdString(), message, pellwick::trimmed(line)))
        return pellwick::fail(FailureKind::Signature, "패키지 서명이 맞지 않습니다: " + url);
    m_log.info("패키지 서명을 확인했습니다.");
    return {};
}

QString CPellwickApp::Md5FileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

Status CPellwickApp::InstallPackage()
{
    const pellwick::Result<pellwick::FileBytes> bytes = m_root->readFile(pellwick::kPackageFileName);
    if (!bytes) {
        if (bytes.error().kind == FailureKind::PackageMissing)
            return pellwick::fail(FailureKind::PackageMissing,
                std::string("설치할 패키지 파일이 없습니다: ") + pellwick::kPackageFileName);
        return tl::unexpected(bytes.error());
    }
    const pellwick::PackageResult<pellwick::PackageImage> package = pellwick::readPackage(bytes->bytes());
    if (!package)
        return pellwick::fail(FailureKind::BadPackage,
            "패키지를 설치할 수 없습니다: " + pellwick::describePackageFault(package.error()));
    m_log.info("패키지를 확인했습니다: 스크립트 " + number(qint64(package->script.size())) + "바이트, 명령 "
        + number(qint64(package->plan.ops.size())) + "개.");

    pellwick::InstallOptions options;
    options.version = m_settings.currentVer();
    options.recordInstalled = [this](std::uint32_t version) { return recordInstalled(version); };
    options.killAt = m_killAt;
    return pellwick::installPackage(*package, *m_root, options);
}
