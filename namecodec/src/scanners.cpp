#include "scanners.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace namecodec::detail {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// ---- zone files -----------------------------------------------------------

struct RecordType {
    std::string_view name;
    unsigned nameFields; // bit i: rdata field i is a domain name
};

constexpr unsigned F(int i)
{
    return 1u << i;
}

// Types whose data hold domain names, and the common ones that hold none (a
// type not listed ends the record's scan, which leaves its data untouched).
constexpr std::array kTypes = {
    RecordType {"A", 0},
    RecordType {"AAAA", 0},
    RecordType {"NS", F(0)},
    RecordType {"CNAME", F(0)},
    RecordType {"DNAME", F(0)},
    RecordType {"PTR", F(0)},
    RecordType {"MB", F(0)},
    RecordType {"MG", F(0)},
    RecordType {"MR", F(0)},
    RecordType {"MD", F(0)},
    RecordType {"MF", F(0)},
    RecordType {"NSEC", F(0)},
    RecordType {"MX", F(1)},
    RecordType {"AFSDB", F(1)},
    RecordType {"RT", F(1)},
    RecordType {"KX", F(1)},
    RecordType {"SOA", F(0) | F(1)},
    RecordType {"RP", F(0) | F(1)},
    RecordType {"MINFO", F(0) | F(1)},
    RecordType {"SRV", F(3)},
    RecordType {"NAPTR", F(5)},
    RecordType {"PX", F(1) | F(2)},
    RecordType {"SVCB", F(1)},
    RecordType {"HTTPS", F(1)},
    RecordType {"RRSIG", F(7)},
    RecordType {"TXT", 0},
    RecordType {"SPF", 0},
    RecordType {"HINFO", 0},
    RecordType {"CAA", 0},
    RecordType {"DS", 0},
    RecordType {"DNSKEY", 0},
    RecordType {"TLSA", 0},
    RecordType {"SSHFP", 0},
    RecordType {"LOC", 0},
    RecordType {"CERT", 0},
    RecordType {"NSEC3", 0},
    RecordType {"NSEC3PARAM", 0},
    RecordType {"URI", 0},
    RecordType {"WKS", 0},
    RecordType {"CDS", 0},
    RecordType {"CDNSKEY", 0},
    RecordType {"OPENPGPKEY", 0},
    RecordType {"SMIMEA", 0},
    RecordType {"ZONEMD", 0},
};

const RecordType *findType(std::string_view token)
{
    if (token.empty() || token.size() > 10)
        return nullptr;
    for (const auto &t : kTypes) {
        if (equalsNoCase(token, t.name))
            return &t;
    }
    return nullptr;
}

bool isClass(std::string_view t)
{
    return equalsNoCase(t, "IN") || equalsNoCase(t, "CH") || equalsNoCase(t, "HS") || equalsNoCase(t, "CS")
        || equalsNoCase(t, "ANY");
}

bool isTtl(std::string_view t)
{
    if (t.empty() || t[0] < '0' || t[0] > '9')
        return false;
    for (const char c : t) {
        if (!((c >= '0' && c <= '9') || std::strchr("smhdwSMHDW", c)))
            return false;
    }
    return true;
}

class ZoneScanner final : public LineScanner {
public:
    using LineScanner::LineScanner;

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        m_commentAllowed = true;
        const std::size_t n = line.size();
        std::size_t i = 0;
        if (m_depth == 0) {
            m_phase = Phase::Type;
            m_nameFields = 0;
            m_field = 0;
            if (n > 0 && line[0] == '$') {
                scanDirective(line, names);
                return;
            }
            // A record that starts in the first column has an owner name.
            if (n > 0 && !isBlank(line[0]) && line[0] != ';' && line[0] != '(' && line[0] != ')'
                && line[0] != '"') {
                i = tokenEnd(line, 0);
                names.push_back({0, i});
            }
        }
        while (i < n) {
            while (i < n && isBlank(line[i]))
                ++i;
            if (i >= n || line[i] == ';')
                break;
            const char c = line[i];
            if (c == '(') {
                ++m_depth;
                ++i;
            } else if (c == ')') {
                if (m_depth > 0)
                    --m_depth;
                ++i;
            } else if (c == '"') {
                i = quotedEnd(line, i);
                if (m_phase == Phase::Data)
                    ++m_field;
                else
                    m_phase = Phase::Skip;
            } else {
                const std::size_t end = tokenEnd(line, i);
                token(line.substr(i, end - i), {i, end}, names);
                i = end;
            }
        }
    }

