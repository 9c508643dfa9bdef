#include "apptestfixture.h"
#include "editor/childframe.h"
#include "editor/convfindreplacedialog.h"
#include "platform/quorelids.h"
#include "wizard/convwizardpage4.h"
#include "wizard/convwizardsheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

CQuorelView *activeView(CMainFrame *frame)
{
    return frame->activeView();
}

// The find commands reach the active window's view; the keys are the usual ones.
TEST_F(AppTest, FindCommandsOpenTheActiveViewsDialogAndF3SearchesOn)
{
    ASSERT_TRUE(start());
    type(frame()->activeDocument(), QStringLiteral("ns ns ns"));
    EXPECT_EQ(frame()->action(ids::command::kEditFind)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(frame()->action(ids::command::kEditReplace)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
    EXPECT_EQ(frame()->action(ids::command::kEditRepeat)->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_EQ(
        frame()->action(ids::command::kEditFindPrevious)->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));

    CQuorelView *view = activeView(frame());
    view->setTextCursor(TextSelection {});
    trigger(ids::command::kEditFind);
    ASSERT_NE(view->findDialog(), nullptr);
    EXPECT_TRUE(view->findDialog()->isFindOnly());
    view->findDialog()->findChild<QLineEdit *>(QStringLiteral("findWhatEdit"))->setText(QStringLiteral("ns"));
    QTest::mouseClick(
        view->findDialog()->findChild<QPushButton *>(QStringLiteral("findNextButton")), Qt::LeftButton);
    EXPECT_EQ(view->textCursor().start(), 0);
    trigger(ids::command::kEditRepeat);
    EXPECT_EQ(view->textCursor().start(), 3);
    trigger(ids::command::kEditReplace);
    ASSERT_NE(view->findDialog(), nullptr);
    EXPECT_FALSE(view->findDialog()->isFindOnly());

    // With no window open the find commands are off.
    frame()->activeChildFrame()->closeWithoutAsking();
    settle();
    EXPECT_FALSE(frame()->action(ids::command::kEditFind)->isEnabled());
    EXPECT_FALSE(frame()->action(ids::command::kEditRepeat)->isEnabled());
}

// 32778 runs the wizard modally over the main window; the file it makes
// opens in a window of its own.
TEST_F(AppTest, TheWizardCommandConvertsATemplateIntoAFileOpenedInANewWindow)
{
    const QString install = startInstalled();
    const QString sample = file("sample-in.zone", cp949("$ORIGIN 예제.한국.\nwww\tIN\tA\t10.0.0.1\n"));
    machine->setValue(QStringLiteral("SampleZonePath"), sample);
    const QString target = dir.filePath(QStringLiteral("made.zone"));
    prompter.saveNames = {target};
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *sheet = qobject_cast<CConvWizardSheet *>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        seen = true;
        EXPECT_EQ(sheet->parentWidget(), frame());
        for (int page = 0; page < 3; ++page)
            QTest::mouseClick(sheet->button(QWizard::NextButton), Qt::LeftButton);
        EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kSavePage);
        QTest::mouseClick(sheet->button(QWizard::FinishButton), Qt::LeftButton);
    });
    trigger(ids::command::kConvWizard);
    EXPECT_TRUE(seen);
    EXPECT_EQ(readBytes(target),
        QByteArray("; $ORIGIN ") + cp949("예제.한국.")
            + "\n$ORIGIN xn--2j5b21b.xn--3e0b707e.\nwww\tIN\tA\t10.0.0.1\n");
    ASSERT_NE(frame()->activeDocument(), nullptr);
    EXPECT_EQ(frame()->activeDocument()->GetPathName(), target);
    EXPECT_TRUE(entries().contains(target));
    EXPECT_TRUE(QDir(install + QStringLiteral("/temp")).entryList(QDir::Files).isEmpty());
}

// "FTP 불러오기" in the wizard started from the menu runs the FTP browser;
// closing it without a download keeps the wizard on its source page.
TEST_F(AppTest, TheWizardsFtpSourceRunsTheFtpBrowserAndStaysWhenItIsClosed)
{
    ASSERT_TRUE(start());
    int sourcePage = -1;
    int pageAfter = -2;
    QString browserTitle;
    QTimer::singleShot(0, [&] {
        auto *sheet = qobject_cast<CConvWizardSheet *>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        QTest::mouseClick(sheet->button(QWizard::NextButton), Qt::LeftButton);
        sourcePage = sheet->currentId();
        auto *ftp = sheet->findChild<QRadioButton *>(QStringLiteral("ftpRadio"));
        ASSERT_NE(ftp, nullptr);
        ASSERT_TRUE(ftp->isEnabled());
        ftp->setChecked(true);
        // The FTP window is modal over the wizard: note it, then close it.
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && modal != sheet) {
                browserTitle = modal->windowTitle();
                modal->close();
            }
        });
        QTest::mouseClick(sheet->button(QWizard::NextButton), Qt::LeftButton);
        pageAfter = sheet->currentId();
        sheet->reject();
    });
    trigger(ids::command::kConvWizard);
    EXPECT_FALSE(browserTitle.isEmpty());
    EXPECT_EQ(pageAfter, sourcePage);
}

// A find dialog searches its own window: it steps aside while another editor
// window is active and comes back with its own window.
TEST_F(AppTest, AFindDialogStepsAsideWhileAnotherWindowIsActive)
{
    ASSERT_TRUE(start());
    CChildFrame *first = frame()->activeChildFrame();
    trigger(ids::command::kEditFind);
    CConvFindReplaceDialog *dialog = first->view()->findDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());

    trigger(ids::command::kFileNew);
    CChildFrame *second = frame()->activeChildFrame();
    ASSERT_NE(second, first);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(second->view()->findDialog(), nullptr);

    frame()->mdiArea()->setActiveSubWindow(first);
    settle();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(first->view()->findDialog(), dialog);

    // Closed by the user, it stays closed when its window comes back.
    dialog->reject();
    frame()->mdiArea()->setActiveSubWindow(second);
    settle();
    frame()->mdiArea()->setActiveSubWindow(first);
    settle();
    EXPECT_TRUE(!first->view()->findDialog() || !first->view()->findDialog()->isVisible());
}

} // namespace
