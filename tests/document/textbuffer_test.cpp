// The line-list text model: position mapping, edits, undo history, clean
// point, line states, find and the signals a view relies on.
#include "document/textbuffer.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Everything the buffer announces, in order, as short words.
class SignalLog {
public:
    explicit SignalLog(TextBuffer &buffer)
    {
        QObject::connect(&buffer, &TextBuffer::changed, [this](const TextChange &c) {
            events << QStringLiteral("change %1 %2 %3").arg(c.position).arg(c.charsRemoved).arg(c.charsAdded);
            events << QStringLiteral("lines %1 %2 %3").arg(c.firstLine).arg(c.linesRemoved).arg(c.linesAdded);
        });
        QObject::connect(
            &buffer, &TextBuffer::contentsChanged, [this] { events << QStringLiteral("contents"); });
        QObject::connect(&buffer, &TextBuffer::modificationChanged,
            [this](bool on) { events << QStringLiteral("modified %1").arg(on); });
        QObject::connect(&buffer, &TextBuffer::undoAvailable,
            [this](bool on) { events << QStringLiteral("undo %1").arg(on); });
        QObject::connect(&buffer, &TextBuffer::redoAvailable,
            [this](bool on) { events << QStringLiteral("redo %1").arg(on); });
        QObject::connect(
            &buffer, &TextBuffer::undoCommandAdded, [this] { events << QStringLiteral("added"); });
    }
    QStringList take() { return std::exchange(events, {}); }

    QStringList events;
};

TextSelection caret(int position)
{
    return {position, position};
}

// Types `text` one character at a time from `position`, as the view does.
void type(TextBuffer &buffer, int position, const QString &text)
{
    for (QChar c : text) {
        buffer.replace(position, position, QString(c), caret(position), true);
        ++position;
    }
}

// Checks every position and line of `buffer` against `text`.
void expectMapsLike(const TextBuffer &buffer, const QString &text)
{
    ASSERT_EQ(buffer.toPlainText(), text);
    ASSERT_EQ(buffer.length(), text.size());
    const QStringList lines = text.split(u'\n');
    ASSERT_EQ(buffer.lineCount(), lines.size());
    int start = 0;
    for (int line = 0; line < lines.size(); ++line) {
        SCOPED_TRACE(line);
        EXPECT_EQ(buffer.line(line), lines[line]);
        EXPECT_EQ(buffer.lineStart(line), start);
        for (int column = 0; column <= lines[line].size(); ++column) {
            EXPECT_EQ(buffer.lineOf(start + column), line);
            EXPECT_EQ(buffer.columnOf(start + column), column);
        }
        start += lines[line].size() + 1;
    }
    for (int position = 0; position <= text.size(); ++position)
        EXPECT_EQ(buffer.characterAt(position), position < text.size() ? text.at(position) : QChar());
}

} // namespace

TEST(TextBufferMapping, PositionsLinesAndCharactersAgreeWithThePlainText)
{
    const QString texts[] = {
        QString(),
        QStringLiteral("\n"),
        QStringLiteral("a\n"),
        QStringLiteral("\n\nb"),
        QStringLiteral("www\tIN\tA\t192.0.2.1\r\n메일\tIN\tCNAME\twww\r\n"),
        QStringLiteral("\r\r\n\n\r"),
    };
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        TextBuffer buffer;
        buffer.setPlainText(text);
        expectMapsLike(buffer, text);
        EXPECT_FALSE(buffer.isModified());
        EXPECT_FALSE(buffer.isUndoAvailable());
    }
    TextBuffer fresh;
    EXPECT_EQ(fresh.lineCount(), 1);
    EXPECT_EQ(fresh.length(), 0);
    EXPECT_EQ(fresh.line(0), QString());
}