private:
    enum class Phase { Type, Data, Skip };

    // TTL and class may stand in either order before the type.
    void token(std::string_view text, Span span, std::vector<Span> &names)
    {
        switch (m_phase) {
        case Phase::Type:
            if (isTtl(text) || isClass(text))
                return;
            if (const RecordType *t = findType(text); t && t->nameFields) {
                m_nameFields = t->nameFields;
                m_phase = Phase::Data;
            } else {
                m_phase = Phase::Skip;
            }
            m_field = 0;
            return;
        case Phase::Data:
            if (m_field < 32 && ((m_nameFields >> m_field) & 1u))
                names.push_back(span);
            ++m_field;
            return;
        case Phase::Skip:
            return;
        }
    }

    std::size_t tokenEnd(std::string_view line, std::size_t i) const
    {
        while (i < line.size()) {
            const char c = line[i];
            if (isBlank(c) || c == ';' || c == '(' || c == ')' || c == '"')
                break;
            if (c == '\\' && i + 1 < line.size())
                i = step(line, i + 1);
            else
                i = step(line, i);
        }
        return i;
    }

    std::size_t quotedEnd(std::string_view line, std::size_t i) const
    {
        ++i;
        while (i < line.size() && line[i] != '"') {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            i = step(line, i);
        }
        return i < line.size() ? i + 1 : i;
    }

    void scanDirective(std::string_view line, std::vector<Span> &names) const
    {
        std::vector<Span> tokens;
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && isBlank(line[i]))
                ++i;
            if (i >= line.size() || line[i] == ';')
                break;
            std::size_t end = line[i] == '"' ? quotedEnd(line, i) : tokenEnd(line, i);
            if (end == i)
                end = i + 1;
            tokens.push_back({i, end});
            i = end;
        }
        if (tokens.empty())
            return;
        const std::string_view word = line.substr(tokens[0].begin, tokens[0].end - tokens[0].begin);
        if (equalsNoCase(word, "$ORIGIN") && tokens.size() > 1)
            names.push_back(tokens[1]);
        else if (equalsNoCase(word, "$INCLUDE") && tokens.size() > 2 && line[tokens[2].begin] != '"')
            names.push_back(tokens[2]);
    }

    int m_depth = 0;
    Phase m_phase = Phase::Type;
    unsigned m_nameFields = 0;
    int m_field = 0;
};

// ---- named.conf -----------------------------------------------------------

class NamedConfScanner final : public LineScanner {
public:
    using LineScanner::LineScanner;

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        // A kept comment line inside a block comment could close it early.
        m_commentAllowed = !m_inBlock;
        const std::size_t n = line.size();
        std::size_t i = 0;
        while (i < n) {
            if (m_inBlock) {
                const std::size_t close = line.find("*/", i);
                if (close == std::string_view::npos)
                    return;
                m_inBlock = false;
                i = close + 2;
                continue;
            }
            const char c = line[i];
            if (isBlank(c)) {
                ++i;
            } else if (c == '#' || (c == '/' && i + 1 < n && line[i + 1] == '/')) {
                return;
            } else if (c == '/' && i + 1 < n && line[i + 1] == '*') {
                m_inBlock = true;
                i += 2;
            } else if (c == '"') {
                std::size_t j = i + 1;
                while (j < n && line[j] != '"') {
                    if (line[j] == '\\' && j + 1 < n)
                        ++j;
                    j = step(line, j);
                }
                if (m_expectZoneName)
                    names.push_back({i + 1, j < n ? j : n});
                m_expectZoneName = false;
                i = j < n ? j + 1 : n;
            } else if (c == '{' || c == '}' || c == ';') {
                m_expectZoneName = false;
                ++i;
            } else {
                std::size_t j = i;
                while (j < n && !isBlank(line[j]) && line[j] != '{' && line[j] != '}' && line[j] != ';'
                    && line[j] != '"' && line[j] != '#'
                    && !(line[j] == '/' && j + 1 < n && (line[j + 1] == '/' || line[j + 1] == '*')))
                    j = step(line, j);
                const std::string_view word = line.substr(i, j - i);
                if (m_expectZoneName) {
                    names.push_back({i, j});
                    m_expectZoneName = false;
                } else {
                    m_expectZoneName = word == "zone";
                }
                i = j;
            }
        }
    }

