#include "testutil.h"

#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>

using namespace testutil;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the real tool through the shell, in the folder `dir` when `inDir`;
// `args` is shell text.
ToolRun runTool(
    const TempDir &dir, const std::string &args, const std::string &stdinText = {}, bool inDir = false)
{
    writeFile(dir / "stdin", stdinText);
    const std::string command = (inDir ? "cd " + dir.path().string() + " && " : std::string())
        + std::string(QUOREL_BIN_DIR) + "/namecodec " + args + " <" + (dir / "stdin").string() + " >"
        + (dir / "stdout").string() + " 2>" + (dir / "stderr").string();
    ToolRun r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(dir / "stdout");
    r.err = readFile(dir / "stderr");
    return r;
}

} // namespace

TEST(Tool, NamesFromArgumentsAndStandardInput)
{
    TempDir dir;
    ToolRun r = runTool(dir, "to-ascii 예제.한국 www.example.com");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "xn--2j5b21b.xn--3e0b707e\nwww.example.com\n");

    r = runTool(dir, "to-ascii --from cp949", cp949("메일.한국\r\n예제.한국\n"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "xn--h32bq4v.xn--3e0b707e\nxn--2j5b21b.xn--3e0b707e\n");

    r = runTool(dir, "to-unicode --to cp949 xn--h32bq4v.xn--3e0b707e");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cp949("메일.한국\n"));
    r = runTool(dir, "to-unicode xn--h32bq4v.xn--3e0b707e");
    EXPECT_EQ(r.out, "메일.한국\n");
}

