#include "document/textbuffer.h"
#include "editor/texthighlighter.h"
#include "editor/textview.h"
#include "editor/textviewmargin.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextCharFormat>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <memory>

// The view's layout cache, which no caller needs to see.
struct TextViewProbe {
    static int cachedLayouts(const TextView &view) { return view.m_layouts.size(); }
    // Lines whose cached layout holds other text than the buffer's line.
    static QList<int> staleLayouts(const TextView &view)
    {
        QList<int> stale;
        for (int line : view.m_layouts.cachedLines()) {
            if (line >= view.buffer()->lineCount()
                || view.m_layouts.cached(line)->text() != view.buffer()->line(line))
                stale.append(line);
        }
        return stale;
    }
    static const LineLayout *cachedLayout(const TextView &view, int line)
    {
        return view.m_layouts.cached(line);
    }
};

namespace {

// A focused view over its own buffer, shown offscreen.
class TextViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFont font(QStringLiteral("NanumGothicCoding"));
        font.setPixelSize(13);
        view.setFont(font);
        view.resize(400, 300);
        view.setBuffer(&buffer);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QApplication::setActiveWindow(&view);
        view.setFocus();
        QCoreApplication::processEvents();
    }

    void setText(const QString &text, int caret = 0)
    {
        buffer.setPlainText(text);
        view.setTextCursor({caret, caret});
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(&view, k, mods); }
    void keys(QKeySequence::StandardKey standard)
    {
        const QKeyCombination combination = QKeySequence(standard)[0];
        QTest::keyClick(&view, combination.key(), combination.keyboardModifiers());
    }
    // A point in the middle of the text at `column` of visible row `row`.
    QPoint pointAt(int position) const
    {
        TextSelection saved = view.textCursor();
        const_cast<TextView &>(view).setTextCursor({position, position});
        const QPoint p = view.cursorRect().center();
        const_cast<TextView &>(view).setTextCursor(saved);
        return p;
    }
    int caret() const { return view.textCursor().position; }
    // What an input method asks the focused widget.
    QVariant query(Qt::InputMethodQuery what) const
    {
        return static_cast<const QWidget &>(view).inputMethodQuery(what);
    }
    void sendIme(const QString &preedit, const QString &commit, int replaceFrom = 0, int replaceLength = 0)
    {
        QList<QInputMethodEvent::Attribute> attributes;
        attributes.append({QInputMethodEvent::Cursor, static_cast<int>(preedit.size()), 1});
        QInputMethodEvent event(preedit, attributes);
        if (!commit.isEmpty() || replaceLength)
            event.setCommitString(commit, replaceFrom, replaceLength);
        QApplication::sendEvent(&view, &event);
    }

    TextBuffer buffer;
    TextView view;
};

TEST_F(TextViewTest, TypedWordIsOneUndoStepAndRedoGivesItBack)
{
    QSignalSpy textChanged(&view, &TextView::textChanged);
    QSignalSpy undoAvailable(&view, &TextView::undoAvailable);
    QTest::keyClicks(&view, QStringLiteral("host1"));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("host1"));
    EXPECT_EQ(caret(), 5);
    EXPECT_GE(textChanged.count(), 5);
    ASSERT_FALSE(undoAvailable.isEmpty());
    EXPECT_TRUE(undoAvailable.last().at(0).toBool());

    keys(QKeySequence::Undo);
    EXPECT_EQ(buffer.toPlainText(), QString());
    EXPECT_EQ(caret(), 0);
    keys(QKeySequence::Redo);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("host1"));
    EXPECT_EQ(caret(), 5);

    // Tab types a tab rather than leaving the editor.
    key(Qt::Key_Tab);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("host1\t"));
    EXPECT_TRUE(view.hasFocus());
}

TEST_F(TextViewTest, EnterSplitsAndBackspaceOrDeleteJoinsLines)
{
    setText(QStringLiteral("abcd"), 2);
    key(Qt::Key_Return);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("ab\ncd"));
    EXPECT_EQ(caret(), 3);
    EXPECT_EQ(buffer.lineCount(), 2);
    key(Qt::Key_Backspace);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("abcd"));
    EXPECT_EQ(caret(), 2);

    setText(QStringLiteral("ab\ncd"), 2);
    key(Qt::Key_Delete);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("abcd"));
    EXPECT_EQ(caret(), 2);

    // Ctrl+Backspace takes back a word, a selection goes as a whole.
    setText(QStringLiteral("www.example.kr"), 14);
    keys(QKeySequence::DeleteStartOfWord);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("www.example."));
    view.setTextCursor({0, 4});
    key(Qt::Key_Backspace);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("example."));
}

