// The RTF reader on what word processors write and on broken input, and the
// update-information window over real notes files.
#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <memory>

#include "panes/updateinfodialog.h"
#include "platform/quorelids.h"
#include "rtf/rtfreader.h"

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

// Whether `whole` holds more than `limits` let through anywhere.
bool exceeds(const rtf::Document &whole, const rtf::Limits &limits)
{
    qsizetype characters = 0;
    qsizetype runs = 0;
    for (const rtf::Paragraph &p : whole.paragraphs) {
        if (p.runs.size() > limits.runsPerParagraph)
            return true;
        runs += p.runs.size();
        for (const rtf::Run &r : p.runs)
            characters += r.text.size();
    }
    return whole.paragraphs.size() > limits.paragraphs || characters > limits.characters
        || runs > limits.runs;
}

// A read with `limits` is the start of the unlimited read: every paragraph
// and run as there, the last kept run possibly shorter; it is cut exactly
// when the whole document goes past the limits, and never splits a
// surrogate pair.
void expectStartOf(const QByteArray &input, const rtf::Limits &limits)
{
    const rtf::Document whole = rtf::read(input);
    const rtf::Document cut = rtf::read(input, limits);
    ASSERT_FALSE(whole.truncated);
    EXPECT_EQ(cut.truncated, exceeds(whole, limits));
    EXPECT_FALSE(exceeds(cut, limits));
    if (!cut.truncated) {
        EXPECT_EQ(cut.plainText(), whole.plainText());
        EXPECT_EQ(cut.paragraphs.size(), whole.paragraphs.size());
    }
    ASSERT_LE(cut.paragraphs.size(), whole.paragraphs.size());
    for (qsizetype i = 0; i < cut.paragraphs.size(); ++i) {
        const rtf::Paragraph &kept = cut.paragraphs[i];
        const rtf::Paragraph &full = whole.paragraphs[i];
        const bool lastParagraph = i + 1 == cut.paragraphs.size();
        // The last kept paragraph's alignment may still have changed after
        // the point where reading stopped.
        if (!lastParagraph || !cut.truncated) {
            EXPECT_EQ(kept.alignment, full.alignment) << i;
        }
        ASSERT_LE(kept.runs.size(), full.runs.size()) << i;
        for (qsizetype r = 0; r < kept.runs.size(); ++r) {
            EXPECT_TRUE(kept.runs[r].sameFormat(full.runs[r])) << i << ',' << r;
            EXPECT_FALSE(kept.runs[r].text.isEmpty()) << i << ',' << r;
            if (lastParagraph && r + 1 == kept.runs.size() && cut.truncated) {
                const QString &text = kept.runs[r].text;
                ASSERT_TRUE(full.runs[r].text.startsWith(text)) << i;
                if (text.size() < full.runs[r].text.size()) {
                    EXPECT_FALSE(
                        text.back().isHighSurrogate() && full.runs[r].text[text.size()].isLowSurrogate())
                        << i;
                }
            } else {
                EXPECT_EQ(kept.runs[r].text, full.runs[r].text) << i << ',' << r;
            }
        }
        if (!lastParagraph || !cut.truncated) {
            EXPECT_EQ(kept.runs.size(), full.runs.size()) << i;
        }
    }
}

