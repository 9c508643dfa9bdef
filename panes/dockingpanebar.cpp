#include "panes/dockingpanebar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QStyle>
#include <QToolButton>

#include "platform/quorelids.h"

namespace {

// The caption strip: an elided title and two small buttons. Mouse presses it
// does not take are left to the dock widget, which drags and double-click
// toggles as usual.
class PaneCaption : public QWidget {
public:
    explicit PaneCaption(QWidget *parent)
        : QWidget(parent)
    {
    }
    QSize minimumSizeHint() const override
    {
        // The buttons alone fix the minimum, so the pane can shrink to 32.
        return QSize(CDockingPaneBar::kMinimumSize, 16);
    }
};

QToolButton *captionButton(
    QWidget *parent, QStyle::StandardPixmap icon, const QString &name, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(10, 10));
    button->setFixedSize(14, 14);
    button->setToolTip(tip);
    return button;
}

} // namespace

CDockingPaneBar::CDockingPaneBar(QWidget *parent)
    : QDockWidget(parent)
{
    setObjectName(QStringLiteral("dockingPaneBar"));
    setFeatures(
        QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);

    auto *caption = new PaneCaption(this);
    caption->setObjectName(QStringLiteral("dockingPaneCaption"));
    auto *layout = new QHBoxLayout(caption);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    m_caption = new QLabel(caption);
    m_caption->setMinimumWidth(0);
    m_caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_floatButton = captionButton(caption, QStyle::SP_TitleBarNormalButton,
        QStringLiteral("dockingPaneFloat"), QStringLiteral("떼어내기/붙이기"));
    m_closeButton = captionButton(
        caption, QStyle::SP_TitleBarCloseButton, QStringLiteral("dockingPaneClose"), QStringLiteral("닫기"));
    layout->addWidget(m_caption, 1);
    layout->addWidget(m_floatButton);
    layout->addWidget(m_closeButton);
    setTitleBarWidget(caption);

    connect(m_closeButton, &QToolButton::clicked, this, [this] {
        hide();
        emit closedByButton();
    });
    connect(m_floatButton, &QToolButton::clicked, this, [this] { setFloating(!isFloating()); });
    connect(this, &QDockWidget::windowTitleChanged, m_caption, &QLabel::setText);
}

bool CDockingPaneBar::Create(
    QMainWindow *frame, QWidget *dialog, const QString &title, int templateId, Qt::DockWidgetArea area)
{
    if (!frame || !dialog)
        return false;
    m_frame = frame;
    m_dialog = dialog;
    dialog->setProperty("templateId", templateId);
    setWindowTitle(title);
    m_caption->setText(title);
    setWidget(dialog);
    setMinimumSize(kMinimumSize, kMinimumSize);
    frame->addDockWidget(area, this);
    const Qt::Orientation orientation
        = (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea) ? Qt::Horizontal : Qt::Vertical;
    frame->resizeDocks({this}, {kInitialSize}, orientation);
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
