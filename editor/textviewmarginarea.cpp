#include "editor/textviewmarginarea.h"
#include "editor/textview.h"
#include "editor/textviewmargin.h"

#include <QPaintEvent>
#include <QPainter>

TextViewMarginArea::TextViewMarginArea(TextView &view, TextViewMargin &margin)
    : QWidget(&view)
    , m_view(view)
    , m_margin(margin)
{
    setObjectName(QStringLiteral("textViewMargin"));
    setAutoFillBackground(false);
}

void TextViewMarginArea::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_margin.paint(painter, event->rect(), m_view.linesOnScreen(), m_view.lineHeight());
}
