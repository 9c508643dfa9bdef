// namecodec: converts domain names between code page 949, UTF-8 and Punycode
// from scripts. Exit status 0 on success, 1 when a name or file fails, 2 for a
// usage error.
#include "namecodec/codec.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace namecodec;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kHelp[] = R"(사용법:
  namecodec to-ascii [--from {text}] [NAME...]
  namecodec to-unicode [--to {text}] [NAME...]
  namecodec convert --from {any} --to {any}
                    [--keep-comment] [--kind {kinds}] [--warn|--no-warn]
                    INPUT OUTPUT
  namecodec --version

to-ascii    각 NAME(없으면 표준 입력의 각 줄)의 한글 레이블을 Punycode(xn--)로
            바꾸어 한 줄에 하나씩 출력합니다. 기본 --from utf-8.
to-unicode  각 NAME의 xn-- 레이블을 한글로 되돌려 출력합니다. 기본 --to utf-8.
convert     파일 전체를 변환합니다. INPUT이나 OUTPUT이 '-'이면 표준 입력/출력입니다.
            --from punycode이면 이름 밖의 글은 --to 인코딩으로, --to punycode이면
            --from 인코딩으로 읽습니다.
            --keep-comment  바뀐 줄마다 원래 줄을 주석(; // #)으로 남깁니다.
            --kind          파일 종류 (기본 auto: 내용으로 알아냅니다).
            --warn          Punycode로 바꿀 때, 변환하지 않는 규칙(RewriteCond,
                            nginx의 if와 map, 정규식 server_name, 리디렉트 URL,
                            SPF/DMARC TXT, CAA) 안에 남은 한글 호스트를 표준
                            오류에 경고로 알립니다 (기본). 종료 코드는 그대로
                            0입니다.
            --no-warn       그 경고를 알리지 않습니다.

실패한 줄은 모두 표준 오류에 INPUT:LINE:COLUMN: message 형식으로, 경고는
INPUT:LINE:COLUMN: 경고: message (ACE: 바꿔 쓸 형태) 형식으로 알리며,
하나라도 실패하면 아무것도 쓰지 않습니다. OUTPUT 파일은 옆의 숨은 임시 파일
(.OUTPUT.<pid>.XXXXXX)에 쓴 뒤 바꿔 넣으며 소유자, 그룹, 권한을 그대로 둡니다.
심볼릭 링크이면 링크가 가리키는 파일을 바꾸고, FIFO나 장치이면 바로 쓰므로
도중에 실패하면 이미 쓴 부분은 남습니다. 폴더는 거부합니다.
종료 코드: 0 성공, 1 변환 실패, 2 사용법 오류.
)";

// The hidden partial file a conversion is writing beside its target, kept
// where a signal handler may read it: an interrupted run removes it instead
// of leaving a half-written copy behind.
char g_partialPath[PATH_MAX + 1];
volatile std::sig_atomic_t g_partialKnown = 0;

extern "C" void removePartialFileAndStop(int signal)
{
    if (g_partialKnown)
        (void)::unlink(g_partialPath);
    // Ends the run the way the signal would have, so the caller sees it.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void notePartialFile(const char *path)
{
    g_partialKnown = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (!path || std::strlen(path) >= sizeof g_partialPath)
        return;
    std::memcpy(g_partialPath, path, std::strlen(path) + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_partialKnown = 1;
}

void removePartialFileOnSignals()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old { };
        // A signal the caller chose to ignore (nohup, a background job)
        // stays ignored.
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action { };
        action.sa_handler = removePartialFileAndStop;
        sigemptyset(&action.sa_mask);
        sigaddset(&action.sa_mask, SIGINT);
        sigaddset(&action.sa_mask, SIGTERM);
        sigaddset(&action.sa_mask, SIGHUP);
        (void)::sigaction(signal, &action, nullptr);
    }
}

int usage(const std::string &message)
{
    std::fprintf(stderr, "namecodec: %s\n'namecodec --help'로 사용법을 보십시오.\n", message.c_str());
    return kUsage;
}

