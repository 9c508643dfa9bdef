#include "document/quoreldoc.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "document/buildtext.h"
#include "document/doctemplate.h"
#include "document/documentcontext.h"
#include "document/openfilelistnotifier.h"
#include "document/prompter.h"
#include "document/savefile.h"
#include "document/textbuffer.h"
#include "document/textfileconversion.h"
#include "platform/logging.h"
#include "platform/quorelids.h"
#include "platform/settings.h"

namespace {
quint64 nextDocumentId()
{
    static quint64 last = 0;
    return ++last;
}
} // namespace

CQuorelDoc::CQuorelDoc(CDocTemplate &docTemplate, DocumentContext &context, QObject *parent)
    : QObject(parent)
    , m_template(docTemplate)
    , m_context(context)
    , m_text(new TextBuffer(this))
    , m_id(nextDocumentId())
{
    connect(m_text, &TextBuffer::modificationChanged, this, &CQuorelDoc::modifiedChanged);
    m_template.addDocument(this);
}

CQuorelDoc::~CQuorelDoc()
{
    releaseTexts();
    m_template.removeDocument(this);
}

int CQuorelDoc::kind() const
{
    return m_template.id;
}

void CQuorelDoc::SetTitle(const QString &title)
{
    m_title = title;
    emit titleChanged(title);
}

void CQuorelDoc::SetPathName(const QString &path)
{
    // Saved under another name, the text is no longer the server's file.
    if (!m_pathName.isEmpty() && path != m_pathName) {
        m_remoteOrigin = {};
        m_uploadWithoutAsking = false;
    }
    m_pathName = path;
    SetTitle(QFileInfo(path).fileName());
}

void CQuorelDoc::setRemoteOrigin(const RemoteOrigin &origin)
{
    m_remoteOrigin = origin;
    m_uploadWithoutAsking = false;
    emit titleChanged(m_title);
}

bool CQuorelDoc::IsModified() const
{
    return m_text->isModified();
}

void CQuorelDoc::SetModifiedFlag(bool modified)
{
    m_text->setModified(modified);
}

void CQuorelDoc::sendOpenFileList(const QString &text)
{
    if (m_context.openFileList)
        m_context.openFileList->announce(m_id, text);
}

void CQuorelDoc::applyDecoded(const DecodedText &decoded, std::unique_ptr<TextBuffer> built)
{
    // Set first: whoever shows them looks when the text changes.
    m_encoding = decoded.encoding;
    m_byteOrderMark = decoded.byteOrderMark;
    m_lineEnding = decoded.ending;
    if (built)
        replaceText(std::move(built));
    else
        loadIntoDocument(*m_text, decoded);
}

DocumentOutcome CQuorelDoc::OnNewDocument()
{
    SetTitle(m_template.untitledTitle());
    sendOpenFileList(m_title);
    DocumentOutcome outcome = loadTemplateText();
    if (outcome)
        m_template.countUntitled();
    return outcome;
}

DocumentOutcome CQuorelDoc::loadTemplateText()
{
    if (m_template.id == ids::templ::kGeneral || !m_context.settings)
        return DocumentOutcome::done();
    const QString path = m_context.settings->samplePath(m_template.id);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qCWarning(lcDocument) << "cannot open the template" << path << "-"
                              << (path.isEmpty() ? QStringLiteral("no path set") : file.errorString());
        return DocumentOutcome::failed(
            QStringLiteral("%1 서식 파일을 열 수 없습니다.\n%2").arg(m_template.newName, path));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcDocument) << "cannot read the template" << path << "-" << file.errorString();
        return DocumentOutcome::failed(
            QStringLiteral("%1 서식 파일을 읽을 수 없습니다.\n%2").arg(m_template.newName, path));
    }
    const DecodedText decoded = decodeFileBytes(bytes);
    if (decoded.badLine != 0) {
        const int line = decoded.badLine;
        return DocumentOutcome::failed(
            QStringLiteral("%1 서식 파일의 %2번째 줄을 EUC-KR이나 UTF-8로 읽을 수 없습니다.\n%3")
                .arg(m_template.newName)
                .arg(line)
                .arg(path),
            line);
    }
    applyDecoded(decoded);
    SetModifiedFlag(false);
    return DocumentOutcome::done();
}

