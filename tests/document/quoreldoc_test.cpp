// The configuration document on its own: template text, the large-file
// question, read-only copies, saving with the name prompt, notifications.
#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "../support/files.h"
#include "../support/scriptedprompter.h"
#include "document/doctemplate.h"
#include "document/documentcontext.h"
#include "document/documentconversion.h"
#include "document/openfilelistnotifier.h"
#include "document/quoreldoc.h"
#include "document/textbuffer.h"
#include "document/textfile.h"
#include "document/workrunner.h"
#include "platform/quorelids.h"
#include "platform/settings.h"

namespace {

// Stands in for the main frame's list: keeps every open-files notification.
class NoticeRecorder {
public:
    struct Notice {
        quint64 key;
        QString text;
        bool closed;
    };
    explicit NoticeRecorder(OpenFileListNotifier &notifier)
    {
        QObject::connect(
            &notifier, &OpenFileListNotifier::entryChanged, [this](quint64 id, const QString &text) {
                notices.push_back({id, text, false});
            });
        QObject::connect(&notifier, &OpenFileListNotifier::entryClosed, [this](quint64 id) {
            notices.push_back({id, QString(), true});
        });
    }
    std::vector<Notice> notices;
};

class DocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        user = std::make_unique<QSettings>(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
        machine
            = std::make_unique<QSettings>(dir.filePath(QStringLiteral("machine.ini")), QSettings::IniFormat);
        settings = std::make_unique<QuorelSettings>(*user, *machine);
        context.prompter = &prompter;
        context.settings = settings.get();
        context.openFileList = &notifier;
    }
    std::unique_ptr<CQuorelDoc> makeDoc(int templateId)
    {
        auto doc = std::make_unique<CQuorelDoc>(*templates.byId(templateId), context);
        return doc;
    }
    QString path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
    std::unique_ptr<QSettings> user, machine;
    std::unique_ptr<QuorelSettings> settings;
    ScriptedPrompter prompter;
    OpenFileListNotifier notifier;
    NoticeRecorder recorder {notifier};
    DocumentContext context;
    CDocTemplates templates;
};

} // namespace

TEST(DocTemplates, RegistrationOrderAndKindsByExtension)
{
    CDocTemplates t;
    std::vector<int> order;
    QStringList names;
    for (CDocTemplate *d : t.registered()) {
        order.push_back(d->id);
        names << d->newName;
    }
    EXPECT_EQ(order, (std::vector<int> {131, 149, 132, 133, 130}));
    EXPECT_EQ(names,
        (QStringList {QStringLiteral("도메인 존파일"), QStringLiteral("리버스 존파일"),
            QStringLiteral("도메인 conf 파일"), QStringLiteral("가상호스트 conf 파일"),
            QStringLiteral("일반 파일")}));
    struct {
        const char *path;
        int kind;
    } cases[] = {{"/etc/named.conf", 132}, {"/var/named/a.zone", 131}, {"/tmp/notes.txt", 131},
        {"/tmp/NOEXT", 131}, {"/tmp/UPPER.ZONE", 131}, {"/tmp/a.zone.conf", 132},
        // BIND's own names: the include files of named.conf are configuration,
        // and "named.root" is not one of them.
        {"/etc/bind/db.example.com", 131}, {"/etc/bind/named.conf.local", 132},
        {"/etc/bind/NAMED.CONF.OPTIONS", 132}, {"/etc/bind/named.root", 131},
        {"/etc/bind/named.conffile", 131}, {"/etc/bind/db.site.conf", 132}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(t.forPath(QString::fromUtf8(c.path))->id, c.kind);
    }
    EXPECT_EQ(t.openFilter(),
        QStringLiteral("지원하는 모든 파일  (*.zone *.rev *.conf *.txt db.* named.*);;"
                       "도메인 존파일  (*.zone);;리버스 존파일  (*.zone);;BIND 존파일  (db.*);;"
                       "도메인 conf 파일  (*.conf);;가상호스트 conf 파일  (*.conf);;모든 파일  (*.*);;"
                       "모든 파일 (*)"));
}

