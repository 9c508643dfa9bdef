#include "panes/dockingpanebar.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

#include "platform/quorelids.h"

namespace dockingpane {

// The gripper: the title and two small buttons in a strip across the top, or
// the buttons over two grip lines in a strip down the left side. Mouse
// presses it does not take are left to the dock widget, which drags and
// double-click toggles as usual.
class PaneCaption : public QWidget {
public:
    explicit PaneCaption(QWidget *parent)
        : QWidget(parent)
        , m_layout(new QBoxLayout(QBoxLayout::LeftToRight, this))
        , m_title(new QLabel(this))
    {
        setObjectName(QStringLiteral("dockingPaneCaption"));
        m_layout->setSpacing(2);
        m_title->setMinimumSize(0, 0);
        m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        m_float = button(QStyle::SP_TitleBarNormalButton, QStringLiteral("dockingPaneFloat"),
            QStringLiteral("떼어내기/붙이기"));
        m_close = button(
            QStyle::SP_TitleBarCloseButton, QStringLiteral("dockingPaneClose"), QStringLiteral("닫기"));
        setVertical(false);
    }

    QToolButton *closeButton() const { return m_close; }
    QToolButton *floatButton() const { return m_float; }

    void setTitle(const QString &title)
    {
        m_title->setText(title);
        m_title->setToolTip(title);
    }

    // Down the left side the close button comes first, at the top, and the
    // title gives way to the grip lines below the buttons.
    void setVertical(bool vertical)
    {
        m_vertical = vertical;
        // Taking an item leaves its widget in place, ready to be added again.
        while (QLayoutItem *item = m_layout->takeAt(0))
            delete item;
        if (vertical) {
            m_layout->setDirection(QBoxLayout::TopToBottom);
            m_layout->setContentsMargins(3, 3, 3, 3);
            m_layout->addWidget(m_close);
            m_layout->addWidget(m_float);
            m_layout->addStretch(1);
        } else {
            m_layout->setDirection(QBoxLayout::LeftToRight);
            m_layout->setContentsMargins(2, 1, 2, 1);
            m_layout->addWidget(m_title, 1);
            m_layout->addWidget(m_float);
            m_layout->addWidget(m_close);
        }
        m_title->setVisible(!vertical);
        updateGeometry();
        update();
    }

    QSize sizeHint() const override
    {
        const QSize hint = QWidget::sizeHint();
        return m_vertical ? QSize(CDockingPaneBar::kGripperWidth, hint.height())
                          : QSize(hint.width(), CDockingPaneBar::kGripperWidth);
    }
    QSize minimumSizeHint() const override
    {
        // The buttons alone fix the minimum, so the pane can shrink to 32.
        return m_vertical ? QSize(CDockingPaneBar::kGripperWidth, CDockingPaneBar::kMinimumSize)
                          : QSize(CDockingPaneBar::kMinimumSize, CDockingPaneBar::kGripperWidth);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!m_vertical)
            return;
        // Two raised lines below the buttons, the part one grabs.
        QPainter painter(this);
        const int top = m_float->geometry().bottom() + 6;
        const int bottom = height() - 6;
        for (int x : {width() / 2 - 3, width() / 2 + 1}) {
            painter.setPen(palette().color(QPalette::Light));
            painter.drawLine(x, top, x, bottom);
            painter.setPen(palette().color(QPalette::Dark));
            painter.drawLine(x + 1, top, x + 1, bottom);
        }
    }

private:
    QToolButton *button(QStyle::StandardPixmap icon, const QString &name, const QString &tip)
    {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setAutoRaise(true);
        button->setIcon(style()->standardIcon(icon));
        button->setIconSize(QSize(10, 10));
        button->setFixedSize(14, 14);
        button->setToolTip(tip);
        return button;
    }

    QBoxLayout *m_layout;
    QLabel *m_title;
    QToolButton *m_float = nullptr;
    QToolButton *m_close = nullptr;
    bool m_vertical = false;
};

} // namespace dockingpane

CDockingPaneBar::CDockingPaneBar(QWidget *parent)
    : QDockWidget(parent)
    , m_caption(new dockingpane::PaneCaption(this))
{
    setObjectName(QStringLiteral("dockingPaneBar"));
    setFeatures(
        QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    setTitleBarWidget(m_caption);

    connect(m_caption->closeButton(), &QToolButton::clicked, this, [this] {
        hide();
        emit closedByButton();
    });
    connect(m_caption->floatButton(), &QToolButton::clicked, this, [this] { setFloating(!isFloating()); });
    connect(this, &QDockWidget::windowTitleChanged, this,
        [this](const QString &title) { m_caption->setTitle(title); });
    // Queued: the framework changes both in the middle of a drag, and the
    // caption must not be swapped under its feet.
    connect(this, &QDockWidget::topLevelChanged, this, &CDockingPaneBar::updateCaption, Qt::QueuedConnection);
    connect(this, &QDockWidget::dockLocationChanged, this, &CDockingPaneBar::updateCaption);
}

bool CDockingPaneBar::Create(
    QMainWindow *frame, QWidget *dialog, const QString &title, int templateId, Qt::DockWidgetArea area)
{
    if (!frame || !dialog)
        return false;
    m_frame = frame;
    m_dialog = dialog;
    dialog->setProperty("templateId", templateId);
    const QSize dialogSize = dialog->size();
    m_horizontalSize = QSize(dialogSize.width(), dialogSize.height() + kEdgeWidth + kBorderWidth);
    m_verticalSize = QSize(dialogSize.width() + kEdgeWidth + kBorderWidth, dialogSize.height());
    setWindowTitle(title);
    m_caption->setTitle(title);
    setWidget(dialog);
    setMinimumSize(kMinimumSize, kMinimumSize);
    frame->addDockWidget(area, this);
    updateCaption();
    if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)
        frame->resizeDocks({this}, {m_verticalSize.width()}, Qt::Horizontal);
    else
        frame->resizeDocks({this}, {m_horizontalSize.height()}, Qt::Vertical);
    return true;
}

