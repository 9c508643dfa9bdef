#include "document/quoreldoc.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

#include "document/doctemplate.h"
#include "document/documentcontext.h"
#include "document/openfilelistnotifier.h"
#include "document/prompter.h"
#include "document/savefile.h"
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
    , m_pText(new QTextDocument(this))
    , m_id(nextDocumentId())
{
    m_pText->setUndoRedoEnabled(true);
    m_template.addDocument(this);
}

CQuorelDoc::~CQuorelDoc()
{
    m_template.removeDocument(this);
}

int CQuorelDoc::kind() const
{
    return m_template.id;
}

void CQuorelDoc::SetTitle(const QString &title)
{
    m_strTitle = title;
    emit titleChanged(title);
}

void CQuorelDoc::SetPathName(const QString &path)
{
    m_strPathName = path;
    SetTitle(QFileInfo(path).fileName());
}

bool CQuorelDoc::IsModified() const
{
    return m_pText->isModified();
}

void CQuorelDoc::SetModifiedFlag(bool modified)
{
    m_pText->setModified(modified);
}

void CQuorelDoc::SendOpenFileList(const QString &text)
{
    if (m_context.openFileList)
        m_context.openFileList->announce(m_id, text);
}

void CQuorelDoc::ShowReadOnlyMessage()
{
    m_context.prompter->information(QStringLiteral("읽기전용 파일은 저장할 수 없습니다"), m_context.appName);
}

void CQuorelDoc::applyDecoded(const DecodedText &decoded)
{
    loadIntoDocument(*m_pText, decoded);
    m_encoding = decoded.encoding;
    m_bByteOrderMark = decoded.byteOrderMark;
    m_lineEnding = decoded.ending;
}

bool CQuorelDoc::OnNewDocument()
{
    SetTitle(m_template.untitledTitle());
    SendOpenFileList(m_strTitle);
    if (!loadTemplateText())
        return false;
    m_template.countUntitled();
    return true;
}

bool CQuorelDoc::loadTemplateText()
{
    if (m_template.id == ids::templ::kGeneral || !m_context.settings)
        return true;
    const QString path = m_context.settings->samplePath(m_template.id);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        m_context.prompter->information(
            QStringLiteral("%1 서식 파일을 열 수 없습니다.\n%2").arg(m_template.newName, path),
            m_context.appName);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_context.prompter->information(
            QStringLiteral("%1 서식 파일을 읽을 수 없습니다.\n%2").arg(m_template.newName, path),
            m_context.appName);
        return false;
    }
    const DecodedText decoded = decodeFileBytes(bytes);
    if (decoded.badLine != 0 || decoded.unheldLine != 0) {
        m_context.prompter->information(
            QStringLiteral("%1 서식 파일의 %2번째 줄을 EUC-KR이나 UTF-8로 읽을 수 없습니다.\n%3")
                .arg(m_template.newName)
                .arg(decoded.badLine != 0 ? decoded.badLine : decoded.unheldLine)
                .arg(path),
            m_context.appName);
        return false;
    }
    applyDecoded(decoded);
    SetModifiedFlag(false);
    return true;
}

bool CQuorelDoc::OnOpenDocument(const QString &path)
{
    // Folders and devices (a FIFO, /dev/zero) are not text files to load.
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > CQuorelDoc::kLargeFileBytes) {
        const bool yes = m_context.prompter->question(
            QStringLiteral(
                "파일 크기가 20M를 넘어갑니다. 큰 파일은 작업이 불가능할 수 있습니다. 여시겠습니까?"),
            m_context.appName);
        if (!yes) {
            m_bOpenDeclined = true;
            return false;
        }
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_context.prompter->information(
            QStringLiteral("파일을 읽을 수 없습니다.\n%1\n%2").arg(path, file.errorString()),
            m_context.appName);
        return false;
    }
    file.close();
    const DecodedText decoded = decodeFileBytes(bytes);
    applyDecoded(decoded);
    SetPathName(path);
    m_bOpenedFromPath = true;
    SetModifiedFlag(false);
    SendOpenFileList(path);
    if (decoded.badLine != 0) {
        // Showing the text is safe; writing it back would replace the bytes
        // that did not decode, so the document can only be a read-only copy.
        MakeReadOnlyCopy();
        m_context.prompter->information(
            QStringLiteral(
                "%1번째 줄을 EUC-KR이나 UTF-8로 읽을 수 없습니다. 읽을 수 없는 바이트는 �로 보이며, "
                "파일을 바꾸지 않도록 읽기전용으로 엽니다.\n%2")
                .arg(decoded.badLine)
                .arg(path),
            m_context.appName);
    } else if (decoded.unheldLine != 0) {
        MakeReadOnlyCopy();
        m_context.prompter->information(
            QStringLiteral("%1번째 줄에 편집기가 그대로 담을 수 없는 문자(U+2029 문단 구분자 등)가 있습니다. "
                           "파일을 바꾸지 않도록 읽기전용으로 엽니다.\n%2")
                .arg(decoded.unheldLine)
                .arg(path),
            m_context.appName);
    }
    return true;
}

