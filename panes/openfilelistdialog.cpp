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
    , m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("openFileListDialog"));
    setProperty("controlId", ids::dialog::kOpenFileList);
    m_tree->setObjectName(QStringLiteral("openFileTree"));
    m_tree->setProperty("controlId", ids::control::kOpenFileTree);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setColumnCount(1);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    // Paths are long; scroll sideways rather than eliding them.
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setMinimumSize(1, 1);
    setMinimumSize(2 * kMargin + 1, 2 * kMargin + 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_tree);

    m_root = new QTreeWidgetItem(m_tree, QStringList(QStringLiteral("열린목록")));
    m_root->setData(0, kKeyRole, QVariant::fromValue<qulonglong>(0));
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &COpenFileListDialog::onSelectionChanged);
}

QTreeWidgetItem *COpenFileListDialog::findByKey(quint64 documentId) const
{
    for (int i = 0; i < m_root->childCount(); ++i) {
        QTreeWidgetItem *item = m_root->child(i);
        if (item->data(0, kKeyRole).toULongLong() == documentId)
            return item;
    }
    return nullptr;
}

void COpenFileListDialog::setEntryToolTip(quint64 documentId, const QString &toolTip)
{
    if (QTreeWidgetItem *item = findByKey(documentId))
        item->setToolTip(0, toolTip);
}

void COpenFileListDialog::AddOrRenameEntry(const QString &text, quint64 documentId)
{
    if (QTreeWidgetItem *item = findByKey(documentId)) {
        item->setText(0, text);
        item->setToolTip(0, text);
        return;
    }
    auto *item = new QTreeWidgetItem(m_root, QStringList(text));
    item->setData(0, kKeyRole, QVariant::fromValue<qulonglong>(documentId));
    item->setToolTip(0, text);
    m_root->setExpanded(true);
    m_tree->setCurrentItem(item);
    m_tree->scrollToItem(item);
}

void COpenFileListDialog::RemoveEntry(quint64 documentId)
{
    // Taken out of the tree, the item is ours to free.
    if (QTreeWidgetItem *item = findByKey(documentId))
        const std::unique_ptr<QTreeWidgetItem> removed(m_root->takeChild(m_root->indexOfChild(item)));
}

bool COpenFileListDialog::ContainsText(const QString &text) const
{
    for (int i = 0; i < m_root->childCount(); ++i) {
        if (m_root->child(i)->text(0) == text)
            return true;
    }
    return false;
}

void COpenFileListDialog::showActiveEntry(quint64 documentId)
{
    QTreeWidgetItem *item = findByKey(documentId);
    if (!item || item == m_tree->currentItem())
        return;
    const QSignalBlocker quiet(m_tree);
    m_tree->setCurrentItem(item);
    m_tree->viewport()->update();
}

QStringList COpenFileListDialog::entryTexts() const
{
    QStringList texts;
    for (int i = 0; i < m_root->childCount(); ++i)
        texts << m_root->child(i)->text(0);
    return texts;
}

void COpenFileListDialog::onSelectionChanged()
{
    const QList<QTreeWidgetItem *> selected = m_tree->selectedItems();
    if (selected.isEmpty() || selected.front() == m_root)
        return;
    const quint64 documentId = selected.front()->data(0, kKeyRole).toULongLong();
    if (documentId != 0)
        emit activateRequested(documentId);
}
