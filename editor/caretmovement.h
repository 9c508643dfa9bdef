#pragma once

#include "document/textbuffer.h"

#include <QtGlobal>

#include <utility>

class TextLayoutCache;

// Where the caret goes: by characters (a cluster at a time, as laid out),
// by words, to a line's ends, up and down by lines and pages keeping the
// column it started from while it passes shorter lines.
class CaretMovement {
public:
    enum Move {
        NextChar,
        PrevChar,
        NextWord,
        PrevWord,
        LineStart,
        LineEnd,
        NextLine,
        PrevLine,
        NextPage,
        PrevPage,
        DocStart,
        DocEnd
    };

    explicit CaretMovement(TextLayoutCache &layouts);

    // Where `move` takes the caret of `cursor`; moving without selecting
    // from a selection goes to its near end. A page is `pageLines` lines.
    int target(Move move, const TextSelection &cursor, bool select, int pageLines);
    static bool movesByLines(Move move) { return move >= NextLine && move <= PrevPage; }
    // Up and down start again from the caret's own column.
    void forgetColumn() { m_wantedX = -1; }

    int nextCharPosition(int position) const;
    int previousCharPosition(int position) const;
    int nextWordPosition(int position) const;
    int previousWordPosition(int position) const;
    // The word (or run of blanks or of punctuation) at `position`.
    std::pair<int, int> wordAt(int position) const;
    int lineEnd(int line) const;

    // The caret's x in its line's layout, and the position nearest to x in a line.
    qreal xOf(int position) const;
    int positionForX(int line, qreal x) const;

    const TextBuffer &buffer() const;

private:
    int verticalTarget(Move move, int position, int pageLines);

    TextLayoutCache &m_layouts;
    // Column in pixels that up and down keep while they pass shorter lines.
    qreal m_wantedX = -1;
};