DocumentOutcome CQuorelDoc::OnOpenDocument(const QString &path)
{
    // Folders and devices (a FIFO, /dev/zero) are not text files to load.
    const QFileInfo info(path);
    if (!info.isFile()) {
        qCWarning(lcDocument) << "cannot open" << path << "-"
                              << (!info.exists()        ? "no such file"
                                         : info.isDir() ? "a folder"
                                                        : "not a regular file");
        return DocumentOutcome::failed();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcDocument) << "cannot open" << path << "-" << file.errorString();
        return DocumentOutcome::failed();
    }
    if (file.size() > CQuorelDoc::kLargeFileBytes) {
        const bool yes = m_context.prompter->question(
            QStringLiteral(
                "파일 크기가 20M를 넘어갑니다. 큰 파일은 작업이 불가능할 수 있습니다. 여시겠습니까?"),
            m_context.appName);
        if (!yes)
            return DocumentOutcome::cancelled();
    }
    // Taken before reading: a write that lands while we read is then seen
    // as a change on disk, not lost.
    const FileStamp stamp = FileStamp::of(path);
    // Reading, decoding and laying out a large file take a while: off the
    // GUI thread, so the window keeps painting and shows that it is busy.
    DecodedText decoded;
    std::unique_ptr<TextBuffer> built;
    bool readOk = false;
    QThread *owner = thread();
    QElapsedTimer took;
    took.start();
    runDocumentWork(
        m_context, QStringLiteral("%1\n파일을 열고 있습니다...").arg(QFileInfo(path).fileName()), [&] {
            const QByteArray bytes = file.readAll();
            readOk = file.error() == QFileDevice::NoError;
            if (!readOk)
                return;
            decoded = decodeFileBytes(bytes);
            built = buildTextBuffer(decoded, owner);
            decoded.text = QString(); // in the buffer now; freed here, not on the GUI thread
            decoded.breaks = {};
        });
    if (!readOk) {
        qCWarning(lcDocument) << "cannot read" << path << "-" << file.errorString();
        return DocumentOutcome::failed(
            QStringLiteral("파일을 읽을 수 없습니다.\n%1\n%2").arg(path, file.errorString()));
    }
    qCDebug(lcDocument) << "opened" << path << file.size() << "bytes,"
                        << (decoded.encoding == namecodec::Encoding::Utf8 ? "UTF-8" : "CP949") << "in"
                        << took.elapsed() << "ms";
    file.close();
    applyDecoded(decoded, std::move(built));
    SetPathName(path);
    stampDiskFile(stamp);
    m_openedFromPath = true;
    SetModifiedFlag(false);
    sendOpenFileList(path);
    if (decoded.badLine != 0) {
        qCWarning(lcDocument) << "line" << decoded.badLine << "of" << path
                              << "decodes neither as CP949 nor as UTF-8; opened read-only";
        // Showing the text is safe; writing it back would replace the bytes
        // that did not decode, so the document can only be a read-only copy.
        makeReadOnlyCopy();
        return DocumentOutcome::done(
            QStringLiteral(
                "%1번째 줄을 EUC-KR이나 UTF-8로 읽을 수 없습니다. 읽을 수 없는 바이트는 �로 보이며, "
                "파일을 바꾸지 않도록 읽기전용으로 엽니다.\n%2")
                .arg(decoded.badLine)
                .arg(path),
            decoded.badLine);
    }
    return DocumentOutcome::done();
}

bool CQuorelDoc::loadTextFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    const DecodedText decoded = decodeFileBytes(bytes);
    if (decoded.badLine != 0)
        return false;
    applyDecoded(decoded);
    return true;
}

void CQuorelDoc::makeReadOnlyCopy()
{
    m_readOnly = true;
    SetTitle(m_title + readOnlySuffix());
    sendOpenFileList(m_title);
}

