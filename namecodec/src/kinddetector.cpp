#include "scanners.h"
#include "scannertext.h"

#include <algorithm>
#include <optional>

namespace namecodec::detail {

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

} // namespace namecodec::detail