TEST_F(TextViewTest, KeysMoveAndSelectAndTheClipboardRoundTrips)
{
    setText(QStringLiteral("alpha beta\ngamma"), 0);
    QSignalSpy copyAvailable(&view, &TextView::copyAvailable);
    keys(QKeySequence::SelectNextWord);
    EXPECT_EQ(view.selectedText(), QStringLiteral("alpha "));
    ASSERT_EQ(copyAvailable.count(), 1);
    EXPECT_TRUE(copyAvailable.at(0).at(0).toBool());
    keys(QKeySequence::SelectEndOfLine);
    EXPECT_EQ(view.selectedText(), QStringLiteral("alpha beta"));
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), QStringLiteral("alpha beta\ngamma"));

    keys(QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("alpha beta\ngamma"));
    // Right collapses the selection to its end, as editors do.
    key(Qt::Key_Right);
    EXPECT_FALSE(view.textCursor().hasSelection());
    EXPECT_EQ(caret(), buffer.length());
    key(Qt::Key_Return);
    keys(QKeySequence::Paste);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("alpha beta\ngamma\nalpha beta\ngamma"));

    // Pasted Windows line breaks become the buffer's own.
    QGuiApplication::clipboard()->setText(QStringLiteral("a\r\nb"));
    setText(QStringLiteral("x"), 1);
    keys(QKeySequence::Paste);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("xa\nb"));

    setText(QStringLiteral("cut me"), 0);
    keys(QKeySequence::SelectAll);
    keys(QKeySequence::Cut);
    EXPECT_EQ(buffer.toPlainText(), QString());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("cut me"));

    keys(QKeySequence::MoveToEndOfDocument);
    setText(QStringLiteral("one\ntwo\nthree"), 0);
    keys(QKeySequence::MoveToEndOfDocument);
    EXPECT_EQ(caret(), 13);
    keys(QKeySequence::MoveToStartOfDocument);
    EXPECT_EQ(caret(), 0);
}

TEST_F(TextViewTest, UpAndDownKeepTheColumnOverAShortLine)
{
    setText(QStringLiteral("abcdefgh\nab\nabcdefgh"), 6);
    key(Qt::Key_Down);
    EXPECT_EQ(caret(), 11); // the end of "ab"
    key(Qt::Key_Down);
    EXPECT_EQ(caret(), 12 + 6);
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    EXPECT_EQ(caret(), 6);
    // A move along the line forgets the kept column.
    key(Qt::Key_Left);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(caret(), 12 + 5);
}

TEST_F(TextViewTest, PageDownMovesTheCaretAndScrollsByAPage)
{
    QStringList lines;
    for (int i = 0; i < 1000; ++i)
        lines << QStringLiteral("line %1").arg(i);
    setText(lines.join(QLatin1Char('\n')), 0);
    const int page = view.verticalScrollBar()->pageStep();
    ASSERT_GT(page, 3);
    key(Qt::Key_PageDown);
    EXPECT_EQ(buffer.lineOf(caret()), page);
    EXPECT_EQ(view.firstVisibleLine(), page);
    key(Qt::Key_PageDown);
    EXPECT_EQ(buffer.lineOf(caret()), 2 * page);
    key(Qt::Key_PageUp);
    EXPECT_EQ(buffer.lineOf(caret()), page);
    EXPECT_EQ(view.firstVisibleLine(), page);

    // A caret set far away is scrolled to, and centred on request.
    view.setTextCursor({buffer.lineStart(700), buffer.lineStart(700)});
    EXPECT_LE(view.firstVisibleLine(), 700);
    EXPECT_GT(view.firstVisibleLine() + page, 700);
    view.centerCursor();
    EXPECT_EQ(view.firstVisibleLine(), 700 - page / 2);
}

TEST_F(TextViewTest, MouseClicksPlaceSelectWordsAndLines)
{
    setText(QStringLiteral("alpha beta gamma\n두번째 줄"), 0);
    QWidget *vp = view.viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, pointAt(8));
    EXPECT_EQ(caret(), 8);
    EXPECT_FALSE(view.textCursor().hasSelection());
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, pointAt(14));
    EXPECT_EQ(view.textCursor(), (TextSelection {8, 14}));
    // Below the last line is the end of the text.
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(20, vp->height() - 5));
    EXPECT_EQ(caret(), buffer.length());

    // Double-click: the word; drag on: whole words.
    const QPoint inBeta = pointAt(8);
    QTest::mouseClick(vp, Qt::LeftButton, {}, inBeta);
    QTest::mouseDClick(vp, Qt::LeftButton, {}, inBeta);
    EXPECT_EQ(view.selectedText(), QStringLiteral("beta"));
    QTest::mouseMove(vp, pointAt(13));
    EXPECT_EQ(view.selectedText(), QStringLiteral("beta gamma"));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, pointAt(13));
    if (QGuiApplication::clipboard()->supportsSelection()) {
        EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("beta gamma"));
    }

    // A Hangul word is one word.
    const QPoint inHangul = pointAt(18);
    QTest::mouseClick(vp, Qt::LeftButton, {}, inHangul);
    QTest::mouseDClick(vp, Qt::LeftButton, {}, inHangul);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, inHangul);
    EXPECT_EQ(view.selectedText(), QStringLiteral("두번째"));

    // Triple-click within the interval: the whole line with its break.
    QTest::mouseClick(vp, Qt::LeftButton, {}, inBeta);
    QTest::mouseDClick(vp, Qt::LeftButton, {}, inBeta);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, inBeta);
    QTest::mouseClick(vp, Qt::LeftButton, {}, inBeta);
    EXPECT_EQ(view.selectedText(), QStringLiteral("alpha beta gamma\n"));
}

