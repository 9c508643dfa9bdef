#include "textfileconversion.h"

#include "document/namebytes.h"
#include "namecodec/namecodec.h"
#include "platform/quorelids.h"
#include "platform/scopedtempfile.h"

#include <QFile>
#include <QFileInfo>

namespace {

int kindCode(namecodec::FileKind kind)
{
    switch (kind) {
    case namecodec::FileKind::Zone:
        return NAMECODEC_KIND_ZONE;
    case namecodec::FileKind::NamedConf:
        return NAMECODEC_KIND_NAMED_CONF;
    case namecodec::FileKind::WebServer:
        return NAMECODEC_KIND_WEB_SERVER;
    case namecodec::FileKind::General:
        return NAMECODEC_KIND_GENERAL;
    case namecodec::FileKind::Auto:
        break;
    }
    return NAMECODEC_KIND_AUTO;
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
    if (name.endsWith(QStringLiteral(".zone"), Qt::CaseInsensitive))
        return namecodec::FileKind::Zone;
    if (name.endsWith(QStringLiteral(".conf"), Qt::CaseInsensitive)) {
        const namecodec::FileKind seen = namecodec::detectFileKind(
            std::string_view(content.data(), static_cast<std::size_t>(content.size())));
        return seen == namecodec::FileKind::WebServer ? seen : namecodec::FileKind::NamedConf;
    }
    return namecodec::FileKind::Auto;
}

bool ConvertTextFile(const QString &inPath, const QString &outPath, namecodec::Encoding from,
    namecodec::Encoding to, int keepComment, int *errorLine, namecodec::FileKind kind)
{
    if (outPath.isEmpty())
        return true;
    int line = 0;
    const int status
        = ConvertFileAs(QFile::encodeName(inPath).constData(), QFile::encodeName(outPath).constData(),
            encodingCode(from), encodingCode(to), keepComment, kindCode(kind), &line);
    if (errorLine)
        *errorLine = line;
    return status == 0;
}

TextConversion convertDocumentBytes(const QByteArray &bytes, namecodec::Encoding from, namecodec::Encoding to,
    int keepComment, const QString &tempDirectory, namecodec::FileKind kind)
{
    TextConversion result;
    // The result name is taken (exclusively) before the source copy is
    // written, so the library replaces a file of ours, never someone else's.
    ScopedTempFile source;
    ScopedTempFile target;
    if (!source.create(tempDirectory, &result.error) || !target.create(tempDirectory, &result.error))
        return result;

    QFile copy(source.path());
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(bytes) != bytes.size()
        || !copy.flush()) {
        result.error = QStringLiteral("임시 파일에 쓸 수 없습니다: %1").arg(copy.errorString());
        return result;
    }
    copy.close();

    int line = 0;
    if (!ConvertTextFile(source.path(), target.path(), from, to, keepComment, &line, kind)) {
        result.errorLine = line > 0 ? line : 1;
        return result;
    }
    source.remove();

    QFile converted(target.path());
    if (!converted.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("변환 결과를 읽을 수 없습니다: %1").arg(converted.errorString());
        return result;
    }
    result.text = converted.readAll();
    result.ok = true;
    return result;
}
