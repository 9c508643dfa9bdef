#include "rtf/rtfreader.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "namecodec/codec.h"

namespace rtf {

QString Paragraph::text() const
{
    QString text;
    for (const Run &run : runs)
        text += run.text;
    return text;
}

QString Document::plainText() const
{
    QStringList lines;
    for (const Paragraph &p : paragraphs)
        lines << p.text();
    return lines.join(u'\n');
}

namespace {

// Deeper nesting than this is counted, not kept: a hostile file cannot make
// the state stack grow with its size.
constexpr qsizetype kMaxDepth = 256;
constexpr int kMaxWordLength = 32;
constexpr int kMaxFallbackSkip = 16;
// Font numbers given a code page of their own; a font table longer than any
// word processor writes is not allowed to grow the table further, and the
// fonts past it read in the document's page.
constexpr qsizetype kMaxFonts = 1024;
constexpr qsizetype kUnlimited = std::numeric_limits<qsizetype>::max();

// Every code page here gives at least one UTF-16 unit for each four bytes
// (UTF-8's longest character; invalid bytes give one U+FFFD or more), so
// this many undecoded bytes always hold more than `room` characters.
qsizetype bytesHolding(qsizetype room)
{
    return room < (kUnlimited - 8) / 4 ? 4 * room + 8 : kUnlimited;
}

// At most `room` units of `text`, never half of a surrogate pair.
QString firstUnits(const QString &text, qsizetype room)
{
    if (text.size() <= room)
        return text;
    qsizetype length = std::max<qsizetype>(room, 0);
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.first(length);
}

enum class CodePage { Cp949, Cp1252, Utf8 };

CodePage codePageOf(int ansicpg)
{
    switch (ansicpg) {
    case 949:
        return CodePage::Cp949;
    case 65001:
        return CodePage::Utf8;
    default:
        // Other Windows code pages are read as 1252: their ASCII half is
        // right, and a Korean document names 949.
        return CodePage::Cp1252;
    }
}

// The bytes 0x80..0x9F of code page 1252; the rest is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020,
    0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C,
    0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QString fromUtf16(const std::u16string &text)
{
    return QString(reinterpret_cast<const QChar *>(text.data()), static_cast<qsizetype>(text.size()));
}

// Code page 949 through the project's codec; a byte that starts no valid
// character becomes U+FFFD and the rest is still read. The bytes around a
// bad one decode as the codec decodes them in a good text (the few bytes
// that are characters on their own too), so the start of any text decodes
// to the start of what the whole text decodes to.
QString decodeCp949(const QByteArray &bytes)
{
    const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (auto text = namecodec::decodeText(all, namecodec::Encoding::Cp949))
        return fromUtf16(*text);
    QString out;
    std::size_t i = 0;
    while (i < all.size()) {
        const auto byte = static_cast<unsigned char>(all[i]);
        if (byte < 0x80) {
            out += QChar(char16_t(byte));
            ++i;
            continue;
        }
        if (i + 1 < all.size()) {
            if (auto pair = namecodec::decodeText(all.substr(i, 2), namecodec::Encoding::Cp949)) {
                out += fromUtf16(*pair);
                i += 2;
                continue;
            }
        }
        if (auto single = namecodec::decodeText(all.substr(i, 1), namecodec::Encoding::Cp949)) {
            out += fromUtf16(*single);
            ++i;
            continue;
        }
        out += QChar(0xFFFD);
        ++i;
    }
    return out;
}

QString decode(const QByteArray &bytes, CodePage page)
{
    switch (page) {
    case CodePage::Cp949:
        return decodeCp949(bytes);
    case CodePage::Utf8:
        return QString::fromUtf8(bytes);
    case CodePage::Cp1252:
        break;
    }
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += (byte >= 0x80 && byte < 0xA0) ? QChar(kCp1252High[byte - 0x80]) : QChar(char16_t(byte));
    }
    return out;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The control words the reader acts on. Looked up once per word in one
// table, as a file can hold millions of them.
enum class Keyword {
    Unknown,
    Binary,
    FontTable,
    Font,
    Charset,
    HiddenDestination, // one whose text is never shown
    AnsiCodePage,
    FallbackLength,
    Unicode,
    ParagraphEnd,
    LineBreak,
    Tab,
    Bold,
    Italic,
    Underline,
    UnderlineStyle, // \uldb, \ulw and the other kinds of underline
    UnderlineNone,
    Plain,
    FontSize,
    ParagraphDefaults,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    Symbol,
};

struct Known {
    Keyword keyword = Keyword::Unknown;
    char16_t symbol = 0; // for Keyword::Symbol
};

Known lookUp(std::string_view word)
{
    static const std::unordered_map<std::string_view, Known> kWords = [] {
        std::unordered_map<std::string_view, Known> words;
        for (const char *hidden : {"colortbl", "stylesheet", "info", "pict", "object", "header", "headerl",
                 "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "fldinst", "listtable",
                 "listoverridetable", "revtbl", "rsidtbl", "filetbl", "themedata", "colorschememapping",
                 "latentstyles", "datastore", "xmlnstbl", "generator", "footnote", "annotation", "bkmkstart",
                 "bkmkend", "nonshppict", "xe", "tc", "template", "docvar", "userprops", "pgdsctbl", "fchars",
                 "lchars", "protusertbl", "author", "operator", "title", "subject", "keywords", "comment"})
            words.emplace(hidden, Known {Keyword::HiddenDestination});
        const std::pair<const char *, Keyword> kActions[] = {{"bin", Keyword::Binary},
            {"fonttbl", Keyword::FontTable}, {"f", Keyword::Font}, {"fcharset", Keyword::Charset},
            {"ansicpg", Keyword::AnsiCodePage}, {"uc", Keyword::FallbackLength}, {"u", Keyword::Unicode},
            {"par", Keyword::ParagraphEnd}, {"sect", Keyword::ParagraphEnd}, {"page", Keyword::ParagraphEnd},
            {"row", Keyword::ParagraphEnd}, {"line", Keyword::LineBreak}, {"tab", Keyword::Tab},
            {"cell", Keyword::Tab}, {"b", Keyword::Bold}, {"i", Keyword::Italic}, {"ul", Keyword::Underline},
            {"ulnone", Keyword::UnderlineNone}, {"ulc", Keyword::Unknown}, {"plain", Keyword::Plain},
            {"fs", Keyword::FontSize}, {"pard", Keyword::ParagraphDefaults}, {"ql", Keyword::AlignLeft},
            {"qc", Keyword::AlignCenter}, {"qr", Keyword::AlignRight}, {"qj", Keyword::AlignJustify}};
        for (const auto &[name, keyword] : kActions)
            words.emplace(name, Known {keyword});
        const std::pair<const char *, char16_t> kSymbols[] = {{"emdash", 0x2014}, {"endash", 0x2013},
            {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019}, {"ldblquote", 0x201C},
            {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005}};
        for (const auto &[name, unit] : kSymbols)
            words.emplace(name, Known {Keyword::Symbol, unit});
        return words;
    }();
    if (const auto found = kWords.find(word); found != kWords.end())
        return found->second;
    if (word.starts_with("ul"))
        return {Keyword::UnderlineStyle};
    return {};
}

struct State {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 0;
    int fallbackLength = 1; // \ucN
    int font = -1;
    bool hidden = false; // inside a destination that is not shown
    bool fontTable = false;
};

class Reader {
public:
    Reader(QByteArrayView in, const Limits &limits)
        : m_in(in)
        , m_limits(limits)
    {
    }

