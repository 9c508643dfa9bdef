// Very long lines: laid out in pieces, a line must still place every column
// where one layout of it would, and the view must show, take clicks and take
// typing at the end of a line of 8,000,000 characters, where one layout's
// fixed-point coordinates overflowed and showed nothing.
#include "document/textbuffer.h"
#include "editor/linelayout.h"
#include "editor/textview.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <limits>

namespace {

QFont viewFont()
{
    QFont font(QStringLiteral("NanumGothicCoding"));
    font.setPixelSize(13);
    return font;
}

// Latin, Hangul, tabs at uneven places, a mark on its base, and surrogate
// pairs and a mark that fall right on the places a piece would end.
QString mixedLine()
{
    QString text;
    int i = 0;
    while (text.size() < 9000) {
        text += QStringLiteral("host%1.예제.한국").arg(i);
        text += i % 3 == 0 ? QStringLiteral("\t") : QStringLiteral(" ");
        if (i % 17 == 0)
            text += QStringLiteral("café e\u0301 ");
        ++i;
    }
    text.replace(1023, 2, QStringLiteral("😀"));
    text[2047] = QLatin1Char('e');
    text[2048] = QChar(0x0301);
    return text;
}

TEST(LongLineLayout, PiecesPlaceEveryColumnWhereOneLayoutOfTheWholeLineWould)
{
    const QString text = mixedLine();
    LineLayout::Style style {viewFont(), nullptr, 52, 0};
    const LineLayout line(text, style);
    ASSERT_TRUE(line.isPieced());
    ASSERT_GT(line.pieceCount(), 8);

    // One layout of the line, short enough here not to overflow, in the
    // font the pieces use.
    QFont font = style.font;
    font.setKerning(false);
    font.setStyleStrategy(QFont::PreferNoShaping);
    QTextLayout whole(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(style.tabStop);
    whole.setTextOption(option);
    whole.beginLayout();
    whole.createLine().setNumColumns(std::numeric_limits<int>::max());
    whole.endLayout();
    const QTextLine reference = whole.lineAt(0);

    EXPECT_NEAR(line.width(), reference.naturalTextWidth(), 0.02);
    QStringList wrong;
    for (int column = 0; column <= text.size() && wrong.size() < 5; ++column) {
        if (std::abs(line.cursorToX(column) - reference.cursorToX(column)) > 0.02)
            wrong << QStringLiteral("x of %1").arg(column);
        if (column < text.size() && line.nextCursorPosition(column) != whole.nextCursorPosition(column))
            wrong << QStringLiteral("after %1").arg(column);
        if (column > 0 && line.previousCursorPosition(column) != whole.previousCursorPosition(column))
            wrong << QStringLiteral("before %1").arg(column);
        const qreal between = reference.cursorToX(column) + 1.5;
        if (line.xToCursor(between) != reference.xToCursor(between))
            wrong << QStringLiteral("click at %1").arg(between);
    }
    EXPECT_EQ(wrong, QStringList());
    // Nothing splits the pair or the mark that sit on a piece's end.
    EXPECT_EQ(line.nextCursorPosition(1023), 1025);
    EXPECT_EQ(line.previousCursorPosition(1025), 1023);
    EXPECT_EQ(line.nextCursorPosition(2047), 2049);

    // The widths given without laying out are the ones a layout finds.
    for (const auto &[given, laidOut] : line.pieceWidths())
        ASSERT_NEAR(given, laidOut, 0.001);
}

class LongLineView : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.setFont(viewFont());
        view.resize(600, 200);
        view.setBuffer(&buffer);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QApplication::setActiveWindow(&view);
        view.setFocus();
    }
    // Columns of row 0 of the painted viewport holding text-coloured pixels.
    QList<int> inkedColumns()
    {
        const QImage image = view.viewport()->grab().toImage();
        const QColor background = view.palette().color(QPalette::Base);
        QList<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 2; y < view.lineHeight(); ++y) {
                const QColor pixel = image.pixelColor(x, y);
                if (qGray(pixel.rgb()) < qGray(background.rgb()) - 100) {
                    columns.append(x);
                    break;
                }
            }
        }
        return columns;
    }
    void click(int x)
    {
        QTest::mouseClick(
            view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, view.lineHeight() / 2 + 4));
    }

    TextBuffer buffer;
    TextView view;
};

TEST_F(LongLineView, AnEightMillionCharacterLineIsShownToItsEndAndTakesClicksAndTyping)
{
    constexpr int kLength = 8'000'000;
    QString text(kLength, QLatin1Char('m'));
    for (int i = 0; i < kLength; i += 10)
        text[i] = QLatin1Char('a' + i / 10 % 26);
    buffer.setPlainText(text);
    view.setTextCursor({0, 0});
    const qreal advance = QFontMetricsF(viewFont()).horizontalAdvance(QLatin1Char('m'));
    const int left = view.cursorRect().left(); // where column 0 is drawn, unscrolled

    // The scroll bar's extent is the line's own width.
    QScrollBar *h = view.horizontalScrollBar();
    EXPECT_NEAR(h->maximum() + view.viewport()->width(), kLength * advance + 2 * left, advance);

    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.textCursor().position, kLength);
    EXPECT_EQ(h->value(), h->maximum());
    const QRect caret = view.cursorRect();
    ASSERT_TRUE(view.viewport()->rect().contains(caret)) << caret.x();
    QList<int> ink = inkedColumns();
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.first(), 0);
    EXPECT_LE(ink.last(), caret.left() + 1); // the line's last letters end at the caret
    EXPECT_GE(ink.last(), caret.left() - advance);
    EXPECT_GT(ink.size(), view.viewport()->width() / 2); // a screenful of text, not a blank

    click(static_cast<int>(caret.left() - 10 * advance + advance / 4));
    EXPECT_EQ(view.textCursor().position, kLength - 10);
    QTest::keyClicks(&view, QStringLiteral("XY"));
    EXPECT_EQ(buffer.line(0).size(), kLength + 2);
    EXPECT_EQ(buffer.line(0).mid(kLength - 12, 14),
        text.mid(kLength - 12, 2) + QStringLiteral("XY") + text.right(10));

    // Half way along, a click lands on the column drawn under it.
    h->setValue(h->maximum() / 2);
    EXPECT_GT(inkedColumns().size(), view.viewport()->width() / 2);
    click(300);
    const int expected = qRound((300 - left + h->value()) / advance);
    EXPECT_EQ(view.textCursor().position, expected);

    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.textCursor().position, 0);
    EXPECT_EQ(h->value(), 0);
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.textCursor().position, kLength + 2);
    EXPECT_EQ(h->value(), h->maximum());
}

TEST_F(LongLineView, AnInputMethodIsShownThePartOfALongLineAroundTheCaret)
{
    QString text(100'000, QLatin1Char('x'));
    text.replace(50'000, 3, QStringLiteral("한국어"));
    buffer.setPlainText(text);
    view.setTextCursor({50'001, 50'001});
    const auto query = [this](Qt::InputMethodQuery what) {
        return static_cast<const QWidget &>(view).inputMethodQuery(what);
    };
    const QString around = query(Qt::ImSurroundingText).toString();
    EXPECT_LT(around.size(), 5000);
    const int caret = query(Qt::ImCursorPosition).toInt();
    EXPECT_EQ(around.mid(caret - 1, 3), QStringLiteral("한국어"));
    EXPECT_EQ(query(Qt::ImTextBeforeCursor).toString(), around.left(caret));
}

} // namespace
