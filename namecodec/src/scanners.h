#pragma once

#include "internal.h"

#include <memory>
#include <string_view>
#include <vector>

namespace namecodec::detail {

// Byte range of a domain name inside one line.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Finds the domain names of one line by the syntax of a file kind. A scanner
// keeps the state that crosses lines (records in parentheses, block comments,
// continued directives), so every line of a file goes through it in order.
class LineScanner {
public:
    explicit LineScanner(Encoding enc)
        : m_enc(enc)
    {
    }
    virtual ~LineScanner() = default;

    // `line` holds no line ending.
    virtual void scan(std::string_view line, std::vector<Span> &names) = 0;

    // Whether a kept comment line may stand before the line last scanned
    // without changing what the file means.
    bool commentAllowed() const { return m_commentAllowed; }

protected:
    std::size_t step(std::string_view line, std::size_t i) const
    {
        return i
            + charLength(reinterpret_cast<const unsigned char *>(line.data()) + i, line.size() - i, m_enc);
    }

    Encoding m_enc;
    bool m_commentAllowed = true;
};

std::unique_ptr<LineScanner> makeScanner(FileKind kind, Encoding enc);

// Whether a line reads as a zone-file record (owner, TTL, class, type, data).
bool looksLikeRecord(std::string_view line);

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace namecodec::detail