int CDockingPaneBar::dockBarId() const
{
    if (isFloating() || !m_frame)
        return 0;
    switch (m_frame->dockWidgetArea(const_cast<CDockingPaneBar *>(this))) {
    case Qt::TopDockWidgetArea:
        return ids::bar::kDockTop;
    case Qt::LeftDockWidgetArea:
        return ids::bar::kDockLeft;
    case Qt::RightDockWidgetArea:
        return ids::bar::kDockRight;
    case Qt::BottomDockWidgetArea:
        return ids::bar::kDockBottom;
    default:
        return 0;
    }
}

QToolButton *CDockingPaneBar::closeButton() const
{
    return m_caption->closeButton();
}

QToolButton *CDockingPaneBar::floatButton() const
{
    return m_caption->floatButton();
}

void CDockingPaneBar::updateCaption()
{
    if (isFloating()) {
        // The floating frame's own caption applies; ours would be a second.
        if (titleBarWidget() == m_caption)
            setTitleBarWidget(nullptr);
        m_sizedDockBarId = 0;
        return;
    }
    const int id = dockBarId();
    const bool vertical = id == ids::bar::kDockTop || id == ids::bar::kDockBottom;
    setFeatures(vertical ? features() | QDockWidget::DockWidgetVerticalTitleBar
                         : features() & ~QDockWidget::DockWidgetVerticalTitleBar);
    m_caption->setVertical(vertical);
    if (titleBarWidget() != m_caption)
        setTitleBarWidget(m_caption);
    // Across the top or bottom the pane takes the height it last had there,
    // down a side the width it last had there.
    if (id != m_sizedDockBarId && m_frame) {
        m_sizedDockBarId = id;
        if (vertical)
            m_frame->resizeDocks({this}, {m_horizontalSize.height()}, Qt::Vertical);
        else
            m_frame->resizeDocks({this}, {m_verticalSize.width()}, Qt::Horizontal);
    }
}

void CDockingPaneBar::resizeEvent(QResizeEvent *event)
{
    QDockWidget::resizeEvent(event);
    // Sizes seen on the way to another edge belong to neither.
    const int id = dockBarId();
    if (id == 0 || id != m_sizedDockBarId)
        return;
    if (id == ids::bar::kDockTop || id == ids::bar::kDockBottom)
        m_horizontalSize.setHeight(height());
    else
        m_verticalSize.setWidth(width());
}

void CDockingPaneBar::closeEvent(QCloseEvent *event)
{
    QDockWidget::closeEvent(event);
    // Floating, the frame's own close hides the pane as our button does, and
    // the frame's show/hide command must hear of it just the same.
    if (event->isAccepted() && isFloating())
        emit closedByButton();
}

// Presses on the title strip are the framework's; what arrives here came
// from the client area, the dialog's margin included.
void CDockingPaneBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || dockBarId() == 0) {
        QDockWidget::mousePressEvent(event);
        return;
    }
    m_clientPressPos = event->position().toPoint();
    m_clientPressed = true;
    event->accept();
}

void CDockingPaneBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_clientPressed || !(event->buttons() & Qt::LeftButton)) {
        QDockWidget::mouseMoveEvent(event);
        return;
    }
    if ((event->position().toPoint() - m_clientPressPos).manhattanLength()
        < QApplication::startDragDistance())
        return;
    m_clientPressed = false;
    startDragFromClient(event);
}

void CDockingPaneBar::mouseReleaseEvent(QMouseEvent *event)
{
    m_clientPressed = false;
    QDockWidget::mouseReleaseEvent(event);
}

void CDockingPaneBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_clientPressed = false;
    if (event->button() == Qt::LeftButton && dockBarId() != 0) {
        setFloating(true);
        event->accept();
        return;
    }
    QDockWidget::mouseDoubleClickEvent(event);
}

// The framework drags only from the title strip, so the drag is started there,
// at the point of the strip nearest the press; the pane then follows the
// cursor until it is dropped on an edge or left floating.
void CDockingPaneBar::startDragFromClient(QMouseEvent *event)
{
    const QRect strip = m_caption->geometry();
    const QPoint grip(std::clamp(m_clientPressPos.x(), strip.left(), strip.right()),
        std::clamp(m_clientPressPos.y(), strip.top(), strip.bottom()));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(grip), mapToGlobal(QPointF(grip)), Qt::LeftButton,
        Qt::LeftButton, event->modifiers());
    QDockWidget::event(&press);
    QMouseEvent move(QEvent::MouseMove, event->position(), event->globalPosition(), Qt::NoButton,
        event->buttons(), event->modifiers());
    QDockWidget::event(&move);
}
