#include "app/linkstatic.h"

#include <QDesktopServices>
#include <QMouseEvent>

CLinkStatic::CLinkStatic(const QString &text, QWidget *parent)
    : QLabel(text, parent)
    , opener([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    setTextFormat(Qt::PlainText);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    p.setColor(QPalette::Window, palette().color(QPalette::Button));
    setPalette(p);
}

void CLinkStatic::SetTextColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void CLinkStatic::SetUnderline(bool underline)
{
    QFont f = font();
    f.setUnderline(underline);
    setFont(f);
    repaint();
}

void CLinkStatic::SetNotify(bool notify)
{
    m_notify = notify;
}

void CLinkStatic::SetLinkCursor(const QCursor &cursor)
{
    setCursor(cursor);
}

QUrl CLinkStatic::target() const
{
    const QString value = text().trimmed();
    if (value.contains(QLatin1Char('@')) && !value.contains(QLatin1Char(':')))
        return QUrl(QStringLiteral("mailto:") + value);
    return QUrl::fromUserInput(value);
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_notify && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        if (opener)
            opener(target());
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}
