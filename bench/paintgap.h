#pragma once

// The longest time the window went without painting while a command ran: a
// timer asks every visible window to repaint every 20 ms, and an application
// event filter notes when paints arrive.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

class PaintGapProbe : public QObject {
public:
    PaintGapProbe()
    {
        m_ticker.setInterval(20);
        connect(&m_ticker, &QTimer::timeout, this, [] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->isVisible())
                    w->update();
            }
        });
    }
    void start()
    {
        m_longestMs = 0;
        m_clock.start();
        m_lastPaintMs = 0;
        qApp->installEventFilter(this);
        m_ticker.start();
    }
    // The longest gap, the stretch from the last paint to now included.
    qint64 stop()
    {
        m_ticker.stop();
        qApp->removeEventFilter(this);
        m_longestMs = std::max(m_longestMs, m_clock.elapsed() - m_lastPaintMs);
        return m_longestMs;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            const qint64 now = m_clock.elapsed();
            m_longestMs = std::max(m_longestMs, now - m_lastPaintMs);
            m_lastPaintMs = now;
        }
        return false;
    }

private:
    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_lastPaintMs = 0;
    qint64 m_longestMs = 0;
};
