#pragma once

#include "document/documentoutcome.h"
#include "document/lineblocks.h"
#include "document/textbuffer.h"
#include "document/textfileconversion.h"
#include "namecodec/codec.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

class CQuorelDoc;

// Converts the whole text of `doc` (commands 32802: code page 949 ->
// Punycode and 32805: back). The text goes to a temporary copy, through
// ConvertTextFile with the comment option, and back into the document,
// which becomes modified and keeps its own path and title; the file on disk
// is not touched. The text is scanned by the document's kind, never guessed
// from the start of its content when the document knows better. A UTF-8
// document is converted as UTF-8 in place of code page 949, so it stays
// UTF-8. The work runs through the context's WorkRunner.
//
// A read-only copy is refused (readOnlyConversionText). On any other
// failure the text and the modified flag stay as they were, and the outcome
// carries the failing line (0 when no line is to blame), every line the
// library refused with its column, label and reason, and any message the
// user must read first (an unwritable character, a missing temporary
// folder); the window then reports conversionFailedText() with the reasons
// and shows the line.
DocumentOutcome ConvertDocument(CQuorelDoc &doc, namecodec::Encoding from, namecodec::Encoding to);

// The kind the document's text is converted by (see conversionKind): its
// template when the user made it from one, else what its path and `content`
// tell.
namecodec::FileKind documentConversionKind(const CQuorelDoc &doc, QByteArrayView content);

// The text of converted code page 949 bytes whose line breaks are all LF,
// as the general reader would give it, or null when that reader must take
// it (a CR, or bytes that do not decode). A whole document's result is read
// this way.
std::unique_ptr<TextBuffer> readPlainCp949Text(QByteArrayView bytes);

// The same text taken as the library writes it, piece by piece, while the
// conversion runs: it declines the text where readPlainCp949Text gives null.
class PlainCp949Lines final : public ConvertedTextSink {
public:
    // Room for about as many lines as the result will have.
    void expect(std::size_t lines);
    bool take(QByteArrayView lines, bool last) override;
    // The lines taken, as a text; once only.
    std::unique_ptr<TextBuffer> text();

private:
    TextBuffer::LineList m_lines;
    LineBlocks m_blocks;
};

QString conversionFailedText();
QString readOnlyConversionText();