private:
    bool m_inBlock = false;
    bool m_expectZoneName = false;
};

// ---- web-server configuration ----------------------------------------------

// Apache reads a file by lines (continued with '\'); nginx by statements that
// end at ';', '{' or '}', whatever the lines. One scanner follows both: the
// Apache directives by line, nginx's server_name by statement.
class WebServerScanner final : public LineScanner {
public:
    using LineScanner::LineScanner;

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        // A comment line put inside a directive continued with '\' would
        // become part of that directive, and one inside a quoted nginx
        // string would become part of the string.
        m_commentAllowed = !m_continued && m_quote == 0;
        const std::size_t n = line.size();
        std::size_t i = 0;
        while (i < n && isBlank(line[i]))
            ++i;
        const bool continued = m_continued;
        std::size_t end = n;
        while (end > i && isBlank(line[end - 1]))
            --end;
        m_continued = end > i && line[end - 1] == '\\';
        if (m_continued)
            --end;
        std::vector<Span> &found = m_found;
        found.clear();
        if (!continued) {
            m_directive = Directive::None;
            // Apache joins a comment ending in '\' with the next line too.
            // Inside a quoted nginx string a '#' is part of the string.
            if (i < n && line[i] == '#' && m_quote == 0)
                return;
            std::size_t j = i;
            while (j < end && !isBlank(line[j]) && line[j] != '>')
                j = step(line, j);
            const std::string_view word = line.substr(i, j - i);
            if (equalsNoCase(word, "<VirtualHost"))
                m_directive = Directive::VirtualHost;
            else if (equalsNoCase(word, "ServerName"))
                m_directive = Directive::ServerName;
            else if (equalsNoCase(word, "ServerAlias"))
                m_directive = Directive::ServerAlias;
            else if (equalsNoCase(word, "ServerAdmin"))
                m_directive = Directive::ServerAdmin;
            i = j;
        }
        if (m_directive != Directive::None)
            directiveArguments(line.substr(0, end), i, found);
        statements(line, found);
        urls(line.substr(0, end), found);
        // Keep each name once, in line order.
        std::sort(found.begin(), found.end(), [](const Span &a, const Span &b) { return a.begin < b.begin; });
        std::size_t last = 0;
        for (const Span &s : found) {
            if (s.begin >= last && s.end > s.begin) {
                names.push_back(s);
                last = s.end;
            }
        }
        if (!m_continued)
            m_directive = Directive::None;
    }

