#include "scanners.h"
#include "scannertext.h"

#include <algorithm>
#include <array>
#include <string>

namespace namecodec::detail {

namespace {

// Words that show a rule tests the host a client asked for (or the page it
// came from, whose host is just as much ACE once the names change): Apache's
// server variables and expression functions, and nginx's variables.
bool testsHost(std::string_view text)
{
    static constexpr std::array kWords = {"http_host", "server_name", "http:host", "http_referer",
        "http:referer", "'host'", "'referer'", "$host", "$http_host", "$server_name", "$http_referer"};
    std::string lowered(text);
    for (char &c : lowered)
        c = lower(c);
    for (const std::string_view word : kWords) {
        for (std::size_t at = lowered.find(word); at != std::string::npos; at = lowered.find(word, at + 1)) {
            // "$host" is not "$hostname" (the server's own name).
            const std::size_t after = at + word.size();
            if (word[0] != '$' || after >= lowered.size()
                || !(isAsciiNameChar(static_cast<unsigned char>(lowered[after])) && lowered[after] != '.'))
                return true;
        }
    }
    return false;
}

// SetEnvIf attributes that hold a host name.
bool isHostAttribute(std::string_view word)
{
    return equalsNoCase(word, "Host") || equalsNoCase(word, "Referer") || equalsNoCase(word, "Server_Name")
        || equalsNoCase(word, "Remote_Host");
}

bool isRedirect(std::string_view word)
{
    return equalsNoCase(word, "Redirect") || equalsNoCase(word, "RedirectMatch")
        || equalsNoCase(word, "RedirectPermanent") || equalsNoCase(word, "RedirectTemp")
        || equalsNoCase(word, "RewriteRule");
}

// The words of a map block that are no source value.
bool isMapKeyword(std::string_view word)
{
    return word == "default" || word == "hostnames" || word == "include" || word == "volatile";
}

// Apache reads a file by lines (continued with '\'); nginx by statements that
// end at ';', '{' or '}', whatever the lines. One scanner follows both: the
// Apache directives by line, nginx's server_name by statement.
class WebServerScanner final : public LineScanner {
public:
    using LineScanner::LineScanner;

    std::unique_ptr<LineScanner> clone() const override { return std::make_unique<WebServerScanner>(*this); }

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
            else if (m_ruleHosts)
                apacheRule(word, line.substr(0, end), j);
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
    // The nginx statement being read, as far as its arguments matter.
    enum class Statement { Other, ServerName, If, IfHost, Redirect, Map, HostMap };

    // The arguments of an Apache directive from byte i on: blank-separated
    // words, a quoted one without its quotes.
    std::vector<Span> words(std::string_view line, std::size_t i) const
    {
        std::vector<Span> list;
        const std::size_t n = line.size();
        while (i < n) {
            while (i < n && isBlank(line[i]))
                ++i;
            if (i >= n)
                break;
            const char quote = line[i] == '"' || line[i] == '\'' ? line[i] : 0;
            std::size_t j = quote ? i + 1 : i;
            while (j < n && (quote ? line[j] != quote : !isBlank(line[j])))
                j = line[j] == '\\' && j + 1 < n ? step(line, j + 1) : step(line, j);
            list.push_back({quote ? i + 1 : i, std::min(j, n)});
            i = quote && j < n ? j + 1 : j;
        }
        return list;
    }

    // Apache directives whose arguments test or send a host: the Hangul
    // left in them after a conversion is noted, never changed.
    void apacheRule(std::string_view word, std::string_view line, std::size_t i) const
    {
        if (equalsNoCase(word, "RewriteCond") || equalsNoCase(word, "SetEnvIf")
            || equalsNoCase(word, "SetEnvIfNoCase")) {
            const std::vector<Span> args = words(line, i);
            if (args.size() < 2)
                return;
            const std::string_view subject = line.substr(args[0].begin, args[0].end - args[0].begin);
            if (equalsNoCase(word, "RewriteCond") ? testsHost(subject) : isHostAttribute(subject))
                noteRuleHosts(line, args[1].begin, args[1].end);
        } else if (equalsNoCase(word, "<If") || equalsNoCase(word, "<ElseIf")) {
            if (testsHost(line.substr(i)))
                noteRuleHosts(line, i, line.size());
        } else if (isRedirect(word)) {
            noteUrlHosts(line, i, line.size());
        }
    }

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
                if (m_quoteStartedHere) {
                    if (m_quotedKey)
                        mapKey(line, begin, i);
                    else
                        argument(line, begin, i, found);
                }
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
                // A map on the host opens a block of host values; nothing
                // nests inside a map, so its '}' closes it.
                if (c == '{')
                    m_inHostMap = m_statement == Statement::HostMap;
                else if (c == '}')
                    m_inHostMap = false;
                m_atStatement = true;
                m_statement = Statement::Other;
                ++i;
            } else if (c == '"' || c == '\'') {
                m_quote = c;
                m_quoteStartedHere = true;
                m_quotedKey = false;
                ++i;
                if (m_atStatement) {
                    m_atStatement = false;
                    m_quotedKey = m_inHostMap;
                    m_statement = Statement::Other;
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
                    m_atStatement = false;
                    if (m_inHostMap)
                        mapKey(line, i, j);
                    m_statement = m_inHostMap ? Statement::Other : statementFor(line.substr(i, j - i));
                } else {
                    argument(line, i, j, found);
                }
                i = j;
            }
        }
    }

    static Statement statementFor(std::string_view word)
    {
        if (word == "server_name")
            return Statement::ServerName;
        if (word == "if" || word.substr(0, 3) == "if(")
            return testsHost(word) ? Statement::IfHost : Statement::If;
        if (word == "return" || word == "rewrite")
            return Statement::Redirect;
        if (word == "map")
            return Statement::Map;
        return Statement::Other;
    }

    void argument(std::string_view line, std::size_t b, std::size_t e, std::vector<Span> &found)
    {
        if (e <= b)
            return;
        switch (m_statement) {
        case Statement::ServerName:
            // Regular expressions (~...) are patterns, not names: they are
            // the user's to mend.
            if (line[b] != '~')
                found.push_back({b, e});
            else
                noteRuleHosts(line, b + 1, e);
            break;
        case Statement::If:
            if (testsHost(line.substr(b, e - b)))
                m_statement = Statement::IfHost;
            break;
        case Statement::IfHost:
            noteRuleHosts(line, b, e);
            break;
        case Statement::Redirect:
            noteUrlHosts(line, b, e);
            break;
        case Statement::Map:
            // The first argument is the value mapped; only a host's values
            // are hosts.
            m_statement = testsHost(line.substr(b, e - b)) ? Statement::HostMap : Statement::Other;
            break;
        case Statement::HostMap:
        case Statement::Other:
            break;
        }
    }

    void mapKey(std::string_view line, std::size_t b, std::size_t e) const
    {
        if (!isMapKeyword(line.substr(b, e - b)))
            noteRuleHosts(line, b, e);
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
    Statement m_statement = Statement::Other;
    bool m_inHostMap = false;
    char m_quote = 0;
    bool m_quoteStartedHere = false;
    bool m_quotedKey = false; // the open string is a host map's value
    std::vector<Span> m_found;
};

} // namespace

std::unique_ptr<LineScanner> makeWebServerScanner(Encoding enc)
{
    return std::make_unique<WebServerScanner>(enc);
}

} // namespace namecodec::detail
