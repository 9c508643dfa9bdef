#include "editor/filewatch.h"
#include "editor/workgate.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

#include "document/quoreldoc.h"
#include "editor/outcomereport.h"

namespace {
// Long enough for a rename-over or a delete-and-write to finish, short
// enough to feel immediate.
constexpr int kSettleMs = 150;
} // namespace

FileWatch::FileWatch(QObject *parent)
    : QObject(parent)
    , m_watcher(new QFileSystemWatcher(this))
    , m_delay(new QTimer(this))
{
    m_delay->setSingleShot(true);
    m_delay->setInterval(kSettleMs);
    connect(m_delay, &QTimer::timeout, this, &FileWatch::checkNow);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &FileWatch::schedule);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileWatch::schedule);
}

FileWatch::~FileWatch() = default;

void FileWatch::watch(CQuorelDoc *doc)
{
    if (!doc)
        return;
    m_docs << doc;
    connect(doc, &CQuorelDoc::diskFileStamped, this, &FileWatch::rewatch);
    connect(doc, &QObject::destroyed, this, &FileWatch::rewatch, Qt::QueuedConnection);
    rewatch();
}

void FileWatch::schedule()
{
    m_delay->start();
}

void FileWatch::rewatch()
{
    m_docs.removeAll(nullptr);
    QSet<QString> files;
    QSet<QString> folders;
    for (const QPointer<CQuorelDoc> &doc : std::as_const(m_docs)) {
        const QString path = doc->GetPathName();
        if (path.isEmpty() || doc->isReadOnly())
            continue;
        const QFileInfo info(path);
        if (info.exists())
            files << info.absoluteFilePath();
        folders << info.absolutePath();
    }
    const QStringList watchedFiles = m_watcher->files();
    for (const QString &path : watchedFiles) {
        // A watch that outlived its file (renamed over, deleted) is stale.
        if (!files.contains(path) || !QFileInfo::exists(path))
            m_watcher->removePath(path);
    }
    const QStringList watchedFolders = m_watcher->directories();
    for (const QString &path : watchedFolders) {
        if (!folders.contains(path))
            m_watcher->removePath(path);
    }
    const QStringList stillFiles = m_watcher->files();
    for (const QString &path : std::as_const(files)) {
        if (!stillFiles.contains(path))
            m_watcher->addPath(path);
    }
    const QStringList stillFolders = m_watcher->directories();
    for (const QString &path : std::as_const(folders)) {
        if (!stillFolders.contains(path) && QFileInfo(path).isDir())
            m_watcher->addPath(path);
    }
}

void FileWatch::checkNow()
{
    // Work on a document is running: its text and file are not to be
    // looked at, let alone read again, until it is over.
    if (WorkGate::busy()) {
        if (!m_waitingForWork) {
            m_waitingForWork = true;
            WorkGate::runWhenIdle(this, [this] {
                m_waitingForWork = false;
                checkNow();
            });
        }
        return;
    }
    // A question is open (its dialog runs an event loop): look again when
    // it has been answered, not in the middle of it.
    if (m_checking) {
        m_again = true;
        return;
    }
    m_checking = true;
    do {
        m_again = false;
        rewatch();
        const QList<QPointer<CQuorelDoc>> docs = m_docs;
        for (const QPointer<CQuorelDoc> &doc : docs) {
            if (!doc)
                continue;
            const DocumentOutcome outcome = doc->checkDiskFile();
            if (doc)
                reportOutcome(*doc, outcome);
        }
    } while (m_again);
    m_checking = false;
    rewatch();
}