private:
    enum class Directive { None, VirtualHost, ServerName, ServerAlias, ServerAdmin };

    static bool endsToken(char c) { return isBlank(c) || c == ';' || c == '{' || c == '}'; }

    // nginx's tokens: a statement's first word names it, and the arguments
    // of server_name run to its ';', over as many lines as they take.
    void statements(std::string_view line, std::vector<Span> &found)
    {
        const std::size_t n = line.size();
        std::size_t i = 0;
        while (i < n) {
            if (m_quote != 0) {
                const std::size_t begin = i;
                while (i < n && line[i] != m_quote) {
                    if (line[i] == '\\' && i + 1 < n)
                        ++i;
                    i = step(line, i);
                }
                if (i >= n)
                    return; // the string goes on in the next line
                if (m_serverName && m_quoteStartedHere)
                    serverName(line, begin, i, found);
                m_quote = 0;
                ++i;
                continue;
            }
            const char c = line[i];
            if (isBlank(c)) {
                ++i;
            } else if (c == '#') {
                return;
            } else if (c == ';' || c == '{' || c == '}') {
                m_atStatement = true;
                m_serverName = false;
                ++i;
            } else if (c == '"' || c == '\'') {
                m_quote = c;
                m_quoteStartedHere = true;
                ++i;
                if (m_atStatement) {
                    m_atStatement = false;
                    m_serverName = false;
                }
                // A string closed on this line is handled at the top.
                std::size_t j = i;
                while (j < n && line[j] != c) {
                    if (line[j] == '\\' && j + 1 < n)
                        ++j;
                    j = step(line, j);
                }
                if (j >= n)
                    m_quoteStartedHere = false; // names do not span lines
            } else {
                std::size_t j = i;
                while (j < n && !endsToken(line[j]))
                    j = step(line, j);
                if (m_atStatement) {
                    m_serverName = line.substr(i, j - i) == "server_name";
                    m_atStatement = false;
                } else if (m_serverName) {
                    serverName(line, i, j, found);
                }
                i = j;
            }
        }
    }

    static void serverName(std::string_view line, std::size_t b, std::size_t e, std::vector<Span> &found)
    {
        // Regular expressions (~...) are patterns, not names.
        if (e > b && line[b] != '~')
            found.push_back({b, e});
    }

    void directiveArguments(std::string_view line, std::size_t i, std::vector<Span> &found) const
    {
        const std::size_t n = line.size();
        while (i < n) {
            while (i < n && isBlank(line[i]))
                ++i;
            if (i >= n || line[i] == '#' || line[i] == '>')
                return;
            std::size_t j = i;
            while (j < n && !isBlank(line[j]) && line[j] != '>')
                j = step(line, j);
            std::size_t b = i, e = j;
            if (e - b >= 2 && line[b] == '"' && line[e - 1] == '"') {
                ++b;
                --e;
            }
            argument(line.substr(0, e), b, found);
            i = j;
        }
    }

    void argument(std::string_view line, std::size_t b, std::vector<Span> &found) const
    {
        const std::size_t e = line.size();
        const std::string_view arg = line.substr(b);
        switch (m_directive) {
        case Directive::VirtualHost: {
            if (!arg.empty() && arg[0] == '[')
                return; // an IPv6 address
            const std::size_t colon = arg.rfind(':');
            found.push_back({b, colon == std::string_view::npos ? e : b + colon});
            break;
        }
        case Directive::ServerName: {
            if (arg.find("://") != std::string_view::npos)
                return; // the URL rule takes it
            const std::size_t colon = arg.find(':');
            found.push_back({b, colon == std::string_view::npos ? e : b + colon});
            break;
        }
        case Directive::ServerAlias:
            found.push_back({b, e});
            break;
        case Directive::ServerAdmin: {
            const std::size_t at = arg.rfind('@');
            if (at != std::string_view::npos && arg.find("://") == std::string_view::npos)
                found.push_back({b + at + 1, e});
            break;
        }
        case Directive::None:
            break;
        }
    }

    void urls(std::string_view line, std::vector<Span> &found) const
    {
        std::size_t i = 0;
        while ((i = line.find("://", i)) != std::string_view::npos) {
            const std::size_t hostStart = i + 3;
            const bool http = (i >= 4 && equalsNoCase(line.substr(i - 4, 4), "http"))
                || (i >= 5 && equalsNoCase(line.substr(i - 5, 5), "https"));
            i = hostStart;
            if (!http)
                continue;
            std::size_t j = hostStart;
            while (j < line.size()) {
                const char c = line[j];
                // '$' and braces start nginx and Apache variables, which
                // are no part of a host name.
                if (isBlank(c) || c == '/' || c == ':' || c == '?' || c == '#' || c == '"' || c == '\''
                    || c == '>' || c == '<' || c == ';' || c == ')' || c == '@' || c == '$' || c == '{'
                    || c == '}' || c == '\\' || c == ',')
                    break;
                j = step(line, j);
            }
            if (j < line.size() && line[j] == '@')
                continue; // user information, not a host
            found.push_back({hostStart, j});
            i = j;
        }
    }

    bool m_continued = false;
    Directive m_directive = Directive::None;
    // nginx statement state, carried across lines.
    bool m_atStatement = true;
    bool m_serverName = false;
    char m_quote = 0;
    bool m_quoteStartedHere = false;
    std::vector<Span> m_found;
};

