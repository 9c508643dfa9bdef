#pragma once

// Reaching the main window's commands as a user does: a click on a menu's
// title in the bar, then on the item.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

inline QMenu *barMenu(QMenuBar *bar, const QString &title)
{
    for (QAction *a : bar->actions()) {
        if (a->menu() && a->text() == title)
            return a->menu();
    }
    return nullptr;
}

// The visible item of `menu` carrying command `id`, pop-ups left aside.
inline QAction *itemOf(QMenu *menu, int id)
{
    for (QAction *a : menu->actions()) {
        if (!a->isSeparator() && !a->menu() && a->data().toInt() == id && a->isVisible())
            return a;
    }
    return nullptr;
}

inline QMenu *submenuOf(QMenu *menu, const QString &title)
{
    for (QAction *a : menu->actions()) {
        if (a->menu() && a->text() == title)
            return a->menu();
    }
    return nullptr;
}

// Opens a menu of the bar with a click on its title; nullptr when there is
// no such menu or it would not open.
inline QMenu *openMenu(QMenuBar *bar, const QString &title)
{
    QMenu *menu = barMenu(bar, title);
    if (!menu)
        return nullptr;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000))
        return nullptr;
    return menu;
}

// Opens a pop-up inside an open menu with a click on its item.
inline QMenu *openSubmenu(QMenu *menu, const QString &title)
{
    QMenu *sub = submenuOf(menu, title);
    if (!sub)
        return nullptr;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(sub->menuAction()).center());
    if (!QTest::qWaitFor([sub] { return sub->isVisible(); }, 2000))
        return nullptr;
    return sub;
}

// Chooses command `id` from the bar's menu `title`; false when the item is
// missing or greyed.
inline bool chooseFromMenu(QMenuBar *bar, const QString &title, int id)
{
    QMenu *menu = openMenu(bar, title);
    QAction *item = menu ? itemOf(menu, id) : nullptr;
    if (!item || !item->isEnabled()) {
        if (menu)
            menu->close();
        return false;
    }
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    return true;
}

// Closes every open pop-up with Escape.
inline void closeMenus()
{
    for (int i = 0; i < 3 && QApplication::activePopupWidget(); ++i)
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
}
