#include "editor/textviewaccessible.h"

#include "document/textbuffer.h"
#include "editor/textview.h"

#include <QScrollBar>
#include <QTextBoundaryFinder>

#include <algorithm>

TextViewAccessible::TextViewAccessible(TextView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
}

QAccessibleInterface *TextViewAccessible::create(const QString &className, QObject *object)
{
    Q_UNUSED(className);
    if (auto *view = qobject_cast<TextView *>(object))
        return new TextViewAccessible(view);
    return nullptr;
}

TextView *TextViewAccessible::view() const
{
    return static_cast<TextView *>(widget());
}

const TextBuffer *TextViewAccessible::buffer() const
{
    return view()->buffer();
}

QAccessible::State TextViewAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.multiLine = true;
    s.selectableText = true;
    s.editable = !view()->isReadOnly();
    s.readOnly = view()->isReadOnly();
    return s;
}

void *TextViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface && !view()->isReadOnly())
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString TextViewAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return buffer() ? buffer()->toPlainText() : QString();
    return QAccessibleWidget::text(t);
}

void TextViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    const TextSelection cursor = view()->textCursor();
    if (selectionIndex != 0 || !cursor.hasSelection()) {
        *startOffset = *endOffset = 0;
        return;
    }
    *startOffset = cursor.start();
    *endOffset = cursor.end();
}

int TextViewAccessible::selectionCount() const
{
    return view()->textCursor().hasSelection() ? 1 : 0;
}

void TextViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void TextViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex != 0)
        return;
    const int caret = view()->textCursor().position;
    view()->setTextCursor({caret, caret});
}

void TextViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->setTextCursor({startOffset, endOffset});
}

int TextViewAccessible::cursorPosition() const
{
    return view()->textCursor().position;
}

void TextViewAccessible::setCursorPosition(int position)
{
    view()->setTextCursor({position, position});
}

QString TextViewAccessible::text(int startOffset, int endOffset) const
{
    return buffer() ? buffer()->text(startOffset, endOffset) : QString();
}

int TextViewAccessible::characterCount() const
{
    return buffer() ? buffer()->length() : 0;
}

bool TextViewAccessible::pieceAt(
    int offset, QAccessible::TextBoundaryType boundaryType, int *start, int *end) const
{
    const TextBuffer *text = buffer();
    if (!text || offset < 0 || offset > text->length())
        return false;
    if (boundaryType == QAccessible::NoBoundary) {
        *start = 0;
        *end = text->length();
        return true;
    }
    const int line = text->lineOf(offset);
    const int lineStart = text->lineStart(line);
    const QString &characters = text->line(line);
    const bool lastLine = line == text->lineCount() - 1;
    if (boundaryType == QAccessible::LineBoundary || boundaryType == QAccessible::ParagraphBoundary) {
        *start = lineStart;
        *end = lineStart + static_cast<int>(characters.size()) + (lastLine ? 0 : 1);
        return true;
    }
    const int column = offset - lineStart;
    if (column >= characters.size()) {
        // The line break is a piece of its own; the text's end is none.
        if (lastLine)
            return false;
        *start = offset;
        *end = offset + 1;
        return true;
    }
    const QTextBoundaryFinder::BoundaryType finderType = boundaryType == QAccessible::CharBoundary
        ? QTextBoundaryFinder::Grapheme
        : boundaryType == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                    : QTextBoundaryFinder::Sentence;
    QTextBoundaryFinder finder(finderType, characters);
    finder.setPosition(column);
    const int pieceStart = finder.isAtBoundary() ? column : std::max<int>(0, finder.toPreviousBoundary());
    finder.setPosition(column);
    const qsizetype next = finder.toNextBoundary();
    *start = lineStart + pieceStart;
    *end = lineStart + static_cast<int>(next < 0 ? characters.size() : next);
    return true;
}

QString TextViewAccessible::textAtOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    if (!pieceAt(offset, boundaryType, startOffset, endOffset)) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return text(*startOffset, *endOffset);
}

QString TextViewAccessible::textBeforeOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    int start = 0;
    int end = 0;
    // The piece holding `offset` starts where the one before it ends.
    if (pieceAt(offset, boundaryType, &start, &end) && start > 0
        && pieceAt(start - 1, boundaryType, startOffset, endOffset))
        return text(*startOffset, *endOffset);
    *startOffset = *endOffset = -1;
    return {};
}

QString TextViewAccessible::textAfterOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    int start = 0;
    int end = 0;
    if (pieceAt(offset, boundaryType, &start, &end) && end < characterCount()
        && pieceAt(end, boundaryType, startOffset, endOffset))
        return text(*startOffset, *endOffset);
    *startOffset = *endOffset = -1;
    return {};
}

QRect TextViewAccessible::characterRect(int offset) const
{
    const TextBuffer *text = buffer();
    if (!text || offset < 0 || offset >= text->length())
        return {};
    QRect rect = view()->cursorRectAt(offset);
    const QRect next = view()->cursorRectAt(offset + 1);
    // A character's width is up to the next caret place on its line; a line
    // break gets a caret's width.
    if (next.top() == rect.top() && next.left() > rect.left())
        rect.setRight(next.left() - 1);
    return QRect(view()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

int TextViewAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(local))
        return -1;
    return view()->positionAt(local);
}

void TextViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    Q_UNUSED(endIndex);
    const TextBuffer *text = buffer();
    if (!text)
        return;
    const int line = text->lineOf(std::clamp(startIndex, 0, text->length()));
    const int shown = std::max(1, view()->viewport()->height() / view()->lineHeight());
    const int first = view()->firstVisibleLine();
    if (line < first || line >= first + shown)
        view()->verticalScrollBar()->setValue(line - shown / 2);
}

QString TextViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    Q_UNUSED(offset);
    // One font and colour throughout: a single run without attributes.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void TextViewAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void TextViewAccessible::insertText(int offset, const QString &text)
{
    replaceText(offset, offset, text);
}

void TextViewAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    if (view()->isReadOnly() || !buffer())
        return;
    view()->setTextCursor({startOffset, endOffset});
    view()->insertText(text);
}
