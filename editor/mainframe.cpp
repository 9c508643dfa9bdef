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
#include <QTimer>
#include <QToolBar>

#include "document/quoreldoc.h"
#include "editor/childframe.h"
#include "editor/convfindreplacedialog.h"
#include "editor/lockkeys.h"
#include "editor/outcomereport.h"
#include "editor/quorelview.h"
#include "editor/statuspanes.h"
#include "editor/viewconversion.h"
#include "panes/dockingpanebar.h"
#include "panes/openfilelistdialog.h"
#include "platform/quorelids.h"

namespace {

struct CommandText {
    int id;
    const char *text; // menu text; after a tab, the shortcut shown
    const char *prompt; // status prompt; after a line break, the tooltip
};

// clang-format off
const CommandText kCommands[] = {
    { ids::command::kNewZone, "새 도메인 존 파일", "새 도메인 존파일을 작성합니다\n새 도메인 존파일" },
    { ids::command::kNewReverseZone, "새 리버스 존 파일", "새 리버스 존 파일을 작성합니다\n새 리버스존 파일" },
    { ids::command::kNewNamedConf, "새 도메인 conf 파일", "새 도메인 conf 파일을 작성합니다\n새 도메인 conf 파일" },
    { ids::command::kNewVirtualHost, "새 가상호스트 conf 파일", "새 가상호스트 conf파일을 작성합니다\n새 가상호스트 conf 파일" },
    { ids::command::kFileNew, "새 일반 파일(&N)\tCtrl+N", "새 문서를 작성합니다\n새 파일" },
    { ids::command::kFileNewChoose, "새 파일", "새 문서를 작성합니다\n새 파일" },
    { ids::command::kConvWizard, "변환 마법사(&T)", "새로운 변환 작업을 시작합니다\n변환 마법사" },
    { ids::command::kFileOpen, "파일 열기(&O)...\tCtrl+O", "기존 문서를 엽니다\n열기" },
    { ids::command::kFtpOpen, "FTP에서 불러오기", "FTP 서버로 부터 파일을 엽니다.\nFTP 열기" },
    { ids::command::kAppExit, "종료(&X)", "응용 프로그램을 종료하기 위해 문서를 저장할 것인지 묻습니다\n종료" },
    { ids::command::kStringConvert, "문자열 변환", "문자열을 변환합니다\n문자열 변환" },
    { ids::command::kViewToolBar, "도구 모음(&T)", "도구 모음을 보이거나 감춥니다\n도구 모음 전환" },
    { ids::command::kViewStatusBar, "상태 표시줄(&S)", "상태 표시줄을 표시하거나 감춥니다\n상태 표시줄 전환" },
    { ids::command::kViewFileTree, "파일트리(&O)", "파일 트리창을 표시하거나 감춥니다\n파일트리창 전환" },
    { ids::command::kViewLineNumbers, "줄 번호 보기(&L)", "문서 왼쪽에 줄 번호를 표시하거나 감춥니다\n줄 번호 보기" },
    { ids::command::kViewZoomIn, "확대(&I)\tCtrl++", "글자를 크게 표시합니다\n확대" },
    { ids::command::kViewZoomOut, "축소(&U)\tCtrl+-", "글자를 작게 표시합니다\n축소" },
    { ids::command::kViewZoomReset, "원래 크기(&Z)\tCtrl+0", "글자를 설정한 크기로 되돌립니다\n원래 크기" },
    { ids::command::kViewPreferences, "환경 설정(&P)...", "글꼴, 글꼴 크기, 탭 간격과 줄 번호 표시를 정합니다\n환경 설정" },
    { ids::command::kAppAbout, "Quorel 정보(&A)...", "프로그램 정보와 버전 정보, 저작권 정보를 표시합니다\n컨버터 정보" },
    { ids::command::kUpdateInfo, "Update정보(&U)...", "" },
    { ids::command::kFileSave, "저장(&S)\tCtrl+S", "현재 열린 문서를 저장합니다\n저장" },
    { ids::command::kFtpSave, "FTP로 저장하기", "FTP 서버로 파일을 저장합니다.\nFTP로 저장하기" },
    { ids::command::kFileSaveAs, "다른 이름으로 저장(&A)...", "현재 열린 문서를 다른 이름으로 저장합니다\n다른 이름으로 저장" },
    { ids::command::kSaveAll, "모두 저장 (&l)", "현재 열린 모든 문서를 저장합니다.\n모두 저장하기" },
    { ids::command::kFilePrint, "인쇄 하기(&P)", "현재 열린 문서를 인쇄합니다\n인쇄" },
    { ids::command::kFilePrintPreview, "미리 보기(&V)", "쪽 전체를 표시합니다\n인쇄 미리 보기" },
    { ids::command::kFilePrintSetup, "인쇄 설정(&U)", "프린터와 인쇄 옵션을 변경합니다\n인쇄 설정" },
    { ids::command::kFileClose, "닫기(&C)", "현재 열린 문서를 닫습니다\n닫기" },
    { ids::command::kCloseAll, "모두 닫기(&F)", "현재 열린 모든 문서를 닫습니다\n모두 닫기" },
    { ids::command::kEditUndo, "취소(&U)\tCtrl+Z", "마지막으로 한 동작을 취소합니다\n실행 취소" },
    { ids::command::kEditRedo, "다시 실행(&R)", "마지막으로 취소한 동작을 다시 실행합니다\n다시 실행" },
    { ids::command::kEditCut, "잘라내기(&T)\tCtrl+X", "선택 부분을 잘라내어 클립보드에 넣습니다\n잘라내기" },
    { ids::command::kEditCopy, "복사(&C)\tCtrl+C", "선택 부분을 복사하여 클립보드에 넣습니다\n복사" },
    { ids::command::kEditPaste, "붙여넣기(&P)\tCtrl+V", "클립보드의 내용을 붙여 넣습니다\n붙여넣기" },
    { ids::command::kEditSelectAll, "전체 선택(&L)\tCtrl+A", "문서 전체를 선택합니다\n전체 선택" },
    { ids::command::kEditFind, "찾기(&F)...\tCtrl+F", "지정한 문자열을 찾습니다\n찾기" },
    { ids::command::kEditReplace, "바꾸기(&E)\tCtrl+H", "지정한 문자열을 다른 문자열로 바꿉니다\n바꾸기" },
    { ids::command::kEditRepeat, "다음 찾기(&N)\tF3", "마지막으로 찾은 문자열을 다시 찾습니다\n다음 찾기" },
    { ids::command::kEditFindPrevious, "이전 찾기(&V)\tShift+F3", "마지막으로 찾은 문자열을 앞쪽으로 찾습니다\n이전 찾기" },
    { ids::command::kEditGoToLine, "줄 이동(&G)...\tCtrl+G", "지정한 줄로 캐럿을 옮깁니다\n줄 이동" },
    { ids::command::kConvertToPunycode, "EUC-KR▷ Punycode", "현재 활성화된 Euc-Kr로 된 파일을 Punycode 파일로 변환합니다.\nPunycode 파일변환" },
    { ids::command::kConvertToEucKr, "Punycode▷  EUC-KR", "현재 활성화된 Punycode 파일을 Euc-Kr 파일로 변환합니다.\nEuc-Kr 파일변환" },
    { ids::command::kCheckDocument, "검사(&K)\tF7", "현재 문서를 그 서버의 검사 프로그램으로 검사합니다. 문서는 바뀌지 않습니다\n검사" },
    { ids::command::kComment, "주석 추가", "파일 변환시 기존의 문자열을 주석으로 놔둘지 결정합니다." },
    { ids::command::kWindowCascade, "계단식(&C)", "서로 겹쳐지도록 창을 정렬합니다\n계단식 창" },
    { ids::command::kWindowTile, "바둑판식(&T)", "서로 겹치지 않는 바둑판 모양으로 창을 정렬합니다\n바둑판식 창" },
    { ids::command::kWindowArrange, "아이콘 정렬(&A)", "창 아래쪽에 아이콘을 정렬합니다\n아이콘 정렬" },
};
// clang-format on

// Commands whose handlers other parts of the program provide; they stay
// disabled until those are wired in.
const int kNotYetHandled[] = {ids::command::kConvWizard, ids::command::kFtpOpen, ids::command::kFtpSave,
    ids::command::kStringConvert, ids::command::kUpdateInfo, ids::command::kConvertToPunycode,
    ids::command::kConvertToEucKr};

const int kDocumentCommands[] = {ids::command::kFileSave, ids::command::kFileSaveAs, ids::command::kSaveAll,
    ids::command::kFilePrint, ids::command::kFilePrintPreview, ids::command::kFileClose,
    ids::command::kCloseAll, ids::command::kEditUndo, ids::command::kEditCut, ids::command::kEditCopy,
    ids::command::kEditPaste, ids::command::kEditSelectAll, ids::command::kEditFind,
    ids::command::kEditReplace, ids::command::kEditRepeat, ids::command::kEditFindPrevious,
    ids::command::kEditGoToLine, ids::command::kCheckDocument, ids::command::kWindowCascade,
    ids::command::kWindowTile, ids::command::kWindowArrange};

QString iconFor(int id)
{
    switch (id) {
    case ids::command::kFileNewChoose:
        return QStringLiteral(":/icons/new.png");
    case ids::command::kFileOpen:
        return QStringLiteral(":/icons/open.png");
    case ids::command::kFileSave:
        return QStringLiteral(":/icons/save.png");
    case ids::command::kFilePrint:
        return QStringLiteral(":/icons/print.png");
    case ids::command::kEditCut:
        return QStringLiteral(":/icons/cut.png");
    case ids::command::kEditCopy:
        return QStringLiteral(":/icons/copy.png");
    case ids::command::kEditPaste:
        return QStringLiteral(":/icons/paste.png");
    case ids::command::kConvWizard:
        return QStringLiteral(":/icons/wizard.png");
    case ids::command::kFtpOpen:
        return QStringLiteral(":/icons/ftp-open.png");
    case ids::command::kStringConvert:
        return QStringLiteral(":/icons/string-convert.png");
    case ids::command::kEditFind:
        return QStringLiteral(":/icons/find.png");
    case ids::command::kEditReplace:
        return QStringLiteral(":/icons/replace.png");
    case ids::command::kAppAbout:
        return QStringLiteral(":/icons/about.png");
    default:
        return {};
    }
}

} // namespace