// The words the options take, each list written once so that the help and
// the messages cannot disagree.
struct EncodingWord {
    const char *word;
    Encoding encoding;
    bool listed; // shown in the help; the others are accepted spellings
};
constexpr EncodingWord kEncodingWords[] = {
    {"cp949", Encoding::Cp949, true},
    {"euc-kr", Encoding::Cp949, false},
    {"EUC-KR", Encoding::Cp949, false},
    {"utf-8", Encoding::Utf8, true},
    {"utf8", Encoding::Utf8, false},
    {"UTF-8", Encoding::Utf8, false},
    {"punycode", Encoding::Punycode, true},
};

struct KindWord {
    const char *word;
    FileKind kind;
};
constexpr KindWord kKindWords[] = {
    {"auto", FileKind::Auto},
    {"zone", FileKind::Zone},
    {"named", FileKind::NamedConf},
    {"httpd", FileKind::WebServer},
    {"general", FileKind::General},
};

std::string encodingList(bool withPunycode, const char *separator)
{
    std::string list;
    for (const EncodingWord &w : kEncodingWords) {
        if (!w.listed || (!withPunycode && w.encoding == Encoding::Punycode))
            continue;
        if (!list.empty())
            list += separator;
        list += w.word;
    }
    return list;
}

std::string kindList(const char *separator)
{
    std::string list;
    for (const KindWord &w : kKindWords) {
        if (!list.empty())
            list += separator;
        list += w.word;
    }
    return list;
}

std::string helpText()
{
    std::string text = kHelp;
    for (const auto &[mark, value] :
        {std::pair<std::string, std::string> {"{text}", encodingList(false, "|")},
            {"{any}", encodingList(true, "|")}, {"{kinds}", kindList("|")}}) {
        for (std::size_t at = text.find(mark); at != std::string::npos;
             at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    return text;
}

std::optional<std::string> parseEncoding(const std::string &text, bool allowPunycode, Encoding &out)
{
    for (const EncodingWord &w : kEncodingWords) {
        if (text == w.word && (allowPunycode || w.encoding != Encoding::Punycode)) {
            out = w.encoding;
            return std::nullopt;
        }
    }
    return "알 수 없는 인코딩 '" + text + "'입니다 ("
        + (allowPunycode ? encodingList(true, ", ") : encodingList(false, " 또는 ")) + ").";
}

std::optional<std::string> parseKind(const std::string &text, FileKind &out)
{
    for (const KindWord &w : kKindWords) {
        if (text == w.word) {
            out = w.kind;
            return std::nullopt;
        }
    }
    return "알 수 없는 파일 종류 '" + text + "'입니다 (" + kindList(", ") + ").";
}

// One option of a command. A switch has no `missing`; an option with a value
// takes it after '=' or as the next argument, and `missing` ends the message
// for a value that is not there ("인코딩이"). `apply` returns a usage message
// for a value it does not know.
struct Option {
    std::string_view name;
    const char *missing;
    std::function<std::optional<std::string>(const std::string &value)> apply;
};

// The tool's one argument parser. Options and operands mix in any order,
// later options win, and "--" ends the options. With `dashWordsAreOptions`
// every word starting with '-' (but "-" itself) is an option, else only
// those starting with "--" are, so that a name may start with '-'.
// Returns a usage message, or nothing when every argument was taken.
std::optional<std::string> parseArguments(const std::vector<std::string> &args,
    const std::vector<Option> &options, bool dashWordsAreOptions, std::vector<std::string> &operands)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--") {
            operands.insert(operands.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        const bool longOption = arg.rfind("--", 0) == 0;
        if (!(longOption || (dashWordsAreOptions && arg.size() > 1 && arg[0] == '-'))) {
            operands.push_back(arg);
            continue;
        }
        const std::size_t eq = longOption ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, eq);
        const Option *option = nullptr;
        for (const Option &o : options) {
            if (o.name == name)
                option = &o;
        }
        if (!option)
            return "알 수 없는 옵션 '" + name + "'입니다.";
        std::string value;
        if (!option->missing) {
            if (eq != std::string::npos)
                return name + " 옵션에는 값을 줄 수 없습니다.";
        } else if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return name + " 다음에 " + option->missing + " 없습니다.";
        }
        if (auto message = option->apply(value))
            return message;
    }
    return std::nullopt;
}

