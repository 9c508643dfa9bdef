#include "editor/textprinter.h"

#include <QAbstractTextDocumentLayout>
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

} // namespace

QFont printFontFor(const QFont &viewFont)
{
    QFont font = viewFont;
    if (viewFont.pixelSize() > 0)
        font.setPointSizeF(viewFont.pixelSize() * kPointsPerInch / kScreenDpi);
    return font;
}

void printTextDocument(
    QTextDocument &document, const QFont &font, QPagedPaintDevice *device, int fromPage, int toPage)
{
    if (!device)
        return;
    document.setDefaultFont(font);
    document.setDocumentMargin(0); // the device's page margins are the only ones
    document.setUseDesignMetrics(true);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    // Laid out for the device itself, so points become the device's pixels.
    document.documentLayout()->setPaintDevice(device);

    const QRectF paintRect = device->pageLayout().paintRectPixels(device->logicalDpiX());
    const QSizeF page = paintRect.size();
    document.setPageSize(page);

    QPainter painter(device);
    if (!painter.isActive())
        return;
    painter.setPen(Qt::black);
    const int pages = std::max(1, document.pageCount());
    const int first = std::clamp(fromPage > 0 ? fromPage : 1, 1, pages);
    const int last = std::clamp(toPage > 0 ? toPage : pages, first, pages);
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
        const QRectF slice(0, (onPage - 1) * page.height(), page.width(), page.height());
        painter.resetTransform();
        painter.translate(0, -slice.top());
        painter.setClipRect(slice);
    };
    turnTo(first);
    // Each block is drawn once, on the page of its lines, so the printed
    // file holds every line once: no copy of it hidden under a clip.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
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
        }
    }
}
