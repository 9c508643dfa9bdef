// Line numbers, fonts, zoom, tab stops and indenting, as a user reaches them
// in the real Quorel: menus, keys, the wheel and the settings dialog.
#include "../support/modalscript.h"
#include "apptestfixture.h"
#include "editor/preferencesdialog.h"
#include "platform/quorelids.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

namespace {

class EditorLookTest : public AppTest {
protected:
    CQuorelView *open(const QByteArray &text) { return startFocused("look.zone", text); }
    QWidget *marginOf(CQuorelView *view) const
    {
        auto *margin = view->findChild<QWidget *>(QStringLiteral("textViewMargin"));
        return margin && margin->isVisible() ? margin : nullptr;
    }
    // Clicks an item of the 보기 menu as a user does: the menu opened from
    // the menu bar, the item clicked where it is drawn.
    void clickViewMenuItem(int id)
    {
        QMenu *viewMenu = nullptr;
        for (QAction *a : frame()->menuBar()->actions()) {
            if (a->text() == QStringLiteral("보기(&V)"))
                viewMenu = a->menu();
        }
        ASSERT_NE(viewMenu, nullptr);
        viewMenu->popup(frame()->mapToGlobal(QPoint(40, 40)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(viewMenu));
        QAction *item = frame()->action(id);
        ASSERT_TRUE(viewMenu->actions().contains(item));
        QTest::mouseClick(viewMenu, Qt::LeftButton, {}, viewMenu->actionGeometry(item).center());
        settle();
    }
    QVariant saved(const char *key)
    {
        user->sync();
        return user->value(QString::fromLatin1(key));
    }
    static bool isInk(QRgb pixel) { return qGray(pixel) < 110; }
    // The left and right columns, in the rows from `top` to `bottom`, that
    // stand out from the background at the image's top left.
    static std::pair<int, int> inkColumns(const QImage &image, int top, int bottom)
    {
        const int background = qGray(image.pixel(0, 0));
        int left = image.width(), right = -1;
        for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y) {
            for (int x = 0; x < image.width() - 2; ++x) {
                if (std::abs(qGray(image.pixel(x, y)) - background) > 40) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        return {left, right};
    }
    static int darkest(const QImage &image, int top, int bottom)
    {
        int gray = 255;
        for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y) {
            for (int x = 0; x < image.width() - 2; ++x)
                gray = std::min(gray, qGray(image.pixel(x, y)));
        }
        return gray;
    }
    static int lowestInkRow(const QImage &image, int top, int bottom)
    {
        int lowest = -1;
        for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (isInk(image.pixel(x, y)))
                    lowest = y;
            }
        }
        return lowest;
    }
    static void putCaret(CQuorelView *view, int line)
    {
        const int at = view->buffer()->lineStart(line);
        view->setTextCursor(TextSelection {at, at});
        QCoreApplication::processEvents();
    }
};

QByteArray numberedLines(int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "host" + QByteArray::number(i) + "\tIN\tA\t192.0.2.1\n";
    return text;
}

TEST_F(EditorLookTest, TheLineNumberMarginGrowsWithTheLineCountAndTheMenuItemHidesItForGood)
{
    // 99 lines and the empty one after the last break.
    CQuorelView *view = open(numberedLines(98));
    ASSERT_NE(view, nullptr);
    frame()->resize(900, 700);
    settle();
    QWidget *margin = marginOf(view);
    ASSERT_NE(margin, nullptr) << "line numbers are on by default";
    EXPECT_TRUE(frame()->action(ids::command::kViewLineNumbers)->isChecked());
    EXPECT_EQ(view->viewport()->geometry().left(), margin->geometry().right() + 1);
    const int narrow = margin->width();

    // The numbers themselves: line 10's row carries wider ink than line 1's,
    // and the caret's line is drawn apart from the rest.
    putCaret(view, 4);
    const QImage image = margin->grab().toImage();
    const int h = view->lineHeight();
    const int top = view->cursorRectAt(0).top();
    const auto one = inkColumns(image, top, top + h);
    const auto ten = inkColumns(image, top + 9 * h, top + 10 * h);
    ASSERT_GE(one.second, 0) << "no number beside line 1";
    ASSERT_GE(ten.second, 0) << "no number beside line 10";
    EXPECT_LT(ten.first, one.first);
    EXPECT_NEAR(ten.second, one.second, 2) << "numbers are right-aligned";
    EXPECT_LT(darkest(image, top + 4 * h, top + 5 * h), darkest(image, top + 5 * h, top + 6 * h) - 20)
        << "the caret's line number does not stand out";

    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Return);
    settle();
    ASSERT_EQ(view->buffer()->lineCount(), 100);
    EXPECT_GT(margin->width(), narrow);
    EXPECT_EQ(view->viewport()->geometry().left(), margin->geometry().right() + 1);

    clickViewMenuItem(ids::command::kViewLineNumbers);
    EXPECT_EQ(marginOf(view), nullptr);
    EXPECT_LT(view->viewport()->geometry().left(), narrow);
    EXPECT_FALSE(frame()->action(ids::command::kViewLineNumbers)->isChecked());
    EXPECT_EQ(saved("EditorOption/ShowLineNumbers"), QVariant(false));

    // The next start keeps the choice.
    app.reset();
    settle();
    view = open("a\n");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(marginOf(view), nullptr);
    EXPECT_FALSE(frame()->action(ids::command::kViewLineNumbers)->isChecked());
}

