#include "../support/files.h"
#include "document/doctemplate.h"
#include "document/documentcontext.h"
#include "document/quoreldoc.h"
#include "document/textbuffer.h"
#include "editor/convfindreplacedialog.h"
#include "editor/quorelview.h"
#include "platform/quorelids.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

namespace c = ids::control::findReplace;

// One editor view over a general document, shown, with the beeps counted.
class FindReplace : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc = std::make_unique<CQuorelDoc>(*templates.byId(ids::templ::kGeneral), context);
        view = std::make_unique<CQuorelView>(doc.get());
        view->search().setBeep([this] { ++beeps; });
        view->resize(700, 400);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    void TearDown() override
    {
        view.reset();
        settle();
    }
    static void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    void setText(const QString &text)
    {
        doc->textBuffer()->setPlainText(text);
        doc->textBuffer()->setModified(false);
    }
    QString text() const { return doc->textBuffer()->toPlainText(); }
    void placeCaret(int position) { view->setTextCursor(TextSelection {position, position}); }
    void select(int from, int to) { view->setTextCursor(TextSelection {from, to}); }
    CConvFindReplaceDialog *dialog() const { return view->findDialog(); }
    template <typename T> T *control(int id) const
    {
        for (T *w : dialog()->findChildren<T *>()) {
            if (w->property("controlId").toInt() == id)
                return w;
        }
        return nullptr;
    }
    QLineEdit *findField() const { return control<QLineEdit>(c::kFindWhatEdit); }
    QLineEdit *replaceField() const { return control<QLineEdit>(c::kReplaceWithEdit); }
    void click(int id)
    {
        QPushButton *button = control<QPushButton>(id);
        ASSERT_NE(button, nullptr) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void setField(QLineEdit *field, const QString &value)
    {
        // As typed or pasted (key clicks cannot type Hangul).
        field->selectAll();
        field->insert(value);
    }
    // The dialog's "다음 찾기" once, returning what is selected afterwards.
    QString findNextSelects()
    {
        click(ids::control::kOk);
        return view->GetSelText();
    }
    int selectionStart() const { return view->textCursor().start(); }

    CDocTemplates templates;
    DocumentContext context;
    std::unique_ptr<CQuorelDoc> doc;
    std::unique_ptr<CQuorelView> view;
    int beeps = 0;
};

TEST_F(FindReplace, EachModeHasItsControlsAndTheOtherModeReplacesTheDialog)
{
    setText(QStringLiteral("one two"));
    view->OnEditFind();
    CConvFindReplaceDialog *find = dialog();
    ASSERT_NE(find, nullptr);
    EXPECT_TRUE(find->isFindOnly());
    EXPECT_EQ(find->property("controlId").toInt(), ids::dialog::kConvFind);
    EXPECT_EQ(find->windowTitle(), QStringLiteral("변환+찾기"));
    EXPECT_TRUE(find->isVisible());
    EXPECT_FALSE(find->isModal());
    for (int id : {c::kFindToEucKr, c::kFindToPunycode, ids::control::kOk, ids::control::kCancel})
        EXPECT_NE(control<QPushButton>(id), nullptr) << id;
    for (int id : {c::kReplaceToEucKr, c::kReplaceToPunycode, c::kReplace, c::kReplaceAll})
        EXPECT_EQ(control<QPushButton>(id), nullptr) << id;
    EXPECT_EQ(replaceField(), nullptr);
    EXPECT_EQ(control<QPushButton>(ids::control::kOk)->text(), QStringLiteral("다음 찾기(&F)"));
    EXPECT_TRUE(control<QPushButton>(ids::control::kOk)->isDefault());

    // The same mode brings the open dialog forward; nothing new is made.
    control<QCheckBox>(c::kMatchCase)->setChecked(true);
    view->OnEditFind();
    EXPECT_EQ(dialog(), find);

    // The other mode closes it and opens the replace dialog, options fresh.
    const QPointer<CConvFindReplaceDialog> closed(find);
    view->OnEditReplace();
    settle();
    EXPECT_TRUE(closed.isNull());
    ASSERT_NE(dialog(), nullptr);
    EXPECT_FALSE(dialog()->isFindOnly());
    EXPECT_EQ(dialog()->property("controlId").toInt(), ids::dialog::kConvReplace);
    EXPECT_EQ(dialog()->windowTitle(), QStringLiteral("변환+바꾸기"));
    for (int id : {c::kFindToEucKr, c::kFindToPunycode, c::kReplaceToEucKr, c::kReplaceToPunycode,
             c::kReplace, c::kReplaceAll, ids::control::kOk, ids::control::kCancel})
        EXPECT_NE(control<QPushButton>(id), nullptr) << id;
    EXPECT_NE(replaceField(), nullptr);
    EXPECT_FALSE(control<QCheckBox>(c::kMatchCase)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(c::kWholeWord)->isChecked());

    // "취소" closes it and the view forgets it.
    click(ids::control::kCancel);
    settle();
    EXPECT_EQ(dialog(), nullptr);
}

