#include "scanners.h"
#include "scannertext.h"

#include <algorithm>

namespace namecodec::detail {

std::unique_ptr<LineScanner> makeScanner(FileKind kind, Encoding enc, bool backToUnicode)
{
    switch (kind) {
    case FileKind::Zone:
        return makeZoneScanner(enc);
    case FileKind::NamedConf:
        return makeNamedConfScanner(enc);
    case FileKind::WebServer:
        return makeWebServerScanner(enc);
    case FileKind::Auto:
    case FileKind::General:
        break;
    }
    return makeGeneralScanner(enc, backToUnicode);
}

void LineScanner::noteRuleHosts(std::string_view line, std::size_t b, std::size_t e) const
{
    if (!m_ruleHosts)
        return;
    e = std::min(e, line.size());
    // Bytes taken by the host character at k; 0 when none starts there. A
    // '*' is left out: in a pattern it repeats, it is no label.
    auto hostChar = [&](std::size_t k) -> std::size_t {
        const auto c = static_cast<unsigned char>(line[k]);
        if (c >= 0x80)
            return step(line, k) - k;
        if (c == '\\')
            return k + 1 < e && line[k + 1] == '.' ? 2 : 0;
        return c != '*' && isAsciiNameChar(c) ? 1 : 0;
    };
    std::size_t i = b;
    while (i < e) {
        if (hostChar(i) == 0) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        bool high = false;
        for (std::size_t len; i < e && (len = hostChar(i)) > 0; i += len)
            high = high || static_cast<unsigned char>(line[i]) >= 0x80;
        i = std::min(i, e);
        std::size_t s = start, t = i;
        while (s < t && (line[s] == '.' || line[s] == '\\'))
            s += line[s] == '\\' ? 2 : 1;
        while (t > s && line[t - 1] == '.')
            t -= t - 1 > s && line[t - 2] == '\\' ? 2 : 1;
        if (high && t > s)
            m_ruleHosts->push_back({s, t});
    }
}

void LineScanner::noteUrlHosts(std::string_view line, std::size_t b, std::size_t e) const
{
    if (!m_ruleHosts)
        return;
    e = std::min(e, line.size());
    const std::string_view part = line.substr(0, e);
    auto endsHost
        = [](char c) { return isBlank(c) || c == '/' || c == '?' || c == '#' || c == '"' || c == '\''; };
    for (std::size_t at = part.find("://", b); at != std::string_view::npos; at = part.find("://", at + 3)) {
        std::size_t host = at + 3;
        std::size_t end = host;
        while (end < e && !endsHost(line[end])) {
            // What stands before an '@' is the user, not the host.
            if (line[end] == '@')
                host = end + 1;
            end = step(line, end);
        }
        noteRuleHosts(line, host, end);
    }
}

} // namespace namecodec::detail