    Document run()
    {
        while (m_pos < m_in.size() && !m_full) {
            const char c = m_in[m_pos++];
            switch (c) {
            case '{':
                flush();
                m_fallback = 0;
                m_starred = false;
                if (m_stack.size() < kMaxDepth)
                    m_stack.push_back(m_state);
                else
                    ++m_overflow;
                break;
            case '}':
                flush();
                m_fallback = 0;
                m_starred = false;
                if (m_overflow > 0) {
                    --m_overflow;
                } else if (!m_stack.isEmpty()) {
                    m_state = m_stack.takeLast();
                }
                // A closing brace too many is read past.
                break;
            case '\\':
                escape();
                break;
            case '\r':
            case '\n':
                break;
            default:
                character(c);
                break;
            }
        }
        flush();
        if (!m_paragraph.runs.isEmpty())
            endParagraph();
        return std::move(m_document);
    }

private:
    bool skipsFallback()
    {
        if (m_fallback <= 0)
            return false;
        --m_fallback;
        return true;
    }

    void character(char c)
    {
        if (skipsFallback() || m_state.hidden)
            return;
        if (c == '\t') {
            flush();
            append(QStringLiteral("\t"));
            return;
        }
        if (static_cast<unsigned char>(c) < 0x20)
            return;
        addByte(c);
    }

