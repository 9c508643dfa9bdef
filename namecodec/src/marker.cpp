#include "namecodec/marker.h"

#include "labelconverter.h"
#include "scanners.h"

#include <algorithm>

namespace namecodec {

namespace {

// The line in UTF-8, as the scanners read it, with the UTF-16 column each
// byte starts.
struct Utf8Line {
    std::string bytes;
    std::vector<int> columns; // one per byte, and one past the end

    explicit Utf8Line(std::u16string_view line)
    {
        bytes.reserve(line.size() * 3);
        columns.reserve(line.size() * 3 + 1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            const int column = static_cast<int>(i);
            char32_t c = line[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < line.size() && line[i + 1] >= 0xDC00
                && line[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (line[i + 1] - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c < 0xE000) {
                c = 0xFFFD; // a lone surrogate is no name character
            }
            put(c, column);
        }
        columns.push_back(static_cast<int>(line.size()));
    }

    void put(char32_t c, int column)
    {
        const auto add = [&](unsigned byte) {
            bytes.push_back(static_cast<char>(byte));
            columns.push_back(column);
        };
        if (c < 0x80) {
            add(c);
        } else if (c < 0x800) {
            add(0xC0 | (c >> 6));
            add(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            add(0xE0 | (c >> 12));
            add(0x80 | ((c >> 6) & 0x3F));
            add(0x80 | (c & 0x3F));
        } else {
            add(0xF0 | (c >> 18));
            add(0x80 | ((c >> 12) & 0x3F));
            add(0x80 | ((c >> 6) & 0x3F));
            add(0x80 | (c & 0x3F));
        }
    }
};

} // namespace

struct NameMarker::State {
    FileKind kind = FileKind::General;
    // The scanner for names on the way to Punycode; for a general text a
    // second one finds those on the way back, as the conversion does.
    std::unique_ptr<detail::LineScanner> toAscii;
    std::unique_ptr<detail::LineScanner> toUnicode;
    // Shared by copies: results are cached per label.
    std::shared_ptr<detail::LabelConverter> labels;
    std::vector<detail::Span> names;
    std::vector<detail::Span> ruleHosts;

    State() = default;
    State(const State &other)
        : kind(other.kind)
        , toAscii(other.toAscii->clone())
        , toUnicode(other.toUnicode ? other.toUnicode->clone() : nullptr)
        , labels(other.labels)
    {
        // The copy's scanner notes rule hosts in the copy's own list.
        toAscii->setRuleHosts(&ruleHosts);
    }

    void markAce(const Utf8Line &line, const detail::Span &span, std::vector<NameMark> &marks);
    void markRuleHosts(const Utf8Line &line, std::vector<NameMark> &marks);
    void markHangul(const Utf8Line &line, const detail::Span &span, std::vector<NameMark> &marks);
};

NameMarker::NameMarker(FileKind kind)
    : m_state(std::make_unique<State>())
{
    m_state->kind = kind == FileKind::Auto ? FileKind::General : kind;
    m_state->toAscii = detail::makeScanner(m_state->kind, Encoding::Utf8, false);
    m_state->toAscii->setRuleHosts(&m_state->ruleHosts);
    if (m_state->kind == FileKind::General)
        m_state->toUnicode = detail::makeScanner(m_state->kind, Encoding::Utf8, true);
    m_state->labels = std::make_shared<detail::LabelConverter>();
}

NameMarker::NameMarker(const NameMarker &other)
    : m_state(std::make_unique<State>(*other.m_state))
{
}

NameMarker &NameMarker::operator=(const NameMarker &other)
{
    if (this != &other)
        m_state = std::make_unique<State>(*other.m_state);
    return *this;
}

NameMarker::NameMarker(NameMarker &&) noexcept = default;
NameMarker &NameMarker::operator=(NameMarker &&) noexcept = default;
NameMarker::~NameMarker() = default;

FileKind NameMarker::kind() const
{
    return m_state->kind;
}

void NameMarker::State::markHangul(
    const Utf8Line &line, const detail::Span &span, std::vector<NameMark> &marks)
{
    const std::string_view name = std::string_view(line.bytes).substr(span.begin, span.end - span.begin);
    const int column = line.columns[span.begin];
    const int length = line.columns[span.end] - column;
    auto ace = labels->nameToAscii(name, Encoding::Utf8);
    if (ace)
        marks.push_back({column, length, NameMarkKind::Converted, *ace});
    else
        marks.push_back({column, length, NameMarkKind::Refused, ace.error().message});
}

void NameMarker::State::markAce(const Utf8Line &line, const detail::Span &span, std::vector<NameMark> &marks)
{
    const std::string_view name = std::string_view(line.bytes).substr(span.begin, span.end - span.begin);
    auto hangul = labels->nameToUnicode(name, Encoding::Utf8);
    if (!hangul) {
        const int column = line.columns[span.begin];
        marks.push_back(
            {column, line.columns[span.end] - column, NameMarkKind::Refused, hangul.error().message});
        return;
    }
    // Each xn-- label is marked, the whole name's Hangul form its note.
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('.', start);
        if (end == std::string_view::npos)
            end = name.size();
        if (detail::isAceLabel(name.substr(start, end - start))) {
            const int column = line.columns[span.begin + start];
            marks.push_back({column, line.columns[span.begin + end] - column, NameMarkKind::Ace, *hangul});
        }
        start = end + 1;
    }
}

void NameMarker::State::markRuleHosts(const Utf8Line &line, std::vector<NameMark> &marks)
{
    // As the conversion reports them: a host a converted name covers is no
    // rule's leftover, and overlapping notes count once.
    std::sort(ruleHosts.begin(), ruleHosts.end(),
        [](const detail::Span &a, const detail::Span &b) { return a.begin < b.begin; });
    std::size_t last = 0;
    for (const detail::Span &rule : ruleHosts) {
        const bool converted = std::any_of(names.begin(), names.end(),
            [&](const detail::Span &name) { return name.begin < rule.end && rule.begin < name.end; });
        if (converted || rule.begin < last)
            continue;
        last = rule.end;
        const std::string_view host = std::string_view(line.bytes).substr(rule.begin, rule.end - rule.begin);
        const int column = line.columns[rule.begin];
        marks.push_back({column, line.columns[rule.end] - column, NameMarkKind::LeftInRule,
            labels->ruleHostToAscii(host, Encoding::Utf8)});
    }
}

std::vector<NameMark> NameMarker::markLine(std::u16string_view text)
{
    const Utf8Line line(text);
    std::vector<NameMark> marks;
    State &s = *m_state;
    s.names.clear();
    s.ruleHosts.clear();
    s.toAscii->scan(line.bytes, s.names);
    const bool high = detail::hasHighByte(line.bytes);
    if (high)
        s.markRuleHosts(line, marks);
    for (const detail::Span &span : s.names) {
        const std::string_view name = std::string_view(line.bytes).substr(span.begin, span.end - span.begin);
        if (high && detail::hasHighByte(name))
            s.markHangul(line, span, marks);
        else if (!s.toUnicode && detail::LabelConverter::needsUnicode(name))
            s.markAce(line, span, marks);
    }
    if (s.toUnicode) {
        s.names.clear();
        s.toUnicode->scan(line.bytes, s.names);
        for (const detail::Span &span : s.names) {
            const std::string_view name
                = std::string_view(line.bytes).substr(span.begin, span.end - span.begin);
            if (!detail::hasHighByte(name) && detail::LabelConverter::needsUnicode(name))
                s.markAce(line, span, marks);
        }
    }
    std::sort(
        marks.begin(), marks.end(), [](const NameMark &a, const NameMark &b) { return a.column < b.column; });
    return marks;
}

} // namespace namecodec
