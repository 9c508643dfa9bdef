#include "scanners.h"

#include <algorithm>
#include <array>
#include <cstring>

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
    const char *name;
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

class WebServerScanner final : public LineScanner {
public:
    using LineScanner::LineScanner;

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        // A comment line put inside a directive continued with '\' would
        // become part of that directive.
        m_commentAllowed = !m_continued;
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
        if (!continued) {
            m_directive = Directive::None;
            if (i < n && line[i] == '#')
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
            else if (word == "server_name")
                m_directive = Directive::NginxServerName;
            i = j;
        }
        std::vector<Span> found;
        if (m_directive != Directive::None)
            directiveArguments(line.substr(0, end), i, found);
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
    enum class Directive { None, VirtualHost, ServerName, ServerAlias, ServerAdmin, NginxServerName };

    void directiveArguments(std::string_view line, std::size_t i, std::vector<Span> &found) const
    {
        const std::size_t n = line.size();
        while (i < n) {
            while (i < n && isBlank(line[i]))
                ++i;
            if (i >= n || line[i] == '#' || line[i] == '>' || line[i] == ';')
                return;
            std::size_t j = i;
            while (j < n && !isBlank(line[j]) && line[j] != '>' && line[j] != ';')
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
        case Directive::NginxServerName:
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
                if (isBlank(c) || c == '/' || c == ':' || c == '?' || c == '#' || c == '"' || c == '\''
                    || c == '>' || c == '<' || c == ';' || c == ')' || c == '@')
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
};

// ---- anything else ----------------------------------------------------------

class GeneralScanner final : public LineScanner {
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
        return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '-' || c == '_' || c == '*' || c == '.';
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

std::unique_ptr<LineScanner> makeScanner(FileKind kind, Encoding enc)
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
    return std::make_unique<GeneralScanner>(enc);
}

} // namespace namecodec::detail
