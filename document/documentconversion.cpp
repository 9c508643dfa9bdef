#include "documentconversion.h"

#include "document/buildtext.h"
#include "document/documentcontext.h"
#include "document/lineblocks.h"
#include "document/quoreldoc.h"
#include "document/textbuffer.h"
#include "document/textfile.h"
#include "document/textfileconversion.h"
#include "document/workrunner.h"
#include "namecodec/codec.h"
#include "platform/logging.h"
#include "platform/settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <future>
#include <limits>
#include <memory>
#include <system_error>
#include <utility>

namespace {

struct Outcome {
    TextConversion conversion;
    DecodedText decoded;
    bool decodedOk = false;
    std::unique_ptr<TextBuffer> text;
};

// The converted bytes read back in the document's own encoding. The editor's
// reader guesses the encoding; for a result that guess may differ from the
// document's (a UTF-8 document turned all ASCII, or code page 949 bytes that
// happen to form UTF-8), and the document must not change its encoding
// under the user.
bool decodeAs(const QByteArray &bytes, namecodec::Encoding encoding, DecodedText &decoded)
{
    decoded = decodeFileBytes(bytes);
    if (decoded.encoding == encoding && decoded.badLine == 0)
        return true;
    const auto text
        = namecodec::decodeText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
            encoding == namecodec::Encoding::Utf8 ? namecodec::Encoding::Utf8 : namecodec::Encoding::Cp949);
    if (!text)
        return false;
    // Line breaks are the same bytes in both encodings, so reading the text
    // again as UTF-8 gives the same breaks and the right characters.
    const QString unicode = QString::fromUtf16(text->data(), static_cast<qsizetype>(text->size()));
    decoded = decodeFileBytes(unicode.toUtf8());
    decoded.encoding = encoding;
    return decoded.badLine == 0;
}

// Converted code page 949 bytes as UTF-16, into `units`: a stretch of plain
// ASCII is widened in place, one with Hangul goes through the table whole
// rather than line by line, which spares an allocation for every line.
// False when the bytes do not decode.
bool decodePlainCp949(QByteArrayView bytes, std::u16string &units)
{
    const bool ascii = QtPrivate::isAscii(QLatin1StringView(bytes.data(), bytes.size()));
    if (!ascii) {
        auto decoded
            = namecodec::decodeText(std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())),
                namecodec::Encoding::Cp949);
        if (!decoded)
            return false;
        units = std::move(*decoded);
        return true;
    }
    units.resize(static_cast<std::size_t>(bytes.size()));
    std::transform(bytes.begin(), bytes.end(), units.begin(),
        [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
    return true;
}

// The lines of converted code page 949 bytes whose breaks are all LF, added
// to `lines`, read a stretch of a few hundred kilobytes at a time. Unless `last`,
// the bytes end with a line break and no line follows it. False when the
// bytes need the general reader (a CR, or bytes that do not decode).
template <typename Lines>
bool appendPlainCp949Lines(QByteArrayView bytes, bool last, Lines &lines, LineBlocks &blocks)
{
    if (bytes.contains('\r'))
        return false;
    const std::size_t needed = lines.size() + static_cast<std::size_t>(bytes.count('\n')) + 1;
    if (needed > lines.capacity())
        lines.reserve(std::max(needed, lines.capacity() * 2));
    // Small enough that its UTF-16 form stays below the size the allocator
    // maps apart (keepLargeAllocationsApart), so each stretch reuses memory.
    constexpr qsizetype kStretch = 256 * 1024;
    std::u16string units;
    qsizetype start = 0;
    for (;;) {
        // A stretch ends just after a line break, or with the bytes.
        const qsizetype lineBreak
            = bytes.size() - start > kStretch ? bytes.indexOf('\n', start + kStretch) : -1;
        const qsizetype end = lineBreak < 0 ? bytes.size() : lineBreak + 1;
        if (!decodePlainCp949(bytes.sliced(start, end - start), units))
            return false;
        const std::u16string_view text(units);
        std::size_t from = 0;
        for (std::size_t at = text.find(u'\n'); at != std::u16string_view::npos;
             at = text.find(u'\n', from)) {
            const std::u16string_view line = text.substr(from, at - from);
            lines.push_back(blocks.make(static_cast<qsizetype>(line.size()),
                [line](char16_t *to) { std::copy(line.begin(), line.end(), to); }));
            from = at + 1;
        }
        if (end == bytes.size()) {
            // What follows the last break is a line of its own only at the
            // very end; elsewhere it is empty.
            if (last) {
                const std::u16string_view line = text.substr(from);
                lines.push_back(blocks.make(static_cast<qsizetype>(line.size()),
                    [line](char16_t *to) { std::copy(line.begin(), line.end(), to); }));
            }
            return true;
        }
        start = end;
    }
}

bool appendPlainCp949Lines(QByteArrayView bytes, std::vector<QString> &lines)
{
    LineBlocks blocks;
    return appendPlainCp949Lines(bytes, true, lines, blocks);
}

} // namespace

