// The open-files list and the docking pane that hosts it, as real widgets.
#include <QMainWindow>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "../support/testmain.h"
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
    EXPECT_EQ(pane->width(), CDockingPaneBar::kInitialSize);
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
