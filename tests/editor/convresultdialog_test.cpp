// The list of Hangul hosts a conversion left inside rules, driven as the
// user drives it: double-clicks, the "복사" button, the context menu's copy
// and Ctrl+C.
#include "editor/convresultdialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

ConversionWarnings someWarnings()
{
    return {
        {7, 31, QStringLiteral("www\\.예제\\.한국"), QStringLiteral("www\\.xn--2j5b21b\\.xn--3e0b707e")},
        {15, 17, QStringLiteral("www.예제.한국"), QStringLiteral("www.xn--2j5b21b.xn--3e0b707e")},
        // A label IDNA refuses has no ACE form to offer.
        {20, 5, QStringLiteral("가\u3164.한국"), QString()},
    };
}

class WarningList : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        list = dialog.findChild<QTreeWidget *>(QStringLiteral("warningList"));
        copy = dialog.findChild<QPushButton *>(QStringLiteral("copyAceButton"));
        ASSERT_NE(list, nullptr);
        ASSERT_NE(copy, nullptr);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    QPoint rowPoint(int row) const { return list->visualItemRect(list->topLevelItem(row)).center(); }
    void clickRow(int row) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPoint(row)); }
    // What a mouse sends for a double-click: a click, then the second
    // press as a double-click, then its release.
    void doubleClickRow(int row)
    {
        clickRow(row);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowPoint(row));
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rowPoint(row));
    }

    CConvResultDialog dialog {someWarnings()};
    QTreeWidget *list = nullptr;
    QPushButton *copy = nullptr;
};

} // namespace

TEST_F(WarningList, ADoubleClickAsksForThatLineAndColumn)
{
    QSignalSpy asked(&dialog, &CConvResultDialog::lineRequested);
    doubleClickRow(1);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toInt(), 15);
    EXPECT_EQ(asked.at(0).at(1).toInt(), 17);

    // Enter on the current row goes there too, for the keyboard's user.
    clickRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_EQ(asked.count(), 2);
    EXPECT_EQ(asked.at(1).at(0).toInt(), 7);
    // Modeless and still open: the user goes on to the next rule.
    EXPECT_FALSE(dialog.isModal());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(WarningList, CopyPutsTheSelectedAceFormOnTheClipboard)
{
    clickRow(1);
    QTest::mouseClick(copy, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("www.xn--2j5b21b.xn--3e0b707e"));

    clickRow(0);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("www\\.xn--2j5b21b\\.xn--3e0b707e"));

    // The context menu offers the same copy: "복사" clicked in the menu a
    // right-click on the second row opens.
    clickRow(1);
    bool menuShown = false;
    QTimer::singleShot(0, [&menuShown] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        menuShown = true;
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("복사"))
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        }
        menu->close();
    });
    QContextMenuEvent rightClick(
        QContextMenuEvent::Mouse, rowPoint(1), list->viewport()->mapToGlobal(rowPoint(1)));
    QApplication::sendEvent(list->viewport(), &rightClick);
    EXPECT_TRUE(menuShown);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("www.xn--2j5b21b.xn--3e0b707e"));
    clickRow(0);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);

    // Nothing to copy for a host without an ACE form: the clipboard keeps
    // what it had.
    clickRow(2);
    EXPECT_FALSE(copy->isEnabled());
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("www\\.xn--2j5b21b\\.xn--3e0b707e"));
}