TEST(TextBufferMapping, OutOfRangeInputIsClampedNotRead)
{
    TextBuffer buffer;
    buffer.setPlainText(QStringLiteral("ab\ncd"));
    EXPECT_EQ(buffer.lineOf(-7), 0);
    EXPECT_EQ(buffer.lineOf(1000), 1);
    EXPECT_EQ(buffer.lineStart(-1), 0);
    EXPECT_EQ(buffer.lineStart(2), 5);
    EXPECT_EQ(buffer.line(-1), QString());
    EXPECT_EQ(buffer.line(2), QString());
    EXPECT_EQ(buffer.lineState(5), -1);
    buffer.setLineState(5, 3); // ignored
    EXPECT_EQ(buffer.characterAt(-1), QChar());
    EXPECT_EQ(buffer.characterAt(5), QChar());
    EXPECT_EQ(buffer.characterAt(2), QChar(u'\n'));
    EXPECT_EQ(buffer.text(-3, 100), QStringLiteral("ab\ncd"));
    EXPECT_EQ(buffer.text(4, 1), QStringLiteral("b\nc"));
    EXPECT_EQ(buffer.find(QStringLiteral("a"), -10), 0);
    EXPECT_EQ(buffer.find(QStringLiteral("d"), 99, TextBuffer::FindBackward), 4);

    buffer.replace(100, -5, QStringLiteral("x"), caret(0));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("x"));
    buffer.undo();
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("ab\ncd"));
    // Nothing to undo or redo gives back a caret and changes nothing.
    buffer.undo();
    buffer.redo();
    buffer.redo();
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("x"));
}

TEST(TextBufferEdit, SplitsAndJoinsLinesAndReportsWhichLinesChanged)
{
    TextBuffer buffer;
    buffer.setPlainText(QStringLiteral("one\ntwo\nthree"));
    SignalLog log(buffer);

    buffer.replace(5, 5, QStringLiteral("X\nY\n"), caret(5)); // inside "two"
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("one\ntX\nY\nwo\nthree"));
    EXPECT_EQ(log.take(),
        QStringList(
            {QStringLiteral("change 5 0 4"), QStringLiteral("lines 1 1 3"), QStringLiteral("contents"),
                QStringLiteral("undo 1"), QStringLiteral("modified 1"), QStringLiteral("added")}));

    buffer.replace(2, 13, QStringLiteral("-"), caret(2)); // from "one" into "three"
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("on-hree"));
    EXPECT_EQ(log.take(),
        QStringList({QStringLiteral("change 2 11 1"), QStringLiteral("lines 0 5 1"),
            QStringLiteral("contents"), QStringLiteral("added")}));

    buffer.replace(3, 3, QString(), caret(3)); // nothing to do: no step, no signal
    EXPECT_TRUE(log.take().isEmpty());

    EXPECT_EQ(buffer.undo(), caret(2));
    EXPECT_EQ(log.take(),
        QStringList({QStringLiteral("change 2 1 11"), QStringLiteral("lines 0 1 5"),
            QStringLiteral("contents"), QStringLiteral("redo 1")}));
    EXPECT_EQ(buffer.undo(), caret(5));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("one\ntwo\nthree"));
    EXPECT_EQ(log.take(),
        QStringList({QStringLiteral("change 5 4 0"), QStringLiteral("lines 1 3 1"),
            QStringLiteral("contents"), QStringLiteral("undo 0"), QStringLiteral("modified 0")}));
    EXPECT_EQ(buffer.redo(), caret(9));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("one\ntX\nY\nwo\nthree"));
    log.take();

    buffer.setPlainText(QStringLiteral("a\nb"));
    EXPECT_EQ(log.take(),
        QStringList(
            {QStringLiteral("change 0 17 3"), QStringLiteral("lines 0 5 2"), QStringLiteral("contents"),
                QStringLiteral("undo 0"), QStringLiteral("redo 0"), QStringLiteral("modified 0")}));
}

TEST(TextBufferEdit, TakesItsOwnLinesAsTheNewText)
{
    // Joining lines frees the line the new text was read from.
    TextBuffer buffer;
    buffer.setPlainText(QStringLiteral("ab\ncd\nefgh"));
    buffer.replace(1, 4, buffer.line(1), caret(1));
    expectMapsLike(buffer, QStringLiteral("acdd\nefgh"));
    buffer.replace(0, 0, buffer.line(0), caret(0));
    expectMapsLike(buffer, QStringLiteral("acddacdd\nefgh"));
    buffer.undo();
    buffer.undo();
    expectMapsLike(buffer, QStringLiteral("ab\ncd\nefgh"));
    buffer.setPlainText(buffer.line(2));
    expectMapsLike(buffer, QStringLiteral("efgh"));
}