// ---- general documents ------------------------------------------------------

bool isHangul(char32_t c)
{
    return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F)
        || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xD7B0 && c <= 0xD7FF) || (c >= 0xFFA0 && c <= 0xFFDC);
}

bool isAsciiNameChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
        || c == '*' || c == '.';
}

// Letters, marks and digits of any script belong to a name. Invisible format
// characters do too, so that one inside a name is refused rather than
// cutting the name in two; punctuation, symbols and spaces (’ → © and the
// like) are text.
bool isNameCodePoint(char32_t c)
{
    if (c < 0x80)
        return isAsciiNameChar(static_cast<unsigned char>(c));
    if (c == 0xFFFD)
        return false;
    switch (u_charType(static_cast<UChar32>(c))) {
    case U_UPPERCASE_LETTER:
    case U_LOWERCASE_LETTER:
    case U_TITLECASE_LETTER:
    case U_MODIFIER_LETTER:
    case U_OTHER_LETTER:
    case U_NON_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_COMBINING_SPACING_MARK:
    case U_DECIMAL_DIGIT_NUMBER:
    case U_FORMAT_CHAR:
        return true;
    default:
        return false;
    }
}

// In a document of any other kind a name is a dotted run of two labels or
// more that holds a Hangul label (an xn-- label on the way back). A run that
// touches '/' or '\' is part of a path and stays as it is, except the host
// right after "://". Everything else is text: never converted, never a
// reason to fail.
class GeneralScanner final : public LineScanner {
public:
    GeneralScanner(Encoding enc, bool backToUnicode)
        : LineScanner(enc)
        , m_back(backToUnicode)
    {
    }

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        const auto *bytes = reinterpret_cast<const unsigned char *>(line.data());
        const std::size_t n = line.size();
        std::size_t i = 0;
        while (i < n) {
            std::size_t length = 1;
            if (!nameCharAt(bytes, i, n, length)) {
                i += length;
                continue;
            }
            const std::size_t start = i;
            std::size_t labelStart = i;
            int labels = 0;
            bool wanted = false, hangul = false;
            auto closeLabel = [&](std::size_t end) {
                if (end > labelStart)
                    ++labels;
                if (m_back ? isAceStart(line, labelStart, end) : hangul)
                    wanted = true;
                hangul = false;
            };
            while (i < n && nameCharAt(bytes, i, n, length)) {
                if (bytes[i] == '.') {
                    closeLabel(i);
                    labelStart = i + 1;
                } else if (bytes[i] >= 0x80 && !m_back) {
                    hangul = hangul || isHangul(decodeChar(bytes + i, n - i, m_enc));
                }
                i += length;
            }
            closeLabel(i);
            if (labels < 2 || !wanted)
                continue;
            const bool host = start >= 3 && line.substr(start - 3, 3) == "://";
            const bool path = (start > 0 && isSeparator(line[start - 1])) || (i < n && isSeparator(line[i]));
            if (path && !host)
                continue;
            // Dots around the run are punctuation, but a name may end in
            // its root dot.
            std::size_t b = start, e = i;
            while (b < e && line[b] == '.')
                ++b;
            while (e - b >= 2 && line[e - 1] == '.' && line[e - 2] == '.')
                --e;
            names.push_back({b, e});
        }
    }

private:
    static bool isSeparator(char c) { return c == '/' || c == '\\'; }

    static bool isAceStart(std::string_view line, std::size_t b, std::size_t e)
    {
        return e - b >= 4 && (line[b] | 0x20) == 'x' && (line[b + 1] | 0x20) == 'n' && line[b + 2] == '-'
            && line[b + 3] == '-';
    }

    bool nameCharAt(const unsigned char *bytes, std::size_t i, std::size_t n, std::size_t &length) const
    {
        if (bytes[i] < 0x80) {
            length = 1;
            return isAsciiNameChar(bytes[i]);
        }
        length = charLength(bytes + i, n - i, m_enc);
        return isNameCodePoint(decodeChar(bytes + i, n - i, m_enc));
    }

    bool m_back;
};

// ---- names given on their own -------------------------------------------------

