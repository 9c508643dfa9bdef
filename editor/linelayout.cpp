#include "editor/linelayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// Characters a piece holds: a screenful or two of text, laid out in well
// under a millisecond.
constexpr int kPieceLength = 1024;
// How far a cut may move to keep a character cluster whole.
constexpr int kClusterReach = 32;
// Laid-out pieces kept before the ones far from the newest are dropped.
constexpr std::size_t kKeptPieces = 64;
constexpr int kNearPieces = 16;
constexpr char16_t kTab = u'\t';

// Cutting before such a character would split what is drawn and walked
// over as one: a surrogate pair, a base and its marks, a syllable of
// conjoining jamo, an emoji sequence.
bool continuesCluster(QChar c, QChar previous)
{
    const char16_t u = c.unicode();
    if (c.isLowSurrogate() || u == 0x200D || previous.unicode() == 0x200D)
        return true;
    const QChar::Category category = c.category();
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing)
        return true;
    return (u >= 0x1160 && u <= 0x11FF) || (u >= 0xD7B0 && u <= 0xD7FF);
}

// Advances of the characters whose width in a layout is their own advance
// summed: with shaping and kerning off, Latin and Hangul syllables are
// placed one after the other. Measuring a long line so costs a table
// lookup a character, not a layout.
class AdvanceTable {
public:
    explicit AdvanceTable(const QFont &font)
        : m_metrics(font)
    {
        m_latin.fill(-1);
    }

    // The advance of `u`, or a negative number for a character that needs
    // a real layout.
    qreal advance(char16_t u)
    {
        if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            return -1;
        if (u <= 0xFF)
            return cached(m_latin[u], u);
        if (u >= 0xAC00 && u <= 0xD7A3) {
            if (m_hangul.empty())
                m_hangul.assign(0xD7A3 - 0xAC00 + 1, -1);
            return cached(m_hangul[u - 0xAC00], u);
        }
        return -1;
    }

private:
    qreal cached(qreal &slot, char16_t u)
    {
        if (slot < 0)
            slot = m_metrics.horizontalAdvance(QChar(u));
        return slot;
    }

    QFontMetricsF m_metrics;
    std::array<qreal, 256> m_latin {};
    std::vector<qreal> m_hangul;
};

// Layouts place text in 1/64 pixel steps; a tab's width is kept to them so
// the pieces after it start where the layout would put them.
qreal toLayoutSteps(qreal x)
{
    return std::round(x * 64) / 64;
}

} // namespace

LineLayout::LineLayout(const QString &text, const Style &style, QList<QTextLayout::FormatRange> formats)
    : m_text(text)
    , m_style(style)
    , m_font(style.font)
    , m_formats(std::move(formats))
{
    if (m_text.size() <= kPiecedLength) {
        m_whole = layOut(m_text, m_formats, {});
        m_width = m_whole->lineAt(0).naturalTextWidth();
        return;
    }
    // Without shaping and kerning the width of a piece is the sum of its
    // characters' advances, so the line is measured without being laid out.
    m_font.setKerning(false);
    m_font.setStyleStrategy(QFont::PreferNoShaping);
    m_slack = QFontMetricsF(m_font).height();
    cutIntoPieces();
}

LineLayout::~LineLayout() = default;

std::unique_ptr<QTextLayout> LineLayout::layOut(const QString &text,
    const QList<QTextLayout::FormatRange> &formats, const QList<QTextOption::Tab> &tabs) const
{
    auto layout = std::make_unique<QTextLayout>(text, m_font, m_style.device);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(m_style.tabStop);
    option.setTabs(tabs);
    option.setTextDirection(Qt::LeftToRight);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    if (!formats.isEmpty())
        layout->setFormats(formats);
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid()) {
        line.setNumColumns(std::numeric_limits<int>::max());
        line.setPosition(QPointF(0, m_style.ascent - line.ascent()));
    }
    layout->endLayout();
    return layout;
}

void LineLayout::cutIntoPieces()
{
    AdvanceTable advances(m_font);
    const qreal tabStop = m_style.tabStop > 0 ? m_style.tabStop : 80;
    const int size = static_cast<int>(m_text.size());
    const QChar *text = m_text.constData();
    m_pieces.reserve(size / kPieceLength + 1);
    qreal x = 0;
    int start = 0;
    while (start < size) {
        Piece piece {start, 1, x, 0};
        if (text[start] == kTab) {
            // A tab is a piece of its own, so that it reaches the next stop
            // of the whole line, not of its piece.
            piece.width = toLayoutSteps(tabStop - std::fmod(x, tabStop));
        } else {
            int end = std::min(size, start + kPieceLength);
            const QChar *tab = std::find(text + start, text + end, QChar(kTab));
            end = static_cast<int>(tab - text);
            for (int reach = 0; end < size && reach < kClusterReach && text[end] != kTab
                 && continuesCluster(text[end], text[end - 1]);
                 ++reach)
                ++end;
            piece.length = end - start;
            for (int i = start; i < end && piece.width >= 0; ++i) {
                const qreal advance = advances.advance(text[i].unicode());
                piece.width = advance < 0 ? -1 : piece.width + advance;
            }
            if (piece.width < 0)
                piece.width = layOut(m_text.mid(start, piece.length), {}, {})->lineAt(0).naturalTextWidth();
        }
        m_pieces.push_back(piece);
        x += piece.width;
        start += piece.length;
    }
    m_width = x;
}

int LineLayout::pieceAt(int column) const
{
    const auto after = std::upper_bound(
        m_pieces.begin(), m_pieces.end(), column, [](int c, const Piece &piece) { return c < piece.start; });
    return std::max(0, static_cast<int>(after - m_pieces.begin()) - 1);
}

