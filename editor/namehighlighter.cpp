#include "editor/namehighlighter.h"
#include "document/textbuffer.h"

#include <QColor>

#include <algorithm>
#include <array>
#include <limits>

namespace {

using Range = QTextLayout::FormatRange;

constexpr std::array kRecordTypes {"A", "AAAA", "AFSDB", "APL", "CAA", "CDNSKEY", "CDS", "CERT", "CNAME",
    "CSYNC", "DHCID", "DLV", "DNAME", "DNSKEY", "DS", "EUI48", "EUI64", "HINFO", "HIP", "HTTPS", "IPSECKEY",
    "KEY", "KX", "LOC", "MX", "NAPTR", "NS", "NSEC", "NSEC3", "NSEC3PARAM", "OPENPGPKEY", "PTR", "RP",
    "RRSIG", "SIG", "SMIMEA", "SOA", "SPF", "SRV", "SSHFP", "SVCB", "TA", "TKEY", "TLSA", "TSIG", "TXT",
    "URI", "ZONEMD"};
constexpr std::array kClasses {"IN", "CH", "HS", "CS", "ANY"};

template <std::size_t N> bool isOneOf(QStringView word, const std::array<const char *, N> &words)
{
    return std::any_of(words.begin(), words.end(),
        [&](const char *w) { return word.compare(QLatin1String(w), Qt::CaseInsensitive) == 0; });
}

// A TTL: digits, or counts with units as BIND writes them (1h30m, 2W).
bool isTtl(QStringView word)
{
    if (word.isEmpty() || !word.front().isDigit())
        return false;
    return std::all_of(word.begin(), word.end(),
        [](QChar c) { return c.isDigit() || QStringView(u"smhdwSMHDW").contains(c); });
}

// A line as the conversion library reads it, without a copy.
std::u16string_view utf16(const QString &text)
{
    return {reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())};
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

int quotedEnd(const QString &text, int open)
{
    const QChar quote = text[open];
    int i = open + 1;
    while (i < text.size() && text[i] != quote)
        i += text[i] == QLatin1Char('\\') ? 2 : 1;
    return std::min(static_cast<int>(text.size()), i + 1);
}

QTextCharFormat coloured(const QColor &colour, bool bold = false)
{
    QTextCharFormat format;
    format.setForeground(colour);
    if (bold)
        format.setFontWeight(QFont::Bold);
    return format;
}

} // namespace

NameHighlighter::NameHighlighter(const TextBuffer *buffer, namecodec::FileKind kind, QObject *parent)
    : QObject(parent)
    , m_buffer(buffer)
    , m_kind(kind == namecodec::FileKind::Auto ? namecodec::FileKind::General : kind)
{
    m_checkpoints.emplace(0, State {namecodec::NameMarker(m_kind), false});
    setPalette(QPalette());
    connect(buffer, &TextBuffer::changed, this, &NameHighlighter::onChange);
}

NameHighlighter::~NameHighlighter() = default;

void NameHighlighter::setPalette(const QPalette &palette)
{
    // Colours that read on the base the user has, light or dark.
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    const auto pick = [dark](const char *light, const char *onDark) {
        return QColor(QString::fromLatin1(dark ? onDark : light));
    };
    m_styles.comment = coloured(pick("#5f7f5f", "#8fae8f"));
    m_styles.comment.setFontItalic(true);
    m_styles.string = coloured(pick("#a31515", "#ce9178"));
    m_styles.keyword = coloured(pick("#0033b3", "#6cb0f0"), true);
    m_styles.type = coloured(pick("#7a3e9d", "#d7a0e0"), true);
    m_styles.number = coloured(pick("#097a55", "#b5cea8"));
    m_styles.variable = coloured(pick("#0b6f7f", "#4ec9b0"));
    m_styles.tag = coloured(pick("#1a5fb4", "#82b4f5"), true);
    const QColor link = palette.color(QPalette::Link);
    m_styles.converted = QTextCharFormat();
    m_styles.converted.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    m_styles.converted.setUnderlineColor(link);
    m_styles.ace = QTextCharFormat();
    m_styles.ace.setUnderlineStyle(QTextCharFormat::DotLine);
    m_styles.ace.setUnderlineColor(link);
    m_styles.refused = QTextCharFormat();
    m_styles.refused.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    m_styles.refused.setUnderlineColor(pick("#d00000", "#ff6060"));
    m_styles.leftInRule = QTextCharFormat();
    m_styles.leftInRule.setUnderlineStyle(QTextCharFormat::DashUnderline);
    m_styles.leftInRule.setUnderlineColor(pick("#d06000", "#ffa040"));
    rehighlight(0, std::max(0, m_buffer->lineCount() - 1));
}

