#pragma once

#include "editor/textviewmargin.h"

#include <QString>

class TextView;

// The numbers of the lines beside a TextView's text, counted from 1, as
// checkers such as named-checkzone report them. The caret's line has its
// number in the text's colour, the others a quieter one; the strip takes
// the palette's alternate background, so both light and dark themes read.
class LineNumberMargin : public TextViewMargin {
public:
    explicit LineNumberMargin(const TextView &view);

    int width(int lineCount, const QFontMetrics &metrics) const override;
    void paint(
        QPainter &painter, const QRect &area, const std::vector<VisibleLine> &lines, int lineHeight) override;

    // What the margin shows beside line `line` (from 0).
    static QString textFor(int line) { return QString::number(line + 1); }

private:
    const TextView &m_view;
};
