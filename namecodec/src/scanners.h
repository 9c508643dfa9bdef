#pragma once

#include "internal.h"

#include <cstring>
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

    // A scanner in this one's state, to go on from the same line; what
    // shows a file's marks keeps one every so many lines, so that it can
    // start anywhere without scanning from the top.
    virtual std::unique_ptr<LineScanner> clone() const = 0;

    // `line` holds no line ending.
    virtual void scan(std::string_view line, std::vector<Span> &names) = 0;

    // Whether a kept comment line may stand before the line last scanned
    // without changing what the file means.
    bool commentAllowed() const { return m_commentAllowed; }

    // Where scan() puts the hosts it sees inside rules that the conversion
    // leaves alone (regular expressions, conditions on the host, redirect
    // URLs, SPF, DMARC and CAA data): clients send the ACE form once the
    // names change, so a rule still spelled in Hangul stops matching. Null
    // (the default) when nobody asks.
    void setRuleHosts(std::vector<Span> *hosts) { m_ruleHosts = hosts; }

protected:
    // Notes every run of host characters in [b, e) of `line` that holds a
    // non-ASCII character. An escaped dot (\.) joins labels as in a
    // regular expression; everything else that is no name character ends a
    // run, so the pattern around a host never becomes part of it.
    void noteRuleHosts(std::string_view line, std::size_t b, std::size_t e) const;

    // Notes the host of every URL in [b, e), whatever its scheme and after
    // any user information.
    void noteUrlHosts(std::string_view line, std::size_t b, std::size_t e) const;

    std::size_t step(std::string_view line, std::size_t i) const
    {
        return i
            + charLength(reinterpret_cast<const unsigned char *>(line.data()) + i, line.size() - i, m_enc);
    }

    Encoding m_enc;
    bool m_commentAllowed = true;
    std::vector<Span> *m_ruleHosts = nullptr;
};

// `backToUnicode` tells the general scanner which names it looks for: runs
// holding a Hangul label on the way to Punycode, runs holding an xn-- label
// on the way back.
std::unique_ptr<LineScanner> makeScanner(FileKind kind, Encoding enc, bool backToUnicode);

// One scanner per file kind, each in a file of its own; makeScanner picks
// among them.
std::unique_ptr<LineScanner> makeZoneScanner(Encoding enc);
std::unique_ptr<LineScanner> makeNamedConfScanner(Encoding enc);
std::unique_ptr<LineScanner> makeWebServerScanner(Encoding enc);
std::unique_ptr<LineScanner> makeGeneralScanner(Encoding enc, bool backToUnicode);

// A list of names given on their own (ConvertString): every run of name
// characters is a name, one label or more.
std::unique_ptr<LineScanner> makeNameListScanner(Encoding enc);

// Whether a line reads as a zone-file record (owner, TTL, class, type, data).
bool looksLikeRecord(std::string_view line);

// Lines longer than this are refused, so that memory stays bounded whatever
// the input (a file without line ends, /dev/zero).
constexpr std::size_t kMaxLineBytes = 16 * 1024 * 1024;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Calls f(content, ending) for every line of `data`; LF, CRLF and a lone CR
// (old Mac files) end a line, and `ending` is the break exactly as it stood.
// Without `last`, a line not yet ended (or ended by a CR whose LF may follow
// in the next block) is left over. f returns false to stop. Returns the bytes
// used.
template <typename F> std::size_t forEachLine(std::string_view data, bool last, F &&f)
{
    const char *base = data.data();
    const std::size_t size = data.size();
    auto findCr = [&](std::size_t from) {
        const void *p = from < size ? std::memchr(base + from, '\r', size - from) : nullptr;
        return p ? static_cast<std::size_t>(static_cast<const char *>(p) - base) : std::string_view::npos;
    };
    std::size_t pos = 0;
    std::size_t cr = findCr(0);
    while (pos < size) {
        if (cr != std::string_view::npos && cr < pos)
            cr = findCr(pos);
        // Most files have no CR at all: then one memchr per line.
        const std::size_t limit = cr == std::string_view::npos ? size : cr;
        const void *lf = std::memchr(base + pos, '\n', limit - pos);
        std::size_t end, next;
        if (lf) {
            end = static_cast<std::size_t>(static_cast<const char *>(lf) - base);
            next = end + 1;
        } else if (cr != std::string_view::npos) {
            end = cr;
            if (cr + 1 < size)
                next = base[cr + 1] == '\n' ? cr + 2 : cr + 1;
            else if (last)
                next = cr + 1;
            else
                break;
        } else {
            if (!last)
                break;
            f(data.substr(pos), std::string_view());
            return size;
        }
        const bool more = f(data.substr(pos, end - pos), data.substr(end, next - end));
        pos = next;
        if (!more)
            return pos;
    }
    return pos;
}

// Recognises the kind of a file from its lines, fed in order. Blank and
// comment lines do not count, however many there are; the kind is decided on
// the first significant lines, and a file that shows a zone record anywhere
// is never general text.
class KindDetector {
public:
    void line(std::string_view line);
    // True once more lines cannot change the kind.
    bool decided() const;
    FileKind kind() const;

private:
    // The line without comments and leading blanks; empty when nothing
    // significant is left.
    std::string_view significantPart(std::string_view raw);
    FileKind byScore() const;

    int m_zone = 0;
    int m_named = 0;
    int m_web = 0;
    int m_significant = 0;
    bool m_first = true;
    bool m_inBlockComment = false;
    bool m_sawRecord = false;
};

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace namecodec::detail