TEST_F(EditorLookTest, DescendersAndHangulOfALineAreNotCoveredByTheNextLineInAnyKoreanFont)
{
    CQuorelView *view = open("gpy\xeb\x98\xa0\xed\x96\x8f gjpqy\n\nx\n");
    ASSERT_NE(view, nullptr);
    const QStringList families = QFontDatabase::families(QFontDatabase::Korean);
    ASSERT_FALSE(families.isEmpty()) << "no Korean font installed";
    for (const QString &family : families) {
        SCOPED_TRACE(family.toStdString());
        EditorLook look = view->look();
        look.fontFamily = family;
        view->applyLook(look);
        // The band behind the caret's line is the next line's background.
        putCaret(view, 2);
        const int h = view->lineHeight();
        const int top = view->cursorRectAt(0).top();
        const QImage alone = view->viewport()->grab().toImage();
        const int lowest = lowestInkRow(alone, top, top + 2 * h);
        ASSERT_GE(lowest, 0) << "nothing painted";
        EXPECT_LT(lowest, top + h) << "the glyphs reach into the next row";
        // The tails of g, p and y are there, under the baseline.
        const int baseline = top + QFontMetrics(view->font()).ascent();
        EXPECT_GT(lowest, baseline);

        putCaret(view, 1);
        const QImage banded = view->viewport()->grab().toImage();
        EXPECT_EQ(banded.copy(0, top, banded.width(), h), alone.copy(0, top, alone.width(), h))
            << "the next line's background covers this line";
        EXPECT_NE(banded.copy(0, top + h, banded.width(), h), alone.copy(0, top + h, alone.width(), h))
            << "the caret's line shows no band";
    }
}

TEST_F(EditorLookTest, TheSettingsDialogChangesEveryOpenViewAndIsKept)
{
    CQuorelView *view = open("\tx\n");
    ASSERT_NE(view, nullptr);
    const QString wanted = QStringLiteral("NanumMyeongjo");
    if (!QFontDatabase::hasFamily(wanted))
        GTEST_SKIP() << "NanumMyeongjo is not installed";

    ModalScript script(10000);
    script.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<CPreferencesDialog *>(modal);
        if (!dialog)
            return false;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("환경 설정"));
        auto *family = dialog->findChild<QFontComboBox *>(QStringLiteral("fontFamily"));
        auto *size = dialog->findChild<QSpinBox *>(QStringLiteral("fontSize"));
        auto *tab = dialog->findChild<QSpinBox *>(QStringLiteral("tabWidth"));
        auto *numbers = dialog->findChild<QCheckBox *>(QStringLiteral("lineNumbers"));
        if (!family || !size || !tab || !numbers)
            return false;
        family->setFocus();
        QTest::keyClicks(family, wanted);
        size->setFocus();
        QTest::keyClick(size, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(size, QStringLiteral("20"));
        tab->setFocus();
        QTest::keyClick(tab, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(tab, QStringLiteral("4"));
        numbers->setFocus();
        QTest::keyClick(numbers, Qt::Key_Space);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("ok")), Qt::LeftButton);
        return true;
    });
    clickViewMenuItem(ids::command::kViewPreferences);
    EXPECT_TRUE(script.finished());

    auto check = [&](CQuorelView *shown) {
        EXPECT_EQ(QFontInfo(shown->font()).family(), wanted);
        EXPECT_EQ(shown->font().pixelSize(), 20);
        const qreal space = QFontMetricsF(shown->font()).horizontalAdvance(QLatin1Char(' '));
        EXPECT_NEAR(shown->cursorRectAt(1).left() - shown->cursorRectAt(0).left(), 4 * space, 1.0);
        EXPECT_EQ(marginOf(shown), nullptr);
    };
    check(view);
    EXPECT_EQ(saved("EditorOption/FontFamily").toString(), wanted);
    EXPECT_EQ(saved("EditorOption/FontPixels").toInt(), 20);
    EXPECT_EQ(saved("EditorOption/TabWidth").toInt(), 4);

    app.reset();
    settle();
    view = open("\tx\n");
    ASSERT_NE(view, nullptr);
    check(view);
}