void CQuorelDoc::stampDiskFile(const FileStamp &stamp)
{
    m_diskStamp = stamp;
    m_seenStamp = stamp;
    emit diskFileStamped(m_pathName);
}

bool CQuorelDoc::mayOverwriteDiskFile(const QString &path)
{
    if (m_pathName.isEmpty() || path != m_pathName)
        return true;
    const FileStamp now = FileStamp::of(path);
    // A file deleted meanwhile is simply written again.
    if (!now.exists || now == m_diskStamp)
        return true;
    // This question deals with the change; the watch must not ask about it
    // again on top of it.
    m_seenStamp = now;
    return m_context.prompter->question(
        QStringLiteral("'%1' 파일이 열거나 저장한 뒤에 다른 프로그램에서 바뀌었습니다.\n"
                       "바뀐 내용을 버리고 지금 편집 중인 내용으로 덮어쓰시겠습니까?")
            .arg(path),
        m_context.appName);
}

DocumentOutcome CQuorelDoc::checkDiskFile()
{
    if (m_pathName.isEmpty() || m_readOnly || m_closed)
        return DocumentOutcome::done();
    const FileStamp now = FileStamp::of(m_pathName);
    if (now == m_seenStamp)
        return DocumentOutcome::done();
    m_seenStamp = now;
    if (!now.exists) {
        // The text is now the only copy: it must not close unsaved unasked.
        SetModifiedFlag(true);
        return DocumentOutcome::done();
    }
    if (now == m_diskStamp)
        return DocumentOutcome::done();
    const bool reload = m_context.prompter->question(
        QStringLiteral("'%1' 파일이 다른 프로그램에서 바뀌었습니다.\n"
                       "파일을 다시 읽어 오시겠습니까? '아니요'를 누르면 편집 중인 내용을 그대로 둡니다.")
            .arg(m_pathName),
        m_context.appName);
    if (!reload) {
        // The text no longer matches the file: keep it marked until saved,
        // and the save asks before it overwrites the newer file.
        SetModifiedFlag(true);
        return DocumentOutcome::done();
    }
    if (!loadTextFromFile(m_pathName)) {
        SetModifiedFlag(true);
        return DocumentOutcome::failed(
            QStringLiteral("바뀐 파일을 다시 읽을 수 없어 편집 중인 내용을 그대로 둡니다.\n%1")
                .arg(m_pathName));
    }
    SetModifiedFlag(false);
    stampDiskFile(now);
    return DocumentOutcome::done();
}

DocumentOutcome CQuorelDoc::OnSaveDocument(const QString &path)
{
    if (m_readOnly)
        return DocumentOutcome::failed(readOnlySaveText());
    if (!mayOverwriteDiskFile(path))
        return DocumentOutcome::cancelled();
    sendOpenFileList(path);
    auto restoreName = [this] { sendOpenFileList(m_pathName.isEmpty() ? m_title : m_pathName); };

    // Encoding and writing may be slow (a large file, a slow disk): off the
    // GUI thread, from a copy of the text taken here.
    TextSnapshot snapshot = snapshotText(*m_text, m_lineEnding);
    EncodeResult encoded;
    QString failure;
    runDocumentWork(m_context, QStringLiteral("%1\n저장하고 있습니다...").arg(QFileInfo(path).fileName()),
        [&, encoding = m_encoding, ending = m_lineEnding, bom = m_byteOrderMark] {
            encoded = encodeSnapshot(snapshot, encoding, ending, bom);
            snapshot = TextSnapshot(); // its million shared lines let go off the GUI thread
            if (encoded.ok())
                failure = saveFileBytes(path, encoded.bytes);
        });
    if (!encoded.ok()) {
        qCWarning(lcDocument).noquote() << "not saved" << path << "-" << oneLine(encoded.message);
        restoreName();
        return DocumentOutcome::failed(encoded.message, encoded.errorLine);
    }
    if (!failure.isEmpty()) {
        restoreName();
        return DocumentOutcome::failed(failure);
    }
    SetModifiedFlag(false);
    if (!m_pathName.isEmpty() && path == m_pathName)
        stampDiskFile(FileStamp::of(path));
    markKeptTextsModified();
    return DocumentOutcome::done();
}

