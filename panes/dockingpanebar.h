#pragma once

#include <QDockWidget>

class QLabel;
class QMainWindow;
class QToolButton;

// A dock pane hosting one dialog: docks at any edge or floats, carries its
// own caption strip with a float and a close button, and keeps its docked
// size at or above 32 pixels. The close button hides the pane and reports it,
// so the frame's show/hide command knows the pane is gone.
class CDockingPaneBar : public QDockWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumSize = 32;
    static constexpr int kInitialSize = 200;

    explicit CDockingPaneBar(QWidget *parent = nullptr);

    // Hosts `dialog`, titles the pane and docks it in `area` of `frame`.
    bool Create(
        QMainWindow *frame, QWidget *dialog, const QString &title, int templateId, Qt::DockWidgetArea area);

    QWidget *hostedDialog() const { return m_dialog; }
    // The dock bar the pane sits in (59419 top, 59420 left, 59421 right,
    // 59422 bottom), 0 while floating.
    int dockBarId() const;
    QToolButton *closeButton() const { return m_closeButton; }
    QToolButton *floatButton() const { return m_floatButton; }

signals:
    void closedByButton();

private:
    QWidget *m_dialog = nullptr;
    QMainWindow *m_frame = nullptr;
    QLabel *m_caption = nullptr;
    QToolButton *m_closeButton = nullptr;
    QToolButton *m_floatButton = nullptr;
};
