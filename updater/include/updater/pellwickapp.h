#pragma once

#include <functional>
#include <string>

#include <QString>

#include "updater/httptransport.h"
#include "updater/pellwicksettings.h"

// The single pass of the auto-updater: either install the package an earlier
// run downloaded and verified, or, when the check interval has passed, ask
// the update server for a newer version and download and verify its package.
// Installation is always left to the next start.
class CPellwickApp {
public:
    using Clock = std::function<qint64()>; // seconds since 1970-01-01 00:00 UTC

    // executableDir stands in for the installation directory when
    // ProPathName is empty (it places "wd:" and "id:").
    CPellwickApp(
        PellwickSettings &settings, pellwick::HttpTransport &transport, Clock clock, QString executableDir);

    void RunUpdate();

    bool IsCheckDue();
    bool FetchVersionInfo(quint32 &version, qint32 &delay);
    bool IsNewerVersion(quint32 version) const;
    bool CheckForUpdate();

    bool DownloadPackage();
    bool VerifyPackageChecksum();
    bool VerifyPackageSignature();
    static QString Md5FileDigest(const QString &path);
    bool InstallPackage();

    // Name of the lock file that keeps a second Pellwick from running the
    // same pass in the same installation directory.
    static constexpr char kLockFileName[] = "pellwick.lock";

private:
    std::string serverUrl(const char *path) const;

    PellwickSettings &m_settings;
    pellwick::HttpTransport &m_transport;
    Clock m_clock;
    QString m_executableDir;

    QString m_strPackageUrl; // package URL of the version file read in this run
    quint32 m_announcedVersion = 0;
};