TEST_F(TextViewTest, DragsAfterDoubleAndTripleClicksGrowByWordsAndLines)
{
    setText(QStringLiteral("one two three\nfour five\nsix"), 0);
    QWidget *vp = view.viewport();
    // Backwards from a double-clicked word: from the word's end to the start of the one reached.
    const QPoint inThree = pointAt(10);
    const QPoint inOne = pointAt(1);
    QTest::mouseClick(vp, Qt::LeftButton, {}, inThree);
    QTest::mouseDClick(vp, Qt::LeftButton, {}, inThree);
    QTest::mouseMove(vp, inOne);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, inOne);
    EXPECT_EQ(view.textCursor(), (TextSelection {13, 0}));

    // Triple-click on the middle line and drag down: whole lines, the last without a break.
    const QPoint inFive = pointAt(19);
    const QPoint inSix = pointAt(25);
    QTest::mouseClick(vp, Qt::LeftButton, {}, inFive);
    QTest::mouseDClick(vp, Qt::LeftButton, {}, inFive);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, inFive);
    QTest::mousePress(vp, Qt::LeftButton, {}, inFive);
    EXPECT_EQ(view.selectedText(), QStringLiteral("four five\n"));
    QTest::mouseMove(vp, inSix);
    EXPECT_EQ(view.selectedText(), QStringLiteral("four five\nsix"));
    QTest::mouseMove(vp, inOne);
    EXPECT_EQ(view.textCursor(), (TextSelection {24, 0}));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, inOne);
}

TEST_F(TextViewTest, DraggingBelowTheBottomEdgeScrollsAndExtendsTheSelection)
{
    QStringList lines;
    for (int i = 0; i < 500; ++i)
        lines << QStringLiteral("record%1 IN A 10.0.0.1").arg(i);
    setText(lines.join(QLatin1Char('\n')), 0);
    QWidget *vp = view.viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, pointAt(2));
    QTest::mouseMove(vp, QPoint(40, vp->height() + 30));
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.firstVisibleLine() >= 5; }, 5000));
    const int shownAfter = view.firstVisibleLine();
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(40, vp->height() + 30));
    EXPECT_EQ(view.textCursor().anchor, 2);
    // The selection reaches at least the last line now on screen.
    EXPECT_GE(buffer.lineOf(caret()), shownAfter + view.verticalScrollBar()->pageStep() - 1);
    // Released, it stops.
    const int stopped = view.firstVisibleLine();
    QTest::qWait(200);
    EXPECT_EQ(view.firstVisibleLine(), stopped);
}

TEST_F(TextViewTest, InputMethodCompositionIsShownInPlaceAndCommittedAsOneStep)
{
    setText(QStringLiteral("ab"), 1);
    const QRect caretBefore = view.cursorRect();
    const QImage before = view.viewport()->grab().toImage();

    sendIme(QStringLiteral("ㅎ"), QString());
    sendIme(QStringLiteral("하"), QString());
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("ab"));
    EXPECT_EQ(query(Qt::ImSurroundingText).toString(), QStringLiteral("ab"));
    EXPECT_EQ(query(Qt::ImCursorPosition).toInt(), 1);
    // The caret stands after the composition, which is drawn.
    EXPECT_GT(view.cursorRect().left(), caretBefore.left());
    EXPECT_NE(view.viewport()->grab().toImage(), before);
    if (qEnvironmentVariableIsSet("QUOREL_SHOT_DIR")) // to look at it
        view.grab().save(qEnvironmentVariable("QUOREL_SHOT_DIR") + QStringLiteral("/textview-preedit.png"));

    sendIme(QStringLiteral("ㄱ"), QStringLiteral("한"));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("a한b"));
    sendIme(QString(), QStringLiteral("글"));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("a한글b"));
    EXPECT_EQ(caret(), 3);
    // The method may take back what it committed.
    sendIme(QString(), QStringLiteral("귤"), -1, 1);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("a한귤b"));

    // A selection is replaced by what is committed.
    view.setTextCursor({0, 1});
    sendIme(QString(), QStringLiteral("가"));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("가한귤b"));
    EXPECT_EQ(query(Qt::ImCurrentSelection).toString(), QString());
    EXPECT_TRUE(query(Qt::ImEnabled).toBool());
    EXPECT_EQ(query(Qt::ImFont).value<QFont>().pixelSize(), 13);

    // The syllables typed in a row are taken back together.
    setText(QStringLiteral("x"), 1);
    sendIme(QStringLiteral("ㅎ"), QString());
    sendIme(QStringLiteral("ㄱ"), QStringLiteral("한"));
    sendIme(QString(), QStringLiteral("글"));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("x한글"));
    keys(QKeySequence::Undo);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("x"));
}

