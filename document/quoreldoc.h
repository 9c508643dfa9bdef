#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "document/remoteorigin.h"

#include "document/documentoutcome.h"
#include "document/filestamp.h"
#include "document/soaserial.h"
#include "document/textfile.h"

#include <memory>
#include <vector>

class CDocTemplate;
class TextBuffer;
struct DocumentContext;

// The document of every editor window: one configuration file held as plain
// text in a TextBuffer that its one view shows. It loads template text,
// opens files with the large-file question, saves (refusing read-only
// copies) and tells the main frame's open-files list every name change.
class CQuorelDoc : public QObject {
    Q_OBJECT
public:
    CQuorelDoc(CDocTemplate &docTemplate, DocumentContext &context, QObject *parent = nullptr);
    ~CQuorelDoc() override;

    // Opening a file above this size (20 MiB) asks first.
    static constexpr qint64 kLargeFileBytes = 20LL * 1024 * 1024;

    static QString readOnlySuffix() { return QStringLiteral(" - [읽기전용]"); }

    CDocTemplate &docTemplate() const { return m_template; }
    int kind() const;
    // True once a file was opened into the document: its template then came
    // from the path's extension, not from the user's choice.
    bool openedFromPath() const { return m_openedFromPath; }
    TextBuffer *textBuffer() const { return m_text; }
    DocumentContext &context() const { return m_context; }

    // Stable for the document's whole life: the key of its open-files entry.
    quint64 id() const { return m_id; }
    // The window that shows the document, for those who bring it forward.
    void setFrame(QObject *frame) { m_frame = frame; }
    QObject *frame() const { return m_frame; }

    QString GetTitle() const { return m_title; }
    void SetTitle(const QString &title);
    QString GetPathName() const { return m_pathName; }
    // Where on which server a downloaded document came from; invalid for a
    // document of the local disk. Saving keeps it; "Save As" elsewhere ends it.
    const RemoteOrigin &remoteOrigin() const { return m_remoteOrigin; }
    void setRemoteOrigin(const RemoteOrigin &origin);
    // What Ctrl+S does about the server: asks each time, or uploads without
    // asking ("always", chosen once for this document).
    bool uploadsWithoutAsking() const { return m_uploadWithoutAsking; }
    void setUploadsWithoutAsking(bool always) { m_uploadWithoutAsking = always; }
    // Sets the path and makes its file name the title.
    void SetPathName(const QString &path);

    bool IsModified() const;
    void SetModifiedFlag(bool modified = true);
    bool isReadOnly() const { return m_readOnly; }

    namecodec::Encoding encoding() const { return m_encoding; }
    LineEnding lineEnding() const { return m_lineEnding; }
    bool hasByteOrderMark() const { return m_byteOrderMark; }

    // The file as the document last read or wrote it.
    FileStamp diskStamp() const { return m_diskStamp; }
    // Called when the file may have changed on disk: a changed file asks
    // whether to read it again or keep the text as it is (then the text is
    // modified, and a save asks before it overwrites); a deleted file marks
    // the document modified. Each change on disk is dealt with once.
    DocumentOutcome checkDiskFile();

    // New document: default title, announce it, then the template text.
    DocumentOutcome OnNewDocument();
    // Opens a file by path: size question above 20 MiB (declining it
    // cancels), decoding, announce. A file that opened as a read-only copy
    // comes with a notice naming its line.
    DocumentOutcome OnOpenDocument(const QString &path);
    // Writes the text to `path` atomically; refuses read-only copies.
    DocumentOutcome OnSaveDocument(const QString &path);
    void OnCloseDocument();
    // Asked before closing: cancelled when the user cancels, else what the
    // save (if any) came to.
    DocumentOutcome SaveModified();

    // Save (57603): to the document's path, or through the name prompt.
    DocumentOutcome DoFileSave();
    // Save as: `path` empty asks for a name; `replace` makes it the document's path.
    DocumentOutcome DoSave(const QString &path, bool replace = true);

    // Turns this document into a read-only copy: flag, title suffix, announce.
    void makeReadOnlyCopy();

