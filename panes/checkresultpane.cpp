#include "panes/checkresultpane.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>

namespace {
constexpr int kLineColumn = 0;
constexpr int kMessageColumn = 1;
constexpr int kLineRole = Qt::UserRole;
} // namespace

CheckResultPane::CheckResultPane(QWidget *parent)
    : QDockWidget(QStringLiteral("검사 결과"), parent)
    , m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("checkResultPane"));
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    m_list->setObjectName(QStringLiteral("checkResultList"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("줄"), QStringLiteral("내용")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionResizeMode(kLineColumn, QHeaderView::ResizeToContents);
    setWidget(m_list);
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) { activate(item); });
}

void CheckResultPane::begin(const QString &documentName)
{
    m_list->clear();
    setWindowTitle(QStringLiteral("검사 결과 - %1").arg(documentName));
}

void CheckResultPane::addFinding(int line, const QString &message)
{
    auto *item = new QTreeWidgetItem(m_list);
    if (line > 0) {
        item->setText(kLineColumn, QString::number(line));
        item->setData(kLineColumn, kLineRole, line);
        item->setTextAlignment(kLineColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
    item->setText(kMessageColumn, message);
    item->setToolTip(kMessageColumn, message);
}

void CheckResultPane::finish(bool ok, const QString &summary)
{
    auto *item = new QTreeWidgetItem(m_list);
    item->setText(kMessageColumn, summary);
    QFont bold = item->font(kMessageColumn);
    bold.setBold(true);
    item->setFont(kMessageColumn, bold);
    item->setIcon(kMessageColumn,
        style()->standardIcon(ok ? QStyle::SP_DialogApplyButton : QStyle::SP_MessageBoxWarning));
    // The first row with a line is where a user starts; without one, the result.
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *candidate = m_list->topLevelItem(i);
        if (candidate->data(kLineColumn, kLineRole).toInt() > 0 || candidate == item) {
            m_list->setCurrentItem(candidate);
            break;
        }
    }
}

void CheckResultPane::activate(QTreeWidgetItem *item)
{
    const int line = item ? item->data(kLineColumn, kLineRole).toInt() : 0;
    if (line > 0)
        emit lineActivated(line);
}