TEST_F(FindReplace, APassWrapsOnceToWhereItBeganAndAfterTheBeepStartsAfresh)
{
    setText(QStringLiteral("foo1 foo2 foo3 foo4"));
    placeCaret(9); // after "foo2"
    view->OnEditFind();
    setField(findField(), QStringLiteral("foo"));
    const int expected[] = {10, 15, 0, 5};
    for (int start : expected) {
        EXPECT_EQ(findNextSelects(), QStringLiteral("foo"));
        EXPECT_EQ(selectionStart(), start);
    }
    EXPECT_EQ(beeps, 0);
    // Back where the pass began: nothing more, a beep, the selection kept.
    findNextSelects();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(selectionStart(), 5);
    // The next search is a new pass from one character after the selection.
    EXPECT_EQ(findNextSelects(), QStringLiteral("foo"));
    EXPECT_EQ(selectionStart(), 10);
    EXPECT_EQ(beeps, 1);
}

TEST_F(FindReplace, ASelectedMatchIsPassedOverAndNothingFoundBeeps)
{
    setText(QStringLiteral("foo foo foo"));
    select(0, 3);
    view->OnEditFind();
    EXPECT_EQ(findField()->text(), QStringLiteral("foo"));
    findNextSelects();
    EXPECT_EQ(selectionStart(), 4);

    setField(findField(), QStringLiteral("없는말"));
    findNextSelects();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(selectionStart(), 4);
}

TEST_F(FindReplace, WholeWordAndMatchCaseAreReadWhenFindNextIsPressed)
{
    setText(QStringLiteral("Mail mail mailbox mail"));
    placeCaret(0);
    view->OnEditFind();
    setField(findField(), QStringLiteral("mail"));
    control<QCheckBox>(c::kMatchCase)->setChecked(true);
    control<QCheckBox>(c::kWholeWord)->setChecked(true);
    findNextSelects();
    EXPECT_EQ(selectionStart(), 5);
    findNextSelects();
    EXPECT_EQ(selectionStart(), 18); // not "mailbox"
}

TEST_F(FindReplace, ReplaceAllFromTheCaretIsOneUndoStepAndEndsWithTheBeep)
{
    const QString original = QStringLiteral("a.kr x a.kr y A.KR z a.kr");
    setText(original);
    placeCaret(6); // before the second name
    view->OnEditReplace();
    setField(findField(), QStringLiteral("a.kr"));
    setField(replaceField(), QStringLiteral("예제.한국"));
    click(c::kReplaceAll);
    EXPECT_EQ(text(), QStringLiteral("예제.한국 x 예제.한국 y 예제.한국 z 예제.한국"));
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(view->textCursor().hasSelection());

    view->OnEditUndo();
    EXPECT_EQ(text(), original);
    EXPECT_FALSE(doc->textBuffer()->isUndoAvailable());
    view->OnEditRedo();
    EXPECT_EQ(text(), QStringLiteral("예제.한국 x 예제.한국 y 예제.한국 z 예제.한국"));

    // A match the caret stands inside is not part of the pass from the caret.
    setText(original);
    placeCaret(8);
    click(c::kReplaceAll);
    EXPECT_EQ(text(), QStringLiteral("예제.한국 x a.kr y 예제.한국 z 예제.한국"));
    EXPECT_EQ(beeps, 2);
    setText(QStringLiteral("예제.한국 x 예제.한국 y 예제.한국 z 예제.한국"));

    // Nothing to replace: only the beep, the text as it was.
    setField(findField(), QStringLiteral("없음"));
    click(c::kReplaceAll);
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(text(), QStringLiteral("예제.한국 x 예제.한국 y 예제.한국 z 예제.한국"));
}