TEST(TextBufferEdit, LineStatesGoWithTheirBreaksAndComeBackOnUndo)
{
    TextBuffer buffer;
    buffer.setPlainText(QStringLiteral("aa\nbb\ncc\ndd"));
    for (int line = 0; line < 4; ++line)
        buffer.setLineState(line, 10 + line);
    const auto states = [&buffer] {
        std::vector<int> out;
        for (int line = 0; line < buffer.lineCount(); ++line)
            out.push_back(buffer.lineState(line));
        return out;
    };

    buffer.replace(4, 4, QStringLiteral("\n"), caret(4)); // split "bb"
    EXPECT_EQ(states(), (std::vector<int> {10, -1, 11, 12, 13}));
    buffer.undo();
    EXPECT_EQ(states(), (std::vector<int> {10, 11, 12, 13}));

    buffer.replace(1, 7, QString(), caret(1)); // join aa, bb and cc
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("ac\ndd"));
    EXPECT_EQ(states(), (std::vector<int> {12, 13}));
    buffer.undo();
    EXPECT_EQ(states(), (std::vector<int> {10, 11, 12, 13}));
    buffer.redo();
    EXPECT_EQ(states(), (std::vector<int> {12, 13}));
    buffer.undo();

    // Joining by backspaces that merge into one step gives every state back.
    buffer.replace(5, 6, QString(), caret(6), true); // "\n" after bb
    buffer.replace(4, 5, QString(), caret(5), true);
    buffer.replace(3, 4, QString(), caret(4), true);
    buffer.replace(2, 3, QString(), caret(3), true); // "\n" after aa
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("aacc\ndd"));
    EXPECT_EQ(states(), (std::vector<int> {12, 13}));
    EXPECT_EQ(buffer.undo(), caret(6));
    EXPECT_EQ(states(), (std::vector<int> {10, 11, 12, 13}));
    EXPECT_FALSE(buffer.isModified());

    buffer.setPlainText(QStringLiteral("x"));
    EXPECT_EQ(buffer.lineState(0), -1);
}

// A converted text arrives already split: it must map exactly as the same
// text given whole, with the history and the modified flag cleared.
TEST(TextBufferEdit, LinesGivenSplitMapLikeTheJoinedText)
{
    TextBuffer buffer;
    buffer.replace(0, 0, QStringLiteral("old"), caret(0));
    SignalLog log(buffer);
    buffer.setLines({QStringLiteral("ab"), QString(), QStringLiteral("\uac00 c")});
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("ab\n\n\uac00 c"));
    expectMapsLike(buffer, QStringLiteral("ab\n\n\uac00 c"));
    EXPECT_FALSE(buffer.isUndoAvailable());
    EXPECT_FALSE(buffer.isModified());
    EXPECT_EQ(log.take(),
        (QStringList {QStringLiteral("change 0 3 7"), QStringLiteral("lines 0 1 3"),
            QStringLiteral("contents"), QStringLiteral("undo 0"), QStringLiteral("modified 0")}));
    buffer.setLines(std::vector<QString>());
    EXPECT_EQ(buffer.lineCount(), 1);
    EXPECT_EQ(buffer.length(), 0);

    // Read in pieces, empty ones among them, the lines follow on as one text.
    std::vector<std::vector<QString>> pieces(4);
    pieces[0] = {QStringLiteral("ab"), QString()};
    pieces[2] = {QStringLiteral("\uac00 c")};
    pieces[3] = {QStringLiteral("d")};
    buffer.setLinePieces(std::move(pieces));
    expectMapsLike(buffer, QStringLiteral("ab\n\n\uac00 c\nd"));
    buffer.setLinePieces({});
    EXPECT_EQ(buffer.lineCount(), 1);
    EXPECT_EQ(buffer.length(), 0);
}

