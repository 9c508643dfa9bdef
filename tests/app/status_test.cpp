// What the main window tells about the active document and the program's
// surroundings: the caret, encoding and line-ending panes, the modified
// marker, the open-files tooltips, the open prompt's filter, a recent file
// that is gone, the splash that no longer holds start-up, and the channel
// a second Quorel hands its file over.
#include <QFileDialog>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/singleinstance.h"
#include "app/splashdialog.h"
#include "apptestfixture.h"
#include "document/doctemplate.h"
#include "editor/widgetprompter.h"
#include "platform/quorelids.h"

namespace {
QString paneText(CMainFrame *frame, const char *name)
{
    auto *pane = frame->statusBar()->findChild<QLabel *>(QString::fromLatin1(name));
    return pane ? pane->text() : QStringLiteral("<no pane %1>").arg(QString::fromLatin1(name));
}

void putCaret(CQuorelView *view, int line, int column)
{
    const int position = view->buffer()->lineStart(line - 1) + column - 1;
    view->setTextCursor(TextSelection {position, position});
}
} // namespace

TEST_F(AppTest, StatusPanesShowCaretEncodingAndLineEndingOfTheActiveDocument)
{
    const struct {
        const char *name;
        QByteArray bytes;
        const char *encoding;
        const char *ending;
    } cases[] = {
        {"euckr-crlf.zone", cp949("$ORIGIN 한글.kr.\r\nwww IN A 10.0.0.1\r\n"), "EUC-KR", "CRLF"},
        {"utf8-bom.zone", QByteArray("\xEF\xBB\xBF") + QByteArray("$ORIGIN 한글.kr.\nwww IN A 10.0.0.1\n"),
            "UTF-8 BOM", "LF"},
        {"utf8.conf", QByteArray("zone \"한글.kr\" {\n  type master;\n};\n"), "UTF-8", "LF"},
        {"mixed.zone", QByteArray("a IN A 10.0.0.1\r\nb IN A 10.0.0.2\nc IN A 10.0.0.3\r\n"), "EUC-KR",
            "혼합"},
    };
    ASSERT_TRUE(start());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(app->OpenDocumentFile(file(c.name, c.bytes)), nullptr);
        settle();
        EXPECT_EQ(paneText(frame(), "encodingPane"), QString::fromUtf8(c.encoding));
        EXPECT_EQ(paneText(frame(), "lineEndingPane"), QString::fromUtf8(c.ending));
        EXPECT_EQ(paneText(frame(), "caretPane"), QStringLiteral("줄 1, 열 1"));
    }

    // The caret pane moves with the caret, by click, by keys and by typing;
    // a Hangul syllable is one column.
    CQuorelView *view = frame()->activeView();
    putCaret(view, 2, 3);
    EXPECT_EQ(paneText(frame(), "caretPane"), QStringLiteral("줄 2, 열 3"));
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(paneText(frame(), "caretPane"), QStringLiteral("줄 3, 열 3"));
    view->insertText(QStringLiteral("한글"));
    EXPECT_EQ(paneText(frame(), "caretPane"), QStringLiteral("줄 3, 열 5"));
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(paneText(frame(), "caretPane"), QStringLiteral("줄 3, 열 18"));

    // Another window brings its own values; with none left the panes are blank.
    CQuorelDoc *bom = nullptr;
    for (CQuorelDoc *doc : app->documents()) {
        if (doc->GetPathName().endsWith(QStringLiteral("utf8-bom.zone")))
            bom = doc;
    }
    ASSERT_NE(bom, nullptr);
    auto *bomFrame = qobject_cast<CChildFrame *>(bom->frame());
    frame()->mdiArea()->setActiveSubWindow(bomFrame);
    settle();
    EXPECT_EQ(paneText(frame(), "encodingPane"), QStringLiteral("UTF-8 BOM"));
    putCaret(bomFrame->view(), 2, 5);
    EXPECT_EQ(paneText(frame(), "caretPane"), QStringLiteral("줄 2, 열 5"));
    // Moving the caret in a window in the background changes nothing shown.
    putCaret(view, 1, 1);
    EXPECT_EQ(paneText(frame(), "caretPane"), QStringLiteral("줄 2, 열 5"));

    for (CQuorelDoc *doc : app->documents())
        doc->SetModifiedFlag(false);
    trigger(ids::command::kCloseAll);
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_EQ(paneText(frame(), "caretPane"), QString());
    EXPECT_EQ(paneText(frame(), "encodingPane"), QString());
    EXPECT_EQ(paneText(frame(), "lineEndingPane"), QString());
}