TEST_F(DocTest, NewDocumentsLoadTheirTemplateUnmodified)
{
    writeBytes(path("zone-template.zone"), cp949("$ORIGIN 한글.kr.\n"));
    machine->setValue(QStringLiteral("SampleZonePath"), path("zone-template.zone"));

    auto zone = makeDoc(ids::templ::kZone);
    ASSERT_TRUE(zone->OnNewDocument());
    EXPECT_EQ(zone->GetTitle(), QStringLiteral("네임 존파일1"));
    EXPECT_EQ(zone->textBuffer()->toPlainText(), QStringLiteral("$ORIGIN 한글.kr.\n"));
    EXPECT_FALSE(zone->IsModified());
    EXPECT_TRUE(zone->GetPathName().isEmpty());
    ASSERT_FALSE(recorder.notices.empty());
    EXPECT_EQ(recorder.notices.front().text, QStringLiteral("네임 존파일1"));

    auto general = makeDoc(ids::templ::kGeneral);
    ASSERT_TRUE(general->OnNewDocument());
    EXPECT_EQ(general->GetTitle(), QStringLiteral("파일1"));
    EXPECT_EQ(general->textBuffer()->length(), 0);
    auto second = makeDoc(ids::templ::kZone);
    ASSERT_TRUE(second->OnNewDocument());
    EXPECT_EQ(second->GetTitle(), QStringLiteral("네임 존파일2"));
}

TEST_F(DocTest, MissingTemplateFailsWithAMessageAndKeepsTheNumber)
{
    machine->setValue(QStringLiteral("SampleNamedconfPath"), path("absent.conf"));
    auto doc = makeDoc(ids::templ::kNamedConf);
    const DocumentOutcome made = doc->OnNewDocument();
    EXPECT_FALSE(made);
    EXPECT_TRUE(made.message.contains(path("absent.conf"))) << made.message.toStdString();
    EXPECT_TRUE(prompter.messages.isEmpty()); // the window shows it, never the document

    writeBytes(path("ok.conf"), QByteArray("options {};\n"));
    machine->setValue(QStringLiteral("SampleNamedconfPath"), path("ok.conf"));
    auto next = makeDoc(ids::templ::kNamedConf);
    ASSERT_TRUE(next->OnNewDocument());
    EXPECT_EQ(next->GetTitle(), QStringLiteral("네임 설정파일1"));
}

