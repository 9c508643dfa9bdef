// The open-files list and the docking pane that hosts it, as real widgets.
#include <QFontDatabase>
#include <QMainWindow>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include "../support/testmain.h"
#include "panes/dialogtemplate.h"
#include "panes/dockingpanebar.h"
#include "panes/openfilelistdialog.h"
#include "platform/quorelids.h"

TEST(OpenFileList, AddsRenamesAndRemovesByKey)
{
    COpenFileListDialog list;
    QSignalSpy activated(&list, &COpenFileListDialog::activateRequested);
    EXPECT_EQ(list.rootItem()->text(0), QStringLiteral("열린목록"));

    list.AddOrRenameEntry(QStringLiteral("/a.zone"), 1);
    list.AddOrRenameEntry(QStringLiteral("/b.zone"), 2);
    list.AddOrRenameEntry(QStringLiteral("/c.conf"), 3);
    EXPECT_EQ(list.entryTexts(),
        (QStringList {QStringLiteral("/a.zone"), QStringLiteral("/b.zone"), QStringLiteral("/c.conf")}));
    // Each new entry became the selection, which asked for its window.
    ASSERT_EQ(activated.size(), 3);
    EXPECT_EQ(activated.at(2).at(0).value<quint64>(), quint64(3));
    EXPECT_EQ(list.tree()->currentItem()->text(0), QStringLiteral("/c.conf"));

    // A known key renames in place: no duplicate, position kept, no activation.
    list.AddOrRenameEntry(QStringLiteral("/renamed.zone"), 2);
    EXPECT_EQ(list.entryTexts(),
        (QStringList {
            QStringLiteral("/a.zone"), QStringLiteral("/renamed.zone"), QStringLiteral("/c.conf")}));
    EXPECT_EQ(activated.size(), 3);

    list.RemoveEntry(99); // unknown key: nothing changes
    EXPECT_EQ(list.entryTexts().size(), 3);
    list.RemoveEntry(2);
    EXPECT_EQ(list.entryTexts(), (QStringList {QStringLiteral("/a.zone"), QStringLiteral("/c.conf")}));

    EXPECT_TRUE(list.ContainsText(QStringLiteral("/a.zone")));
    EXPECT_FALSE(list.ContainsText(QStringLiteral("/A.zone"))); // exact, case-sensitive
    EXPECT_FALSE(list.ContainsText(QStringLiteral("열린목록"))); // the root is not an entry
}

TEST(OpenFileList, SameTextUnderTwoKeysAndSelectingEntries)
{
    COpenFileListDialog list;
    list.AddOrRenameEntry(QStringLiteral("/same"), 10);
    list.AddOrRenameEntry(QStringLiteral("/same"), 20);
    EXPECT_EQ(list.entryTexts().size(), 2);
    EXPECT_TRUE(list.ContainsText(QStringLiteral("/same")));

    QSignalSpy activated(&list, &COpenFileListDialog::activateRequested);
    list.tree()->setCurrentItem(list.rootItem()); // the root activates nothing
    EXPECT_EQ(activated.size(), 0);
    list.tree()->setCurrentItem(list.rootItem()->child(0));
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated.at(0).at(0).value<quint64>(), quint64(10));
}

class PaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame.setCentralWidget(new QWidget);
        frame.resize(800, 600);
        list = new COpenFileListDialog;
        pane = new CDockingPaneBar(&frame);
        ASSERT_TRUE(pane->Create(&frame, list, QStringLiteral("현재 열린 파일목록"),
            ids::dialog::kOpenFileList, Qt::LeftDockWidgetArea));
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    }
    QMainWindow frame;
    COpenFileListDialog *list = nullptr;
    CDockingPaneBar *pane = nullptr;
};

