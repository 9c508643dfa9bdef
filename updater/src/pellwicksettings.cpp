#include "updater/pellwicksettings.h"

namespace {

constexpr char kGroup[] = "AutoUpdateInfo";
constexpr qint32 kDefaultDelay = 86400;
constexpr quint32 kDefaultVersion = 100;

} // namespace

PellwickSettings::PellwickSettings(QSettings &store)
    : m_store(store)
{
}

QVariant PellwickSettings::read(const char *key) const
{
    m_store.beginGroup(QLatin1String(kGroup));
    QVariant value = m_store.value(QLatin1String(key));
    m_store.endGroup();
    return value;
}

void PellwickSettings::write(const char *key, const QVariant &value)
{
    m_store.beginGroup(QLatin1String(kGroup));
    m_store.setValue(QLatin1String(key), value);
    m_store.endGroup();
    m_store.sync();
}

bool PellwickSettings::writeMany(std::initializer_list<std::pair<const char *, QVariant>> values)
{
    m_store.beginGroup(QLatin1String(kGroup));
    for (const auto &[key, value] : values) {
        if (value.isNull())
            m_store.remove(QLatin1String(key));
        else
            m_store.setValue(QLatin1String(key), value);
    }
    m_store.endGroup();
    m_store.sync();
    return m_store.status() == QSettings::NoError;
}

bool PellwickSettings::recordInstalled(quint32 installedVersion)
{
    return writeMany({{"Version", installedVersion}, {"IsUpdate", 0}, {"InstallTries", QVariant()}});
}

void PellwickSettings::markPackageWaiting()
{
    writeMany({{"IsUpdate", 1}, {"InstallTries", QVariant()}});
}

void PellwickSettings::dropWaitingPackage()
{
    writeMany({{"IsUpdate", 0}, {"InstallTries", QVariant()}});
}

qint32 PellwickSettings::readInt(const char *key, qint32 fallback) const
{
    bool ok = false;
    const qint32 value = read(key).toInt(&ok);
    return ok ? value : fallback;
}

quint32 PellwickSettings::readUInt(const char *key, quint32 fallback) const
{
    bool ok = false;
    const quint32 value = read(key).toUInt(&ok);
    return ok ? value : fallback;
}

QString PellwickSettings::installDirectory() const
{
    return read("ProPathName").toString();
}

int PellwickSettings::isUpdate() const
{
    return readInt("IsUpdate", 0);
}

void PellwickSettings::setIsUpdate(int value)
{
    write("IsUpdate", value);
}

qint32 PellwickSettings::updateDelay() const
{
    return readInt("UpdateDelay", kDefaultDelay);
}

void PellwickSettings::setUpdateDelay(qint32 seconds)
{
    write("UpdateDelay", seconds);
}

QString PellwickSettings::lastDay() const
{
    return read("LastDay").toString();
}

void PellwickSettings::setLastDay(const QString &stamp)
{
    write("LastDay", stamp);
}

quint32 PellwickSettings::version() const
{
    return readUInt("Version", kDefaultVersion);
}

void PellwickSettings::setVersion(quint32 value)
{
    write("Version", value);
}

quint32 PellwickSettings::currentVer() const
{
    return readUInt("CurrentVer", kDefaultVersion);
}

void PellwickSettings::setCurrentVer(quint32 value)
{
    write("CurrentVer", value);
}

int PellwickSettings::installTries() const
{
    return readInt("InstallTries", 0);
}

void PellwickSettings::setInstallTries(int value)
{
    write("InstallTries", value);
}

QString PellwickSettings::updateServer() const
{
    return read("UpdateServer").toString().trimmed();
}

QString PellwickSettings::updateKey() const
{
    return read("UpdateKey").toString().trimmed();
}
