#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <future>
#include <memory>
#include <vector>

// A caret with the other end of its selection, as character positions in a
// TextBuffer. Equal ends are a caret without a selection.
struct TextSelection {
    int anchor = 0;
    int position = 0;

    bool hasSelection() const { return anchor != position; }
    int start() const { return anchor < position ? anchor : position; }
    int end() const { return anchor < position ? position : anchor; }
    bool operator==(const TextSelection &) const = default;
};

// One change of a TextBuffer, in characters and in lines at once, so that
// whoever follows the text never sees one half of a change without the other.
struct TextChange {
    // Characters from `position`: `charsRemoved` gave way to `charsAdded`
    // (line breaks counting one each).
    int position = 0;
    int charsRemoved = 0;
    int charsAdded = 0;
    // Lines from `firstLine`: `linesRemoved` gave way to `linesAdded` (a
    // change within one line is 1 and 1; setPlainText() reports the whole text).
    int firstLine = 0;
    int linesRemoved = 0;
    int linesAdded = 0;

    bool operator==(const TextChange &) const = default;
};

// The text of one document as a list of lines, with its own undo history.
//
// A zone file of 20 MB has a million lines; holding each as one string in a
// plain list makes reading, converting back and forth and showing it a
// matter of milliseconds per hundred thousand lines, where a rich-text
// document spends microseconds on every line. The view lays out only the
// lines on screen.
//
// Positions count characters from the start of the text, each line break
// counting one, so position p and the text's plain form agree: p is an index
// into toPlainText(). Valid positions run from 0 to length().
//
// A buffer belongs to one thread at a time; it may be filled on a worker
// and moved to the GUI thread before any view shows it.
class TextBuffer : public QObject {
    Q_OBJECT
    struct Line {
        QString text;
        int state = -1;
    };

public:
    enum FindFlag {
        FindBackward = 0x1,
        FindCaseSensitively = 0x2,
        // A match must not have a letter or digit right before or after it.
        FindWholeWords = 0x4,
    };
    Q_DECLARE_FLAGS(FindFlags, FindFlag)

    enum Stacks { UndoStack = 0x1, RedoStack = 0x2, UndoAndRedoStacks = UndoStack | RedoStack };

    explicit TextBuffer(QObject *parent = nullptr);
    ~TextBuffer() override;

    // Replaces the whole text ('\n' separates lines; a '\r' is kept as a
    // character). Clears the undo history and every line's state, and leaves
    // the buffer unmodified.
    void setPlainText(QStringView text);
    // The same for a text already split into lines (none holding '\n'), at
    // least one.
    void setLines(std::vector<QString> &&lines);
    // The same for a text read in pieces, each piece's lines following the
    // last piece's, so that pieces read apart need not be joined first.
    void setLinePieces(std::vector<std::vector<QString>> &&pieces);
    // Lines gathered one by one for a whole new text, held as the buffer
    // holds them: a million lines read as a file is converted are taken by
    // a swap, not moved a second time into fresh memory.
    class LineList {
    public:
        // Room for `lines`, which a fresh allocation this large gets as huge
        // pages where the system allows.
        void reserve(std::size_t lines);
        void push_back(QString &&line) { m_lines.push_back(Line {std::move(line), -1}); }
        std::size_t size() const { return m_lines.size(); }
        std::size_t capacity() const { return m_lines.capacity(); }

    private:
        friend class TextBuffer;
        std::vector<Line> m_lines;
    };
    // The same for lines gathered so (none holding '\n').
    void setLines(LineList &&lines);
    // The whole text, lines joined with '\n'.
    QString toPlainText() const;
    // Every line, sharing its characters with the buffer: a quick copy on the
    // buffer's thread (no character is copied) that any thread may then read,
    // as later edits copy a line before they change it.
    QStringList lineList() const;

    // Characters in the text, each line break counting one.
    int length() const;
    // At least 1: an empty text is one empty line.
    int lineCount() const;
    const QString &line(int number) const;
    // A number a loader keeps with each line (the break that ended it in a
    // file that mixes line endings); -1 when none was set. The state goes
    // with the break: lines joined by an edit keep the last one's, a line
    // split by an edit keeps it on its last part, and breaks an edit adds
    // get -1.
    int lineState(int number) const;
    void setLineState(int number, int state);

