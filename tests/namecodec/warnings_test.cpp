// Hangul hosts left inside rules after a conversion to Punycode: found by
// each file kind's scanner, reported with the ACE form to paste, never
// changed.
#include "testutil.h"

#include <cstdlib>
#include <sys/wait.h>

using namespace namecodec;
using namespace testutil;

namespace {

struct Expected {
    int line;
    int column;
    std::string host;
};

ConvertReport convertData(const std::string &name, Encoding from, std::string *out = nullptr,
    bool warnings = true, int maxWarnings = 1000)
{
    ConvertOptions options;
    options.from = from;
    options.to = Encoding::Punycode;
    options.warnings = warnings;
    options.maxWarnings = maxWarnings;
    ConvertReport report;
    const std::string converted = convertText(readFile(dataFile(name)), options, report);
    EXPECT_TRUE(report.ok()) << (report.errors.empty() ? "" : report.errors.front().message);
    if (out)
        *out = converted;
    return report;
}

std::string ace(std::string_view name)
{
    return toAscii(name, Encoding::Utf8).value_or("?");
}

int shell(const std::string &command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

} // namespace

TEST(LeftHosts, EveryRuleOnAHostIsFoundWithItsAceForm)
{
    const struct {
        const char *file;
        Encoding from;
        std::vector<Expected> expected;
    } cases[] = {
        {"rules-vhost.conf", Encoding::Utf8,
            {{7, 31, "www\\.예제\\.한국"}, // RewriteCond %{HTTP_HOST}
                {9, 52, "예제\\.한국"}, // RewriteCond %{HTTP_REFERER}
                {12, 25, "옛\\.예제\\.한국"}, // SetEnvIfNoCase Host
                {13, 27, "쇼핑.예제.한국"}, // <If "%{HTTP_HOST} == ...">
                {16, 30, "관리.예제.한국"}}}, // Redirect to a URL with a user
        {"rules-nginx.conf", Encoding::Utf8,
            {{5, 5, "예제.한국"}, // map $host
                {6, 8, "블로그\\.한국"}, // a quoted regular expression key
                {13, 47, "상점\\.한국"}, // server_name ~...
                {15, 17, "www.예제.한국"}, // if ($host = ...)
                {16, 30, "예제.한국"}}}, // return 301 $scheme://...
        {"rules.zone", Encoding::Cp949,
            {{9, 20, "메일.예제.한국"}, {9, 32, "예제.한국"},
                {9, 49, "_spf.보내기.한국"}, // SPF a:, mx:/24, include:
                {10, 29, "이전.한국"}, {11, 15, "_spf.예제.한국"}, // over lines: -include:, redirect=
                {12, 54, "예제.한국"}, {12, 73, "보고.한국"}, // DMARC rua addresses
                {14, 19, "인증.한국"}, {15, 29, "예제.한국"}}}, // CAA issue, iodef
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const ConvertReport report = convertData(c.file, c.from);
        ASSERT_EQ(report.warnings.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const ConvertWarning &w = report.warnings[i];
            const Expected &e = c.expected[i];
            SCOPED_TRACE(e.host);
            EXPECT_EQ(w.line, e.line);
            EXPECT_EQ(w.outputLine, e.line);
            EXPECT_EQ(w.column, e.column);
            EXPECT_EQ(w.host, e.host);
            EXPECT_EQ(w.message,
                std::to_string(e.line) + "번째 줄: 규칙 안의 한글 호스트 '" + e.host
                    + "'는 바뀌지 않았습니다");
            // The ACE form keeps a pattern's escaped dots, so it drops into
            // the same place.
            std::string plain = e.host;
            for (std::size_t at; (at = plain.find("\\.")) != std::string::npos;)
                plain.erase(at, 1);
            std::string expectedAce = ace(plain);
            if (e.host.find("\\.") != std::string::npos) {
                for (std::size_t at = 0; (at = expectedAce.find('.', at)) != std::string::npos; at += 2)
                    expectedAce.insert(at, "\\");
            }
            EXPECT_EQ(w.ace, expectedAce);
        }
    }
}

TEST(LeftHosts, NothingIsChangedForThemAndCleanFilesHaveNone)
{
    for (const auto &[file, from] : {std::pair {"rules-vhost.conf", Encoding::Utf8},
             {"rules-nginx.conf", Encoding::Utf8}, {"rules.zone", Encoding::Cp949}}) {
        SCOPED_TRACE(file);
        std::string with, without;
        convertData(file, from, &with, true);
        EXPECT_TRUE(convertData(file, from, &without, false).warnings.empty());
        EXPECT_EQ(with, without);
    }
    std::string nginx;
    convertData("rules-nginx.conf", Encoding::Utf8, &nginx);
    EXPECT_NE(nginx.find("if ($host = www.예제.한국) {\n        return 301 $scheme://예제.한국$request_uri;"),
        std::string::npos)
        << nginx;
    // Converted where the conversion owns the name: no warning there.
    EXPECT_NE(nginx.find("return 301 https://" + ace("예제.한국") + "/새;"), std::string::npos) << nginx;

    for (const auto &[file, from] :
        {std::pair {"hangul.zone", Encoding::Cp949}, {"vhost.conf", Encoding::Cp949},
            {"named.conf", Encoding::Cp949}, {"nginx-main.conf", Encoding::Utf8},
            {"vhost-continued.conf", Encoding::Utf8}, {"named-comments.conf", Encoding::Utf8}}) {
        SCOPED_TRACE(file);
        const ConvertReport report = convertData(file, from);
        EXPECT_TRUE(report.warnings.empty()) << report.warnings.front().message;
    }
}

TEST(LeftHosts, OnlyOnTheWayToPunycodeAndAtMostAsManyAsAsked)
{
    ConvertOptions back;
    back.from = Encoding::Punycode;
    back.to = Encoding::Utf8;
    ConvertReport report;
    (void)convertText(readFile(dataFile("rules-nginx.conf")), back, report);
    EXPECT_TRUE(report.ok());
    EXPECT_TRUE(report.warnings.empty());

    // With kept copies the line moves down in the result, and the editor,
    // which shows the result, needs that line.
    ConvertOptions keep;
    keep.from = Encoding::Utf8;
    keep.keepComment = true;
    report = ConvertReport();
    const std::string kept = convertText(readFile(dataFile("rules-vhost.conf")), keep, report);
    ASSERT_EQ(report.warnings.size(), 5u);
    const ConvertWarning &last = report.warnings.back();
    EXPECT_EQ(last.line, 16);
    EXPECT_GT(last.outputLine, last.line);
    std::size_t start = 0;
    for (int line = 1; line < last.outputLine; ++line)
        start = kept.find('\n', start) + 1;
    EXPECT_EQ(kept.substr(start, kept.find('\n', start) - start),
        "    Redirect /관리 https://관리자@관리.예제.한국/");
    EXPECT_EQ(report.warnings.front().outputLine, report.warnings.front().line + 2);

    report = convertData("rules.zone", Encoding::Cp949, nullptr, true, 4);
    EXPECT_EQ(report.warnings.size(), 4u);
    EXPECT_EQ(report.omittedWarnings, 5);
    EXPECT_EQ(report.warnings.back().line, 10);
}

TEST(LeftHosts, ConvertedFilesStayValidForTheRealCheckers)
{
    ASSERT_EQ(shell("command -v named-checkzone >/dev/null && command -v nginx >/dev/null"
                    " && command -v apache2 >/dev/null"),
        0)
        << "bind9-utils, nginx and apache2 come from scripts/setup";
    TempDir dir;
    std::string zone, sites;
    convertData("rules.zone", Encoding::Cp949, &zone);
    writeFile(dir / "out.zone", zone);
    EXPECT_EQ(
        shell("named-checkzone -q -k fail " + ace("예제.한국") + " '" + (dir / "out.zone").string() + "'"),
        0);

    convertData("rules-nginx.conf", Encoding::Utf8, &sites);
    writeFile(dir / "sites.conf", sites);
    std::filesystem::create_directories(dir / "logs");
    writeFile(dir / "nginx.conf",
        "pid logs/nginx.pid;\nerror_log logs/error.log;\nevents { }\nhttp {\n    access_log off;\n"
        "    include sites.conf;\n}\n");
    EXPECT_EQ(shell("nginx -q -t -p '" + dir.path().string() + "/' -c '" + (dir / "nginx.conf").string()
                  + "' >/dev/null 2>&1"),
        0);

    std::string vhost;
    convertData("rules-vhost.conf", Encoding::Utf8, &vhost);
    writeFile(dir / "vhost.conf", vhost);
    const std::string root = "'" + dir.path().string() + "'";
    std::string httpd = "ServerRoot " + root + "\nDefaultRuntimeDir " + root + "\nPidFile httpd.pid\n"
        + "ErrorLog error.log\nListen 127.0.0.1:8080\nServerName localhost\n";
    for (const char *module : {"mpm_event", "authz_core", "rewrite", "setenvif", "alias"})
        httpd += std::string("LoadModule ") + module + "_module /usr/lib/apache2/modules/mod_" + module
            + ".so\n";
    writeFile(dir / "httpd.conf", httpd + "Include vhost.conf\n");
    EXPECT_EQ(shell("apache2 -d " + root + " -f '" + (dir / "httpd.conf").string() + "' -t >'"
                  + (dir / "apache.out").string() + "' 2>&1"),
        0)
        << readFile(dir / "apache.out");
}
