#include "scanners.h"
#include "scannertext.h"

#include <algorithm>

namespace namecodec::detail {

namespace {

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

} // namespace

std::unique_ptr<LineScanner> makeWebServerScanner(Encoding enc)
{
    return std::make_unique<WebServerScanner>(enc);
}

} // namespace namecodec::detail
