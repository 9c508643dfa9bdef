#include "editor/lineindent.h"

#include <algorithm>

namespace lineindent {

namespace {

struct LineSpan {
    int first = 0;
    int last = 0;
};

LineSpan linesOf(const TextBuffer &buffer, const TextSelection &selection)
{
    LineSpan span {buffer.lineOf(selection.start()), buffer.lineOf(selection.end())};
    // The line a selection ends at the very start of was not chosen by the user.
    if (span.last > span.first && buffer.lineStart(span.last) == selection.end())
        --span.last;
    return span;
}

TextSelection wholeLines(const TextBuffer &buffer, const LineSpan &span, bool backwards)
{
    const int start = buffer.lineStart(span.first);
    const int end = buffer.lineStart(span.last) + static_cast<int>(buffer.line(span.last).size());
    return backwards ? TextSelection {end, start} : TextSelection {start, end};
}

int leadingIndent(const QString &line, int tabWidth)
{
    if (line.startsWith(QLatin1Char('\t')))
        return 1;
    int spaces = 0;
    while (spaces < tabWidth && spaces < line.size() && line.at(spaces) == QLatin1Char(' '))
        ++spaces;
    return spaces;
}

} // namespace

bool spansLines(const TextBuffer &buffer, const TextSelection &selection)
{
    return selection.hasSelection() && buffer.lineOf(selection.start()) != buffer.lineOf(selection.end());
}

TextSelection indent(TextBuffer &buffer, TextSelection selection)
{
    const LineSpan span = linesOf(buffer, selection);
    buffer.beginEditBlock();
    // From the bottom up, so that every line's start is still where it was.
    for (int line = span.last; line >= span.first; --line) {
        const int at = buffer.lineStart(line);
        buffer.replace(at, at, QStringLiteral("\t"), selection);
    }
    buffer.endEditBlock();
    return wholeLines(buffer, span, selection.anchor > selection.position);
}

TextSelection outdent(TextBuffer &buffer, TextSelection selection, int tabWidth)
{
    const LineSpan span = linesOf(buffer, selection);
    int caretShift = 0;
    buffer.beginEditBlock();
    for (int line = span.last; line >= span.first; --line) {
        const int removed = leadingIndent(buffer.line(line), std::max(1, tabWidth));
        if (removed == 0)
            continue;
        const int at = buffer.lineStart(line);
        buffer.replace(at, at + removed, QString(), selection);
        caretShift = removed;
    }
    buffer.endEditBlock();
    if (selection.hasSelection())
        return wholeLines(buffer, span, selection.anchor > selection.position);
    // A caret alone stays on its character, or at the line's start if that went.
    const int start = buffer.lineStart(span.first);
    const int caret = std::max(start, selection.position - caretShift);
    return {caret, caret};
}

} // namespace lineindent