class NameListScanner final : public LineScanner {
public:
    using LineScanner::LineScanner;

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        const std::size_t n = line.size();
        std::size_t i = 0;
        while (i < n) {
            if (!isNameChar(line[i])) {
                ++i;
                continue;
            }
            const std::size_t start = i;
            while (i < n && isNameChar(line[i]))
                i = step(line, i);
            names.push_back({start, i});
        }
    }

private:
    static bool isNameChar(char ch)
    {
        const auto c = static_cast<unsigned char>(ch);
        return c >= 0x80 || isAsciiNameChar(c);
    }
};

} // namespace

bool looksLikeRecord(std::string_view line)
{
    std::string_view tokens[6];
    std::size_t count = 0, i = 0;
    while (i < line.size() && count < 6) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i >= line.size() || line[i] == ';' || line[i] == '(' || line[i] == '"')
            break;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]) && line[i] != ';' && line[i] != '(')
            ++i;
        tokens[count++] = line.substr(start, i - start);
    }
    // An owner stands in the first column; then TTL and class in either
    // order, then the type and at least one field of data. A type in lower
    // case counts only after a class, so that prose ("see a cat") does not.
    const std::size_t first = !line.empty() && !isBlank(line[0]) ? 1 : 0;
    bool sawClass = false;
    for (std::size_t k = first; k < count && k < first + 3; ++k) {
        const std::string_view t = tokens[k];
        if (isTtl(t))
            continue;
        if (isClass(t)) {
            sawClass = true;
            continue;
        }
        bool upper = true;
        for (const char c : t)
            upper = upper && !(c >= 'a' && c <= 'z');
        return findType(t) != nullptr && (upper || sawClass) && k + 1 < count;
    }
    return false;
}

