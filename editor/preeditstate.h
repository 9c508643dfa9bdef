#pragma once

#include <QInputMethodEvent>
#include <QList>
#include <QString>

#include <memory>

class LineLayout;
class TextLayoutCache;

// What an input method is composing (a Hangul syllable being typed, say):
// not yet text of the buffer, shown inside the caret's line at the caret.
class PreeditState {
public:
    PreeditState();
    ~PreeditState();

    bool isEmpty() const { return m_text.isEmpty(); }
    const QString &text() const { return m_text; }
    // The caret inside the composition, and whether the method wants it seen.
    int cursor() const { return m_cursor; }
    bool cursorShown() const { return m_cursorShown; }

    // Takes the composition an input method event carries.
    void update(const QInputMethodEvent &event);
    void clear();
    // The line shown may differ now (an edit, a scroll, a caret moved).
    void invalidate() { m_layout.reset(); }

    // Line `line` of `cache`'s buffer with the composition at `column`,
    // underlined and in the method's formats over the highlighter's.
    LineLayout *layout(int line, int column, TextLayoutCache &cache);

private:
    QString m_text;
    int m_cursor = 0;
    bool m_cursorShown = true;
    QList<QInputMethodEvent::Attribute> m_attributes;
    std::unique_ptr<LineLayout> m_layout;
    int m_line = -1;
    int m_column = -1;
};