CMainFrame::CMainFrame(QWidget *parent)
    : QMainWindow(parent)
    , m_mdiArea(new QMdiArea(this))
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("린드바트"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/quorel.png")));
    setAcceptDrops(true);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    createDockingPane();
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::onSubWindowActivated);
    showMenuSet(false);
    updateCommandStates();
}

CMainFrame::~CMainFrame()
{
    // Windows closing during destruction must not reach a half-gone frame.
    disconnect(m_mdiArea, nullptr, this, nullptr);
    for (QMdiSubWindow *w : m_mdiArea->subWindowList())
        disconnect(w, nullptr, this, nullptr);
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
        // Connected before any handler, so a command that reports something
        // replaces the last report rather than having it wiped afterwards.
        connect(a, &QAction::triggered, this, &CMainFrame::restoreIdleStatus);
    }
    auto keys = [this](int id, std::initializer_list<QKeySequence> sequences) {
        m_actions[id]->setShortcuts(QList<QKeySequence>(sequences));
        m_actions[id]->setShortcutContext(Qt::WindowShortcut);
    };
    keys(ids::command::kEditSelectAll, {QKeySequence(Qt::CTRL | Qt::Key_A)});
    keys(ids::command::kEditCopy,
        {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    keys(ids::command::kEditFind, {QKeySequence(Qt::CTRL | Qt::Key_F)});
    keys(ids::command::kEditReplace, {QKeySequence(Qt::CTRL | Qt::Key_H)});
    keys(ids::command::kEditRepeat, {QKeySequence(Qt::Key_F3)});
    keys(ids::command::kEditFindPrevious, {QKeySequence(Qt::SHIFT | Qt::Key_F3)});
    keys(ids::command::kEditGoToLine, {QKeySequence(Qt::CTRL | Qt::Key_G)});
    keys(ids::command::kCheckDocument, {QKeySequence(Qt::Key_F7)});
    keys(ids::command::kFileNew, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    keys(ids::command::kViewZoomIn,
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    keys(ids::command::kViewZoomOut, {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    keys(ids::command::kViewZoomReset, {QKeySequence(Qt::CTRL | Qt::Key_0)});
    keys(ids::command::kFileOpen, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    keys(ids::command::kFileSave, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    keys(ids::command::kEditPaste,
        {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    keys(ids::command::kEditCut,
        {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    keys(ids::command::kEditUndo,
        {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});

    addConventionalShortcuts();

    for (int id : kNotYetHandled)
        m_actions[id]->setEnabled(false);
    for (int id : kDocumentCommands)
        m_documentCommands.insert(id);

    for (int id : {ids::command::kViewToolBar, ids::command::kViewStatusBar, ids::command::kViewFileTree,
             ids::command::kComment, ids::command::kViewLineNumbers})
        m_actions[id]->setCheckable(true);
    m_actions[ids::command::kViewFileTree]->setChecked(true);
    m_actions[ids::command::kViewLineNumbers]->setChecked(true);

    connectCommands();
}

void CMainFrame::connectCommands()
{
    // Commands of the frame and of the active view or document.
    auto on = [this](int id, auto handler) { connect(m_actions[id], &QAction::triggered, this, handler); };
    // Commands that go to the active view alone; with none they do nothing.
    auto onView = [this](int id, void (CQuorelView::*command)()) {
        connect(m_actions[id], &QAction::triggered, this, [this, command] {
            if (CQuorelView *view = activeView())
                (view->*command)();
        });
    };
    on(ids::command::kViewFileTree, [this] { OnViewFileTree(); });
    on(ids::command::kViewToolBar, [this](bool shown) { m_toolBar->setVisible(shown); });
    on(ids::command::kViewStatusBar, [this](bool shown) { statusBar()->setVisible(shown); });
    on(ids::command::kFileSave, [this] {
        if (CQuorelView *view = activeView())
            view->OnFileSave();
    });
    onView(ids::command::kEditFind, &CQuorelView::OnEditFind);
    onView(ids::command::kEditReplace, &CQuorelView::OnEditReplace);
    onView(ids::command::kEditRepeat, &CQuorelView::OnEditRepeat);
    onView(ids::command::kEditFindPrevious, &CQuorelView::OnEditFindPrevious);
    onView(ids::command::kEditGoToLine, &CQuorelView::OnEditGoToLine);
    on(ids::command::kFileSaveAs, [this] {
        if (CQuorelDoc *doc = activeDocument())
            reportOutcome(*doc, doc->DoSave(QString()));
    });
    on(ids::command::kFileClose, [this] {
        if (CChildFrame *frame = activeChildFrame())
            frame->close();
    });
    onView(ids::command::kEditUndo, &CQuorelView::OnEditUndo);
    onView(ids::command::kEditRedo, &CQuorelView::OnEditRedo);
    onView(ids::command::kEditCut, &CQuorelView::cut);
    onView(ids::command::kEditCopy, &CQuorelView::copy);
    onView(ids::command::kEditPaste, &CQuorelView::OnEditPaste);
    onView(ids::command::kEditSelectAll, &CQuorelView::OnEditSelectAll);
    on(ids::command::kFilePrint, [this] { OnFilePrint(); });
    on(ids::command::kFilePrintPreview, [this] { OnFilePrintPreview(); });
    on(ids::command::kFilePrintSetup, [this] { OnFilePrintSetup(); });
    on(ids::command::kWindowCascade, [this] { m_mdiArea->cascadeSubWindows(); });
    on(ids::command::kWindowTile, [this] { m_mdiArea->tileSubWindows(); });
    on(ids::command::kWindowArrange, [this] { arrangeIcons(); });
    on(ids::command::kAppExit, [this] { close(); });
}

void CMainFrame::addConventionalShortcuts()
{
    // The keys users bring from other editors, beyond the accelerator table.
    // The menu shows each action's first key, since these texts carry none.
    auto add = [this](int id, std::initializer_list<QKeySequence> sequences) {
        QAction *a = m_actions.value(id);
        QList<QKeySequence> keys = a->shortcuts();
        keys.append(QList<QKeySequence>(sequences));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
    };
    add(ids::command::kFilePrint, {QKeySequence(Qt::CTRL | Qt::Key_P)});
    add(ids::command::kFileSaveAs, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
    add(ids::command::kEditRedo,
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    add(ids::command::kFileClose, {QKeySequence(Qt::CTRL | Qt::Key_W)});
    add(ids::command::kConvertToPunycode, {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P)});
    add(ids::command::kConvertToEucKr, {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K)});
}

void CMainFrame::leaveCloseKeyToFileMenu(QMdiSubWindow *window)
{
    // Qt gives an editor window's own menu the platform's close key (Ctrl+W
    // here) as well; two actions on one key would make the key do nothing.
    if (QMenu *menu = window->systemMenu()) {
        const QList<QKeySequence> ours = m_actions[ids::command::kFileClose]->shortcuts();
        for (QAction *a : menu->actions()) {
            QList<QKeySequence> keys = a->shortcuts();
            keys.removeIf([&ours](const QKeySequence &key) { return ours.contains(key); });
            if (keys.size() != a->shortcuts().size())
                a->setShortcuts(keys);
        }
    }
}

QMenu *CMainFrame::createNewFileMenu()
{
    auto *menu = new QMenu(QStringLiteral("새 파일"), this);
    for (int id : {ids::command::kNewZone, ids::command::kNewReverseZone, ids::command::kNewNamedConf,
             ids::command::kNewVirtualHost, ids::command::kFileNew})
        menu->addAction(m_actions[id]);
    return menu;
}

QMenu *CMainFrame::createFileMenu(bool withDocument)
{
    auto *menu = new QMenu(QStringLiteral("파일(&F)"), this);
    menu->setObjectName(
        withDocument ? QStringLiteral("fileMenuDocument") : QStringLiteral("fileMenuNoDocument"));
    menu->addMenu(createNewFileMenu());
    menu->addAction(m_actions[ids::command::kConvWizard]);
    menu->addAction(m_actions[ids::command::kFileOpen]);
    menu->addAction(m_actions[ids::command::kFtpOpen]);
    menu->addSeparator();
    if (withDocument) {
        for (int id : {ids::command::kFileSave, ids::command::kFtpSave, ids::command::kFileSaveAs,
                 ids::command::kSaveAll})
            menu->addAction(m_actions[id]);
        menu->addSeparator();
        for (int id :
            {ids::command::kFilePrint, ids::command::kFilePrintPreview, ids::command::kFilePrintSetup})
            menu->addAction(m_actions[id]);
        menu->addSeparator();
        menu->addAction(m_actions[ids::command::kFileClose]);
        menu->addAction(m_actions[ids::command::kCloseAll]);
        menu->addSeparator();
    }
    // The recent files: a disabled placeholder while the list is empty.
    auto *placeholder = menu->addAction(QStringLiteral("최근 파일"));
    placeholder->setData(ids::command::kRecentFile1);
    placeholder->setStatusTip(QStringLiteral("이 문서를 엽니다"));
    placeholder->setEnabled(false);
    m_recentActions << placeholder;
    for (int i = 0; i < 4; ++i) {
        auto *entry = menu->addAction(QString());
        entry->setData(ids::command::kRecentFile1 + i);
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
    menu->addAction(m_actions[ids::command::kAppExit]);
    return menu;
}

QMenu *CMainFrame::createViewMenu()
{
    auto *menu = new QMenu(QStringLiteral("보기(&V)"), this);
    for (int id : {ids::command::kViewToolBar, ids::command::kViewStatusBar, ids::command::kViewFileTree})
        menu->addAction(m_actions[id]);
    menu->addSeparator();
    for (int id : {ids::command::kViewLineNumbers, ids::command::kViewZoomIn, ids::command::kViewZoomOut,
             ids::command::kViewZoomReset})
        menu->addAction(m_actions[id]);
    menu->addSeparator();
    menu->addAction(m_actions[ids::command::kViewPreferences]);
    return menu;
}

QMenu *CMainFrame::createHelpMenu()
{
    auto *menu = new QMenu(QStringLiteral("도움말(&H)"), this);
    menu->addAction(m_actions[ids::command::kAppAbout]);
    menu->addAction(m_actions[ids::command::kUpdateInfo]);
    return menu;
}

void CMainFrame::createMenus()
{
    // Menu 128, shown while no document is open.
    m_noDocumentMenus << createFileMenu(false);
    auto *convertNoDocument = new QMenu(QStringLiteral("한글변환(&C)"), this);
    convertNoDocument->addAction(m_actions[ids::command::kStringConvert]);
    m_noDocumentMenus << convertNoDocument << createViewMenu() << createHelpMenu();

    // The document menus (130, 131, 132, 133, 149 are the same).
    m_documentMenus << createFileMenu(true);
    auto *edit = new QMenu(QStringLiteral("편집(&E)"), this);
    edit->setObjectName(QStringLiteral("editMenu"));
    edit->addAction(m_actions[ids::command::kEditUndo]);
    edit->addAction(m_actions[ids::command::kEditRedo]);
    edit->addSeparator();
    for (int id : {ids::command::kEditCut, ids::command::kEditCopy, ids::command::kEditPaste,
             ids::command::kEditSelectAll})
        edit->addAction(m_actions[id]);
    edit->addSeparator();
    edit->addAction(m_actions[ids::command::kEditGoToLine]);
    connect(edit, &QMenu::aboutToShow, this, [this] {
        updateEditCommands();
        if (CQuorelView *view = activeView())
            view->OnUpdateEditSelectAll(m_actions[ids::command::kEditSelectAll]);
    });
    // The disabled state the refresh gave "전체 선택" only concerns the menu.
    connect(edit, &QMenu::aboutToHide, this,
        [this] { m_actions[ids::command::kEditSelectAll]->setEnabled(activeView()); });
    auto *find = new QMenu(QStringLiteral("찾기(&S)"), this);
    find->addAction(m_actions[ids::command::kEditFind]);
    find->addAction(m_actions[ids::command::kEditReplace]);
    find->addSeparator();
    find->addAction(m_actions[ids::command::kEditRepeat]);
    find->addAction(m_actions[ids::command::kEditFindPrevious]);
    auto *convert = new QMenu(QStringLiteral("한글변환(&C)"), this);
    convert->setObjectName(QStringLiteral("convertMenu"));
    convert->addAction(m_actions[ids::command::kStringConvert]);
    auto *fileConvert = convert->addMenu(QStringLiteral("파일변환(&D)"));
    fileConvert->addAction(m_actions[ids::command::kConvertToPunycode]);
    fileConvert->addAction(m_actions[ids::command::kConvertToEucKr]);
    convert->addAction(m_actions[ids::command::kCheckDocument]);
    convert->addSeparator();
    convert->addAction(m_actions[ids::command::kComment]);
    m_windowMenu = new QMenu(QStringLiteral("창(&W)"), this);
    for (int id : {ids::command::kWindowCascade, ids::command::kWindowTile, ids::command::kWindowArrange})
        m_windowMenu->addAction(m_actions[id]);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &CMainFrame::updateWindowMenu);
    m_documentMenus << edit << find << convert << createViewMenu() << m_windowMenu << createHelpMenu();
}

void CMainFrame::showMenuSet(bool withDocument)
{
    if (withDocument == m_showingDocumentMenus && !menuBar()->actions().isEmpty())
        return;
    m_showingDocumentMenus = withDocument;
    menuBar()->clear();
    for (QMenu *menu : withDocument ? m_documentMenus : m_noDocumentMenus)
        menuBar()->addMenu(menu);
}

void CMainFrame::updateWindowMenu()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowListActions << m_windowMenu->addSeparator();
    int n = 1;
    for (QMdiSubWindow *w : windows) {
        auto *a = m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(n++).arg(w->windowTitle()));
        a->setCheckable(true);
        a->setChecked(w == m_mdiArea->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdiArea->setActiveSubWindow(w); });
        m_windowListActions << a;
    }
}

void CMainFrame::arrangeIcons()
{
    // Minimised windows are lined up along the bottom edge.
    int x = 0;
    const int bottom = m_mdiArea->viewport()->height();
    for (QMdiSubWindow *w : m_mdiArea->subWindowList()) {
        if (!w->isMinimized())
            continue;
        w->move(x, bottom - w->height());
        x += w->width();
    }
}

void CMainFrame::createToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("도구 모음"));
    m_toolBar->setObjectName(QStringLiteral("mainToolBar")); // toolbar resource 128
    m_toolBar->setProperty("controlId", ids::bar::kToolBar);
    m_toolBar->setIconSize(QSize(32, 32));
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    for (int id : {ids::command::kFileNewChoose, ids::command::kFileOpen, ids::command::kFileSave,
             ids::command::kFilePrint, 0, ids::command::kEditCut, ids::command::kEditCopy,
             ids::command::kEditPaste, 0, ids::command::kConvWizard, ids::command::kFtpOpen,
             ids::command::kStringConvert, ids::command::kEditFind, ids::command::kEditReplace,
             ids::command::kAppAbout}) {
        if (id == 0)
            m_toolBar->addSeparator();
        else
            m_toolBar->addAction(m_actions[id]);
    }
    m_actions[ids::command::kViewToolBar]->setChecked(true);
    connect(
        m_toolBar, &QToolBar::visibilityChanged, m_actions[ids::command::kViewToolBar], &QAction::setChecked);
}

void CMainFrame::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setProperty("controlId", ids::bar::kStatusBar);
    m_messagePane = new QLabel(QStringLiteral("준비"), bar);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_messagePane, 1);
    m_commentPane = new QLabel(bar);
    m_commentPane->setObjectName(QStringLiteral("commentPane"));
    m_commentPane->setMinimumWidth(50);
    m_commentPane->setAlignment(Qt::AlignCenter);
    bar->addPermanentWidget(m_commentPane);
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
    createStatusPanes();
    m_actions[ids::command::kViewStatusBar]->setChecked(true);
}

void CMainFrame::createStatusPanes()
{
    m_statusPanes = new StatusPanes(statusBar());
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
    // The frame owns the pane once it is docked; a pane that failed goes
    // with its list.
    auto pane = std::make_unique<CDockingPaneBar>(this);
    auto *list = new COpenFileListDialog(pane.get());
    if (!pane->Create(this, list, QStringLiteral("현재 열린 파일목록"), ids::dialog::kOpenFileList,
            Qt::LeftDockWidgetArea))
        return;
    m_dockingPane = pane.release();
    m_openFileList = list;
    connect(m_dockingPane, &CDockingPaneBar::closedByButton, this, [this] {
        m_paneShown = false;
        m_actions[ids::command::kViewFileTree]->setChecked(false);
    });
    connect(m_openFileList, &COpenFileListDialog::activateRequested, this, &CMainFrame::onActivateRequested);
}

void CMainFrame::OnViewFileTree()
{
    m_paneShown = !m_paneShown;
    if (m_dockingPane)
        m_dockingPane->setVisible(m_paneShown);
    m_actions[ids::command::kViewFileTree]->setChecked(m_paneShown);
}

void CMainFrame::onActivateRequested(quint64 documentId)
{
    // Only a window that still exists is activated.
    for (CChildFrame *frame : childFrames()) {
        if (frame->document() && frame->document()->id() == documentId) {
            if (frame->isVisible())
                m_mdiArea->setActiveSubWindow(frame);
            return;
        }
    }
}

CChildFrame *CMainFrame::createChildFrame(std::unique_ptr<CQuorelDoc> doc)
{
    auto *frame = new CChildFrame(std::move(doc));
    m_mdiArea->addSubWindow(frame);
    leaveCloseKeyToFileMenu(frame);
    frame->hide();
    CQuorelView *view = frame->view();
    view->setSelectionConverter(&convertViewSelection);
    connect(view, &TextView::copyAvailable, this, &CMainFrame::updateEditCommands);
    connect(view, &TextView::undoAvailable, this, &CMainFrame::updateEditCommands);
    connect(view, &TextView::redoAvailable, this, &CMainFrame::updateEditCommands);
    connect(view, &CQuorelView::searchReported, this, [this](const QString &text) {
        if (text.isEmpty())
            restoreIdleStatus();
        else
            SetStatusText(text);
    });
    connect(frame->document(), &CQuorelDoc::statusReported, this, &CMainFrame::SetStatusText);
    emit viewCreated(view);
    connect(frame, &QObject::destroyed, this, [this] {
        if (m_mdiArea->subWindowList().isEmpty())
            onSubWindowActivated(nullptr);
    });
    return frame;
}

void CMainFrame::showChildFrame(CChildFrame *frame)
{
    // The first window fills the client area; later ones follow the active
    // one's state.
    const QMdiSubWindow *active = m_mdiArea->activeSubWindow();
    if (!active || active->isMaximized())
        frame->showMaximized();
    else
        frame->show();
    m_mdiArea->setActiveSubWindow(frame);
    frame->view()->setFocus();
    onSubWindowActivated(frame);
}

QList<CChildFrame *> CMainFrame::childFrames() const
{
    QList<CChildFrame *> frames;
    for (QMdiSubWindow *w : m_mdiArea->subWindowList()) {
        if (auto *f = qobject_cast<CChildFrame *>(w))
            frames << f;
    }
    return frames;
}

CChildFrame *CMainFrame::activeChildFrame() const
{
    // The current window stays known while the main window itself is inactive.
    return qobject_cast<CChildFrame *>(m_mdiArea->currentSubWindow());
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
    auto *frame = qobject_cast<CChildFrame *>(window);
    if (frame && frame->document() && m_openFileList)
        m_openFileList->showActiveEntry(frame->document()->id());
    if (frame)
        showActiveFindDialog(frame);
    m_statusPanes->showView(frame ? frame->view() : activeView());
    updateCommandStates();
}

void CMainFrame::showActiveFindDialog(CChildFrame *active)
{
    // A find dialog searches its own view only: it steps aside while another
    // window is active, so it is never taken for that window's, and comes
    // back with its own. Only another editor window counts: the dialog
    // itself taking the focus leaves it alone.
    const char *const steppedAside = "quorelSteppedAside";
    for (CChildFrame *f : childFrames()) {
        CConvFindReplaceDialog *dialog = f->view() ? f->view()->findDialog() : nullptr;
        if (!dialog)
            continue;
        if (f == active && dialog->property(steppedAside).toBool()) {
            dialog->setProperty(steppedAside, false);
            dialog->show();
        } else if (f != active && dialog->isVisible()) {
            dialog->setProperty(steppedAside, true);
            dialog->hide();
        }
    }
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
    m_actions[ids::command::kEditCut]->setEnabled(selection);
    m_actions[ids::command::kEditCopy]->setEnabled(selection);
    m_actions[ids::command::kEditUndo]->setEnabled(view && view->canUndo());
    m_actions[ids::command::kEditRedo]->setEnabled(view && view->canRedo());
    m_actions[ids::command::kEditPaste]->setEnabled(view && view->canPaste());
}

void CMainFrame::ShowCommentIndicator(int on)
{
    m_commentPane->setText(on == 1 ? QStringLiteral("주석처리") : QString());
}

QString CMainFrame::commentIndicatorText() const
{
    return m_commentPane->text();
}

void CMainFrame::SetStatusText(const QString &text)
{
    // The pane itself holds the text: a temporary message would be wiped by
    // the next status tip, and a failure's reason must stay until the user
    // gives the next command.
    statusBar()->clearMessage();
    m_messagePane->setText(text);
    m_messagePane->setToolTip(text);
}

void CMainFrame::restoreIdleStatus()
{
    m_messagePane->setText(QStringLiteral("준비"));
    m_messagePane->setToolTip(QString());
}

QString CMainFrame::statusText() const
{
    const QString message = statusBar()->currentMessage();
    return message.isEmpty() ? m_messagePane->text() : message;
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
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        CQuorelView::applyPrintMargins(m_printer.get());
    }
    return m_printer.get();
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