TEST_F(TextViewTest, ReadOnlyRefusesEditsButMovesAndCopies)
{
    setText(QStringLiteral("keep\nthis"), 0);
    view.setReadOnly(true);
    QTest::keyClicks(&view, QStringLiteral("xyz"));
    key(Qt::Key_Return);
    key(Qt::Key_Delete);
    keys(QKeySequence::Paste);
    sendIme(QString(), QStringLiteral("한"));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("keep\nthis"));
    EXPECT_FALSE(query(Qt::ImEnabled).toBool());

    key(Qt::Key_Down);
    keys(QKeySequence::SelectEndOfLine);
    EXPECT_EQ(view.selectedText(), QStringLiteral("this"));
    keys(QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("this"));
    keys(QKeySequence::Cut);
    keys(QKeySequence::Undo);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("keep\nthis"));

    // The program may still edit, as with Qt's editors.
    view.insertText(QStringLiteral("that"));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("keep\nthat"));
}

TEST_F(TextViewTest, TheEditingMenuActsOnTheSelectionAndFollowsReadOnly)
{
    setText(QStringLiteral("zone one"), 0);
    view.setTextCursor({5, 8});
    auto item = [](QMenu *menu, QKeySequence::StandardKey key, const char *name = nullptr) -> QAction * {
        for (QAction *action : menu->actions()) {
            if (name ? action->text() == QCoreApplication::translate("QWidgetTextControl", name)
                     : action->shortcut() == QKeySequence(key))
                return action;
        }
        return nullptr;
    };
    std::unique_ptr<QMenu> menu(view.createStandardContextMenu());
    ASSERT_NE(item(menu.get(), QKeySequence::Copy), nullptr);
    EXPECT_TRUE(item(menu.get(), QKeySequence::Cut)->isEnabled());
    EXPECT_FALSE(item(menu.get(), QKeySequence::Undo)->isEnabled());
    QAction *remove = item(menu.get(), {}, "Delete");
    ASSERT_NE(remove, nullptr);
    remove->trigger();
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("zone "));

    menu.reset(view.createStandardContextMenu());
    EXPECT_TRUE(item(menu.get(), QKeySequence::Undo)->isEnabled());
    EXPECT_FALSE(item(menu.get(), QKeySequence::Copy)->isEnabled()); // nothing selected now
    item(menu.get(), QKeySequence::Undo)->trigger();
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("zone one"));

    view.setReadOnly(true);
    view.setTextCursor({0, 4});
    menu.reset(view.createStandardContextMenu());
    EXPECT_TRUE(item(menu.get(), QKeySequence::Copy)->isEnabled());
    EXPECT_FALSE(item(menu.get(), QKeySequence::Cut)->isEnabled());
    EXPECT_FALSE(item(menu.get(), QKeySequence::Paste)->isEnabled());
    EXPECT_FALSE(item(menu.get(), {}, "Delete")->isEnabled());
}

TEST_F(TextViewTest, AssistiveTechnologyReadsLinesWordsAndTheCaretAndEdits)
{
    setText(QStringLiteral("zone 한국.kr\nsecond line\n"), 3);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    QAccessibleTextInterface *text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), buffer.length());
    EXPECT_EQ(text->cursorPosition(), 3);

    int start = 0;
    int end = 0;
    EXPECT_EQ(
        text->textAtOffset(14, QAccessible::LineBoundary, &start, &end), QStringLiteral("second line\n"));
    EXPECT_EQ(start, 11);
    EXPECT_EQ(end, 23);
    EXPECT_EQ(text->textBeforeOffset(14, QAccessible::LineBoundary, &start, &end),
        QStringLiteral("zone 한국.kr\n"));
    EXPECT_EQ(
        text->textAfterOffset(3, QAccessible::LineBoundary, &start, &end), QStringLiteral("second line\n"));
    EXPECT_EQ(text->textAtOffset(6, QAccessible::WordBoundary, &start, &end), QStringLiteral("한국"));
    EXPECT_EQ(start, 5);
    EXPECT_EQ(text->textAtOffset(10, QAccessible::CharBoundary, &start, &end), QStringLiteral("\n"));
    // Past the last line there is nothing after.
    EXPECT_TRUE(text->textAfterOffset(14, QAccessible::LineBoundary, &start, &end).isEmpty());
    EXPECT_EQ(start, -1);

    const QRect first = text->characterRect(0);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(text->offsetAtPoint(first.center()), 0);
    EXPECT_EQ(text->offsetAtPoint(text->characterRect(12).center()), 12);

    text->setSelection(0, 0, 4);
    EXPECT_EQ(view.selectedText(), QStringLiteral("zone"));
    EXPECT_EQ(text->selectionCount(), 1);
    QAccessibleEditableTextInterface *edit = accessible->editableTextInterface();
    ASSERT_NE(edit, nullptr);
    edit->replaceText(0, 4, QStringLiteral("name"));
    EXPECT_EQ(buffer.line(0), QStringLiteral("name 한국.kr"));

    view.setReadOnly(true);
    EXPECT_TRUE(accessible->state().readOnly);
    EXPECT_EQ(accessible->editableTextInterface(), nullptr);
}

