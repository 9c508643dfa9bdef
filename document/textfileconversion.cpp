#include "textfileconversion.h"

#include "document/filenamekind.h"
#include "document/namebytes.h"
#include "namecodec/namecodec.h"
#include "platform/logging.h"
#include "platform/quorelids.h"
#include "platform/scopedtempfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <pthread.h>
#include <system_error>
#include <unistd.h>

namespace {

// Enough for a user to mend a file in one pass; the window lists 20 of them.
constexpr int kMaxReportedFaults = 1000;

ConversionFault faultFrom(const namecodec::Error &error, namecodec::Encoding textEncoding)
{
    ConversionFault fault;
    fault.line = error.line > 0 ? error.line : 1;
    fault.column = error.column;
    // The label is in the text's own encoding; an xn-- label is ASCII.
    const QByteArray label = QByteArray::fromStdString(error.label);
    fault.label = decodeNameText(label,
        textEncoding == namecodec::Encoding::Utf8 ? namecodec::Encoding::Utf8 : namecodec::Encoding::Cp949)
                      .value_or(QString::fromLatin1(label));
    fault.reason = QString::fromStdString(error.message);
    if (fault.reason.isEmpty())
        fault.reason = QStringLiteral("이 줄을 변환할 수 없습니다.");
    return fault;
}

ConversionWarnings warningsFrom(const namecodec::ConvertReport &report)
{
    ConversionWarnings list;
    list.reserve(static_cast<qsizetype>(report.warnings.size()));
    for (const namecodec::ConvertWarning &warning : report.warnings) {
        ConversionWarning item;
        item.line = warning.outputLine > 0 ? warning.outputLine : warning.line;
        item.column = warning.column;
        item.host = QString::fromStdString(warning.host);
        item.ace = QString::fromStdString(warning.ace);
        list.append(item);
    }
    list.omitted = report.omittedWarnings;
    return list;
}

} // namespace

namecodec::FileKind conversionKind(int templateId, const QString &path, QByteArrayView content)
{
    switch (templateId) {
    case ids::templ::kZone:
    case ids::templ::kReverseZone:
        return namecodec::FileKind::Zone;
    case ids::templ::kNamedConf:
        return namecodec::FileKind::NamedConf;
    case ids::templ::kVirtualHost:
        return namecodec::FileKind::WebServer;
    default:
        break;
    }
    const QString name = QFileInfo(path).fileName();
    const bool zoneExtension = name.endsWith(QStringLiteral(".zone"), Qt::CaseInsensitive);
    const bool confExtension = name.endsWith(QStringLiteral(".conf"), Qt::CaseInsensitive);
    if (zoneExtension || (!confExtension && FileNameKind::isZoneName(name)))
        return namecodec::FileKind::Zone;
    if (confExtension || FileNameKind::isNamedConfName(name)) {
        const namecodec::FileKind seen = namecodec::detectFileKind(
            std::string_view(content.data(), static_cast<std::size_t>(content.size())));
        return seen == namecodec::FileKind::WebServer ? seen : namecodec::FileKind::NamedConf;
    }
    return namecodec::FileKind::Auto;
}

bool ConvertTextFile(const QString &inPath, const QString &outPath, namecodec::Encoding from,
    namecodec::Encoding to, int keepComment, int *errorLine, namecodec::FileKind kind,
    ConversionFaults *faults, ConversionWarnings *warnings)
{
    if (outPath.isEmpty())
        return true;
    // The C++ entry point, not ConvertFileAs: it names every failing line
    // with its column, label and reason, where the C one keeps the first
    // line's number only. The options are the ones ConvertFileAs would pass.
    namecodec::ConvertOptions options;
    options.from = from;
    options.to = to;
    options.kind = kind;
    options.keepComment = keepComment == 1;
    options.maxErrors = faults ? kMaxReportedFaults : 1;
    options.warnings = warnings != nullptr;
    qCDebug(lcConversion) << "converting" << inPath << "from encoding" << int(from) << "to" << int(to)
                          << "kind" << int(kind);
    QElapsedTimer took;
    took.start();
    const namecodec::ConvertReport report = namecodec::convertFile(
        QFile::encodeName(inPath).toStdString(), QFile::encodeName(outPath).toStdString(), options);
    if (report.ok()) {
        qCDebug(lcConversion) << "converted" << report.lines << "lines," << report.changedLines
                              << "changed, in" << took.elapsed() << "ms";
        if (errorLine)
            *errorLine = 0;
        if (warnings)
            *warnings = warningsFrom(report);
        return true;
    }
    const namecodec::Error &first = report.errors.front();
    qCWarning(lcConversion).noquote()
        << "conversion of" << inPath << "refused:" << report.errors.size() << "failing lines; first at line"
        << first.line << "column" << first.column << "-" << QString::fromStdString(first.message);
    if (errorLine)
        *errorLine = report.errors.front().line > 0 ? report.errors.front().line : 1;
    if (faults) {
        faults->clear();
        for (const namecodec::Error &error : report.errors)
            faults->append(faultFrom(error, from));
    }
    return false;
}

