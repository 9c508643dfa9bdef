#pragma once

#include <QFontMetrics>
#include <QPainter>
#include <QRect>

#include <vector>

// A strip at the left of a TextView's text (line numbers, marks) that
// scrolls with the lines. The view keeps its width free, asks for it again
// when the line count or the font changes, and has it painted whenever the
// text scrolls or changes.
//
// Installed with TextView::setMargin(); it must outlive its time there.
class TextViewMargin {
public:
    // A line on screen and the top of its row, in the margin's coordinates.
    struct VisibleLine {
        int line = 0;
        int top = 0;
    };

    virtual ~TextViewMargin() = default;

    // The width wanted for a text of `lineCount` lines shown in `metrics`.
    virtual int width(int lineCount, const QFontMetrics &metrics) const = 0;
    // Paints the strip `area`; `lines` are the lines on screen, each
    // `lineHeight` high.
    virtual void paint(
        QPainter &painter, const QRect &area, const std::vector<VisibleLine> &lines, int lineHeight)
        = 0;
};
