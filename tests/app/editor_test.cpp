// The editor view inside the real main window: the select-all guard, the
// context menu, the view's set-up, and the About dialog's link.
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "app/aboutdialog.h"
#include "app/linkstatic.h"
#include "apptestfixture.h"
#include "editor/widgetprompter.h"
#include "platform/quorelids.h"

namespace {
QList<QPair<int, QString>> menuItems(QMenu *menu)
{
    QList<QPair<int, QString>> items;
    for (QAction *a : menu->actions())
        items << qMakePair(a->isSeparator() ? 0 : a->data().toInt(), a->text());
    return items;
}
} // namespace

TEST_F(AppTest, SelectAllGuardSwallowsASecondSelectAllUntilTheNextRefresh)
{
    const QString zone = file("g.zone", QByteArray("one\ntwo\n"));
    ASSERT_TRUE(start({zone}));
    CQuorelView *view = frame()->activeView();
    QAction *selectAll = frame()->action(ids::command::kEditSelectAll);

    trigger(ids::command::kEditSelectAll);
    EXPECT_EQ(view->selectedText().size(), 8);
    EXPECT_TRUE(view->selectAllGuard());
    // A repeat with nothing in between is swallowed: the guard stays set.
    view->OnEditSelectAll();
    EXPECT_TRUE(view->selectAllGuard());
    // Once the user moves the selection, the next select-all is honoured.
    moveCaretToEnd(*view);
    EXPECT_FALSE(view->textCursor().hasSelection());
    view->OnEditSelectAll();
    EXPECT_EQ(view->selectedText().size(), 8);
    EXPECT_TRUE(view->selectAllGuard());

    // The edit menu's refresh shows the command disabled once and clears it.
    QMenu *edit = frame()->findChild<QMenu *>(QStringLiteral("editMenu"));
    ASSERT_NE(edit, nullptr);
    emit edit->aboutToShow();
    EXPECT_FALSE(selectAll->isEnabled());
    EXPECT_FALSE(view->selectAllGuard());
    emit edit->aboutToHide();
    emit edit->aboutToShow();
    EXPECT_TRUE(selectAll->isEnabled());
    emit edit->aboutToHide();

    // The keyboard goes through the same refresh: Ctrl+A twice selects once,
    // the third press works again.
    moveCaretToEnd(*view);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(view->textCursor().hasSelection());
    EXPECT_TRUE(view->selectAllGuard());
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(view->selectAllGuard());
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(view->selectAllGuard());
}

TEST_F(AppTest, ContextMenuItemsAndStates)
{
    ASSERT_TRUE(start());
    CQuorelView *view = frame()->activeView();
    QMenu *menu = view->contextMenu();
    const QList<QPair<int, QString>> expected {{ids::command::kContextUndo, QStringLiteral("실행취소(&U)")},
        {0, QString()}, {ids::command::kContextCut, QStringLiteral("잘라내기(&T)")},
        {ids::command::kContextCopy, QStringLiteral("복사(&C)")},
        {ids::command::kContextPaste, QStringLiteral("붙여넣기(&P)")}, {0, QString()},
        {ids::command::kContextSelectAll, QStringLiteral("모두 선택(&A)")}, {0, QString()},
        {ids::command::kSelectionToPunycode, QStringLiteral("Euc-kr →Punycode")},
        {ids::command::kSelectionToEucKr, QStringLiteral("Punycode →Euc-kr")}};
    EXPECT_EQ(menuItems(menu), expected);

    auto state = [&](int id) {
        for (QAction *a : menu->actions()) {
            if (a->data().toInt() == id)
                return a->isEnabled();
        }
        ADD_FAILURE() << id;
        return false;
    };
    QGuiApplication::clipboard()->clear();
    view->updateContextMenu();
    EXPECT_FALSE(state(ids::command::kContextUndo));
    EXPECT_FALSE(state(ids::command::kContextCut));
    EXPECT_FALSE(state(ids::command::kContextCopy));
    EXPECT_FALSE(state(ids::command::kContextPaste));
    EXPECT_TRUE(state(ids::command::kContextSelectAll));
    EXPECT_FALSE(state(ids::command::kSelectionToPunycode)); // nothing selected
    EXPECT_FALSE(state(ids::command::kSelectionToEucKr));

    view->insertText(QStringLiteral("한글.kr"));
    view->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("xn--bj0bj06e.kr"));
    view->updateContextMenu();
    EXPECT_TRUE(state(ids::command::kContextUndo));
    EXPECT_TRUE(state(ids::command::kContextCut));
    EXPECT_TRUE(state(ids::command::kContextCopy));
    EXPECT_TRUE(state(ids::command::kContextPaste));
    // Every view of the application has the selection converter attached.
    EXPECT_TRUE(state(ids::command::kSelectionToPunycode));
    EXPECT_TRUE(state(ids::command::kSelectionToEucKr));
    namecodec::Encoding from = namecodec::Encoding::Utf8, to = namecodec::Encoding::Utf8;
    view->setSelectionConverter([&](CQuorelView &, namecodec::Encoding f, namecodec::Encoding t) {
        from = f;
        to = t;
    });
    view->updateContextMenu();
    EXPECT_TRUE(state(ids::command::kSelectionToPunycode));
    for (QAction *a : menu->actions()) {
        if (a->data().toInt() == ids::command::kSelectionToEucKr)
            a->trigger();
    }
    EXPECT_EQ(from, namecodec::Encoding::Punycode);
    EXPECT_EQ(to, namecodec::Encoding::Cp949);

    // Undo from the menu reverts the typing.
    for (QAction *a : menu->actions()) {
        if (a->data().toInt() == ids::command::kContextUndo)
            a->trigger();
    }
    EXPECT_EQ(view->buffer()->length(), 0);
}

