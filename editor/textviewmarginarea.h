#pragma once

#include <QWidget>

class TextView;
class TextViewMargin;

// The strip a TextView keeps at its viewport's left for a margin, painting
// it beside the lines on screen.
class TextViewMarginArea : public QWidget {
public:
    TextViewMarginArea(TextView &view, TextViewMargin &margin);

    TextViewMargin &margin() const { return m_margin; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TextView &m_view;
    TextViewMargin &m_margin;
};
