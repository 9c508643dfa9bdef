#pragma once

#include <QSize>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

// The list of open files: one root "열린목록" and one child per open document,
// keyed by the document's id. Selecting a child asks for its window to be
// activated; the main frame decides whether that window still exists.
class COpenFileListDialog : public QWidget {
    Q_OBJECT
public:
    // The size of its template, in dialog units of the template's font.
    static constexpr QSize kTemplateUnits {91, 100};

    explicit COpenFileListDialog(QWidget *parent = nullptr);

    void AddOrRenameEntry(const QString &text, quint64 documentId);
    void RemoveEntry(quint64 documentId);
    // What the entry's tooltip says (its file's full path); the entry's own
    // text is left as it is.
    void setEntryToolTip(quint64 documentId, const QString &toolTip);
    bool ContainsText(const QString &text) const;
    // Where the entry's file lives, folders divided by '/' and its name last
    // ("/srv/a/zones/db.zone", "server:/zones/db.zone"). Entries of the same
    // name from different places show their name with the trailing folders
    // that tell them apart ("db.zone — a/zones"); the entry's text stays as
    // it was given.
    void setEntryPlace(quint64 documentId, const QString &place);
    // Marks the entry of `documentId` as the selected one without asking for its
    // window (it is already the active one).
    void showActiveEntry(quint64 documentId);

    QTreeWidget *tree() const { return m_tree; }
    QTreeWidgetItem *rootItem() const { return m_root; }
    // Texts of the entries in list order, as given (see setEntryPlace).
    QStringList entryTexts() const;

signals:
    void activateRequested(quint64 documentId);

private:
    QTreeWidgetItem *findByKey(quint64 documentId) const;
    // Shows every entry's text again, telling same-name places apart.
    void showDistinctNames();
    void onSelectionChanged();

    QTreeWidget *m_tree;
    QTreeWidgetItem *m_root;
};
