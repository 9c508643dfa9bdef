#pragma once

#include "namecodec/export.h"
#include "namecodec/result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace namecodec {

enum class Encoding { Cp949, Utf8, Punycode };

// The syntax a text is scanned by; Auto recognises it from the content.
enum class FileKind { Auto, Zone, NamedConf, WebServer, General };

// Maps the library's integer codes (0..4) to an encoding; RACE and unknown
// codes give Unsupported.
[[nodiscard]] NAMECODEC_API Result<Encoding> encodingFromCode(int code);

// Korean display name of a file kind, e.g. for the tool's messages.
NAMECODEC_API const char *fileKindName(FileKind kind);

// The comment marker written before kept lines: ";", "//" or "#".
NAMECODEC_API const char *commentMarker(FileKind kind);

// Recognises the kind of a text from its content: the first significant
// lines decide (blank and comment lines are skipped, however many), and a
// text with any zone record line is never General. Give the whole text.
[[nodiscard]] NAMECODEC_API FileKind detectFileKind(std::string_view head);

// ---- Text encodings -------------------------------------------------------

// Decodes bytes in `from` (Cp949 or Utf8) to UTF-16. A failure names the
// first undecodable byte's line and column.
[[nodiscard]] NAMECODEC_API Result<std::u16string> decodeText(std::string_view bytes, Encoding from);

// Encodes UTF-16 text as `to` (Cp949 or Utf8). A failure names the line and
// column of the first character the encoding cannot hold.
[[nodiscard]] NAMECODEC_API Result<std::string> encodeText(std::u16string_view text, Encoding to);

// True when the bytes are well-formed UTF-8.
[[nodiscard]] NAMECODEC_API bool isValidUtf8(std::string_view bytes);

// ---- Single names ---------------------------------------------------------

// Turns every non-ASCII label of `name` (text in `from`, Cp949 or Utf8) into
// its ACE form; ASCII labels are copied byte for byte.
[[nodiscard]] NAMECODEC_API Result<std::string> toAscii(std::string_view name, Encoding from);

// Turns every xn-- label of `name` back into Unicode, written in `to`
// (Cp949 or Utf8); other labels are copied byte for byte.
[[nodiscard]] NAMECODEC_API Result<std::string> toUnicode(std::string_view name, Encoding to);

// ---- Texts and files ------------------------------------------------------

// Told the path of the hidden partial file a conversion writes beside its
// target just before the file is made, and nullptr once it is gone (renamed
// into place or removed). A program that may be killed keeps the path to
// remove it from its signal handler.
using PartialFileHook = std::function<void(const char *path)>;

struct ConvertOptions {
    Encoding from = Encoding::Cp949;
    Encoding to = Encoding::Punycode;
    FileKind kind = FileKind::Auto;
    bool keepComment = false;
    // Stop after this many failing lines (the tool reports them all, the
    // C entry point needs only the first).
    int maxErrors = 1000;
    // On the way to Punycode, look for Hangul hosts left inside rules the
    // conversion does not touch (see ConvertWarning). Costs nothing on
    // lines without a non-ASCII byte.
    bool warnings = true;
    // Keep at most this many warnings; the rest are only counted.
    int maxWarnings = 1000;
    PartialFileHook partialFile;
};

// A Hangul host the conversion left as it was because it stands inside a
// rule: a rewrite condition or `if` on the host, a map of hosts, a regular
// expression server_name, a redirect URL whose host was not converted, the
// hosts of an SPF or DMARC text, a CAA value. Once the names are ACE,
// clients send ACE and such a rule stops matching; the text is the
// administrator's to mend, so it is reported, never changed.
struct ConvertWarning {
    int line = 0; // 1-based
    int outputLine = 0; // the same line in the result, below any kept copies
    int column = 0; // 1-based, in characters of the line
    std::string host; // the host as written, in UTF-8 (a pattern keeps its "\.")
    // The host with every non-ASCII label in ACE form and everything else
    // as written, ready to paste over it; empty when a label cannot be
    // converted.
    std::string ace;
    std::string message; // Korean, ready to show (UTF-8)
};

struct ConvertReport {
    FileKind kind = FileKind::General; // the kind actually used
    std::int64_t lines = 0;
    std::int64_t changedLines = 0;
    std::vector<Error> errors; // every failing line, in order; empty on success
    std::vector<ConvertWarning> warnings; // in line order; a success may carry them
    std::int64_t omittedWarnings = 0; // found past ConvertOptions::maxWarnings
    bool ok() const { return errors.empty(); }
};

// Converts a whole text in memory. On failure the returned text is empty.
[[nodiscard]] NAMECODEC_API std::string convertText(
    std::string_view text, const ConvertOptions &options, ConvertReport &report);

// Converts a file, streaming it line by line; "-" means standard input or
// output. A regular output file is written to a hidden partial file beside it
// (".NAME.<pid>.XXXXXX") and renamed into place only on success, keeping the
// owner, group and mode of the file it replaces; a symbolic link is written
// through (the file it names is replaced, the link stays). A FIFO or device
// is written directly as the result streams, so there a failure may leave
// part of the result already sent. A folder is refused. Partial files left
// beside the target by conversions whose process is gone are removed. A line
// longer than 16 MiB is refused (ErrorKind::TooLong) and nothing after it is
// read.
NAMECODEC_API ConvertReport convertFile(
    const std::string &inPath, const std::string &outPath, const ConvertOptions &options);

} // namespace namecodec
