#include "scanners.h"
#include "scannertext.h"

#include <array>
#include <cstring>

namespace namecodec::detail {

namespace {

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

    std::unique_ptr<LineScanner> clone() const override { return std::make_unique<ZoneScanner>(*this); }

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
                const std::size_t end = quotedEnd(line, i);
                if (m_phase == Phase::Data)
                    ++m_field;
                else if (m_phase == Phase::Rule)
                    ruleData(line, {i + 1, end > i + 1 && line[end - 1] == '"' ? end - 1 : end});
                else
                    m_phase = Phase::Skip;
                i = end;
            } else {
                const std::size_t end = tokenEnd(line, i);
                token(line, {i, end}, names);
                i = end;
            }
        }
    }

private:
    // Rule: the data of a record that may name hosts in its own syntax
    // (SPF, DMARC, CAA), which the conversion leaves alone.
    enum class Phase { Type, Data, Rule, Skip };
    enum class RuleData { None, Text, Policy, Caa };

    // TTL and class may stand in either order before the type.
    void token(std::string_view line, Span span, std::vector<Span> &names)
    {
        const std::string_view text = line.substr(span.begin, span.end - span.begin);
        switch (m_phase) {
        case Phase::Type:
            if (isTtl(text) || isClass(text))
                return;
            if (const RecordType *t = findType(text); t && t->nameFields) {
                m_nameFields = t->nameFields;
                m_phase = Phase::Data;
            } else if (t && m_ruleHosts && (t->name == "TXT" || t->name == "SPF" || t->name == "CAA")) {
                m_phase = Phase::Rule;
                // An SPF record is a policy whatever its text; a TXT record
                // is one when its text starts like one.
                m_rule = t->name == "TXT" ? RuleData::Text
                    : t->name == "SPF"    ? RuleData::Policy
                                          : RuleData::Caa;
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
        case Phase::Rule:
            ruleData(line, span);
            return;
        case Phase::Skip:
            return;
        }
    }

    // One field of a TXT, SPF or CAA record: a quoted string's inside or a
    // bare word. `line` reaches at least to span.end.
    void ruleData(std::string_view line, Span span)
    {
        const std::string_view text = line.substr(span.begin, span.end - span.begin);
        const int field = m_field++;
        if (m_rule == RuleData::Caa) {
            if (field == 1)
                m_caaTag = equalsNoCase(text, "issue") || equalsNoCase(text, "issuewild");
            else if (field == 2)
                caaValue(line, span);
            return;
        }
        if (m_rule == RuleData::Text) {
            const std::string_view start = trimLeft(text).substr(0, 8);
            m_rule = equalsNoCase(start.substr(0, 6), "v=spf1") || equalsNoCase(start, "v=DMARC1")
                ? RuleData::Policy
                : RuleData::None;
        }
        if (m_rule == RuleData::Policy)
            policyTerms(line, span);
    }

    // SPF mechanisms and modifiers that name a host (a:, mx:, ptr:,
    // include:, exists:, redirect=, exp=) and the hosts of DMARC's report
    // addresses.
    void policyTerms(std::string_view line, Span span) const
    {
        static constexpr std::array<std::string_view, 7> kHostTerms
            = {"a:", "mx:", "ptr:", "include:", "exists:", "redirect=", "exp="};
        std::size_t i = span.begin;
        while (i < span.end) {
            while (i < span.end && (isBlank(line[i]) || line[i] == ';'))
                ++i;
            std::size_t end = i;
            while (end < span.end && !isBlank(line[end]) && line[end] != ';')
                end = step(line, end);
            end = std::min(end, span.end);
            std::size_t b = i;
            if (b < end && std::strchr("+-~?", line[b]))
                ++b;
            const std::string_view term = line.substr(b, end - b);
            for (const std::string_view head : kHostTerms) {
                if (term.size() > head.size() && equalsNoCase(term.substr(0, head.size()), head)) {
                    // A CIDR length after the host is no part of it.
                    const std::size_t slash = term.find('/');
                    noteRuleHosts(line, b + head.size(), slash == std::string_view::npos ? end : b + slash);
                    break;
                }
            }
            addressHosts(line, {b, end});
            i = end;
        }
    }

    // The host of every mail address (after '@', up to a size limit '!' or
    // the next address).
    void addressHosts(std::string_view line, Span span) const
    {
        for (std::size_t at = line.find('@', span.begin); at < span.end; at = line.find('@', at + 1)) {
            std::size_t end = at + 1;
            while (end < span.end && line[end] != '!' && line[end] != ',' && line[end] != '@')
                end = step(line, end);
            noteRuleHosts(line, at + 1, std::min(end, span.end));
        }
    }

    // CAA: issue and issuewild name a CA's domain before any ';'; iodef and
    // the contact tags hold a mail address or a URL.
    void caaValue(std::string_view line, Span span) const
    {
        const std::string_view value = line.substr(span.begin, span.end - span.begin);
        if (m_caaTag) {
            const std::size_t semicolon = value.find(';');
            noteRuleHosts(
                line, span.begin, semicolon == std::string_view::npos ? span.end : span.begin + semicolon);
        } else if (value.find("://") != std::string_view::npos) {
            noteUrlHosts(line, span.begin, span.end);
        } else {
            addressHosts(line, span);
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
    RuleData m_rule = RuleData::None;
    bool m_caaTag = false;
    unsigned m_nameFields = 0;
    int m_field = 0;
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

std::unique_ptr<LineScanner> makeZoneScanner(Encoding enc)
{
    return std::make_unique<ZoneScanner>(enc);
}

} // namespace namecodec::detail