TEST_F(FindReplace, ReplaceAllOfATextThatHoldsItselfEnds)
{
    setText(QStringLiteral("ab ab ab"));
    placeCaret(3);
    view->OnEditReplace();
    setField(findField(), QStringLiteral("ab"));
    setField(replaceField(), QStringLiteral("abab"));
    click(c::kReplaceAll);
    EXPECT_EQ(text(), QStringLiteral("abab abab abab"));
    EXPECT_EQ(beeps, 1);
}

TEST_F(FindReplace, MatchCaseIsNotReadByReplaceAllUntilFindNextOrAConversionButton)
{
    setText(QStringLiteral("Www www WWW"));
    placeCaret(0);
    view->OnEditReplace();
    setField(findField(), QStringLiteral("www"));
    setField(replaceField(), QStringLiteral("ns"));
    control<QCheckBox>(c::kMatchCase)->setChecked(true);
    click(c::kReplaceAll);
    EXPECT_EQ(text(), QStringLiteral("ns ns ns")); // the box was not read

    view->OnEditUndo();
    ASSERT_EQ(text(), QStringLiteral("Www www WWW"));
    placeCaret(0);
    click(c::kFindToPunycode); // reads the boxes; the ASCII name stays as it is
    EXPECT_EQ(findField()->text(), QStringLiteral("www"));
    click(c::kReplaceAll);
    EXPECT_EQ(text(), QStringLiteral("Www ns WWW"));
}

TEST_F(FindReplace, ReplaceReplacesOnlyASelectedMatchAsOneUndoableEdit)
{
    setText(QStringLiteral("a b a b"));
    select(2, 3); // "b", not the text sought
    view->OnEditReplace();
    setField(findField(), QStringLiteral("a"));
    setField(replaceField(), QStringLiteral("c"));
    click(c::kReplace);
    EXPECT_EQ(text(), QStringLiteral("a b a b")); // only found the next one
    EXPECT_EQ(selectionStart(), 4);
    click(c::kReplace);
    EXPECT_EQ(text(), QStringLiteral("a b c b"));
    EXPECT_EQ(selectionStart(), 0); // wrapped to the first
    view->OnEditUndo();
    EXPECT_EQ(text(), QStringLiteral("a b a b"));
}

TEST_F(FindReplace, ConversionButtonsTurnNamesAndTheEucKrOnesRefuseHangul)
{
    setText(QStringLiteral("x"));
    view->OnEditReplace();
    struct Field {
        QLineEdit *edit;
        int toEucKr;
        int toPunycode;
    };
    for (const Field &f : {Field {findField(), c::kFindToEucKr, c::kFindToPunycode},
             Field {replaceField(), c::kReplaceToEucKr, c::kReplaceToPunycode}}) {
        SCOPED_TRACE(f.toEucKr);
        f.edit->setText(QStringLiteral("메일.한국"));
        click(f.toEucKr); // already Hangul: refused, unchanged
        EXPECT_EQ(f.edit->text(), QStringLiteral("메일.한국"));
        click(f.toPunycode);
        EXPECT_EQ(f.edit->text(), QStringLiteral("xn--h32bq4v.xn--3e0b707e"));
        click(f.toEucKr);
        EXPECT_EQ(f.edit->text(), QStringLiteral("메일.한국"));
        // A name the library refuses stays as typed, with its reason shown.
        const QString filler = QStringLiteral("가") + QChar(0x3164) + QStringLiteral(".kr");
        f.edit->setText(filler);
        click(f.toPunycode);
        EXPECT_EQ(f.edit->text(), filler);
        EXPECT_TRUE(dialog()
                        ->findChild<QLabel *>(QStringLiteral("hintLabel"))
                        ->text()
                        .contains(QStringLiteral("U+3164")));
    }
}