void warn(const std::string &input, const ConvertReport &result)
{
    std::string text;
    for (const ConvertWarning &w : result.warnings) {
        text
            += input + ":" + std::to_string(w.line) + ":" + std::to_string(w.column) + ": 경고: " + w.message;
        if (!w.ace.empty())
            text += " (ACE: " + w.ace + ")";
        text += '\n';
    }
    if (result.omittedWarnings > 0)
        text += input + ": 경고: 그 밖에 " + std::to_string(result.omittedWarnings) + "곳이 더 있습니다\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void report(const std::string &input, const Error &e)
{
    // Written whole: a NUL that reached a message must not cut it short.
    const std::string text = input + ":" + std::to_string(e.line > 0 ? e.line : 1) + ":"
        + std::to_string(e.column > 0 ? e.column : 1) + ": " + e.message + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

int names(bool ascii, const std::vector<std::string> &args)
{
    Encoding enc = Encoding::Utf8;
    std::vector<std::string> list;
    const std::vector<Option> options {{ascii ? "--from" : "--to", "인코딩이",
        [&](const std::string &value) { return parseEncoding(value, false, enc); }}};
    if (auto message = parseArguments(args, options, false, list))
        return usage(*message);

    const bool fromStdin = list.empty();
    const std::string input = fromStdin ? "-" : "NAME";
    std::vector<std::string> results;
    std::vector<Error> errors;
    int lineNo = 0;
    auto convertOne = [&](std::string name) {
        ++lineNo;
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        auto r = ascii ? toAscii(name, enc) : toUnicode(name, enc);
        if (r) {
            results.push_back(std::move(*r));
        } else {
            Error e = r.error();
            e.line = lineNo;
            if (e.column <= 0)
                e.column = 1;
            errors.push_back(std::move(e));
        }
    };
    if (fromStdin) {
        std::string line;
        while (std::getline(std::cin, line))
            convertOne(std::move(line));
    } else {
        for (auto &n : list)
            convertOne(n);
    }
    for (const Error &e : errors)
        report(fromStdin ? "-" : input, e);
    if (!errors.empty())
        return kFailed;
    std::string out;
    for (const auto &r : results) {
        out += r;
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? kOk : kFailed;
}

int convert(const std::vector<std::string> &args)
{
    ConvertOptions options;
    options.maxErrors = 100000;
    options.maxWarnings = 100000;
    bool haveFrom = false, haveTo = false;
    std::vector<std::string> files;
    const std::vector<Option> table {
        {"--from", "인코딩이",
            [&](const std::string &value) {
                haveFrom = true;
                return parseEncoding(value, true, options.from);
            }},
        {"--to", "인코딩이",
            [&](const std::string &value) {
                haveTo = true;
                return parseEncoding(value, true, options.to);
            }},
        {"--keep-comment", nullptr,
            [&](const std::string &) {
                options.keepComment = true;
                return std::optional<std::string>();
            }},
        {"--kind", "파일 종류가", [&](const std::string &value) { return parseKind(value, options.kind); }},
        {"--warn", nullptr,
            [&](const std::string &) {
                options.warnings = true;
                return std::optional<std::string>();
            }},
        {"--no-warn", nullptr,
            [&](const std::string &) {
                options.warnings = false;
                return std::optional<std::string>();
            }},
    };
    if (auto message = parseArguments(args, table, true, files))
        return usage(*message);
    if (!haveFrom || !haveTo)
        return usage("convert에는 --from과 --to가 모두 있어야 합니다.");
    if (files.size() != 2)
        return usage("convert에는 INPUT과 OUTPUT 두 파일이 있어야 합니다.");
    options.partialFile = notePartialFile;
    removePartialFileOnSignals();
    const ConvertReport result = convertFile(files[0], files[1], options);
    for (const Error &e : result.errors)
        report(files[0], e);
    // Warnings are about a result that was written; they never fail the run.
    if (result.ok())
        warn(files[0], result);
    return result.ok() ? kOk : kFailed;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage("명령이 없습니다 (to-ascii, to-unicode, convert).");
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(helpText().c_str(), stdout);
        return kOk;
    }
    if (command == "--version") {
        std::puts("namecodec " QUOREL_VERSION);
        return kOk;
    }
    for (const auto &a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(helpText().c_str(), stdout);
            return kOk;
        }
    }
    if (command == "to-ascii")
        return names(true, args);
    if (command == "to-unicode")
        return names(false, args);
    if (command == "convert")
        return convert(args);
    return usage("알 수 없는 명령 '" + command + "'입니다.");
}
