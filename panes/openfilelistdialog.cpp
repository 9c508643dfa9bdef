#include "panes/openfilelistdialog.h"

#include <QDir>
#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QStyleOption>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "panes/dialogtemplate.h"
#include "platform/quorelids.h"

namespace {
constexpr int kKeyRole = Qt::UserRole;
constexpr int kTextRole = Qt::UserRole + 1; // the text as given
constexpr int kPlaceRole = Qt::UserRole + 2;
constexpr int kMargin = 5;

QStringList foldersOf(const QString &place)
{
    QStringList parts = place.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!parts.isEmpty())
        parts.removeLast();
    return parts;
}

// The fewest trailing folders of `place` that no other place in `others`
// (all of the same file name) ends with; empty when none tells it apart.
QString distinguishingFolders(const QString &place, const QStringList &others)
{
    const QStringList folders = foldersOf(place);
    for (qsizetype count = 1; count <= folders.size(); ++count) {
        const QStringList tail = folders.mid(folders.size() - count);
        const bool unique = std::none_of(others.cbegin(), others.cend(), [&](const QString &other) {
            const QStringList otherFolders = foldersOf(other);
            return otherFolders.size() >= count && otherFolders.mid(otherFolders.size() - count) == tail;
        });
        if (unique)
            return tail.join(QLatin1Char('/'));
    }
    return QString();
}

QString nameOf(const QString &place)
{
    return place.section(QLatin1Char('/'), -1);
}

// Dotted lines joining each entry to its parent, with a boxed plus or minus
// on items that have children: the base style draws neither, and without the
// lines the one-root list reads as a flat column.
class BranchLineStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget) const override
    {
        if (element != PE_IndicatorBranch) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        painter->save();
        drawLines(option, painter);
        if (option->state & State_Children)
            drawButton(option, painter);
        painter->restore();
    }

private:
    static void drawDots(QPainter *painter, QPoint from, QPoint to)
    {
        // Every other pixel, phased on the absolute position so that pieces
        // drawn in separate rows join into one line.
        const bool vertical = from.x() == to.x();
        const int first = vertical ? from.y() : from.x();
        const int last = vertical ? to.y() : to.x();
        for (int at = first + ((first + (vertical ? from.x() : from.y())) & 1); at <= last; at += 2)
            painter->drawPoint(vertical ? QPoint(from.x(), at) : QPoint(at, from.y()));
    }

    static void drawLines(const QStyleOption *option, QPainter *painter)
    {
        const QRect r = option->rect;
        const QPoint mid = r.center();
        painter->setPen(option->palette.color(QPalette::Dark));
        if (option->state & State_Item) {
            drawDots(painter, QPoint(mid.x(), r.top()), mid);
            drawDots(painter, mid, QPoint(r.right(), mid.y()));
        }
        if (option->state & State_Sibling)
            drawDots(painter, QPoint(mid.x(), (option->state & State_Item) ? mid.y() : r.top()),
                QPoint(mid.x(), r.bottom()));
    }

    static void drawButton(const QStyleOption *option, QPainter *painter)
    {
        constexpr int kHalf = 4; // a 9-pixel box
        const QPoint mid = option->rect.center();
        const QRect box(mid.x() - kHalf, mid.y() - kHalf, 2 * kHalf, 2 * kHalf);
        painter->fillRect(box, option->palette.color(QPalette::Base));
        painter->setPen(option->palette.color(QPalette::Dark));
        painter->drawRect(box);
        painter->setPen(option->palette.color(QPalette::Text));
        painter->drawLine(mid.x() - 2, mid.y(), mid.x() + 2, mid.y());
        if (!(option->state & State_Open))
            painter->drawLine(mid.x(), mid.y() - 2, mid.x(), mid.y() + 2);
    }
};
} // namespace

COpenFileListDialog::COpenFileListDialog(QWidget *parent)
    : QWidget(parent)
    , m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("openFileListDialog"));
    setProperty("controlId", ids::dialog::kOpenFileList);
    setFont(dialogtemplate::templateFont());
    // The template's size, with its one-pixel border on each side.
    resize(dialogtemplate::unitsToPixels(kTemplateUnits, font()) + QSize(2, 2));
    m_tree->setObjectName(QStringLiteral("openFileTree"));
    m_tree->setProperty("controlId", ids::control::kOpenFileTree);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    auto *branchStyle = new BranchLineStyle;
    branchStyle->setParent(m_tree);
    m_tree->setStyle(branchStyle);
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
        item->setData(0, kTextRole, text);
        item->setToolTip(0, text);
        showDistinctNames();
        return;
    }
    auto *item = new QTreeWidgetItem(m_root, QStringList(text));
    item->setData(0, kKeyRole, QVariant::fromValue<qulonglong>(documentId));
    item->setData(0, kTextRole, text);
    item->setToolTip(0, text);
    showDistinctNames();
    m_root->setExpanded(true);
    m_tree->setCurrentItem(item);
    m_tree->scrollToItem(item);
}

void COpenFileListDialog::RemoveEntry(quint64 documentId)
{
    // Taken out of the tree, the item is ours to free.
    if (QTreeWidgetItem *item = findByKey(documentId))
        const std::unique_ptr<QTreeWidgetItem> removed(m_root->takeChild(m_root->indexOfChild(item)));
    showDistinctNames();
}

void COpenFileListDialog::setEntryPlace(quint64 documentId, const QString &place)
{
    if (QTreeWidgetItem *item = findByKey(documentId)) {
        item->setData(0, kPlaceRole, place);
        showDistinctNames();
    }
}

void COpenFileListDialog::showDistinctNames()
{
    // Grouped by file name; a place listed twice (a read-only copy beside
    // its file) is one file and needs nothing to tell it from itself.
    QHash<QString, QStringList> placesByName;
    for (int i = 0; i < m_root->childCount(); ++i) {
        const QString place = m_root->child(i)->data(0, kPlaceRole).toString();
        if (!place.isEmpty() && !placesByName[nameOf(place)].contains(place))
            placesByName[nameOf(place)] << place;
    }
    for (int i = 0; i < m_root->childCount(); ++i) {
        QTreeWidgetItem *item = m_root->child(i);
        const QString text = item->data(0, kTextRole).toString();
        const QString place = item->data(0, kPlaceRole).toString();
        QStringList others = placesByName.value(nameOf(place));
        others.removeAll(place);
        const QString folders
            = place.isEmpty() || others.isEmpty() ? QString() : distinguishingFolders(place, others);
        if (folders.isEmpty()) {
            item->setText(0, text);
            continue;
        }
        // A path gives way to its name; a title (a read-only copy) is kept.
        const QString shown = QDir::isAbsolutePath(text) ? nameOf(place) : text;
        item->setText(0, QStringLiteral("%1 — %2").arg(shown, folders));
    }
}

bool COpenFileListDialog::ContainsText(const QString &text) const
{
    for (int i = 0; i < m_root->childCount(); ++i) {
        if (m_root->child(i)->data(0, kTextRole).toString() == text)
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
        texts << m_root->child(i)->data(0, kTextRole).toString();
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
