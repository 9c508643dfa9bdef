// A file changed or deleted on disk while it is open: the question to read
// it again or keep the text, and the question before any save (also "모두
// 저장" and "모두 닫기") writes over a file that changed since.
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <cstdio>

#include "app/singleinstance.h"
#include "apptestfixture.h"
#include "document/documentcontext.h"
#include "platform/quorelids.h"
#include "slowrunner.h"

namespace {
// How a script that bumps a serial replaces a zone: a new file renamed
// over the old one (which ends a plain watch on the old file).
void replaceByRename(const QString &path, const QByteArray &bytes)
{
    const QString partial = path + QStringLiteral(".new");
    writeBytes(partial, bytes);
    ASSERT_EQ(std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()), 0);
}

bool waitForQuestions(const ScriptedPrompter &prompter, qsizetype count)
{
    return QTest::qWaitFor([&] { return prompter.questions.size() >= count; }, 5000);
}

QString textOf(CQuorelDoc *doc)
{
    return doc->textBuffer()->toPlainText();
}
} // namespace

TEST_F(AppTest, ChangeOnDiskAsksToReadAgainOrKeepTheText)
{
    const QString zone = file("serial.zone", QByteArray("@ IN SOA ns hostmaster 1 3600 600 86400 60\n"));
    ASSERT_TRUE(start({zone}));
    CQuorelDoc *doc = frame()->activeDocument();

    // Read again: the new text, unmodified.
    prompter.questionAnswer = true;
    replaceByRename(zone, QByteArray("@ IN SOA ns hostmaster 2 3600 600 86400 60\n"));
    ASSERT_TRUE(waitForQuestions(prompter, 1));
    EXPECT_TRUE(prompter.questions.back().contains(zone));
    EXPECT_TRUE(prompter.questions.back().contains(QStringLiteral("다시 읽어")));
    EXPECT_EQ(textOf(doc), QStringLiteral("@ IN SOA ns hostmaster 2 3600 600 86400 60\n"));
    EXPECT_FALSE(doc->IsModified());

    // Renamed over once, the file is still watched: a second change asks
    // again. Keeping the text marks it modified.
    prompter.questionAnswer = false;
    replaceByRename(zone, QByteArray("@ IN SOA ns hostmaster 3 3600 600 86400 60\n"));
    ASSERT_TRUE(waitForQuestions(prompter, 2));
    EXPECT_EQ(textOf(doc), QStringLiteral("@ IN SOA ns hostmaster 2 3600 600 86400 60\n"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(frame()->activeChildFrame()->windowTitle(), QStringLiteral("serial.zone*"));
    // Each change is asked about once, however long the user takes.
    QTest::qWait(400);
    EXPECT_EQ(prompter.questions.size(), 2);

    // An in-place write (a script appending a record) is seen as well.
    prompter.questionAnswer = true;
    {
        QFile f(zone);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("www IN A 10.0.0.9\n");
    }
    ASSERT_TRUE(waitForQuestions(prompter, 3));
    EXPECT_EQ(textOf(doc), QStringLiteral("@ IN SOA ns hostmaster 3 3600 600 86400 60\nwww IN A 10.0.0.9\n"));

    // Our own save is no change on disk.
    type(doc, QStringLiteral("mail IN A 10.0.0.10\n"));
    trigger(ids::command::kFileSave);
    EXPECT_FALSE(doc->IsModified());
    QTest::qWait(400);
    EXPECT_EQ(prompter.questions.size(), 3);
}

TEST_F(AppTest, SaveAsksBeforeWritingOverANewerFile)
{
    const QString zone = file("edited.zone", QByteArray("a IN A 10.0.0.1\n"));
    ASSERT_TRUE(start({zone}));
    CQuorelDoc *doc = frame()->activeDocument();
    type(doc, QStringLiteral("mine IN A 10.0.0.2\n"));
    // Written by another program just before the save, before any watch
    // could tell: the save itself compares.
    writeBytes(zone, QByteArray("a IN A 10.0.0.1\ntheirs IN A 10.0.0.3\n"));

    prompter.questionAnswer = false;
    frame()->action(ids::command::kFileSave)->trigger();
    ASSERT_FALSE(prompter.questions.isEmpty());
    EXPECT_TRUE(prompter.questions.back().contains(QStringLiteral("덮어쓰")));
    EXPECT_EQ(readBytes(zone), QByteArray("a IN A 10.0.0.1\ntheirs IN A 10.0.0.3\n"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(prompter.messages.isEmpty()); // declining is no failure to report
    // The watch does not ask a second time about the change the save asked about.
    QTest::qWait(400);
    EXPECT_EQ(prompter.questions.size(), 1);

    prompter.questions.clear();
    prompter.questionAnswer = true;
    frame()->action(ids::command::kFileSave)->trigger();
    settle();
    EXPECT_TRUE(std::any_of(prompter.questions.begin(), prompter.questions.end(),
        [](const QString &q) { return q.contains(QStringLiteral("덮어쓰")); }));
    EXPECT_EQ(readBytes(zone), QByteArray("a IN A 10.0.0.1\nmine IN A 10.0.0.2\n"));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(AppTest, SaveAllAndCloseAllAskBeforeWritingOverNewerFiles)
{
    const QString changed = file("changed.zone", QByteArray("a IN A 10.0.0.1\n"));
    const QString quiet = file("quiet.zone", QByteArray("b IN A 10.0.0.2\n"));
    ASSERT_TRUE(start({changed}));
    CQuorelDoc *changedDoc = frame()->activeDocument();
    CQuorelDoc *quietDoc = app->OpenDocumentFile(quiet);
    ASSERT_NE(quietDoc, nullptr);
    type(changedDoc, QStringLiteral("x IN A 10.0.0.8\n"));
    type(quietDoc, QStringLiteral("y IN A 10.0.0.9\n"));
    writeBytes(changed, QByteArray("a IN A 10.0.0.1\nscript IN A 10.0.0.7\n"));

    // Every answer no: the newer file stays, the other one is saved.
    prompter.questionAnswer = false;
    trigger(ids::command::kSaveAll);
    EXPECT_TRUE(std::any_of(prompter.questions.begin(), prompter.questions.end(),
        [&](const QString &q) { return q.contains(changed) && q.contains(QStringLiteral("덮어쓰")); }));
    EXPECT_EQ(readBytes(changed), QByteArray("a IN A 10.0.0.1\nscript IN A 10.0.0.7\n"));
    EXPECT_EQ(readBytes(quiet), QByteArray("b IN A 10.0.0.2\ny IN A 10.0.0.9\n"));
    EXPECT_TRUE(changedDoc->IsModified());
    EXPECT_FALSE(quietDoc->IsModified());

    // Close all: the document whose file is newer is not written over and
    // stays open with its text; the other closes.
    prompter.questions.clear();
    trigger(ids::command::kCloseAll);
    EXPECT_TRUE(std::any_of(prompter.questions.begin(), prompter.questions.end(),
        [&](const QString &q) { return q.contains(changed) && q.contains(QStringLiteral("덮어쓰")); }));
    EXPECT_EQ(readBytes(changed), QByteArray("a IN A 10.0.0.1\nscript IN A 10.0.0.7\n"));
    ASSERT_EQ(app->documents().size(), 1);
    EXPECT_EQ(app->documents().front(), changedDoc);
    EXPECT_TRUE(textOf(changedDoc).contains(QStringLiteral("x IN A 10.0.0.8")));

    // Agreeing writes it and closes.
    prompter.questionAnswer = true;
    trigger(ids::command::kCloseAll);
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_EQ(readBytes(changed), QByteArray("a IN A 10.0.0.1\nx IN A 10.0.0.8\n"));
}

TEST_F(AppTest, FileDeletedOnDiskMarksTheDocumentModified)
{
    const QString zone = file("deleted.zone", QByteArray("a IN A 10.0.0.1\n"));
    ASSERT_TRUE(start({zone}));
    CQuorelDoc *doc = frame()->activeDocument();
    ASSERT_FALSE(doc->IsModified());

    ASSERT_TRUE(QFile::remove(zone));
    ASSERT_TRUE(QTest::qWaitFor([&] { return doc->IsModified(); }, 5000));
    EXPECT_EQ(frame()->activeChildFrame()->windowTitle(), QStringLiteral("deleted.zone*"));
    EXPECT_TRUE(prompter.questions.isEmpty());

    // Closing the window now asks about the changes instead of losing the text.
    prompter.yesNoCancelAnswers = {Prompter::Answer::Cancel};
    frame()->activeChildFrame()->close();
    settle();
    EXPECT_EQ(app->documents().size(), 1);
    ASSERT_EQ(prompter.questions.size(), 1);

    // Saving makes the file again, without asking about overwriting.
    trigger(ids::command::kFileSave);
    EXPECT_EQ(readBytes(zone), QByteArray("a IN A 10.0.0.1\n"));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(prompter.questions.size(), 1);

    // The file made again is watched again.
    prompter.questionAnswer = true;
    replaceByRename(zone, QByteArray("b IN A 10.0.0.2\n"));
    ASSERT_TRUE(waitForQuestions(prompter, 2));
    EXPECT_EQ(textOf(doc), QStringLiteral("b IN A 10.0.0.2\n"));
}

TEST_F(AppTest, ReadingAgainShowsTheFilesNewEncodingAndLineEnding)
{
    const QString zone = file("recoded.zone", cp949("메일 IN A 10.0.0.1\n"));
    ASSERT_TRUE(start({zone}));
    auto pane = [&](const char *name) {
        auto *label = frame()->findChild<QLabel *>(QString::fromLatin1(name));
        return label ? label->text() : QString();
    };
    EXPECT_EQ(pane("encodingPane"), QStringLiteral("EUC-KR"));
    EXPECT_EQ(pane("lineEndingPane"), QStringLiteral("LF"));

    prompter.questionAnswer = true;
    replaceByRename(zone, QByteArray("\xEF\xBB\xBF") + QByteArray("메일 IN A 10.0.0.1\r\n"));
    ASSERT_TRUE(waitForQuestions(prompter, 1));
    EXPECT_EQ(textOf(frame()->activeDocument()), QStringLiteral("메일 IN A 10.0.0.1\n"));
    EXPECT_EQ(pane("encodingPane"), QStringLiteral("UTF-8 BOM"));
    EXPECT_EQ(pane("lineEndingPane"), QStringLiteral("CRLF"));
}

// A file handed over by a second start of Quorel and a change on disk, both
// arriving while a long conversion runs, wait for it to end and are then
// dealt with in the order they came; every document ends with its own bytes.
TEST_F(AppTest, RequestsArrivingDuringAConversionWaitForItAndRunInOrder)
{
    const QByteArray watchedBefore("a IN A 10.0.0.1\n");
    const QByteArray watchedAfter("a IN A 10.0.0.2\n");
    const QByteArray handedBytes = cp949("b IN CNAME 예제.한국.\n");
    const QString watched = file("watched.zone", watchedBefore);
    const QString handed = file("handed.zone", handedBytes);
    const QString converting = file("converting.zone", cp949("www IN CNAME 메일.예제.한국.\n"));

    AppOptions options;
    options.showSplash = false;
    options.instanceName = QStringLiteral("quorel-test-gate-%1").arg(QCoreApplication::applicationPid());
    app = std::make_unique<CQuorelApp>(*user, *machine, prompter, options);
    ASSERT_TRUE(app->InitInstance({watched}));
    settle();
    CQuorelDoc *watchedDoc = frame()->activeDocument();
    CQuorelDoc *doc = app->OpenDocumentFile(converting);
    ASSERT_NE(doc, nullptr);
    settle();

    // What had happened to the conversion when each request was acted on.
    QStringList seen;
    const auto converted
        = [doc] { return doc->textBuffer()->toPlainText().contains(QStringLiteral("xn--")); };
    QObject::connect(frame(), &CMainFrame::viewCreated, frame(), [&](CQuorelView *view) {
        (void)view;
        seen << QStringLiteral("open after conversion: %1").arg(converted());
    });
    prompter.questionAnswer = true; // read the changed file again
    prompter.onQuestion
        = [&](const QString &) { seen << QStringLiteral("question after conversion: %1").arg(converted()); };

    DocumentContext &context = app->documentContext();
    WorkRunner *const normal = context.workRunner;
    SlowRunner slow(frame(), std::chrono::milliseconds(1500));
    context.workRunner = &slow;
    // Both arrive while the conversion's worker runs.
    QTimer::singleShot(300, frame(), [&] {
        ASSERT_TRUE(SingleInstance::sendToRunning(options.instanceName, {handed}));
        writeBytes(watched, watchedAfter);
    });
    trigger(ids::command::kConvertToPunycode);
    context.workRunner = normal;
    EXPECT_TRUE(converted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() >= 2; }, 10000)) << seen.join(u'\n').toStdString();
    settle();

    // Which of the two the event loop delivers first is not ours to say.
    seen.sort();
    EXPECT_EQ(seen,
        (QStringList {
            QStringLiteral("open after conversion: 1"), QStringLiteral("question after conversion: 1")}));
    EXPECT_EQ(textOf(watchedDoc), QString::fromLatin1(watchedAfter));
    EXPECT_FALSE(watchedDoc->IsModified());
    CQuorelDoc *handedDoc = frame()->activeDocument();
    ASSERT_NE(handedDoc, nullptr);
    EXPECT_EQ(handedDoc->GetPathName(), handed);
    EXPECT_EQ(textOf(handedDoc), QStringLiteral("b IN CNAME 예제.한국.\n"));
    EXPECT_EQ(readBytes(handed), handedBytes);
    EXPECT_EQ(readBytes(converting), cp949("www IN CNAME 메일.예제.한국.\n")); // converted, not saved
    EXPECT_TRUE(doc->IsModified());
}
