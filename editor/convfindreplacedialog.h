#pragma once

#include "editor/viewsearch.h"
#include "namecodec/codec.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The modeless find dialog (template 1542 "변환+찾기") or find-and-replace
// dialog (1541 "변환+바꾸기") of one view. Beside each text field, "EUC-KR"
// and "Punycode" turn a name in the field into the other form before it is
// sought. The dialog only collects; the view searches when it is told.
// The dialog frees itself when it closes.
class CConvFindReplaceDialog : public QDialog {
    Q_OBJECT
public:
    // The common dialog's buffers hold 127 bytes and a NUL.
    static constexpr int kMaxTextBytes = 127;

    // `encoding` is the document's: the byte limits count in it.
    CConvFindReplaceDialog(
        bool findOnly, const QString &findText, namecodec::Encoding encoding, QWidget *parent = nullptr);

    bool isFindOnly() const { return m_bFindOnly; }

    // The texts a search uses: at most their first 127 bytes.
    QString findText() const;
    QString replaceText() const;
    // The option boxes as they were last read: by "다음 찾기" and by the
    // conversion buttons, never by "바꾸기" or "모두 바꾸기".
    FindOptions options() const { return {m_bMatchCase, m_bWholeWord}; }

    // The text `text` cut to `limit` bytes of `encoding`, never inside a
    // character.
    static QString cutText(const QString &text, int limit, namecodec::Encoding encoding);

signals:
    void findNextRequested();
    void replaceRequested();
    void replaceAllRequested();
    void findPreviousRequested();

private:
    QPushButton *addButton(int id, const QString &text);
    void UpdateData();
    void onFindNext();
    // Buttons 1016 to 1019: the field's name in the other encoding.
    void convertField(QLineEdit *field, namecodec::Encoding from, namecodec::Encoding to);
    void keepWithinLimit(QLineEdit *field);
    void showHint(const QString &text);

    bool m_bWholeWord = false;
    bool m_bMatchCase = false;
    QLineEdit *m_findEdit = nullptr;
    QLineEdit *m_replaceEdit = nullptr;
    QString m_strScratch;
    bool m_bFindOnly = true;
    namecodec::Encoding m_encoding;
    QCheckBox *m_wholeWordBox = nullptr;
    QCheckBox *m_matchCaseBox = nullptr;
    QLabel *m_hint = nullptr;
};
