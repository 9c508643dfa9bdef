#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QByteArray>
#include <QString>

#include "updater/httptransport.h"
#include "updater/installroot.h"
#include "updater/pellwicklog.h"
#include "updater/pellwicksettings.h"
#include "updater/updateresult.h"

// The single pass of the auto-updater: either install the package an earlier
// run downloaded and verified, or, when the check interval has passed, ask
// the update server for a newer version and download and verify its package.
// Installation is always left to the next start. Every step answers with the
// reason it failed, and the pass logs each step and each failure.
class CPellwickApp {
public:
    using Clock = std::function<qint64()>; // seconds since 1970-01-01 00:00 UTC

    // executableDir stands in for the installation directory when
    // ProPathName is empty. killAt is the install's crash hook for tests
    // (see InstallOptions); 0 in normal use.
    CPellwickApp(PellwickSettings &settings, pellwick::HttpTransport &transport, PellwickLog &log,
        Clock clock, QString executableDir, int killAt = 0);

    // A failure means the pass did not do what it set out to; the program
    // then ends with a non-zero status.
    pellwick::Status RunUpdate();

    bool IsCheckDue();
    pellwick::Status FetchVersionInfo(quint32 &version, qint32 &delay);
    bool IsNewerVersion(quint32 version) const;
    pellwick::Status CheckForUpdate();

    pellwick::Status DownloadPackage();
    pellwick::Status VerifyPackageChecksum();
    pellwick::Status VerifyPackageSignature();
    static QString Md5FileDigest(const QString &path);
    pellwick::Status InstallPackage();

    static constexpr int kMaxInstallTries = 3;
    static constexpr qint64 kMaxPackageBytes = 512LL * 1024 * 1024;

private:
    pellwick::Status installPhase();
    void dropPackage();
    std::string serverUrl(const char *path) const;
    bool recordInstalled(quint32 version);

    PellwickSettings &m_settings;
    pellwick::HttpTransport &m_transport;
    PellwickLog &m_log;
    Clock m_clock;
    QString m_executableDir;
    int m_killAt = 0;
    std::optional<pellwick::InstallRoot> m_root;

    QString m_strPackageUrl; // package URL of the version file read in this run
    quint32 m_announcedVersion = 0;
    bool m_versionOverHttps = false;
    // Of the package as it was downloaded in this run.
    QByteArray m_md5Hex;
    QByteArray m_sha256Hex;
    qint64 m_packageLength = 0;
};
