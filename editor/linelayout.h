#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QTextLayout>

#include <memory>
#include <unordered_map>
#include <vector>

class QPaintDevice;
class QPainter;

// One line of a TextView laid out on one row, its baseline at a fixed
// ascent. A line of ordinary length is one QTextLayout. A very long one (a
// dump, a minified config, a long DKIM record) is cut into pieces laid out
// only when they are shown: laying out millions of characters at once takes
// seconds, and QTextLayout's fixed-point coordinates overflow near 33.5
// million pixels, so such a line showed nothing and sent clicks to column 0.
// Positions here are qreal from the line's start, whatever its length.
class LineLayout {
public:
    // What every line of a view shares.
    struct Style {
        QFont font;
        const QPaintDevice *device = nullptr;
        qreal tabStop = 80;
        int ascent = 0;
    };

    // Lines longer than this are laid out in pieces.
    static constexpr int kPiecedLength = 4096;

    LineLayout(const QString &text, const Style &style, QList<QTextLayout::FormatRange> formats = {});
    ~LineLayout();
    LineLayout(const LineLayout &) = delete;
    LineLayout &operator=(const LineLayout &) = delete;

    const QString &text() const { return m_text; }
    const QList<QTextLayout::FormatRange> &formats() const { return m_formats; }
    bool isPieced() const { return !m_pieces.empty(); }
    int pieceCount() const { return static_cast<int>(m_pieces.size()); }
    qreal width() const { return m_width; }

    qreal cursorToX(int column) const;
    // The column whose caret position is nearest to `x`.
    int xToCursor(qreal x) const;
    // The next and previous caret positions, never inside a character
    // cluster (a surrogate pair, a syllable of conjoining jamo).
    int nextCursorPosition(int column) const;
    int previousCursorPosition(int column) const;

    // Draws the row with its top-left at `origin`; `selections` in the line's columns.
    void draw(QPainter *painter, const QPointF &origin, const QList<QTextLayout::FormatRange> &selections,
        const QRectF &clip) const;
    void drawCursor(QPainter *painter, const QPointF &origin, int column, int width) const;

    // For each piece, the width it was given unlaid and the width a layout
    // of it finds; for tests.
    std::vector<std::pair<qreal, qreal>> pieceWidths() const;

private:
    struct Piece {
        int start = 0;
        int length = 0;
        qreal x = 0;
        qreal width = 0;
    };

    void cutIntoPieces();
    int pieceAt(int column) const;
    int pieceAtX(qreal x) const;
    QTextLayout &pieceLayout(int index) const;
    QList<QTextOption::Tab> tabsOf(const Piece &piece) const;
    std::unique_ptr<QTextLayout> layOut(const QString &text, const QList<QTextLayout::FormatRange> &formats,
        const QList<QTextOption::Tab> &tabs) const;
    static QList<QTextLayout::FormatRange> clipped(
        const QList<QTextLayout::FormatRange> &ranges, int start, int length);

    QString m_text;
    Style m_style;
    // The style's font; for a long line, without shaping and kerning.
    QFont m_font;
    QList<QTextLayout::FormatRange> m_formats;
    qreal m_width = 0;
    // How far past a piece its glyphs may reach, for what is drawn.
    qreal m_slack = 0;
    // A line of ordinary length.
    std::unique_ptr<QTextLayout> m_whole;
    // A long line: its pieces in order, each laid out when first needed.
    std::vector<Piece> m_pieces;
    mutable std::unordered_map<int, std::unique_ptr<QTextLayout>> m_pieceLayouts;
};
