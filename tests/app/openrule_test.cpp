// Every way of opening a path, the read-only copies, save all and close all,
// and the open-files list following them.
#include <QComboBox>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QToolButton>
#include <QTreeWidget>

#include "../support/modalscript.h"
#include "app/singleinstance.h"
#include "apptestfixture.h"
#include "document/documentconversion.h"
#include "editor/widgetprompter.h"
#include "panes/dockingpanebar.h"
#include "platform/quorelids.h"

TEST_F(AppTest, AlreadyOpenPathOpensReadOnlyCopiesFromTheGeneralTemplate)
{
    const QString zone = file("a.zone", cp949("$ORIGIN 한글.kr.\n"));
    ASSERT_TRUE(start({zone}));
    CQuorelDoc *first = app->documents().front();
    EXPECT_EQ(first->kind(), ids::templ::kZone);

    CQuorelDoc *copy = app->OpenDocumentFile(zone);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, first);
    EXPECT_EQ(copy->kind(), ids::templ::kGeneral);
    EXPECT_TRUE(copy->isReadOnly());
    EXPECT_EQ(copy->GetTitle(), QStringLiteral("a.zone - [읽기전용]"));
    EXPECT_EQ(copy->textBuffer()->toPlainText(), QStringLiteral("$ORIGIN 한글.kr.\n"));
    CQuorelDoc *third = app->OpenDocumentFile(zone);
    ASSERT_NE(third, nullptr);
    EXPECT_TRUE(third->isReadOnly());
    EXPECT_EQ(app->documents().size(), 3);
    EXPECT_EQ(entries(),
        (QStringList {zone, QStringLiteral("a.zone - [읽기전용]"), QStringLiteral("a.zone - [읽기전용]")}));

    // The read-only copy refuses Save and keeps its edits; the file is untouched.
    type(copy, QStringLiteral("; 편집"));
    app->mainFrame()->mdiArea()->setActiveSubWindow(qobject_cast<CChildFrame *>(copy->frame()));
    trigger(ids::command::kFileSave);
    EXPECT_EQ(prompter.messages, QStringList {QStringLiteral("읽기전용 파일은 저장할 수 없습니다")});
    EXPECT_TRUE(copy->IsModified());
    EXPECT_EQ(readBytes(zone), cp949("$ORIGIN 한글.kr.\n"));

    // Save all: the same refusal, the copy stays modified.
    trigger(ids::command::kSaveAll);
    EXPECT_EQ(prompter.messages.size(), 2);
    EXPECT_TRUE(copy->IsModified());
    EXPECT_EQ(readBytes(zone), cp949("$ORIGIN 한글.kr.\n"));
}

TEST_F(AppTest, OtherLetterCaseBringsTheOpenWindowForward)
{
    const QString zone = file("Case.zone", QByteArray("x\n"));
    ASSERT_TRUE(start({zone}));
    CQuorelDoc *first = app->documents().front();
    trigger(ids::command::kFileNew);
    EXPECT_NE(frame()->activeDocument(), first);

    const QString otherCase = dir.filePath(QStringLiteral("case.ZONE"));
    EXPECT_EQ(app->OpenDocumentFile(otherCase), first);
    EXPECT_EQ(frame()->activeDocument(), first);
    EXPECT_EQ(app->documents().size(), 2);

    // A distinct file that differs only in case is a file of its own.
    file("case.ZONE", QByteArray("y\n"));
    CQuorelDoc *other = app->OpenDocumentFile(otherCase);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, first);
    EXPECT_FALSE(other->isReadOnly());
}