TEST_F(AppTest, ModifiedDocumentIsMarkedInItsTitleOnly)
{
    const QString zone = file("marked.zone", QByteArray("a IN A 10.0.0.1\n"));
    ASSERT_TRUE(start({zone}));
    CQuorelDoc *doc = frame()->activeDocument();
    CChildFrame *child = frame()->activeChildFrame();
    EXPECT_EQ(child->windowTitle(), QStringLiteral("marked.zone"));

    QTest::keyClicks(frame()->activeView(), QStringLiteral("; note"));
    EXPECT_EQ(child->windowTitle(), QStringLiteral("marked.zone*"));
    // The open-files entry keeps the path, so the open rule still finds it.
    EXPECT_EQ(entries(), QStringList {zone});
    app->OpenDocumentFile(zone);
    settle();
    EXPECT_TRUE(frame()->activeDocument()->isReadOnly());
    frame()->activeChildFrame()->closeWithoutAsking();
    settle();

    frame()->mdiArea()->setActiveSubWindow(child);
    trigger(ids::command::kFileSave);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(child->windowTitle(), QStringLiteral("marked.zone"));

    // The next edit marks it again, and only its own window.
    QTest::keyClicks(frame()->activeView(), QStringLiteral("x"));
    EXPECT_EQ(child->windowTitle(), QStringLiteral("marked.zone*"));
    EXPECT_EQ(entries(), QStringList {zone});
}

TEST_F(AppTest, OpenFileEntriesShowTheFullPathAsTooltip)
{
    const QString zone = file("tip.zone", QByteArray("a IN A 10.0.0.1\n"));
    ASSERT_TRUE(start());
    QTreeWidgetItem *root = frame()->openFileList()->rootItem();
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->toolTip(0), QStringLiteral("파일1")); // untitled: no path yet

    app->OpenDocumentFile(zone);
    app->OpenDocumentFile(zone); // a read-only copy, listed by its title
    settle();
    ASSERT_EQ(root->childCount(), 3);
    EXPECT_EQ(root->child(1)->text(0), zone);
    EXPECT_EQ(root->child(1)->toolTip(0), zone);
    EXPECT_EQ(root->child(2)->text(0), QStringLiteral("tip.zone - [읽기전용]"));
    EXPECT_EQ(root->child(2)->toolTip(0), zone);

    // Saving the untitled one under a name gives it its path.
    const QString saved = dir.filePath(QStringLiteral("saved.zone"));
    for (CQuorelDoc *doc : app->documents()) {
        if (doc->GetPathName().isEmpty())
            frame()->mdiArea()->setActiveSubWindow(qobject_cast<CChildFrame *>(doc->frame()));
    }
    prompter.saveNames = {saved};
    trigger(ids::command::kFileSave);
    EXPECT_EQ(root->child(0)->text(0), saved);
    EXPECT_EQ(root->child(0)->toolTip(0), saved);
}

TEST_F(AppTest, MissingRecentFileOffersToLeaveTheList)
{
    const QString kept = file("kept.zone", QByteArray("a\n"));
    const QString gone = file("gone.zone", QByteArray("b\n"));
    ASSERT_TRUE(start());
    app->AddToRecentFileList(kept);
    app->AddToRecentFileList(gone);
    ASSERT_TRUE(QFile::remove(gone));
    const qsizetype windows = app->documents().size();

    // "No" keeps the entry: the file may be on a disk that is not mounted.
    prompter.questionAnswer = false;
    frame()->findChild<QAction *>(QStringLiteral("recentFile1"))->trigger();
    settle();
    ASSERT_EQ(prompter.questions.size(), 1);
    EXPECT_TRUE(prompter.questions.back().contains(QStringLiteral("더 이상 없습니다")));
    EXPECT_TRUE(prompter.questions.back().contains(gone));
    EXPECT_TRUE(prompter.messages.isEmpty()); // no second, vaguer message
    EXPECT_EQ(app->settings().recentFiles(), (QStringList {gone, kept}));
    EXPECT_EQ(app->documents().size(), windows);

    prompter.questionAnswer = true;
    frame()->findChild<QAction *>(QStringLiteral("recentFile1"))->trigger();
    settle();
    EXPECT_EQ(app->settings().recentFiles(), QStringList {kept});
    EXPECT_TRUE(frame()->findChild<QAction *>(QStringLiteral("recentFile1"))->text().endsWith(kept));
}

