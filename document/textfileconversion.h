#pragma once

#include "document/conversionfault.h"
#include "document/conversionwarning.h"
#include "namecodec/codec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class QFile;
class QIODevice;

// The only way to the library's file conversion. `keepComment` is the
// application's comment option, passed on unchanged; `kind` is the syntax
// the file is scanned by (Auto: recognised from its content), normally
// conversionKind's answer. An empty output path succeeds at once without
// converting. `errorLine` gets the first failing line; `faults`, when
// given, every failing line with its column, label and reason, so a user
// can mend a file in one pass. `warnings`, when given, gets the Hangul
// hosts a successful conversion to Punycode left inside rules, at their
// lines in the result.
bool ConvertTextFile(const QString &inPath, const QString &outPath, namecodec::Encoding from,
    namecodec::Encoding to, int keepComment, int *errorLine,
    namecodec::FileKind kind = namecodec::FileKind::Auto, ConversionFaults *faults = nullptr,
    ConversionWarnings *warnings = nullptr);

// The kind a text is converted by, as the editor knows it. `templateId` is
// the template the user made the text from (zone and reverse zone: a zone
// file; domain conf: named.conf; virtual host: a web-server file), or 0 when
// the text came from `path` alone. Without such a template the path's
// extension tells: ".zone" a zone file; ".conf" named.conf or a web-server
// file, told apart by `content` and named.conf when the content cannot
// tell, since that converts the fewest names. Without either extension,
// "db.*" is a zone file and "named.conf.*" is read as ".conf" is. Anything
// else is recognised from the content by the library.
namecodec::FileKind conversionKind(int templateId, const QString &path, QByteArrayView content);

// A whole document's bytes converted through two temporary files in
// `tempDirectory`: the source copy and the result. Both are gone when this
// returns, whatever happened.
//
// `readResult`, when given, is offered the converted file before anything
// else reads it; when it takes the text (returns true) `text` stays empty,
// which spares a copy of the whole result for a reader that maps the file.
// When it declines, `text` holds the bytes as without it.
struct TextConversion {
    bool ok = false;
    QByteArray text; // the converted bytes, on success, unless readResult took them
    int errorLine = 0; // the first failing line, 0 when no line is to blame
    ConversionFaults faults; // every failing line the library named
    ConversionWarnings warnings; // Hangul hosts left inside rules, on success
    QString error; // a Korean message when the temporary copy failed
    bool streamed = false; // the sink took the whole text as it was made
};

// Takes the converted text while the library is still writing it, on a
// thread of its own, so that reading the result overlaps converting it on a
// machine with a core to spare. It is given whole lines in order (each
// piece ends with its '\n'), then whatever follows the last line break
// with `last` set. What it took stands only when the conversion succeeds.
class ConvertedTextSink {
public:
    virtual ~ConvertedTextSink() = default;
    // False when the sink cannot take the text after all (a line it does not
    // read): the rest is read and dropped, and the result is then made
    // again into a file for the other readers.
    virtual bool take(QByteArrayView lines, bool last) = 0;
};
using ConvertedFileReader = std::function<bool(QFile &converted)>;
TextConversion convertDocumentBytes(const QByteArray &bytes, namecodec::Encoding from, namecodec::Encoding to,
    int keepComment, const QString &tempDirectory, namecodec::FileKind kind = namecodec::FileKind::Auto,
    const ConvertedFileReader &readResult = {}, ConvertedTextSink *sink = nullptr);

// The same with the copy written by `writeCopy` rather than given whole, so
// that a copy made line by line never needs all its bytes in memory at
// once, and the kind asked of `kindOf` with the copy's bytes once written.
// A writer that returns false without a write error has its own reason to
// stop: nothing is converted, and the result carries neither line nor
// message.
using CopyWriter = std::function<bool(QIODevice &copy)>;
using CopyKind = std::function<namecodec::FileKind(QByteArrayView copy)>;
//
// With a `sink`, the result goes to it through a named pipe (`streamed`
// set) rather than through a file, unless the sink declines it.
TextConversion convertDocumentCopy(const CopyWriter &writeCopy, const CopyKind &kindOf,
    namecodec::Encoding from, namecodec::Encoding to, int keepComment, const QString &tempDirectory,
    const ConvertedFileReader &readResult = {}, ConvertedTextSink *sink = nullptr);