    // Position of the first character of line `number` (from 0).
    int lineStart(int number) const;
    // The line holding `position`; a line's end (before its break) belongs to it.
    int lineOf(int position) const;
    // Column of `position` in its line.
    int columnOf(int position) const { return position - lineStart(lineOf(position)); }

    // The text between two positions, line breaks as '\n'.
    QString text(int from, int to) const;
    QChar characterAt(int position) const; // '\n' at a line's end, QChar() past the text

    // The first match of `what` at or after `from` (backward: the last one
    // ending at or before `from`), never across a line break. Returns its
    // start, or -1. An empty `what` never matches.
    int find(const QString &what, int from, FindFlags flags = {}) const;

    // Replaces the text between `from` and `to` with `text` ('\n' breaks lines)
    // as one undo step. `before` is the selection to give back on undo; the
    // step gives back `after` (by default a caret at the end of the new text)
    // on redo. Typing a character right after the previous one, or deleting
    // the one before or after a caret, joins the previous step, so that undo
    // takes back a typed word at once, as editors do.
    void replace(int from, int to, const QString &text, TextSelection before, bool mergeTyping = false);

    // Edits between these two calls are one undo step (they nest).
    void beginEditBlock();
    void endEditBlock();

    bool isUndoAvailable() const;
    bool isRedoAvailable() const;
    // Undo and redo return the selection to show afterwards.
    TextSelection undo();
    TextSelection redo();
    void clearUndoRedoStacks(Stacks which = UndoAndRedoStacks);

    // Puts the lines away compressed, for a text kept only to be swapped
    // back in (the text before a whole-text conversion): a million lines
    // held as strings cost several times the file, their compressed
    // characters a fraction of it. Compressing and freeing the lines run on
    // a thread of their own, so this returns at once. While packed, only
    // length(), the undo, redo and modified questions and their setters may
    // be used; unpack() brings back the same lines, states and history.
    void pack();
    // Any thread may unpack a buffer no other thread is using.
    void unpack();
    bool isPacked() const { return m_packed.valid(); }

    // Modified unless the undo history stands where it stood when the text
    // was last marked unmodified.
    bool isModified() const;
    void setModified(bool modified = true);

signals:
    // After every change, as it happens (an undo step of several parts
    // gives one per part).
    void changed(const TextChange &change);
    // Once per edit, undo, redo or setPlainText(), after its changes.
    void contentsChanged();
    void modificationChanged(bool modified);
    void undoAvailable(bool available);
    void redoAvailable(bool available);
    // A new undo step was recorded (not when one was merged into the last).
    void undoCommandAdded();

private:
    struct Step;
    struct PackedLines {
        QByteArray characters; // the lines' UTF-16 units joined by '\n', compressed
        QByteArray states; // one int a line, compressed; empty when every state is -1
        QString plain; // the joined lines as they are, when they could not be compressed
    };

    // The lines and their starts from a text, every state -1.
    void splitLines(QStringView text);
    void resetText(const std::function<void()> &fill);
    // Replaces without recording and emits changed();
    // returns the text removed. `from` <= `to`, both valid. The states of the
    // lines that lose their break go to `removedStates`; `addedStates`, when
    // it holds one per break in `text`, gives the new lines theirs (undo).
    QString apply(int from, int to, const QString &text, std::vector<int> *removedStates = nullptr,
        const std::vector<int> *addedStates = nullptr);
    // Pushes the step, or folds it into the open edit block or the last
    // typing step; true when a new step was pushed.
    bool record(std::unique_ptr<Step> step, bool mergeTyping);
    void ensureStarts(int upToLine) const;
    void emitStackSignals(bool hadUndo, bool hadRedo, bool wasModified);

    std::vector<Line> m_lines;
    // Start positions, valid for lines below m_validStarts.
    mutable std::vector<int> m_starts;
    mutable int m_validStarts = 0;
    int m_length = 0;
    std::future<PackedLines> m_packed; // valid while the lines are put away

    std::vector<std::unique_ptr<Step>> m_steps; // undo history; below m_done are done
    int m_done = 0;
    int m_cleanAt = 0; // -1: no state of the history is unmodified
    int m_blockDepth = 0;
    // The open edit block has its step on top of the history: later edits
    // of the block join it.
    bool m_openBlockAdded = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TextBuffer::FindFlags)
