#pragma once

#include "namecodec/codec.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The widgets hold UTF-16; libnamecodec works on 8-bit text. Every step
// between the two goes through the library, never through Qt's own codecs.
std::optional<QByteArray> encodeNameText(const QString &text, namecodec::Encoding encoding);
std::optional<QString> decodeNameText(const QByteArray &bytes, namecodec::Encoding encoding);

// The first bytes of `bytes`, at most `limit`, never ending inside a
// character, so a cut never leaves half a Hangul syllable behind.
QByteArray cutToBytes(const QByteArray &bytes, qsizetype limit, namecodec::Encoding encoding);

// One call of the C entry point with the zero-filled 1024-byte buffer the
// contract asks for. `output` is the buffer's content whatever the result.
struct StringConversion {
    int status = -1; // 0 on success
    QByteArray output;
    bool ok() const { return status == 0; }
};
StringConversion convertNameString(const QByteArray &input, namecodec::Encoding from, namecodec::Encoding to);

// The library's integer code for an encoding, for its C entry points: code
// page 949 is 4 (0 names it too, for find and replace only), UTF-8 1,
// Punycode 2. Nothing above those calls spells a code.
int encodingCode(namecodec::Encoding encoding);

// "-EucKr", "-UTF" or "-PUNY": the name the library gives the encoding.
QString encodingName(namecodec::Encoding encoding);
