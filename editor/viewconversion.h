#pragma once

#include "namecodec/codec.h"

class QPlainTextEdit;
class QWidget;

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
