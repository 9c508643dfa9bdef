// A file changed or deleted on disk while it is open: the question to read
// it again or keep the text, and the question before any save (also "모두
// 저장" and "모두 닫기") writes over a file that changed since.
#include <QLabel>
#include <QTest>

#include <cstdio>

#include "apptestfixture.h"
#include "platform/quorelids.h"

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
