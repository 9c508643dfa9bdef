// The menus, status prompts and keys as the user meets them: each menu is
// opened on the real menu bar, each item hovered with the mouse and its
// prompt read from the status bar, and the old keys pressed on the editor.
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "apptestfixture.h"
#include "menuclicks.h"
#include "platform/quorelids.h"

namespace {

struct MenuRow {
    const char *menu; // title on the menu bar
    const char *submenu; // title of the pop-up inside it, or empty
    int id;
    const char *text;
};

// clang-format off
// Menus 130 to 149, shown while a document is open.
const MenuRow kDocumentMenus[] = {
    {"파일(&F)", "새 파일", 32812, "새 도메인 존 파일"},
    {"파일(&F)", "새 파일", 32806, "새 리버스 존 파일"},
    {"파일(&F)", "새 파일", 32779, "새 도메인 conf 파일"},
    {"파일(&F)", "새 파일", 32780, "새 가상호스트 conf 파일"},
    {"파일(&F)", "새 파일", 57600, "새 일반 파일(&N)\tCtrl+N"},
    {"파일(&F)", "", 32778, "변환 마법사(&T)"},
    {"파일(&F)", "", 57601, "파일 열기(&O)...\tCtrl+O"},
    {"파일(&F)", "", 32772, "FTP에서 불러오기"},
    {"파일(&F)", "", 57603, "저장(&S)\tCtrl+S"},
    {"파일(&F)", "", 32771, "FTP로 저장하기"},
    {"파일(&F)", "", 57604, "다른 이름으로 저장(&A)..."},
    {"파일(&F)", "", 32836, "모두 저장 (&l)"},
    {"파일(&F)", "", 57607, "인쇄 하기(&P)"},
    {"파일(&F)", "", 57609, "미리 보기(&V)"},
    {"파일(&F)", "", 57606, "인쇄 설정(&U)"},
    {"파일(&F)", "", 57602, "닫기(&C)"},
    {"파일(&F)", "", 32792, "모두 닫기(&F)"},
    {"파일(&F)", "", 57665, "종료(&X)"},
    {"편집(&E)", "", 57643, "취소(&U)\tCtrl+Z"},
    {"편집(&E)", "", 57635, "잘라내기(&T)\tCtrl+X"},
    {"편집(&E)", "", 57634, "복사(&C)\tCtrl+C"},
    {"편집(&E)", "", 57637, "붙여넣기(&P)\tCtrl+V"},
    {"편집(&E)", "", 57642, "전체 선택(&L)\tCtrl+A"},
    {"찾기(&S)", "", 57636, "찾기(&F)...\tCtrl+F"},
    {"찾기(&S)", "", 57641, "바꾸기(&E)\tCtrl+H"},
    {"한글변환(&C)", "", 32784, "문자열 변환"},
    {"한글변환(&C)", "파일변환(&D)", 32802, "EUC-KR▷ Punycode"},
    {"한글변환(&C)", "파일변환(&D)", 32805, "Punycode▷  EUC-KR"},
    {"한글변환(&C)", "", 32804, "주석 추가"},
    {"보기(&V)", "", 59392, "도구 모음(&T)"},
    {"보기(&V)", "", 59393, "상태 표시줄(&S)"},
    {"보기(&V)", "", 32808, "파일트리(&O)"},
    {"창(&W)", "", 57650, "계단식(&C)"},
    {"창(&W)", "", 57651, "바둑판식(&T)"},
    {"창(&W)", "", 57649, "아이콘 정렬(&A)"},
    {"도움말(&H)", "", 57664, "Quorel 정보(&A)..."},
    {"도움말(&H)", "", 32791, "Update정보(&U)..."},
};

// Menu 128, shown while no document is open.
const MenuRow kNoDocumentMenus[] = {
    {"파일(&F)", "새 파일", 32812, "새 도메인 존 파일"},
    {"파일(&F)", "새 파일", 32806, "새 리버스 존 파일"},
    {"파일(&F)", "새 파일", 32779, "새 도메인 conf 파일"},
    {"파일(&F)", "새 파일", 32780, "새 가상호스트 conf 파일"},
    {"파일(&F)", "새 파일", 57600, "새 일반 파일(&N)\tCtrl+N"},
    {"파일(&F)", "", 32778, "변환 마법사(&T)"},
    {"파일(&F)", "", 57601, "파일 열기(&O)...\tCtrl+O"},
    {"파일(&F)", "", 32772, "FTP에서 불러오기"},
    {"파일(&F)", "", 57665, "종료(&X)"},
    {"한글변환(&C)", "", 32784, "문자열 변환"},
    {"보기(&V)", "", 59392, "도구 모음(&T)"},
    {"보기(&V)", "", 59393, "상태 표시줄(&S)"},
    {"보기(&V)", "", 32808, "파일트리(&O)"},
    {"도움말(&H)", "", 57664, "Quorel 정보(&A)..."},
    {"도움말(&H)", "", 32791, "Update정보(&U)..."},
};

struct PromptRow {
    int id;
    const char *prompt; // status text; after a line break, the tooltip
};

const PromptRow kPrompts[] = {
    {32771, "FTP 서버로 파일을 저장합니다.\nFTP로 저장하기"},
    {32772, "FTP 서버로 부터 파일을 엽니다.\nFTP 열기"},
    {32778, "새로운 변환 작업을 시작합니다\n변환 마법사"},
    {32779, "새 도메인 conf 파일을 작성합니다\n새 도메인 conf 파일"},
    {32780, "새 가상호스트 conf파일을 작성합니다\n새 가상호스트 conf 파일"},
    {32781, "새 문서를 작성합니다\n새 파일"},
    {32784, "문자열을 변환합니다\n문자열 변환"},
    {32792, "현재 열린 모든 문서를 닫습니다\n모두 닫기"},
    {32802, "현재 활성화된 Euc-Kr로 된 파일을 Punycode 파일로 변환합니다.\nPunycode 파일변환"},
    {32804, "파일 변환시 기존의 문자열을 주석으로 놔둘지 결정합니다."},
    {32805, "현재 활성화된 Punycode 파일을 Euc-Kr 파일로 변환합니다.\nEuc-Kr 파일변환"},
    {32806, "새 리버스 존 파일을 작성합니다\n새 리버스존 파일"},
    {32808, "파일 트리창을 표시하거나 감춥니다\n파일트리창 전환"},
    {32812, "새 도메인 존파일을 작성합니다\n새 도메인 존파일"},
    {32836, "현재 열린 모든 문서를 저장합니다.\n모두 저장하기"},
    {57600, "새 문서를 작성합니다\n새 파일"},
    {57601, "기존 문서를 엽니다\n열기"},
    {57602, "현재 열린 문서를 닫습니다\n닫기"},
    {57603, "현재 열린 문서를 저장합니다\n저장"},
    {57604, "현재 열린 문서를 다른 이름으로 저장합니다\n다른 이름으로 저장"},
    {57606, "프린터와 인쇄 옵션을 변경합니다\n인쇄 설정"},
    {57607, "현재 열린 문서를 인쇄합니다\n인쇄"},
    {57609, "쪽 전체를 표시합니다\n인쇄 미리 보기"},
    {57616, "이 문서를 엽니다"},
    {57634, "선택 부분을 복사하여 클립보드에 넣습니다\n복사"},
    {57635, "선택 부분을 잘라내어 클립보드에 넣습니다\n잘라내기"},
    {57636, "지정한 문자열을 찾습니다\n찾기"},
    {57637, "클립보드의 내용을 붙여 넣습니다\n붙여넣기"},
    {57641, "지정한 문자열을 다른 문자열로 바꿉니다\n바꾸기"},
    {57642, "문서 전체를 선택합니다\n전체 선택"},
    {57643, "마지막으로 한 동작을 취소합니다\n실행 취소"},
    {57649, "창 아래쪽에 아이콘을 정렬합니다\n아이콘 정렬"},
    {57650, "서로 겹쳐지도록 창을 정렬합니다\n계단식 창"},
    {57651, "서로 겹치지 않는 바둑판 모양으로 창을 정렬합니다\n바둑판식 창"},
    {57664, "프로그램 정보와 버전 정보, 저작권 정보를 표시합니다\n컨버터 정보"},
    {57665, "응용 프로그램을 종료하기 위해 문서를 저장할 것인지 묻습니다\n종료"},
    {59392, "도구 모음을 보이거나 감춥니다\n도구 모음 전환"},
    {59393, "상태 표시줄을 표시하거나 감춥니다\n상태 표시줄 전환"},
};

struct KeyRow {
    QKeyCombination key;
    int id;
};

const KeyRow kAccelerators[] = {
    {Qt::CTRL | Qt::Key_A, 57642}, {Qt::CTRL | Qt::Key_C, 57634}, {Qt::CTRL | Qt::Key_F, 57636},
    {Qt::CTRL | Qt::Key_H, 57641}, {Qt::CTRL | Qt::Key_N, 57600}, {Qt::CTRL | Qt::Key_O, 57601},
    {Qt::CTRL | Qt::Key_S, 57603}, {Qt::CTRL | Qt::Key_V, 57637}, {Qt::CTRL | Qt::Key_X, 57635},
    {Qt::CTRL | Qt::Key_Z, 57643}, {Qt::ALT | Qt::Key_Backspace, 57643},
    {Qt::SHIFT | Qt::Key_Delete, 57635}, {Qt::CTRL | Qt::Key_Insert, 57634},
    {Qt::SHIFT | Qt::Key_Insert, 57637},
};
// clang-format on

class MenuTableTest : public AppTest {
protected:
    QMenu *openMenu(const QString &title) { return ::openMenu(frame()->menuBar(), title); }
    void closeMenus()
    {
        ::closeMenus();
        settle();
    }
    // Walks every row on the menus the user sees: the item's text, its
    // number, and the prompt the status bar shows while the mouse is on it.
    template <size_t N> void checkMenus(const MenuRow (&rows)[N], QHash<int, QString> *prompts)
    {
        for (const MenuRow &row : rows) {
            SCOPED_TRACE(row.id);
            QMenu *menu = openMenu(QString::fromUtf8(row.menu));
            ASSERT_NE(menu, nullptr) << row.menu;
            if (*row.submenu)
                menu = openSubmenu(menu, QString::fromUtf8(row.submenu));
            ASSERT_NE(menu, nullptr) << row.submenu;
            QAction *item = itemOf(menu, row.id);
            ASSERT_NE(item, nullptr);
            // The comment option, on by default, renames its item when the
            // menu is refreshed.
            const QString text = row.id == ids::command::kComment ? QStringLiteral("주석문자 설정")
                                                                  : QString::fromUtf8(row.text);
            EXPECT_EQ(item->text(), text);
            if (prompts && item->isEnabled()) {
                frame()->statusBar()->clearMessage();
                QTest::mouseMove(menu, menu->actionGeometry(item).center());
                QTest::qWait(10);
                EXPECT_EQ(menu->activeAction(), item);
                prompts->insert(row.id, frame()->statusText());
            }
            closeMenus();
        }
    }
};

} // namespace

