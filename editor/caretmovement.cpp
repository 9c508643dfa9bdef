#include "editor/caretmovement.h"
#include "editor/textlayoutcache.h"

#include "editor/linelayout.h"

#include <algorithm>

namespace {

enum class CharClass { Space, Punct, Word };

CharClass classOf(QChar c)
{
    if (c.isLetterOrNumber() || c == QLatin1Char('_') || c.isMark() || c.isSurrogate())
        return CharClass::Word;
    if (c.isSpace())
        return CharClass::Space;
    return CharClass::Punct;
}

} // namespace

CaretMovement::CaretMovement(TextLayoutCache &layouts)
    : m_layouts(layouts)
{
}

const TextBuffer &CaretMovement::buffer() const
{
    return *m_layouts.buffer();
}

int CaretMovement::target(Move move, const TextSelection &cursor, bool select, int pageLines)
{
    const int position = cursor.position;
    const int line = buffer().lineOf(position);
    switch (move) {
    case NextChar:
        return !select && cursor.hasSelection() ? cursor.end() : nextCharPosition(position);
    case PrevChar:
        return !select && cursor.hasSelection() ? cursor.start() : previousCharPosition(position);
    case NextWord:
        return nextWordPosition(position);
    case PrevWord:
        return previousWordPosition(position);
    case LineStart:
        return buffer().lineStart(line);
    case LineEnd:
        return lineEnd(line);
    case NextLine:
    case PrevLine:
    case NextPage:
    case PrevPage:
        return verticalTarget(move, position, pageLines);
    case DocStart:
        return 0;
    case DocEnd:
        return buffer().length();
    }
    return position;
}

int CaretMovement::verticalTarget(Move move, int position, int pageLines)
{
    if (m_wantedX < 0)
        m_wantedX = xOf(position);
    const int line = buffer().lineOf(position);
    const bool page = move == NextPage || move == PrevPage;
    const int step = page ? pageLines : 1;
    const bool down = move == NextLine || move == NextPage;
    const int targetLine = std::clamp(down ? line + step : line - step, 0, buffer().lineCount() - 1);
    if (targetLine != line)
        return positionForX(targetLine, m_wantedX);
    if (page)
        return down ? buffer().length() : 0; // a page past either end goes to it
    return position;
}

int CaretMovement::lineEnd(int line) const
{
    return buffer().lineStart(line) + static_cast<int>(buffer().line(line).size());
}

qreal CaretMovement::xOf(int position) const
{
    const int line = buffer().lineOf(position);
    return m_layouts.layout(line)->cursorToX(position - buffer().lineStart(line));
}

int CaretMovement::positionForX(int line, qreal x) const
{
    return buffer().lineStart(line) + m_layouts.layout(line)->xToCursor(x);
}

int CaretMovement::nextCharPosition(int position) const
{
    const int line = buffer().lineOf(position);
    const int column = position - buffer().lineStart(line);
    if (column >= buffer().line(line).size())
        return std::min(position + 1, buffer().length());
    return buffer().lineStart(line) + m_layouts.layout(line)->nextCursorPosition(column);
}

int CaretMovement::previousCharPosition(int position) const
{
    const int line = buffer().lineOf(position);
    const int column = position - buffer().lineStart(line);
    if (column == 0)
        return std::max(position - 1, 0);
    return buffer().lineStart(line) + m_layouts.layout(line)->previousCursorPosition(column);
}

int CaretMovement::nextWordPosition(int position) const
{
    const int line = buffer().lineOf(position);
    const int start = buffer().lineStart(line);
    const QString &text = buffer().line(line);
    int column = position - start;
    if (column >= text.size())
        return std::min(position + 1, buffer().length());
    const CharClass first = classOf(text[column]);
    if (first != CharClass::Space) {
        while (column < text.size() && classOf(text[column]) == first)
            ++column;
    }
    while (column < text.size() && classOf(text[column]) == CharClass::Space)
        ++column;
    return start + column;
}

int CaretMovement::previousWordPosition(int position) const
{
    const int line = buffer().lineOf(position);
    const int start = buffer().lineStart(line);
    const QString &text = buffer().line(line);
    int column = position - start;
    if (column == 0)
        return std::max(position - 1, 0);
    while (column > 0 && classOf(text[column - 1]) == CharClass::Space)
        --column;
    if (column == 0)
        return start;
    const CharClass kind = classOf(text[column - 1]);
    while (column > 0 && classOf(text[column - 1]) == kind)
        --column;
    return start + column;
}

std::pair<int, int> CaretMovement::wordAt(int position) const
{
    const int line = buffer().lineOf(position);
    const int start = buffer().lineStart(line);
    const QString &text = buffer().line(line);
    int column = position - start;
    if (text.isEmpty())
        return {position, position};
    // Right after a word (at a line's end, or before a blank) the word is meant.
    if (column >= text.size()
        || (column > 0 && classOf(text[column]) != CharClass::Word
            && classOf(text[column - 1]) == CharClass::Word))
        --column;
    const CharClass kind = classOf(text[column]);
    int from = column;
    int to = column + 1;
    while (from > 0 && classOf(text[from - 1]) == kind)
        --from;
    while (to < text.size() && classOf(text[to]) == kind)
        ++to;
    return {start + from, start + to};
}