TEST_F(DocTest, LargeFileQuestionStartsAboveTwentyMebibytes)
{
    // 64-byte lines up to exactly 20 MiB, then one byte more.
    const QByteArray line = QByteArray(63, 'a') + '\n';
    QByteArray exact;
    exact.reserve(CQuorelDoc::kLargeFileBytes + 1);
    while (exact.size() < CQuorelDoc::kLargeFileBytes)
        exact += line;
    ASSERT_EQ(exact.size(), CQuorelDoc::kLargeFileBytes);
    writeBytes(path("exact.zone"), exact);
    writeBytes(path("over.zone"), exact + 'b');

    auto atLimit = makeDoc(ids::templ::kZone);
    prompter.questionAnswer = false;
    EXPECT_TRUE(atLimit->OnOpenDocument(path("exact.zone")));
    EXPECT_TRUE(prompter.questions.isEmpty());

    auto declined = makeDoc(ids::templ::kZone);
    const DocumentOutcome declinedOpen = declined->OnOpenDocument(path("over.zone"));
    EXPECT_FALSE(declinedOpen);
    ASSERT_EQ(prompter.questions.size(), 1);
    EXPECT_EQ(prompter.questions.front(),
        QStringLiteral("파일 크기가 20M를 넘어갑니다. 큰 파일은 작업이 불가능할 수 있습니다. 여시겠습니까?"));
    EXPECT_EQ(declinedOpen.status, DocumentOutcome::Status::Cancelled);
    EXPECT_TRUE(declinedOpen.message.isEmpty());
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(DocTest, FoldersDevicesAndMissingFilesDoNotOpen)
{
    for (const QString &p : {dir.path(), QStringLiteral("/dev/zero"), path("missing.zone")}) {
        SCOPED_TRACE(p.toStdString());
        auto doc = makeDoc(ids::templ::kZone);
        const DocumentOutcome opened = doc->OnOpenDocument(p);
        EXPECT_EQ(opened.status, DocumentOutcome::Status::Failed);
        EXPECT_TRUE(opened.message.isEmpty());
    }
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_TRUE(recorder.notices.empty());
}

TEST_F(DocTest, ReadOnlyCopyRefusesEverySaveAndWritesNothing)
{
    const QByteArray original = cp949("원본\n");
    writeBytes(path("a.zone"), original);
    auto doc = makeDoc(ids::templ::kGeneral);
    ASSERT_TRUE(doc->OnOpenDocument(path("a.zone")));
    doc->makeReadOnlyCopy();
    EXPECT_EQ(doc->GetTitle(), QStringLiteral("a.zone - [읽기전용]"));
    EXPECT_EQ(recorder.notices.back().text, QStringLiteral("a.zone - [읽기전용]"));

    doc->textBuffer()->replace(0, 0, QStringLiteral("편집 "), TextSelection {});
    prompter.saveNames = {path("elsewhere.zone")};
    const DocumentOutcome refusals[]
        = {doc->DoFileSave(), doc->DoSave(QString()), doc->OnSaveDocument(path("a.zone"))};
    for (const DocumentOutcome &refusal : refusals) {
        EXPECT_FALSE(refusal);
        EXPECT_EQ(refusal.message, QStringLiteral("읽기전용 파일은 저장할 수 없습니다"));
    }
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_TRUE(prompter.saveProposals.isEmpty());
    EXPECT_EQ(readBytes(path("a.zone")), original);
    EXPECT_FALSE(QFile::exists(path("elsewhere.zone")));
    EXPECT_TRUE(doc->IsModified());

    // Closing asks nothing and drops the edits.
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_TRUE(prompter.questions.isEmpty());
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocTest, UndecodableFileOpensAsReadOnlyCopyNamingTheLine)
{
    const QByteArray bytes = cp949("첫째\n") + QByteArray("\xff\xfe broken\n");
    writeBytes(path("broken.zone"), bytes);
    auto doc = makeDoc(ids::templ::kZone);
    const DocumentOutcome opened = doc->OnOpenDocument(path("broken.zone"));
    ASSERT_TRUE(opened);
    EXPECT_TRUE(doc->isReadOnly());
    EXPECT_TRUE(doc->GetTitle().endsWith(CQuorelDoc::readOnlySuffix()));
    EXPECT_TRUE(opened.message.contains(QStringLiteral("2번째 줄"))) << opened.message.toStdString();
    EXPECT_EQ(opened.line, 2);
    EXPECT_FALSE(doc->OnSaveDocument(path("broken.zone")));
    EXPECT_EQ(readBytes(path("broken.zone")), bytes);
}

TEST_F(DocTest, SeparatorsAndNoncharactersAreTextNotLineBreaks)
{
    // U+2029 (a paragraph separator) and U+FDD0 on line 2 of a UTF-8 file:
    // characters of their line, kept as they are through an edit and a save.
    const QByteArray bytes("first \xed\x95\x9c\nsecond\xe2\x80\xa9same\xef\xb7\x90line\n");
    writeBytes(path("para.conf"), bytes);
    auto doc = makeDoc(ids::templ::kNamedConf);
    const DocumentOutcome opened = doc->OnOpenDocument(path("para.conf"));
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened.message.isEmpty()) << opened.message.toStdString();
    EXPECT_FALSE(doc->isReadOnly());
    TextBuffer &text = *doc->textBuffer();
    ASSERT_EQ(text.lineCount(), 3);
    EXPECT_EQ(text.line(1), QStringLiteral("second\u2029same\uFDD0line"));
    text.replace(0, 5, QStringLiteral("1st"), TextSelection {});
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(readBytes(path("para.conf")),
        QByteArray("1st \xed\x95\x9c\nsecond\xe2\x80\xa9same\xef\xb7\x90line\n"));
}

