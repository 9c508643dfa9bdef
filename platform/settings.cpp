#include "platform/settings.h"
#include "platform/logging.h"
#include "platform/quorelids.h"
#include "platform/tempfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
constexpr int kRegistryBufferBytes = 260;

// QSettings keeps a failed write to itself; the log is where it shows.
void syncLogged(QSettings &store)
{
    store.sync();
    if (store.status() != QSettings::NoError)
        qCWarning(lcSettings) << "cannot write the settings" << store.fileName() << "- status"
                              << store.status();
}
} // namespace

bool readMachineString(const QSettings &store, const QString &key, QString &value)
{
    const QVariant stored = store.value(key);
    if (!stored.isValid())
        return false;
    const QString text = stored.toString();
    // The terminating NUL shares the buffer with the text.
    if (text.toUtf8().size() + 1 > kRegistryBufferBytes)
        return false;
    value = text;
    return true;
}

QuorelSettings::QuorelSettings(QSettings &user, const QSettings &machine)
    : m_user(user)
    , m_machine(machine)
{
}

int QuorelSettings::commentOption() const
{
    bool ok = false;
    const int value = m_user.value(QStringLiteral("EnvOption/IsComment"), 1).toInt(&ok);
    return ok ? value : 1;
}

void QuorelSettings::setCommentOption(int value)
{
    m_user.setValue(QStringLiteral("EnvOption/IsComment"), value);
    syncLogged(m_user);
}

bool QuorelSettings::showLineNumbers() const
{
    return m_user.value(QStringLiteral("EditorOption/ShowLineNumbers"), true).toBool();
}

void QuorelSettings::setShowLineNumbers(bool show)
{
    m_user.setValue(QStringLiteral("EditorOption/ShowLineNumbers"), show);
    syncLogged(m_user);
}

bool QuorelSettings::bumpSoaSerialOnSave() const
{
    return m_user.value(QStringLiteral("EditorOption/BumpSoaSerial"), false).toBool();
}

void QuorelSettings::setBumpSoaSerialOnSave(bool bump)
{
    m_user.setValue(QStringLiteral("EditorOption/BumpSoaSerial"), bump);
    syncLogged(m_user);
}

bool QuorelSettings::printPageHeader() const
{
    return m_user.value(QStringLiteral("PrintOption/PageHeader"), true).toBool();
}

void QuorelSettings::setPrintPageHeader(bool print)
{
    m_user.setValue(QStringLiteral("PrintOption/PageHeader"), print);
    syncLogged(m_user);
}

QString QuorelSettings::editorFontFamily() const
{
    return m_user.value(QStringLiteral("EditorOption/FontFamily")).toString();
}

void QuorelSettings::setEditorFontFamily(const QString &family)
{
    m_user.setValue(QStringLiteral("EditorOption/FontFamily"), family);
    syncLogged(m_user);
}

int QuorelSettings::editorFontPixels() const
{
    bool ok = false;
    const int pixels = m_user.value(QStringLiteral("EditorOption/FontPixels"), 13).toInt(&ok);
    return ok ? std::clamp(pixels, kMinFontPixels, kMaxFontPixels) : 13;
}

void QuorelSettings::setEditorFontPixels(int pixels)
{
    m_user.setValue(
        QStringLiteral("EditorOption/FontPixels"), std::clamp(pixels, kMinFontPixels, kMaxFontPixels));
    syncLogged(m_user);
}

int QuorelSettings::editorZoom() const
{
    const int zoom = m_user.value(QStringLiteral("EditorOption/Zoom"), 0).toInt();
    // A size changed by hand since the zoom was saved must not carry it out of range.
    const int pixels = editorFontPixels();
    return std::clamp(pixels + zoom, kMinFontPixels, kMaxFontPixels) - pixels;
}

void QuorelSettings::setEditorZoom(int zoom)
{
    m_user.setValue(QStringLiteral("EditorOption/Zoom"), zoom);
    syncLogged(m_user);
}

int QuorelSettings::tabWidth() const
{
    bool ok = false;
    const int columns = m_user.value(QStringLiteral("EditorOption/TabWidth"), 8).toInt(&ok);
    return ok ? std::clamp(columns, 1, 16) : 8;
}

