#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

#include "document/doctemplate.h"
#include "document/documentcontext.h"
#include "document/openfilelistnotifier.h"
#include "ftp/ftpcontext.h"
#include "namecodec/codec.h"
#include "platform/settings.h"

class CChildFrame;
class CMainFrame;
class CQuorelDoc;
class BusyWorkRunner;
class CStringConvertDialog;
class EditorPreferences;
class FileWatch;
class FtpPrompter;
class Prompter;
class QSettings;
class SingleInstance;

struct AppOptions {
    bool showSplash = true;
    int splashMilliseconds = 1000;
    // Name of the channel a second instance hands its file over; empty
    // turns the hand-over off.
    QString instanceName;
    bool showMaximized = true;
    // Starts the network library; unset, the real one. A test puts in one
    // that fails, to see start-up end as it does on a broken installation.
    std::function<bool()> startNetwork;
};

// The application object of Quorel: the five document templates, the main
// frame, the open rule, the application-wide commands and the comment option.
class CQuorelApp : public QObject {
    Q_OBJECT
public:
    CQuorelApp(QSettings &user, const QSettings &machine, Prompter &prompter, AppOptions options = {});
    ~CQuorelApp() override;

    // Start-up: network library, main frame, command line (`args` without
    // the program name), splash, maximised window, comment option. False
    // ends the program.
    bool InitInstance(const QStringList &args);
    // Writes the comment option back; runs once, at the latest on destruction.
    void ExitInstance();

    CMainFrame *mainFrame() const { return m_mainFrame.get(); }
    CDocTemplates &templates() { return m_templates; }
    QuorelSettings &settings() { return m_settings; }
    DocumentContext &documentContext() { return m_context; }
    int commentOption() const { return m_commentOption; }

    // Every document of every template, in registration order.
    QList<CQuorelDoc *> documents() const;

    // The open rule: an already listed path opens again as a read-only copy,
    // the same path in other letter case brings its window forward.
    CQuorelDoc *OpenDocumentFile(const QString &path);
    CQuorelDoc *OnFileNew(int templateId);
    void OnFileNewChoose();
    void OnFileOpen();
    void OnCloseAll();
    void OnSaveAll();
    void OnToggleComment();
    void OnAppAbout();
    // 32791: the update notes of the installation, read afresh each time.
    void OnUpdateInfo();
    // 32784: the string converter, made on first use and kept until exit so
    // its history survives between openings.
    void OnStringConvert();
    CStringConvertDialog *stringConverter() const;
    // 32778: the conversion wizard, modal; the file it makes opens in a new window.
    void OnConvWizard();
    // 32802 and 32805 on the active document.
    bool OnConvertDocument(namecodec::Encoding from, namecodec::Encoding to);
    // Asked before the main window closes: every modified document is
    // offered for saving; false when the user cancels.
    bool SaveAllModified();

    void AddToRecentFileList(const QString &path);

    // What the FTP commands use: the server list path, the local FTP folder,
    // the prompter (a test may put its own in).
    FtpContext &ftpContext() { return m_ftpContext; }
    // The conversion wizard's "FTP 불러오기": the FTP browser in open mode;
    // the local path of the downloaded file (already open in an editor
    // window), or empty when the browser closed without one.
    QString OnFtpOpenForWizard();

private:
    // The editable document open on `path` (not a read-only copy), if any.
    CQuorelDoc *openDocumentAt(const QString &path) const;
    void activateDocument(CQuorelDoc *doc);
    CQuorelDoc *openWithTemplate(CDocTemplate &docTemplate, const QString &path);
    CQuorelDoc *openReported(const QString &path);
    void discardFrame(CChildFrame *frame);
    void updateCommentCommand();
    void connectCommands();
    void connectConversionCommands();
    void connectFtpCommands();
    void showSplash();
    bool startNetwork();
    void openRecentFile(const QString &path);
    void removeRecentFile(const QString &path);
    void watchFiles();
    void showEntryToolTip(quint64 documentId, const QString &text);
    void showEntryPlace(quint64 documentId);

    QuorelSettings m_settings;
    Prompter &m_prompter;
    AppOptions m_options;
    CDocTemplates m_templates;
    OpenFileListNotifier m_openFileListNotifier;
    DocumentContext m_context;
    std::unique_ptr<CMainFrame> m_mainFrame; // owns every editor window, hence every document
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<BusyWorkRunner> m_workRunner;
    std::unique_ptr<FileWatch> m_fileWatch;
    std::unique_ptr<EditorPreferences> m_editorPreferences;
    int m_commentOption = 1;
    QPointer<CStringConvertDialog> m_stringConverter;
    std::unique_ptr<FtpPrompter> m_ftpPrompter;
    FtpContext m_ftpContext;
    bool m_exited = false;
    bool m_networkStarted = false; // the real library, stopped with the application
    bool m_lastOpenDeclined = false;
};
