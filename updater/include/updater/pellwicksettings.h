#pragma once

#include <initializer_list>
#include <utility>

#include <QSettings>
#include <QString>

// Every value Pellwick keeps, in section AutoUpdateInfo of its own store.
// Nothing else in the program spells a key. Each write is flushed at once,
// so a stamp written before a network call survives whatever follows.
class PellwickSettings {
public:
    explicit PellwickSettings(QSettings &store);

    QString installDirectory() const; // ProPathName, written by the installation only

    int isUpdate() const; // IsUpdate, default 0; 1 = a verified package waits
    void setIsUpdate(int value);

    qint32 updateDelay() const; // UpdateDelay, default 86400 seconds
    void setUpdateDelay(qint32 seconds);

    QString lastDay() const; // LastDay, decimal seconds since 1970 as text, default empty
    void setLastDay(const QString &stamp);

    quint32 version() const; // Version, default 100: the installed version
    void setVersion(quint32 value);

    quint32 currentVer() const; // CurrentVer, default 100: the last announced version
    void setCurrentVer(quint32 value);

    // InstallTries, default 0: installs of the waiting package begun so far;
    // after the third failure the package is dropped.
    int installTries() const;
    void setInstallTries(int value);

    // Several values in one save, so they change together or not at all.
    // Version, IsUpdate = 0, no InstallTries; false when the store could not be saved.
    [[nodiscard]] bool recordInstalled(quint32 installedVersion);
    void markPackageWaiting(); // IsUpdate = 1, no InstallTries
    void dropWaitingPackage(); // IsUpdate = 0, no InstallTries

    QString updateServer() const; // UpdateServer, e.g. "https://updates.example:8443"; empty = none
    QString updateKey() const; // UpdateKey, base64 Ed25519 public key; empty = no signature check

private:
    QVariant read(const char *key) const;
    // Absent or unreadable values give the fallback.
    qint32 readInt(const char *key, qint32 fallback) const;
    quint32 readUInt(const char *key, quint32 fallback) const;
    void write(const char *key, const QVariant &value);
    // A null value removes the key. False when the store could not be saved.
    bool writeMany(std::initializer_list<std::pair<const char *, QVariant>> values);

    QSettings &m_store;
};
