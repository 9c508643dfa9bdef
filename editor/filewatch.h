#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class CQuorelDoc;
class QFileSystemWatcher;
class QTimer;

// Watches the files of the open documents and lets each document deal with
// a change on disk. Editors and scripts that save by writing a new file and
// renaming it over the old one end the watch on the old file, and a file
// that is deleted and made again has no watch at all; so the folders are
// watched too, and every file is watched again whenever it is there.
class FileWatch : public QObject {
    Q_OBJECT
public:
    explicit FileWatch(QObject *parent = nullptr);
    ~FileWatch() override;

    void watch(CQuorelDoc *doc);
    // Looks at every watched document's file now (also run shortly after
    // every notification, so a burst of writes asks once).
    void checkNow();

private:
    void rewatch();
    void schedule();

    QFileSystemWatcher *m_watcher;
    QTimer *m_delay;
    QList<QPointer<CQuorelDoc>> m_docs;
    bool m_checking = false;
    bool m_again = false;
    bool m_waitingForWork = false;
};