TEST_F(TextViewTest, StandardEditingKeysAreNotTakenByShortcuts)
{
    const auto overridden = [&](int key, Qt::KeyboardModifiers mods, const QString &text = QString()) {
        QKeyEvent event(QEvent::ShortcutOverride, key, mods, text);
        event.ignore();
        QApplication::sendEvent(&view, &event);
        return event.isAccepted();
    };
    setText(QStringLiteral("text"), 0);
    EXPECT_TRUE(overridden(Qt::Key_C, Qt::ControlModifier));
    EXPECT_TRUE(overridden(Qt::Key_V, Qt::ControlModifier));
    EXPECT_TRUE(overridden(Qt::Key_Z, Qt::ControlModifier));
    EXPECT_TRUE(overridden(Qt::Key_A, Qt::ControlModifier));
    EXPECT_TRUE(overridden(Qt::Key_Delete, Qt::NoModifier));
    EXPECT_TRUE(overridden(Qt::Key_Home, Qt::ShiftModifier));
    EXPECT_TRUE(overridden(Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
    EXPECT_FALSE(overridden(Qt::Key_O, Qt::ControlModifier)); // the window's Open
    EXPECT_FALSE(overridden(Qt::Key_F3, Qt::NoModifier)); // Find Next
    // The conversions' shortcuts carry text on some platforms, yet are commands.
    EXPECT_FALSE(overridden(Qt::Key_P, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("p")));

    view.setReadOnly(true);
    EXPECT_TRUE(overridden(Qt::Key_C, Qt::ControlModifier));
    EXPECT_FALSE(overridden(Qt::Key_V, Qt::ControlModifier));
    EXPECT_FALSE(overridden(Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
}

TEST_F(TextViewTest, AnEditFromElsewhereMovesTheCaretWithTheText)
{
    setText(QStringLiteral("0123456789"), 0);
    view.setTextCursor({4, 8});
    buffer.replace(0, 0, QStringLiteral("ab"), TextSelection {});
    EXPECT_EQ(view.textCursor(), (TextSelection {6, 10}));
    buffer.replace(7, 12, QString(), TextSelection {});
    EXPECT_EQ(view.textCursor(), (TextSelection {6, 7}));
    // Inside a replaced stretch: its start; at its end: after the new text.
    buffer.replace(0, buffer.length(), QStringLiteral("x"), TextSelection {});
    EXPECT_EQ(view.textCursor(), (TextSelection {0, 1}));

    // Undo gives back the selection the edit started from.
    setText(QStringLiteral("abc def"), 0);
    view.setTextCursor({4, 7});
    QTest::keyClicks(&view, QStringLiteral("x"));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("abc x"));
    keys(QKeySequence::Undo);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("abc def"));
    EXPECT_EQ(view.textCursor(), (TextSelection {4, 7}));
}

TEST_F(TextViewTest, LayoutsFollowLinesInsertedAndRemovedAbove)
{
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << QStringLiteral("line %1").arg(i);
    setText(lines.join(QLatin1Char('\n')), 0);
    // Someone listening to the change asks for the caret's place before the
    // view has heard which lines moved.
    QObject::connect(&buffer, &TextBuffer::changed, &view, [&] {
        view.cursorRect();
        view.positionAt(QPoint(10, 40));
    });
    const struct {
        int line, column, removed;
        QString text;
    } edits[] = {
        {2, 2, 0, QStringLiteral("a\nb\nc")},
        {1, 0, 20, QString()},
        {0, 3, 0, QStringLiteral("x")},
        {4, 0, 1, QString()},
    };
    for (const auto &edit : edits) {
        SCOPED_TRACE(edit.text.toStdString());
        // The caret at the foot of the screen, the edit above it.
        const int caret = buffer.lineStart(60);
        view.setTextCursor({caret, caret});
        view.viewport()->grab();
        ASSERT_GT(TextViewProbe::cachedLayouts(view), 10);
        const int from = buffer.lineStart(edit.line) + edit.column;
        buffer.replace(from, from + edit.removed, edit.text, TextSelection {from, from});
        view.viewport()->grab();
        EXPECT_EQ(TextViewProbe::staleLayouts(view), QList<int>());
        view.undo();
        view.viewport()->grab();
        EXPECT_EQ(TextViewProbe::staleLayouts(view), QList<int>());
        view.redo();
    }
}

TEST_F(TextViewTest, TheWidthGrowsWithWiderLinesShownAndFollowsTheCaret)
{
    // Six lines longer by characters than the tab-filled one, all narrow.
    QStringList lines(6, QStringLiteral("iiiiiiiiiiiiiiii"));
    lines << QStringLiteral("a") + QString(10, QLatin1Char('\t'));
    setText(lines.join(QLatin1Char('\n')), 0);
    QScrollBar *h = view.horizontalScrollBar();
    EXPECT_EQ(h->maximum(), 0);
    view.viewport()->grab();
    EXPECT_GE(h->maximum(), 10 * 80 + 8 - view.viewport()->width());

    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_GT(h->value(), 0);
    EXPECT_TRUE(view.viewport()->rect().contains(view.cursorRect()));
    key(Qt::Key_Home);
    EXPECT_EQ(h->value(), 0);

    // A new font lays the lines out afresh at its own height.
    const int before = view.lineHeight();
    QFont bigger = view.font();
    bigger.setPixelSize(26);
    view.setFont(bigger);
    EXPECT_GT(view.lineHeight(), before);
    EXPECT_EQ(TextViewProbe::cachedLayouts(view), 0);
    EXPECT_EQ(view.verticalScrollBar()->pageStep(), (view.viewport()->height() - 8) / view.lineHeight());
}

TEST_F(TextViewTest, AMillionLinesScrollInLinesAndLayOutOnlyAScreenful)
{
    QString text;
    text.reserve(1'000'000 * 12);
    for (int i = 0; i < 1'000'000; ++i) {
        if (i == 654'321)
            text += QString(300, QLatin1Char('w')) + QLatin1Char('\n');
        else
            text += QStringLiteral("h%1 IN A\n").arg(i % 1000);
    }
    text.chop(1);
    TextBuffer big;
    big.setPlainText(text);
    ASSERT_EQ(big.lineCount(), 1'000'000);
    view.setBuffer(&big);
    view.viewport()->grab(); // paints
    const QScrollBar *v = view.verticalScrollBar();
    const int page = v->pageStep();
    EXPECT_EQ(page, (view.viewport()->height() - 8) / view.lineHeight());
    EXPECT_EQ(v->maximum(), 1'000'000 - page);
    EXPECT_EQ(v->singleStep(), 1);
    // The long line far below was measured without being laid out for show.
    EXPECT_GT(view.horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(TextViewProbe::cachedLayouts(view), page + 2);
    EXPECT_GT(TextViewProbe::cachedLayouts(view), 0);

    // Scrolled to the end, the last line is on screen and the cache stays bounded.
    view.setTextCursor({big.length(), big.length()});
    view.viewport()->grab();
    EXPECT_EQ(view.firstVisibleLine(), v->maximum());
    for (int i = 0; i < 50; ++i) {
        view.verticalScrollBar()->setValue(i * 20'000);
        view.viewport()->grab();
    }
    EXPECT_LE(TextViewProbe::cachedLayouts(view), 3 * page + 300);
    view.setBuffer(&buffer);
}

TEST_F(TextViewTest, PaintsTheVisibleLinesAndNothingBelowTheLast)
{
    QFont font(QStringLiteral("NanumGothicCoding"));
    font.setPixelSize(13);
    view.setFont(font);
    setText(QStringLiteral("$ORIGIN 예제.한국.\n메일\tIN\tA\t10.0.0.1\n웹\tIN\tCNAME\t메일"), 0);
    view.setTextCursor({8, 17}); // over the first line's break into the second
    const QImage image = view.viewport()->grab().toImage();
    if (qEnvironmentVariableIsSet("QUOREL_SHOT_DIR")) // to look at it
        view.grab().save(qEnvironmentVariable("QUOREL_SHOT_DIR") + QStringLiteral("/textview.png"));
    const QColor base = view.palette().color(QPalette::Active, QPalette::Base);
    const int height = view.lineHeight();
    const auto inkInRows = [&](int top, int bottom, QColor ignore = QColor()) {
        int ink = 0;
        for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c != base && c != ignore)
                    ++ink;
            }
        }
        return ink;
    };
    for (int line = 0; line < 3; ++line) {
        SCOPED_TRACE(line);
        EXPECT_GT(inkInRows(4 + line * height, 4 + (line + 1) * height), 20);
    }
    EXPECT_EQ(inkInRows(4 + 3 * height + 2, image.height()), 0);
    // The selection is drawn in the highlight colour.
    const QColor highlight = view.palette().color(QPalette::Active, QPalette::Highlight);
    const QRect caretAt = view.cursorRect();
    int highlighted = 0;
    for (int x = 0; x < caretAt.left(); ++x)
        highlighted += image.pixelColor(x, caretAt.center().y()) == highlight ? 1 : 0;
    EXPECT_GT(highlighted, 10);
    // The selected break shows as a highlighted blank after the first line,
    // and the first line's unselected start is not highlighted.
    const int firstMiddle = 4 + height / 2;
    int afterText = image.width() - 1;
    while (afterText > 0 && image.pixelColor(afterText, firstMiddle) == base)
        --afterText;
    EXPECT_EQ(image.pixelColor(afterText, firstMiddle), highlight);
    EXPECT_NE(image.pixelColor(5, firstMiddle), highlight);
    // The ink ends where the text does: nothing far right of the break.
    EXPECT_LT(afterText, image.width() / 2);
}

// A strip as wide as the line count's digits, filled with one colour; it
// keeps the lines it was last asked to paint.
class StripeMargin : public TextViewMargin {
public:
    int width(int lineCount, const QFontMetrics &metrics) const override
    {
        return 6
            + metrics.horizontalAdvance(QLatin1Char('9'))
            * static_cast<int>(QString::number(lineCount).size());
    }
    void paint(QPainter &painter, const QRect &area, const std::vector<VisibleLine> &lines, int) override
    {
        painter.fillRect(area, colour);
        painted = lines;
    }
    QColor colour = QColor(0, 128, 0);
    std::vector<VisibleLine> painted;
};

TEST_F(TextViewTest, AMarginKeepsItsStripBesideTheLinesAndClicksLandOnTheColumnShown)
{
    QStringList lines;
    for (int i = 0; i < 50; ++i)
        lines << QStringLiteral("abcdefghij %1").arg(i);
    setText(lines.join(QLatin1Char('\n')), 0);
    const int textLeftBefore = view.viewport()->geometry().left();
    StripeMargin margin;
    view.setMargin(&margin);
    const int strip = margin.width(50, view.fontMetrics());
    EXPECT_EQ(view.viewport()->geometry().left(), textLeftBefore + strip);

    // The strip is painted beside the rows, told which lines are on screen.
    view.verticalScrollBar()->setValue(10);
    const QImage image = view.grab().toImage();
    const int middle = view.viewport()->geometry().top() + 4 + view.lineHeight() / 2;
    EXPECT_EQ(image.pixelColor(textLeftBefore + strip / 2, middle), margin.colour);
    ASSERT_FALSE(margin.painted.empty());
    EXPECT_EQ(margin.painted.front().line, 10);
    EXPECT_EQ(margin.painted.front().top, 4);
    EXPECT_EQ(margin.painted[1].top, 4 + view.lineHeight());
    EXPECT_EQ(margin.painted.size(), view.linesOnScreen().size());

    // A click on the sixth letter as painted puts the caret before it.
    const QColor base = view.palette().color(QPalette::Active, QPalette::Base);
    const int rowTop = view.viewport()->geometry().top() + 4;
    int ink = image.width();
    for (int y = rowTop; y < rowTop + view.lineHeight(); ++y) {
        for (int x = textLeftBefore + strip; x < ink; ++x) {
            if (image.pixelColor(x, y) != base)
                ink = x;
        }
    }
    const QFontMetricsF metrics(view.font());
    const qreal f = metrics.horizontalAdvance(QStringLiteral("abcde")) - metrics.leftBearing(QLatin1Char('a'))
        + 0.3 * metrics.horizontalAdvance(QLatin1Char('f'));
    const QPoint onF(static_cast<int>(ink + f), middle);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.viewport()->mapFrom(&view, onF));
    EXPECT_EQ(caret(), buffer.lineStart(10) + 5);
    // A click in the strip is not a click in the text.
    QTest::mouseClick(
        view.findChild<QWidget *>(QStringLiteral("textViewMargin")), Qt::LeftButton, {}, QPoint(2, 10));
    EXPECT_EQ(caret(), buffer.lineStart(10) + 5);

    // More digits make room for themselves; without a margin the room goes.
    buffer.setPlainText(lines.join(QLatin1Char('\n')).repeated(3));
    EXPECT_EQ(view.viewport()->geometry().left(), textLeftBefore + margin.width(148, view.fontMetrics()));
    view.setMargin(nullptr);
    EXPECT_EQ(view.viewport()->geometry().left(), textLeftBefore);
    EXPECT_EQ(view.findChild<QWidget *>(QStringLiteral("textViewMargin")), nullptr);
}

// Puts a background behind every digit; keeps the lines it was asked for.
class DigitHighlighter : public TextHighlighter {
public:
    QList<QTextLayout::FormatRange> formats(int line, const QString &text) override
    {
        asked.append(line);
        QList<QTextLayout::FormatRange> ranges;
        QTextCharFormat format;
        format.setBackground(colour);
        for (int i = 0; i < text.size(); ++i) {
            if (text[i].isDigit())
                ranges.append({i, 1, format});
        }
        return ranges;
    }
    void recolour(QColor to, int first, int last)
    {
        colour = to;
        rehighlight(first, last);
    }
    QColor colour = QColor(255, 255, 0);
    QList<int> asked;
};

TEST_F(TextViewTest, AHighlighterColoursOnlyTheLinesLaidOutAndIsAskedAgainWhenItSays)
{
    QStringList lines;
    for (int i = 0; i < 1000; ++i)
        lines << QStringLiteral("host IN A 10.0.0.%1").arg(i % 250);
    lines[1] = QStringLiteral("no digits here");
    setText(lines.join(QLatin1Char('\n')), 0);
    DigitHighlighter highlighter;
    view.setHighlighter(&highlighter);
    const int height = view.lineHeight();
    const auto colouredInRow = [&](const QImage &image, int line, QColor colour) {
        int count = 0;
        const int y = 4 + (line - view.firstVisibleLine()) * height + height / 2;
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        return count;
    };
    QImage image = view.viewport()->grab().toImage();
    const int page = view.verticalScrollBar()->pageStep();
    ASSERT_FALSE(highlighter.asked.isEmpty());
    EXPECT_LE(*std::max_element(highlighter.asked.begin(), highlighter.asked.end()), page + 1);
    EXPECT_GT(colouredInRow(image, 0, highlighter.colour), 0);
    EXPECT_EQ(colouredInRow(image, 1, highlighter.colour), 0);
    const QList<QTextLayout::FormatRange> formats = TextViewProbe::cachedLayout(view, 0)->formats();
    ASSERT_EQ(formats.size(), 5); // "10.0.0.0"
    EXPECT_EQ(formats.front().start, 10);

    // Asked again for the lines it names, and only for those.
    highlighter.asked.clear();
    const QColor cyan(0, 255, 255);
    highlighter.recolour(cyan, 2, 3);
    image = view.viewport()->grab().toImage();
    EXPECT_EQ(highlighter.asked, QList<int>({2, 3}));
    EXPECT_GT(colouredInRow(image, 2, cyan), 0);
    EXPECT_GT(colouredInRow(image, 3, cyan), 0);
    EXPECT_EQ(colouredInRow(image, 4, cyan), 0);

    // An edited line is asked again; a composition keeps the line's colours
    // beside it.
    highlighter.asked.clear();
    view.setTextCursor({buffer.lineStart(4), buffer.lineStart(4)});
    QTest::keyClicks(&view, QStringLiteral("7"));
    QInputMethodEvent compose(QStringLiteral("한"), {});
    QCoreApplication::sendEvent(&view, &compose);
    image = view.viewport()->grab().toImage();
    EXPECT_TRUE(highlighter.asked.contains(4));
    EXPECT_GT(colouredInRow(image, 4, cyan), 0);

    view.setHighlighter(nullptr);
    image = view.viewport()->grab().toImage();
    EXPECT_EQ(colouredInRow(image, 0, QColor(255, 255, 0)), 0);
}

TEST_F(TextViewTest, ALayoutAskedForInTheMiddleOfAChangeIsTheLinesOwn)
{
    // Lines of different widths, so a layout of the wrong line shows.
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << QString(1 + i % 9, QLatin1Char('m'));
    TextBuffer other;
    other.setPlainText(lines.join(QLatin1Char('\n')));
    // Connected before the view, this hears of each change first.
    QList<QRect> heard;
    QObject::connect(&other, &TextBuffer::changed, &view, [&] {
        const int line = std::min(5, other.lineCount() - 1);
        heard.append(view.cursorRectAt(other.lineStart(line) + static_cast<int>(other.line(line).size())));
    });
    view.setBuffer(&other);
    const auto ends = [&] {
        const int line = std::min(5, other.lineCount() - 1);
        return view.cursorRectAt(other.lineStart(line) + static_cast<int>(other.line(line).size()));
    };
    const struct {
        int line, removed;
        QString text;
    } edits[] = {{0, 0, QStringLiteral("m\n")}, {1, 3, QString()}, {2, 0, QStringLiteral("\n\n\n")}};
    for (const auto &edit : edits) {
        SCOPED_TRACE(edit.line);
        view.viewport()->grab(); // the lines below are cached as they were
        heard.clear();
        const int from = other.lineStart(edit.line);
        other.replace(from, from + edit.removed, edit.text, TextSelection {from, from});
        ASSERT_EQ(heard.size(), 1);
        EXPECT_EQ(heard.front(), ends());
    }
    view.setBuffer(&buffer);
}

} // namespace
