#include "editor/mainframe.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>

#include "app/ids.h"
#include "document/openfilelistevent.h"
#include "document/quoreldoc.h"
#include "editor/childframe.h"
#include "editor/lockkeys.h"
#include "editor/quorelview.h"
#include "panes/dockingpanebar.h"
#include "panes/openfilelistdialog.h"

namespace {

struct CommandText {
    int id;
    const char *text; // menu text; after a tab, the shortcut shown
    const char *prompt; // status prompt; after a line break, the tooltip
};

// clang-format off
const CommandText kCommands[] = {
    { ids::ID_NEW_ZONE, "새 도메인 존 파일", "새 도메인 존파일을 작성합니다\n새 도메인 존파일" },
    { ids::ID_NEW_REVERSEZONE, "새 리버스 존 파일", "새 리버스 존 파일을 작성합니다\n새 리버스존 파일" },
    { ids::ID_NEW_NAMEDCONF, "새 도메인 conf 파일", "새 도메인 conf 파일을 작성합니다\n새 도메인 conf 파일" },
    { ids::ID_NEW_VIRTUALHOST, "새 가상호스트 conf 파일", "새 가상호스트 conf파일을 작성합니다\n새 가상호스트 conf 파일" },
    { ids::ID_FILE_NEW, "새 일반 파일(&N)\tCtrl+N", "새 문서를 작성합니다\n새 파일" },
    { ids::ID_FILE_NEW_CHOOSE, "새 파일", "새 문서를 작성합니다\n새 파일" },
    { ids::ID_CONV_WIZARD, "변환 마법사(&T)", "새로운 변환 작업을 시작합니다\n변환 마법사" },
    { ids::ID_FILE_OPEN, "파일 열기(&O)...\tCtrl+O", "기존 문서를 엽니다\n열기" },
    { ids::ID_FTP_OPEN, "FTP에서 불러오기", "FTP 서버로 부터 파일을 엽니다.\nFTP 열기" },
    { ids::ID_APP_EXIT, "종료(&X)", "응용 프로그램을 종료하기 위해 문서를 저장할 것인지 묻습니다\n종료" },
    { ids::ID_STRING_CONVERT, "문자열 변환", "문자열을 변환합니다\n문자열 변환" },
    { ids::ID_VIEW_TOOLBAR, "도구 모음(&T)", "도구 모음을 보이거나 감춥니다\n도구 모음 전환" },
    { ids::ID_VIEW_STATUS_BAR, "상태 표시줄(&S)", "상태 표시줄을 표시하거나 감춥니다\n상태 표시줄 전환" },
    { ids::ID_VIEW_FILETREE, "파일트리(&O)", "파일 트리창을 표시하거나 감춥니다\n파일트리창 전환" },
    { ids::ID_APP_ABOUT, "Quorel 정보(&A)...", "프로그램 정보와 버전 정보, 저작권 정보를 표시합니다\n컨버터 정보" },
    { ids::ID_UPDATE_INFO, "Update정보(&U)...", "" },
    { ids::ID_FILE_SAVE, "저장(&S)\tCtrl+S", "현재 열린 문서를 저장합니다\n저장" },
    { ids::ID_FTP_SAVE, "FTP로 저장하기", "FTP 서버로 파일을 저장합니다.\nFTP로 저장하기" },
    { ids::ID_FILE_SAVE_AS, "다른 이름으로 저장(&A)...", "현재 열린 문서를 다른 이름으로 저장합니다\n다른 이름으로 저장" },
    { ids::ID_SAVE_ALL, "모두 저장 (&l)", "현재 열린 모든 문서를 저장합니다.\n모두 저장하기" },
    { ids::ID_FILE_PRINT, "인쇄 하기(&P)", "현재 열린 문서를 인쇄합니다\n인쇄" },
    { ids::ID_FILE_PRINT_PREVIEW, "미리 보기(&V)", "쪽 전체를 표시합니다\n인쇄 미리 보기" },
    { ids::ID_FILE_PRINT_SETUP, "인쇄 설정(&U)", "프린터와 인쇄 옵션을 변경합니다\n인쇄 설정" },
    { ids::ID_FILE_CLOSE, "닫기(&C)", "현재 열린 문서를 닫습니다\n닫기" },
    { ids::ID_CLOSE_ALL, "모두 닫기(&F)", "현재 열린 모든 문서를 닫습니다\n모두 닫기" },
    { ids::ID_EDIT_UNDO, "취소(&U)\tCtrl+Z", "마지막으로 한 동작을 취소합니다\n실행 취소" },
    { ids::ID_EDIT_CUT, "잘라내기(&T)\tCtrl+X", "선택 부분을 잘라내어 클립보드에 넣습니다\n잘라내기" },
    { ids::ID_EDIT_COPY, "복사(&C)\tCtrl+C", "선택 부분을 복사하여 클립보드에 넣습니다\n복사" },
    { ids::ID_EDIT_PASTE, "붙여넣기(&P)\tCtrl+V", "클립보드의 내용을 붙여 넣습니다\n붙여넣기" },
    { ids::ID_EDIT_SELECT_ALL, "전체 선택(&L)\tCtrl+A", "문서 전체를 선택합니다\n전체 선택" },
    { ids::ID_EDIT_FIND, "찾기(&F)...\tCtrl+F", "지정한 문자열을 찾습니다\n찾기" },
    { ids::ID_EDIT_REPLACE, "바꾸기(&E)\tCtrl+H", "지정한 문자열을 다른 문자열로 바꿉니다\n바꾸기" },
    { ids::ID_CONVERT_TO_PUNY, "EUC-KR▷ Punycode", "현재 활성화된 Euc-Kr로 된 파일을 Punycode 파일로 변환합니다.\nPunycode 파일변환" },
    { ids::ID_CONVERT_TO_EUCKR, "Punycode▷  EUC-KR", "현재 활성화된 Punycode 파일을 Euc-Kr 파일로 변환합니다.\nEuc-Kr 파일변환" },
    { ids::ID_COMMENT, "주석 추가", "파일 변환시 기존의 문자열을 주석으로 놔둘지 결정합니다." },
    { ids::ID_WINDOW_CASCADE, "계단식(&C)", "서로 겹쳐지도록 창을 정렬합니다\n계단식 창" },
    { ids::ID_WINDOW_TILE_HORZ, "바둑판식(&T)", "서로 겹치지 않는 바둑판 모양으로 창을 정렬합니다\n바둑판식 창" },
    { ids::ID_WINDOW_ARRANGE, "아이콘 정렬(&A)", "창 아래쪽에 아이콘을 정렬합니다\n아이콘 정렬" },
};
// clang-format on

// Commands whose handlers other parts of the program provide; they stay
// disabled until those are wired in.
const int kNotYetHandled[]
    = {ids::ID_CONV_WIZARD, ids::ID_FTP_OPEN, ids::ID_FTP_SAVE, ids::ID_STRING_CONVERT, ids::ID_UPDATE_INFO,
        ids::ID_EDIT_FIND, ids::ID_EDIT_REPLACE, ids::ID_CONVERT_TO_PUNY, ids::ID_CONVERT_TO_EUCKR};

const int kDocumentCommands[] = {ids::ID_FILE_SAVE, ids::ID_FILE_SAVE_AS, ids::ID_SAVE_ALL,
    ids::ID_FILE_PRINT, ids::ID_FILE_PRINT_PREVIEW, ids::ID_FILE_CLOSE, ids::ID_CLOSE_ALL, ids::ID_EDIT_UNDO,
    ids::ID_EDIT_CUT, ids::ID_EDIT_COPY, ids::ID_EDIT_PASTE, ids::ID_EDIT_SELECT_ALL, ids::ID_WINDOW_CASCADE,
    ids::ID_WINDOW_TILE_HORZ, ids::ID_WINDOW_ARRANGE};

QString iconFor(int id)
{
    switch (id) {
    case ids::ID_FILE_NEW_CHOOSE:
        return QStringLiteral(":/icons/new.png");
    case ids::ID_FILE_OPEN:
        return QStringLiteral(":/icons/open.png");
    case ids::ID_FILE_SAVE:
        return QStringLiteral(":/icons/save.png");
    case ids::ID_FILE_PRINT:
        return QStringLiteral(":/icons/print.png");
    case ids::ID_EDIT_CUT:
        return QStringLiteral(":/icons/cut.png");
    case ids::ID_EDIT_COPY:
        return QStringLiteral(":/icons/copy.png");
    case ids::ID_EDIT_PASTE:
        return QStringLiteral(":/icons/paste.png");
    case ids::ID_CONV_WIZARD:
        return QStringLiteral(":/icons/wizard.png");
    case ids::ID_FTP_OPEN:
        return QStringLiteral(":/icons/ftp-open.png");
    case ids::ID_STRING_CONVERT:
        return QStringLiteral(":/icons/string-convert.png");
    case ids::ID_EDIT_FIND:
        return QStringLiteral(":/icons/find.png");
    case ids::ID_EDIT_REPLACE:
        return QStringLiteral(":/icons/replace.png");
    case ids::ID_APP_ABOUT:
        return QStringLiteral(":/icons/about.png");
    default:
        return {};
    }
}

} // namespace

