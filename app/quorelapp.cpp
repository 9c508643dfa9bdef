#include "app/quorelapp.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QScreen>

#include "app/aboutdialog.h"
#include "app/checkcommand.h"
#include "app/editorpreferences.h"
#include "app/singleinstance.h"
#include "app/splashdialog.h"
#include "document/memorypolicy.h"
#include "document/prompter.h"
#include "document/quoreldoc.h"
#include "editor/childframe.h"
#include "editor/filewatch.h"
#include "editor/mainframe.h"
#include "editor/offthreadwork.h"
#include "editor/outcomereport.h"
#include "editor/quorelview.h"
#include "editor/stringconvertdialog.h"
#include "ftp/ftpprompter.h"
#include "ftp/networklibrary.h"
#include "panes/openfilelistdialog.h"
#include "panes/updateinfodialog.h"
#include "platform/quorelids.h"

CQuorelApp::CQuorelApp(QSettings &user, const QSettings &machine, Prompter &prompter, AppOptions options)
    : m_settings(user, machine)
    , m_prompter(prompter)
    , m_options(std::move(options))
{
    m_context.prompter = &m_prompter;
    m_context.openFileList = &m_openFileListNotifier;
    m_context.settings = &m_settings;
    m_context.commentOption = [this] { return m_commentOption; };
    m_context.addRecentFile = [this](const QString &path) { AddToRecentFileList(path); };
}

CQuorelApp::~CQuorelApp()
{
    ExitInstance();
    // The windows go while the templates their documents are listed in
    // are still there; the string converter goes with its parent.
    m_mainFrame.reset();
    if (m_networkStarted)
        NetworkLibrary::stop();
}

bool CQuorelApp::InitInstance(const QStringList &args)
{
    keepLargeAllocationsApart();
    // Before any window: the program ends with nothing made and nothing of
    // the user's settings written.
    if (!startNetwork()) {
        m_prompter.information(QStringLiteral("Windows 소켓 초기화에 실패하였습니다."), m_context.appName);
        return false;
    }
    m_mainFrame = std::make_unique<CMainFrame>();
    if (COpenFileListDialog *list = m_mainFrame->openFileList()) {
        connect(&m_openFileListNotifier, &OpenFileListNotifier::entryChanged, list,
            [this, list](quint64 documentId, const QString &text) {
                list->AddOrRenameEntry(text, documentId);
                showEntryToolTip(documentId, text);
            });
        connect(&m_openFileListNotifier, &OpenFileListNotifier::entryClosed, list,
            &COpenFileListDialog::RemoveEntry);
    }
    m_workRunner = std::make_unique<BusyWorkRunner>(m_mainFrame.get());
    m_context.workRunner = m_workRunner.get();
    m_mainFrame->setRecentFiles(m_settings.recentFiles());
    m_mainFrame->canClose = [this] { return SaveAllModified(); };
    connectCommands();
    watchFiles();
    m_editorPreferences = std::make_unique<EditorPreferences>(m_settings, *m_mainFrame);

    if (!m_options.instanceName.isEmpty()) {
        m_instance = std::make_unique<SingleInstance>(m_options.instanceName);
        connect(m_instance.get(), &SingleInstance::pathsReceived, this, [this](const QStringList &paths) {
            WorkGate::runWhenIdle(this, [this, paths] {
                for (const QString &path : paths)
                    openReported(path);
                m_mainFrame->showNormal();
                m_mainFrame->showMaximized();
                m_mainFrame->raise();
                m_mainFrame->activateWindow();
            });
        });
        m_instance->listen();
    }

    // The command line: nothing gives one empty general document.
    const QStringList paths = args;
    if (paths.isEmpty()) {
        if (!OnFileNew(ids::templ::kGeneral))
            return false;
    } else if (!openReported(paths.front())) {
        return false;
    }

    if (m_options.showSplash)
        showSplash();
    if (m_options.showMaximized) {
        // Without a window manager "maximised" means nothing; fill the
        // screen ourselves so the window looks the same there.
        if (QScreen *screen = QGuiApplication::primaryScreen())
            m_mainFrame->setGeometry(screen->availableGeometry());
        m_mainFrame->showMaximized();
    } else
        m_mainFrame->show();

    m_commentOption = m_settings.commentOption();
    updateCommentCommand();
    return true;
}

bool CQuorelApp::startNetwork()
{
    if (m_options.startNetwork)
        return m_options.startNetwork();
    m_networkStarted = NetworkLibrary::start();
    return m_networkStarted;
}

void CQuorelApp::showSplash()
{
    // The picture stays for its full second over a program that is already
    // working: the window shows and answers, and a file handed over opens,
    // while it is up. It goes with the main window if that goes first.
    auto *splash = new CSplashDialog(m_mainFrame.get());
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    splash->closeAfter(m_options.splashMilliseconds);
}

void CQuorelApp::watchFiles()
{
    m_fileWatch = std::make_unique<FileWatch>();
    connect(m_mainFrame.get(), &CMainFrame::viewCreated, m_fileWatch.get(),
        [this](CQuorelView *view) { m_fileWatch->watch(view->GetDocument()); });
}

