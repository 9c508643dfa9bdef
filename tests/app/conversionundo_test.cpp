// Undoing and redoing whole-document conversions through the real window,
// its keys and its menu, and the busy dialog of long opens and conversions.
#include "apptestfixture.h"
#include "document/documentcontext.h"
#include "document/quoreldoc.h"
#include "editor/childframe.h"
#include "editor/mainframe.h"
#include "editor/offthreadwork.h"
#include "editor/quorelview.h"
#include "platform/quorelids.h"
#include "slowrunner.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

const char kEucKrZone[] = "$ORIGIN 한국.kr.\n"
                          "$TTL 3600\n"
                          "@\tIN\tSOA\tns.한국.kr. admin.한국.kr. (1 3600 900 604800 86400)\n"
                          "\tIN\tNS\tns.한국.kr.\n"
                          "www\tIN\tCNAME\t웹.한국.kr. ; 별칭\n";

struct Caret {
    int anchor = 0;
    int position = 0;
    bool operator==(const Caret &) const = default;
};

class ConversionUndoTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        startInstalled();
    }
    CQuorelDoc *open(const QString &path)
    {
        CQuorelDoc *doc = app->OpenDocumentFile(path);
        settle();
        return doc;
    }
    static CQuorelView *viewOf(CQuorelDoc *doc) { return qobject_cast<CChildFrame *>(doc->frame())->view(); }
    static Caret caretOf(CQuorelDoc *doc)
    {
        const TextSelection c = viewOf(doc)->textCursor();
        return {c.anchor, c.position};
    }
    static void select(CQuorelDoc *doc, int anchor, int position)
    {
        viewOf(doc)->setTextCursor(TextSelection {anchor, position});
    }
    // The menu's "취소" as the window keeps it current.
    bool undoEnabled() { return frame()->action(ids::command::kEditUndo)->isEnabled(); }
    static void press(CQuorelDoc *doc, QKeySequence::StandardKey key)
    {
        const QKeySequence seq(key);
        ASSERT_FALSE(seq.isEmpty());
        viewOf(doc)->setFocus();
        QTest::keySequence(viewOf(doc), seq);
        settle();
    }
};

} // namespace

