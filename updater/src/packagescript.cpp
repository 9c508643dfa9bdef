#include "updater/packagescript.h"

#include <algorithm>
#include <iterator>

#include <QFile>

#include "updater/updatepackage.h"
#include "updater/updatescript.h"

namespace pellwick {

namespace {

constexpr char kOutsideMessage[] = "경로는 \\로 시작하고 ..를 포함하지 않아야 합니다: ";

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

} // namespace

PreparedScript prepareScript(std::string_view source, const std::string &stagingDir)
{
    PreparedScript result;
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

    std::string script;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t feed = text.find('\n', start);
        if (feed == std::string::npos)
            feed = text.size();
        const std::string_view line = std::string_view(text).substr(start, feed - start);
        ++lineNumber;
        const bool last = feed == text.size();
        if (line.empty()) {
            result.error = std::to_string(lineNumber) + "번째 줄: 빈 줄은 쓸 수 없습니다.";
            return result;
        }
        if (line.rfind("write ", 0) == 0) {
            std::string_view rest = line.substr(6);
            const std::string_view location = rest.substr(0, rest.find(' '));
            if (!isKnownPrefix(location)) {
                result.error
                    = std::to_string(lineNumber) + "번째 줄: 위치는 ae:, id:, wd: 중 하나로 시작해야 합니다.";
                return result;
            }
            if (!staysInsideBase(resolveScriptLocation(location))) {
                result.error
                    = std::to_string(lineNumber) + "번째 줄: " + kOutsideMessage + std::string(location);
                return result;
            }
            QFile file(QFile::decodeName(QByteArray::fromStdString(stagedPath(stagingDir, location))));
            if (!file.open(QIODevice::ReadOnly)) {
                result.error = std::to_string(lineNumber)
                    + "번째 줄: 파일을 읽을 수 없습니다: " + file.fileName().toStdString();
                return result;
            }
            const QByteArray data = file.readAll();
            result.fileData.append(data.constData(), static_cast<std::size_t>(data.size()));
            script += "write " + std::string(location) + " " + std::to_string(data.size());
        } else if (last && line == "en") {
            script += line;
        } else {
            const std::size_t space = line.find(' ');
            const std::string_view word = line.substr(0, space);
            if (space == std::string_view::npos || (word != "del" && word != "rd" && word != "md")) {
                result.error
                    = std::to_string(lineNumber) + "번째 줄: 명령은 del, rd, md, write 중 하나여야 합니다.";
                return result;
            }
            if (!isKnownPrefix(line.substr(space + 1))) {
                result.error
                    = std::to_string(lineNumber) + "번째 줄: 위치는 ae:, id:, wd: 중 하나로 시작해야 합니다.";
                return result;
            }
            script += line;
        }
        if (!last)
            script += '\n';
        start = feed + 1;
    }

    const ScriptPlan plan = scanScript(script);
    if (script.size() > kMaxScriptLength) {
        result.error = "스크립트가 너무 깁니다 (최대 4095바이트).";
    } else if (plan.end == ScriptEnd::TooManyWrites) {
        result.error = "write 줄은 99개까지만 쓸 수 있습니다.";
    } else if (plan.end != ScriptEnd::EndMarker) {
        result.error = "스크립트가 \"en\"으로 끝나지 않습니다.";
    } else {
        for (const ScriptOp &op : plan.ops) {
            if (!staysInsideBase(op.where)) {
                result.error = kOutsideMessage + op.where.path;
                break;
            }
            if (namesUpdaterFile(op.where)) {
                result.error = "업데이트 프로그램의 파일은 패키지가 건드릴 수 없습니다: ae:" + op.where.path;
                break;
            }
        }
    }
    if (result.error.empty())
        result.script = std::move(script);
    else
        result.fileData.clear();
    return result;
}

} // namespace pellwick
