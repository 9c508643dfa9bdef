#include "updater/updatescript.h"

#include <algorithm>

#include "updater/versioninfo.h"

namespace pellwick {

ScriptLocation resolveScriptLocation(std::string_view location)
{
    ScriptLocation result;
    const std::string_view prefix = location.substr(0, std::min<std::size_t>(3, location.size()));
    if (prefix == "ae:")
        result.base = ScriptBase::Current;
    else if (prefix == "id:")
        result.base = ScriptBase::Idn;
    else if (prefix == "wd:")
        result.base = ScriptBase::Windows;
    else
        return result;
    result.path = std::string(location.substr(3));
    std::replace(result.path.begin(), result.path.end(), '\\', '/');
    return result;
}

ScriptPlan scanScript(std::string_view text)
{
    ScriptPlan plan;
    const std::size_t n = text.size();
    if (n < 2 || n > kMaxScriptLength || text.find('\0') != std::string_view::npos)
        return plan;

    // Reads past the text give the terminator, as in the fixed script buffer.
    auto at = [&](std::size_t i) { return i < n ? text[i] : '\0'; };
    const std::size_t end = n - 2;
    std::size_t pos = 0;

    while (pos < end) {
        std::size_t w = pos;
        while (w < end && text[w] != ' ')
            ++w;
        const std::string_view word = text.substr(pos, w - pos);
        const std::size_t arg = w + 1;

        if (word == "del" || word == "rd" || word == "md") {
            std::size_t e = arg;
            while (e < end && text[e] != '\n')
                ++e;
            const ScriptOpKind kind = word == "del" ? ScriptOpKind::Delete
                : word == "rd"                      ? ScriptOpKind::RemoveDir
                                                    : ScriptOpKind::MakeDir;
            plan.ops.push_back(
                {kind, resolveScriptLocation(text.substr(std::min(arg, e), e > arg ? e - arg : 0)), 0});
            pos = e + 1;
        } else if (word == "write") {
            std::size_t p = arg;
            while (p < end && text[p] != ' ')
                ++p;
            ScriptLocation where
                = resolveScriptLocation(text.substr(std::min(arg, p), p > arg ? p - arg : 0));
            if (where.base != ScriptBase::Unknown) {
                std::size_t e = p + 1;
                while (e < end && text[e] != '\n')
                    ++e;
                const std::size_t sizeStart = std::min(p + 1, e);
                const std::int64_t size = toDecimal(text.substr(sizeStart, e - sizeStart));
                plan.ops.push_back({ScriptOpKind::Write, std::move(where), size});
                if (++plan.writeCount >= kWriteTableSize) {
                    plan.end = ScriptEnd::TooManyWrites;
                    return plan;
                }
                pos = e + 1;
            } else {
                pos = arg + 1; // the rest of the line is read as further words
            }
        } else {
            pos = w + 2;
        }
    }

    plan.end = at(pos) == 'e' && at(pos + 1) == 'n' ? ScriptEnd::EndMarker : ScriptEnd::NoEndMarker;
    return plan;
}

bool staysInsideBase(const ScriptLocation &where)
{
    if (where.base == ScriptBase::Unknown || where.path.empty())
        return true;
    // Appended verbatim, a path without a leading separator would name a
    // sibling of the base ("/opt/quorel" + "x" = "/opt/quorelx").
    if (where.path.front() != '/')
        return false;
    std::string_view rest = where.path;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part == "..")
            return false;
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    return true;
}

} // namespace pellwick
