#pragma once

#include "document/conversionwarning.h"
#include "namecodec/codec.h"

#include <QString>

// The one conversion behind the result dialog: the selected text converted
// once from `from` to `to`, with the text the dialog shows.
struct ConversionResult {
    QString display; // what the dialog's text box shows
    QString output; // what "문서에 적용" writes over the selection
    bool applicable = false; // false when nothing was converted: applying must change nothing

    static QString emptySelectionText();
};

// The side that is not Punycode is how the document's text is held in
// bytes: code page 949, or UTF-8 for a UTF-8 document.
ConversionResult convertSelection(const QString &selection, namecodec::Encoding from, namecodec::Encoding to);

// The status line after a whole-document conversion that left Hangul hosts
// inside rules: the first of them, then how many more.
QString conversionWarningsStatus(const ConversionWarnings &warnings);