// A large result is read in two halves at once: the time goes mostly to the
// first touch of the fresh memory of a million strings, which two threads
// share, and the window needs little of either core while it only repaints.
std::unique_ptr<TextBuffer> readPlainCp949Text(QByteArrayView bytes)
{
    constexpr qsizetype kSplitFrom = 1024 * 1024;
    const qsizetype middle = bytes.size() >= kSplitFrom ? bytes.indexOf('\n', bytes.size() / 2) : -1;
    std::vector<std::vector<QString>> pieces(middle < 0 ? 1 : 2);
    if (middle < 0) {
        if (!appendPlainCp949Lines(bytes, pieces[0]))
            return nullptr;
    } else {
        const auto readSecond = [&later = pieces[1], rest = bytes.sliced(middle + 1)] {
            return appendPlainCp949Lines(rest, later);
        };
        std::future<bool> second;
        try {
            second = std::async(std::launch::async, readSecond);
        } catch (const std::system_error &) {
            // No thread to be had: the second half after the first, here.
            second = std::async(std::launch::deferred, readSecond);
        }
        const bool firstRead = appendPlainCp949Lines(bytes.first(middle), pieces[0]);
        if (!second.get() || !firstRead)
            return nullptr;
    }
    auto text = std::make_unique<TextBuffer>();
    text->setLinePieces(std::move(pieces));
    return text;
}

void PlainCp949Lines::expect(std::size_t lines)
{
    m_lines.reserve(lines);
}

bool PlainCp949Lines::take(QByteArrayView lines, bool last)
{
    return appendPlainCp949Lines(lines, last, m_lines, m_blocks);
}

std::unique_ptr<TextBuffer> PlainCp949Lines::text()
{
    auto text = std::make_unique<TextBuffer>();
    text->setLines(std::move(m_lines));
    return text;
}

