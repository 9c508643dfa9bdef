#pragma once

#include "document/textbuffer.h"

// Tab and Shift+Tab over whole lines, as editors for configuration files do.
namespace lineindent {

// Whether a Tab on `selection` shifts lines instead of typing a tab: the
// selection reaches over a line break.
bool spansLines(const TextBuffer &buffer, const TextSelection &selection);

// The selection is taken by value: a view's own selection follows the edits
// made here, and must not move under them.

// Puts a tab in front of every line `selection` touches (a selection ending
// at the start of a line leaves that line alone), as one undo step; returns
// the selection to show, over the same whole lines.
TextSelection indent(TextBuffer &buffer, TextSelection selection);

// Takes one tab, or up to `tabWidth` spaces, off the front of each such line
// (the caret's line where nothing is selected), as one undo step; returns the
// selection to show. Lines with nothing to take are left alone.
TextSelection outdent(TextBuffer &buffer, TextSelection selection, int tabWidth);

} // namespace lineindent
