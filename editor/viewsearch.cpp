#include "editor/viewsearch.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace {

int textLength(const QTextDocument &doc)
{
    return doc.characterCount() - 1; // without the closing paragraph mark
}

QTextDocument::FindFlags findFlags(FindOptions options)
{
    QTextDocument::FindFlags flags;
    if (options.matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    if (options.wholeWord)
        flags |= QTextDocument::FindWholeWords;
    return flags;
}

bool isSelection(const QTextCursor &cursor, const QString &what, bool matchCase)
{
    if (!cursor.hasSelection() || what.isEmpty())
        return false;
    const QString selected = cursor.selectedText();
    return selected.size() == what.size()
        && selected.compare(what, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

// The wait cursor for as long as a search runs.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

ViewSearch::ViewSearch(QPlainTextEdit &view)
    : m_view(view)
    , m_beep([] { QApplication::beep(); })
{
}

QTextCursor ViewSearch::findBetween(const QString &what, int from, int end, FindOptions options) const
{
    if (what.isEmpty() || from > end)
        return {};
    const QTextCursor found = m_view.document()->find(what, from, findFlags(options));
    if (found.isNull() || found.selectionEnd() > end)
        return {};
    return found;
}

QTextCursor ViewSearch::searchStep(const QTextCursor &selection, const QString &what, FindOptions options)
{
    const QTextDocument &doc = *m_view.document();
    if (m_firstSearch) {
        m_initialPosition = selection.selectionStart();
        m_firstSearch = false;
    }
    // One character after the selection's start, so that a selected match
    // is passed over; a character outside the BMP is two UTF-16 units.
    int from = selection.position();
    if (selection.hasSelection()) {
        from = selection.selectionStart() + 1;
        if (doc.characterAt(selection.selectionStart()).isHighSurrogate())
            ++from;
    }
    const int length = textLength(doc);
    const int end = m_initialPosition >= 0 ? length : length + m_initialPosition;
    QTextCursor found = findBetween(what, from, end, options);
    if (!found.isNull())
        return found;
    if (m_initialPosition > 0) {
        found = findBetween(what, 0, m_initialPosition, options);
        m_initialPosition -= length;
        return found;
    }
    return {};
}

void ViewSearch::notFound()
{
    m_firstSearch = true;
    if (m_beep)
        m_beep();
}

bool ViewSearch::findNext(const QString &what, FindOptions options)
{
    QTextCursor found;
    {
        const WaitCursor wait;
        found = searchStep(m_view.textCursor(), what, options);
    }
    if (found.isNull()) {
        notFound();
        return false;
    }
    m_view.setTextCursor(found);
    return true;
}

bool ViewSearch::findPrevious(const QString &what, FindOptions options)
{
    if (what.isEmpty()) {
        notFound();
        return false;
    }
    QTextDocument *doc = m_view.document();
    const QTextDocument::FindFlags flags = findFlags(options) | QTextDocument::FindBackward;
    const QTextCursor selection = m_view.textCursor();
    QTextCursor found = doc->find(what, selection.selectionStart(), flags);
    if (found.isNull())
        found = doc->find(what, textLength(*doc), flags);
    if (found.isNull() || found.selectionStart() == selection.selectionStart()) {
        notFound();
        return false;
    }
    m_view.setTextCursor(found);
    return true;
}

bool ViewSearch::selectionIs(const QString &what, bool matchCase) const
{
    return isSelection(m_view.textCursor(), what, matchCase);
}

bool ViewSearch::replace(const QString &what, const QString &with, FindOptions options)
{
    if (selectionIs(what, options.matchCase)) {
        QTextCursor cursor = m_view.textCursor();
        cursor.insertText(with); // one undoable edit
        m_view.setTextCursor(cursor);
    }
    return findNext(what, options);
}

int ViewSearch::replaceAll(const QString &what, const QString &with, FindOptions options)
{
    const WaitCursor wait;
    QTextCursor current = m_view.textCursor();
    if (!isSelection(current, what, options.matchCase)) {
        current = searchStep(current, what, options);
        if (current.isNull()) {
            notFound();
            return 0;
        }
    }
    // Every replacement of the pass is one step of the text's undo, so one
    // mistyped replace-all can be taken back whole. The view is left alone
    // until the end: moving its caret for each match would lay it out and
    // scroll it every time.
    int count = 0;
    QTextCursor block(m_view.document());
    QTextCursor caret;
    block.beginEditBlock();
    while (!current.isNull()) {
        current.insertText(with);
        ++count;
        caret = current;
        current = searchStep(current, what, options);
    }
    block.endEditBlock();
    // The caret stays after the last replacement.
    m_view.setTextCursor(caret);
    notFound();
    return count;
}
