#include "textfileconversion.h"

#include "namecodec/namecodec.h"
#include "platform/scopedtempfile.h"

#include <QFile>

bool ConvertTextFile(
    const QString &inPath, const QString &outPath, int from, int to, int keepComment, int *errorLine)
{
    if (outPath.isEmpty())
        return true;
    int line = 0;
    const int status = ConvertFile(QFile::encodeName(inPath).constData(),
        QFile::encodeName(outPath).constData(), from, to, keepComment, &line);
    if (errorLine)
        *errorLine = line;
    return status == 0;
}

TextConversion convertDocumentBytes(
    const QByteArray &bytes, int from, int to, int keepComment, const QString &tempDirectory)
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
    if (!ConvertTextFile(source.path(), target.path(), from, to, keepComment, &line)) {
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
