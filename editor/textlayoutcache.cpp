#include "editor/textlayoutcache.h"
#include "document/textbuffer.h"
#include "editor/texthighlighter.h"

#include <QFontMetrics>
#include <QTextOption>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Lines laid out to guess the horizontal extent, the longest by characters;
// wider ones grow the extent when they come into view.
constexpr int kMeasuredLines = 4;
// Layouts kept beyond the screenful before the far ones are dropped.
constexpr int kLayoutSlack = 256;
// A change adding more lines than this may bring a wider line than any seen.
constexpr int kMeasureAddedLines = 64;

// The layout was made for this very string: the buffer's line shares its
// characters with the layout until either changes, and an edit of the line
// gives it characters of its own.
bool madeFor(const LineLayout &layout, const QString &text)
{
    const QString laidOut = layout.text();
    return laidOut.constData() == text.constData() && laidOut.size() == text.size();
}

} // namespace

TextLayoutCache::TextLayoutCache() = default;
TextLayoutCache::~TextLayoutCache() = default;

void TextLayoutCache::setBuffer(const TextBuffer *buffer)
{
    m_buffer = buffer;
    clear();
    remeasure();
}

void TextLayoutCache::setFont(const QFont &font)
{
    m_font = font;
    measureRow();
    clear();
    remeasure();
}

void TextLayoutCache::setTabStopDistance(qreal distance)
{
    m_tabStop = distance;
    clear();
    remeasure();
}

void TextLayoutCache::setPaintDevice(const QPaintDevice *device)
{
    m_device = device;
    measureRow();
    clear();
}

void TextLayoutCache::measureRow()
{
    // A font's own metrics say nothing of the fallback fonts its text pulls
    // in: a Hangul font under a Latin one often reaches higher and lower, and
    // rows sized by the Latin font alone cut off its syllables and the tails
    // of g, p and y. Whole pixels, as the rows are laid out in whole pixels.
    const QFontMetrics metrics(m_font);
    int ascent = metrics.ascent();
    int descent = metrics.descent();
    QTextLayout sample(QStringLiteral("gpyQ|Å똠햏뷁"), m_font, m_device);
    sample.beginLayout();
    QTextLine line = sample.createLine();
    if (line.isValid()) {
        line.setNumColumns(std::numeric_limits<int>::max());
        ascent = std::max(ascent, static_cast<int>(std::ceil(line.ascent())));
        descent = std::max(descent, static_cast<int>(std::ceil(line.descent())));
    }
    sample.endLayout();
    // The marks under names (a line, a wave) hang below the underline's
    // place; they too stay inside their row.
    descent = std::max(descent, metrics.underlinePos() + 2 * metrics.lineWidth() + 1);
    m_ascent = ascent;
    m_lineHeight = std::max({1, metrics.lineSpacing(), ascent + descent + std::max(0, metrics.leading())});
}

void TextLayoutCache::setHighlighter(TextHighlighter *highlighter)
{
    m_highlighter = highlighter;
    clear();
}

LineLayout::Style TextLayoutCache::style() const
{
    return {m_font, m_device, m_tabStop, m_ascent};
}

QList<QTextLayout::FormatRange> TextLayoutCache::formatsFor(int line) const
{
    if (!m_highlighter || !m_buffer)
        return {};
    return m_highlighter->formats(line, m_buffer->line(line));
}

LineLayout *TextLayoutCache::layout(int line)
{
    const QString &text = m_buffer->line(line);
    std::unique_ptr<LineLayout> &slot = m_layouts[line];
    if (slot && madeFor(*slot, text))
        return slot.get();
    slot = std::make_unique<LineLayout>(text, style(), formatsFor(line));
    m_maxWidth = std::max(m_maxWidth, slot->width());
    return slot.get();
}

void TextLayoutCache::applyChange(const TextChange &change)
{
    const bool wholeText = change.firstLine == 0 && change.linesAdded == m_buffer->lineCount();
    if (wholeText) {
        clear();
        m_maxWidth = 0;
    } else {
        const int end = change.firstLine + change.linesRemoved;
        const int shift = change.linesAdded - change.linesRemoved;
        std::unordered_map<int, std::unique_ptr<LineLayout>> kept;
        kept.reserve(m_layouts.size());
        for (auto &[line, layout] : m_layouts) {
            if (line < change.firstLine)
                kept.emplace(line, std::move(layout));
            else if (line >= end)
                kept.emplace(line + shift, std::move(layout));
        }
        m_layouts.swap(kept);
    }
    if (wholeText || change.linesAdded > kMeasureAddedLines)
        measureLongestLines(change.firstLine, change.linesAdded);
}

void TextLayoutCache::invalidate(int first, int last)
{
    if (static_cast<qint64>(last) - first + 1 > static_cast<qint64>(m_layouts.size())) {
        std::erase_if(
            m_layouts, [&](const auto &entry) { return entry.first >= first && entry.first <= last; });
        return;
    }
    for (int line = first; line <= last; ++line)
        m_layouts.erase(line);
}

void TextLayoutCache::clear()
{
    m_layouts.clear();
}

void TextLayoutCache::prune(int firstLine, int shownLines)
{
    if (static_cast<int>(m_layouts.size()) <= 2 * shownLines + kLayoutSlack)
        return;
    std::erase_if(m_layouts, [&](const auto &entry) {
        return entry.first < firstLine - shownLines || entry.first > firstLine + 2 * shownLines;
    });
}

void TextLayoutCache::remeasure()
{
    m_maxWidth = 0;
    if (m_buffer)
        measureLongestLines(0, m_buffer->lineCount());
}

void TextLayoutCache::measureLongestLines(int firstLine, int lineCount)
{
    // One pass over the lengths only: laying out a million lines would take
    // seconds, and the longest lines by characters are nearly always the
    // widest. The extent grows if a wider one shows up on screen.
    std::array<std::pair<int, int>, kMeasuredLines> longest; // length, line
    longest.fill({-1, -1});
    const int end = std::min(firstLine + lineCount, m_buffer->lineCount());
    for (int i = firstLine; i < end; ++i) {
        const int length = static_cast<int>(m_buffer->line(i).size());
        if (length <= longest.back().first)
            continue;
        longest.back() = {length, i};
        for (int k = kMeasuredLines - 1; k > 0 && longest[k].first > longest[k - 1].first; --k)
            std::swap(longest[k], longest[k - 1]);
    }
    for (const auto &[length, line] : longest) {
        if (line < 0 || length == 0)
            continue;
        // A long line is measured without being laid out, and kept: it is
        // likely to be shown next.
        if (length > LineLayout::kPiecedLength) {
            m_maxWidth = std::max(m_maxWidth, layout(line)->width());
            continue;
        }
        const LineLayout measured(m_buffer->line(line), style());
        m_maxWidth = std::max(m_maxWidth, measured.width());
    }
}

const LineLayout *TextLayoutCache::cached(int line) const
{
    const auto it = m_layouts.find(line);
    return it == m_layouts.end() ? nullptr : it->second.get();
}

std::vector<int> TextLayoutCache::cachedLines() const
{
    std::vector<int> lines;
    lines.reserve(m_layouts.size());
    for (const auto &entry : m_layouts)
        lines.push_back(entry.first);
    std::sort(lines.begin(), lines.end());
    return lines;
}