TEST_F(AppTest, EveryWayOfOpeningGoesThroughTheOpenRule)
{
    const QString a = file("a.conf", QByteArray("a\n"));
    const QString b = file("b.zone", QByteArray("b\n"));
    const QString c = file("c.txt", QByteArray("c\n"));
    ASSERT_TRUE(start());

    // The open prompt starts on every supported kind, then the filters in
    // registration order.
    prompter.openName = a;
    trigger(ids::command::kFileOpen);
    EXPECT_TRUE(
        prompter.openFilter.startsWith(QStringLiteral("지원하는 모든 파일  (*.zone *.rev *.conf *.txt db.* "
                                                      "named.*);;도메인 존파일  (*.zone);;리버스 존파일")));
    EXPECT_EQ(frame()->activeDocument()->GetPathName(), a);
    EXPECT_EQ(frame()->activeDocument()->kind(), ids::templ::kNamedConf);

    // Files dropped on the main window.
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(b), QUrl::fromLocalFile(c)});
    // Qt delivers a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame(), &drop);
    settle();
    delete mime;
    EXPECT_EQ(frame()->activeDocument()->GetPathName(), c);
    EXPECT_EQ(frame()->activeDocument()->kind(), ids::templ::kZone); // .txt opens as a zone

    // The recent files: most recent first, four at most.
    EXPECT_EQ(app->settings().recentFiles(), (QStringList {c, b, a}));
    const QString d = file("d.zone", QByteArray("d\n"));
    const QString e = file("e.zone", QByteArray("e\n"));
    app->OpenDocumentFile(d);
    app->OpenDocumentFile(e);
    EXPECT_EQ(app->settings().recentFiles(), (QStringList {e, d, c, b}));
    QAction *recent = frame()->findChild<QAction *>(QStringLiteral("recentFile4"));
    ASSERT_NE(recent, nullptr);
    EXPECT_TRUE(recent->text().endsWith(b));
    // Choosing an entry of an open file makes a read-only copy, like any open.
    recent->trigger();
    settle();
    EXPECT_TRUE(frame()->activeDocument()->isReadOnly());
    // An entry whose file is gone says so and, when the user agrees, leaves the list.
    QFile::remove(d);
    prompter.questionAnswer = true;
    frame()->findChild<QAction *>(QStringLiteral("recentFile3"))->trigger();
    settle();
    ASSERT_FALSE(prompter.questions.isEmpty());
    EXPECT_TRUE(prompter.questions.last().contains(d));
    EXPECT_FALSE(app->settings().recentFiles().contains(d));
}

namespace {
// The enabled names the file dialog's list shows in its current folder.
QStringList listedNames(QFileDialog *dialog)
{
    QStringList names;
    auto *list = dialog->findChild<QListView *>(QStringLiteral("listView"));
    if (!list || !list->model())
        return names;
    const QModelIndex folder = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(folder); ++row) {
        const QModelIndex item = list->model()->index(row, 0, folder);
        if (item.flags() & Qt::ItemIsEnabled)
            names << item.data().toString();
    }
    names.sort();
    return names;
}

// True when the dialog shows `folder`; else types its path and Return, as
// a user goes there, and the caller asks again.
bool showsFolder(QFileDialog *dialog, QLineEdit *edit, const QString &folder)
{
    if (QDir(dialog->directory()) == QDir(folder))
        return true;
    dialog->activateWindow();
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, folder);
    // The completer's list would take the Return for itself.
    if (edit->completer() && edit->completer()->popup())
        edit->completer()->popup()->hide();
    QTest::keyClick(edit, Qt::Key_Return);
    return false;
}
} // namespace

TEST_F(AppTest, TheOpenDialogListsBindsFileNamesAndEveryFileOnRequest)
{
    const QString folder = dir.filePath(QStringLiteral("bind"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char *name : {"db.example.com", "named.conf.local", "a.zone", "hosts", "notes.pdf"})
        writeBytes(folder + u'/' + QString::fromUtf8(name), cp949("$ORIGIN 한글.kr.\n"));

    WidgetPrompter shown;
    AppOptions options;
    options.showSplash = false;
    app = std::make_unique<CQuorelApp>(*user, *machine, shown, options);
    ASSERT_TRUE(app->InitInstance({}));
    shown.setParent(frame());
    settle();

    // One step plays the whole visit: it answers "not yet" while the
    // folder is still being listed, and acts when the names are there.
    QStringList supported, everything;
    bool everyFile = false;
    ModalScript script(15000);
    script.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        auto *edit = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        auto *types = dialog ? dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")) : nullptr;
        if (!edit || !types || !showsFolder(dialog, edit, folder))
            return false;
        const QStringList names = listedNames(dialog);
        if (!everyFile) {
            if (!names.contains(QStringLiteral("a.zone")))
                return false;
            supported = names;
            // The last filter, chosen from the keyboard.
            types->setFocus();
            QTest::keyClick(types, Qt::Key_End);
            everyFile = true;
            return false;
        }
        if (!names.contains(QStringLiteral("hosts")))
            return false;
        everything = names;
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("db.example.com"));
        if (edit->completer() && edit->completer()->popup())
            edit->completer()->popup()->hide();
        QTest::keyClick(edit, Qt::Key_Return);
        return true;
    });
    QApplication::setActiveWindow(frame());
    QTest::keyClick(frame(), Qt::Key_O, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(script.timedOut());

    // The filter the dialog opens on shows BIND's names beside the
    // extensions; the last one shows every file.
    EXPECT_EQ(supported,
        (QStringList {
            QStringLiteral("a.zone"), QStringLiteral("db.example.com"), QStringLiteral("named.conf.local")}));
    EXPECT_EQ(everything,
        (QStringList {QStringLiteral("a.zone"), QStringLiteral("db.example.com"), QStringLiteral("hosts"),
            QStringLiteral("named.conf.local"), QStringLiteral("notes.pdf")}));

    // The file chosen opens as a zone and is converted as one.
    CQuorelDoc *doc = frame()->activeDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(QFileInfo(doc->GetPathName()).fileName(), QStringLiteral("db.example.com"));
    EXPECT_EQ(doc->kind(), ids::templ::kZone);
    EXPECT_EQ(documentConversionKind(*doc, QByteArrayView()), namecodec::FileKind::Zone);
}