// A text kept for a conversion's undo is put away compressed and must come
// back exactly: characters, line states, its own undo history and clean point.
TEST(TextBufferPack, LinesStatesAndHistoryComeBackWhole)
{
    TextBuffer buffer;
    // A lone surrogate too: the characters are kept as they are, not as UTF-8.
    QString text = QStringLiteral("a\u00e9\uac00\n\n\r") + QChar(0xd800) + QStringLiteral(" tail\n");
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("www%1 IN A 10.0.0.%2\n").arg(i).arg(i % 250);
    buffer.setPlainText(text);
    for (int line = 0; line < buffer.lineCount(); line += 3)
        buffer.setLineState(line, line % 3 + 1);
    std::vector<int> states;
    for (int line = 0; line < buffer.lineCount(); ++line)
        states.push_back(buffer.lineState(line));
    buffer.replace(0, 1, QStringLiteral("A\nB"), caret(0));
    const QString edited = buffer.toPlainText();
    SignalLog log(buffer);

    buffer.pack();
    EXPECT_TRUE(buffer.isPacked());
    EXPECT_EQ(buffer.length(), edited.size());
    EXPECT_TRUE(buffer.isUndoAvailable());
    EXPECT_TRUE(buffer.isModified());
    buffer.setModified(false);
    buffer.pack(); // twice is once
    buffer.unpack();
    EXPECT_FALSE(buffer.isPacked());
    EXPECT_EQ(buffer.toPlainText(), edited);
    expectMapsLike(buffer, edited);
    EXPECT_FALSE(buffer.isModified());
    EXPECT_EQ(log.take(), QStringList {QStringLiteral("modified 0")}); // only the setter spoke

    buffer.undo();
    EXPECT_EQ(buffer.toPlainText(), text);
    std::vector<int> back;
    for (int line = 0; line < buffer.lineCount(); ++line)
        back.push_back(buffer.lineState(line));
    EXPECT_EQ(back, states);
    buffer.redo();
    EXPECT_EQ(buffer.toPlainText(), edited);
    EXPECT_FALSE(buffer.isModified());

    // An empty text, and one given a new text while packed.
    TextBuffer empty;
    empty.pack();
    empty.unpack();
    EXPECT_EQ(empty.lineCount(), 1);
    EXPECT_EQ(empty.toPlainText(), QString());
    empty.pack();
    empty.setPlainText(QStringLiteral("x\ny"));
    EXPECT_FALSE(empty.isPacked());
    EXPECT_EQ(empty.lineCount(), 2);
}

TEST(TextBufferUndo, TypingMergesIntoOneStepWithinItsLimits)
{
    TextBuffer buffer;
    buffer.setPlainText(QStringLiteral("abc\ndef"));
    SignalLog log(buffer);

    type(buffer, 3, QStringLiteral("xyz"));
    EXPECT_EQ(log.take().count(QStringLiteral("added")), 1);
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("abcxyz\ndef"));
    EXPECT_EQ(buffer.undo(), caret(3));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("abc\ndef"));
    EXPECT_EQ(buffer.redo(), caret(6));
    buffer.undo();
    log.take();

    struct Edit {
        int from, to;
        const char16_t *text;
        bool merge;
    };
    struct Case {
        const char *name;
        Edit first, second;
        int steps; // undo steps recorded by both
    };
    const Case cases[] = {
        {"typed after typed", {1, 1, u"x", true}, {2, 2, u"yz", true}, 1},
        {"typed elsewhere", {1, 1, u"x", true}, {1, 1, u"y", true}, 2},
        {"line break typed", {1, 1, u"x", true}, {2, 2, u"\n", true}, 2},
        {"second not typing", {1, 1, u"x", true}, {2, 2, u"y", false}, 2},
        {"first not typing", {1, 1, u"x", false}, {2, 2, u"y", true}, 2},
        {"typed over a selection, then typed", {0, 2, u"x", true}, {1, 1, u"y", true}, 1},
        {"backspaces", {2, 3, u"", true}, {1, 2, u"", true}, 1},
        {"deletes", {1, 2, u"", true}, {1, 2, u"", true}, 1},
        {"backspace across a line break", {4, 5, u"", true}, {3, 4, u"", true}, 1},
        {"deleting two at once", {2, 3, u"", true}, {0, 2, u"", true}, 2},
        {"deletion after typing", {1, 1, u"x", true}, {1, 2, u"", true}, 2},
        {"typing after deletion", {1, 2, u"", true}, {1, 1, u"x", true}, 2},
        {"deletion not next to the last", {1, 2, u"", true}, {3, 4, u"", true}, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        buffer.setPlainText(QStringLiteral("abc\ndef"));
        log.take();
        for (const Edit &edit : {c.first, c.second})
            buffer.replace(edit.from, edit.to, QString::fromUtf16(edit.text), caret(edit.to), edit.merge);
        const QString edited = buffer.toPlainText();
        EXPECT_EQ(log.take().count(QStringLiteral("added")), c.steps);
        int undone = 0;
        while (buffer.isUndoAvailable()) {
            buffer.undo();
            ++undone;
        }
        EXPECT_EQ(undone, c.steps);
        EXPECT_EQ(buffer.toPlainText(), QStringLiteral("abc\ndef"));
        while (buffer.isRedoAvailable())
            buffer.redo();
        EXPECT_EQ(buffer.toPlainText(), edited);
    }
}