    // Replaces the whole text with a file's bytes as the editor reads them,
    // without any question or announcement (used when a converted result is
    // loaded back). False when the file cannot be read.
    bool loadTextFromFile(const QString &path);

    // Tells the main frame's open-files list the text for this document.
    void sendOpenFileList(const QString &text);

    // A whole-text conversion puts a new text in place and keeps the one it
    // replaced, so that undoing it is one step that gives back that text with
    // its own edit history and modified flag. The text's own undo stack would
    // hold both copies of a large file.
    void replaceTextForConversion(std::unique_ptr<TextBuffer> converted);
    // Puts a freshly read text in place; nothing earlier is kept.
    void replaceText(std::unique_ptr<TextBuffer> fresh);
    // A conversion is undone once the current text has no edit of its own
    // left to undo, and redone once the earlier text has none left to redo.
    bool canUndoConversion() const;
    bool canRedoConversion() const;
    bool undoConversion();
    bool redoConversion();

    static QString readOnlySaveText() { return QStringLiteral("읽기전용 파일은 저장할 수 없습니다"); }

signals:
    void titleChanged(const QString &title);
    // The document now holds `current` in place of `old`; `old` is still
    // alive while the signal is delivered (kept for undo, or freed after).
    // `current` is nullptr when the document is being destroyed.
    void textBufferReplaced(TextBuffer *old, TextBuffer *current);
    // The modified flag changed, by an edit, a save, or a text put in place.
    // Follow this rather than the text's own signal, whose sender changes.
    void modifiedChanged(bool modified);
    void closed(CQuorelDoc *doc);
    // The document has just read or written its file at `path`; whoever
    // watches the file watches it again (a save replaces it by rename).
    void diskFileStamped(const QString &path);
    // Something a save did to the text that the status line should tell.
    void statusReported(const QString &text);

private:
    DocumentOutcome loadTemplateText();
    // Asks for a name (telling `reason` first, when there is one) and saves there.
    DocumentOutcome saveUnderNewName(const QString &reason, bool replace = true);
    DocumentOutcome saveAs(const QString &newName, bool replace);
    // Before a changed zone file is written to `path`: its SOA serial
    // counted on, when the user asked for it.
    SoaSerialBump bumpSoaSerialForSave(const QString &path);
    void applyDecoded(const DecodedText &decoded, std::unique_ptr<TextBuffer> built = nullptr);
    void stampDiskFile(const FileStamp &stamp);
    // Before a save writes over the document's own file: true when the file
    // is as the document left it, or the user agrees to overwrite it.
    bool mayOverwriteDiskFile(const QString &path);
    // Puts `next` in place; the text it replaces goes to `keep`, or is freed.
    void swapText(std::unique_ptr<TextBuffer> next, std::vector<std::unique_ptr<TextBuffer>> *keep);
    // After a save the disk holds the current text, so every kept one differs from it.
    void markKeptTextsModified();
    // A kept text back in full before it is swapped in, the wait labelled `label`.
    void unpackForSwap(TextBuffer &text, const QString &label);
    // On closing: every text, the current one too, freed off the GUI thread.
    void releaseTexts();

    CDocTemplate &m_template;
    DocumentContext &m_context;
    TextBuffer *m_text;
    QPointer<QObject> m_frame;
    quint64 m_id;
    QString m_title;
    QString m_pathName;
    RemoteOrigin m_remoteOrigin;
    bool m_uploadWithoutAsking = false;
    bool m_readOnly = false; // set once, when the document becomes a read-only copy
    namecodec::Encoding m_encoding = namecodec::Encoding::Cp949;
    bool m_byteOrderMark = false;
    LineEnding m_lineEnding = LineEnding::LF;
    bool m_closed = false;
    bool m_openedFromPath = false;
    FileStamp m_diskStamp; // at the last open or save
    FileStamp m_seenStamp; // the last state on disk that was dealt with
    // Texts before and after the current one, by conversions undone and redone.
    std::vector<std::unique_ptr<TextBuffer>> m_earlierTexts;
    std::vector<std::unique_ptr<TextBuffer>> m_laterTexts;
};