TEST_F(DocTest, UntitledSaveAsksForANameAndTitledSaveWritesInPlace)
{
    auto doc = makeDoc(ids::templ::kZone);
    writeBytes(path("t.zone"), cp949("템플릿\n"));
    machine->setValue(QStringLiteral("SampleZonePath"), path("t.zone"));
    ASSERT_TRUE(doc->OnNewDocument());
    doc->textBuffer()->replace(0, 0, QStringLiteral("; 추가\n"), TextSelection {});

    // Cancelled prompt: nothing written, still modified.
    EXPECT_FALSE(doc->DoFileSave());
    EXPECT_EQ(prompter.saveProposals, QStringList {QStringLiteral("네임 존파일1.zone")});
    EXPECT_TRUE(doc->IsModified());

    prompter.saveNames = {path("saved.zone")};
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(readBytes(path("saved.zone")), cp949("; 추가\n템플릿\n"));
    EXPECT_EQ(doc->GetPathName(), path("saved.zone"));
    EXPECT_EQ(doc->GetTitle(), QStringLiteral("saved.zone"));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(recorder.notices.back().text, path("saved.zone"));

    doc->textBuffer()->replace(0, 0, QStringLiteral("x"), TextSelection {});
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(prompter.saveProposals.size(), 2); // the titled save asks nothing
    EXPECT_EQ(readBytes(path("saved.zone")), cp949("x; 추가\n템플릿\n"));
    // Only the saved file is in the folder: the temporary file was renamed.
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("saved*")}, QDir::Files),
        QStringList {QStringLiteral("saved.zone")});
}

TEST_F(DocTest, UnencodableCharacterStopsTheSaveAndKeepsTheFile)
{
    const QByteArray original = cp949("가\n나\n");
    writeBytes(path("k.zone"), original);
    auto doc = makeDoc(ids::templ::kZone);
    ASSERT_TRUE(doc->OnOpenDocument(path("k.zone")));
    TextBuffer &text = *doc->textBuffer();
    text.replace(text.lineStart(1), text.lineStart(1), QStringLiteral("\U0001F600"), TextSelection {});
    const DocumentOutcome saved = doc->DoFileSave();
    EXPECT_FALSE(saved);
    EXPECT_TRUE(saved.message.contains(QStringLiteral("2번째 줄")));
    EXPECT_EQ(saved.line, 2);
    EXPECT_EQ(readBytes(path("k.zone")), original);
    EXPECT_TRUE(doc->IsModified());
    // The list goes back to the document's own name.
    EXPECT_EQ(recorder.notices.back().text, path("k.zone"));
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("k.zone")).size(), 1);
}

TEST_F(DocTest, Utf8FileIsSavedAsUtf8)
{
    const QByteArray bytes("\xed\x95\x9c\xea\xb8\x80.kr. IN A 192.0.2.1\r\n");
    writeBytes(path("u.zone"), bytes);
    auto doc = makeDoc(ids::templ::kZone);
    ASSERT_TRUE(doc->OnOpenDocument(path("u.zone")));
    EXPECT_EQ(doc->encoding(), namecodec::Encoding::Utf8);
    TextBuffer &text = *doc->textBuffer();
    const int end = text.length();
    text.replace(end, end, QStringLiteral("€\n"), TextSelection {end, end});
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(readBytes(path("u.zone")), bytes + QByteArray("\xe2\x82\xac\r\n"));
}

TEST_F(DocTest, ClosingPostsTheRemoval)
{
    auto doc = makeDoc(ids::templ::kGeneral);
    ASSERT_TRUE(doc->OnNewDocument());
    doc->OnCloseDocument();
    // Not before the close has finished.
    ASSERT_FALSE(recorder.notices.empty());
    EXPECT_FALSE(recorder.notices.back().closed);
    const std::size_t before = recorder.notices.size();
    QCoreApplication::sendPostedEvents(&notifier);
    ASSERT_EQ(recorder.notices.size(), before + 1);
    EXPECT_TRUE(recorder.notices.back().closed);
    EXPECT_EQ(recorder.notices.back().key, doc->id());
}

// Stands in for the editor's busy runner: runs the work and counts it.
class CountingRunner : public WorkRunner {
public:
    void run(const QString &label, const std::function<void()> &work) override
    {
        labels << label;
        work();
    }
    QStringList labels;
};

