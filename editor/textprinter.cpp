#include "editor/textprinter.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kScreenDpi = 96.0;
constexpr double kPointsPerInch = 72.0;

// Where a page's parts go, in the device's pixels from the page's paint
// rectangle: the header band, then the text beside its line-number gutter,
// then the footer band.
struct PageFrame {
    QSizeF page;
    qreal headerHeight = 0;
    qreal footerHeight = 0;
    qreal gutter = 0;
    QSizeF text() const { return {page.width() - gutter, page.height() - headerHeight - footerHeight}; }
};

PageFrame frameFor(
    const PageDecoration &decoration, const QFontMetricsF &metrics, const QSizeF &page, int lines)
{
    PageFrame frame;
    frame.page = page;
    // A blank line between a band and the text keeps the two apart.
    if (!decoration.header.isEmpty())
        frame.headerHeight = 2 * metrics.lineSpacing();
    if (decoration.pageNumbers)
        frame.footerHeight = 2 * metrics.lineSpacing();
    if (decoration.lineNumbers) {
        const int last = decoration.firstLineNumber + std::max(0, lines - 1);
        frame.gutter = metrics.horizontalAdvance(QString(QString::number(last).size(), QLatin1Char('9')))
            + metrics.horizontalAdvance(QStringLiteral("  "));
    }
    // Never so much that no text fits: such a page prints without them.
    if (frame.text().width() < page.width() / 2)
        frame.gutter = 0;
    if (frame.text().height() < page.height() / 2)
        frame.headerHeight = frame.footerHeight = 0;
    return frame;
}

// One line of text with its top left at `at`, laid out as the body's lines
// are, so that it lands on paper (and in a PDF's text) the same way.
void drawLine(QPainter &painter, const QString &text, const QFont &font, QPaintDevice *device, QPointF at)
{
    QTextLayout layout(text, font, device);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    layout.draw(&painter, at);
}

class PagePainter {
public:
    PagePainter(QPainter &painter, const PageDecoration &decoration, const QFont &font,
        const QFontMetricsF &metrics, const PageFrame &frame, int pages)
        : m_painter(painter)
        , m_decoration(decoration)
        , m_font(font)
        , m_metrics(metrics)
        , m_frame(frame)
        , m_pages(pages)
    {
    }

    // The header and footer of page `number`, then the painter set for
    // that page's slice of the laid-out text.
    void begin(int number)
    {
        m_painter.resetTransform();
        m_painter.setClipping(false);
        if (m_frame.headerHeight > 0) {
            const QString header
                = m_metrics.elidedText(m_decoration.header, Qt::ElideMiddle, m_frame.page.width());
            drawLine(m_painter, header, m_font, m_painter.device(), QPointF(0, 0));
        }
        if (m_frame.footerHeight > 0) {
            const QString footer = QStringLiteral("쪽 %1 / %2").arg(number).arg(m_pages);
            const qreal x = (m_frame.page.width() - m_metrics.horizontalAdvance(footer)) / 2;
            drawLine(m_painter, footer, m_font, m_painter.device(),
                QPointF(x, m_frame.page.height() - m_metrics.height()));
        }
        const qreal top = (number - 1) * m_frame.text().height();
        m_painter.translate(m_frame.gutter, m_frame.headerHeight - top);
        m_painter.setClipRect(QRectF(-m_frame.gutter, top, m_frame.page.width(), m_frame.text().height()));
    }

    // The number of a line whose first row's top is at `top`, right-aligned
    // against the gutter's end.
    void lineNumber(int number, qreal top)
    {
        if (m_frame.gutter <= 0)
            return;
        const QString text = QString::number(number);
        const qreal right = m_metrics.horizontalAdvance(QStringLiteral("  "));
        drawLine(m_painter, text, m_font, m_painter.device(),
            QPointF(-right - m_metrics.horizontalAdvance(text), top));
    }

private:
    QPainter &m_painter;
    const PageDecoration &m_decoration;
    const QFont &m_font;
    const QFontMetricsF &m_metrics;
    const PageFrame &m_frame;
    int m_pages;
};

void layOut(QTextDocument &document, const QFont &font, QPagedPaintDevice *device)
{
    document.setDefaultFont(font);
    document.setDocumentMargin(0); // the device's page margins are the only ones
    document.setUseDesignMetrics(true);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    // Laid out for the device itself, so points become the device's pixels.
    document.documentLayout()->setPaintDevice(device);
}

} // namespace

QFont printFontFor(const QFont &viewFont)
{
    QFont font = viewFont;
    if (viewFont.pixelSize() > 0)
        font.setPointSizeF(viewFont.pixelSize() * kPointsPerInch / kScreenDpi);
    return font;
}

void printTextDocument(QTextDocument &document, const QFont &font, QPagedPaintDevice *device, int fromPage,
    int toPage, const PageDecoration &decoration)
{
    if (!device)
        return;
    layOut(document, font, device);
    const QFontMetricsF metrics(font, device);
    const PageFrame frame = frameFor(decoration, metrics,
        device->pageLayout().paintRectPixels(device->logicalDpiX()).size(), document.blockCount());
    const QSizeF page = frame.text();
    document.setPageSize(page);

    QPainter painter(device);
    if (!painter.isActive())
        return;
    painter.setPen(Qt::black);
    painter.setFont(font);
    const int pages = std::max(1, document.pageCount());
    const int first = std::clamp(fromPage > 0 ? fromPage : 1, 1, pages);
    const int last = std::clamp(toPage > 0 ? toPage : pages, first, pages);
    PagePainter pagePainter(painter, decoration, font, metrics, frame, pages);
    // The layout moved every line that would cross a page's end to the
    // next page; half a device pixel keeps such a line on its new page.
    auto pageOf = [&page](qreal y) { return static_cast<int>(std::floor((y + 0.5) / page.height())) + 1; };
    int onPage = 0;
    auto turnTo = [&](int number) {
        while (onPage < number) {
            if (onPage >= first)
                device->newPage();
            onPage = onPage < first ? first : onPage + 1;
        }
        pagePainter.begin(onPage);
    };
    turnTo(first);
    // Each block is drawn once, on the page of its lines, so the printed
    // file holds every line once: no copy of it hidden under a clip.
    int lineNumber = decoration.firstLineNumber;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next(), ++lineNumber) {
        const QTextLayout *layout = block.layout();
        if (!layout || layout->lineCount() == 0)
            continue;
        const qreal top = layout->position().y();
        const int startPage = pageOf(top + layout->lineAt(0).y());
        if (startPage > last)
            break;
        const int endPage = pageOf(top + layout->lineAt(layout->lineCount() - 1).y());
        for (int number = std::max(startPage, first); number <= std::min(endPage, last); ++number) {
            if (number != onPage)
                turnTo(number);
            layout->draw(&painter, QPointF());
            // The empty line after the text's last line break is no line of
            // the file's: it gets no number.
            const bool trailing = !block.next().isValid() && block.length() <= 1;
            if (number == startPage && !trailing)
                pagePainter.lineNumber(lineNumber, top + layout->lineAt(0).y());
        }
    }
}