void QuorelSettings::setTabWidth(int columns)
{
    m_user.setValue(QStringLiteral("EditorOption/TabWidth"), std::clamp(columns, 1, 16));
    syncLogged(m_user);
}

QString QuorelSettings::installDirectoryKey()
{
    return QStringLiteral("EnvOption/ProPathName");
}

QString QuorelSettings::machineInstallDirectoryKey()
{
    return QStringLiteral("ProPathName");
}

QString QuorelSettings::installDirectory() const
{
    const QString stored = m_user.value(installDirectoryKey()).toString();
    if (!stored.isEmpty())
        return QDir::cleanPath(stored);
    return QCoreApplication::applicationDirPath();
}

QString QuorelSettings::tempDirectory() const
{
    return privateTempDirectory(installDirectory() + QStringLiteral("/temp"));
}

namespace {
// Each new-document kind: its machine-wide value and its bundled sample.
struct SampleEntry {
    int templateId;
    const char *key;
    const char *fileName;
};
constexpr SampleEntry kSamples[] = {
    {ids::templ::kZone, "SampleZonePath", "sample.zone"},
    {ids::templ::kReverseZone, "SampleReverseZonePath", "sample-reverse.zone"},
    {ids::templ::kNamedConf, "SampleNamedconfPath", "named.conf"},
    {ids::templ::kVirtualHost, "SampleVirtualHostConfPath", "vhost.conf"},
};
const SampleEntry *sampleEntry(int templateId)
{
    for (const SampleEntry &e : kSamples) {
        if (e.templateId == templateId)
            return &e;
    }
    return nullptr;
}
} // namespace

QString QuorelSettings::bundledSampleName(int templateId)
{
    const SampleEntry *e = sampleEntry(templateId);
    return e ? QString::fromLatin1(e->fileName) : QString();
}

QString QuorelSettings::samplePath(int templateId) const
{
    const SampleEntry *e = sampleEntry(templateId);
    if (!e)
        return {};
    QString path;
    if (readMachineString(m_machine, QString::fromLatin1(e->key), path) && !path.isEmpty())
        return path;
    return installDirectory() + QStringLiteral("/samples/") + QString::fromLatin1(e->fileName);
}

QString QuorelSettings::ftpOpenIniPath() const
{
    QString path;
    readMachineString(m_machine, QStringLiteral("FtpOpenIniPath"), path);
    return path;
}

QString QuorelSettings::ftpServerListPath() const
{
    const QString machineWide = ftpOpenIniPath();
    if (!machineWide.isEmpty())
        return machineWide;
    return QFileInfo(m_user.fileName()).absolutePath() + QStringLiteral("/QuorelFtpServers.ini");
}

namespace {
// One map under one key: file paths hold the separators QSettings reads as groups.
const QString kCheckOriginsKey = QStringLiteral("CheckOption/ZoneOrigins");
} // namespace

QString QuorelSettings::checkOrigin(const QString &path) const
{
    return m_user.value(kCheckOriginsKey).toMap().value(path).toString();
}

void QuorelSettings::setCheckOrigin(const QString &path, const QString &origin)
{
    QVariantMap origins = m_user.value(kCheckOriginsKey).toMap();
    origins.insert(path, origin);
    m_user.setValue(kCheckOriginsKey, origins);
    syncLogged(m_user);
}

bool QuorelSettings::takePlainFtpNotice(const QString &server)
{
    const QString key = QStringLiteral("FtpNotices/PlainFtpTold");
    QStringList told = m_user.value(key).toStringList();
    for (const QString &name : told) {
        if (name.compare(server, Qt::CaseInsensitive) == 0)
            return false;
    }
    told << server;
    m_user.setValue(key, told);
    syncLogged(m_user);
    return true;
}

QString QuorelSettings::localFtpFolder()
{
    return QDir::homePath() + QStringLiteral("/Quindale");
}

QStringList QuorelSettings::recentFiles() const
{
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file = m_user.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!file.isEmpty())
            files << file;
    }
    return files;
}

void QuorelSettings::setRecentFiles(const QStringList &files)
{
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QStringLiteral("Recent File List/File%1").arg(i);
        if (i <= files.size())
            m_user.setValue(key, files.at(i - 1));
        else
            m_user.remove(key);
    }
    syncLogged(m_user);
}
