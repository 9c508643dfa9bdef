#include "documentconversion.h"

#include "document/buildtext.h"
#include "document/documentcontext.h"
#include "document/quoreldoc.h"
#include "document/textbuffer.h"
#include "document/textfile.h"
#include "document/textfileconversion.h"
#include "document/workrunner.h"
#include "namecodec/codec.h"
#include "platform/logging.h"
#include "platform/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <memory>

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

    // The copy holds exactly the bytes a save would write. Only taking the
    // text happens here; encoding it, converting and reading the result
    // run on the worker, and the window keeps painting.
    TextSnapshot snapshot = snapshotText(*doc.textBuffer(), doc.lineEnding());
    const int templateId = doc.openedFromPath() ? 0 : doc.kind();
    const QString path = doc.GetPathName();
    const QPointer<CQuorelDoc> alive(&doc);
    const int keepComment = context.commentOption ? context.commentOption() : 1;
    const QString tempDirectory = context.settings ? context.settings->tempDirectory() : QDir::tempPath();
    EncodeResult encoded;
    Outcome outcome;
    QThread *owner = doc.thread();
    const auto work = [&outcome, &encoded, &snapshot, &path, owner, from, to, keepComment, tempDirectory,
                          encoding, ending = doc.lineEnding(), templateId] {
        encoded = encodeSnapshot(snapshot, encoding, ending);
        // Letting go of a million shared lines is work too: here, not on the GUI thread.
        snapshot = TextSnapshot();
        if (!encoded.ok())
            return;
        const namecodec::FileKind kind = conversionKind(templateId, path, encoded.bytes);
        outcome.conversion = convertDocumentBytes(encoded.bytes, from, to, keepComment, tempDirectory, kind);
        encoded.bytes.clear();
        if (outcome.conversion.ok)
            outcome.decodedOk = decodeAs(outcome.conversion.text, encoding, outcome.decoded);
        if (outcome.decodedOk) {
            outcome.conversion.text.clear();
            outcome.text = buildTextBuffer(outcome.decoded, owner);
            // The lines are in the buffer now; tens of megabytes are freed
            // here rather than on the GUI thread.
            outcome.decoded.text = QString();
            outcome.decoded.breaks = {};
        }
    };
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
    doc.replaceTextForConversion(std::move(outcome.text));
    doc.sendOpenFileList(name);
    return DocumentOutcome::done();
}