TEST_F(EditorLookTest, ZoomKeysAndTheCtrlWheelResizeTheTextAndCtrlZeroRestoresIt)
{
    CQuorelView *view = open("\tx\n");
    ASSERT_NE(view, nullptr);
    const int chosen = view->font().pixelSize();
    // Tab stops are eight spaces wide, as zone files are written for.
    auto tabWidthIsEightSpaces = [&] {
        const qreal space = QFontMetricsF(view->font()).horizontalAdvance(QLatin1Char(' '));
        return std::abs(view->cursorRectAt(1).left() - view->cursorRectAt(0).left() - 8 * space) <= 1.0;
    };
    EXPECT_TRUE(tabWidthIsEightSpaces());
    const int pitch = view->lineHeight();

    QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(view->font().pixelSize(), chosen + 1);
    QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(view->font().pixelSize(), chosen + 2);
    EXPECT_GT(view->lineHeight(), pitch);
    EXPECT_TRUE(tabWidthIsEightSpaces());
    EXPECT_EQ(saved("EditorOption/Zoom").toInt(), 2);

    const QPointF at = view->viewport()->rect().center();
    QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
        Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(view->font().pixelSize(), chosen + 1);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(view->font().pixelSize(), chosen - 1);

    QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(view->font().pixelSize(), chosen);
    EXPECT_EQ(view->lineHeight(), pitch);
    EXPECT_EQ(saved("EditorOption/Zoom").toInt(), 0);
    EXPECT_EQ(viewText(*view), QStringLiteral("\tx\n")) << "zoom keys typed into the text";
}

TEST_F(EditorLookTest, TabAndShiftTabShiftWholeLinesAsOneUndoStep)
{
    CQuorelView *view = open("a\nb\nc\n");
    ASSERT_NE(view, nullptr);
    auto *buffer = view->buffer();
    // From inside line 1 down to the start of line 3: lines 1 and 2 only.
    const TextSelection chosen {1, buffer->lineStart(2)};
    view->setTextCursor(chosen);
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(viewText(*view), QStringLiteral("\ta\n\tb\nc\n"));
    EXPECT_EQ(view->textCursor(), (TextSelection {0, buffer->lineStart(1) + 2}));
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(viewText(*view), QStringLiteral("\t\ta\n\t\tb\nc\n"));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(viewText(*view), QStringLiteral("\ta\n\tb\nc\n"));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(viewText(*view), QStringLiteral("a\nb\nc\n"));
    EXPECT_EQ(view->textCursor(), chosen);

    // Shift+Tab takes one tab or up to eight spaces, and leaves bare lines alone.
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(view, QStringLiteral("d"));
    const QString spaced = QStringLiteral("          e");
    view->insertText(QStringLiteral("\n") + spaced);
    const QString before = viewText(*view);
    const TextSelection upward {buffer->length(), buffer->lineStart(2) + 1};
    view->setTextCursor(upward);
    QTest::keyClick(view, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(viewText(*view), QStringLiteral("a\nb\nc\nd\n  e"));
    EXPECT_EQ(view->textCursor(), (TextSelection {buffer->length(), buffer->lineStart(2)}));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(viewText(*view), before);
    EXPECT_EQ(view->textCursor(), upward);

    // A caret alone outdents its own line and stays on its character.
    view->setTextCursor({buffer->length() - 1, buffer->length() - 1});
    QTest::keyClick(view, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(viewText(*view), QStringLiteral("a\nb\nc\nd\n  e"));
    EXPECT_EQ(buffer->characterAt(view->textCursor().position), QLatin1Char('e'));

    // Within one line, Tab types a tab over the selection as before.
    view->setTextCursor({0, 1});
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(viewText(*view), QStringLiteral("\t\nb\nc\nd\n  e"));
}

} // namespace