TEST(TextBufferUndo, TypingNeverMergesAcrossTheCleanPointOrAnUndo)
{
    TextBuffer buffer;
    type(buffer, 0, QStringLiteral("ab"));
    buffer.setModified(false);
    type(buffer, 2, QStringLiteral("cd"));
    EXPECT_TRUE(buffer.isModified());
    buffer.undo();
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("ab"));
    EXPECT_FALSE(buffer.isModified()); // the saved text, exactly
    buffer.undo();
    EXPECT_EQ(buffer.toPlainText(), QString());

    // Typing after an undo starts afresh instead of joining the typing step
    // that is on top again.
    TextBuffer other;
    type(other, 0, QStringLiteral("ab"));
    other.replace(2, 2, QStringLiteral("cd"), caret(2));
    other.undo();
    type(other, 2, QStringLiteral("c"));
    EXPECT_FALSE(other.isRedoAvailable());
    other.undo();
    EXPECT_EQ(other.toPlainText(), QStringLiteral("ab"));
}

TEST(TextBufferUndo, EditBlocksAreOneStep)
{
    TextBuffer buffer;
    buffer.setPlainText(QStringLiteral("one two three"));
    SignalLog log(buffer);

    buffer.beginEditBlock();
    buffer.beginEditBlock();
    buffer.replace(0, 3, QStringLiteral("1"), {0, 3});
    buffer.endEditBlock();
    buffer.replace(2, 5, QStringLiteral("2\n"), {2, 5}, true);
    buffer.replace(5, 10, QStringLiteral("3"), {5, 10}, true);
    buffer.endEditBlock();
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("1 2\n 3"));
    EXPECT_EQ(log.take().count(QStringLiteral("added")), 1);

    // Typing right after the block starts its own step.
    type(buffer, 6, QStringLiteral("!"));
    EXPECT_EQ(buffer.undo(), caret(6));
    log.take();
    // Undo takes the parts back last first, each announced as it happens,
    // and the whole as one change of contents.
    EXPECT_EQ(buffer.undo(), (TextSelection {0, 3}));
    EXPECT_EQ(log.take(),
        QStringList(
            {QStringLiteral("change 5 1 5"), QStringLiteral("lines 1 1 1"), QStringLiteral("change 2 2 3"),
                QStringLiteral("lines 0 2 1"), QStringLiteral("change 0 1 3"), QStringLiteral("lines 0 1 1"),
                QStringLiteral("contents"), QStringLiteral("undo 0"), QStringLiteral("modified 0")}));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("one two three"));
    EXPECT_EQ(buffer.lineCount(), 1);
    EXPECT_FALSE(buffer.isUndoAvailable());
    EXPECT_EQ(buffer.redo(), caret(6));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("1 2\n 3"));
    log.take();

    // Nothing in a block records nothing.
    buffer.beginEditBlock();
    buffer.endEditBlock();
    EXPECT_TRUE(log.take().isEmpty());
    EXPECT_TRUE(buffer.isRedoAvailable());

    // A typing step before a block does not swallow the block's typing.
    buffer.setPlainText(QString());
    type(buffer, 0, QStringLiteral("a"));
    buffer.beginEditBlock();
    type(buffer, 1, QStringLiteral("b"));
    buffer.endEditBlock();
    buffer.undo();
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("a"));
}

TEST(TextBufferUndo, CleanPointFollowsUndoRedoAndClearing)
{
    TextBuffer buffer;
    buffer.setPlainText(QStringLiteral("x"));
    SignalLog log(buffer);

    buffer.replace(1, 1, QStringLiteral("1"), caret(1));
    buffer.replace(2, 2, QStringLiteral("2"), caret(2));
    buffer.setModified(false);
    buffer.setModified(false);
    EXPECT_EQ(log.take().filter(QStringLiteral("modified")),
        QStringList({QStringLiteral("modified 1"), QStringLiteral("modified 0")}));
    buffer.undo();
    EXPECT_TRUE(buffer.isModified());
    buffer.redo();
    EXPECT_FALSE(buffer.isModified());

    // Clearing the undo part at the clean point keeps the text unmodified.
    buffer.clearUndoRedoStacks(TextBuffer::UndoStack);
    EXPECT_FALSE(buffer.isModified());
    EXPECT_FALSE(buffer.isUndoAvailable());

    // The clean point in the undo part, then cleared: modified for good.
    buffer.replace(3, 3, QStringLiteral("3"), caret(3));
    EXPECT_TRUE(buffer.isModified());
    buffer.clearUndoRedoStacks(TextBuffer::UndoStack);
    EXPECT_TRUE(buffer.isModified());

    // The clean point in the redo part is lost with it.
    buffer.replace(4, 4, QStringLiteral("4"), caret(4));
    buffer.setModified(false);
    buffer.undo();
    EXPECT_TRUE(buffer.isModified());
    buffer.clearUndoRedoStacks(TextBuffer::RedoStack);
    EXPECT_FALSE(buffer.isRedoAvailable());
    buffer.replace(4, 4, QStringLiteral("4"), caret(4));
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("x1234"));
    EXPECT_TRUE(buffer.isModified());

    // A new edit after an undo drops the redo part and its clean point.
    buffer.setModified(false);
    buffer.undo();
    buffer.replace(0, 0, QStringLiteral("y"), caret(0));
    buffer.undo();
    EXPECT_EQ(buffer.toPlainText(), QStringLiteral("x123"));
    EXPECT_TRUE(buffer.isModified());

    log.take();
    buffer.setModified(true);
    EXPECT_TRUE(log.take().isEmpty()); // already modified: no signal
    buffer.clearUndoRedoStacks();
    EXPECT_EQ(log.take(), QStringList({QStringLiteral("redo 0")}));
    EXPECT_TRUE(buffer.isModified());
}

