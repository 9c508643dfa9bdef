#include "viewconversion.h"

#include "convresultdialog.h"
#include "document/quoreldoc.h"
#include "editor/quorelview.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

int viewLineHeight(const QPlainTextEdit &view)
{
    const QTextBlock first = view.document()->firstBlock();
    const qreal height = view.document()->documentLayout()->blockBoundingRect(first).height();
    return height > 0 ? qRound(height) : view.fontMetrics().lineSpacing();
}

void showFailingLine(QPlainTextEdit &view, int line)
{
    QTextDocument *text = view.document();
    const int lines = text->blockCount();
    if (lines == 0 || line < 1)
        return;
    line = std::min(line, lines);
    const QTextBlock block = text->findBlockByNumber(line - 1);

    // Whole lines the view shows, measured on the view's own laid-out text
    // rather than with a fixed line height.
    const int lineHeight = std::max(1, viewLineHeight(view));
    const int visible = view.viewport()->height() / lineHeight;
    int top = line - 1;
    if (visible >= lines - line)
        top = std::max(0, lines - visible);
    // Without wrapping, the vertical scroll bar of a plain text view counts
    // lines.
    view.verticalScrollBar()->setValue(top);

    QTextCursor cursor(block);
    const int end = block.position() + std::min(2, block.length() - 1);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    view.verticalScrollBar()->setValue(top); // setTextCursor may have scrolled to the cursor
}

bool convertSelectionThroughDialog(QPlainTextEdit &view, namecodec::Encoding from, namecodec::Encoding to)
{
    QTextCursor cursor = view.textCursor();
    // The widget separates selected lines with U+2029; the library wants
    // ordinary line breaks.
    QString selection = cursor.selectedText();
    selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));

    CConvResultDialog dialog(selection, from, to, view.window());
    dialog.exec();
    if (!dialog.apply())
        return false;
    cursor.beginEditBlock();
    cursor.insertText(dialog.outputText());
    cursor.endEditBlock();
    view.setTextCursor(cursor);
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