void CQuorelApp::showEntryToolTip(quint64 documentId, const QString &text)
{
    // The entry's text is the path for a file opened or saved, but only the
    // title for a read-only copy; the tooltip always names the file.
    QString path = QFileInfo(text).isAbsolute() ? text : QString();
    for (CQuorelDoc *doc : documents()) {
        if (doc->id() == documentId && path.isEmpty())
            path = doc->GetPathName();
    }
    m_mainFrame->openFileList()->setEntryToolTip(documentId, path.isEmpty() ? text : path);
    showEntryPlace(documentId);
}

void CQuorelApp::showEntryPlace(quint64 documentId)
{
    // A copy from a server is told apart from its namesakes by where it
    // came from, not by the local folder every download shares.
    for (CQuorelDoc *doc : documents()) {
        if (doc->id() != documentId)
            continue;
        const RemoteOrigin origin = doc->remoteOrigin();
        m_mainFrame->openFileList()->setEntryPlace(documentId,
            origin.isValid() ? origin.server + QLatin1Char(':') + origin.remotePath() : doc->GetPathName());
    }
}

void CQuorelApp::openRecentFile(const QString &path)
{
    if (!QFileInfo::exists(path)) {
        if (m_prompter.question(
                QStringLiteral("'%1' 파일이 더 이상 없습니다.\n최근 파일 목록에서 지우시겠습니까?").arg(path),
                m_context.appName))
            removeRecentFile(path);
        return;
    }
    // A file the user chose not to open (the large-file question) stays listed.
    if (!openReported(path) && !m_lastOpenDeclined)
        removeRecentFile(path);
}

void CQuorelApp::removeRecentFile(const QString &path)
{
    QStringList files = m_settings.recentFiles();
    files.removeAll(path);
    m_settings.setRecentFiles(files);
    m_mainFrame->setRecentFiles(files);
}

void CQuorelApp::ExitInstance()
{
    if (m_exited || !m_mainFrame)
        return;
    m_exited = true;
    m_settings.setCommentOption(m_commentOption);
}

void CQuorelApp::connectCommands()
{
    auto on = [this](int id, auto handler) {
        connect(m_mainFrame->action(id), &QAction::triggered, this, handler);
    };
    on(ids::command::kFileNew, [this] { OnFileNew(ids::templ::kGeneral); });
    on(ids::command::kNewZone, [this] { OnFileNew(ids::templ::kZone); });
    on(ids::command::kNewReverseZone, [this] { OnFileNew(ids::templ::kReverseZone); });
    on(ids::command::kNewNamedConf, [this] { OnFileNew(ids::templ::kNamedConf); });
    on(ids::command::kNewVirtualHost, [this] { OnFileNew(ids::templ::kVirtualHost); });
    on(ids::command::kFileNewChoose, [this] { OnFileNewChoose(); });
    on(ids::command::kFileOpen, [this] { OnFileOpen(); });
    on(ids::command::kCloseAll, [this] { OnCloseAll(); });
    on(ids::command::kSaveAll, [this] { OnSaveAll(); });
    on(ids::command::kComment, [this] { OnToggleComment(); });
    on(ids::command::kAppAbout, [this] { OnAppAbout(); });
    on(ids::command::kUpdateInfo, [this] { OnUpdateInfo(); });
    m_mainFrame->action(ids::command::kUpdateInfo)->setEnabled(true);
    connectConversionCommands();
    connectFtpCommands();
    new CheckCommand(*m_mainFrame, m_settings, m_prompter, m_mainFrame.get());
    connect(m_mainFrame.get(), &CMainFrame::filesDropped, this, [this](const QStringList &paths) {
        for (const QString &path : paths)
            openReported(path);
    });
    connect(m_mainFrame.get(), &CMainFrame::recentFileChosen, this, &CQuorelApp::openRecentFile);
}

QList<CQuorelDoc *> CQuorelApp::documents() const
{
    QList<CQuorelDoc *> docs;
    for (CDocTemplate *t : m_templates.registered()) {
        for (const auto &doc : t->documents())
            docs << doc.data();
    }
    return docs;
}

void CQuorelApp::discardFrame(CChildFrame *frame)
{
    // Whatever the failed step announced is taken back from the list.
    frame->document()->OnCloseDocument();
    // Taken back from the window area, the window is ours to free at once,
    // so no half-made window is ever listed.
    m_mainFrame->mdiArea()->removeSubWindow(frame);
    const std::unique_ptr<CChildFrame> discarded(frame);
}

CQuorelDoc *CQuorelApp::OnFileNew(int templateId)
{
    CDocTemplate *t = m_templates.byId(templateId);
    if (!t)
        return nullptr;
    CChildFrame *frame = m_mainFrame->createChildFrame(std::make_unique<CQuorelDoc>(*t, m_context));
    CQuorelDoc *doc = frame->document();
    if (!reportOutcome(*doc, doc->OnNewDocument())) {
        discardFrame(frame);
        return nullptr;
    }
    frame->view()->OnInitialUpdate();
    m_mainFrame->showChildFrame(frame);
    return doc;
}