    void addByte(char c)
    {
        const CodePage page = currentPage();
        if (!m_pending.isEmpty() && page != m_pendingPage)
            flush();
        m_pendingPage = page;
        m_pending += c;
        // Bytes beyond what the character limit can still take are never
        // gathered: a paragraph of megabytes is decoded only as far as kept.
        if (m_pending.size() >= bytesHolding(m_limits.characters - m_characters))
            flush();
    }

    CodePage currentPage() const
    {
        const auto found = m_fontPages.constFind(m_state.font);
        return found != m_fontPages.constEnd() ? *found : m_defaultPage;
    }

    void flush()
    {
        if (m_pending.isEmpty())
            return;
        const QByteArray bytes = std::exchange(m_pending, {});
        append(decode(bytes, m_pendingPage));
    }

    void append(const QString &whole)
    {
        if (whole.isEmpty() || m_state.hidden || m_full)
            return;
        if (m_document.paragraphs.size() >= m_limits.paragraphs) {
            cut(); // text for a paragraph past the limit
            return;
        }
        Run run;
        run.bold = m_state.bold;
        run.italic = m_state.italic;
        run.underline = m_state.underline;
        run.halfPoints = m_state.halfPoints;
        const bool joins = !m_paragraph.runs.isEmpty() && m_paragraph.runs.last().sameFormat(run);
        if (!joins && (m_runs >= m_limits.runs || m_paragraph.runs.size() >= m_limits.runsPerParagraph)) {
            cut();
            return;
        }
        const QString text = firstUnits(whole, m_limits.characters - m_characters);
        if (!text.isEmpty()) {
            m_characters += text.size();
            if (joins) {
                m_paragraph.runs.last().text += text;
            } else {
                run.text = text;
                m_paragraph.runs.push_back(std::move(run));
                ++m_runs;
            }
        }
        if (text.size() < whole.size()) {
            // A pair of surrogates written as two \u escapes is not split
            // either.
            if (text.isEmpty() && whole.front().isLowSurrogate())
                dropHighSurrogate();
            cut();
        }
    }

    void dropHighSurrogate()
    {
        if (m_paragraph.runs.isEmpty() || !m_paragraph.runs.last().text.back().isHighSurrogate())
            return;
        m_paragraph.runs.last().text.chop(1);
        if (m_paragraph.runs.last().text.isEmpty())
            m_paragraph.runs.removeLast();
    }

    void endParagraph()
    {
        flush();
        if (m_full)
            return;
        if (m_document.paragraphs.size() >= m_limits.paragraphs) {
            cut();
            return;
        }
        keepParagraph();
    }

    void keepParagraph()
    {
        m_paragraph.alignment = m_alignment;
        m_document.paragraphs.push_back(std::exchange(m_paragraph, {}));
    }

    // Something past the limits was found: what is kept so far is the
    // document, and nothing more is read.
    void cut()
    {
        m_document.truncated = true;
        m_full = true;
        m_pending.clear();
        if (!m_paragraph.runs.isEmpty())
            keepParagraph();
    }

    void escape()
    {
        if (m_pos >= m_in.size())
            return; // a backslash at the very end
        const char c = m_in[m_pos];
        if (c == '\'') {
            ++m_pos;
            hexByte();
            return;
        }
        flush();
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++m_pos;
        if (skipsFallback())
            return;
        switch (c) {
        case '*':
            m_starred = true;
            break;
        case '\\':
        case '{':
        case '}':
            if (!m_state.hidden)
                addByte(c);
            break;
        case '~':
            append(QStringLiteral("\u00A0"));
            break;
        case '_':
            append(QStringLiteral("\u2011"));
            break;
        case '\n':
        case '\r':
            if (!m_state.hidden)
                endParagraph();
            break;
        default:
            break; // \- (optional hyphen), \| and others show nothing
        }
    }

