#pragma once

#include "document/textbuffer.h"

#include <QPalette>
#include <QRect>

#include <functional>

class QPainter;
class LineLayout;

// Paints the lines of a TextView's viewport: the text in the palette's
// colours, the selection (a selected line break as a highlighted blank after
// its line), and the caret, inside a composition where there is one.
class TextViewPainter {
public:
    struct Frame {
        const TextBuffer *buffer = nullptr;
        // The layout to show for a line (the caret's line with a composition in it).
        std::function<LineLayout *(int)> layoutOf;
        QPalette palette;
        QPalette::ColorGroup group = QPalette::Active;
        qreal breakWidth = 0; // of a selected line break
        int firstLine = 0;
        int lastLine = 0;
        int lineHeight = 1;
        // Where the first line's row starts, in the viewport.
        QPointF origin;
        QRect clip;
        TextSelection cursor;
        bool caretShown = false;
        // Columns the caret sits after its position (inside a composition),
        // or -1 where the composition hides it.
        int caretShift = 0;
        int caretWidth = 1;
        // Behind the caret's line; Qt::NoBrush for none.
        QBrush currentLine;
    };

    static void paint(QPainter &painter, const Frame &frame);

private:
    static void paintLine(QPainter &painter, const Frame &frame, int line, const QPointF &origin);
};
