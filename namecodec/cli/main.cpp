// namecodec: converts domain names between code page 949, UTF-8 and Punycode
// from scripts. Exit status 0 on success, 1 when a name or file fails, 2 for a
// usage error.
#include "namecodec/codec.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace namecodec;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kHelp[] = R"(사용법:
  namecodec to-ascii [--from cp949|utf-8] [NAME...]
  namecodec to-unicode [--to cp949|utf-8] [NAME...]
  namecodec convert --from cp949|utf-8|punycode --to cp949|utf-8|punycode
                    [--keep-comment] [--kind auto|zone|named|httpd|general] INPUT OUTPUT

to-ascii    각 NAME(없으면 표준 입력의 각 줄)의 한글 레이블을 Punycode(xn--)로
            바꾸어 한 줄에 하나씩 출력합니다. 기본 --from utf-8.
to-unicode  각 NAME의 xn-- 레이블을 한글로 되돌려 출력합니다. 기본 --to utf-8.
convert     파일 전체를 변환합니다. INPUT이나 OUTPUT이 '-'이면 표준 입력/출력입니다.
            --from punycode이면 이름 밖의 글은 --to 인코딩으로, --to punycode이면
            --from 인코딩으로 읽습니다.
            --keep-comment  바뀐 줄마다 원래 줄을 주석(; // #)으로 남깁니다.
            --kind          파일 종류 (기본 auto: 내용으로 알아냅니다).

실패한 줄은 모두 표준 오류에 INPUT:LINE:COLUMN: message 형식으로 알리며,
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

bool parseEncoding(const std::string &text, bool allowPunycode, Encoding &out)
{
    if (text == "cp949" || text == "euc-kr" || text == "EUC-KR") {
        out = Encoding::Cp949;
    } else if (text == "utf-8" || text == "utf8" || text == "UTF-8") {
        out = Encoding::Utf8;
    } else if (allowPunycode && text == "punycode") {
        out = Encoding::Punycode;
    } else {
        return false;
    }
    return true;
}

void report(const std::string &input, const Error &e)
{
    // Written whole: a NUL that reached a message must not cut it short.
    const std::string text = input + ":" + std::to_string(e.line > 0 ? e.line : 1) + ":"
        + std::to_string(e.column > 0 ? e.column : 1) + ": " + e.message + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

int names(bool ascii, std::vector<std::string> args)
{
    Encoding enc = Encoding::Utf8;
    std::vector<std::string> list;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const char *option = ascii ? "--from" : "--to";
        if (a == option || a.rfind(std::string(option) + "=", 0) == 0) {
            std::string value;
            if (a == option) {
                if (i + 1 >= args.size())
                    return usage(std::string(option) + " 다음에 인코딩이 없습니다.");
                value = args[++i];
            } else {
                value = a.substr(std::strlen(option) + 1);
            }
            if (!parseEncoding(value, false, enc))
                return usage("알 수 없는 인코딩 '" + value + "'입니다 (cp949 또는 utf-8).");
        } else if (a == "--") {
            list.insert(list.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return usage("알 수 없는 옵션 '" + a + "'입니다.");
        } else {
            list.push_back(a);
        }
    }

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

int convert(std::vector<std::string> args)
{
    ConvertOptions options;
    options.maxErrors = 100000;
    bool haveFrom = false, haveTo = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        const std::size_t eq = a.find('=');
        const bool inlineValue = a.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
        }
        auto take = [&](const char *what) -> bool {
            if (inlineValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            (void)what;
            return true;
        };
        if (a == "--from" || a == "--to") {
            if (!take(a.c_str()))
                return usage(a + " 다음에 인코딩이 없습니다.");
            Encoding e;
            if (!parseEncoding(value, true, e))
                return usage("알 수 없는 인코딩 '" + value + "'입니다 (cp949, utf-8, punycode).");
            (a == "--from" ? options.from : options.to) = e;
            (a == "--from" ? haveFrom : haveTo) = true;
        } else if (a == "--keep-comment") {
            options.keepComment = true;
        } else if (a == "--kind") {
            if (!take("--kind"))
                return usage("--kind 다음에 파일 종류가 없습니다.");
            if (value == "auto")
                options.kind = FileKind::Auto;
            else if (value == "zone")
                options.kind = FileKind::Zone;
            else if (value == "named")
                options.kind = FileKind::NamedConf;
            else if (value == "httpd")
                options.kind = FileKind::WebServer;
            else if (value == "general")
                options.kind = FileKind::General;
            else
                return usage(
                    "알 수 없는 파일 종류 '" + value + "'입니다 (auto, zone, named, httpd, general).");
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return usage("알 수 없는 옵션 '" + a + "'입니다.");
        } else {
            files.push_back(a);
        }
    }
    if (!haveFrom || !haveTo)
        return usage("convert에는 --from과 --to가 모두 있어야 합니다.");
    if (files.size() != 2)
        return usage("convert에는 INPUT과 OUTPUT 두 파일이 있어야 합니다.");
    options.partialFile = notePartialFile;
    removePartialFileOnSignals();
    const ConvertReport result = convertFile(files[0], files[1], options);
    for (const Error &e : result.errors)
        report(files[0], e);
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
        std::fputs(kHelp, stdout);
        return kOk;
    }
    for (const auto &a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return kOk;
        }
    }
    if (command == "to-ascii")
        return names(true, std::move(args));
    if (command == "to-unicode")
        return names(false, std::move(args));
    if (command == "convert")
        return convert(std::move(args));
    return usage("알 수 없는 명령 '" + command + "'입니다.");
}
