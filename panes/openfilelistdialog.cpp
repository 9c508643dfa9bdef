#include "panes/openfilelistdialog.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

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

QTreeWidgetItem *COpenFileListDialog::findByKey(quint64 documentId) const
{
    for (int i = 0; i < m_hRoot->childCount(); ++i) {
        QTreeWidgetItem *item = m_hRoot->child(i);
        if (item->data(0, kKeyRole).toULongLong() == documentId)
            return item;
    }
    return nullptr;
}

void COpenFileListDialog::AddOrRenameEntry(const QString &text, quint64 documentId)
{
    if (QTreeWidgetItem *item = findByKey(documentId)) {
        item->setText(0, text);
        item->setToolTip(0, text);
        return;
    }
    auto *item = new QTreeWidgetItem(m_hRoot, QStringList(text));
    item->setData(0, kKeyRole, QVariant::fromValue<qulonglong>(documentId));
    item->setToolTip(0, text);
    m_hRoot->setExpanded(true);
    m_pTree->setCurrentItem(item);
    m_pTree->scrollToItem(item);
}

void COpenFileListDialog::RemoveEntry(quint64 documentId)
{
    // Taken out of the tree, the item is ours to free.
    if (QTreeWidgetItem *item = findByKey(documentId))
        const std::unique_ptr<QTreeWidgetItem> removed(m_hRoot->takeChild(m_hRoot->indexOfChild(item)));
}

bool COpenFileListDialog::ContainsText(const QString &text) const
{
    for (int i = 0; i < m_hRoot->childCount(); ++i) {
        if (m_hRoot->child(i)->text(0) == text)
            return true;
    }
    return false;
}

void COpenFileListDialog::ShowActiveEntry(quint64 documentId)
{
    QTreeWidgetItem *item = findByKey(documentId);
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
    const quint64 documentId = selected.front()->data(0, kKeyRole).toULongLong();
    if (documentId != 0)
        emit activateRequested(documentId);
}