TEST_F(MenuTableTest, MenusWithoutADocument)
{
    ASSERT_TRUE(start());
    checkMenus(kNoDocumentMenus, nullptr);
}

TEST_F(MenuTableTest, MenusPromptsAndAcceleratorsAreTheDocumentedOnes)
{
    CQuorelView *view = startFocused("m.zone", QByteArray("www IN A 10.0.0.1\n"));
    ASSERT_NE(view, nullptr);
    frame()->setRecentFiles({dir.filePath(QStringLiteral("m.zone"))});
    // Every edit command enabled, so each can be hovered: an edit to undo,
    // a selection to cut or copy, a text to paste.
    view->insertText(QStringLiteral(";"));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    QHash<int, QString> shown;
    checkMenus(kDocumentMenus, &shown);

    // The recent files' entry, once there is one, and the toolbar's
    // new-file button that no menu carries.
    QMenu *file = openMenu(QStringLiteral("파일(&F)"));
    ASSERT_NE(file, nullptr);
    QAction *recent = itemOf(file, ids::command::kRecentFile1);
    ASSERT_NE(recent, nullptr);
    QTest::mouseMove(file, file->actionGeometry(recent).center());
    QTest::qWait(10);
    EXPECT_EQ(file->activeAction(), recent);
    shown.insert(57616, frame()->statusText());
    closeMenus();
    auto *toolBar = frame()->findChild<QToolBar *>();
    ASSERT_NE(toolBar, nullptr);
    QWidget *newButton = toolBar->widgetForAction(frame()->action(32781));
    ASSERT_NE(newButton, nullptr);
    frame()->statusBar()->clearMessage();
    QTest::mouseMove(newButton);
    QTest::qWait(10);
    shown.insert(32781, frame()->statusText());

    for (const PromptRow &row : kPrompts) {
        SCOPED_TRACE(row.id);
        const QStringList parts = QString::fromUtf8(row.prompt).split(QLatin1Char('\n'));
        EXPECT_EQ(shown.value(row.id, QStringLiteral("(not shown)")), parts.first());
        if (parts.size() > 1) {
            EXPECT_EQ(frame()->action(row.id)->toolTip(), parts.at(1));
        }
    }
    EXPECT_EQ(std::size(kPrompts), 38u);
    EXPECT_TRUE(frame()->action(32791)->statusTip().isEmpty());

    for (const KeyRow &row : kAccelerators) {
        SCOPED_TRACE(QKeySequence(row.key).toString().toStdString());
        EXPECT_TRUE(frame()->action(row.id)->shortcuts().contains(QKeySequence(row.key)));
    }
}