bool CQuorelDoc::LoadTextFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    const DecodedText decoded = decodeFileBytes(bytes);
    if (decoded.badLine != 0 || decoded.unheldLine != 0)
        return false;
    applyDecoded(decoded);
    return true;
}

void CQuorelDoc::MakeReadOnlyCopy()
{
    m_bReadOnly = 1;
    SetTitle(m_strTitle + readOnlySuffix());
    SendOpenFileList(m_strTitle);
}

bool CQuorelDoc::OnSaveDocument(const QString &path)
{
    if (m_bReadOnly) {
        ShowReadOnlyMessage();
        return false;
    }
    SendOpenFileList(path);
    auto restoreName = [this] { SendOpenFileList(m_strPathName.isEmpty() ? m_strTitle : m_strPathName); };

    const EncodeResult encoded = encodeDocument(*m_pText, m_encoding, m_lineEnding, m_bByteOrderMark);
    if (!encoded.ok()) {
        restoreName();
        m_context.prompter->information(encoded.message, m_context.appName);
        return false;
    }
    const QString failure = saveFileBytes(path, encoded.bytes);
    if (!failure.isEmpty()) {
        restoreName();
        m_context.prompter->information(failure, m_context.appName);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CQuorelDoc::DoFileSave()
{
    if (m_strPathName.isEmpty())
        return DoSave(QString());
    // A file made read-only while it was open is saved under another name,
    // never made writable behind the user's back.
    if (isReadOnlyFile(m_strPathName)) {
        m_context.prompter->information(
            QStringLiteral(
                "'%1' 파일은 읽기 전용이어서 그 자리에 저장할 수 없습니다. 다른 이름으로 저장하십시오.")
                .arg(m_strPathName),
            m_context.appName);
        return DoSave(QString());
    }
    return DoSave(m_strPathName);
}

bool CQuorelDoc::DoSave(const QString &path, bool replace)
{
    if (m_bReadOnly) {
        // Asking for a name first would only lead to the same refusal.
        ShowReadOnlyMessage();
        return false;
    }
    QString newName = path;
    if (newName.isEmpty()) {
        QString proposal = m_strPathName;
        if (proposal.isEmpty()) {
            proposal = m_strTitle;
            if (!m_template.extension.isEmpty() && !proposal.contains(QLatin1Char('.')))
                proposal += m_template.extension;
        }
        newName = m_context.prompter->saveFileName(proposal, m_template.filterName);
        if (newName.isEmpty())
            return false;
    }
    if (!OnSaveDocument(newName))
        return false;
    if (replace && newName != m_strPathName) {
        SetPathName(newName);
        if (m_context.addRecentFile)
            m_context.addRecentFile(newName);
    }
    return true;
}

bool CQuorelDoc::SaveModified()
{
    if (m_bReadOnly)
        SetModifiedFlag(false); // a read-only copy's edits are dropped without asking
    if (!IsModified())
        return true;
    const QString name = m_strPathName.isEmpty() ? m_strTitle : m_strPathName;
    switch (m_context.prompter->questionYesNoCancel(
        QStringLiteral("변경 내용을 %1에 저장하시겠습니까?").arg(name), m_context.appName)) {
    case Prompter::Answer::Yes:
        return DoFileSave();
    case Prompter::Answer::No:
        return true;
    case Prompter::Answer::Cancel:
        break;
    }
    return false;
}

void CQuorelDoc::OnCloseDocument()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (m_context.openFileList)
        m_context.openFileList->announceClosed(m_id);
    m_template.removeDocument(this);
    emit closed(this);
}
