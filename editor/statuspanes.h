#pragma once

#include <QObject>
#include <QPointer>

class CQuorelView;
class QLabel;
class QStatusBar;

// The panes after the fixed ones of the status bar: where the caret is,
// which encoding the document is written in and which line breaks it keeps.
// They follow the active editor view; without one they are blank.
class StatusPanes : public QObject {
    Q_OBJECT
public:
    explicit StatusPanes(QStatusBar *bar);

    void showView(CQuorelView *view);

    QString caretText() const;
    QString encodingText() const;
    QString lineEndingText() const;

private:
    void update();

    QLabel *m_caret;
    QLabel *m_encoding;
    QLabel *m_lineEnding;
    QPointer<CQuorelView> m_view;
    QMetaObject::Connection m_caretConnection;
    QMetaObject::Connection m_textConnection;
};