TEST_F(MenuTableTest, TheOldClipboardAndUndoKeysWorkOnTheEditor)
{
    CQuorelView *view = startFocused("k.zone", QByteArray("alpha beta\n"));
    ASSERT_NE(view, nullptr);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();

    // Ctrl+Insert copies the selection.
    view->setTextCursor(TextSelection {0, 5});
    QTest::keyClick(view, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("alpha"));
    EXPECT_EQ(viewText(*view), QStringLiteral("alpha beta\n"));

    // Shift+Delete cuts it.
    view->setTextCursor(TextSelection {6, 10});
    QTest::keyClick(view, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("beta"));
    EXPECT_EQ(viewText(*view), QStringLiteral("alpha \n"));

    // Shift+Insert pastes where the caret is.
    view->setTextCursor(TextSelection {0, 0});
    QTest::keyClick(view, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(viewText(*view), QStringLiteral("betaalpha \n"));

    // Alt+Backspace takes the paste back, then the cut.
    QTest::keyClick(view, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(viewText(*view), QStringLiteral("alpha \n"));
    QTest::keyClick(view, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(viewText(*view), QStringLiteral("alpha beta\n"));
}

TEST_F(MenuTableTest, SelectAllFromTheMenuIsRefusedOnceRightAfterASelectAll)
{
    CQuorelView *view = startFocused("s.zone", QByteArray("one\ntwo\n"));
    ASSERT_NE(view, nullptr);
    QAction *selectAll = frame()->action(ids::command::kEditSelectAll);

    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view->selectedText().size(), 8);
    QMenu *edit = openMenu(QStringLiteral("편집(&E)"));
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(selectAll->isEnabled());
    // A click on the greyed item does nothing and leaves the menu open.
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(selectAll).center());
    closeMenus();

    // The refresh cleared the guard: the next opening offers it again, and
    // choosing it selects the whole text.
    view->setTextCursor(TextSelection {2, 2});
    edit = openMenu(QStringLiteral("편집(&E)"));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(selectAll->isEnabled());
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(selectAll).center());
    settle();
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(view->textCursor(), (TextSelection {0, 8}));

    // A click in the text moves the selection: the user means the next
    // select-all, so the menu offers it at once.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(view->textCursor().hasSelection());
    edit = openMenu(QStringLiteral("편집(&E)"));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(selectAll->isEnabled());
    closeMenus();

    // Two select-alls from the context menu in a row both go through: its
    // refresh only clears the guard.
    for (int i = 0; i < 2; ++i) {
        view->setTextCursor(TextSelection {1, 1});
        QMenu *context = view->contextMenu();
        QTimer::singleShot(0, context, [context] {
            QAction *item = itemOf(context, ids::command::kContextSelectAll);
            if (item && context->isVisible())
                QTest::mouseClick(context, Qt::LeftButton, {}, context->actionGeometry(item).center());
            else
                context->close();
        });
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(4, 4));
        EXPECT_EQ(view->selectedText().size(), 8) << i;
    }
}