TEST(TextBufferFind, MatchesWithinLinesInBothDirections)
{
    TextBuffer buffer;
    // Lines start at 0 "Abc abc", 8 "xabcx", 14 "abc", 18 "ab" and 21 "c";
    // the text is 22 long.
    buffer.setPlainText(QStringLiteral("Abc abc\nxabcx\nabc\nab\nc"));
    using F = TextBuffer;
    struct Case {
        const char *name;
        const char16_t *what;
        int from;
        TextBuffer::FindFlags flags;
        int expected;
    };
    const Case cases[] = {
        {"forward from the start", u"abc", 0, {}, 0},
        {"forward, case-sensitive", u"abc", 0, F::FindCaseSensitively, 4},
        {"forward starting at a match", u"abc", 4, {}, 4},
        {"forward past a match", u"abc", 5, {}, 9},
        {"forward whole words skip the one inside xabcx", u"abc", 5, F::FindWholeWords, 14},
        {"forward never across a break", u"ab\nc", 0, {}, -1},
        {"forward finds none split by a break", u"abc", 15, {}, -1},
        {"forward past the end", u"c", 23, {}, -1},
        {"forward at the end", u"c", 22, {}, -1},
        {"forward last character", u"c", 21, {}, 21},
        {"backward from the end", u"abc", 23, F::FindBackward, 14},
        {"backward must end at or before from", u"abc", 16, F::FindBackward, 9},
        {"backward ending exactly at from", u"abc", 17, F::FindBackward, 14},
        {"backward whole words", u"abc", 14, F::FindBackward | F::FindWholeWords, 4},
        {"backward case-sensitive", u"Abc", 23, F::FindBackward | F::FindCaseSensitively, 0},
        {"backward at a line start", u"abc", 8, F::FindBackward, 4},
        {"backward from 0", u"A", 0, F::FindBackward, -1},
        {"empty never matches", u"", 3, {}, -1},
        {"empty never matches backward", u"", 3, F::FindBackward, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(buffer.find(QString::fromUtf16(c.what), c.from, c.flags), c.expected);
    }

    // Whole words look at letters and digits of any script, not only ASCII.
    // '_' is neither, so "_www_" is a whole word.
    buffer.setPlainText(QStringLiteral("메일www www1 _www_ www"));
    const TextBuffer::FindFlags backWhole = TextBuffer::FindBackward | TextBuffer::FindWholeWords;
    EXPECT_EQ(buffer.find(QStringLiteral("www"), 0), 2);
    EXPECT_EQ(buffer.find(QStringLiteral("www"), 0, TextBuffer::FindWholeWords), 12);
    EXPECT_EQ(buffer.find(QStringLiteral("WWW"), 20, backWhole), 17);
    EXPECT_EQ(buffer.find(QStringLiteral("WWW"), 19, backWhole), 12);
    EXPECT_EQ(buffer.find(QStringLiteral("WWW"), 14, backWhole), -1);
    // A letter outside the basic plane is two UTF-16 units, still a letter.
    buffer.setPlainText(QStringLiteral("\U0001D400www \U0001D7CE www\U0001D7CE"));
    EXPECT_EQ(buffer.find(QStringLiteral("www"), 0, TextBuffer::FindWholeWords), -1);
    EXPECT_EQ(buffer.find(QStringLiteral("www"), buffer.length(), TextBuffer::FindBackward), 9);
}

namespace {

// The plain definition of a match, searched position by position.
int naiveFind(const QString &text, const QString &what, int from, TextBuffer::FindFlags flags)
{
    const int size = what.size();
    if (size == 0)
        return -1;
    const Qt::CaseSensitivity cs
        = flags.testFlag(TextBuffer::FindCaseSensitively) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const auto matchesAt = [&](int at) {
        if (at < 0 || at + size > text.size())
            return false;
        const QStringView candidate = QStringView(text).mid(at, size);
        if (candidate.contains(u'\n') || candidate.compare(what, cs) != 0)
            return false;
        if (!flags.testFlag(TextBuffer::FindWholeWords))
            return true;
        const bool letterBefore = at > 0 && text.at(at - 1).isLetterOrNumber();
        const bool letterAfter = at + size < text.size() && text.at(at + size).isLetterOrNumber();
        return !letterBefore && !letterAfter;
    };
    if (flags.testFlag(TextBuffer::FindBackward)) {
        for (int at = from - size; at >= 0; --at) {
            if (matchesAt(at))
                return at;
        }
        return -1;
    }
    for (int at = from; at + size <= text.size(); ++at) {
        if (matchesAt(at))
            return at;
    }
    return -1;
}

QString randomText(std::mt19937 &random, int maxLength)
{
    static const QString alphabet = QStringLiteral("aAbB 1_\n\r가");
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    QString text;
    for (int i = length(random); i > 0; --i)
        text += alphabet.at(pick(random));
    return text;
}

} // namespace

TEST(TextBufferFind, AgreesWithAPlainSearchOnRandomTexts)
{
    std::mt19937 random(20261208);
    TextBuffer buffer;
    for (int round = 0; round < 200; ++round) {
        const QString text = randomText(random, 60);
        buffer.setPlainText(text);
        for (int query = 0; query < 20; ++query) {
            const QString what = randomText(random, 3);
            const int from = std::uniform_int_distribution<int>(0, static_cast<int>(text.size()))(random);
            const auto flags
                = TextBuffer::FindFlags::fromInt(std::uniform_int_distribution<int>(0, 7)(random));
            SCOPED_TRACE(QStringLiteral("text \"%1\" what \"%2\" from %3 flags %4")
                             .arg(text, what)
                             .arg(from)
                             .arg(flags.toInt())
                             .toStdString());
            ASSERT_EQ(buffer.find(what, from, flags), naiveFind(text, what, from, flags));
        }
    }
}

// Random edits, undos, redos, blocks and clean points against a plain string
// and a list of the texts each undo step must bring back.
TEST(TextBufferDifferential, RandomEditsUndoAndRedoMatchAPlainModel)
{
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto chance
            = [&random](int percent) { return std::uniform_int_distribution<int>(0, 99)(random) < percent; };
        TextBuffer buffer;
        QString text = randomText(random, 40);
        buffer.setPlainText(text);

        std::vector<QString> history {text}; // history[i]: the text after i steps
        std::vector<TextSelection> befores {TextSelection()}; // befores[i]: given for step i
        std::size_t done = 0;
        int cleanAt = 0;
        bool added = false;
        QObject::connect(&buffer, &TextBuffer::undoCommandAdded, [&added] { added = true; });
        int caretAt = 0;
        int merged = 0, blocks = 0, undos = 0, redos = 0;

        for (int op = 0; op < 1500; ++op) {
            SCOPED_TRACE(op);
            const int kind = std::uniform_int_distribution<int>(0, 99)(random);
            if (kind < 55) {
                const int length = static_cast<int>(text.size());
                int from, to;
                QString insert;
                bool merge = chance(60);
                if (chance(50)) { // typing or deleting at a caret
                    from = caretAt;
                    to = caretAt;
                    if (chance(60))
                        insert = randomText(random, 1);
                    else if (chance(50) && from > 0)
                        --from; // backspace
                    else if (to < length)
                        ++to; // delete
                } else {
                    from = std::uniform_int_distribution<int>(0, length)(random);
                    to = std::uniform_int_distribution<int>(from, std::min(length, from + 8))(random);
                    insert = randomText(random, 5);
                }
                const bool block = chance(10);
                if (block)
                    buffer.beginEditBlock();
                added = false;
                const TextSelection before {to, from};
                buffer.replace(from, to, insert, before, merge);
                QString expected = text;
                expected.replace(from, to - from, insert);
                const bool changed = from != to || !insert.isEmpty();
                if (block && changed) {
                    ++blocks;
                    // A second part in the same block, at the caret.
                    const int at = from + static_cast<int>(insert.size());
                    buffer.replace(at, at, QStringLiteral("#\n"), caret(at), true);
                    expected.insert(at, QStringLiteral("#\n"));
                }
                if (block)
                    buffer.endEditBlock();
                if (changed) {
                    if (added) {
                        history.resize(done + 1);
                        befores.resize(done + 1);
                        if (cleanAt > static_cast<int>(done))
                            cleanAt = -1;
                        history.push_back(expected);
                        befores.push_back(before);
                        ++done;
                    } else {
                        ASSERT_TRUE(merge && !block);
                        ++merged;
                        ASSERT_EQ(done + 1, history.size());
                        ASSERT_NE(cleanAt, static_cast<int>(done));
                        history.back() = expected;
                    }
                }
                text = expected;
                caretAt = std::min(from + static_cast<int>(insert.size()) + (block && changed ? 2 : 0),
                    static_cast<int>(text.size()));
            } else if (kind < 75) {
                ASSERT_EQ(buffer.isUndoAvailable(), done > 0);
                if (done > 0) {
                    const TextSelection selection = buffer.undo();
                    ++undos;
                    EXPECT_EQ(selection.anchor, befores[done].anchor);
                    EXPECT_EQ(selection.position, befores[done].position);
                    --done;
                    text = history[done];
                    caretAt = std::min(selection.position, static_cast<int>(text.size()));
                }
            } else if (kind < 90) {
                ASSERT_EQ(buffer.isRedoAvailable(), done + 1 < history.size());
                if (done + 1 < history.size()) {
                    const TextSelection selection = buffer.redo();
                    ++redos;
                    ++done;
                    text = history[done];
                    EXPECT_FALSE(selection.hasSelection());
                    caretAt = std::min(selection.position, static_cast<int>(text.size()));
                }
            } else if (kind < 95) {
                buffer.setModified(false);
                cleanAt = static_cast<int>(done);
            } else if (kind < 97) {
                buffer.clearUndoRedoStacks(TextBuffer::RedoStack);
                if (cleanAt > static_cast<int>(done))
                    cleanAt = -1;
                history.resize(done + 1);
                befores.resize(done + 1);
            } else if (kind < 99) {
                buffer.clearUndoRedoStacks(TextBuffer::UndoStack);
                cleanAt = cleanAt >= static_cast<int>(done) ? cleanAt - static_cast<int>(done) : -1;
                history.erase(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(done));
                befores.erase(befores.begin(), befores.begin() + static_cast<std::ptrdiff_t>(done));
                done = 0;
            } else {
                text = randomText(random, 40);
                buffer.setPlainText(text);
                history = {text};
                befores = {TextSelection()};
                done = 0;
                cleanAt = 0;
                caretAt = 0;
            }

            if (op % 97 == 0) { // put away and back, as a kept text is, mid-history
                buffer.pack();
                ASSERT_EQ(buffer.length(), text.size());
                buffer.unpack();
            }
            ASSERT_EQ(buffer.toPlainText(), text);
            ASSERT_EQ(buffer.isModified(), cleanAt != static_cast<int>(done));
            // Mapping checks in a random order, so the lazily kept line
            // starts are extended both one line at a time and in jumps.
            const int length = static_cast<int>(text.size());
            for (int probe = 0; probe < 6; ++probe) {
                const int position = std::uniform_int_distribution<int>(0, length)(random);
                const int line = static_cast<int>(text.left(position).count(u'\n'));
                ASSERT_EQ(buffer.lineOf(position), line);
                const int start = line == 0 ? 0 : static_cast<int>(text.lastIndexOf(u'\n', position - 1)) + 1;
                ASSERT_EQ(buffer.lineStart(line), start);
                ASSERT_EQ(buffer.columnOf(position), position - start);
                const int to = std::uniform_int_distribution<int>(position, length)(random);
                ASSERT_EQ(buffer.text(position, to), text.mid(position, to - position));
            }
        }
        expectMapsLike(buffer, text);
        // The sequence did reach what it is meant to check.
        EXPECT_GT(merged, 10);
        EXPECT_GT(blocks, 5);
        EXPECT_GT(undos, 50);
        EXPECT_GT(redos, 30);
    }
}
