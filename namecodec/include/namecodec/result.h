#pragma once

#include <tl/expected.hpp>

#include <string>

namespace namecodec {

enum class ErrorKind {
    Decode, // bytes that do not decode in the text's encoding
    Encode, // a character the target encoding cannot hold
    Disallowed, // a code point IDNA does not allow in a name
    LabelTooLong, // an ACE label over 63 octets
    NameTooLong, // a name over 253 octets
    BadAce, // a malformed xn-- label
    Io,
    Unsupported, // RACE, unknown codes
    TooLong, // a result that does not fit the caller's buffer
};

struct Error {
    ErrorKind kind = ErrorKind::Io;
    int line = 0; // 1-based; 0 where no line applies
    int column = 0; // 1-based, in characters of the line
    std::string label; // the offending label or name, in the text's encoding
    std::string message; // Korean, ready to show (UTF-8)
};

template <typename T> using Result = tl::expected<T, Error>;
using Unexpected = tl::unexpected<Error>;

} // namespace namecodec
