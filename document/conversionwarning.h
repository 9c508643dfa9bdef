#pragma once

#include <QList>
#include <QString>

// A Hangul host a conversion to Punycode left inside a rule (a rewrite
// condition, a regular expression, an SPF text, a CAA value): the rule is
// the user's to mend, so the window lists where it stands and the ACE form
// to put there.
struct ConversionWarning {
    int line = 0; // counted from 1, in the converted text
    int column = 0; // counted from 1, in characters
    QString host; // as written
    QString ace; // the host with its Hangul labels in ACE form; empty when one cannot be converted

    // "12번째 줄: 규칙 안의 한글 호스트 '…'는 바뀌지 않았습니다"
    QString text() const
    {
        return QStringLiteral("%1번째 줄: 규칙 안의 한글 호스트 '%2'는 바뀌지 않았습니다")
            .arg(line)
            .arg(host);
    }
};

// The warnings of one conversion, and how many more it found than it kept:
// a file with thousands of such rules lists the first thousand, and the
// window says how many it does not show.
struct ConversionWarnings : QList<ConversionWarning> {
    using QList<ConversionWarning>::QList;

    qint64 omitted = 0;

    qint64 total() const { return size() + omitted; }
};