void NameHighlighter::onChange(const TextChange &change)
{
    // What the lines below an edit carry from above may be other now.
    std::erase_if(m_checkpoints, [&](const auto &entry) { return entry.first > change.firstLine; });
    if (m_nextLine > change.firstLine)
        m_current.reset();
    rehighlight(change.firstLine, std::max(change.firstLine, m_buffer->lineCount() - 1));
}

NameHighlighter::State &NameHighlighter::stateBefore(int line)
{
    if (!m_current || m_nextLine > line) {
        auto nearest = std::prev(m_checkpoints.upper_bound(line));
        m_current = nearest->second;
        m_nextLine = nearest->first;
    }
    const int last = std::min(line, m_buffer->lineCount());
    for (; m_nextLine < last; ++m_nextLine) {
        if (m_nextLine % kCheckpointLines == 0)
            m_checkpoints.try_emplace(m_nextLine, *m_current);
        const QString &text = m_buffer->line(m_nextLine);
        if (text.size() > kLongestMarkedLine)
            continue;
        syntax(text, *m_current);
        m_current->marker.markLine(utf16(text));
    }
    if (line % kCheckpointLines == 0)
        m_checkpoints.try_emplace(line, *m_current);
    return *m_current;
}

QList<QTextLayout::FormatRange> NameHighlighter::formats(int line, const QString &text)
{
    State &state = stateBefore(line);
    m_nextLine = line + 1;
    if (text.size() > kLongestMarkedLine)
        return {};
    QList<Range> ranges = syntax(text, state);
    const auto marks = state.marker.markLine(utf16(text));
    for (const namecodec::NameMark &mark : marks) {
        ranges.append({mark.column, mark.length, styleOf(mark.kind)});
    }
    return ranges;
}

const QTextCharFormat &NameHighlighter::styleOf(namecodec::NameMarkKind kind) const
{
    switch (kind) {
    case namecodec::NameMarkKind::Converted:
        return m_styles.converted;
    case namecodec::NameMarkKind::Ace:
        return m_styles.ace;
    case namecodec::NameMarkKind::Refused:
        return m_styles.refused;
    case namecodec::NameMarkKind::LeftInRule:
        break;
    }
    return m_styles.leftInRule;
}

QString NameHighlighter::toolTip(int line, const QString &text, int column)
{
    if (text.size() > kLongestMarkedLine)
        return {};
    namecodec::NameMarker marker = stateBefore(line).marker;
    const auto marks = marker.markLine(utf16(text));
    for (const namecodec::NameMark &mark : marks) {
        if (column < mark.column || column >= mark.column + mark.length)
            continue;
        const QString note = QString::fromStdString(mark.note);
        switch (mark.kind) {
        case namecodec::NameMarkKind::Converted:
            return QStringLiteral("Punycode로 바꾸면: %1").arg(note);
        case namecodec::NameMarkKind::Ace:
            return QStringLiteral("한글 이름: %1").arg(note);
        case namecodec::NameMarkKind::Refused:
            return QStringLiteral("변환할 수 없는 이름: %1").arg(note);
        case namecodec::NameMarkKind::LeftInRule:
            return note.isEmpty()
                ? QStringLiteral("규칙 안의 한글 호스트: 변환해도 바뀌지 않습니다")
                : QStringLiteral("규칙 안의 한글 호스트: 변환해도 바뀌지 않습니다 (ACE: %1)").arg(note);
        }
    }
    return {};
}

QList<QTextLayout::FormatRange> NameHighlighter::syntax(const QString &text, State &state) const
{
    QList<Range> ranges;
    if (m_kind == namecodec::FileKind::Zone)
        zoneSyntax(text, ranges);
    else if (m_kind != namecodec::FileKind::General)
        statementSyntax(text, state, ranges);
    return ranges;
}