CMainFrame::CMainFrame(QWidget *parent)
    : QMainWindow(parent)
    , m_pMdiArea(new QMdiArea(this))
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("린드바트"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/quorel.png")));
    setAcceptDrops(true);
    m_pMdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_pMdiArea);

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    createDockingPane();
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::onSubWindowActivated);
    showMenuSet(false);
    updateCommandStates();
}

CMainFrame::~CMainFrame()
{
    // Windows closing during destruction must not reach a half-gone frame.
    disconnect(m_pMdiArea, nullptr, this, nullptr);
    for (QMdiSubWindow *w : m_pMdiArea->subWindowList())
        disconnect(w, nullptr, this, nullptr);
    delete m_pPrinter;
}

QAction *CMainFrame::action(int id) const
{
    return m_actions.value(id);
}

void CMainFrame::createActions()
{
    for (const CommandText &c : kCommands) {
        auto *a = new QAction(QString::fromUtf8(c.text), this);
        a->setData(c.id);
        a->setObjectName(QStringLiteral("action%1").arg(c.id));
        const QString prompt = QString::fromUtf8(c.prompt);
        const qsizetype nl = prompt.indexOf(QLatin1Char('\n'));
        a->setStatusTip(nl < 0 ? prompt : prompt.left(nl));
        if (nl >= 0)
            a->setToolTip(prompt.mid(nl + 1));
        const QString icon = iconFor(c.id);
        if (!icon.isEmpty())
            a->setIcon(QIcon(icon));
        m_actions.insert(c.id, a);
    }
    auto keys = [this](int id, std::initializer_list<QKeySequence> sequences) {
        m_actions[id]->setShortcuts(QList<QKeySequence>(sequences));
        m_actions[id]->setShortcutContext(Qt::WindowShortcut);
    };
    keys(ids::ID_EDIT_SELECT_ALL, {QKeySequence(Qt::CTRL | Qt::Key_A)});
    keys(ids::ID_EDIT_COPY, {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    keys(ids::ID_EDIT_FIND, {QKeySequence(Qt::CTRL | Qt::Key_F)});
    keys(ids::ID_EDIT_REPLACE, {QKeySequence(Qt::CTRL | Qt::Key_H)});
    keys(ids::ID_FILE_NEW, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    keys(ids::ID_FILE_OPEN, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    keys(ids::ID_FILE_SAVE, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    keys(ids::ID_EDIT_PASTE, {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    keys(ids::ID_EDIT_CUT, {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    keys(ids::ID_EDIT_UNDO, {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});

    for (int id : kNotYetHandled)
        m_actions[id]->setEnabled(false);
    for (int id : kDocumentCommands)
        m_documentCommands.insert(id);

    for (int id : {ids::ID_VIEW_TOOLBAR, ids::ID_VIEW_STATUS_BAR, ids::ID_VIEW_FILETREE, ids::ID_COMMENT})
        m_actions[id]->setCheckable(true);
    m_actions[ids::ID_VIEW_FILETREE]->setChecked(true);

    // Commands of the frame and of the active view or document.
    auto on = [this](int id, auto handler) { connect(m_actions[id], &QAction::triggered, this, handler); };
    on(ids::ID_VIEW_FILETREE, [this] { OnViewFileTree(); });
    on(ids::ID_VIEW_TOOLBAR, [this](bool shown) { m_pToolBar->setVisible(shown); });
    on(ids::ID_VIEW_STATUS_BAR, [this](bool shown) { statusBar()->setVisible(shown); });
    on(ids::ID_FILE_SAVE, [this] {
        if (CQuorelView *view = activeView())
            view->OnFileSave();
    });
    on(ids::ID_FILE_SAVE_AS, [this] {
        if (CQuorelDoc *doc = activeDocument())
            doc->DoSave(QString());
    });
    on(ids::ID_FILE_CLOSE, [this] {
        if (CChildFrame *frame = activeChildFrame())
            frame->close();
    });
    on(ids::ID_EDIT_UNDO, [this] {
        if (CQuorelView *view = activeView())
            view->OnEditUndo();
    });
    on(ids::ID_EDIT_CUT, [this] {
        if (CQuorelView *view = activeView())
            view->cut();
    });
    on(ids::ID_EDIT_COPY, [this] {
        if (CQuorelView *view = activeView())
            view->copy();
    });
    on(ids::ID_EDIT_PASTE, [this] {
        if (CQuorelView *view = activeView())
            view->OnEditPaste();
    });
    on(ids::ID_EDIT_SELECT_ALL, [this] {
        if (CQuorelView *view = activeView())
            view->OnEditSelectAll();
    });
    on(ids::ID_FILE_PRINT, [this] { OnFilePrint(); });
    on(ids::ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
    on(ids::ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    on(ids::ID_WINDOW_CASCADE, [this] { m_pMdiArea->cascadeSubWindows(); });
    on(ids::ID_WINDOW_TILE_HORZ, [this] { m_pMdiArea->tileSubWindows(); });
    on(ids::ID_WINDOW_ARRANGE, [this] { arrangeIcons(); });
    on(ids::ID_APP_EXIT, [this] { close(); });
}

QMenu *CMainFrame::createNewFileMenu()
{
    auto *menu = new QMenu(QStringLiteral("새 파일"), this);
    for (int id : {ids::ID_NEW_ZONE, ids::ID_NEW_REVERSEZONE, ids::ID_NEW_NAMEDCONF, ids::ID_NEW_VIRTUALHOST,
             ids::ID_FILE_NEW})
        menu->addAction(m_actions[id]);
    return menu;
}

QMenu *CMainFrame::createFileMenu(bool withDocument)
{
    auto *menu = new QMenu(QStringLiteral("파일(&F)"), this);
    menu->setObjectName(withDocument ? QStringLiteral("fileMenuDocument") : QStringLiteral("fileMenu128"));
    menu->addMenu(createNewFileMenu());
    menu->addAction(m_actions[ids::ID_CONV_WIZARD]);
    menu->addAction(m_actions[ids::ID_FILE_OPEN]);
    menu->addAction(m_actions[ids::ID_FTP_OPEN]);
    menu->addSeparator();
    if (withDocument) {
        for (int id : {ids::ID_FILE_SAVE, ids::ID_FTP_SAVE, ids::ID_FILE_SAVE_AS, ids::ID_SAVE_ALL})
            menu->addAction(m_actions[id]);
        menu->addSeparator();
        for (int id : {ids::ID_FILE_PRINT, ids::ID_FILE_PRINT_PREVIEW, ids::ID_FILE_PRINT_SETUP})
            menu->addAction(m_actions[id]);
        menu->addSeparator();
        menu->addAction(m_actions[ids::ID_FILE_CLOSE]);
        menu->addAction(m_actions[ids::ID_CLOSE_ALL]);
        menu->addSeparator();
    }
    // The recent files: a disabled placeholder while the list is empty.
    auto *placeholder = menu->addAction(QStringLiteral("최근 파일"));
    placeholder->setData(ids::ID_FILE_MRU_FILE1);
    placeholder->setStatusTip(QStringLiteral("이 문서를 엽니다"));
    placeholder->setEnabled(false);
    m_recentActions << placeholder;
    for (int i = 0; i < 4; ++i) {
        auto *entry = menu->addAction(QString());
        entry->setData(ids::ID_FILE_MRU_FILE1 + i);
        entry->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
        entry->setStatusTip(QStringLiteral("이 문서를 엽니다"));
        entry->setVisible(false);
        connect(entry, &QAction::triggered, this, [this, i] {
            if (i < m_recentFiles.size())
                emit recentFileChosen(m_recentFiles.at(i));
        });
        m_recentActions << entry;
    }
    menu->addSeparator();
    menu->addAction(m_actions[ids::ID_APP_EXIT]);
    return menu;
}

QMenu *CMainFrame::createViewMenu()
{
    auto *menu = new QMenu(QStringLiteral("보기(&V)"), this);
    for (int id : {ids::ID_VIEW_TOOLBAR, ids::ID_VIEW_STATUS_BAR, ids::ID_VIEW_FILETREE})
        menu->addAction(m_actions[id]);
    return menu;
}

QMenu *CMainFrame::createHelpMenu()
{
    auto *menu = new QMenu(QStringLiteral("도움말(&H)"), this);
    menu->addAction(m_actions[ids::ID_APP_ABOUT]);
    menu->addAction(m_actions[ids::ID_UPDATE_INFO]);
    return menu;
}

void CMainFrame::createMenus()
{
    // Menu 128, shown while no document is open.
    m_noDocumentMenus << createFileMenu(false);
    auto *convert128 = new QMenu(QStringLiteral("한글변환(&C)"), this);
    convert128->addAction(m_actions[ids::ID_STRING_CONVERT]);
    m_noDocumentMenus << convert128 << createViewMenu() << createHelpMenu();

    // The document menus (130, 131, 132, 133, 149 are the same).
    m_documentMenus << createFileMenu(true);
    auto *edit = new QMenu(QStringLiteral("편집(&E)"), this);
    edit->setObjectName(QStringLiteral("editMenu"));
    edit->addAction(m_actions[ids::ID_EDIT_UNDO]);
    edit->addSeparator();
    for (int id : {ids::ID_EDIT_CUT, ids::ID_EDIT_COPY, ids::ID_EDIT_PASTE, ids::ID_EDIT_SELECT_ALL})
        edit->addAction(m_actions[id]);
    connect(edit, &QMenu::aboutToShow, this, [this] {
        updateEditCommands();
        if (CQuorelView *view = activeView())
            view->OnUpdateEditSelectAll(m_actions[ids::ID_EDIT_SELECT_ALL]);
    });
    // The disabled state the refresh gave "전체 선택" only concerns the menu.
    connect(edit, &QMenu::aboutToHide, this,
        [this] { m_actions[ids::ID_EDIT_SELECT_ALL]->setEnabled(activeView()); });
    auto *find = new QMenu(QStringLiteral("찾기(&S)"), this);
    find->addAction(m_actions[ids::ID_EDIT_FIND]);
    find->addAction(m_actions[ids::ID_EDIT_REPLACE]);
    auto *convert = new QMenu(QStringLiteral("한글변환(&C)"), this);
    convert->setObjectName(QStringLiteral("convertMenu"));
    convert->addAction(m_actions[ids::ID_STRING_CONVERT]);
    auto *fileConvert = convert->addMenu(QStringLiteral("파일변환(&D)"));
    fileConvert->addAction(m_actions[ids::ID_CONVERT_TO_PUNY]);
    fileConvert->addAction(m_actions[ids::ID_CONVERT_TO_EUCKR]);
    convert->addSeparator();
    convert->addAction(m_actions[ids::ID_COMMENT]);
    m_pWindowMenu = new QMenu(QStringLiteral("창(&W)"), this);
    for (int id : {ids::ID_WINDOW_CASCADE, ids::ID_WINDOW_TILE_HORZ, ids::ID_WINDOW_ARRANGE})
        m_pWindowMenu->addAction(m_actions[id]);
    connect(m_pWindowMenu, &QMenu::aboutToShow, this, &CMainFrame::updateWindowMenu);
    m_documentMenus << edit << find << convert << createViewMenu() << m_pWindowMenu << createHelpMenu();
}

void CMainFrame::showMenuSet(bool withDocument)
{
    if (withDocument == m_bShowingDocumentMenus && !menuBar()->actions().isEmpty())
        return;
    m_bShowingDocumentMenus = withDocument;
    menuBar()->clear();
    for (QMenu *menu : withDocument ? m_documentMenus : m_noDocumentMenus)
        menuBar()->addMenu(menu);
}

void CMainFrame::updateWindowMenu()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    const QList<QMdiSubWindow *> windows = m_pMdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowListActions << m_pWindowMenu->addSeparator();
    int n = 1;
    for (QMdiSubWindow *w : windows) {
        auto *a = m_pWindowMenu->addAction(QStringLiteral("&%1 %2").arg(n++).arg(w->windowTitle()));
        a->setCheckable(true);
        a->setChecked(w == m_pMdiArea->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_pMdiArea->setActiveSubWindow(w); });
        m_windowListActions << a;
    }
}

void CMainFrame::arrangeIcons()
{
    // Minimised windows are lined up along the bottom edge.
    int x = 0;
    const int bottom = m_pMdiArea->viewport()->height();
    for (QMdiSubWindow *w : m_pMdiArea->subWindowList()) {
        if (!w->isMinimized())
            continue;
        w->move(x, bottom - w->height());
        x += w->width();
    }
}

void CMainFrame::createToolBar()
{
    m_pToolBar = addToolBar(QStringLiteral("도구 모음"));
    m_pToolBar->setObjectName(QStringLiteral("toolBar128"));
    m_pToolBar->setProperty("controlId", ids::AFX_IDW_TOOLBAR);
    m_pToolBar->setIconSize(QSize(32, 32));
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pToolBar->setMovable(true);
    m_pToolBar->setFloatable(true);
    for (int id :
        {ids::ID_FILE_NEW_CHOOSE, ids::ID_FILE_OPEN, ids::ID_FILE_SAVE, ids::ID_FILE_PRINT, 0,
            ids::ID_EDIT_CUT, ids::ID_EDIT_COPY, ids::ID_EDIT_PASTE, 0, ids::ID_CONV_WIZARD, ids::ID_FTP_OPEN,
            ids::ID_STRING_CONVERT, ids::ID_EDIT_FIND, ids::ID_EDIT_REPLACE, ids::ID_APP_ABOUT}) {
        if (id == 0)
            m_pToolBar->addSeparator();
        else
            m_pToolBar->addAction(m_actions[id]);
    }
    m_actions[ids::ID_VIEW_TOOLBAR]->setChecked(true);
    connect(m_pToolBar, &QToolBar::visibilityChanged, m_actions[ids::ID_VIEW_TOOLBAR], &QAction::setChecked);
}

void CMainFrame::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setProperty("controlId", ids::AFX_IDW_STATUS_BAR);
    m_pMessagePane = new QLabel(QStringLiteral("준비"), bar);
    m_pMessagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_pMessagePane, 1);
    m_pCommentPane = new QLabel(bar);
    m_pCommentPane->setObjectName(QStringLiteral("commentPane"));
    m_pCommentPane->setMinimumWidth(50);
    m_pCommentPane->setAlignment(Qt::AlignCenter);
    bar->addPermanentWidget(m_pCommentPane);
    // The lock-key panes appear only where the platform tells their state;
    // elsewhere they would only show guesses.
    if (readLockKeys()) {
        for (const char *name : {"CAP", "NUM", "SCRL"}) {
            auto *pane = new QLabel(QString::fromLatin1(name), bar);
            pane->setObjectName(QStringLiteral("lockPane%1").arg(QString::fromLatin1(name)));
            pane->setAlignment(Qt::AlignCenter);
            pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(pane->text()) + 8);
            bar->addPermanentWidget(pane);
            m_lockPanes << pane;
        }
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &CMainFrame::updateLockPanes);
        timer->start(250);
        updateLockPanes();
    }
    m_actions[ids::ID_VIEW_STATUS_BAR]->setChecked(true);
}

void CMainFrame::updateLockPanes()
{
    const std::optional<LockKeyState> state = readLockKeys();
    if (!state || m_lockPanes.size() != 3)
        return;
    const bool on[] = {state->caps, state->num, state->scroll};
    const char *names[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i)
        m_lockPanes[i]->setText(on[i] ? QString::fromLatin1(names[i]) : QString());
}

void CMainFrame::createDockingPane()
{
    m_pDockingPane = new CDockingPaneBar(this);
    m_pOpenFileList = new COpenFileListDialog(m_pDockingPane);
    if (!m_pDockingPane->Create(this, m_pOpenFileList, QStringLiteral("현재 열린 파일목록"),
            ids::IDD_OPENFILELIST, Qt::LeftDockWidgetArea)) {
        delete m_pDockingPane;
        m_pDockingPane = nullptr;
        return;
    }
    connect(m_pDockingPane, &CDockingPaneBar::closedByButton, this, [this] {
        m_bPaneShown = false;
        m_actions[ids::ID_VIEW_FILETREE]->setChecked(false);
    });
    connect(m_pOpenFileList, &COpenFileListDialog::activateRequested, this, &CMainFrame::onActivateRequested);
}

void CMainFrame::OnViewFileTree()
{
    m_bPaneShown = !m_bPaneShown;
    if (m_pDockingPane)
        m_pDockingPane->setVisible(m_bPaneShown);
    m_actions[ids::ID_VIEW_FILETREE]->setChecked(m_bPaneShown);
}

void CMainFrame::onActivateRequested(quintptr key)
{
    // Only a window that still exists is activated.
    for (QMdiSubWindow *w : m_pMdiArea->subWindowList()) {
        if (reinterpret_cast<quintptr>(w) == key) {
            if (w->isVisible())
                m_pMdiArea->setActiveSubWindow(w);
            return;
        }
    }
}

bool CMainFrame::event(QEvent *e)
{
    if (e->type() == OpenFileListEvent::kType) {
        auto *notice = static_cast<OpenFileListEvent *>(e);
        if (m_pOpenFileList) {
            if (notice->isClosed())
                m_pOpenFileList->RemoveEntry(notice->key());
            else
                m_pOpenFileList->AddOrRenameEntry(notice->text(), notice->key());
        }
        notice->result = 0;
        return true;
    }
    return QMainWindow::event(e);
}

CChildFrame *CMainFrame::CreateChildFrame(CQuorelDoc *doc)
{
    auto *frame = new CChildFrame(doc);
    m_pMdiArea->addSubWindow(frame);
    frame->hide();
    CQuorelView *view = frame->view();
    connect(view, &QPlainTextEdit::copyAvailable, this, &CMainFrame::updateEditCommands);
    connect(view, &QPlainTextEdit::undoAvailable, this, &CMainFrame::updateEditCommands);
    emit viewCreated(view);
    connect(frame, &QObject::destroyed, this, [this] {
        if (m_pMdiArea->subWindowList().isEmpty())
            onSubWindowActivated(nullptr);
    });
    return frame;
}

void CMainFrame::ShowChildFrame(CChildFrame *frame)
{
    // The first window fills the client area; later ones follow the active
    // one's state.
    const QMdiSubWindow *active = m_pMdiArea->activeSubWindow();
    if (!active || active->isMaximized())
        frame->showMaximized();
    else
        frame->show();
    m_pMdiArea->setActiveSubWindow(frame);
    frame->view()->setFocus();
    onSubWindowActivated(frame);
}

QList<CChildFrame *> CMainFrame::childFrames() const
{
    QList<CChildFrame *> frames;
    for (QMdiSubWindow *w : m_pMdiArea->subWindowList()) {
        if (auto *f = qobject_cast<CChildFrame *>(w))
            frames << f;
    }
    return frames;
}

CChildFrame *CMainFrame::activeChildFrame() const
{
    // The current window stays known while the main window itself is inactive.
    return qobject_cast<CChildFrame *>(m_pMdiArea->currentSubWindow());
}

CQuorelView *CMainFrame::activeView() const
{
    CChildFrame *frame = activeChildFrame();
    return frame ? frame->view() : nullptr;
}

CQuorelDoc *CMainFrame::activeDocument() const
{
    CChildFrame *frame = activeChildFrame();
    return frame ? frame->document() : nullptr;
}

void CMainFrame::onSubWindowActivated(QMdiSubWindow *window)
{
    const bool any = window != nullptr || !childFrames().isEmpty();
    showMenuSet(any);
    if (window && m_pOpenFileList)
        m_pOpenFileList->ShowActiveEntry(reinterpret_cast<quintptr>(window));
    updateCommandStates();
}

void CMainFrame::registerDocumentCommand(int id)
{
    m_documentCommands.insert(id);
    updateCommandStates();
}

void CMainFrame::updateCommandStates()
{
    const bool hasDoc = activeChildFrame() != nullptr;
    for (int id : m_documentCommands) {
        if (QAction *a = m_actions.value(id))
            a->setEnabled(hasDoc);
    }
    updateEditCommands();
}

void CMainFrame::updateEditCommands()
{
    CQuorelView *view = activeView();
    const bool selection = view && view->textCursor().hasSelection();
    m_actions[ids::ID_EDIT_CUT]->setEnabled(selection);
    m_actions[ids::ID_EDIT_COPY]->setEnabled(selection);
    m_actions[ids::ID_EDIT_UNDO]->setEnabled(view && view->document()->isUndoAvailable());
    m_actions[ids::ID_EDIT_PASTE]->setEnabled(view && view->canPaste());
}

void CMainFrame::ShowCommentIndicator(int on)
{
    m_pCommentPane->setText(on == 1 ? QStringLiteral("주석처리") : QString());
}

QString CMainFrame::commentIndicatorText() const
{
    return m_pCommentPane->text();
}

void CMainFrame::SetStatusText(const QString &text)
{
    statusBar()->showMessage(text);
}

QString CMainFrame::statusText() const
{
    const QString message = statusBar()->currentMessage();
    return message.isEmpty() ? m_pMessagePane->text() : message;
}

void CMainFrame::setRecentFiles(const QStringList &files)
{
    m_recentFiles = files;
    // m_recentActions holds, per file menu, the placeholder then 4 entries.
    for (qsizetype base = 0; base + 5 <= m_recentActions.size(); base += 5) {
        m_recentActions[base]->setVisible(files.isEmpty());
        for (int i = 0; i < 4; ++i) {
            QAction *entry = m_recentActions[base + 1 + i];
            entry->setVisible(i < files.size());
            if (i < files.size())
                entry->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(
                    QString(files.at(i)).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        }
    }
}

QPrinter *CMainFrame::printer()
{
    if (!m_pPrinter) {
        m_pPrinter = new QPrinter(QPrinter::HighResolution);
        CQuorelView::applyPrintMargins(m_pPrinter);
    }
    return m_pPrinter;
}

void CMainFrame::OnFilePrint()
{
    CQuorelView *view = activeView();
    if (!view)
        return;
    QPrintDialog dialog(printer(), this);
    dialog.setWindowTitle(QStringLiteral("인쇄"));
    if (view->textCursor().hasSelection())
        dialog.setOption(QAbstractPrintDialog::PrintSelection);
    if (dialog.exec() == QDialog::Accepted)
        view->printTo(printer());
}

void CMainFrame::OnFilePrintPreview()
{
    CQuorelView *view = activeView();
    if (!view)
        return;
    QPrintPreviewDialog preview(printer(), this);
    preview.setWindowTitle(QStringLiteral("미리 보기"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, view, &CQuorelView::printTo);
    preview.exec();
}

void CMainFrame::OnFilePrintSetup()
{
    QPageSetupDialog dialog(printer(), this);
    dialog.setWindowTitle(QStringLiteral("인쇄 설정"));
    dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    if (canClose && !canClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    emit filesDropped(paths);
}
