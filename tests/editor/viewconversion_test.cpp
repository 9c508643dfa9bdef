#include "../support/viewtext.h"
#include "document/textbuffer.h"
#include "editor/convresultdialog.h"
#include "editor/textview.h"
#include "editor/viewconversion.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("줄%1\tIN\tA\t10.0.0.1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

class ShownView : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.setBuffer(&text);
        view.resize(500, 300);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    int firstVisibleLine() { return topLine(view); }
    int lastVisibleLine() { return bottomLine(view); }
    int visibleLines() { return view.viewport()->height() / view.lineHeight(); }

    TextBuffer text; // outlives the view that shows it
    TextView view;
};

// Answers the result dialog once it is shown modally.
void answerResultDialog(bool checkApply, QString *shown = nullptr)
{
    QTimer::singleShot(0, [=] {
        auto *dialog = qobject_cast<CConvResultDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (shown)
            *shown = dialog->displayText();
        auto *apply = dialog->findChild<QCheckBox *>(QStringLiteral("control1013"));
        if (checkApply && apply->isEnabled())
            QTest::mouseClick(apply, Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("control1")), Qt::LeftButton);
    });
}

} // namespace

TEST_F(ShownView, AFailingLineComesToTheTopWithItsFirstTwoCharactersSelected)
{
    text.setPlainText(numberedLines(400));
    showFailingLine(view, 120);
    EXPECT_EQ(firstVisibleLine(), 119);
    EXPECT_EQ(view.selectedText(), QStringLiteral("줄1"));
    EXPECT_EQ(text.lineOf(view.textCursor().start()), 119);
}

TEST_F(ShownView, AFailureOnTheLastScreenfulFillsTheViewWithTheLastLines)
{
    text.setPlainText(numberedLines(400));
    ASSERT_GT(visibleLines(), 3);
    for (int line : {400, 399, 400 - visibleLines() + 1}) {
        SCOPED_TRACE(line);
        view.verticalScrollBar()->setValue(0);
        showFailingLine(view, line);
        EXPECT_EQ(lastVisibleLine(), 399);
        EXPECT_EQ(firstVisibleLine(), 400 - visibleLines());
        EXPECT_EQ(view.selectedText(), QStringLiteral("줄%1").arg(line).left(2));
        EXPECT_EQ(text.lineOf(view.textCursor().start()), line - 1);
    }
}

TEST_F(ShownView, TheLastScreenfulIsMeasuredWithTheTextsOwnLineHeight)
{
    // The view's own font, not the application's, decides how many lines fit.
    QFont large = view.font();
    large.setPixelSize(40);
    view.setFont(large);
    text.setPlainText(numberedLines(400));
    ASSERT_GT(view.lineHeight(), QFontMetrics(QApplication::font()).lineSpacing());
    showFailingLine(view, 398);
    EXPECT_EQ(lastVisibleLine(), 399);
    EXPECT_EQ(text.lineOf(view.textCursor().start()), 397);
}

TEST_F(ShownView, AShortTextOrAShortLineStaysInside)
{
    text.setPlainText(QStringLiteral("a\n\nxyz"));
    showFailingLine(view, 1);
    EXPECT_EQ(view.selectedText(), QStringLiteral("a"));
    showFailingLine(view, 2);
    EXPECT_EQ(view.selectedText(), QString());
    EXPECT_EQ(caretLine(view), 1);
    showFailingLine(view, 3);
    EXPECT_EQ(view.selectedText(), QStringLiteral("xy"));
    EXPECT_EQ(firstVisibleLine(), 0);
}

TEST_F(ShownView, AppliedSelectionConversionIsOneUndoStep)
{
    text.setPlainText(QStringLiteral("www\tIN\tCNAME\t웹.한국.kr.\nnext"));
    const int start = viewText(view).indexOf(QStringLiteral("웹"));
    view.setTextCursor(TextSelection {start, start + static_cast<int>(QStringLiteral("웹.한국.kr.").size())});

    QString shown;
    answerResultDialog(true, &shown);
    EXPECT_TRUE(
        convertSelectionThroughDialog(view, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode));
    EXPECT_EQ(shown,
        QStringLiteral("입력 코드 -EucKr : 웹.한국.kr.\n출력 코드 -PUNY : xn--yq5b.xn--3e0b707e.kr.\n"));
    EXPECT_EQ(viewText(view), QStringLiteral("www\tIN\tCNAME\txn--yq5b.xn--3e0b707e.kr.\nnext"));

    view.undo();
    EXPECT_EQ(viewText(view), QStringLiteral("www\tIN\tCNAME\t웹.한국.kr.\nnext"));
}

TEST_F(ShownView, ARefusedOrUnappliedConversionLeavesTheSelectionAlone)
{
    const QString refused = QStringLiteral("한글_.kr 한국.kr");
    text.setPlainText(refused);
    view.selectAll();

    answerResultDialog(true); // the box is disabled: the library refused
    EXPECT_FALSE(
        convertSelectionThroughDialog(view, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode));
    EXPECT_EQ(viewText(view), refused);
    EXPECT_EQ(view.selectedText(), refused);

    text.setPlainText(QStringLiteral("한국.kr"));
    view.selectAll();
    answerResultDialog(false);
    EXPECT_FALSE(
        convertSelectionThroughDialog(view, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode));
    EXPECT_EQ(viewText(view), QStringLiteral("한국.kr"));

    // Nothing selected: the dialog says so and nothing is inserted.
    const int caret = view.textCursor().position;
    view.setTextCursor(TextSelection {caret, caret});
    QString shown;
    answerResultDialog(true, &shown);
    EXPECT_FALSE(
        convertSelectionThroughDialog(view, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode));
    EXPECT_EQ(shown, QStringLiteral("선택한 문자가 없습니다."));
    EXPECT_EQ(viewText(view), QStringLiteral("한국.kr"));
}

TEST_F(ShownView, AMultiLineSelectionKeepsItsLineBreaks)
{
    text.setPlainText(QStringLiteral("a.한국.kr\nb.한국.kr\n"));
    view.selectAll();
    answerResultDialog(true);
    EXPECT_TRUE(
        convertSelectionThroughDialog(view, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode));
    EXPECT_EQ(viewText(view), QStringLiteral("a.xn--3e0b707e.kr\nb.xn--3e0b707e.kr\n"));
}
