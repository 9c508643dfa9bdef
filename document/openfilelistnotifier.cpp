#include "document/openfilelistnotifier.h"

void OpenFileListNotifier::announce(quint64 documentId, const QString &text)
{
    emit entryChanged(documentId, text);
}

void OpenFileListNotifier::announceClosed(quint64 documentId)
{
    QMetaObject::invokeMethod(
        this, [this, documentId] { emit entryClosed(documentId); }, Qt::QueuedConnection);
}
