#pragma once

#include <QByteArray>
#include <QString>

// The only way to the library's file conversion. `keepComment` is the
// application's comment option, passed on unchanged. An empty output path
// succeeds at once without converting.
bool ConvertTextFile(
    const QString &inPath, const QString &outPath, int from, int to, int keepComment, int *errorLine);

// A whole document's bytes converted through two temporary files in
// `tempDirectory`: the source copy and the result. Both are gone when this
// returns, whatever happened.
struct TextConversion {
    bool ok = false;
    QByteArray text; // the converted bytes, on success
    int errorLine = 0; // the first failing line, 0 when no line is to blame
    QString error; // a Korean message when the temporary copy failed
};
TextConversion convertDocumentBytes(
    const QByteArray &bytes, int from, int to, int keepComment, const QString &tempDirectory);