TextConversion convertDocumentBytes(const QByteArray &bytes, namecodec::Encoding from, namecodec::Encoding to,
    int keepComment, const QString &tempDirectory, namecodec::FileKind kind,
    const ConvertedFileReader &readResult, ConvertedTextSink *sink)
{
    return convertDocumentCopy([&bytes](QIODevice &copy) { return copy.write(bytes) == bytes.size(); },
        [kind](QByteArrayView) { return kind; }, from, to, keepComment, tempDirectory, readResult, sink);
}

namespace {

// Reads the pipe to its end, handing the sink whole lines; the library's
// writes would wait on a full pipe otherwise, so the rest is read even once
// the sink has declined. False when the sink declined (or, which only a bug
// could cause, the pipe could not be read).
bool feedSink(int fd, ConvertedTextSink &sink)
{
    constexpr qsizetype kPiece = 1024 * 1024;
    QByteArray buffer;
    qsizetype filled = 0;
    bool taking = true;
    for (;;) {
        if (buffer.size() - filled < kPiece)
            buffer.resize(filled + kPiece);
        const ssize_t got = ::read(fd, buffer.data() + filled, static_cast<std::size_t>(kPiece));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            qCWarning(lcConversion) << "cannot read the converted text from its pipe -"
                                    << std::strerror(errno);
            return false;
        }
        if (got == 0)
            return taking && sink.take(QByteArrayView(buffer.constData(), filled), true);
        if (!taking)
            continue; // dropped: `filled` stays 0
        const qsizetype lastBreak = QByteArrayView(buffer.constData() + filled, got).lastIndexOf('\n');
        filled += got;
        if (lastBreak < 0)
            continue; // a line longer than what was read so far
        const qsizetype whole = filled - got + lastBreak + 1;
        taking = sink.take(QByteArrayView(buffer.constData(), whole), false);
        filled = taking ? filled - whole : 0;
        if (filled > 0) // the start of the next line
            std::memmove(buffer.data(), buffer.constData() + whole, static_cast<std::size_t>(filled));
    }
}

enum class Streamed { Taken, Declined, Failed, Unavailable };

struct ConversionRequest {
    namecodec::Encoding from;
    namecodec::Encoding to;
    int keepComment;
    namecodec::FileKind kind;
};

bool convertInto(const QString &sourcePath, const QString &targetPath, const ConversionRequest &request,
    TextConversion &result)
{
    int line = 0;
    if (ConvertTextFile(sourcePath, targetPath, request.from, request.to, request.keepComment, &line,
            request.kind, &result.faults, &result.warnings))
        return true;
    result.errorLine = line > 0 ? line : 1;
    return false;
}

