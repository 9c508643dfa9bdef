#include "panes/rtfreader.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <string_view>
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
// character becomes U+FFFD and the rest is still read.
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

// Destinations whose text is never shown.
bool isHiddenDestination(const QByteArray &word)
{
    static const QList<QByteArray> kHidden = {"colortbl", "stylesheet", "info", "pict", "object", "header",
        "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "fldinst", "listtable",
        "listoverridetable", "revtbl", "rsidtbl", "filetbl", "themedata", "colorschememapping",
        "latentstyles", "datastore", "xmlnstbl", "generator", "footnote", "annotation", "bkmkstart",
        "bkmkend", "nonshppict", "xe", "tc", "template", "docvar", "userprops", "pgdsctbl", "fchars",
        "lchars", "protusertbl", "author", "operator", "title", "subject", "keywords", "comment"};
    return kHidden.contains(word);
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
    explicit Reader(QByteArrayView in)
        : m_in(in)
    {
    }

    Document run()
    {
        while (m_pos < m_in.size()) {
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

    void append(const QString &text)
    {
        if (text.isEmpty() || m_state.hidden)
            return;
        Run run;
        run.bold = m_state.bold;
        run.italic = m_state.italic;
        run.underline = m_state.underline;
        run.halfPoints = m_state.halfPoints;
        if (!m_paragraph.runs.isEmpty() && m_paragraph.runs.last().sameFormat(run)) {
            m_paragraph.runs.last().text += text;
            return;
        }
        run.text = text;
        m_paragraph.runs.push_back(std::move(run));
    }

    void endParagraph()
    {
        flush();
        m_paragraph.alignment = m_alignment;
        m_document.paragraphs.push_back(std::exchange(m_paragraph, {}));
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
        QByteArray word;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos])) {
            if (word.size() < kMaxWordLength)
                word += m_in[m_pos];
            ++m_pos;
        }
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
        if (!word.isEmpty())
            apply(word, hasParam, value);
    }

    void apply(const QByteArray &word, bool hasParam, int value)
    {
        if (word == "bin") {
            // Raw binary data follows (a picture's); braces in it are data.
            const qsizetype length = hasParam && value > 0 ? value : 0;
            m_pos += std::min(length, m_in.size() - m_pos);
            m_starred = false;
            return;
        }
        if (std::exchange(m_starred, false)) {
            // Every destination marked ignorable is one we do not show.
            m_state.hidden = true;
            return;
        }
        if (word == "fonttbl") {
            m_state.hidden = true;
            m_state.fontTable = true;
            return;
        }
        if (m_state.fontTable) {
            if (word == "f")
                m_tableFont = value;
            else if (word == "fcharset")
                charset(value);
            return;
        }
        if (isHiddenDestination(word)) {
            m_state.hidden = true;
            return;
        }
        if (word == "ansicpg" && hasParam) {
            m_defaultPage = codePageOf(value);
            return;
        }
        if (word == "f") {
            m_state.font = value;
            return;
        }
        if (word == "uc") {
            m_state.fallbackLength = std::clamp(value, 0, kMaxFallbackSkip);
            return;
        }
        if (m_state.hidden)
            return;
        const bool on = !hasParam || value != 0;
        if (word == "u" && hasParam) {
            // A signed 16-bit number; its fallback characters follow.
            const int unit = value < 0 ? value + 65536 : value;
            if (unit > 0 && unit <= 0xFFFF)
                append(QString(QChar(static_cast<char16_t>(unit))));
            m_fallback = m_state.fallbackLength;
        } else if (word == "par" || word == "sect" || word == "page" || word == "row") {
            endParagraph();
        } else if (word == "line") {
            append(QString(QChar(QChar::LineSeparator)));
        } else if (word == "tab" || word == "cell") {
            append(QStringLiteral("\t"));
        } else if (word == "b") {
            m_state.bold = on;
        } else if (word == "i") {
            m_state.italic = on;
        } else if (word == "ulnone") {
            m_state.underline = false;
        } else if (word.startsWith("ul") && word != "ulc") {
            m_state.underline = word != "ul" || on;
        } else if (word == "plain") {
            m_state.bold = m_state.italic = m_state.underline = false;
            m_state.halfPoints = 0;
        } else if (word == "fs") {
            m_state.halfPoints = hasParam ? std::clamp(value, 0, 400) : 24;
        } else if (word == "pard") {
            m_alignment = Alignment::Left;
        } else if (word == "ql") {
            m_alignment = Alignment::Left;
        } else if (word == "qc") {
            m_alignment = Alignment::Center;
        } else if (word == "qr") {
            m_alignment = Alignment::Right;
        } else if (word == "qj") {
            m_alignment = Alignment::Justify;
        } else {
            symbol(word);
        }
    }

    void symbol(const QByteArray &word)
    {
        struct Named {
            const char *word;
            char16_t unit;
        };
        static constexpr Named kNamed[] = {{"emdash", 0x2014}, {"endash", 0x2013}, {"bullet", 0x2022},
            {"lquote", 0x2018}, {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
            {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005}};
        for (const Named &n : kNamed) {
            if (word == n.word) {
                append(QString(QChar(n.unit)));
                return;
            }
        }
    }

    void charset(int value)
    {
        switch (value) {
        case 129: // Hangul
            m_fontPages.insert(m_tableFont, CodePage::Cp949);
            break;
        case 0: // ANSI: the document's own page decides
        case 1:
            break;
        default:
            m_fontPages.insert(m_tableFont, CodePage::Cp1252);
            break;
        }
    }

    QByteArrayView m_in;
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

Document readPlain(QByteArrayView bytes)
{
    const QByteArray data = bytes.toByteArray();
    const std::string_view view(data.constData(), static_cast<std::size_t>(data.size()));
    QString text = namecodec::isValidUtf8(view) ? QString::fromUtf8(data) : decodeCp949(data);
    text.remove(u'\r');
    Document doc;
    const QStringList lines = text.split(u'\n');
    for (const QString &line : lines) {
        Paragraph p;
        if (!line.isEmpty())
            p.runs.push_back(Run {line});
        doc.paragraphs.push_back(std::move(p));
    }
    if (!doc.paragraphs.isEmpty() && doc.paragraphs.last().runs.isEmpty())
        doc.paragraphs.removeLast();
    return doc;
}

} // namespace

Document read(QByteArrayView bytes)
{
    QByteArrayView start = bytes;
    while (!start.isEmpty() && (start.front() == ' ' || start.front() == '\r' || start.front() == '\n'))
        start = start.sliced(1);
    if (!start.startsWith("{\\rtf"))
        return readPlain(bytes);
    return Reader(bytes).run();
}

} // namespace rtf
