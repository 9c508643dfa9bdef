// The window menu's arrangements on real editor windows, and print set-up,
// each chosen from the menu bar with the mouse.
#include <QDialogButtonBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>

#include "../support/modalscript.h"
#include "apptestfixture.h"
#include "menuclicks.h"
#include "platform/quorelids.h"

namespace {

class WindowCommandsTest : public AppTest {
protected:
    // Three editor windows, none maximised, shown in a main window of a
    // known size.
    QList<QMdiSubWindow *> threeWindows()
    {
        EXPECT_TRUE(start({file("a.zone", "a\n")}));
        EXPECT_NE(app->OpenDocumentFile(file("b.zone", "b\n")), nullptr);
        EXPECT_NE(app->OpenDocumentFile(file("c.zone", "c\n")), nullptr);
        frame()->showNormal();
        frame()->resize(900, 700);
        settle();
        QList<QMdiSubWindow *> windows = mdi()->subWindowList();
        for (QMdiSubWindow *w : windows)
            w->showNormal();
        settle();
        return windows;
    }
    QMdiArea *mdi() const { return frame()->findChild<QMdiArea *>(QStringLiteral("mdiArea")); }
    bool choose(int id)
    {
        const bool chosen = chooseFromMenu(frame()->menuBar(), QStringLiteral("창(&W)"), id);
        settle();
        return chosen;
    }
};

} // namespace

TEST_F(WindowCommandsTest, CascadeAndTileArrangeTheOpenWindows)
{
    const QList<QMdiSubWindow *> windows = threeWindows();
    ASSERT_EQ(windows.size(), 3);
    const QRect area = mdi()->viewport()->rect();

    ASSERT_TRUE(choose(ids::command::kWindowCascade));
    // Each window overlaps the one before, one step further right and down.
    QList<QRect> cascade;
    for (QMdiSubWindow *w : mdi()->subWindowList())
        cascade << w->geometry();
    std::sort(cascade.begin(), cascade.end(), [](const QRect &l, const QRect &r) { return l.y() < r.y(); });
    const QPoint step = cascade[1].topLeft() - cascade[0].topLeft();
    EXPECT_GT(step.x(), 0);
    EXPECT_GT(step.y(), 0);
    EXPECT_EQ(cascade[2].topLeft() - cascade[1].topLeft(), step);
    EXPECT_TRUE(cascade[0].intersects(cascade[1]));
    EXPECT_TRUE(cascade[1].intersects(cascade[2]));

    ASSERT_TRUE(choose(ids::command::kWindowTile));
    // Side by side: no two overlap, and together they fill the client area.
    int covered = 0;
    for (int i = 0; i < windows.size(); ++i) {
        const QRect r = windows[i]->geometry();
        EXPECT_TRUE(area.contains(r)) << i;
        covered += r.width() * r.height();
        for (int j = i + 1; j < windows.size(); ++j)
            EXPECT_FALSE(r.intersects(windows[j]->geometry())) << i << ' ' << j;
    }
    EXPECT_GT(covered, area.width() * area.height() * 9 / 10);
}

TEST_F(WindowCommandsTest, ArrangeIconsLinesMinimisedWindowsAlongTheBottom)
{
    const QList<QMdiSubWindow *> windows = threeWindows();
    ASSERT_EQ(windows.size(), 3);
    windows[0]->showMinimized();
    windows[2]->showMinimized();
    settle();
    windows[0]->move(200, 150);
    windows[2]->move(40, 60);
    const QRect open = windows[1]->geometry();

    ASSERT_TRUE(choose(ids::command::kWindowArrange));
    const int bottom = mdi()->viewport()->height();
    EXPECT_EQ(windows[0]->geometry().bottom() + 1, bottom);
    EXPECT_EQ(windows[2]->geometry().bottom() + 1, bottom);
    EXPECT_EQ(windows[0]->x(), 0);
    EXPECT_EQ(windows[2]->x(), windows[0]->width());
    EXPECT_EQ(windows[1]->geometry(), open) << "a window that is not minimised stays";
}

TEST_F(WindowCommandsTest, PrintSetupOpensThePageSetupAndKeepsTheChoice)
{
    ASSERT_TRUE(start({file("p.zone", "p\n")}));
    QPrinter *printer = frame()->printer();
    printer->setPageOrientation(QPageLayout::Portrait);

    ModalScript script(10000);
    QString title;
    script.then([&title](QWidget *modal) {
        auto *dialog = qobject_cast<QPageSetupDialog *>(modal);
        auto *landscape = modal->findChild<QRadioButton *>(QStringLiteral("landscape"));
        if (!dialog || !landscape || !landscape->isVisible())
            return false;
        title = dialog->windowTitle();
        // Tried again on the next poll if the dialog was not ready for it.
        landscape->setFocus();
        QTest::keyClick(landscape, Qt::Key_Space);
        if (!landscape->isChecked())
            return false;
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        QPushButton *ok = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr;
        if (!ok)
            return false;
        QTest::mouseClick(ok, Qt::LeftButton);
        return true;
    });
    ASSERT_TRUE(
        chooseFromMenu(frame()->menuBar(), QStringLiteral("파일(&F)"), ids::command::kFilePrintSetup));
    ASSERT_TRUE(QTest::qWaitFor([&script] { return script.finished(); }, 10000));
    settle();
    EXPECT_FALSE(script.timedOut());
    EXPECT_EQ(title, QStringLiteral("인쇄 설정"));
    EXPECT_EQ(frame()->printer()->pageLayout().orientation(), QPageLayout::Landscape);
}