TEST(RtfReader, LimitsKeepTheStartOfTheSameDocument)
{
    QByteArray hangul = "{\\rtf1\\ansi\\ansicpg949 ";
    for (int i = 0; i < 3000; ++i)
        hangul += "\\'c7\\'d1\\'b1\\'db ";
    QByteArray utf8 = "{\\rtf1\\ansicpg65001 ";
    utf8 += QString::fromUtf8("글😀").repeated(500).toUtf8() + "}";
    QByteArray cp949Lines;
    for (int i = 0; i < 300; ++i)
        cp949Lines += "\xc7\xd1\xb1\xdb \r\n" + QByteArray::number(i) + "\n\n";
    const struct {
        const char *name;
        QByteArray input;
    } inputs[] = {
        {"word processor notes", sample()},
        {"many paragraphs", "{\\rtf1 " + QByteArray("x\\par ").repeated(400) + "}"},
        {"empty paragraphs", "{\\rtf1 " + QByteArray("\\par\r\n").repeated(400) + "}"},
        {"one long paragraph of code page 949 bytes, never closed", hangul},
        {"UTF-8 bytes with pairs of surrogates", utf8},
        {"pairs of surrogates from \\u", "{\\rtf1 " + QByteArray("a\\u-10179?\\u-8704?").repeated(300) + "}"},
        {"a change of format every character",
            "{\\rtf1 " + QByteArray("\\b a\\b0 b\\i c\\i0 ").repeated(300)},
        {"alignment set after the text",
            "{\\rtf1 " + QByteArray("abc\\qc def\\par\\ql ").repeated(100) + "}"},
        {"not RTF: UTF-8 lines", QString::fromUtf8("첫 줄 😀\r\n\n").repeated(300).toUtf8()},
        {"not RTF: code page 949 lines", cp949Lines},
        {"not RTF: one line", QByteArray(20000, 'z')},
        {"not RTF: bytes of no code page",
            QByteArray::fromBase64("gMjIyMjIyMjIyMjIyMjIyMjIyDJcdTU0NjIwXCdjNydjN1wnZDF9XCdjOGMAcGFyfQ==")},
    };
    const rtf::Limits limits[] = {
        {},
        {0, 1000, 1000, 1000},
        {1, 1000, 1000, 1000},
        {7, 1000000, 1000000, 1000000},
        {1000, 0, 1000, 1000},
        {1000, 1, 1000, 1000},
        {1000, 2, 1000, 1000},
        {1000, 3, 1000, 1000},
        {1000, 333, 1000, 1000},
        {1000, 1000, 5, 1000},
        {1000, 1000, 1000, 2},
        {1000, 1000, 1000, 0},
        {1000000, 1000000, 1000000, 1000000},
    };
    for (const auto &input : inputs) {
        for (const rtf::Limits &limit : limits) {
            SCOPED_TRACE(testing::Message()
                << input.name << ": " << limit.paragraphs << " paragraphs, " << limit.characters
                << " characters, " << limit.runs << " runs, " << limit.runsPerParagraph << " a paragraph");
            expectStartOf(input.input, limit);
        }
    }
}

TEST(RtfReader, LimitsOnDamagedCopiesKeepTheStartOfTheSameDocument)
{
    const QByteArray original = sample();
    QRandomGenerator random(20261209);
    for (int round = 0; round < 1000; ++round) {
        QByteArray damaged = original;
        for (int e = 1 + random.bounded(6); e > 0 && !damaged.isEmpty(); --e)
            damaged.remove(random.bounded(damaged.size()), 1 + random.bounded(20));
        const rtf::Limits limits {
            random.bounded(8), random.bounded(120), random.bounded(14), random.bounded(5)};
        SCOPED_TRACE(round);
        expectStartOf(damaged, limits);
    }
}

