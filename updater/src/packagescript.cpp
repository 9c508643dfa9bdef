#include "updater/packagescript.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include <QFile>

#include "updater/updatepackage.h"
#include "updater/updatescript.h"

namespace pellwick {

namespace {

constexpr char kOutsideMessage[] = "경로는 \\로 시작하고 ..를 포함하지 않아야 합니다: ";
constexpr char kUnknownBaseMessage[] = "위치는 ae:, id:, wd: 중 하나로 시작해야 합니다.";

std::string stagedPath(const std::string &stagingDir, std::string_view location)
{
    std::string path = stagingDir + "/" + std::string(location.substr(0, 2));
    for (char c : location.substr(3))
        path.push_back(c == '\\' ? '/' : c);
    return path;
}

// "ae:\\pellwick.journal" and the like: the updater's own files, which a package may not touch.
bool namesUpdaterFile(const ScriptLocation &where)
{
    if (where.base != ScriptBase::Current)
        return false;
    std::string_view path = where.path;
    while (!path.empty() && (path.front() == '/' || path.substr(0, 2) == "./"))
        path.remove_prefix(path.front() == '/' ? 1 : 2);
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    return std::find(std::begin(kUpdaterFiles), std::end(kUpdaterFiles), path) != std::end(kUpdaterFiles);
}

bool isKnownPrefix(std::string_view location)
{
    const std::string_view prefix = location.substr(0, 3);
    return prefix == "ae:" || prefix == "id:" || prefix == "wd:";
}

// Every fault of one line names that line.
std::string lineError(std::size_t lineNumber, std::string_view what)
{
    return std::to_string(lineNumber) + "번째 줄: " + std::string(what);
}

// The author's text with line feeds only, ending in the "en" line.
std::string normalisedSource(std::string_view source)
{
    std::string text;
    for (char c : source) {
        if (c != '\r')
            text.push_back(c);
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "en") != 0
        || (text.size() > 2 && text[text.size() - 3] != '\n'))
        text += text.empty() ? "en" : "\nen";
    return text;
}

// A write line with its size filled in from the staged file, whose bytes
// are appended to fileData. Returns the fault, without its line number.
std::optional<std::string> prepareWriteLine(
    std::string_view line, const std::string &stagingDir, std::string &script, std::string &fileData)
{
    const std::string_view rest = line.substr(6);
    const std::string_view location = rest.substr(0, rest.find(' '));
    if (!isKnownPrefix(location))
        return kUnknownBaseMessage;
    if (!staysInsideBase(resolveScriptLocation(location)))
        return kOutsideMessage + std::string(location);
    QFile file(QFile::decodeName(QByteArray::fromStdString(stagedPath(stagingDir, location))));
    if (!file.open(QIODevice::ReadOnly))
        return "파일을 읽을 수 없습니다: " + file.fileName().toStdString();
    const QByteArray data = file.readAll();
    fileData.append(data.constData(), static_cast<std::size_t>(data.size()));
    script += "write " + std::string(location) + " " + std::to_string(data.size());
    return std::nullopt;
}

// One line of the author's script as the package carries it. Returns the
// fault, without its line number.
std::optional<std::string> prepareLine(std::string_view line, bool last, const std::string &stagingDir,
    std::string &script, std::string &fileData)
{
    if (line.empty())
        return "빈 줄은 쓸 수 없습니다.";
    if (line.rfind("write ", 0) == 0)
        return prepareWriteLine(line, stagingDir, script, fileData);
    if (!(last && line == "en")) {
        const std::size_t space = line.find(' ');
        const std::string_view word = line.substr(0, space);
        if (space == std::string_view::npos || (word != "del" && word != "rd" && word != "md"))
            return "명령은 del, rd, md, write 중 하나여야 합니다.";
        if (!isKnownPrefix(line.substr(space + 1)))
            return kUnknownBaseMessage;
    }
    script += line;
    return std::nullopt;
}

// What the updater itself would refuse in the whole script; empty when none.
std::string scriptFault(const std::string &script)
{
    const ScriptPlan plan = scanScript(script);
    if (script.size() > kMaxScriptLength)
        return "스크립트가 너무 깁니다 (최대 4095바이트).";
    if (plan.end == ScriptEnd::TooManyWrites)
        return "write 줄은 99개까지만 쓸 수 있습니다.";
    if (plan.end != ScriptEnd::EndMarker)
        return "스크립트가 \"en\"으로 끝나지 않습니다.";
    for (const ScriptOp &op : plan.ops) {
        if (!staysInsideBase(op.where))
            return kOutsideMessage + op.where.path;
        if (namesUpdaterFile(op.where))
            return "업데이트 프로그램의 파일은 패키지가 건드릴 수 없습니다: ae:" + op.where.path;
    }
    return {};
}

} // namespace

PreparedScript prepareScript(std::string_view source, const std::string &stagingDir)
{
    PreparedScript result;
    const std::string text = normalisedSource(source);
    std::string script;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t feed = text.find('\n', start);
        if (feed == std::string::npos)
            feed = text.size();
        const std::string_view line = std::string_view(text).substr(start, feed - start);
        ++lineNumber;
        const bool last = feed == text.size();
        if (auto fault = prepareLine(line, last, stagingDir, script, result.fileData)) {
            result.error = lineError(lineNumber, *fault);
            result.fileData.clear();
            return result;
        }
        if (!last)
            script += '\n';
        start = feed + 1;
    }
    result.error = scriptFault(script);
    if (result.error.empty())
        result.script = std::move(script);
    else
        result.fileData.clear();
    return result;
}

} // namespace pellwick