TEST_F(AppTest, SecondInstanceHandsItsFileToTheRunningOne)
{
    const QString zone = file("handed.zone", QByteArray("$TTL 60\n"));
    const QString channel = QStringLiteral("quorel-test-%1").arg(QCoreApplication::applicationPid());
    AppOptions options;
    options.showSplash = false;
    options.instanceName = channel;
    app = std::make_unique<CQuorelApp>(*user, *machine, prompter, options);
    ASSERT_TRUE(app->InitInstance({}));
    // The sender blocks until written; the running side reads in its loop.
    ASSERT_TRUE(SingleInstance::sendToRunning(channel, {zone}));
    for (int i = 0; i < 100 && app->documents().size() < 2; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ASSERT_EQ(app->documents().size(), 2);
    EXPECT_EQ(frame()->activeDocument()->GetPathName(), zone);
    EXPECT_FALSE(SingleInstance::sendToRunning(channel + QStringLiteral("-none"), {zone}, 200));
}

TEST_F(AppTest, CloseAllKeepsEditsWhoseSaveFailedAndClosesTheRest)
{
    const QString saved = file("saved.zone", QByteArray("old\n"));
    ASSERT_TRUE(start({saved}));
    CQuorelDoc *titled = app->documents().front();
    type(titled, QStringLiteral("new\n"));
    CQuorelDoc *copy = app->OpenDocumentFile(saved);
    type(copy, QStringLiteral("dropped\n"));
    trigger(ids::command::kFileNew);
    CQuorelDoc *untitled = frame()->activeDocument();
    type(untitled, QStringLiteral("keep me"));
    trigger(ids::command::kFileNew);
    CQuorelDoc *clean = frame()->activeDocument();
    ASSERT_EQ(app->documents().size(), 4);

    // The untitled document's name prompt is cancelled.
    trigger(ids::command::kCloseAll);
    EXPECT_EQ(prompter.saveProposals, QStringList {QStringLiteral("파일1")});
    EXPECT_EQ(prompter.messages, QStringList {QStringLiteral("읽기전용 파일은 저장할 수 없습니다")});
    EXPECT_TRUE(prompter.questions.isEmpty()); // close all never asks whether to save
    EXPECT_EQ(readBytes(saved), QByteArray("old\nnew\n"));
    ASSERT_EQ(app->documents(), QList<CQuorelDoc *> {untitled});
    EXPECT_TRUE(untitled->IsModified());
    EXPECT_EQ(entries(), QStringList {QStringLiteral("파일1")});
    Q_UNUSED(clean);

    // Given a name, it saves and closes.
    prompter.saveNames = {dir.filePath(QStringLiteral("named.conf"))};
    trigger(ids::command::kCloseAll);
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("named.conf"))), QByteArray("keep me"));
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(AppTest, SaveAllSavesOnlyModifiedDocuments)
{
    const QString a = file("a.zone", QByteArray("a\n"));
    const QString b = file("b.zone", QByteArray("b\n"));
    ASSERT_TRUE(start({a}));
    app->OpenDocumentFile(b);
    const QDateTime bTime = QFileInfo(b).lastModified();
    trigger(ids::command::kSaveAll); // nothing modified: nothing happens
    EXPECT_TRUE(prompter.messages.isEmpty());

    type(app->documents().front(), QStringLiteral("+"));
    trigger(ids::command::kFileNew);
    type(frame()->activeDocument(), QStringLiteral("untitled"));
    trigger(ids::command::kSaveAll); // the untitled prompt is cancelled
    EXPECT_EQ(readBytes(a), QByteArray("a\n+"));
    EXPECT_EQ(readBytes(b), QByteArray("b\n"));
    EXPECT_EQ(QFileInfo(b).lastModified(), bTime);
    EXPECT_EQ(prompter.saveProposals.size(), 1);
    EXPECT_TRUE(frame()->activeDocument()->IsModified());
    EXPECT_EQ(app->documents().size(), 3);
}

