// The RTF reader on what word processors write and on broken input, and the
// update-information window over real notes files.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include "panes/rtfreader.h"
#include "panes/updateinfodialog.h"
#include "platform/quorelids.h"

namespace {

QByteArray sample()
{
    QFile f(QStringLiteral(QUOREL_TEST_DATA "/panes/wordprocessor-notes.rtf"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

QString q(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Each paragraph's runs written as "text|biu" where b, i, u mark the format.
QStringList describe(const rtf::Paragraph &p)
{
    QStringList runs;
    for (const rtf::Run &r : p.runs) {
        QString marks;
        marks += r.bold ? u'b' : u'-';
        marks += r.italic ? u'i' : u'-';
        marks += r.underline ? u'u' : u'-';
        runs << r.text + u'|' + marks;
    }
    return runs;
}

TEST(RtfReader, ReadsWhatAWordProcessorWrites)
{
    const rtf::Document doc = rtf::read(sample());
    ASSERT_EQ(doc.paragraphs.size(), 6);
    // Code page 949 escapes, bold, centred, 14 points; the font names in
    // the font table never show.
    EXPECT_EQ(describe(doc.paragraphs[0]), QStringList {q("린드바트 업데이트 정보|b--")});
    EXPECT_EQ(doc.paragraphs[0].alignment, rtf::Alignment::Center);
    EXPECT_EQ(doc.paragraphs[0].runs[0].halfPoints, 28);
    EXPECT_EQ(
        describe(doc.paragraphs[1]), (QStringList {q("Version |---"), q("1.0.0|b--"), q(" 변경 사항|---")}));
    EXPECT_EQ(doc.paragraphs[1].alignment, rtf::Alignment::Left);
    // \uN escapes with their '?' fallback skipped.
    EXPECT_EQ(describe(doc.paragraphs[2]), QStringList {q("한국.kr 이름 변환|-i-")});
    // Underline, a syllable outside KS X 1001, a tab and a named dash.
    EXPECT_EQ(
        describe(doc.paragraphs[3]), (QStringList {q("주의|--u"), q(": 똠방각하\t확장 완성형\u2014ok|---")}));
    // \uc2 with code page 949 bytes as the fallback, then a line break
    // inside the paragraph.
    EXPECT_EQ(doc.paragraphs[4].text(), q("한국 끝\u2028둘째 줄"));
    // A field shows its result, never its instruction.
    EXPECT_EQ(describe(doc.paragraphs[5]), QStringList {q("https://quorel.example/|--u")});
    EXPECT_FALSE(doc.plainText().contains(QStringLiteral("HYPERLINK")));
    EXPECT_FALSE(doc.plainText().contains(q("굴림")));
    EXPECT_FALSE(doc.plainText().contains(QStringLiteral("Riched20")));
    EXPECT_FALSE(doc.plainText().contains(QStringLiteral("VANTO")));
}

TEST(RtfReader, BrokenInputIsReadAsFarAsItGoes)
{
    struct Case {
        const char *name;
        QByteArray input;
        const char *text;
    };
    const Case cases[] = {
        {"group never closed", "{\\rtf1 abc{\\b def", "abcdef"},
        {"closing braces too many", "{\\rtf1 a}}}} b}", "a b"},
        {"backslash at the end", "{\\rtf1 x\\", "x"},
        {"hex escape cut after the quote", "{\\rtf1 x\\'", "x"},
        {"hex escape with one digit", "{\\rtf1 x\\'4", "x"},
        {"hex escape with no digits", "{\\rtf1 x\\'zz}", "xzz"},
        {"lone lead byte of code page 949", "{\\rtf1\\ansicpg949 \\'c7}", "\uFFFD"},
        {"lead byte then a space", "{\\rtf1\\ansicpg949 \\'c7 a\\'c7\\'d1}", "\uFFFD a한"},
        {"trail byte written as a letter", "{\\rtf1\\ansicpg949 \\'8cc}", "똠"},
        {"\\u without a number", "{\\rtf1 x\\u y}", "xy"},
        {"\\u with only a minus", "{\\rtf1 x\\u-}", "x-"},
        {"\\u at the very end", "{\\rtf1 \\u54620", "한"},
        {"fallback cut by the group end", "{\\rtf1 {\\uc4\\u54620 a}b}", "한b"},
        {"\\u out of range", "{\\rtf1 \\u99999999999999 ?a}", "a"},
        {"huge font size", "{\\rtf1 \\fs99999999999999999 a}", "a"},
        {"over-long control word", "{\\rtf1 \\" + QByteArray(5000, 'a') + " z}", "z"},
        {"stray NUL and control bytes",
            QByteArray("{\\rtf1 a\0\x01"
                       "b}",
                12),
            "ab"},
        {"ignorable destination never closed", "{\\rtf1 a{\\*\\xyz secret", "a"},
        {"not RTF: UTF-8 text", "첫 줄\r\n둘째 줄\n", "첫 줄\n둘째 줄"},
        {"not RTF: code page 949 text", "\xc7\xd1\xb1\xb9\n", "한국"},
        {"binary picture data with braces", "{\\rtf1 a{\\pict\\bin4 }}{x}b}", "ab"},
        {"binary data longer than the file", "{\\rtf1 a{\\pict\\bin999999 xy", "a"},
        {"empty", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rtf::read(c.input).plainText(), q(c.text));
    }

    // Nesting far deeper than the reader keeps state for.
    const QByteArray deep = "{\\rtf1 " + QByteArray(200000, '{') + "\\b x" + QByteArray(200000, '}') + " y}";
    const rtf::Document doc = rtf::read(deep);
    EXPECT_EQ(doc.plainText(), QStringLiteral("x y"));
}

TEST(RtfReader, DamagedCopiesOfARealFileNeverCrashAndShowWhole)
{
    const QByteArray original = sample();
    QRandomGenerator random(20261208);
    for (int round = 0; round < 3000; ++round) {
        QByteArray damaged = original;
        const int edits = 1 + random.bounded(8);
        for (int e = 0; e < edits; ++e) {
            const int at = random.bounded(damaged.size());
            switch (random.bounded(3)) {
            case 0:
                damaged[at] = static_cast<char>(random.bounded(256));
                break;
            case 1:
                damaged.remove(at, 1 + random.bounded(20));
                break;
            default:
                damaged.truncate(at);
                break;
            }
            if (damaged.isEmpty())
                break;
        }
        const rtf::Document doc = rtf::read(damaged);
        for (const rtf::Paragraph &p : doc.paragraphs) {
            for (const rtf::Run &r : p.runs) {
                ASSERT_FALSE(r.text.isEmpty()) << round;
                ASSERT_TRUE(r.halfPoints >= 0 && r.halfPoints <= 400) << round;
            }
        }
        QTextDocument shown;
        CUpdateInfoDialog::fillDocument(shown, doc);
        EXPECT_EQ(shown.toPlainText().size(), doc.plainText().size()) << round;
    }
}

class UpdateInfoTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void writeNotes(const QByteArray &bytes)
    {
        QFile f(dir.filePath(CUpdateInfoDialog::kNotesFileName));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Notes of `lines` short paragraphs, one laid-out line each.
    void writeLines(int lines)
    {
        QByteArray rtf = "{\\rtf1\\ansi\\ansicpg949 ";
        for (int i = 1; i <= lines; ++i)
            rtf += "\\'c1\\'d9 " + QByteArray::number(i) + "\\par\n";
        writeNotes(rtf + "}");
    }
    QTemporaryDir dir;
};

TEST_F(UpdateInfoTest, ShowsTheNotesWithTheirFormatting)
{
    writeNotes(sample());
    CUpdateInfoDialog dialog(dir.path());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("린드바트 정보"));
    EXPECT_EQ(dialog.property("controlId").toInt(), 144);
    for (const auto &[id, text] : {std::pair {1014, "린드바트"}, std::pair {1015, "버전 0.98b"}}) {
        bool found = false;
        for (QLabel *label : dialog.findChildren<QLabel *>()) {
            if (label->property("controlId").toInt() == id) {
                EXPECT_EQ(label->text(), q(text));
                found = true;
            }
        }
        EXPECT_TRUE(found) << id;
    }
    QTextDocument *doc = dialog.notes()->document();
    EXPECT_TRUE(dialog.notes()->isReadOnly());
    EXPECT_EQ(doc->firstBlock().text(), q("린드바트 업데이트 정보"));
    EXPECT_EQ(doc->firstBlock().blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(doc->firstBlock().begin().fragment().charFormat().fontWeight(), QFont::Bold);
    const QTextBlock italic = doc->findBlockByNumber(2);
    EXPECT_EQ(italic.text(), q("한국.kr 이름 변환"));
    EXPECT_TRUE(italic.begin().fragment().charFormat().fontItalic());
    const QTextBlock underlined = doc->findBlockByNumber(3);
    EXPECT_EQ(underlined.begin().fragment().text(), q("주의"));
    EXPECT_TRUE(underlined.begin().fragment().charFormat().fontUnderline());
    EXPECT_FALSE((++underlined.begin()).fragment().charFormat().fontUnderline());
    EXPECT_GE(dialog.lineCount(), 7);
}

TEST_F(UpdateInfoTest, MissingNotesSayThereAreNone)
{
    CUpdateInfoDialog dialog(dir.path());
    dialog.show();
    EXPECT_EQ(dialog.notes()->toPlainText(), QStringLiteral("업데이트 정보가 없습니다"));
    // Checking the box over no notes is harmless.
    QTest::mouseClick(dialog.autoScrollBox(), Qt::LeftButton);
    for (int i = 0; i < 10; ++i)
        dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
    EXPECT_EQ(dialog.notes()->verticalScrollBar()->value(), 0);
}

TEST_F(UpdateInfoTest, TwentyLinesScrollALineATickAndGoBackAfterTheFifteenth)
{
    writeLines(20);
    CUpdateInfoDialog dialog(dir.path());
    dialog.show();
    ASSERT_EQ(dialog.lineCount(), 20);
    QScrollBar *bar = dialog.notes()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the notes must not fit the box for this test";

    EXPECT_FALSE(dialog.autoScrollTimer().isActive());
    QTest::mouseClick(dialog.autoScrollBox(), Qt::LeftButton);
    ASSERT_TRUE(dialog.autoScrollTimer().isActive());
    EXPECT_EQ(dialog.autoScrollTimer().interval(), 1000);
    EXPECT_EQ(dialog.autoScrollTimer().property("timerId").toInt(), 1);

    // Another timer's tick scrolls nothing.
    dialog.OnTimer(2);
    EXPECT_EQ(dialog.scrollCounter(), 0);
    EXPECT_EQ(bar->value(), 0);

    for (int cycle = 0; cycle < 2; ++cycle) {
        int previous = 0;
        for (int tick = 1; tick <= 14; ++tick) {
            dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
            EXPECT_EQ(dialog.scrollCounter(), tick);
            const int top = dialog.firstVisibleLine();
            // One line a tick until the end of the notes is in view.
            if (bar->value() < bar->maximum()) {
                EXPECT_EQ(top, tick);
            }
            EXPECT_TRUE(top == previous + 1 || (top == previous && bar->value() == bar->maximum())) << tick;
            previous = top;
        }
        EXPECT_EQ(bar->value(), bar->maximum());
        dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
        EXPECT_EQ(dialog.scrollCounter(), 0) << cycle;
        EXPECT_EQ(bar->value(), 0) << cycle;
        EXPECT_EQ(dialog.firstVisibleLine(), 0);
    }

    // Unchecking stops the timer; checking again goes on from the counter.
    dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
    dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
    QTest::mouseClick(dialog.autoScrollBox(), Qt::LeftButton);
    EXPECT_FALSE(dialog.autoScrollTimer().isActive());
    QTest::mouseClick(dialog.autoScrollBox(), Qt::LeftButton);
    EXPECT_TRUE(dialog.autoScrollTimer().isActive());
    dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
    EXPECT_EQ(dialog.scrollCounter(), 3);
    EXPECT_EQ(dialog.firstVisibleLine(), 3);
}

TEST_F(UpdateInfoTest, FiveLinesNeverGoBack)
{
    writeLines(5);
    CUpdateInfoDialog dialog(dir.path());
    dialog.show();
    ASSERT_EQ(dialog.lineCount(), 5);
    QTest::mouseClick(dialog.autoScrollBox(), Qt::LeftButton);
    for (int tick = 1; tick <= 20; ++tick) {
        dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
        EXPECT_EQ(dialog.scrollCounter(), tick);
        EXPECT_EQ(
            dialog.notes()->verticalScrollBar()->value(), dialog.notes()->verticalScrollBar()->maximum());
    }
}

TEST_F(UpdateInfoTest, TheTimerTicksOnItsOwn)
{
    writeLines(20);
    CUpdateInfoDialog dialog(dir.path());
    dialog.show();
    QTest::mouseClick(dialog.autoScrollBox(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.scrollCounter() == 1; }, 2500));
    EXPECT_EQ(dialog.firstVisibleLine(), 1);
}

} // namespace