TEST_F(ConversionUndoTest, ConversionIsOneUndoStepEitherWayAndEarlierEditsStayUndoable)
{
    // The second file is what the first converts to, so both commands run on
    // a file of their own direction.
    const QString eucKr = file("a.zone", cp949(kEucKrZone));
    CQuorelDoc *first = open(eucKr);
    ASSERT_NE(first, nullptr);
    trigger(ids::command::kConvertToPunycode);
    const QString punycodeText = viewText(*viewOf(first));
    ASSERT_TRUE(punycodeText.contains(QStringLiteral("xn--")));
    ASSERT_TRUE(first->DoSave(dir.filePath(QStringLiteral("b.zone")), false));
    qobject_cast<CChildFrame *>(first->frame())->closeWithoutAsking();
    settle();

    const struct {
        const char *name;
        int command;
    } cases[] = {{"a.zone", ids::command::kConvertToPunycode}, {"b.zone", ids::command::kConvertToEucKr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CQuorelDoc *doc = open(dir.filePath(QString::fromLatin1(c.name)));
        ASSERT_NE(doc, nullptr);
        const QString opened = viewText(*viewOf(doc));
        EXPECT_FALSE(undoEnabled());

        // An edit before the conversion, and a selection in the middle.
        moveCaretToEnd(*viewOf(doc));
        viewOf(doc)->insertText(QStringLiteral("; 메모\n"));
        const QString edited = viewText(*viewOf(doc));
        select(doc, 20, 12);
        const Caret before = caretOf(doc);

        QSignalSpy flag(doc, &CQuorelDoc::modifiedChanged);
        trigger(c.command);
        EXPECT_TRUE(flag.isEmpty()); // modified before, modified after
        const QString converted = viewText(*viewOf(doc));
        ASSERT_NE(converted, edited);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(undoEnabled());
        const Caret afterConversion {30, 34};
        select(doc, afterConversion.anchor, afterConversion.position);

        // Ctrl+Z gives back the edited text, its flag and its selection.
        press(doc, QKeySequence::Undo);
        EXPECT_EQ(viewText(*viewOf(doc)), edited);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(caretOf(doc), before);
        EXPECT_EQ(doc->textBuffer(), viewOf(doc)->buffer());
        EXPECT_TRUE(undoEnabled());

        // The edit from before is still there to undo, through the menu.
        trigger(ids::command::kEditUndo);
        EXPECT_EQ(viewText(*viewOf(doc)), opened);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_FALSE(undoEnabled());

        // Redo walks forward again: the edit, then the conversion.
        press(doc, QKeySequence::Redo);
        EXPECT_EQ(viewText(*viewOf(doc)), edited);
        press(doc, QKeySequence::Redo);
        EXPECT_EQ(viewText(*viewOf(doc)), converted);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(caretOf(doc), afterConversion);
        EXPECT_FALSE(viewOf(doc)->canRedo());
        qobject_cast<CChildFrame *>(doc->frame())->closeWithoutAsking();
        settle();
    }
}

TEST_F(ConversionUndoTest, UndoAfterSavingTheConversionLeavesTheDocumentModified)
{
    const QString path = file("saved.zone", cp949(kEucKrZone));
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    const QString original = viewText(*viewOf(doc));
    trigger(ids::command::kConvertToPunycode);
    const QString converted = viewText(*viewOf(doc));
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_FALSE(doc->IsModified());

    // The disk now holds the converted text: the text before it differs from
    // the file, and the converted one, back again, does not. Those who show
    // the flag hear of each change.
    auto *child = qobject_cast<CChildFrame *>(doc->frame());
    ASSERT_NE(child, nullptr);
    EXPECT_FALSE(child->windowTitle().endsWith(QLatin1Char('*')));
    QSignalSpy flag(doc, &CQuorelDoc::modifiedChanged);
    viewOf(doc)->OnEditUndo();
    EXPECT_EQ(viewText(*viewOf(doc)), original);
    EXPECT_TRUE(doc->IsModified());
    ASSERT_EQ(flag.size(), 1);
    EXPECT_TRUE(flag.takeFirst().at(0).toBool());
    // The window title's marker follows a flag that came with a swapped text.
    EXPECT_TRUE(child->windowTitle().endsWith(QLatin1Char('*'))) << child->windowTitle().toStdString();
    viewOf(doc)->OnEditRedo();
    EXPECT_EQ(viewText(*viewOf(doc)), converted);
    EXPECT_FALSE(doc->IsModified());
    ASSERT_EQ(flag.size(), 1);
    EXPECT_FALSE(flag.takeFirst().at(0).toBool());
    EXPECT_FALSE(child->windowTitle().endsWith(QLatin1Char('*'))) << child->windowTitle().toStdString();
}

TEST_F(ConversionUndoTest, AnEditAfterUndoingAConversionEndsItsRedo)
{
    CQuorelDoc *doc = open(file("edit.zone", cp949(kEucKrZone)));
    ASSERT_NE(doc, nullptr);
    trigger(ids::command::kConvertToPunycode);
    trigger(ids::command::kConvertToEucKr);
    viewOf(doc)->OnEditUndo();
    viewOf(doc)->OnEditUndo();
    EXPECT_TRUE(viewOf(doc)->canRedo());
    type(doc, QStringLiteral("x"));
    EXPECT_FALSE(viewOf(doc)->canRedo());
    viewOf(doc)->OnEditRedo();
    EXPECT_TRUE(viewText(*viewOf(doc)).endsWith(QStringLiteral("x")));
    EXPECT_FALSE(viewText(*viewOf(doc)).contains(QStringLiteral("xn--")));
    // Undoing the typing, then the undone conversions are gone for good.
    viewOf(doc)->OnEditUndo();
    EXPECT_FALSE(viewOf(doc)->canUndo());
}

namespace {

// The label of the busy dialog whenever one was seen showing, polled while
// the work runs.
class BusyDialogWatch {
public:
    BusyDialogWatch()
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QProgressDialog *>(w);
                if (dialog && dialog->isVisible() && dialog->objectName() == QStringLiteral("busyDialog"))
                    m_label = dialog->labelText();
            }
        });
        m_poll.start(50);
    }
    QString seenLabel() const { return m_label; }

private:
    QTimer m_poll;
    QString m_label;
};

} // namespace

TEST_F(ConversionUndoTest, SlowOpensConversionsAndSavesShowTheBusyDialogWithTheFileName)
{
    const QString path = file("slow.zone", cp949(kEucKrZone));
    DocumentContext &context = app->documentContext();
    WorkRunner *const normal = context.workRunner;
    SlowRunner slow(frame(), std::chrono::milliseconds(900));
    context.workRunner = &slow;

    CQuorelDoc *doc = nullptr;
    {
        BusyDialogWatch watch;
        doc = open(path);
        ASSERT_NE(doc, nullptr);
        EXPECT_TRUE(watch.seenLabel().contains(QStringLiteral("slow.zone")))
            << watch.seenLabel().toStdString();
    }
    {
        BusyDialogWatch watch;
        trigger(ids::command::kConvertToPunycode);
        EXPECT_TRUE(viewText(*viewOf(doc)).contains(QStringLiteral("xn--")));
        EXPECT_TRUE(watch.seenLabel().contains(QStringLiteral("slow.zone")))
            << watch.seenLabel().toStdString();
        EXPECT_TRUE(watch.seenLabel().contains(QStringLiteral("변환"))) << watch.seenLabel().toStdString();
    }
    {
        BusyDialogWatch watch;
        ASSERT_TRUE(doc->DoFileSave());
        EXPECT_TRUE(watch.seenLabel().contains(QStringLiteral("저장"))) << watch.seenLabel().toStdString();
        EXPECT_TRUE(readBytes(path).contains("xn--"));
    }
    // Work shorter than the delay shows nothing.
    context.workRunner = normal;
    {
        BusyDialogWatch watch;
        trigger(ids::command::kConvertToEucKr);
        EXPECT_TRUE(watch.seenLabel().isEmpty()) << watch.seenLabel().toStdString();
    }
}
