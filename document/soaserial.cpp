#include "document/soaserial.h"

#include "document/textbuffer.h"

#include <vector>

namespace {

constexpr qulonglong kMaxSerial = 4294967295ULL;

struct Token {
    int line = 0;
    int column = 0;
    QStringView text;
};

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

bool endsWord(QChar c)
{
    return isBlank(c) || c == QLatin1Char(';') || c == QLatin1Char('(') || c == QLatin1Char(')')
        || c == QLatin1Char('"');
}

// A zone text read record by record: a record runs to the end of its line,
// or to the line that closes its parentheses.
class ZoneRecords {
public:
    explicit ZoneRecords(const TextBuffer &text)
        : m_text(text)
    {
    }

    // The next record's tokens; false past the end. `hasOwner` tells whether
    // the record's first line starts with its owner name rather than a blank,
    // which repeats the last owner.
    bool next(std::vector<Token> &tokens, bool &hasOwner)
    {
        tokens.clear();
        int depth = 0;
        while (m_line < m_text.lineCount()) {
            const QString &line = m_text.line(m_line);
            if (tokens.empty() && depth == 0)
                hasOwner = !line.isEmpty() && !isBlank(line.front());
            depth = readLine(line, tokens, depth);
            ++m_line;
            if (depth == 0 && !tokens.empty())
                return true;
        }
        return !tokens.empty();
    }

private:
    // Adds the tokens of `line` and returns the parenthesis depth after it.
    int readLine(const QString &line, std::vector<Token> &tokens, int depth) const
    {
        const int n = static_cast<int>(line.size());
        int i = 0;
        while (i < n) {
            const QChar c = line.at(i);
            if (c == QLatin1Char(';'))
                break;
            if (isBlank(c) || c == QLatin1Char('(') || c == QLatin1Char(')')) {
                depth += c == QLatin1Char('(') ? 1 : (c == QLatin1Char(')') && depth > 0 ? -1 : 0);
                ++i;
                continue;
            }
            int j = i + 1;
            if (c == QLatin1Char('"')) {
                while (j < n && line.at(j) != QLatin1Char('"'))
                    j += line.at(j) == QLatin1Char('\\') ? 2 : 1;
                j = std::min(j + 1, n);
            } else {
                while (j < n && !endsWord(line.at(j)))
                    j += line.at(j) == QLatin1Char('\\') ? 2 : 1;
                j = std::min(j, n);
            }
            tokens.push_back({m_line, i, QStringView(line).mid(i, j - i)});
            i = j;
        }
        return depth;
    }

    const TextBuffer &m_text;
    int m_line = 0;
};

bool isDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// "3600", "1h30m": a TTL in the record's optional fields.
bool isTtl(QStringView text)
{
    if (text.isEmpty() || !text.front().isDigit())
        return false;
    for (QChar c : text) {
        if (!c.isDigit() && !QStringView(u"smhdwSMHDW").contains(c))
            return false;
    }
    return true;
}

bool isClass(QStringView text)
{
    for (QStringView known :
        {QStringView(u"IN"), QStringView(u"CH"), QStringView(u"HS"), QStringView(u"CS")}) {
        if (text.compare(known, Qt::CaseInsensitive) == 0)
            return true;
    }
    return text.size() > 5 && text.startsWith(u"CLASS", Qt::CaseInsensitive) && isDigits(text.mid(5));
}

// The date of a YYYYMMDDnn serial, invalid when the serial has another form.
QDate serialDate(QStringView serial)
{
    if (serial.size() != 10)
        return {};
    const QDate date = QDate::fromString(serial.left(8).toString(), QStringLiteral("yyyyMMdd"));
    return date.isValid() && date.year() >= 1970 ? date : QDate();
}

} // namespace

std::optional<SoaSerialSpot> findSoaSerial(const TextBuffer &text)
{
    ZoneRecords records(text);
    std::vector<Token> tokens;
    bool hasOwner = false;
    while (records.next(tokens, hasOwner)) {
        if (tokens.front().text.startsWith(QLatin1Char('$')))
            continue; // $ORIGIN, $TTL, $INCLUDE
        std::size_t type = hasOwner ? 1 : 0;
        // TTL and class come in either order, each at most once.
        for (int field = 0; field < 2 && type < tokens.size(); ++field) {
            if (isTtl(tokens[type].text) || isClass(tokens[type].text))
                ++type;
        }
        if (type >= tokens.size() || tokens[type].text.compare(u"SOA", Qt::CaseInsensitive) != 0)
            continue;
        // A zone has one SOA: a broken one is not looked past for another.
        if (type + 3 >= tokens.size() || !isDigits(tokens[type + 3].text))
            return std::nullopt;
        const Token &serial = tokens[type + 3];
        return SoaSerialSpot {text.lineStart(serial.line) + serial.column, serial.text.toString()};
    }
    return std::nullopt;
}

std::optional<QString> nextSoaSerial(QStringView serial, QDate today)
{
    bool ok = false;
    const qulonglong value = serial.toULongLong(&ok);
    if (!ok || value >= kMaxSerial)
        return std::nullopt;
    const QDate date = serialDate(serial);
    if (date.isValid() && date < today) {
        const QString first = today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("00");
        if (first.toULongLong() <= kMaxSerial)
            return first;
    }
    return QString::number(value + 1);
}

SoaSerialBump bumpSoaSerial(TextBuffer &text, QDate today)
{
    const std::optional<SoaSerialSpot> spot = findSoaSerial(text);
    if (!spot)
        return {};
    const std::optional<QString> next = nextSoaSerial(spot->digits, today);
    if (!next) {
        return {false,
            QStringLiteral("SOA 일련번호 %1을(를) 올리면 4294967295를 넘어 보조 서버가 더 작은 번호로 보므로 "
                           "그대로 두었습니다")
                .arg(spot->digits)};
    }
    const int end = spot->position + static_cast<int>(spot->digits.size());
    text.beginEditBlock();
    text.replace(spot->position, end, *next, TextSelection {spot->position, end});
    text.endEditBlock();
    return {true, QStringLiteral("SOA 일련번호: %1 → %2").arg(spot->digits, *next)};
}