namespace {

// The converted file of a code page 949 document, read through a mapping:
// no copy of the whole result is made.
bool readPlainCp949File(QFile &converted, std::unique_ptr<TextBuffer> &text)
{
    const qint64 size = converted.size();
    if (size <= 0 || size > std::numeric_limits<qsizetype>::max())
        return false;
    const uchar *mapped = converted.map(0, size);
    if (!mapped)
        return false;
    text = readPlainCp949Text(QByteArrayView(mapped, static_cast<qsizetype>(size)));
    converted.unmap(const_cast<uchar *>(mapped));
    return text != nullptr;
}

struct WorkerJob {
    const TextBuffer *text = nullptr;
    QString path;
    int templateId = 0;
    namecodec::Encoding from = namecodec::Encoding::Cp949;
    namecodec::Encoding to = namecodec::Encoding::Punycode;
    int keepComment = 1;
    QString tempDirectory;
    namecodec::Encoding encoding = namecodec::Encoding::Cp949;
    LineEnding ending = LineEnding::LF;
    QThread *owner = nullptr;
    QElapsedTimer clock; // for the debug log of where the time goes
};

// The copy of a code page 949 document with LF breaks, written a batch of
// lines at a time: the lines are gathered as UTF-16 and a batch goes
// through the table in one call (plain ASCII is narrowed as it is), so
// neither the whole copy nor a list of the lines is ever in memory, and no
// line costs an allocation of its own. False with `unencodable` set when a
// line holds a character code page 949 cannot, which the general encoder
// then names.
bool writePlainCp949(const TextBuffer &text, QIODevice &copy, bool &unencodable)
{
    // Small enough to stay below the size the allocator maps apart.
    constexpr std::size_t kBatch = 192 * 1024;
    std::u16string batch;
    batch.reserve(kBatch + 1024);
    std::string narrow;
    const auto write = [&copy](const std::string &bytes) {
        return copy.write(bytes.data(), static_cast<qint64>(bytes.size()))
            == static_cast<qint64>(bytes.size());
    };
    const auto flush = [&batch, &narrow, &write, &unencodable] {
        if (QtPrivate::isAscii(QStringView(batch.data(), static_cast<qsizetype>(batch.size())))) {
            narrow.resize(batch.size());
            std::transform(
                batch.begin(), batch.end(), narrow.begin(), [](char16_t c) { return static_cast<char>(c); });
            batch.clear();
            return write(narrow);
        }
        const auto encoded = namecodec::encodeText(batch, namecodec::Encoding::Cp949);
        unencodable = !encoded;
        batch.clear();
        return !unencodable && write(*encoded);
    };
    const int lineCount = text.lineCount();
    for (int number = 0; number < lineCount; ++number) {
        const QString &line = text.line(number);
        if (number > 0)
            batch += u'\n';
        batch.append(
            reinterpret_cast<const char16_t *>(line.constData()), static_cast<std::size_t>(line.size()));
        if (batch.size() >= kBatch && !flush())
            return false;
    }
    return flush();
}

// The quick way for a code page 949 document with LF breaks: the copy
// written straight from the document's lines, the result read straight
// from the converted file. False when the general way must take over (a
// character the encoding cannot hold), with nothing converted.
bool convertPlainCp949(const WorkerJob &job, Outcome &outcome)
{
    if (job.encoding != namecodec::Encoding::Cp949 || job.ending != LineEnding::LF)
        return false;
    bool unencodable = false;
    const auto write
        = [&job, &unencodable](QIODevice &copy) { return writePlainCp949(*job.text, copy, unencodable); };
    const auto kindOf
        = [&job](QByteArrayView content) { return conversionKind(job.templateId, job.path, content); };
    const auto read = [&outcome](QFile &converted) { return readPlainCp949File(converted, outcome.text); };
    // Read as it is made: lines kept as comments at most double the count.
    PlainCp949Lines streamed;
    streamed.expect(static_cast<std::size_t>(job.text->lineCount()) * (job.keepComment == 1 ? 2 : 1) + 1);
    outcome.conversion = convertDocumentCopy(
        write, kindOf, job.from, job.to, job.keepComment, job.tempDirectory, read, &streamed);
    if (unencodable) {
        outcome.conversion = TextConversion();
        return false;
    }
    if (outcome.conversion.ok && outcome.conversion.streamed)
        outcome.text = streamed.text();
    return true;
}

// The general way: the copy encoded whole from a snapshot of the lines, so
// that the encoder can name the line a character cannot be written on.
void convertThroughSnapshot(const WorkerJob &job, EncodeResult &encoded, Outcome &outcome)
{
    // The text cannot change meanwhile: the work holds back user input, and
    // other document work waits for it (WorkGate).
    TextSnapshot snapshot = snapshotText(*job.text, job.ending);
    encoded = encodeSnapshot(snapshot, job.encoding, job.ending);
    // Letting go of a million shared lines is work too: here, not on the GUI thread.
    snapshot = TextSnapshot();
    if (!encoded.ok())
        return;
    const namecodec::FileKind kind = conversionKind(job.templateId, job.path, encoded.bytes);
    qCDebug(lcConversion) << "encoded at" << job.clock.elapsed() << "ms";
    ConvertedFileReader plainReader;
    if (job.encoding == namecodec::Encoding::Cp949)
        plainReader = [&outcome](QFile &converted) { return readPlainCp949File(converted, outcome.text); };
    outcome.conversion = convertDocumentBytes(
        encoded.bytes, job.from, job.to, job.keepComment, job.tempDirectory, kind, plainReader);
    encoded.bytes.clear();
}

// The result read back into lines: a code page 949 document's straight from
// the converted file, anything else (or a result with CR breaks) through
// the general reader.
void readResult(const WorkerJob &job, Outcome &outcome)
{
    if (!outcome.text && decodeAs(outcome.conversion.text, job.encoding, outcome.decoded)) {
        outcome.text = buildTextBuffer(outcome.decoded, nullptr);
        // The lines are in the buffer now; tens of megabytes are freed
        // here rather than on the GUI thread.
        outcome.decoded.text = QString();
        outcome.decoded.breaks = {};
    }
    outcome.decodedOk = outcome.text != nullptr;
    outcome.conversion.text.clear();
    if (outcome.text) {
        outcome.text->setModified(false);
        outcome.text->moveToThread(job.owner);
    }
}

// Everything between taking the text and putting the result in place: the
// copy, the library's conversion and reading the result back. The text is
// read where it lies: the work holds back user input, and other document
// work waits for it (WorkGate), so nothing changes it meanwhile.
void convertOnWorker(WorkerJob &job, EncodeResult &encoded, Outcome &outcome)
{
    if (!convertPlainCp949(job, outcome))
        convertThroughSnapshot(job, encoded, outcome);
    qCDebug(lcConversion) << "converted and read at" << job.clock.elapsed() << "ms";
    if (!encoded.ok() || !outcome.conversion.ok)
        return;
    readResult(job, outcome);
    qCDebug(lcConversion) << "lines built at" << job.clock.elapsed() << "ms";
}

} // namespace

