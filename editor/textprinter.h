#pragma once

#include <QFont>
#include <QString>

class QPagedPaintDevice;
class QTextDocument;

// The font text is printed in: the view's font at the size it has on a
// 96-dpi screen, given in points, so that paper shows it as large as the
// screen does. A font given in pixels would be a speck at 600 or 1200 dpi.
QFont printFontFor(const QFont &viewFont);

// What a printed page carries beside the text.
struct PageDecoration {
    // Above the text of every page (the file's name); none when empty.
    QString header;
    // "쪽 n / m" under the text of every page.
    bool pageNumbers = false;
    // Each line's number left of it, counted from `firstLineNumber`.
    bool lineNumbers = false;
    int firstLineNumber = 1;
};

// Prints `document` (a copy the call may change) on `device` page by page
// inside the device's page margins, in `font`. Lines longer than the page
// wrap rather than run off the paper; a line never straddles two pages.
// `fromPage` and `toPage` count from 1; 0 means from the first or to the
// last page.
void printTextDocument(QTextDocument &document, const QFont &font, QPagedPaintDevice *device,
    int fromPage = 0, int toPage = 0, const PageDecoration &decoration = {});
