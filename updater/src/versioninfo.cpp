#include "updater/versioninfo.h"

#include <limits>

namespace pellwick {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

std::int32_t toDecimal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMax + 1)
            value = kMax + 1; // keep accumulating in range; saturated below
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value > kMax ? kMax : value);
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

VersionLine parseVersionLine(std::string_view line)
{
    VersionLine result;
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos)
        return result; // no separator at all: every field is empty
    const std::string_view versionField = line.substr(0, first);
    const std::size_t second = line.find(' ', first + 1);
    std::string_view delayField;
    std::string_view urlField;
    if (second == std::string_view::npos) {
        delayField = line.substr(first + 1);
    } else {
        delayField = line.substr(first + 1, second - first - 1);
        urlField = trimmed(line.substr(second + 1));
    }
    result.version = static_cast<std::uint32_t>(toDecimal(versionField));
    result.delay = toDecimal(delayField);
    result.packageUrl = std::string(urlField);
    return result;
}

} // namespace pellwick
