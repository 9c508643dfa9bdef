#pragma once

#include "namecodec/codec.h"

class TextView;

// Scrolls the failing line (counted from 1) of a failed conversion into view
// and selects its first two characters. Near the end of the text the last
// screenful fills the view instead of scrolling past the end.
void showFailingLine(TextView &view, int line);

// Converts the view's selection through the result dialog and, when the user
// applies it, replaces the selection as one undoable edit. Returns true
// when the text was changed.
bool convertSelectionThroughDialog(TextView &view, namecodec::Encoding from, namecodec::Encoding to);

class CQuorelView;

// The view's selection conversions (32796: code page 949 -> Punycode, 32799:
// back). A UTF-8 document's text is handed over as UTF-8.
void convertViewSelection(CQuorelView &view, namecodec::Encoding from, namecodec::Encoding to);