TEST_F(AppTest, OpenFilesListFollowsOpenSaveAsCloseAndActivates)
{
    const QString a = file("a.zone", QByteArray("a\n"));
    const QString b = file("b.zone", QByteArray("b\n"));
    const QString c = file("c.zone", QByteArray("c\n"));
    ASSERT_TRUE(start({a}));
    app->OpenDocumentFile(b);
    app->OpenDocumentFile(c);
    EXPECT_EQ(entries(), (QStringList {a, b, c}));
    QTreeWidget *tree = frame()->openFileList()->tree();
    EXPECT_EQ(tree->currentItem()->text(0), c);

    // Closing the middle one removes exactly its entry.
    CQuorelDoc *middle = app->documents().at(1);
    qobject_cast<CChildFrame *>(middle->frame())->close();
    settle();
    EXPECT_EQ(entries(), (QStringList {a, c}));

    // Save as renames the entry in place.
    CQuorelDoc *docA = app->documents().front();
    const QString renamed = dir.filePath(QStringLiteral("renamed.zone"));
    prompter.saveNames = {renamed};
    frame()->mdiArea()->setActiveSubWindow(qobject_cast<CChildFrame *>(docA->frame()));
    trigger(ids::command::kFileSaveAs);
    EXPECT_EQ(entries(), (QStringList {renamed, c}));
    EXPECT_EQ(docA->GetTitle(), QStringLiteral("renamed.zone"));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("린드바트 - [renamed.zone]"));

    // Selecting an entry activates its window.
    CQuorelDoc *docC = app->documents().at(1);
    EXPECT_EQ(frame()->activeDocument(), docA);
    tree->setCurrentItem(frame()->openFileList()->rootItem()->child(1));
    EXPECT_EQ(frame()->activeDocument(), docC);
    tree->setCurrentItem(frame()->openFileList()->rootItem()->child(0));
    EXPECT_EQ(frame()->activeDocument(), docA);

    // An entry whose window is gone activates nothing.
    frame()->openFileList()->AddOrRenameEntry(QStringLiteral("/ghost"), quint64(0x1234));
    EXPECT_EQ(frame()->activeDocument(), docA);
}

TEST_F(AppTest, PaneHidesAndShowsByCommandAndCloseButton)
{
    ASSERT_TRUE(start());
    QAction *tree = frame()->action(ids::command::kViewFileTree);
    EXPECT_TRUE(tree->isChecked());
    trigger(ids::command::kViewFileTree);
    EXPECT_FALSE(frame()->dockingPane()->isVisible());
    EXPECT_FALSE(tree->isChecked());
    trigger(ids::command::kViewFileTree);
    EXPECT_TRUE(frame()->dockingPane()->isVisible());

    frame()->dockingPane()->closeButton()->click();
    EXPECT_FALSE(frame()->dockingPane()->isVisible());
    EXPECT_FALSE(frame()->isPaneShown());
    EXPECT_FALSE(tree->isChecked());
    trigger(ids::command::kViewFileTree);
    EXPECT_TRUE(frame()->dockingPane()->isVisible());

    // Hidden, the list still follows the documents.
    trigger(ids::command::kViewFileTree);
    trigger(ids::command::kFileNew);
    EXPECT_EQ(entries(), (QStringList {QStringLiteral("파일1"), QStringLiteral("파일2")}));
}

TEST(SingleInstance, ARunningChannelIsNeverTakenOver)
{
    const QString channel = QStringLiteral("quorel-test-owner-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(channel);
    ASSERT_TRUE(first.listen());
    SingleInstance second(channel);
    EXPECT_FALSE(second.listen());
    QStringList received;
    QObject::connect(&first, &SingleInstance::pathsReceived, [&](const QStringList &p) { received = p; });
    ASSERT_TRUE(SingleInstance::sendToRunning(channel, {QStringLiteral("/srv/한글.zone")}));
    for (int i = 0; i < 100 && received.isEmpty(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(received, QStringList {QStringLiteral("/srv/한글.zone")});
}
