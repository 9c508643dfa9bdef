#pragma once

#include "namecodec/codec.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

class CQuorelDoc;
class QWidget;

// Converts the whole text of `doc` (commands 32802: 4 -> 2 and 32805:
// 2 -> 4). The text goes to a temporary copy, through ConvertTextFile with
// the comment option, and back into the document, which becomes modified
// and keeps its own path and title; the file on disk is not touched. The
// text is scanned by the document's kind, never guessed from the start of
// its content when the document knows better. A UTF-8
// document is converted with code 1 in place of 4, so it stays UTF-8.
//
// On failure the text and the modified flag stay as they were, pane 0 of
// the status bar says so and `showFailingLine` gets the failing line (not
// called when no line is to blame). `window` parents the busy dialog.
bool ConvertDocument(CQuorelDoc &doc, int from, int to, const std::function<void(int line)> &showFailingLine,
    QWidget *window = nullptr);

// The kind the document's text is converted by (see conversionKind): its
// template when the user made it from one, else what its path and `content`
// tell.
namecodec::FileKind documentConversionKind(const CQuorelDoc &doc, QByteArrayView content);

QString conversionFailedText();
QString readOnlyConversionText();