TEST_F(AppTest, SplashStaysItsTimeWithoutHoldingStartUp)
{
    const QString zone = file("early.zone", QByteArray("a IN A 10.0.0.1\n"));
    AppOptions options;
    // Far longer than any run: the picture can only go when the test fires
    // its timer, however slow the machine is.
    options.splashMilliseconds = 60 * 60 * 1000;
    app = std::make_unique<CQuorelApp>(*user, *machine, prompter, options);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    ASSERT_TRUE(app->InitInstance({zone}));

    // Start-up is over while the picture is still up: the window is shown,
    // the file is open, and the event loop runs.
    const auto findSplash
        = [this] { return frame()->findChild<CSplashDialog *>(QStringLiteral("splashDialog")); };
    auto *splash = findSplash();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_TRUE(frame()->isVisible());
    ASSERT_NE(frame()->activeDocument(), nullptr);
    EXPECT_EQ(frame()->activeDocument()->GetPathName(), zone);
    const int ticksAtStart = ticks;
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks > ticksAtStart; }, 5000));
    EXPECT_NE(findSplash(), nullptr);

    // Its time is the configured one, on a timer of its own; when that
    // fires, it goes by itself.
    auto *timer = splash->findChild<QTimer *>(QStringLiteral("splashTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), options.splashMilliseconds);
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return findSplash() == nullptr; }, 10000));
}

TEST(SingleInstanceName, IsPerUserAndPerDisplayOrSession)
{
    const QString here = SingleInstance::nameFor(1000, QStringLiteral(":0"), QString(), QStringLiteral("3"));
    EXPECT_EQ(here, SingleInstance::nameFor(1000, QStringLiteral(":0"), QString(), QStringLiteral("3")));
    const QString others[] = {
        SingleInstance::nameFor(1001, QStringLiteral(":0"), QString(), QStringLiteral("3")),
        SingleInstance::nameFor(1000, QStringLiteral(":1"), QString(), QStringLiteral("3")),
        SingleInstance::nameFor(1000, QStringLiteral(":0"), QStringLiteral("wayland-0"), QStringLiteral("3")),
        SingleInstance::nameFor(1000, QStringLiteral(":0"), QString(), QStringLiteral("4")),
        SingleInstance::nameFor(1000, QString(), QString(), QStringLiteral(":0")),
        SingleInstance::nameFor(1000, QStringLiteral(":0"), QString(), QString()),
    };
    for (const QString &other : others) {
        SCOPED_TRACE(other.toStdString());
        EXPECT_NE(other, here);
    }
    // A Wayland display may be a long absolute path; the socket name stays
    // a short plain file name.
    const QString path = SingleInstance::nameFor(
        1000, QString(), QStringLiteral("/run/user/1000/") + QString(200, QLatin1Char('w')), QString());
    EXPECT_FALSE(path.contains(QLatin1Char('/')));
    EXPECT_LT(path.size(), 64);
    EXPECT_NE(path,
        SingleInstance::nameFor(
            1000, QString(), QStringLiteral("/run/user/1000/") + QString(201, QLatin1Char('w')), QString()));

    qputenv("DISPLAY", ":42");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("XDG_SESSION_ID", "c7");
    EXPECT_EQ(SingleInstance::defaultName(),
        SingleInstance::nameFor(::getuid(), QStringLiteral(":42"), QString(), QStringLiteral("c7")));
}

TEST(WidgetPrompterTest, OpenDialogStartsOnAllSupportedFiles)
{
    CDocTemplates templates;
    WidgetPrompter prompter;
    QString shownFilter;
    QStringList shownPatterns;
    QTimer::singleShot(50, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shownFilter = dialog->selectedNameFilter();
        shownPatterns = dialog->nameFilters();
        dialog->reject();
    });
    EXPECT_EQ(prompter.openFileName(templates.openFilter()), QString());
    // The dialog shows the names with their blanks folded.
    EXPECT_EQ(shownFilter, QStringLiteral("지원하는 모든 파일 (*.zone *.rev *.conf *.txt db.* named.*)"));
    EXPECT_EQ(shownPatterns.size(), 8);
    EXPECT_EQ(shownPatterns.back(), QStringLiteral("모든 파일 (*)"));
}
