#include "editor/viewsearch.h"

#include <QApplication>
#include <QElapsedTimer>

#include "platform/logging.h"

namespace {

TextBuffer::FindFlags findFlags(FindOptions options)
{
    TextBuffer::FindFlags flags;
    if (options.matchCase)
        flags |= TextBuffer::FindCaseSensitively;
    if (options.wholeWord)
        flags |= TextBuffer::FindWholeWords;
    return flags;
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

ViewSearch::ViewSearch(TextView &view)
    : m_view(view)
    , m_beep([] { QApplication::beep(); })
{
}

bool ViewSearch::isSelection(const TextSelection &selection, const QString &what, bool matchCase) const
{
    if (!selection.hasSelection() || what.isEmpty() || !m_view.buffer())
        return false;
    const QString selected = m_view.buffer()->text(selection.start(), selection.end());
    return selected.size() == what.size()
        && selected.compare(what, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

std::optional<TextSelection> ViewSearch::findBetween(
    const QString &what, int from, int end, FindOptions options) const
{
    if (what.isEmpty() || from > end || !m_view.buffer())
        return std::nullopt;
    const int found = m_view.buffer()->find(what, from, findFlags(options));
    if (found < 0 || found + what.size() > end)
        return std::nullopt;
    return TextSelection {found, found + static_cast<int>(what.size())};
}

std::optional<TextSelection> ViewSearch::searchStep(
    const TextSelection &selection, const QString &what, FindOptions options)
{
    const TextBuffer *text = m_view.buffer();
    if (!text)
        return std::nullopt;
    if (m_firstSearch) {
        m_initialPosition = selection.start();
        m_firstSearch = false;
    }
    // One character after the selection's start, so that a selected match
    // is passed over; a character outside the BMP is two UTF-16 units.
    int from = selection.position;
    if (selection.hasSelection()) {
        from = selection.start() + 1;
        if (text->characterAt(selection.start()).isHighSurrogate())
            ++from;
    }
    const int length = text->length();
    const int end = m_initialPosition >= 0 ? length : length + m_initialPosition;
    std::optional<TextSelection> found = findBetween(what, from, end, options);
    if (found)
        return found;
    if (m_initialPosition > 0) {
        found = findBetween(what, 0, m_initialPosition, options);
        m_initialPosition -= length;
        return found;
    }
    return std::nullopt;
}

void ViewSearch::notFound()
{
    m_firstSearch = true;
    if (m_beep)
        m_beep();
}

bool ViewSearch::findNext(const QString &what, FindOptions options)
{
    std::optional<TextSelection> found;
    {
        const WaitCursor wait;
        found = searchStep(m_view.textCursor(), what, options);
    }
    if (!found) {
        notFound();
        return false;
    }
    m_view.setTextCursor(*found);
    return true;
}

bool ViewSearch::findPrevious(const QString &what, FindOptions options)
{
    const TextBuffer *text = m_view.buffer();
    if (what.isEmpty() || !text) {
        notFound();
        return false;
    }
    const TextBuffer::FindFlags flags = findFlags(options) | TextBuffer::FindBackward;
    const TextSelection selection = m_view.textCursor();
    int found = text->find(what, selection.start(), flags);
    if (found < 0)
        found = text->find(what, text->length(), flags);
    if (found < 0 || found == selection.start()) {
        notFound();
        return false;
    }
    m_view.setTextCursor(TextSelection {found, found + static_cast<int>(what.size())});
    return true;
}

bool ViewSearch::selectionIs(const QString &what, bool matchCase) const
{
    return isSelection(m_view.textCursor(), what, matchCase);
}

bool ViewSearch::replace(const QString &what, const QString &with, FindOptions options)
{
    if (selectionIs(what, options.matchCase))
        m_view.insertText(with); // one undoable edit
    return findNext(what, options);
}

int ViewSearch::replaceAll(const QString &what, const QString &with, FindOptions options)
{
    TextBuffer *text = m_view.buffer();
    if (!text)
        return 0;
    const WaitCursor wait;
    QElapsedTimer took;
    took.start();
    std::optional<TextSelection> current = m_view.textCursor();
    if (!isSelection(*current, what, options.matchCase)) {
        current = searchStep(*current, what, options);
        if (!current) {
            notFound();
            return 0;
        }
    }
    // Every replacement of the pass is one step of the text's undo, so one
    // mistyped replace-all can be taken back whole. The view is left alone
    // until the end: moving its caret for each match would scroll it every time.
    int count = 0;
    const TextSelection before = m_view.textCursor();
    TextSelection caret = before;
    text->beginEditBlock();
    while (current) {
        text->replace(current->start(), current->end(), with, before);
        ++count;
        const int after = current->start() + static_cast<int>(with.size());
        caret = TextSelection {after, after};
        current = searchStep(caret, what, options);
    }
    text->endEditBlock();
    // The caret stays after the last replacement.
    m_view.setTextCursor(caret);
    qCDebug(lcEditor) << "replaced" << count << "matches in" << took.elapsed() << "ms";
    notFound();
    return count;
}