namespace {

// Significant lines the kind is decided on; after them only a zone record
// can still turn general text into a zone file.
constexpr int kDecidingLines = 64;

bool inList(std::string_view word, std::initializer_list<std::string_view> list)
{
    for (const std::string_view w : list) {
        if (equalsNoCase(word, w))
            return true;
    }
    return false;
}

bool isCamelCase(std::string_view word)
{
    int upper = 0, lower = 0;
    for (const char c : word) {
        if (c >= 'A' && c <= 'Z')
            ++upper;
        else if (c >= 'a' && c <= 'z')
            ++lower;
        else
            return false;
    }
    return !word.empty() && word[0] >= 'A' && word[0] <= 'Z' && upper >= 2 && lower >= 1;
}

std::string_view trimLeft(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

} // namespace

namespace {

// What one significant line tells: a zone directive ($ORIGIN, $TTL, ...)
// is unmistakable, a statement or section of one syntax is strong evidence,
// and a word several syntaxes or plain prose share is a hint.
constexpr int kDirectiveWeight = 3;
constexpr int kStatementWeight = 2;
constexpr int kHintWeight = 1;
// A text whose best score stays below this is general text.
constexpr int kLeastScore = 2;

struct Vote {
    FileKind kind = FileKind::General;
    int weight = 0;
};

// A significant line (comments and leading blanks gone) split where the
// syntaxes differ.
struct LineShape {
    std::string_view line;
    std::string_view word; // the first word, up to a blank, '{', ';' or '"'
    std::string_view rest; // what follows it, without leading blanks
    char last = '\0'; // the last non-blank character
    bool brace = false;
    bool quote = false;
};

LineShape shapeOf(std::string_view line)
{
    LineShape shape;
    shape.line = line;
    std::size_t wordEnd = 0;
    while (wordEnd < line.size() && !isBlank(line[wordEnd]) && line[wordEnd] != '{' && line[wordEnd] != ';'
        && line[wordEnd] != '"')
        ++wordEnd;
    shape.word = line.substr(0, wordEnd);
    shape.rest = trimLeft(line.substr(wordEnd));
    std::string_view body = line;
    while (!body.empty() && isBlank(body.back()))
        body.remove_suffix(1);
    shape.last = body.empty() ? '\0' : body.back();
    shape.brace = line.find('{') != std::string_view::npos;
    shape.quote = line.find('"') != std::string_view::npos;
    return shape;
}

// Zone directives and records.
std::optional<Vote> zoneVote(std::string_view line, std::string_view raw)
{
    if (line[0] == '$') {
        if (looksLikeRecord(raw)
            || inList(
                line.substr(0, line.find_first_of(" \t")), {"$ORIGIN", "$TTL", "$INCLUDE", "$GENERATE"}))
            return Vote {FileKind::Zone, kDirectiveWeight};
        return Vote {};
    }
    if (looksLikeRecord(raw))
        return Vote {FileKind::Zone, kStatementWeight};
    return std::nullopt;
}

// named.conf statements and nginx blocks and directives, which share braces
// and semicolons.
std::optional<Vote> braceSyntaxVote(const LineShape &s)
{
    // "server {" and "http {" open nginx blocks; named.conf's statements of
    // those names carry an address or a name before the brace.
    if (inList(s.word, {"server", "http"}) && !s.rest.empty() && s.rest[0] == '{')
        return Vote {FileKind::WebServer, kStatementWeight};
    if (inList(s.word,
            {"options", "zone", "acl", "logging", "controls", "key", "view", "masters", "primaries", "server",
                "http", "statistics-channels", "trusted-keys", "managed-keys", "trust-anchors",
                "dnssec-policy", "tls", "parental-agents", "remote-servers", "plugin"})
        && (s.brace || s.quote))
        return Vote {FileKind::NamedConf, kStatementWeight};
    if (equalsNoCase(s.word, "include")) {
        // named.conf quotes its file and ends with ';'; nginx ends with ';'
        // and rarely quotes; Apache has no ';'.
        if (s.quote && s.last == ';')
            return Vote {FileKind::NamedConf, kStatementWeight};
        return Vote {FileKind::WebServer, kStatementWeight};
    }
    const bool statement = s.last == ';' || s.last == '{' || s.last == '}';
    if (statement
        && inList(s.word,
            {"events", "location", "upstream", "listen", "root", "index", "error_log", "access_log",
                "server_name", "worker_processes", "worker_connections", "user", "pid", "sendfile",
                "tcp_nopush", "keepalive_timeout", "gzip", "types", "default_type", "proxy_pass", "return",
                "rewrite", "try_files", "ssl_certificate", "ssl_certificate_key", "add_header", "alias",
                "charset", "client_max_body_size", "autoindex", "expires", "fastcgi_pass", "proxy_set_header",
                "allow", "deny", "error_page", "map", "geo", "if", "set", "resolver"}))
        return Vote {FileKind::WebServer, kStatementWeight};
    // Other nginx directives are lower case with underscores, where
    // named.conf's options use hyphens.
    if (s.last == ';' && s.word.find('_') != std::string_view::npos
        && s.word.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string_view::npos)
        return Vote {FileKind::WebServer, kHintWeight};
    return std::nullopt;
}

// Apache directives.
std::optional<Vote> apacheVote(const LineShape &s)
{
    if (inList(s.word,
            {"ServerName", "ServerAlias", "ServerAdmin", "DocumentRoot", "LoadModule", "RewriteRule",
                "RewriteEngine", "RewriteCond", "RewriteBase", "ServerRoot", "ErrorLog", "CustomLog",
                "LogFormat", "LogLevel", "ScriptAlias", "AllowOverride", "DirectoryIndex", "AddType",
                "AddHandler", "AddOutputFilterByType", "ProxyPass", "ProxyPassReverse", "ProxyPreserveHost",
                "SSLEngine", "SSLCertificateFile", "SSLCertificateKeyFile", "SSLCertificateChainFile",
                "PidFile", "KeepAlive", "KeepAliveTimeout", "MaxKeepAliveRequests", "IncludeOptional",
                "ErrorDocument", "AddDefaultCharset", "ServerSignature", "ServerTokens", "HostnameLookups",
                "AccessFileName", "TypesConfig", "EnableSendfile", "MaxRequestWorkers", "NameVirtualHost",
                "UseCanonicalName", "SetEnvIf", "BrowserMatch", "RedirectMatch", "RedirectPermanent",
                "DefaultRuntimeDir", "AliasMatch", "Protocols"}))
        return Vote {FileKind::WebServer, kStatementWeight};
    // Plain English words that are Apache directives too count for less, so
    // that prose starting with them is not taken for a configuration; so do
    // the many module directives, all written in one CamelCase word
    // (CacheRoot, DAVLockDB, ProxyHTMLLinks).
    if (!s.rest.empty()
        && (inList(s.word,
                {"Listen", "Options", "Require", "Order", "Allow", "Deny", "User", "Group", "Alias",
                    "Redirect", "Header", "Timeout", "SetEnv", "Mutex"})
            || isCamelCase(s.word)))
        return Vote {FileKind::WebServer, kHintWeight};
    return std::nullopt;
}

// What a significant line says about the kind of its file.
Vote voteOf(std::string_view line, std::string_view raw)
{
    if (auto vote = zoneVote(line, raw))
        return *vote;
    // Apache sections: <VirtualHost>, <Directory>, <Location>, </IfModule> ...
    if (line[0] == '<' && line.size() > 1
        && (line[1] == '/' || (line[1] >= 'A' && line[1] <= 'Z') || (line[1] >= 'a' && line[1] <= 'z')))
        return Vote {FileKind::WebServer, kStatementWeight};
    const LineShape shape = shapeOf(line);
    if (auto vote = braceSyntaxVote(shape))
        return *vote;
    return apacheVote(shape).value_or(Vote {});
}

} // namespace

std::string_view KindDetector::significantPart(std::string_view raw)
{
    if (m_first) {
        m_first = false;
        if (raw.substr(0, kUtf8Bom.size()) == kUtf8Bom)
            raw.remove_prefix(kUtf8Bom.size());
    }
    std::string_view line = trimLeft(raw);
    for (;;) {
        if (m_inBlockComment) {
            const std::size_t close = line.find("*/");
            if (close == std::string_view::npos)
                return {};
            m_inBlockComment = false;
            line = trimLeft(line.substr(close + 2));
        } else if (line.substr(0, 2) == "/*") {
            m_inBlockComment = true;
            line = line.substr(2);
        } else {
            break;
        }
    }
    if (line.empty() || line[0] == ';' || line[0] == '#' || line.substr(0, 2) == "//")
        return {};
    return line;
}

void KindDetector::line(std::string_view raw)
{
    const std::string_view line = significantPart(raw);
    if (line.empty())
        return;
    if (m_significant >= kDecidingLines) {
        if (!m_sawRecord && looksLikeRecord(raw))
            m_sawRecord = true;
        return;
    }
    ++m_significant;
    const Vote vote = voteOf(line, raw);
    switch (vote.kind) {
    case FileKind::Zone:
        m_zone += vote.weight;
        break;
    case FileKind::NamedConf:
        m_named += vote.weight;
        break;
    case FileKind::WebServer:
        m_web += vote.weight;
        break;
    case FileKind::Auto:
    case FileKind::General:
        break;
    }
}

FileKind KindDetector::byScore() const
{
    const int best = std::max({m_zone, m_named, m_web});
    if (best < kLeastScore)
        return FileKind::General;
    if (m_zone == best)
        return FileKind::Zone;
    return m_named >= m_web ? FileKind::NamedConf : FileKind::WebServer;
}

bool KindDetector::decided() const
{
    return m_significant >= kDecidingLines && (m_sawRecord || byScore() != FileKind::General);
}

FileKind KindDetector::kind() const
{
    const FileKind kind = byScore();
    return kind == FileKind::General && m_sawRecord ? FileKind::Zone : kind;
}

std::unique_ptr<LineScanner> makeScanner(FileKind kind, Encoding enc, bool backToUnicode)
{
    switch (kind) {
    case FileKind::Zone:
        return std::make_unique<ZoneScanner>(enc);
    case FileKind::NamedConf:
        return std::make_unique<NamedConfScanner>(enc);
    case FileKind::WebServer:
        return std::make_unique<WebServerScanner>(enc);
    case FileKind::Auto:
    case FileKind::General:
        break;
    }
    return std::make_unique<GeneralScanner>(enc, backToUnicode);
}

std::unique_ptr<LineScanner> makeNameListScanner(Encoding enc)
{
    return std::make_unique<NameListScanner>(enc);
}

} // namespace namecodec::detail
