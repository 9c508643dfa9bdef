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
    const ConvertedFileReader &readResult)
{
    return convertDocumentCopy([&bytes](QIODevice &copy) { return copy.write(bytes) == bytes.size(); },
        [kind](QByteArrayView) { return kind; }, from, to, keepComment, tempDirectory, readResult);
}

TextConversion convertDocumentCopy(const CopyWriter &writeCopy, const CopyKind &kindOf,
    namecodec::Encoding from, namecodec::Encoding to, int keepComment, const QString &tempDirectory,
    const ConvertedFileReader &readResult)
{
    TextConversion result;
    // The result name is taken (exclusively) before the source copy is
    // written, so the library replaces a file of ours, never someone else's.
    ScopedTempFile source;
    ScopedTempFile target;
    if (!source.create(tempDirectory, &result.error) || !target.create(tempDirectory, &result.error))
        return result;

    // Read and write: the kind is read from the copy's own bytes, mapped.
    QFile copy(source.path());
    const bool opened = copy.open(QIODevice::ReadWrite | QIODevice::Truncate);
    const bool written = opened && writeCopy(copy) && copy.flush();
    if (!written && (!opened || copy.error() != QFileDevice::NoError)) {
        result.error = QStringLiteral("임시 파일에 쓸 수 없습니다: %1").arg(copy.errorString());
        qCWarning(lcConversion) << "cannot write the copy to convert" << source.path() << "-"
                                << copy.errorString();
        return result;
    }
    if (!written) // the writer's own reason, which it keeps
        return result;
    const uchar *mapped = copy.size() > 0 ? copy.map(0, copy.size()) : nullptr;
    const namecodec::FileKind kind
        = kindOf(mapped ? QByteArrayView(mapped, static_cast<qsizetype>(copy.size())) : QByteArrayView());
    copy.close();

    int line = 0;
    if (!ConvertTextFile(source.path(), target.path(), from, to, keepComment, &line, kind, &result.faults,
            &result.warnings)) {
        result.errorLine = line > 0 ? line : 1;
        return result;
    }
    source.remove();

    QFile converted(target.path());
    if (!converted.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("변환 결과를 읽을 수 없습니다: %1").arg(converted.errorString());
        qCWarning(lcConversion) << "cannot read the converted copy" << target.path() << "-"
                                << converted.errorString();
        return result;
    }
    result.ok = true;
    if (readResult && readResult(converted))
        return result;
    if (!converted.seek(0)) {
        result.ok = false;
        result.error = QStringLiteral("변환 결과를 읽을 수 없습니다: %1").arg(converted.errorString());
        return result;
    }
    result.text = converted.readAll();
    return result;
}
