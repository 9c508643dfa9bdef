#pragma once

#include "namecodec/codec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class TextBuffer;

enum class LineEnding { LF, CRLF, Mixed };

// The line break that ended one line of a file, for files that mix them.
enum class LineBreak : unsigned char { None = 0, LF = 1, CRLF = 2, CR = 3 };

// A file's text as the editor holds it: lines separated by '\n' alone, with
// what is needed to write the same bytes back.
struct DecodedText {
    QString text;
    namecodec::Encoding encoding = namecodec::Encoding::Cp949; // Cp949 or Utf8
    bool byteOrderMark = false; // a UTF-8 file that starts with EF BB BF
    LineEnding ending = LineEnding::LF;
    std::vector<LineBreak> breaks; // one per line, only for LineEnding::Mixed
    // First line (from 1) that decodes neither as code page 949 nor as UTF-8;
    // 0 when the whole file decodes. Such text is shown with U+FFFD in place
    // of the bad bytes and must never be written back.
    int badLine = 0;
};

// Reads bytes as code page 949, unless they are valid UTF-8 that needs it.
DecodedText decodeFileBytes(const QByteArray &bytes);

struct EncodeResult {
    QByteArray bytes;
    int errorLine = 0; // first line holding a character the encoding cannot hold
    QString message; // Korean, ready to show; empty on success
    bool ok() const { return message.isEmpty(); }
};

// A document's text as encoding needs it. Taking it is a quick copy on the
// document's own thread; encoding it, the slow part for a large file, may
// then run on a worker while the window keeps painting.
struct TextSnapshot {
    QStringList lines; // sharing their characters with the document
    std::vector<int> lineStates; // one per line, only for mixed line endings
};
TextSnapshot snapshotText(const TextBuffer &doc, LineEnding ending);

// Encodes a snapshot with the document's encoding and line endings. Mixed
// line endings come from the lines' states, set by loadIntoDocument().
EncodeResult encodeSnapshot(const TextSnapshot &snapshot, namecodec::Encoding encoding, LineEnding ending,
    bool byteOrderMark = false);

// Both steps at once, on the document's thread.
EncodeResult encodeDocument(
    const TextBuffer &doc, namecodec::Encoding encoding, LineEnding ending, bool byteOrderMark = false);

// Puts decoded text into a document and remembers per-line breaks of mixed
// files in the lines' states.
void loadIntoDocument(TextBuffer &doc, const DecodedText &decoded);

// The document's text exactly as typed, lines joined with '\n'.
QString documentText(const TextBuffer &doc);