TEST_F(PaneTest, DocksOnEveryEdgeAndFloats)
{
    EXPECT_EQ(pane->windowTitle(), QStringLiteral("현재 열린 파일목록"));
    EXPECT_EQ(pane->dockBarId(), ids::bar::kDockLeft);
    EXPECT_EQ(pane->width(), pane->verticalSize().width());
    const struct {
        Qt::DockWidgetArea area;
        int id;
    } edges[] = {{Qt::TopDockWidgetArea, ids::bar::kDockTop}, {Qt::RightDockWidgetArea, ids::bar::kDockRight},
        {Qt::BottomDockWidgetArea, ids::bar::kDockBottom}, {Qt::LeftDockWidgetArea, ids::bar::kDockLeft}};
    for (const auto &e : edges) {
        SCOPED_TRACE(e.id);
        frame.addDockWidget(e.area, pane);
        EXPECT_EQ(pane->dockBarId(), e.id);
        EXPECT_TRUE(pane->isVisible());
    }
    QTest::mouseClick(pane->floatButton(), Qt::LeftButton);
    EXPECT_TRUE(pane->isFloating());
    EXPECT_EQ(pane->dockBarId(), 0);
    QTest::mouseClick(pane->floatButton(), Qt::LeftButton);
    EXPECT_FALSE(pane->isFloating());
    EXPECT_EQ(pane->hostedDialog(), list);
}

