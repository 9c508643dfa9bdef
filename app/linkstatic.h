#pragma once

#include <QCursor>
#include <QLabel>
#include <QUrl>

#include <functional>

// A static text that can act as a link: its own colour, an underline, click
// notification and a cursor of its own. A click opens the control's text
// (an e-mail address opens as mailto:).
class CLinkStatic : public QLabel {
    Q_OBJECT
public:
    explicit CLinkStatic(const QString &text, QWidget *parent = nullptr);

    void SetTextColor(const QColor &color);
    void SetUnderline(bool underline);
    void SetNotify(bool notify);
    void SetLinkCursor(const QCursor &cursor);

    bool notifies() const { return m_notify; }
    QUrl target() const;

    // How a click is opened; the desktop's handler unless a test replaces it.
    std::function<bool(const QUrl &)> opener;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_notify = false;
};