// The library converts here, into the named pipe at `pipePath`, while a
// thread of its own reads the pipe into the sink.
Streamed convertIntoSink(const QString &sourcePath, const QString &pipePath, const ConversionRequest &request,
    ConvertedTextSink &sink, TextConversion &result)
{
    const QByteArray native = QFile::encodeName(pipePath);
    // The read end without waiting for a writer, then a write end of ours:
    // the reader sees the end of the text only when that one is closed,
    // after the library is done, whether or not it ever opened the pipe.
    const int readEnd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int ourEnd = readEnd < 0 ? -1 : ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    std::future<bool> reading;
#ifdef F_SETPIPE_SZ
    // Room for a whole block of the library's output, so that it seldom
    // waits on the reader; where the system refuses, the default serves.
    if (readEnd >= 0)
        ::fcntl(readEnd, F_SETPIPE_SZ, 1024 * 1024);
#endif
    if (ourEnd >= 0 && ::fcntl(readEnd, F_SETFL, O_RDONLY) == 0) {
        try {
            reading = std::async(std::launch::async, [readEnd, &sink] {
                pthread_setname_np(pthread_self(), "quorel-result");
                return feedSink(readEnd, sink);
            });
        } catch (const std::system_error &) {
            // No thread to be had: the result goes through a file.
        }
    }
    if (!reading.valid()) {
        for (const int fd : {readEnd, ourEnd})
            if (fd >= 0)
                ::close(fd);
        return Streamed::Unavailable;
    }
    const bool converted = convertInto(sourcePath, pipePath, request, result);
    ::close(ourEnd);
    const bool taken = reading.get();
    ::close(readEnd);
    if (!converted)
        return Streamed::Failed;
    if (!taken)
        return Streamed::Declined;
    result.ok = true;
    result.streamed = true;
    return Streamed::Taken;
}

// The result read from the file the library wrote: offered to `readResult`
// first, else read whole into the result.
void readConvertedFile(const QString &path, const ConvertedFileReader &readResult, TextConversion &result)
{
    QFile converted(path);
    if (!converted.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("변환 결과를 읽을 수 없습니다: %1").arg(converted.errorString());
        qCWarning(lcConversion) << "cannot read the converted copy" << path << "-" << converted.errorString();
        return;
    }
    result.ok = true;
    if (readResult && readResult(converted))
        return;
    if (!converted.seek(0)) {
        result.ok = false;
        result.error = QStringLiteral("변환 결과를 읽을 수 없습니다: %1").arg(converted.errorString());
        return;
    }
    result.text = converted.readAll();
}

// The copy written and its kind taken from its own bytes, mapped.
bool writeCopyFile(const QString &path, const CopyWriter &writeCopy, const CopyKind &kindOf,
    namecodec::FileKind &kind, TextConversion &result)
{
    QFile copy(path);
    const bool opened = copy.open(QIODevice::ReadWrite | QIODevice::Truncate);
    const bool written = opened && writeCopy(copy) && copy.flush();
    if (!written && (!opened || copy.error() != QFileDevice::NoError)) {
        result.error = QStringLiteral("임시 파일에 쓸 수 없습니다: %1").arg(copy.errorString());
        qCWarning(lcConversion) << "cannot write the copy to convert" << path << "-" << copy.errorString();
        return false;
    }
    if (!written) // the writer's own reason, which it keeps
        return false;
    const uchar *mapped = copy.size() > 0 ? copy.map(0, copy.size()) : nullptr;
    kind = kindOf(mapped ? QByteArrayView(mapped, static_cast<qsizetype>(copy.size())) : QByteArrayView());
    return true;
}

} // namespace

TextConversion convertDocumentCopy(const CopyWriter &writeCopy, const CopyKind &kindOf,
    namecodec::Encoding from, namecodec::Encoding to, int keepComment, const QString &tempDirectory,
    const ConvertedFileReader &readResult, ConvertedTextSink *sink)
{
    TextConversion result;
    // The result name is taken (exclusively) before the source copy is
    // written, so the library replaces a file of ours, never someone else's.
    ScopedTempFile source;
    ScopedTempFile target;
    if (!source.create(tempDirectory, &result.error))
        return result;
    const bool piped = sink && target.createFifo(tempDirectory);
    if (!piped && !target.create(tempDirectory, &result.error))
        return result;
    ConversionRequest request {from, to, keepComment, namecodec::FileKind::Auto};
    if (!writeCopyFile(source.path(), writeCopy, kindOf, request.kind, result))
        return result;

    if (piped) {
        switch (convertIntoSink(source.path(), target.path(), request, *sink, result)) {
        case Streamed::Taken:
        case Streamed::Failed:
            return result;
        case Streamed::Declined:
        case Streamed::Unavailable:
            // Made again into a file, for the readers that take any text.
            result = TextConversion();
            if (!target.create(tempDirectory, &result.error))
                return result;
            break;
        }
    }
    if (!convertInto(source.path(), target.path(), request, result))
        return result;
    source.remove();
    readConvertedFile(target.path(), readResult, result);
    return result;
}
