#pragma once

#include <QDate>
#include <QString>
#include <QStringView>

#include <optional>

class TextBuffer;

// Where a zone text's SOA serial stands, as the editor's buffer counts.
struct SoaSerialSpot {
    int position = 0; // of the serial's first digit
    QString digits;
};

// The serial of the first SOA record in `text`: the first field after the
// record's mname and rname, across parentheses and lines, comments and
// quoted strings skipped. None when the text has no SOA record or its serial
// is not a number.
std::optional<SoaSerialSpot> findSoaSerial(const TextBuffer &text);

// The serial that follows `serial` when saved on `today`. A YYYYMMDDnn
// serial of an earlier day becomes today's first, one of today counts on;
// anything else (a future date, nn at 99, a plain number) is one more. None
// when the next one would pass 4294967295, where secondaries would see it
// wrap to a smaller one.
std::optional<QString> nextSoaSerial(QStringView serial, QDate today);

// What bumping a text's serial came to.
struct SoaSerialBump {
    bool changed = false; // the text holds the new serial, as one undo step
    QString message; // Korean, for the status line; empty when there was no SOA
};

// Puts the next serial in place of the current one, as one undo step whose
// undo selects the serial it gave back.
SoaSerialBump bumpSoaSerial(TextBuffer &text, QDate today);