DocumentOutcome CQuorelDoc::DoFileSave()
{
    if (m_pathName.isEmpty())
        return DoSave(QString());
    // A file made read-only while it was open is saved under another name,
    // never made writable behind the user's back; the name question says why.
    if (isReadOnlyFile(m_pathName) && !m_readOnly)
        return saveUnderNewName(QStringLiteral(
            "'%1' 파일은 읽기 전용이어서 그 자리에 저장할 수 없습니다. 다른 이름으로 저장하십시오.")
                                    .arg(m_pathName));
    return DoSave(m_pathName);
}

DocumentOutcome CQuorelDoc::DoSave(const QString &path, bool replace)
{
    // A read-only copy is refused before any name is asked: asking would
    // only lead to the same refusal.
    if (m_readOnly)
        return DocumentOutcome::failed(readOnlySaveText());
    if (path.isEmpty())
        return saveUnderNewName(QString(), replace);
    return saveAs(path, replace);
}

DocumentOutcome CQuorelDoc::saveUnderNewName(const QString &reason, bool replace)
{
    QString proposal = m_pathName;
    if (proposal.isEmpty()) {
        proposal = m_title;
        if (!m_template.extension.isEmpty() && !proposal.contains(QLatin1Char('.')))
            proposal += m_template.extension;
    }
    const QString newName = reason.isEmpty()
        ? m_context.prompter->saveFileName(proposal, m_template.filterName)
        : m_context.prompter->saveFileNameBecause(reason, m_context.appName, proposal, m_template.filterName);
    if (newName.isEmpty())
        return DocumentOutcome::cancelled();
    return saveAs(newName, replace);
}

SoaSerialBump CQuorelDoc::bumpSoaSerialForSave(const QString &path)
{
    if (!m_context.settings || !m_context.settings->bumpSoaSerialOnSave() || !IsModified()
        || conversionKind(kind(), path, {}) != namecodec::FileKind::Zone)
        return {};
    return bumpSoaSerial(*m_text, QDate::currentDate());
}

DocumentOutcome CQuorelDoc::saveAs(const QString &newName, bool replace)
{
    const SoaSerialBump bump = bumpSoaSerialForSave(newName);
    DocumentOutcome outcome = OnSaveDocument(newName);
    if (!outcome) {
        // Unsaved, the text keeps its serial, so the next save counts from it
        // and not from a number no file ever held.
        if (bump.changed) {
            m_text->undo();
            m_text->clearUndoRedoStacks(TextBuffer::RedoStack);
        }
        return outcome;
    }
    if (!bump.message.isEmpty())
        emit statusReported(bump.message);
    if (replace && newName != m_pathName) {
        SetPathName(newName);
        stampDiskFile(FileStamp::of(newName));
        if (m_context.addRecentFile)
            m_context.addRecentFile(newName);
    }
    return outcome;
}

DocumentOutcome CQuorelDoc::SaveModified()
{
    if (m_readOnly)
        SetModifiedFlag(false); // a read-only copy's edits are dropped without asking
    if (!IsModified())
        return DocumentOutcome::done();
    const QString name = m_pathName.isEmpty() ? m_title : m_pathName;
    switch (m_context.prompter->questionYesNoCancel(
        QStringLiteral("변경 내용을 %1에 저장하시겠습니까?").arg(name), m_context.appName)) {
    case Prompter::Answer::Yes:
        return DoFileSave();
    case Prompter::Answer::No:
        return DocumentOutcome::done();
    case Prompter::Answer::Cancel:
        break;
    }
    return DocumentOutcome::cancelled();
}

void CQuorelDoc::OnCloseDocument()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_context.openFileList)
        m_context.openFileList->announceClosed(m_id);
    m_template.removeDocument(this);
    emit closed(this);
}
