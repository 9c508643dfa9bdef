#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// Reads one machine-wide string value under the registry reader's rule: a
// value that does not fit the 260-byte buffer (with its terminating NUL) is
// refused and the caller's string is left as it was.
bool readMachineString(const QSettings &store, const QString &key, QString &value);

// Every key, default and range of Quorel's settings. The user store is the
// per-user profile ("VANTO"/"Quorel"); the machine store holds the values the
// installation writes for every user ("VANTO"/"idn").
class QuorelSettings {
public:
    QuorelSettings(QSettings &user, const QSettings &machine);

    int commentOption() const; // IsComment, default 1
    void setCommentOption(int value);

    // ProPathName, else the folder of the running executable.
    QString installDirectory() const;
    // Where the installation writes ProPathName in Quorel's profile; the
    // setup finisher reads the same value.
    static QString installDirectoryKey();
    // Where a system-wide package writes its installation directory among
    // the machine-wide values; the setup finisher falls back on it.
    static QString machineInstallDirectoryKey();
    // installDirectory() + "/temp", or this user's private folder where
    // that one is shared (see privateTempDirectory()).
    QString tempDirectory() const;

    // The template file of a new document of template `templateId` (131,
    // 132, 133, 149): the machine-wide value, else the bundled sample in the
    // installation directory. Empty for the general template.
    QString samplePath(int templateId) const;
    // The machine-wide FTP server list path, empty when absent or too long.
    QString ftpOpenIniPath() const;
    // The FTP server list file: FtpOpenIniPath when the installation set it,
    // else "QuorelFtpServers.ini" beside the per-user settings.
    QString ftpServerListPath() const;
    // Where files downloaded from FTP servers are kept: ~/Quindale.
    static QString localFtpFolder();

    // True the first time for `server` (the FTP server list's name), and
    // remembers it: the plain-FTP notice is given once per server.
    bool takePlainFtpNotice(const QString &server);

    // Line numbers beside the text, on screen and on paper; default on.
    bool showLineNumbers() const;
    void setShowLineNumbers(bool show);
    // The file's name above and "쪽 n / m" under every printed page; default on.
    bool printPageHeader() const;
    void setPrintPageHeader(bool print);
    // The editor's font family; empty for the built-in choice of a Hangul
    // fixed-pitch font.
    QString editorFontFamily() const;
    void setEditorFontFamily(const QString &family);
    // The editor's font size in pixels, kMinFontPixels to kMaxFontPixels; default 13.
    static constexpr int kMinFontPixels = 6;
    static constexpr int kMaxFontPixels = 72;
    int editorFontPixels() const;
    void setEditorFontPixels(int pixels);
    // Pixels the zoom keys added to the size; the zoomed size stays in range.
    int editorZoom() const;
    void setEditorZoom(int zoom);
    // Columns between tab stops, 1 to 16; default 8, as zone files expect.
    int tabWidth() const;
    void setTabWidth(int columns);
    // Whether saving a changed zone file first counts its SOA serial on; default off.
    bool bumpSoaSerialOnSave() const;
    void setBumpSoaSerialOnSave(bool bump);

    // The zone name the checker of the zone file at `path` was given last;
    // empty when none was given yet.
    QString checkOrigin(const QString &path) const;
    void setCheckOrigin(const QString &path, const QString &origin);

    static constexpr int kRecentFileCount = 4;
    QStringList recentFiles() const;
    void setRecentFiles(const QStringList &files);

    // The bundled sample's file name for a template, e.g. "sample.zone".
    static QString bundledSampleName(int templateId);

private:
    QSettings &m_user;
    const QSettings &m_machine;
};
