#include "editor/linenumbermargin.h"
#include "editor/textview.h"

#include <QPalette>

#include <algorithm>

namespace {
// Room either side of the numbers, in pixels.
constexpr int kPadding = 6;
} // namespace

LineNumberMargin::LineNumberMargin(const TextView &view)
    : m_view(view)
{
}

int LineNumberMargin::width(int lineCount, const QFontMetrics &metrics) const
{
    int digits = 1;
    for (int rest = std::max(1, lineCount); rest >= 10; rest /= 10)
        ++digits;
    // At least two digits, so that a file growing past nine lines does not
    // shift its text sideways.
    digits = std::max(digits, 2);
    return digits * metrics.horizontalAdvance(QLatin1Char('9')) + 2 * kPadding;
}

void LineNumberMargin::paint(
    QPainter &painter, const QRect &area, const std::vector<VisibleLine> &lines, int lineHeight)
{
    const QPalette &palette = m_view.palette();
    const QPalette::ColorGroup group = m_view.isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.fillRect(area, palette.brush(group, QPalette::AlternateBase));
    const int width = painter.device()->width();
    painter.setPen(palette.color(group, QPalette::Mid));
    painter.drawLine(width - 1, area.top(), width - 1, area.bottom());
    const TextBuffer *buffer = m_view.buffer();
    const int caretLine = buffer ? buffer->lineOf(m_view.textCursor().position) : -1;
    QFont font = m_view.font();
    painter.setFont(font);
    const QColor quiet = palette.color(group, QPalette::PlaceholderText);
    for (const VisibleLine &line : lines) {
        if (line.top > area.bottom() || line.top + lineHeight <= area.top())
            continue;
        const bool current = line.line == caretLine;
        font.setBold(current);
        painter.setFont(font);
        painter.setPen(current ? palette.color(group, QPalette::Text) : quiet);
        painter.drawText(QRect(0, line.top, width - kPadding, lineHeight), Qt::AlignRight | Qt::AlignVCenter,
            textFor(line.line));
    }
}