    void hexByte()
    {
        // A truncated escape (\' at the end, or one hex digit) is dropped;
        // what follows it is read as usual.
        if (m_pos + 1 >= m_in.size() || !isHex(m_in[m_pos]) || !isHex(m_in[m_pos + 1])) {
            if (m_pos < m_in.size() && isHex(m_in[m_pos]))
                ++m_pos;
            return;
        }
        const char byte = static_cast<char>(hexValue(m_in[m_pos]) * 16 + hexValue(m_in[m_pos + 1]));
        m_pos += 2;
        if (skipsFallback() || m_state.hidden)
            return;
        addByte(byte);
    }

    void controlWord()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos]))
            ++m_pos;
        // A word longer than any the reader knows is looked up by its start,
        // which matches nothing but a kind of underline.
        const std::string_view word(m_in.data() + start,
            static_cast<std::size_t>(std::min<qsizetype>(m_pos - start, kMaxWordLength)));
        bool hasParam = false;
        bool negative = false;
        qint64 param = 0;
        if (m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && m_in[m_pos + 1] >= '0'
            && m_in[m_pos + 1] <= '9') {
            negative = true;
            ++m_pos;
        }
        while (m_pos < m_in.size() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9') {
            hasParam = true;
            if (param < 100000000)
                param = param * 10 + (m_in[m_pos] - '0');
            ++m_pos;
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos;
        const int value = static_cast<int>(negative ? -param : param);
        if (skipsFallback())
            return;
        if (!word.empty())
            apply(lookUp(word), hasParam, value);
    }

    void apply(Known known, bool hasParam, int value)
    {
        if (applyDestination(known, hasParam, value) || m_state.hidden)
            return;
        applyText(known, hasParam, value);
    }

    // Binary data, destinations, the font table and the state that holds in
    // hidden text too; true when the word was taken here.
    bool applyDestination(Known known, bool hasParam, int value)
    {
        if (known.keyword == Keyword::Binary) {
            // Raw binary data follows (a picture's); braces in it are data.
            const qsizetype length = hasParam && value > 0 ? value : 0;
            m_pos += std::min(length, m_in.size() - m_pos);
            m_starred = false;
            return true;
        }
        if (std::exchange(m_starred, false)) {
            // Every destination marked ignorable is one we do not show.
            m_state.hidden = true;
            return true;
        }
        if (known.keyword == Keyword::FontTable) {
            m_state.hidden = true;
            m_state.fontTable = true;
            return true;
        }
        if (m_state.fontTable) {
            if (known.keyword == Keyword::Font)
                m_tableFont = value;
            else if (known.keyword == Keyword::Charset)
                charset(value);
            return true;
        }
        switch (known.keyword) {
        case Keyword::HiddenDestination:
            m_state.hidden = true;
            return true;
        case Keyword::AnsiCodePage:
            if (hasParam)
                m_defaultPage = codePageOf(value);
            return true;
        case Keyword::Font:
            m_state.font = value;
            return true;
        case Keyword::FallbackLength:
            m_state.fallbackLength = std::clamp(value, 0, kMaxFallbackSkip);
            return true;
        default:
            return false;
        }
    }

    // What shows: characters, breaks and the character and paragraph format.
    void applyText(Known known, bool hasParam, int value)
    {
        const bool on = !hasParam || value != 0;
        switch (known.keyword) {
        case Keyword::Unicode:
            if (hasParam) {
                // A signed 16-bit number; its fallback characters follow.
                const int unit = value < 0 ? value + 65536 : value;
                if (unit > 0 && unit <= 0xFFFF)
                    append(QString(QChar(static_cast<char16_t>(unit))));
                m_fallback = m_state.fallbackLength;
            }
            break;
        case Keyword::ParagraphEnd:
            endParagraph();
            break;
        case Keyword::LineBreak:
            append(QString(QChar(QChar::LineSeparator)));
            break;
        case Keyword::Tab:
            append(QStringLiteral("\t"));
            break;
        case Keyword::Bold:
            m_state.bold = on;
            break;
        case Keyword::Italic:
            m_state.italic = on;
            break;
        case Keyword::Underline:
            m_state.underline = on;
            break;
        case Keyword::UnderlineStyle:
            m_state.underline = true;
            break;
        case Keyword::UnderlineNone:
            m_state.underline = false;
            break;
        case Keyword::Plain:
            m_state.bold = m_state.italic = m_state.underline = false;
            m_state.halfPoints = 0;
            break;
        case Keyword::FontSize:
            m_state.halfPoints = hasParam ? std::clamp(value, 0, 400) : 24;
            break;
        case Keyword::ParagraphDefaults:
        case Keyword::AlignLeft:
            m_alignment = Alignment::Left;
            break;
        case Keyword::AlignCenter:
            m_alignment = Alignment::Center;
            break;
        case Keyword::AlignRight:
            m_alignment = Alignment::Right;
            break;
        case Keyword::AlignJustify:
            m_alignment = Alignment::Justify;
            break;
        case Keyword::Symbol:
            append(QString(QChar(known.symbol)));
            break;
        default:
            break;
        }
    }

    void charset(int value)
    {
        switch (value) {
        case 129: // Hangul
            setFontPage(CodePage::Cp949);
            break;
        case 0: // ANSI: the document's own page decides
        case 1:
            break;
        default:
            setFontPage(CodePage::Cp1252);
            break;
        }
    }

    void setFontPage(CodePage page)
    {
        if (m_fontPages.size() < kMaxFonts || m_fontPages.contains(m_tableFont))
            m_fontPages.insert(m_tableFont, page);
    }

    QByteArrayView m_in;
    Limits m_limits;
    qsizetype m_characters = 0; // kept so far, in all paragraphs
    qsizetype m_runs = 0;
    bool m_full = false; // the limits were reached; reading has stopped
    qsizetype m_pos = 0;
    State m_state;
    QList<State> m_stack;
    qsizetype m_overflow = 0;
    bool m_starred = false;
    int m_fallback = 0; // fallback characters of the last \uN still to skip
    CodePage m_defaultPage = CodePage::Cp1252;
    QHash<int, CodePage> m_fontPages;
    int m_tableFont = -1;
    QByteArray m_pending; // bytes not yet decoded, all in m_pendingPage
    CodePage m_pendingPage = CodePage::Cp1252;
    Alignment m_alignment = Alignment::Left;
    Paragraph m_paragraph;
    Document m_document;
};

