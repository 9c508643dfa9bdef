#include "panes/openfilelistdialog.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/quorelids.h"

namespace {
constexpr int kKeyRole = Qt::UserRole;
constexpr int kMargin = 5;
} // namespace

COpenFileListDialog::COpenFileListDialog(QWidget *parent)
    : QWidget(parent)
    , m_pTree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("openFileListDialog"));
    setProperty("controlId", ids::dialog::kOpenFileList);
    m_pTree->setObjectName(QStringLiteral("openFileTree"));
    m_pTree->setProperty("controlId", ids::control::kOpenFileTree);
    m_pTree->setHeaderHidden(true);
    m_pTree->setRootIsDecorated(true);
    m_pTree->setColumnCount(1);
    m_pTree->setSelectionMode(QAbstractItemView::SingleSelection);
    // Paths are long; scroll sideways rather than eliding them.
    m_pTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pTree->header()->setStretchLastSection(false);
    m_pTree->setMinimumSize(1, 1);
    setMinimumSize(2 * kMargin + 1, 2 * kMargin + 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_pTree);

    m_hRoot = new QTreeWidgetItem(m_pTree, QStringList(QStringLiteral("열린목록")));
    m_hRoot->setData(0, kKeyRole, QVariant::fromValue<qulonglong>(0));
    connect(m_pTree, &QTreeWidget::itemSelectionChanged, this, &COpenFileListDialog::onSelectionChanged);
}

QTreeWidgetItem *COpenFileListDialog::findByKey(quintptr key) const
{
    for (int i = 0; i < m_hRoot->childCount(); ++i) {
        QTreeWidgetItem *item = m_hRoot->child(i);
        if (item->data(0, kKeyRole).toULongLong() == key)
            return item;
    }
    return nullptr;
}

void COpenFileListDialog::AddOrRenameEntry(const QString &text, quintptr key)
{
    if (QTreeWidgetItem *item = findByKey(key)) {
        item->setText(0, text);
        item->setToolTip(0, text);
        return;
    }
    auto *item = new QTreeWidgetItem(m_hRoot, QStringList(text));
    item->setData(0, kKeyRole, QVariant::fromValue<qulonglong>(key));
    item->setToolTip(0, text);
    m_hRoot->setExpanded(true);
    m_pTree->setCurrentItem(item);
    m_pTree->scrollToItem(item);
}

void COpenFileListDialog::RemoveEntry(quintptr key)
{
    delete findByKey(key);
}

bool COpenFileListDialog::ContainsText(const QString &text) const
{
    for (int i = 0; i < m_hRoot->childCount(); ++i) {
        if (m_hRoot->child(i)->text(0) == text)
            return true;
    }
    return false;
}

void COpenFileListDialog::ShowActiveEntry(quintptr key)
{
    QTreeWidgetItem *item = findByKey(key);
    if (!item || item == m_pTree->currentItem())
        return;
    const QSignalBlocker quiet(m_pTree);
    m_pTree->setCurrentItem(item);
    m_pTree->viewport()->update();
}

QStringList COpenFileListDialog::entryTexts() const
{
    QStringList texts;
    for (int i = 0; i < m_hRoot->childCount(); ++i)
        texts << m_hRoot->child(i)->text(0);
    return texts;
}

void COpenFileListDialog::onSelectionChanged()
{
    const QList<QTreeWidgetItem *> selected = m_pTree->selectedItems();
    if (selected.isEmpty() || selected.front() == m_hRoot)
        return;
    const quintptr key = selected.front()->data(0, kKeyRole).toULongLong();
    if (key != 0)
        emit activateRequested(key);
}
