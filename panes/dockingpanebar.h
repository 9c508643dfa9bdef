#pragma once

#include <QDockWidget>
#include <QPoint>
#include <QSize>

class QMainWindow;
class QToolButton;

namespace dockingpane {
class PaneCaption;
}

// A dock pane hosting one dialog: docks at any edge or floats, and keeps its
// docked size at or above 32 pixels. Docked, it carries its own gripper with
// a close and a float button, a strip on top when docked left or right and
// on the left when docked top or bottom; floating, it has none and the
// floating frame's own caption applies. Dragging or double-clicking the
// pane's own client area (the dialog's margin) moves or floats it like the
// gripper does. The close button hides the pane and reports it, so the
// frame's show/hide command knows the pane is gone.
class CDockingPaneBar : public QDockWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumSize = 32;
    // The sizing edge and the border beside it, added to the dialog's depth.
    static constexpr int kEdgeWidth = 6;
    static constexpr int kBorderWidth = 3;
    static constexpr int kGripperWidth = 20;

    explicit CDockingPaneBar(QWidget *parent = nullptr);

    // Hosts `dialog`, titles the pane and docks it in `area` of `frame`,
    // sized after the dialog's own (template) size.
    bool Create(
        QMainWindow *frame, QWidget *dialog, const QString &title, int templateId, Qt::DockWidgetArea area);

    QWidget *hostedDialog() const { return m_dialog; }
    // The dock bar the pane sits in (59419 top, 59420 left, 59421 right,
    // 59422 bottom), 0 while floating.
    int dockBarId() const;
    QToolButton *closeButton() const;
    QToolButton *floatButton() const;
    // Sizes taken from the dialog and then from the user: the height used
    // docked top or bottom, the width used docked left or right.
    QSize horizontalSize() const { return m_horizontalSize; }
    QSize verticalSize() const { return m_verticalSize; }

signals:
    void closedByButton();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void updateCaption();
    void startDragFromClient(QMouseEvent *event);

    QWidget *m_dialog = nullptr;
    QMainWindow *m_frame = nullptr;
    dockingpane::PaneCaption *m_caption = nullptr;
    QSize m_horizontalSize;
    QSize m_verticalSize;
    QPoint m_clientPressPos;
    bool m_clientPressed = false;
    // The dock bar the stored sizes were last applied in; 0 while floating.
    int m_sizedDockBarId = 0;
};