namecodec::FileKind documentConversionKind(const CQuorelDoc &doc, QByteArrayView content)
{
    return conversionKind(doc.openedFromPath() ? 0 : doc.kind(), doc.GetPathName(), content);
}

QString conversionFailedText()
{
    return QStringLiteral("변환에 실패하였습니다.");
}

QString readOnlyConversionText()
{
    return QStringLiteral("읽기전용 파일은 변환할수 없습니다.");
}

DocumentOutcome ConvertDocument(CQuorelDoc &doc, namecodec::Encoding from, namecodec::Encoding to)
{
    DocumentContext &context = doc.context();
    if (doc.isReadOnly())
        return DocumentOutcome::failed(readOnlyConversionText());
    const QString name = doc.GetPathName().isEmpty() ? doc.GetTitle() : doc.GetPathName();
    const namecodec::Encoding encoding = doc.encoding();
    if (encoding == namecodec::Encoding::Utf8) {
        from = from == namecodec::Encoding::Cp949 ? namecodec::Encoding::Utf8 : from;
        to = to == namecodec::Encoding::Cp949 ? namecodec::Encoding::Utf8 : to;
    }

    auto fail = [&](int line, const QString &message) {
        doc.sendOpenFileList(name);
        return DocumentOutcome::failed(message, line);
    };

    // The copy holds exactly the bytes a save would write. Taking the text,
    // encoding it, converting and reading the result all run on the worker,
    // and the window keeps painting.
    WorkerJob job;
    job.clock.start();
    job.text = doc.textBuffer();
    job.templateId = doc.openedFromPath() ? 0 : doc.kind();
    job.path = doc.GetPathName();
    job.from = from;
    job.to = to;
    job.keepComment = context.commentOption ? context.commentOption() : 1;
    job.tempDirectory = context.settings ? context.settings->tempDirectory() : QDir::tempPath();
    job.encoding = encoding;
    job.ending = doc.lineEnding();
    job.owner = doc.thread();
    const QPointer<CQuorelDoc> alive(&doc);
    EncodeResult encoded;
    Outcome outcome;
    const auto work = [&] { convertOnWorker(job, encoded, outcome); };
    const QString shownName = doc.GetPathName().isEmpty() ? doc.GetTitle() : QFileInfo(name).fileName();
    runDocumentWork(context, QStringLiteral("%1\n변환하고 있습니다...").arg(shownName), work);

    if (!alive) // cannot happen while closing is held back; never touch a freed document
        return DocumentOutcome::failed();
    if (!encoded.ok()) {
        qCWarning(lcConversion) << "not converted" << name << "- line" << encoded.errorLine
                                << "cannot be written in the document's encoding";
        return fail(encoded.errorLine,
            QStringLiteral("%1번째 줄에 %2(으)로 쓸 수 없는 문자가 있어 변환하지 않았습니다.")
                .arg(encoded.errorLine)
                .arg(encoding == namecodec::Encoding::Utf8 ? QStringLiteral("UTF-8")
                                                           : QStringLiteral("EUC-KR")));
    }
    if (!outcome.conversion.ok) {
        DocumentOutcome failed = fail(outcome.conversion.errorLine, outcome.conversion.error);
        failed.faults = outcome.conversion.faults;
        return failed;
    }
    if (!outcome.decodedOk) {
        qCWarning(lcConversion) << "the converted text of" << name << "does not decode in its encoding";
        return fail(0, QStringLiteral("변환한 결과를 읽을 수 없습니다. 문서는 바뀌지 않았습니다."));
    }

    // Modified before it is in place, so the flag does not blink clean.
    outcome.text->setModified(true);
    qCDebug(lcConversion) << "back on the window at" << job.clock.elapsed() << "ms";
    doc.replaceTextForConversion(std::move(outcome.text));
    qCDebug(lcConversion) << "text in place at" << job.clock.elapsed() << "ms";
    doc.sendOpenFileList(name);
    DocumentOutcome done = DocumentOutcome::done();
    done.warnings = std::move(outcome.conversion.warnings);
    return done;
}
