#pragma once

// Short ways for tests to read and place the text and caret of a TextView.
#include "document/textbuffer.h"
#include "editor/textview.h"

// The whole text the view shows, lines joined with '\n'.
inline QString viewText(const TextView &view)
{
    return view.buffer()->toPlainText();
}

// The caret at the end of the text, without a selection.
inline void moveCaretToEnd(TextView &view)
{
    const int end = view.buffer()->length();
    view.setTextCursor(TextSelection {end, end});
}

// The line (from 0) holding the caret.
inline int caretLine(const TextView &view)
{
    return view.buffer()->lineOf(view.textCursor().position);
}

// The line (from 0) shown at a point of the view's viewport.
inline int lineAt(const TextView &view, const QPoint &point)
{
    return view.buffer()->lineOf(view.positionAt(point));
}

// The first line the viewport shows, and the one at its bottom edge.
inline int topLine(const TextView &view)
{
    return view.firstVisibleLine();
}
inline int bottomLine(const TextView &view)
{
    return lineAt(view, QPoint(2, view.viewport()->height() - 2));
}