TEST(Tool, EveryFailureIsReportedAndNothingIsPrinted)
{
    TempDir dir;
    ToolRun r = runTool(dir, "to-ascii", "좋은.한국\n가\u3164.kr\n또좋은.한국\n나\u200B다.kr\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("-:2:1: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\n-:4:1: "), std::string::npos) << r.err;
}

TEST(Tool, ConvertsFilesWithCompilerStyleErrors)
{
    TempDir dir;
    writeFile(dir / "in.zone", cp949("$TTL 1\n메일 IN A 192.0.2.1\n"));
    ToolRun r = runTool(
        dir, "convert --from cp949 --to punycode --keep-comment " + (dir / "in.zone").string() + " -");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, cp949("$TTL 1\n; 메일 IN A 192.0.2.1\nxn--h32bq4v IN A 192.0.2.1\n"));

    r = runTool(dir, "convert --from=punycode --to=utf-8 --kind zone - -", "xn--h32bq4v IN A 192.0.2.1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "메일 IN A 192.0.2.1\n");

    writeFile(dir / "bad.zone", cp949("가\u3164 IN A 1.2.3.4\nok IN A 1.2.3.4\nx IN CNAME 나\u3164.kr.\n"));
    r = runTool(dir,
        "convert --from cp949 --to punycode " + (dir / "bad.zone").string() + " " + (dir / "out").string());
    EXPECT_EQ(r.status, 1);
    const std::string prefix = (dir / "bad.zone").string();
    EXPECT_EQ(r.err.rfind(prefix + ":1:1: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(prefix + ":3:12: "), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

TEST(Tool, UsageErrorsExitWithTwo)
{
    TempDir dir;
    for (const char *args : {"", "frobnicate", "to-ascii --from latin1 x", "convert --from cp949 a b",
             "convert --from cp949 --to punycode onlyone",
             "convert --kind nginx --from cp949 --to punycode a b", "to-ascii --bogus",
             "convert --keep-comment=no --from cp949 --to punycode a b", "convert --from cp949 --to"}) {
        SCOPED_TRACE(args);
        const ToolRun r = runTool(dir, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_FALSE(r.err.empty());
    }
    const ToolRun help = runTool(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("to-unicode"), std::string::npos);
}

// The help and the message for an unknown kind name the same kinds, and the
// tool accepts every one of them.
TEST(Tool, HelpAndMessagesAgreeOnTheKinds)
{
    TempDir dir;
    const ToolRun help = runTool(dir, "--help");
    const std::string mark = "[--kind ";
    const std::size_t at = help.out.find(mark);
    ASSERT_NE(at, std::string::npos) << help.out;
    const std::string helpList = help.out.substr(at + mark.size(), help.out.find(']', at) - at - mark.size());

    const ToolRun bad = runTool(dir, "convert --kind nginx --from cp949 --to punycode a b");
    EXPECT_EQ(bad.status, 2);
    const std::size_t open = bad.err.find(" (");
    ASSERT_NE(open, std::string::npos) << bad.err;
    std::string errorList = bad.err.substr(open + 2, bad.err.find(").", open) - open - 2);
    for (std::size_t comma; (comma = errorList.find(", ")) != std::string::npos;)
        errorList.replace(comma, 2, "|");
    EXPECT_EQ(helpList, errorList);
    EXPECT_NE(helpList.find("general"), std::string::npos) << helpList;

    writeFile(dir / "in.txt", "메일.한국\n");
    std::size_t begin = 0;
    for (std::size_t end = 0; end != std::string::npos; begin = end + 1) {
        end = helpList.find('|', begin);
        const std::string kind = helpList.substr(begin, end - begin);
        SCOPED_TRACE(kind);
        const ToolRun r = runTool(dir,
            "convert --from utf-8 --to punycode --kind " + kind + " " + (dir / "in.txt").string() + " -");
        EXPECT_EQ(r.status, 0) << r.err;
    }
}

TEST(Tool, DoubleDashEndsTheOptions)
{
    TempDir dir;
    writeFile(dir / "-in.zone", "메일 IN A 192.0.2.1\n");
    ToolRun r = runTool(dir, "convert --from utf-8 --to punycode -in.zone -", {}, true);
    EXPECT_EQ(r.status, 2);
    r = runTool(dir, "convert --from utf-8 --to punycode -- -in.zone -", {}, true);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "xn--h32bq4v IN A 192.0.2.1\n");

    r = runTool(dir, "to-ascii -- --예제.한국");
    EXPECT_EQ(r.status, 1) << r.out;
}

TEST(Tool, HangulLeftInRulesIsAWarningThatKeepsStatusZero)
{
    TempDir dir;
    const std::string in = dataFile("rules-nginx.conf").string();
    const std::string out = (dir / "out.conf").string();
    const std::string convert = "convert --from utf-8 --to punycode ";
    const ToolRun warned = runTool(dir, convert + in + " " + out);
    EXPECT_EQ(warned.status, 0) << warned.err;
    const std::string converted = readFile(out);
    EXPECT_FALSE(converted.empty());
    EXPECT_EQ(warned.err.rfind(in
                      + ":5:5: 경고: 5번째 줄: 규칙 안의 한글 호스트 '예제.한국'는 바뀌지 않았습니다 "
                        "(ACE: xn--2j5b21b.xn--3e0b707e)\n",
                  0),
        0u)
        << warned.err;
    EXPECT_NE(warned.err.find(in
                  + ":13:47: 경고: 13번째 줄: 규칙 안의 한글 호스트 '상점\\.한국'는 바뀌지 "
                    "않았습니다 (ACE: xn--hg4bs7k\\.xn--3e0b707e)\n"),
        std::string::npos)
        << warned.err;
    EXPECT_EQ(std::count(warned.err.begin(), warned.err.end(), '\n'), 5);

    const ToolRun explicitWarn = runTool(dir, convert + "--warn " + in + " -");
    EXPECT_EQ(explicitWarn.status, 0);
    EXPECT_EQ(explicitWarn.err, warned.err);
    EXPECT_EQ(explicitWarn.out, converted);

    const ToolRun quiet = runTool(dir, convert + "--warn --no-warn " + in + " -");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, converted);

    // A failed run reports its failures only: no result, nothing to warn of.
    writeFile(dir / "bad.conf", "server_name ~^한글\\.kr$ 가\u3164.kr;\n");
    const ToolRun failed = runTool(dir, convert + (dir / "bad.conf").string() + " -");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err.find("경고"), std::string::npos) << failed.err;

    EXPECT_EQ(runTool(dir, convert + "--no-warn=yes " + in + " -").status, 2);
    const ToolRun help = runTool(dir, "--help");
    EXPECT_NE(help.out.find("[--warn|--no-warn]"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--no-warn       "), std::string::npos) << help.out;
}