int LineLayout::pieceAtX(qreal x) const
{
    const auto after = std::upper_bound(
        m_pieces.begin(), m_pieces.end(), x, [](qreal at, const Piece &piece) { return at < piece.x; });
    return std::max(0, static_cast<int>(after - m_pieces.begin()) - 1);
}

QTextLayout &LineLayout::pieceLayout(int index) const
{
    auto found = m_pieceLayouts.find(index);
    if (found != m_pieceLayouts.end())
        return *found->second;
    if (m_pieceLayouts.size() >= kKeptPieces) {
        std::erase_if(m_pieceLayouts,
            [index](const auto &entry) { return std::abs(entry.first - index) > kNearPieces; });
    }
    const Piece &piece = m_pieces[static_cast<std::size_t>(index)];
    auto layout = layOut(
        m_text.mid(piece.start, piece.length), clipped(m_formats, piece.start, piece.length), tabsOf(piece));
    return *m_pieceLayouts.emplace(index, std::move(layout)).first->second;
}

QList<QTextOption::Tab> LineLayout::tabsOf(const Piece &piece) const
{
    // The one stop of a tab's piece is where the line's next stop falls.
    if (piece.length == 1 && m_text[piece.start] == kTab)
        return {QTextOption::Tab(piece.width, QTextOption::LeftTab)};
    return {};
}

QList<QTextLayout::FormatRange> LineLayout::clipped(
    const QList<QTextLayout::FormatRange> &ranges, int start, int length)
{
    QList<QTextLayout::FormatRange> inside;
    for (const QTextLayout::FormatRange &range : ranges) {
        const int from = std::max(range.start, start);
        const int to = std::min(range.start + range.length, start + length);
        if (to > from)
            inside.append({from - start, to - from, range.format});
    }
    return inside;
}

qreal LineLayout::cursorToX(int column) const
{
    if (m_whole)
        return m_whole->lineAt(0).cursorToX(column);
    if (column >= m_text.size())
        return m_width;
    const int index = pieceAt(std::max(column, 0));
    const Piece &piece = m_pieces[static_cast<std::size_t>(index)];
    const int local = std::max(column, 0) - piece.start;
    return local == 0 ? piece.x : piece.x + pieceLayout(index).lineAt(0).cursorToX(local);
}

int LineLayout::xToCursor(qreal x) const
{
    if (m_whole)
        return m_whole->lineAt(0).xToCursor(x);
    if (x <= 0)
        return 0;
    if (x >= m_width)
        return static_cast<int>(m_text.size());
    const int index = pieceAtX(x);
    const Piece &piece = m_pieces[static_cast<std::size_t>(index)];
    return piece.start + pieceLayout(index).lineAt(0).xToCursor(x - piece.x);
}

int LineLayout::nextCursorPosition(int column) const
{
    if (m_whole)
        return m_whole->nextCursorPosition(column);
    if (column >= m_text.size())
        return static_cast<int>(m_text.size());
    const int index = pieceAt(std::max(column, 0));
    const Piece &piece = m_pieces[static_cast<std::size_t>(index)];
    return piece.start + pieceLayout(index).nextCursorPosition(std::max(column, 0) - piece.start);
}

int LineLayout::previousCursorPosition(int column) const
{
    if (m_whole)
        return m_whole->previousCursorPosition(column);
    if (column <= 0)
        return 0;
    column = std::min(column, static_cast<int>(m_text.size()));
    const int index = pieceAt(column - 1);
    const Piece &piece = m_pieces[static_cast<std::size_t>(index)];
    return piece.start + pieceLayout(index).previousCursorPosition(column - piece.start);
}

void LineLayout::draw(QPainter *painter, const QPointF &origin,
    const QList<QTextLayout::FormatRange> &selections, const QRectF &clip) const
{
    if (m_whole) {
        m_whole->draw(painter, origin, selections, clip);
        return;
    }
    // A glyph may reach a little past its piece (an italic, a wide
    // fallback glyph): the neighbours of what is in the clip are drawn too.
    const qreal slack = m_slack;
    const int first = pieceAtX(clip.left() - origin.x() - slack);
    for (int index = first; index < pieceCount(); ++index) {
        const Piece &piece = m_pieces[static_cast<std::size_t>(index)];
        if (origin.x() + piece.x > clip.right() + slack)
            break;
        pieceLayout(index).draw(
            painter, origin + QPointF(piece.x, 0), clipped(selections, piece.start, piece.length), clip);
    }
}

void LineLayout::drawCursor(QPainter *painter, const QPointF &origin, int column, int width) const
{
    if (m_whole) {
        m_whole->drawCursor(painter, origin, column, width);
        return;
    }
    column = std::clamp(column, 0, static_cast<int>(m_text.size()));
    const int index = column == m_text.size() ? pieceCount() - 1 : pieceAt(column);
    const Piece &piece = m_pieces[static_cast<std::size_t>(index)];
    pieceLayout(index).drawCursor(painter, origin + QPointF(piece.x, 0), column - piece.start, width);
}

std::vector<std::pair<qreal, qreal>> LineLayout::pieceWidths() const
{
    std::vector<std::pair<qreal, qreal>> widths;
    for (const Piece &piece : m_pieces) {
        const auto layout = layOut(m_text.mid(piece.start, piece.length), {}, tabsOf(piece));
        widths.emplace_back(piece.width, layout->lineAt(0).naturalTextWidth());
    }
    return widths;
}
