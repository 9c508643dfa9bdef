#pragma once

#include "editor/linelayout.h"

#include <QFont>
#include <QList>
#include <QTextLayout>

#include <memory>
#include <unordered_map>
#include <vector>

class QPaintDevice;
class TextBuffer;
class TextHighlighter;
struct TextChange;

// The laid-out lines of a TextBuffer, each made the first time it is asked
// for and kept until its line changes or goes far off screen. Every line is
// one row, its baseline at the font's ascent whatever fallback fonts its
// text needs, so all lines share one height.
//
// A layout is only handed out for the very text its line holds now: one
// made for an earlier text of the line is made afresh, so a caller asking
// in the middle of a change still gets the right one.
class TextLayoutCache {
public:
    TextLayoutCache();
    ~TextLayoutCache();
    TextLayoutCache(const TextLayoutCache &) = delete;
    TextLayoutCache &operator=(const TextLayoutCache &) = delete;

    // Each of these drops every layout.
    void setBuffer(const TextBuffer *buffer);
    void setFont(const QFont &font);
    void setTabStopDistance(qreal distance);
    void setPaintDevice(const QPaintDevice *device);
    void setHighlighter(TextHighlighter *highlighter);

    const TextBuffer *buffer() const { return m_buffer; }
    TextHighlighter *highlighter() const { return m_highlighter; }
    const QFont &font() const { return m_font; }
    qreal tabStopDistance() const { return m_tabStop; }
    // The height of every row: room for the tallest ascent and the deepest
    // descent of the font and the fallback fonts Hangul and Latin text bring.
    int lineHeight() const { return m_lineHeight; }

    // The layout of line `line` (valid while the line is unchanged and the
    // cache not pruned), with the highlighter's formats.
    LineLayout *layout(int line);
    // What a layout of a line in this cache's font, tabs and baseline takes.
    LineLayout::Style style() const;
    // The highlighter's formats for line `line`; none without a highlighter.
    QList<QTextLayout::FormatRange> formatsFor(int line) const;

    // Follows the buffer: drops the changed lines' layouts and moves the
    // ones below; measures a large block of new lines for its width.
    void applyChange(const TextChange &change);
    // Lines `first` to `last` are laid out afresh when next asked for.
    void invalidate(int first, int last);
    void clear();
    // Keeps about three screenfuls around the one starting at `firstLine`
    // once far more than that are cached.
    void prune(int firstLine, int shownLines);

    // The widest line measured or laid out since the last reset; lines never
    // laid out are estimated from the longest by characters.
    qreal maxWidth() const { return m_maxWidth; }
    // Forgets the widths and measures the whole text anew.
    void remeasure();

    int size() const { return static_cast<int>(m_layouts.size()); }
    // The cached layout of `line` as it is, or nullptr; for tests.
    const LineLayout *cached(int line) const;
    std::vector<int> cachedLines() const;

private:
    void measureLongestLines(int firstLine, int lineCount);
    void measureRow();

    const TextBuffer *m_buffer = nullptr;
    TextHighlighter *m_highlighter = nullptr;
    const QPaintDevice *m_device = nullptr;
    QFont m_font;
    int m_ascent = 0;
    int m_lineHeight = 1;
    qreal m_tabStop = 80;
    qreal m_maxWidth = 0;
    std::unordered_map<int, std::unique_ptr<LineLayout>> m_layouts;
};