// Line by line, each decoded only as far as the limits can still take it.
// '\n' and '\r' are never part of a code page 949 or UTF-8 character, so a
// line decodes alone as it would in the whole text, and its '\r's can go
// before it is decoded.
Document readPlain(QByteArrayView bytes, const Limits &limits)
{
    const bool utf8
        = namecodec::isValidUtf8(std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())));
    Document doc;
    qsizetype characters = 0;
    qsizetype runs = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        const bool broken = end >= 0;
        if (!broken)
            end = bytes.size();
        const qsizetype room = limits.characters - characters;
        const qsizetype most = bytesHolding(room);
        QByteArray line;
        for (; at < end && line.size() < most; ++at) {
            if (bytes[at] != '\r')
                line += bytes[at];
        }
        at = end + 1;
        // The text after the last line break is a line only if it holds
        // something.
        if (!broken && line.isEmpty())
            break;
        if (doc.paragraphs.size() >= limits.paragraphs
            || (!line.isEmpty() && (runs >= limits.runs || limits.runsPerParagraph < 1))) {
            doc.truncated = true;
            break;
        }
        const QString text = utf8 ? QString::fromUtf8(line) : decodeCp949(line);
        const QString kept = firstUnits(text, room);
        if (kept.isEmpty() && !text.isEmpty()) {
            doc.truncated = true;
            break;
        }
        Paragraph p;
        if (!kept.isEmpty()) {
            p.runs.push_back(Run {kept});
            ++runs;
        }
        doc.paragraphs.push_back(std::move(p));
        characters += kept.size();
        if (kept.size() < text.size()) {
            doc.truncated = true;
            break;
        }
    }
    return doc;
}

} // namespace

Document read(QByteArrayView bytes, const Limits &limits)
{
    QByteArrayView start = bytes;
    while (!start.isEmpty() && (start.front() == ' ' || start.front() == '\r' || start.front() == '\n'))
        start = start.sliced(1);
    if (!start.startsWith("{\\rtf"))
        return readPlain(bytes, limits);
    return Reader(bytes, limits).run();
}

} // namespace rtf