TEST_F(DocTest, ConvertsWithoutAWindowThroughTheRunnerItIsGiven)
{
    user->setValue(QStringLiteral("EnvOption/ProPathName"), dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("temp")));
    CountingRunner runner;
    context.workRunner = &runner;
    context.commentOption = [] { return 0; };

    // Refused inside a label: the text, the modified flag and the disk stay.
    writeBytes(path("bad.zone"), cp949("ok.kr. IN A 192.0.2.1\n예제\u3164.한국. IN A 192.0.2.2\n"));
    auto bad = makeDoc(ids::templ::kZone);
    ASSERT_TRUE(bad->OnOpenDocument(path("bad.zone")));
    const QString before = documentText(*bad->textBuffer());
    const DocumentOutcome refused
        = ConvertDocument(*bad, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
    EXPECT_EQ(refused.status, DocumentOutcome::Status::Failed);
    EXPECT_EQ(refused.line, 2);
    EXPECT_EQ(documentText(*bad->textBuffer()), before);
    EXPECT_FALSE(bad->IsModified());
    // The open, then the conversion, each named by its file.
    ASSERT_EQ(runner.labels.size(), 2);
    EXPECT_TRUE(runner.labels[0].contains(QStringLiteral("bad.zone")));
    EXPECT_TRUE(runner.labels[1].contains(QStringLiteral("bad.zone")));

    auto doc = makeDoc(ids::templ::kZone);
    writeBytes(path("good.zone"), cp949("예제.한국. IN A 192.0.2.1\n"));
    ASSERT_TRUE(doc->OnOpenDocument(path("good.zone")));
    const DocumentOutcome converted
        = ConvertDocument(*doc, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
    ASSERT_TRUE(converted) << converted.message.toStdString();
    const QString text = documentText(*doc->textBuffer());
    EXPECT_TRUE(text.startsWith(QStringLiteral("xn--"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("예제")));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(readBytes(path("good.zone")), cp949("예제.한국. IN A 192.0.2.1\n"));
    EXPECT_EQ(runner.labels.size(), 4);
    EXPECT_TRUE(runner.labels.back().contains(QStringLiteral("good.zone")));

    // Undone, the document holds its own text again, unmodified; redone, the
    // converted one, modified.
    ASSERT_TRUE(doc->canUndoConversion());
    ASSERT_TRUE(doc->undoConversion());
    EXPECT_EQ(documentText(*doc->textBuffer()), QStringLiteral("예제.한국. IN A 192.0.2.1\n"));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(doc->canUndoConversion());
    ASSERT_TRUE(doc->redoConversion());
    EXPECT_EQ(documentText(*doc->textBuffer()), text);
    EXPECT_TRUE(doc->IsModified());

    // A read-only copy is refused before any work, with its message.
    doc->makeReadOnlyCopy();
    const DocumentOutcome readOnly
        = ConvertDocument(*doc, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949);
    EXPECT_FALSE(readOnly);
    EXPECT_EQ(readOnly.message, readOnlyConversionText());
    EXPECT_EQ(runner.labels.size(), 4);
    EXPECT_TRUE(prompter.messages.isEmpty()); // told, never shown
}

TEST_F(DocTest, KeepsTheLatestConversionsForUndoAndNoMore)
{
    user->setValue(QStringLiteral("EnvOption/ProPathName"), dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("temp")));
    context.commentOption = [] { return 0; };
    writeBytes(path("many.zone"), cp949("예제.한국. IN A 192.0.2.1\n"));
    auto doc = makeDoc(ids::templ::kZone);
    ASSERT_TRUE(doc->OnOpenDocument(path("many.zone")));

    QStringList texts {documentText(*doc->textBuffer())};
    for (int i = 0; i < 10; ++i) {
        const bool toPunycode = i % 2 == 0;
        ASSERT_TRUE(
            ConvertDocument(*doc, toPunycode ? namecodec::Encoding::Cp949 : namecodec::Encoding::Punycode,
                toPunycode ? namecodec::Encoding::Punycode : namecodec::Encoding::Cp949));
        // An edit between conversions, so that every text differs.
        doc->textBuffer()->replace(0, 0, QString::number(i), TextSelection {});
        texts << documentText(*doc->textBuffer());
    }
    // Each undo takes back the edit, then the conversion before it.
    int conversionsUndone = 0;
    while (true) {
        while (doc->textBuffer()->isUndoAvailable())
            doc->textBuffer()->undo();
        if (!doc->undoConversion())
            break;
        ++conversionsUndone;
        EXPECT_EQ(documentText(*doc->textBuffer()), texts[10 - conversionsUndone]);
    }
    EXPECT_EQ(conversionsUndone, 8);
    // Redo first gives back the edit just undone, then the conversion.
    EXPECT_FALSE(doc->canRedoConversion());
    doc->textBuffer()->redo();
    EXPECT_TRUE(doc->canRedoConversion());
}
