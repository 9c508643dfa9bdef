#pragma once

#include <QDockWidget>

class QTreeWidget;
class QTreeWidgetItem;

// "검사 결과": what a server's checker said of a document, a row per
// finding with the line it names, and the overall result last. A
// double-click or Enter on a row with a line asks to go there.
class CheckResultPane : public QDockWidget {
    Q_OBJECT
public:
    explicit CheckResultPane(QWidget *parent = nullptr);

    // Starts a new report on `documentName`; the earlier one goes.
    void begin(const QString &documentName);
    // `line` from 1; 0 for a row that names none.
    void addFinding(int line, const QString &message);
    void finish(bool ok, const QString &summary);

    QTreeWidget *list() const { return m_list; }

signals:
    void lineActivated(int line);

private:
    void activate(QTreeWidgetItem *item);

    QTreeWidget *m_list;
};
