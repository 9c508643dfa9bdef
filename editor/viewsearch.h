#pragma once

#include "document/textbuffer.h"
#include "editor/textview.h"

#include <QString>

#include <functional>
#include <optional>

struct FindOptions {
    bool matchCase = false;
    bool wholeWord = false;
};

// The search of the find and replace dialog, run over one view's text.
// Searches run forward from one character after the selection's start (or
// from the caret). The first search of a pass remembers where it began; the
// pass runs to the end of the text, wraps around once to that position and
// ends there. A search that finds nothing beeps and starts a new pass.
class ViewSearch {
public:
    explicit ViewSearch(TextView &view);

    // The next search begins a pass of its own.
    void startPass() { m_firstSearch = true; }
    bool firstSearch() const { return m_firstSearch; }

    // Called where nothing was found; the system beep unless a test listens.
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    // Selects the next match; false (after the beep) when there is none.
    bool findNext(const QString &what, FindOptions options);
    // Backwards from the selection's start, wrapping once to the end.
    bool findPrevious(const QString &what, FindOptions options);
    // Replaces the selection when it is the text sought, as one undoable
    // edit, then finds the next match.
    bool replace(const QString &what, const QString &with, FindOptions options);
    // Replaces every match from the selection to the end of the pass as one
    // undoable edit and ends with the beep. Returns the replacements made.
    int replaceAll(const QString &what, const QString &with, FindOptions options);

    // True when the view's selection is the text sought (the whole-word
    // option plays no part).
    bool selectionIs(const QString &what, bool matchCase) const;

private:
    std::optional<TextSelection> searchStep(
        const TextSelection &selection, const QString &what, FindOptions options);
    std::optional<TextSelection> findBetween(
        const QString &what, int from, int end, FindOptions options) const;
    bool isSelection(const TextSelection &selection, const QString &what, bool matchCase) const;
    void notFound();

    TextView &m_view;
    bool m_firstSearch = true;
    // Where the pass began; after the wrap, that position minus the text's
    // length then, so that the end of the pass follows edits made before it.
    int m_initialPosition = 0;
    std::function<void()> m_beep;
};
