#pragma once

#include <QEvent>
#include <QString>

// The open-files notification to the main frame: the key is the document's
// child frame (compared by address only, so a posted removal stays safe after
// the frame is gone); an empty text with `closed` removes the entry.
class OpenFileListEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(2028);

    OpenFileListEvent(quintptr key, const QString &text)
        : QEvent(kType)
        , m_key(key)
        , m_text(text)
    {
    }
    static OpenFileListEvent *closed(quintptr key)
    {
        auto *e = new OpenFileListEvent(key, QString());
        e->m_closed = true;
        return e;
    }

    quintptr key() const { return m_key; }
    const QString &text() const { return m_text; }
    bool isClosed() const { return m_closed; }
    // The frame's answer, always 0.
    int result = 0;

private:
    quintptr m_key;
    QString m_text;
    bool m_closed = false;
};