TEST_F(FindReplace, AFoundPunycodeNameIsTheConvertedField)
{
    setText(QStringLiteral("www.xn--3e0b707e.kr. IN A 10.0.0.1"));
    placeCaret(0);
    view->OnEditFind();
    setField(findField(), QStringLiteral("한국"));
    click(c::kFindToPunycode);
    EXPECT_EQ(findNextSelects(), QStringLiteral("xn--3e0b707e"));
}

TEST_F(FindReplace, ALongSelectionGivesAFindTextCutTo127BytesOnACharacterBoundary)
{
    const QString hangul = QString(100, QChar(0xD55C)); // 한, two bytes each
    setText(hangul + QStringLiteral("\n") + QStringLiteral("a") + hangul);
    select(0, 100);
    view->OnEditFind();
    EXPECT_EQ(findField()->text(), QString(63, QChar(0xD55C))); // 126 bytes, never half a syllable
    view->findDialog()->close();
    settle();
    select(101, 202);
    view->OnEditFind();
    EXPECT_EQ(findField()->text(), QStringLiteral("a") + QString(63, QChar(0xD55C))); // 127 bytes

    // Typing stops at the limit as well.
    findField()->end(false);
    QTest::keyClicks(findField(), QStringLiteral("bcd"));
    EXPECT_EQ(findField()->text(), QStringLiteral("a") + QString(63, QChar(0xD55C)));
}

TEST_F(FindReplace, F3RepeatsTheLastSearchOnceTheDialogIsClosedAndShiftF3GoesBack)
{
    setText(QStringLiteral("ns ns ns"));
    placeCaret(0);
    view->OnEditRepeat(); // nothing sought yet: the find dialog
    ASSERT_NE(dialog(), nullptr);
    setField(findField(), QStringLiteral("ns"));
    findNextSelects();
    EXPECT_EQ(selectionStart(), 0);
    dialog()->close();
    settle();
    view->OnEditRepeat();
    EXPECT_EQ(selectionStart(), 3);
    view->OnEditRepeat();
    EXPECT_EQ(selectionStart(), 6);
    view->OnEditFindPrevious();
    EXPECT_EQ(selectionStart(), 3);
    view->OnEditFindPrevious();
    EXPECT_EQ(selectionStart(), 0);
    view->OnEditFindPrevious(); // wraps to the end
    EXPECT_EQ(selectionStart(), 6);
    EXPECT_EQ(beeps, 0);
}

TEST_F(FindReplace, TheDialogMovesOffTheMatchItWouldCover)
{
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << QStringLiteral("line %1").arg(i);
    lines[12] = QStringLiteral("target");
    setText(lines.join(QLatin1Char('\n')));
    view->move(0, 0);
    // Where the match starts on screen: the caret's place at the start of its
    // line, which shows without scrolling.
    const QPoint match = [this] {
        placeCaret(doc->textBuffer()->lineStart(12));
        return view->viewport()->mapToGlobal(view->cursorRect().topLeft());
    }();
    placeCaret(0);
    view->OnEditFind();
    setField(findField(), QStringLiteral("target"));
    dialog()->move(match.x() - 10, match.y() - 30);
    QCoreApplication::processEvents();
    ASSERT_TRUE(dialog()->frameGeometry().contains(match));
    findNextSelects();
    EXPECT_EQ(view->GetSelText(), QStringLiteral("target"));
    EXPECT_FALSE(dialog()->frameGeometry().contains(match));
}

} // namespace