TEST(RtfReader, ReadingStopsWhereTheLimitsAre)
{
    struct Case {
        const char *name;
        QByteArray input;
        rtf::Limits limits;
        const char *text;
        bool truncated;
    };
    const Case cases[] = {
        {"paragraphs up to the limit", "{\\rtf1 a\\par b\\par c\\par}", {3, 100, 100, 100}, "a\nb\nc", false},
        {"one paragraph more", "{\\rtf1 a\\par b\\par c\\par}", {2, 100, 100, 100}, "a\nb", true},
        {"an empty paragraph more", "{\\rtf1 a\\par b\\par\\par}", {2, 100, 100, 100}, "a\nb", true},
        {"hidden text past the limit is nothing more", "{\\rtf1 a\\par{\\*\\x b\\par}}", {1, 100, 100, 100},
            "a", false},
        {"characters up to the limit", "{\\rtf1\\ansicpg949 \\'c7\\'d1\\'b1\\'db}", {10, 2, 10, 10}, "한글",
            false},
        {"one character more", "{\\rtf1\\ansicpg949 \\'c7\\'d1\\'b1\\'db}", {10, 1, 10, 10}, "한", true},
        {"never half a surrogate pair", "{\\rtf1 a\\u-10179?\\u-8704?}", {10, 2, 10, 10}, "a", true},
        {"runs up to the limit", "{\\rtf1 a\\b b\\b0 c\\par}", {10, 100, 3, 10}, "abc", false},
        {"a run more", "{\\rtf1 a\\b b\\b0 c\\par d}", {10, 100, 3, 10}, "abc", true},
        {"a run more in one paragraph", "{\\rtf1 a\\par b\\b c}", {10, 100, 10, 1}, "a\nb", true},
        {"plain lines up to the limit", "a\nb\n", {2, 100, 100, 100}, "a\nb", false},
        {"a plain line more", "a\nb\nc", {2, 100, 100, 100}, "a\nb", true},
        {"a plain line cut", "abcdef\n", {2, 3, 100, 100}, "abc", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const rtf::Document doc = rtf::read(c.input, c.limits);
        EXPECT_EQ(doc.plainText(), q(c.text));
        EXPECT_EQ(doc.truncated, c.truncated);
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

// `head`, then `unit` as often as fits under the window's size limit.
QByteArray nearTheSizeLimit(const QByteArray &head, const QByteArray &unit, const QByteArray &tail = "}")
{
    const qsizetype room = CUpdateInfoDialog::kMaxNotesBytes - head.size() - tail.size();
    return head + unit.repeated(room / unit.size()) + tail;
}

// Waits, the event loop running, until large notes read off the GUI thread
// are in the box.
bool notesRead(CUpdateInfoDialog &dialog)
{
    return QTest::qWaitFor(
        [&] { return dialog.notes()->toPlainText() != CUpdateInfoDialog::kReadingNotes; }, 20000);
}

// The text the box shows, paragraph breaks left out.
qsizetype shownCharacters(QTextDocument *doc)
{
    qsizetype characters = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        characters += block.text().size();
    return characters;
}

TEST_F(UpdateInfoTest, NotesPastTheLimitsShowTheirStartAndSaySo)
{
    const QByteArray head = "{\\rtf1\\ansi\\ansicpg949 ";
    const struct {
        const char *name;
        QByteArray bytes;
        const char *firstLine;
    } cases[] = {
        {"1.4 million empty paragraphs", nearTheSizeLimit(head + "\\'c1\\'d9 1\\par\r\n", "\\par\r\n"),
            "줄 1"},
        {"one paragraph never ended", nearTheSizeLimit(head, "\\'c7\\'d1\\'b1\\'db "), "한글 한글 한글"},
        {"a change of format every character", nearTheSizeLimit(head, "\\b a\\b0 b"), "abab"},
        {"Hangul never broken by a space", nearTheSizeLimit(head, "\\'c7\\'d1"), "한한한"},
        {"lines of plain text", nearTheSizeLimit({}, QString::fromUtf8("변경 사항\n").toUtf8(), {}),
            "변경 사항"},
    };
    const rtf::Limits limits = CUpdateInfoDialog::kNotesLimits;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LE(c.bytes.size(), CUpdateInfoDialog::kMaxNotesBytes);
        writeNotes(c.bytes);
        CUpdateInfoDialog dialog(dir.path());
        dialog.show();
        // Megabytes of notes are read while the window is up and says so.
        QTextDocument *doc = dialog.notes()->document();
        EXPECT_EQ(doc->toPlainText(), CUpdateInfoDialog::kReadingNotes);
        ASSERT_TRUE(notesRead(dialog));
        // The box learns the notes' height from its layout through events.
        QCoreApplication::processEvents();
        EXPECT_TRUE(doc->firstBlock().text().startsWith(q(c.firstLine)))
            << doc->firstBlock().text().left(40).toStdString();
        EXPECT_EQ(doc->lastBlock().text(), CUpdateInfoDialog::kNotesCut);
        EXPECT_TRUE(doc->lastBlock().begin().fragment().charFormat().fontItalic());
        EXPECT_LE(doc->blockCount(), limits.paragraphs + 1);
        EXPECT_LE(shownCharacters(doc), limits.characters + CUpdateInfoDialog::kNotesCut.size());
        EXPECT_GT(dialog.lineCount(), 0);
        // However long its words, every line fits the box.
        EXPECT_LE(doc->idealWidth(), dialog.notes()->viewport()->width());

        // The reader finds the note where the notes stop.
        QTest::keyClick(dialog.notes(), Qt::Key_End);
        QScrollBar *bar = dialog.notes()->verticalScrollBar();
        EXPECT_EQ(bar->value(), bar->maximum());
        const QRectF note = doc->documentLayout()->blockBoundingRect(doc->lastBlock());
        EXPECT_GE(note.top(), bar->value());
        EXPECT_LE(note.bottom(), bar->value() + dialog.notes()->viewport()->height());

        // The window works as with any notes: it scrolls by itself and
        // closes with its button.
        QTest::keyClick(dialog.notes(), Qt::Key_Home);
        QTest::mouseClick(dialog.autoScrollBox(), Qt::LeftButton);
        EXPECT_TRUE(dialog.autoScrollTimer().isActive());
        if (bar->maximum() > 0) {
            for (int tick = 1; tick <= 3; ++tick)
                dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
            EXPECT_EQ(dialog.firstVisibleLine(), 3);
        }
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("updateInfoOk")), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST_F(UpdateInfoTest, LargeNotesReadWhileTheWindowIsUpAreCountedAndScrolled)
{
    writeNotes(nearTheSizeLimit("{\\rtf1\\ansi\\ansicpg949 ", "\\'c1\\'d9\\par\r\n"));
    CUpdateInfoDialog dialog(dir.path());
    dialog.show();
    EXPECT_EQ(dialog.lineCount(), 1); // the line saying the notes are being read
    // Auto scrolling checked and ticking before the notes are there.
    QTest::mouseClick(dialog.autoScrollBox(), Qt::LeftButton);
    dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
    ASSERT_TRUE(notesRead(dialog));
    QCoreApplication::processEvents();
    const int kept = static_cast<int>(CUpdateInfoDialog::kNotesLimits.paragraphs);
    EXPECT_EQ(dialog.lineCount(), kept + 1);
    EXPECT_EQ(dialog.scrollCounter(), 0);
    EXPECT_EQ(dialog.firstVisibleLine(), 0);
    EXPECT_TRUE(dialog.autoScrollTimer().isActive());
    dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
    dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
    EXPECT_EQ(dialog.scrollCounter(), 2);
    EXPECT_EQ(dialog.firstVisibleLine(), 2);
}

TEST_F(UpdateInfoTest, TheWindowClosesWhileLargeNotesAreRead)
{
    writeNotes(nearTheSizeLimit("{\\rtf1 ", "\\b\\i\\b0\\i0 "));
    for (int round = 0; round < 3; ++round) {
        auto dialog = std::make_unique<CUpdateInfoDialog>(dir.path());
        dialog->show();
        EXPECT_EQ(dialog->notes()->toPlainText(), CUpdateInfoDialog::kReadingNotes);
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        dialog.reset();
        // Nothing of the closed window is left to be told of the notes.
        QCoreApplication::processEvents();
    }
}

TEST_F(UpdateInfoTest, NotesWithinTheLimitsShowWholeWithoutANote)
{
    writeNotes(sample());
    {
        CUpdateInfoDialog dialog(dir.path());
        dialog.show();
        EXPECT_EQ(dialog.notes()->document()->blockCount(), 6);
        EXPECT_FALSE(dialog.notes()->toPlainText().contains(CUpdateInfoDialog::kNotesCut));
    }
    // As many paragraphs as the window keeps, and not one more.
    const int most = static_cast<int>(CUpdateInfoDialog::kNotesLimits.paragraphs);
    writeLines(most);
    CUpdateInfoDialog dialog(dir.path());
    dialog.show();
    QTextDocument *doc = dialog.notes()->document();
    EXPECT_EQ(doc->blockCount(), most);
    EXPECT_EQ(doc->lastBlock().text(), q("줄 ") + QString::number(most));
    EXPECT_FALSE(dialog.notes()->toPlainText().contains(CUpdateInfoDialog::kNotesCut));
    EXPECT_EQ(dialog.lineCount(), most);
}

TEST_F(UpdateInfoTest, NotesOverTheSizeLimitAreNotRead)
{
    writeNotes(QByteArray(CUpdateInfoDialog::kMaxNotesBytes + 1, 'a'));
    CUpdateInfoDialog dialog(dir.path());
    dialog.show();
    const QString shown = dialog.notes()->toPlainText();
    EXPECT_TRUE(shown.contains(CUpdateInfoDialog::kNotesFileName)) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(q("8 MiB보다 커서 읽지 않았습니다."))) << shown.toStdString();
    EXPECT_EQ(dialog.notes()->document()->blockCount(), 1);
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