TEST_F(PaneTest, DockedSizeFollowsTheDragDownToThirtyTwoPixels)
{
    frame.resizeDocks({pane}, {250}, Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_EQ(pane->width(), 250);
    frame.resizeDocks({pane}, {5}, Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_EQ(pane->width(), CDockingPaneBar::kMinimumSize);

    frame.addDockWidget(Qt::TopDockWidgetArea, pane);
    frame.resizeDocks({pane}, {1}, Qt::Vertical);
    QCoreApplication::processEvents();
    EXPECT_EQ(pane->height(), CDockingPaneBar::kMinimumSize);
}

TEST_F(PaneTest, CloseButtonHidesAndReports)
{
    QSignalSpy closed(pane, &CDockingPaneBar::closedByButton);
    QTest::mouseClick(pane->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(pane->isVisible());
    EXPECT_EQ(closed.size(), 1);
}

int main(int argc, char **argv)
{
    return runWidgetTests(argc, argv);
}

TEST_F(PaneTest, DraggingTheInnerEdgeResizesWithAMinimum)
{
    // The separator between the pane and the central widget.
    auto edgeX = [this] {
        return pane->geometry().right() + 1
            + frame.style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent) / 2;
    };
    const int y = pane->geometry().center().y();
    const int before = pane->width();
    auto send = [this](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(
            type, QPointF(at), frame.mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&frame, &e);
        QCoreApplication::processEvents(); // separator moves are applied from the event loop
    };
    auto drag = [&](int dx) {
        const QPoint start(edgeX(), y);
        send(QEvent::MouseButtonPress, start, Qt::LeftButton);
        send(QEvent::MouseMove, start + QPoint(dx, 0), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, start + QPoint(dx, 0), Qt::NoButton);
    };
    drag(50);
    EXPECT_EQ(pane->width(), before + 50);
    drag(-600);
    EXPECT_EQ(pane->width(), CDockingPaneBar::kMinimumSize);
}

TEST_F(PaneTest, SizedFromItsTemplateInTheTemplateFont)
{
    // 굴림 where it is installed, else NanumGothic; 9 pt either way, and the
    // tree shows its entries in it.
    const bool gulim = QFontDatabase::hasFamily(QStringLiteral("굴림"))
        || QFontDatabase::hasFamily(QStringLiteral("Gulim"));
    const QFontInfo shown(list->tree()->font());
    if (!gulim) {
        EXPECT_EQ(shown.family(), QStringLiteral("NanumGothic"));
    }
    EXPECT_EQ(list->tree()->font().pointSize(), 9);
    EXPECT_EQ(list->font().pointSize(), 9);

    // 91 x 100 dialog units and a one-pixel border; docked left, the pane
    // adds its edge and border (9) to the width. In this font that is about
    // 145 pixels across.
    const QSize dialog = dialogtemplate::unitsToPixels(QSize(91, 100), list->font()) + QSize(2, 2);
    EXPECT_EQ(pane->verticalSize(), QSize(dialog.width() + 9, dialog.height()));
    EXPECT_EQ(pane->horizontalSize(), QSize(dialog.width(), dialog.height() + 9));
    EXPECT_EQ(pane->width(), dialog.width() + 9);
    EXPECT_GE(pane->width(), 135);
    EXPECT_LE(pane->width(), 155);

    // Each orientation keeps its own size: the template's height across the
    // bottom, and the width the user gave it back on the left.
    frame.resizeDocks({pane}, {180}, Qt::Horizontal);
    QCoreApplication::processEvents();
    frame.addDockWidget(Qt::BottomDockWidgetArea, pane);
    QCoreApplication::processEvents();
    EXPECT_EQ(pane->height(), dialog.height() + 9);
    frame.addDockWidget(Qt::LeftDockWidgetArea, pane);
    QCoreApplication::processEvents();
    EXPECT_EQ(pane->width(), 180);
}

TEST_F(PaneTest, GripperIsAStripOnTheLeftWhenDockedTopOrBottom)
{
    auto caption = [this] { return pane->titleBarWidget(); };
    ASSERT_NE(caption(), nullptr);
    // Docked left: a strip across the top, the full width of the pane.
    EXPECT_FALSE(pane->features() & QDockWidget::DockWidgetVerticalTitleBar);
    EXPECT_EQ(caption()->height(), CDockingPaneBar::kGripperWidth);
    EXPECT_EQ(caption()->width(), pane->width());

    for (Qt::DockWidgetArea area : {Qt::BottomDockWidgetArea, Qt::TopDockWidgetArea}) {
        SCOPED_TRACE(area);
        frame.addDockWidget(area, pane);
        QCoreApplication::processEvents();
        EXPECT_TRUE(pane->features() & QDockWidget::DockWidgetVerticalTitleBar);
        EXPECT_EQ(caption()->geometry().left(), 0);
        EXPECT_EQ(caption()->width(), CDockingPaneBar::kGripperWidth);
        EXPECT_EQ(caption()->height(), pane->height());
        // Close at the top, float just below it.
        EXPECT_LE(pane->closeButton()->geometry().top(), 10);
        EXPECT_LT(pane->closeButton()->geometry().bottom(), pane->floatButton()->geometry().top());
        EXPECT_LE(pane->floatButton()->geometry().top(), 30);
        EXPECT_EQ(pane->closeButton()->geometry().left(), pane->floatButton()->geometry().left());
        EXPECT_GT(pane->hostedDialog()->geometry().left(), CDockingPaneBar::kGripperWidth - 1);
    }

    frame.addDockWidget(Qt::RightDockWidgetArea, pane);
    QCoreApplication::processEvents();
    EXPECT_FALSE(pane->features() & QDockWidget::DockWidgetVerticalTitleBar);
    EXPECT_EQ(caption()->height(), CDockingPaneBar::kGripperWidth);
    EXPECT_LT(pane->floatButton()->geometry().left(), pane->closeButton()->geometry().left());
}

TEST_F(PaneTest, FloatingPaneHasNoGripperOfItsOwn)
{
    QSignalSpy closed(pane, &CDockingPaneBar::closedByButton);
    QTest::mouseClick(pane->floatButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(pane->isFloating());
    EXPECT_EQ(pane->titleBarWidget(), nullptr);
    EXPECT_FALSE(pane->closeButton()->isVisible());
    EXPECT_FALSE(pane->floatButton()->isVisible());
    // Where the buttons were, the pane's top edge does nothing.
    QTest::mouseClick(pane, Qt::LeftButton, {}, QPoint(pane->width() - 8, 4));
    QTest::mouseClick(pane, Qt::LeftButton, {}, QPoint(pane->width() - 24, 4));
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane->isFloating());
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(closed.size(), 0);
    // The floating frame's own close hides it and is reported like ours.
    pane->windowHandle()->close();
    EXPECT_FALSE(pane->isVisible());
    EXPECT_EQ(closed.size(), 1);
    pane->show();

    // Docked again, the gripper is back with working buttons.
    pane->setFloating(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(pane->titleBarWidget(), pane->closeButton()->parentWidget());
    EXPECT_TRUE(pane->closeButton()->isVisible());
    QTest::mouseClick(pane->closeButton(), Qt::LeftButton);
    EXPECT_EQ(closed.size(), 2);
}

TEST_F(PaneTest, DoubleClickInTheClientAreaFloatsThePane)
{
    // The dialog's margin around the tree is the pane's own client area.
    const QPoint margin(2, list->height() / 2);
    QTest::mouseDClick(list->tree()->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_FALSE(pane->isFloating()); // the tree keeps its own clicks
    QTest::mouseDClick(list, Qt::LeftButton, {}, margin);
    EXPECT_TRUE(pane->isFloating());
    // Floating, the client area no longer moves the pane.
    QTest::mouseDClick(list, Qt::LeftButton, {}, margin);
    EXPECT_TRUE(pane->isFloating());
}

TEST_F(PaneTest, DraggingTheClientAreaMovesThePane)
{
    const QPoint margin(2, list->height() / 2);
    const QPoint target = frame.mapToGlobal(QPoint(frame.width() + 150, 200));
    QTest::mousePress(list, Qt::LeftButton, {}, margin);
    QTest::mouseMove(list, list->mapFromGlobal(target - QPoint(60, 0)));
    QTest::mouseMove(list, list->mapFromGlobal(target));
    QTest::mouseRelease(list, Qt::LeftButton, {}, list->mapFromGlobal(target));
    QCoreApplication::processEvents();
    ASSERT_TRUE(pane->isFloating());
    // Dropped outside the frame, it floats where the cursor let go.
    EXPECT_TRUE(pane->frameGeometry().adjusted(-30, -30, 30, 30).contains(target))
        << pane->frameGeometry().x() << "," << pane->frameGeometry().y();
}

TEST(OpenFileList, TreeDrawsLinesFromTheRootToEachEntry)
{
    COpenFileListDialog list;
    list.resize(300, 300);
    for (quint64 key = 1; key <= 3; ++key)
        list.AddOrRenameEntry(QStringLiteral("/zones/db.%1").arg(key), key);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QTreeWidget *tree = list.tree();
    const QImage image = tree->viewport()->grab().toImage();
    const QColor line = tree->palette().color(QPalette::Dark);
    auto isLine = [&](int x, int y) { return image.pixelColor(x, y).rgb() == line.rgb(); };

    // Children sit one indentation in; their branch column holds a dotted
    // vertical line from the root down to the last child's row and a
    // horizontal stub into each child.
    const QRect root = tree->visualItemRect(list.rootItem());
    const QRect last = tree->visualItemRect(list.rootItem()->child(2));
    const int column = tree->indentation() + tree->indentation() / 2;
    int vertical = 0;
    for (int y = root.bottom() + 1; y < last.center().y(); ++y) {
        vertical += isLine(column, y) || isLine(column - 1, y) ? 1 : 0;
    }
    EXPECT_GE(vertical, (last.center().y() - root.bottom()) / 2 - 2);
    for (int i = 0; i < 3; ++i) {
        const int y = tree->visualItemRect(list.rootItem()->child(i)).center().y();
        int horizontal = 0;
        for (int x = column + 1; x < 2 * tree->indentation(); ++x)
            horizontal += isLine(x, y) || isLine(x, y - 1) ? 1 : 0;
        EXPECT_GE(horizontal, tree->indentation() / 4 - 1) << "child " << i;
    }
    // Nothing continues below the last child.
    int below = 0;
    for (int y = last.bottom() + 2; y < last.bottom() + 20 && y < image.height(); ++y)
        below += isLine(column, y) ? 1 : 0;
    EXPECT_EQ(below, 0);
}