void CQuorelApp::OnFileNewChoose()
{
    QStringList names;
    for (CDocTemplate *t : m_templates.registered())
        names << t->newName;
    const int chosen = m_prompter.chooseItem(QStringLiteral("새로운"), names);
    if (chosen < 0 || chosen >= static_cast<int>(m_templates.registered().size()))
        return;
    OnFileNew(m_templates.registered()[static_cast<std::size_t>(chosen)]->id);
}

void CQuorelApp::OnFileOpen()
{
    const QString path = m_prompter.openFileName(m_templates.openFilter());
    if (!path.isEmpty())
        openReported(path);
}

CQuorelDoc *CQuorelApp::openWithTemplate(CDocTemplate &docTemplate, const QString &path)
{
    CChildFrame *frame = m_mainFrame->createChildFrame(std::make_unique<CQuorelDoc>(docTemplate, m_context));
    CQuorelDoc *doc = frame->document();
    const DocumentOutcome opened = doc->OnOpenDocument(path);
    if (!reportOutcome(*doc, opened)) {
        m_lastOpenDeclined = opened.status == DocumentOutcome::Status::Cancelled;
        discardFrame(frame);
        return nullptr;
    }
    AddToRecentFileList(path);
    frame->view()->OnInitialUpdate();
    m_mainFrame->showChildFrame(frame);
    return doc;
}

CQuorelDoc *CQuorelApp::OpenDocumentFile(const QString &pathIn)
{
    m_lastOpenDeclined = false;
    if (pathIn.isEmpty())
        return nullptr;
    const QString path = QFileInfo(pathIn).absoluteFilePath();

    if (m_mainFrame->openFileList() && m_mainFrame->openFileList()->ContainsText(path)) {
        // Already open: a second window on the same file, which may never
        // be saved over the first.
        CQuorelDoc *copy = openWithTemplate(*m_templates.byId(ids::templ::kGeneral), path);
        if (copy && !copy->isReadOnly())
            copy->makeReadOnlyCopy();
        return copy;
    }

    for (CQuorelDoc *doc : documents()) {
        if (doc->GetPathName().compare(path, Qt::CaseInsensitive) != 0)
            continue;
        // Letter case alone does not make another file, unless the disk
        // holds a distinct file under the other spelling.
        const QFileInfo asked(path);
        const bool distinctFile = asked.exists()
            && asked.canonicalFilePath() != QFileInfo(doc->GetPathName()).canonicalFilePath();
        if (distinctFile)
            break;
        if (auto *frame = qobject_cast<CChildFrame *>(doc->frame())) {
            m_mainFrame->mdiArea()->setActiveSubWindow(frame);
            frame->raise();
        }
        return doc;
    }
    return openWithTemplate(*m_templates.forPath(path), path);
}

CQuorelDoc *CQuorelApp::openReported(const QString &path)
{
    CQuorelDoc *doc = OpenDocumentFile(path);
    if (!doc && !m_lastOpenDeclined) {
        m_prompter.information(
            QStringLiteral("파일을 열 수 없습니다.\n%1").arg(QFileInfo(path).absoluteFilePath()),
            m_context.appName);
    }
    return doc;
}

void CQuorelApp::OnCloseAll()
{
    for (CQuorelDoc *doc : documents()) {
        if (doc->IsModified()) {
            const bool saved = reportOutcome(*doc, doc->DoFileSave());
            // Edits the user has not given up stay open; a read-only copy
            // can never be saved and closes with its edits dropped.
            if (!saved && !doc->isReadOnly())
                continue;
        }
        if (auto *frame = qobject_cast<CChildFrame *>(doc->frame()))
            frame->closeWithoutAsking();
    }
}

void CQuorelApp::OnSaveAll()
{
    for (CQuorelDoc *doc : documents()) {
        if (doc->IsModified())
            reportOutcome(*doc, doc->DoFileSave());
    }
}

bool CQuorelApp::SaveAllModified()
{
    for (CQuorelDoc *doc : documents()) {
        if (!reportOutcome(*doc, doc->SaveModified()))
            return false;
    }
    return true;
}

void CQuorelApp::OnToggleComment()
{
    m_commentOption = m_commentOption == 0 ? 1 : 0;
    updateCommentCommand();
}

void CQuorelApp::updateCommentCommand()
{
    QAction *action = m_mainFrame->action(ids::command::kComment);
    const bool on = m_commentOption == 1;
    action->setChecked(on);
    action->setText(on ? QStringLiteral("주석문자 설정") : QStringLiteral("주석문자 해제"));
    m_mainFrame->ShowCommentIndicator(m_commentOption);
}

void CQuorelApp::OnAppAbout()
{
    CAboutDialog dialog(m_mainFrame.get());
    dialog.exec();
}

void CQuorelApp::OnUpdateInfo()
{
    CUpdateInfoDialog dialog(m_settings.installDirectory(), m_mainFrame.get());
    dialog.exec();
}

void CQuorelApp::AddToRecentFileList(const QString &path)
{
    QStringList files = m_settings.recentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > QuorelSettings::kRecentFileCount)
        files.removeLast();
    m_settings.setRecentFiles(files);
    m_mainFrame->setRecentFiles(files);
}
