#include "editor/textviewpainter.h"
#include "editor/linelayout.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>

void TextViewPainter::paint(QPainter &painter, const Frame &frame)
{
    painter.setPen(frame.palette.color(frame.group, QPalette::Text));
    for (int line = std::max(frame.firstLine, 0); line <= frame.lastLine; ++line) {
        const QPointF origin = frame.origin + QPointF(0, (line - frame.firstLine) * frame.lineHeight);
        if (origin.y() > frame.clip.bottom() || origin.y() + frame.lineHeight <= frame.clip.top())
            continue;
        paintLine(painter, frame, line, origin);
    }
}

void TextViewPainter::paintLine(QPainter &painter, const Frame &frame, int line, const QPointF &origin)
{
    LineLayout *layout = frame.layoutOf(line);
    const TextSelection &cursor = frame.cursor;
    const int lineStart = frame.buffer->lineStart(line);
    const int lineLength = static_cast<int>(frame.buffer->line(line).size());
    const bool caretHere = cursor.position >= lineStart && cursor.position <= lineStart + lineLength;
    if (caretHere && frame.currentLine.style() != Qt::NoBrush)
        painter.fillRect(
            QRectF(frame.clip.left(), origin.y(), frame.clip.width(), frame.lineHeight), frame.currentLine);
    QList<QTextLayout::FormatRange> selections;
    bool breakSelected = false;
    if (cursor.hasSelection() && cursor.start() <= lineStart + lineLength && cursor.end() >= lineStart) {
        const int from = std::max(cursor.start(), lineStart) - lineStart;
        const int to = std::min(cursor.end(), lineStart + lineLength) - lineStart;
        if (to > from) {
            QTextCharFormat selected;
            selected.setBackground(frame.palette.brush(frame.group, QPalette::Highlight));
            selected.setForeground(frame.palette.brush(frame.group, QPalette::HighlightedText));
            selections.append({from, to - from, selected});
        }
        breakSelected = cursor.end() > lineStart + lineLength;
    }
    layout->draw(&painter, origin, selections, frame.clip);
    if (breakSelected) {
        const qreal x = origin.x() + layout->width();
        painter.fillRect(QRectF(x, origin.y(), frame.breakWidth, frame.lineHeight),
            frame.palette.brush(frame.group, QPalette::Highlight));
    }
    if (frame.caretShown && caretHere && frame.caretShift >= 0)
        layout->drawCursor(
            &painter, origin, cursor.position - lineStart + frame.caretShift, frame.caretWidth);
}
