#pragma once

#include <QObject>
#include <QString>

// Carries the open-files notifications from the documents to the list that
// shows them. An entry is keyed by its document's id, which stays the same
// for the document's whole life, whatever window shows it. A removal is
// queued, so the entry goes only after the close has finished.
class OpenFileListNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Adds the document's entry or renames it.
    void announce(quint64 documentId, const QString &text);
    void announceClosed(quint64 documentId);

signals:
    void entryChanged(quint64 documentId, const QString &text);
    void entryClosed(quint64 documentId);
};
