#pragma once

#include "document/conversionfault.h"
#include "namecodec/codec.h"
#include "platform/scopedtempfile.h"

#include <QByteArray>
#include <QString>

// The work behind the conversion wizard's pages, without any window.

// The output name proposed for a source: its file name cut before the
// first dot ("a.b.zone" gives "a"); empty for an empty source.
QString proposedOutputName(const QString &copySource);

// The result proposed in the save prompt: that name in the source's folder,
// or "<name>.puny.<extension>" where the name alone would be the source's
// own ("hosting.zone"); empty when the name is.
QString proposedTargetPath(const QString &copySource, const QString &extension);

// Whether two paths name the same file (device and inode, through links).
bool isSameFile(const QString &a, const QString &b);

// The path the user chose, with ".<extension>" added when its file name
// has no extension (a dot in a folder name does not count).
QString targetPathWithExtension(const QString &chosen, const QString &extension);

// The wizard's private copy of its source in the temporary folder, made
// afresh each time the preview page opens and removed when it is replaced,
// after a successful conversion and when the wizard goes.
class WorkingCopy {
public:
    // Copies `source` into a new temporary file (created exclusively). The
    // copy before it, if any, is removed first. On failure returns false
    // with a Korean message in `error` and leaves no copy.
    bool make(const QString &source, const QString &tempDirectory, QString *error);
    bool exists() const { return !m_file.path().isEmpty(); }
    const QString &path() const { return m_file.path(); }
    // The source the copy was made from.
    const QString &source() const { return m_source; }
    // The bytes the copy held when it was made or last written.
    const QByteArray &bytes() const { return m_bytes; }
    // Replaces the copy's whole content with `bytes`; the file is never
    // created anew. Returns a Korean message on failure, else empty.
    QString writeBack(const QByteArray &bytes);
    void remove();

private:
    ScopedTempFile m_file;
    QString m_source;
    QByteArray m_bytes;
};

// What converting the working copy came to.
struct WizardConversion {
    bool ok = false;
    int errorLine = 0; // the first failing line, 0 when no line is to blame
    ConversionFaults faults; // every line the library refused, with its reason
    QString error; // a Korean message when no line is to blame
};

// Converts `workingCopy` (code page 949, or UTF-8 when `from` says so) to
// Punycode into a temporary file of its own, then puts the result in place
// of `target` through a partial file beside it and a rename, keeping an
// existing target's owner and mode. A failure leaves the target as it was
// and no temporary file behind.
WizardConversion convertWorkingCopy(const QString &workingCopy, const QString &target,
    namecodec::Encoding from, namecodec::FileKind kind, int keepComment, const QString &tempDirectory);