void NameHighlighter::zoneSyntax(const QString &text, QList<QTextLayout::FormatRange> &ranges) const
{
    const int size = static_cast<int>(text.size());
    // An owner stands in the first column; TTL and class come before the
    // type in either order; what follows the type is its data.
    int field = 0;
    bool typeSeen = false;
    int i = 0;
    while (i < size) {
        const QChar c = text[i];
        if (isBlank(c) || c == QLatin1Char('(') || c == QLatin1Char(')')) {
            ++i;
            continue;
        }
        if (c == QLatin1Char(';')) {
            ranges.append({i, size - i, m_styles.comment});
            return;
        }
        if (c == QLatin1Char('"')) {
            const int end = quotedEnd(text, i);
            ranges.append({i, end - i, m_styles.string});
            i = end;
            ++field;
            continue;
        }
        int end = i;
        while (end < size && !isBlank(text[end]) && text[end] != QLatin1Char(';')
            && text[end] != QLatin1Char('"') && text[end] != QLatin1Char('(')
            && text[end] != QLatin1Char(')'))
            ++end;
        const QStringView word = QStringView(text).mid(i, end - i);
        if (field == 0 && i == 0 && c == QLatin1Char('$')) {
            ranges.append({i, end - i, m_styles.keyword});
        } else if (!typeSeen && !(field == 0 && i == 0)) {
            if (isOneOf(word, kRecordTypes)) {
                ranges.append({i, end - i, m_styles.type});
                typeSeen = true;
            } else if (isOneOf(word, kClasses) || isTtl(word)) {
                ranges.append({i, end - i, m_styles.number});
            }
        }
        ++field;
        i = end;
    }
}

void NameHighlighter::statementSyntax(
    const QString &text, State &state, QList<QTextLayout::FormatRange> &ranges) const
{
    const bool named = m_kind == namecodec::FileKind::NamedConf;
    const int size = static_cast<int>(text.size());
    // Each statement (named.conf, nginx) or line (Apache) starts with its
    // keyword or directive; ; { and } end one.
    bool atStart = true;
    int i = 0;
    while (i < size) {
        if (state.inBlockComment) {
            const qsizetype close = text.indexOf(QStringLiteral("*/"), i);
            const int end = close < 0 ? size : static_cast<int>(close) + 2;
            ranges.append({i, end - i, m_styles.comment});
            state.inBlockComment = close < 0;
            i = end;
            continue;
        }
        const QChar c = text[i];
        const QChar next = i + 1 < size ? text[i + 1] : QChar();
        if (isBlank(c)) {
            ++i;
        } else if (c == QLatin1Char('#') || (named && c == QLatin1Char('/') && next == QLatin1Char('/'))) {
            ranges.append({i, size - i, m_styles.comment});
            return;
        } else if (named && c == QLatin1Char('/') && next == QLatin1Char('*')) {
            state.inBlockComment = true;
            ranges.append({i, 2, m_styles.comment});
            i += 2;
        } else if (c == QLatin1Char('"') || (!named && c == QLatin1Char('\''))) {
            const int end = quotedEnd(text, i);
            ranges.append({i, end - i, m_styles.string});
            i = end;
            atStart = false;
        } else if (c == QLatin1Char(';') || c == QLatin1Char('{') || c == QLatin1Char('}')) {
            atStart = true;
            ++i;
        } else if (!named && atStart && c == QLatin1Char('<')) {
            const qsizetype close = text.indexOf(QLatin1Char('>'), i);
            const int end = close < 0 ? size : static_cast<int>(close) + 1;
            ranges.append({i, end - i, m_styles.tag});
            i = end;
        } else if (!named && (c == QLatin1Char('$') || (c == QLatin1Char('%') && next == QLatin1Char('{')))) {
            int end = i + 1;
            if (end < size && text[end] == QLatin1Char('{')) {
                const qsizetype close = text.indexOf(QLatin1Char('}'), end);
                end = close < 0 ? size : static_cast<int>(close) + 1;
            } else {
                while (end < size && (text[end].isLetterOrNumber() || text[end] == QLatin1Char('_')))
                    ++end;
            }
            ranges.append({i, end - i, m_styles.variable});
            i = end;
        } else {
            int end = i + 1;
            while (end < size && !isBlank(text[end]) && text[end] != QLatin1Char(';')
                && text[end] != QLatin1Char('{') && text[end] != QLatin1Char('}')
                && text[end] != QLatin1Char('"'))
                ++end;
            if (atStart)
                ranges.append({i, end - i, m_styles.keyword});
            atStart = false;
            i = end;
        }
    }
}