TEST_F(AppTest, ContextMenuOpensOnTheRightButtonsRelease)
{
    ASSERT_TRUE(start());
    CQuorelView *view = frame()->activeView();
    bool shown = false;
    QTimer::singleShot(100, [&] {
        if (QMenu *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            shown = popup->objectName() == QStringLiteral("contextMenu");
            popup->close();
        }
    });
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr); // not on the press
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_TRUE(shown);
}

TEST_F(AppTest, ViewNeverWrapsUsesTheKoreanFontAndOpensClean)
{
    const QString longLine = QStringLiteral("; ") + QString(2000, QLatin1Char('x')) + QStringLiteral("\n");
    const QString zone = file("long.zone", longLine.toLatin1());
    ASSERT_TRUE(start({zone}));
    CQuorelView *view = frame()->activeView();
    EXPECT_EQ(view->buffer()->lineCount(), 2);
    // Not wrapped: the row under the long line already shows the next line.
    EXPECT_EQ(lineAt(*view, QPoint(2, view->lineHeight() * 3 / 2)), 1);
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->font().families().front(), QStringLiteral("바탕체"));
    EXPECT_EQ(view->font().pixelSize(), 13);
    EXPECT_FALSE(frame()->activeDocument()->IsModified());
}

TEST_F(AppTest, EditCommandsFollowTheSelectionAndClipboard)
{
    ASSERT_TRUE(start());
    CQuorelView *view = frame()->activeView();
    EXPECT_FALSE(frame()->action(ids::command::kEditCopy)->isEnabled());
    view->insertText(QStringLiteral("쇼핑몰.한국"));
    view->selectAll();
    EXPECT_TRUE(frame()->action(ids::command::kEditCopy)->isEnabled());
    trigger(ids::command::kEditCut);
    EXPECT_EQ(view->buffer()->length(), 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("쇼핑몰.한국"));
    trigger(ids::command::kEditPaste);
    trigger(ids::command::kEditPaste);
    EXPECT_EQ(viewText(*view), QStringLiteral("쇼핑몰.한국쇼핑몰.한국"));
    trigger(ids::command::kEditUndo);
    EXPECT_EQ(viewText(*view), QStringLiteral("쇼핑몰.한국"));
}

TEST(AboutDialog, MailAddressIsALiveLink)
{
    CAboutDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("린드바트 정보"));
    // The tall picture and the small one, as the update notes show them.
    const QLabel *tall = dialog.findChild<QLabel *>(QStringLiteral("aboutLogo"));
    const QLabel *small = dialog.findChild<QLabel *>(QStringLiteral("aboutPicture"));
    ASSERT_TRUE(tall && small);
    EXPECT_EQ(tall->property("controlId").toInt(), ids::bitmap::kAboutLogo);
    EXPECT_GT(tall->pixmap().height(), 2 * tall->pixmap().width());
    EXPECT_FALSE(small->pixmap().isNull());
    CLinkStatic *link = dialog.mailLink();
    EXPECT_EQ(link->property("controlId").toInt(), ids::control::kAboutMailLink);
    EXPECT_TRUE(link->notifies());
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    QUrl opened;
    link->opener = [&](const QUrl &url) {
        opened = url;
        return true;
    };
    dialog.show();
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(opened, QUrl(QStringLiteral("mailto:") + QString::fromLatin1(CAboutDialog::kMailAddress)));
}

TEST_F(AppTest, PrintsTheTextWithHalfInchMargins)
{
    const QString zone = file("p.zone", cp949("; 인쇄 시험\nwww IN A 192.0.2.1\n"));
    ASSERT_TRUE(start({zone}));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    printer.setOutputFileName(pdf);
    frame()->activeView()->printTo(&printer);
    const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Millimeter);
    EXPECT_NEAR(margins.left(), 12.7, 0.01);
    EXPECT_NEAR(margins.bottom(), 12.7, 0.01);
    EXPECT_TRUE(readBytes(pdf).startsWith("%PDF"));
}

TEST_F(AppTest, ClosingTheMainWindowAsksAboutEachModifiedDocument)
{
    ASSERT_TRUE(start());
    type(frame()->activeDocument(), QStringLiteral("미저장"));
    prompter.yesNoCancelAnswers = {Prompter::Answer::Cancel};
    EXPECT_FALSE(frame()->close());
    EXPECT_EQ(prompter.questions.size(), 1);
    EXPECT_TRUE(prompter.questions.front().contains(QStringLiteral("파일1")));
    EXPECT_EQ(app->documents().size(), 1);

    prompter.yesNoCancelAnswers = {Prompter::Answer::No};
    EXPECT_TRUE(frame()->close());
}

TEST(WidgetPrompterTest, SaveDialogAddsTheKindsExtension)
{
    QTemporaryDir dir;
    WidgetPrompter prompter;
    QString typed = dir.filePath(QStringLiteral("새존"));
    QTimer::singleShot(50, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(typed);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    const QString chosen = prompter.saveFileName(
        dir.filePath(QStringLiteral("네임 존파일1.zone")), QStringLiteral("도메인 존파일  (*.zone)"));
    EXPECT_EQ(chosen, typed + QStringLiteral(".zone"));
}
