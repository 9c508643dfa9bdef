#pragma once

#include "namecodec/codec.h"

#include <QByteArrayView>
#include <QString>

#include "document/documentoutcome.h"

#include <functional>

class CQuorelDoc;

// Converts the whole text of `doc` (commands 32802: code page 949 ->
// Punycode and 32805: back). The text goes to a temporary copy, through ConvertTextFile with
// the comment option, and back into the document, which becomes modified
// and keeps its own path and title; the file on disk is not touched. The
// text is scanned by the document's kind, never guessed from the start of
// its content when the document knows better. A UTF-8
// document is converted as UTF-8 in place of code page 949, so it stays
// UTF-8.
//
// On failure the text and the modified flag stay as they were, pane 0 of
// the status bar says so and `showFailingLine` gets the failing line (not
// called when no line is to blame); the outcome carries any message the
// user must read (a read-only copy, an unwritable character, a missing
// temporary folder). The work runs through the context's WorkRunner.
DocumentOutcome ConvertDocument(CQuorelDoc &doc, namecodec::Encoding from, namecodec::Encoding to,
    const std::function<void(int line)> &showFailingLine);

// The kind the document's text is converted by (see conversionKind): its
// template when the user made it from one, else what its path and `content`
// tell.
namecodec::FileKind documentConversionKind(const CQuorelDoc &doc, QByteArrayView content);

QString conversionFailedText();
QString readOnlyConversionText();
