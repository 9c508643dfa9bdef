#include "viewconversion.h"

#include "convresultdialog.h"
#include "document/quoreldoc.h"
#include "editor/quorelview.h"

#include <QScrollBar>

#include <algorithm>

void showFailingLine(TextView &view, int line)
{
    const TextBuffer *text = view.buffer();
    if (!text || line < 1)
        return;
    const int lines = text->lineCount();
    line = std::min(line, lines);

    // Whole lines the view shows; a failure near the end still fills the
    // screen rather than leaving the failing line alone at its top.
    const int lineHeight = std::max(1, view.lineHeight());
    const int visible = view.viewport()->height() / lineHeight;
    int top = line - 1;
    if (visible >= lines - line)
        top = std::max(0, lines - visible);

    const int start = text->lineStart(line - 1);
    const int end = start + std::min<int>(2, static_cast<int>(text->line(line - 1).size()));
    view.setTextCursor(TextSelection {start, end});
    // The vertical scroll bar counts lines; setTextCursor scrolled only as
    // far as the caret needed.
    view.verticalScrollBar()->setValue(top);
}

bool convertSelectionThroughDialog(TextView &view, namecodec::Encoding from, namecodec::Encoding to)
{
    CConvResultDialog dialog(view.selectedText(), from, to, view.window());
    dialog.exec();
    if (!dialog.apply())
        return false;
    view.insertText(dialog.outputText());
    return true;
}

void convertViewSelection(CQuorelView &view, namecodec::Encoding from, namecodec::Encoding to)
{
    CQuorelDoc *doc = view.GetDocument();
    if (doc && doc->encoding() == namecodec::Encoding::Utf8) {
        from = from == namecodec::Encoding::Cp949 ? namecodec::Encoding::Utf8 : from;
        to = to == namecodec::Encoding::Cp949 ? namecodec::Encoding::Utf8 : to;
    }
    convertSelectionThroughDialog(view, from, to);
}
