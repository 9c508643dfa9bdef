#pragma once

#include "namecodec/codec.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace namecodec::detail {

// Length of the character starting at p in text of the given encoding; never
// more than `left` and never 0 for left > 0. Works on malformed text too, so
// scanners stay inside the line whatever it holds.
inline std::size_t charLength(const unsigned char *p, std::size_t left, Encoding enc)
{
    const unsigned char c = *p;
    if (c < 0x80)
        return 1;
    std::size_t n = 1;
    if (enc == Encoding::Utf8) {
        n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    } else if (c >= 0x81 && c <= 0xFE) {
        n = 2;
    }
    return n <= left ? n : left;
}

// True when the bytes hold anything but ASCII: a line or name with no such
// byte has nothing to turn into ACE.
inline bool hasHighByte(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

// Number of characters in the bytes (malformed sequences count per step).
std::size_t countChars(std::string_view bytes, Encoding enc);

// Line (1-based) and column (1-based, in characters) of byte offset `offset`.
void locate(std::string_view text, std::size_t offset, Encoding enc, int &line, int &column);

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);
// The code point of the character starting at p (see charLength); U+FFFD for
// one that does not decode.
char32_t decodeChar(const unsigned char *p, std::size_t left, Encoding enc);

// The bytes as UTF-8 for a message, whatever their encoding; undecodable
// bytes show as U+FFFD and control characters as their pictures (U+2400..).
std::string displayText(std::string_view bytes, Encoding enc);

Error makeError(ErrorKind kind, std::string message, std::string label = {});

// convertText for a list of names given on their own (ConvertString): every
// run of name characters is a name, one label or more, as a user who types a
// single name expects.
std::string convertNameList(std::string_view text, const ConvertOptions &options, ConvertReport &report);

} // namespace namecodec::detail
