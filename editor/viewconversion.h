#pragma once

#include "namecodec/codec.h"

class QPlainTextEdit;
class QWidget;

// Height in pixels of one line of the view's text, as laid out.
int viewLineHeight(const QPlainTextEdit &view);

// Scrolls the failing line (counted from 1) of a failed conversion into view
// and selects its first two characters. Near the end of the text the last
// screenful fills the view instead of scrolling past the end.
void showFailingLine(QPlainTextEdit &view, int line);

// Converts the view's selection through the result dialog and, when the user
// applies it, replaces the selection as one undoable edit. `textEncoding` is
// how the document holds its text; codes 4 in `fromCode`/`toCode` are
// passed on as given. Returns true when the text was changed.
bool convertSelectionThroughDialog(QPlainTextEdit &view, int fromCode, int toCode,
    namecodec::Encoding textEncoding = namecodec::Encoding::Cp949);

class CQuorelView;

// The view's selection conversions (32796: 4 -> 2, 32799: 2 -> 4). A UTF-8
// document's text is handed over as UTF-8, named with code 1.
void convertViewSelection(CQuorelView &view, int fromCode, int toCode);
