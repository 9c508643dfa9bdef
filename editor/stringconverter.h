#pragma once

#include "namecodec/codec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Every dot-separated label of `name` (code page 949 bytes) is at most 34
// bytes: 17 Hangul syllables or 34 letters. Empty labels pass.
bool CheckLabelLength(const QByteArray &name);

// What the string converter dialog does, without the dialog: the label rule,
// the history list and the conversions.
class StringConverter {
public:
    static constexpr int kHistorySlots = 80;
    static constexpr int kSlotBytes = 1000; // a slot holds 999 bytes and the NUL
    static constexpr int kMaxInputBytes = 1024;

    static QString labelTooLongMessage();
    static QString unencodableMessage();
    // Why the library refuses to convert `input` (code page 949 bytes) from
    // `from` to `to`, or an empty text when it does not.
    static QString refusalReason(const QByteArray &input, namecodec::Encoding from, namecodec::Encoding to);

    struct Request {
        QString input;
        namecodec::Encoding from = namecodec::Encoding::Cp949; // or Punycode
        bool wantEucKr = false; // check box 1036
        bool wantPunycode = false; // check box 1038
        bool wantAll = true; // check box 1040 "전체 인코딩"
    };

    enum class Outcome {
        Blank, // nothing but white space: nothing happens
        Unencodable, // a character code page 949 cannot hold
        LabelTooLong, // the label rule refused it
        Converted,
    };

    struct Reply {
        Outcome outcome = Outcome::Blank;
        int historyIndex = -1; // the list item to select
        QString eucKr;
        QString punycode;
        // Why the library refused the name, in its own Korean words; empty
        // when every wanted conversion succeeded.
        QString reason;
    };

    // The dialog opens: its list starts as the kept history, slot 0 on top.
    void open();
    // The dialog closes: the top 80 list items become the history.
    void close();

    Reply convert(const Request &request);

    const QStringList &list() const { return m_list; }
    const QStringList &history() const { return m_history; }

private:
    QStringList m_history; // survives between openings, never written to disk
    QStringList m_list; // the combo box's items while the dialog is open
};
