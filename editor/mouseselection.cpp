#include "editor/mouseselection.h"
#include "editor/caretmovement.h"
#include "editor/textlayoutcache.h"

#include <QApplication>
#include <QStyleHints>

#include <algorithm>

namespace {

constexpr int kDragScrollInterval = 50; // ms

} // namespace

MouseSelection::MouseSelection(const CaretMovement &caret)
    : m_caret(caret)
{
}

TextSelection MouseSelection::press(
    int position, const QPoint &point, bool extend, const TextSelection &current)
{
    m_dragging = true;
    m_lastPoint = point;
    m_wordAnchorStart = m_wordAnchorEnd = -1;
    m_lineAnchor = -1;
    const bool tripleClick = m_sinceDoubleClick.isValid()
        && m_sinceDoubleClick.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval()
        && (point - m_doubleClickPoint).manhattanLength() < QApplication::startDragDistance();
    m_sinceDoubleClick.invalidate();
    if (tripleClick) {
        m_lineAnchor = m_caret.buffer().lineOf(position);
        return dragTo(position, current);
    }
    return {extend ? current.anchor : position, position};
}

TextSelection MouseSelection::doubleClick(int position, const QPoint &point)
{
    const auto [from, to] = m_caret.wordAt(position);
    m_wordAnchorStart = from;
    m_wordAnchorEnd = to;
    m_lineAnchor = -1;
    m_dragging = true;
    m_lastPoint = point;
    m_doubleClickPoint = point;
    m_sinceDoubleClick.start();
    return {from, to};
}

TextSelection MouseSelection::dragTo(int position, const TextSelection &current) const
{
    const TextBuffer &text = m_caret.buffer();
    if (m_lineAnchor >= 0) {
        const auto lineEnd = [&](int line) {
            return line + 1 < text.lineCount() ? text.lineStart(line + 1) : text.length();
        };
        const int line = text.lineOf(position);
        if (line < m_lineAnchor)
            return {lineEnd(m_lineAnchor), text.lineStart(line)};
        return {text.lineStart(m_lineAnchor), lineEnd(line)};
    }
    if (m_wordAnchorStart >= 0) {
        const auto [from, to] = m_caret.wordAt(position);
        if (position < m_wordAnchorStart)
            return {m_wordAnchorEnd, from};
        return {m_wordAnchorStart, std::max(to, m_wordAnchorEnd)};
    }
    return {current.anchor, position};
}

void MouseSelection::moveTo(const QPoint &point, const QRect &area, QObject *receiver)
{
    m_lastPoint = point;
    if (area.contains(point))
        m_scrollTimer.stop();
    else if (!m_scrollTimer.isActive())
        m_scrollTimer.start(kDragScrollInterval, receiver);
}

void MouseSelection::release()
{
    m_dragging = false;
    m_scrollTimer.stop();
}

QPoint MouseSelection::scrollStep(const QRect &area, int lineHeight) const
{
    const QPoint p = m_lastPoint;
    QPoint step;
    if (p.y() < area.top())
        step.setY(-1 - (area.top() - p.y()) / lineHeight);
    else if (p.y() > area.bottom())
        step.setY(1 + (p.y() - area.bottom()) / lineHeight);
    if (p.x() < area.left())
        step.setX(-1);
    else if (p.x() > area.right())
        step.setX(1);
    return step;
}
