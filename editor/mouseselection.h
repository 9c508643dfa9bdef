#pragma once

#include "document/textbuffer.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPoint>
#include <QRect>

class CaretMovement;
class QObject;

// Selecting with the mouse: a click places the caret (with Shift it moves
// the selection's end), a drag extends the selection, scrolling the view
// while the mouse is beyond an edge; a double-click selects a word and a
// drag after it goes by words, a triple-click a line and a drag after it
// goes by lines.
//
// It knows positions, not pixels: the view turns points into positions and
// carries out the scrolling it asks for.
class MouseSelection {
public:
    explicit MouseSelection(const CaretMovement &caret);

    // A left press at `position` (point `point`); returns the selection.
    TextSelection press(int position, const QPoint &point, bool extend, const TextSelection &current);
    TextSelection doubleClick(int position, const QPoint &point);
    // The selection with the mouse at `position` while dragging.
    TextSelection dragTo(int position, const TextSelection &current) const;
    // The mouse moved to `point` while dragging in `area`; beyond an edge
    // the timer ticks `receiver` until it comes back.
    void moveTo(const QPoint &point, const QRect &area, QObject *receiver);
    void release();

    bool isDragging() const { return m_dragging; }
    bool isScrollTimer(int timerId) const { return timerId == m_scrollTimer.timerId(); }
    QPoint lastPoint() const { return m_lastPoint; }
    // How far a tick scrolls towards the mouse: x in steps, y in lines,
    // more lines the farther it is.
    QPoint scrollStep(const QRect &area, int lineHeight) const;

private:
    const CaretMovement &m_caret;
    bool m_dragging = false;
    QPoint m_lastPoint;
    QBasicTimer m_scrollTimer;
    // Since the last double-click, to tell a triple-click.
    QElapsedTimer m_sinceDoubleClick;
    QPoint m_doubleClickPoint;
    int m_wordAnchorStart = -1; // while a double-click drag selects by words
    int m_wordAnchorEnd = -1;
    int m_lineAnchor = -1; // while a triple-click drag selects by lines
};
