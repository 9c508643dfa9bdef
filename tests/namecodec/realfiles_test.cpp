// Files shaped like the ones administrators convert, checked where possible
// with the servers' own checkers (named-checkzone, named-checkconf,
// apache2 -t, nginx -t), each run on a private configuration in a temporary
// folder.
#include "testutil.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

using namespace namecodec;
using namespace testutil;

namespace {

struct CommandRun {
    int status = -1;
    std::string output; // standard output and error together
};

CommandRun run(const TempDir &dir, const std::string &command)
{
    const std::string full = command + " >" + (dir / "run.out").string() + " 2>&1";
    CommandRun r;
    const int raw = std::system(full.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.output = readFile(dir / "run.out");
    return r;
}

std::string quote(const std::filesystem::path &path)
{
    return "'" + path.string() + "'";
}

std::string ace(std::string_view utf8Name)
{
    auto r = toAscii(utf8Name, Encoding::Utf8);
    EXPECT_TRUE(r.has_value()) << utf8Name;
    return r.value_or("");
}

ConvertReport convertPath(const std::filesystem::path &in, const std::filesystem::path &out, bool keepComment,
    FileKind kind = FileKind::Auto, Encoding from = Encoding::Utf8, Encoding to = Encoding::Punycode)
{
    ConvertOptions options;
    options.from = from;
    options.to = to;
    options.kind = kind;
    options.keepComment = keepComment;
    ConvertReport report = convertFile(in.string(), out.string(), options);
    EXPECT_TRUE(report.ok()) << (report.errors.empty() ? "" : report.errors.front().message);
    return report;
}

std::string convertString(std::string_view text, FileKind kind, bool keepComment = false,
    Encoding from = Encoding::Utf8, Encoding to = Encoding::Punycode)
{
    return convertExpectingSuccess(text, kind, from, to, keepComment);
}

// A change log of the kind that heads many real zone files: Hangul words,
// names, TXT strings and quoted text, all in comments.
std::string commentHeader(std::size_t bytes)
{
    std::string header = "; 예제.한국 영역 파일\n;\n";
    for (int i = 0; header.size() < bytes; ++i) {
        header += "; " + std::to_string(2000 + i % 25)
            + "-01: 메일.예제.한국 을 \"새.서버.한국\" 으로 옮김, TXT \"안녕 예제.한국\" 참고 © → café ’\n";
        if (i % 7 == 0)
            header += "\n;\t들여쓴 주석 www.예제.한국.\n";
    }
    return header;
}

const char kZoneBody[] = "$TTL 3600\n"
                         "@\tIN\tSOA\t네임.예제.한국. 관리.예제.한국. (\n"
                         "\t\t2024010101 ; 일련번호\n"
                         "\t\t3600 900 604800 300 )\n"
                         "\tIN\tNS\t네임.예제.한국.\n"
                         "네임\tIN\tA\t192.0.2.53\n"
                         "메일\tIN\tA\t192.0.2.25\n"
                         "@\tIN\tMX\t10 메일.예제.한국.\n"
                         "@\tIN\tTXT\t\"안녕 예제.한국\" \"v=spf1 -all\"\n"
                         "www\tIN\tCNAME\t예제.한국.\n";

bool tool(const char *name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

TEST(RealFiles, ZoneWithALongCommentHeaderIsAZoneFile)
{
    ASSERT_TRUE(tool("named-checkzone")) << "bind9-utils is not installed (scripts/setup installs it)";
    TempDir dir;
    const std::string header = commentHeader(70 * 1000);
    const std::string zone = header + kZoneBody;
    EXPECT_EQ(detectFileKind(zone), FileKind::Zone);

    writeFile(dir / "in.zone", zone);
    const ConvertReport report = convertPath(dir / "in.zone", dir / "out.zone", true);
    EXPECT_EQ(report.kind, FileKind::Zone);
    const std::string out = readFile(dir / "out.zone");
    // The header and the TXT data are text: kept byte for byte.
    EXPECT_EQ(out.substr(0, header.size()), header);
    EXPECT_NE(out.find("\"안녕 예제.한국\" \"v=spf1 -all\""), std::string::npos);
    EXPECT_NE(out.find("메일\tIN\tA\t192.0.2.25\n" + ace("메일") + "\tIN\tA"), std::string::npos) << out;
    const CommandRun check
        = run(dir, "named-checkzone -q -k fail " + ace("예제.한국") + " " + quote(dir / "out.zone"));
    EXPECT_EQ(check.status, 0) << check.output;
}

TEST(RealFiles, KindIsFoundPastAHeaderBiggerThanMemoryHoldsFromFileAndPipe)
{
    // Over the look-ahead kept in memory: a regular file is read ahead and
    // rewound, standard input through a pipe is spooled; both must convert
    // as a zone file and agree with the in-memory conversion.
    TempDir dir;
    const std::string zone = commentHeader(5 * 1024 * 1024) + kZoneBody;
    writeFile(dir / "in.zone", zone);
    const std::string expected = convertString(zone, FileKind::Zone, true);
    ASSERT_FALSE(expected.empty());

    const ConvertReport report = convertPath(dir / "in.zone", dir / "file.out", true);
    EXPECT_EQ(report.kind, FileKind::Zone);
    EXPECT_TRUE(readFile(dir / "file.out") == expected);

    const std::string tool = std::string(QUOREL_BIN_DIR) + "/namecodec";
    const CommandRun piped = run(dir,
        "cat " + quote(dir / "in.zone") + " | " + tool
            + " convert --from utf-8 --to punycode --keep-comment - " + quote(dir / "pipe.out"));
    ASSERT_EQ(piped.status, 0) << piped.output;
    EXPECT_TRUE(readFile(dir / "pipe.out") == expected);
    const CommandRun redirected = run(dir,
        tool + " convert --from utf-8 --to punycode --keep-comment - " + quote(dir / "stdin.out") + " <"
            + quote(dir / "in.zone"));
    ASSERT_EQ(redirected.status, 0) << redirected.output;
    EXPECT_TRUE(readFile(dir / "stdin.out") == expected);
}

TEST(RealFiles, KindRecognitionSkipsCommentsAndKnowsServerConfigurations)
{
    const struct {
        std::string text;
        FileKind kind;
    } cases[] = {
        {readFile(dataFile("nginx-main.conf")), FileKind::WebServer},
        {readFile(dataFile("nginx-server-names.conf")), FileKind::WebServer},
        {readFile(dataFile("vhost-continued.conf")), FileKind::WebServer},
        {readFile(dataFile("named-comments.conf")), FileKind::NamedConf},
        {"# Apache 주 설정\nServerRoot \"/etc/apache2\"\nInclude ports.conf\n<Directory /srv/웹>\n"
         "    Require all granted\n</Directory>\nIncludeOptional 사이트/*.conf\n",
            FileKind::WebServer},
        {"LoadModule rewrite_module modules/mod_rewrite.so\nRewriteEngine on\nRewriteRule ^/옛/(.*) /새/$1\n",
            FileKind::WebServer},
        {"http {\n    include 사이트.conf;\n}\n", FileKind::WebServer},
        // A module's snippet: directives only a module knows.
        {"<IfModule mod_cache_disk.c>\n", FileKind::WebServer},
        {"CacheRoot /var/cache/웹.캐시\nCacheDirLevels 2\n", FileKind::WebServer},
        {"include \"/etc/bind/named.conf.options\";\ninclude \"/etc/bind/한글.zones\";\n",
            FileKind::NamedConf},
        // A block comment of named.conf hides what it holds.
        {"/*\nserver {\n  listen 80;\n  root /srv;\n*/\nzone \"예제.한국\" { type master; file \"x\"; };\n",
            FileKind::NamedConf},
        // Prose is not a configuration because a line starts with an
        // English word that is also a directive.
        {"Options 항목을 고르십시오.\n예제.한국 에서 받으십시오.\n", FileKind::General},
        // One record among prose, however far down, makes a zone file.
        {std::string(100, '\n') +
                [] {
                    std::string prose;
                    for (int i = 0; i < 200; ++i)
                        prose += "안내 문서의 " + std::to_string(i) + "번째 줄입니다.\n";
                    return prose;
                }()
                + "메일 IN A 192.0.2.1\n",
            FileKind::Zone},
        // Old Mac line ends.
        {"; 주석\r$TTL 1\r메일 IN A 192.0.2.1\r", FileKind::Zone},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        EXPECT_EQ(detectFileKind(c.text), c.kind);
    }
}

TEST(RealFiles, NginxMainConfigurationKeepsItsHangulPaths)
{
    ASSERT_TRUE(tool("nginx")) << "nginx is not installed (scripts/setup installs it)";
    TempDir dir;
    std::filesystem::create_directories(dir / "logs");
    const std::string conf = readFile(dataFile("nginx-main.conf"));
    writeFile(dir / "in.conf", conf);
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "with kept comments" : "without comments");
        const ConvertReport report = convertPath(dir / "in.conf", dir / "nginx.conf", keep);
        EXPECT_EQ(report.kind, FileKind::WebServer);
        EXPECT_EQ(readFile(dir / "nginx.conf"), conf);
        const CommandRun check
            = run(dir, "nginx -t -p " + quote(dir.path()) + "/ -c " + quote(dir / "nginx.conf"));
        EXPECT_EQ(check.status, 0) << check.output;
    }
}

TEST(RealFiles, NginxServerNamesAreFoundByStatement)
{
    const std::string in = readFile(dataFile("nginx-server-names.conf"));
    const std::string expected = "# 한글 이름의 nginx 서버들\n"
                                 "server {\n"
                                 "    listen 127.0.0.1:8081;\n"
                                 "    server_name "
        + ace("예제.한국") + "\n                " + ace("www.예제.한국") + "\n                *."
        + ace("메일.한국")
        + ";\n    root /srv/www/예제.한국;\n}\nserver { listen 127.0.0.1:8081; server_name "
        + ace("둘째.한국") + "; }\nserver {\n    listen 127.0.0.1:8081; server_name " + ace("셋째.한국")
        + " \"" + ace("넷째.한국") + "\" ~^(?<sub>.+)\\.다섯째\\.한국$;\n    return 301 https://"
        + ace("셋째.한국") + "$request_uri;\n}\n";
    EXPECT_EQ(convertString(in, FileKind::Auto), expected);
    EXPECT_EQ(convertString(expected, FileKind::Auto, false, Encoding::Punycode, Encoding::Utf8), in);
}

TEST(RealFiles, NginxAcceptsServerNamesWithKeptCopies)
{
    ASSERT_TRUE(tool("nginx")) << "nginx is not installed (scripts/setup installs it)";
    TempDir dir;
    std::filesystem::create_directories(dir / "logs");
    // A quoted string may run over lines: a copy inside it would change it.
    writeFile(dir / "sites.in",
        readFile(dataFile("nginx-server-names.conf"))
            + "server {\n    listen 127.0.0.1:8081; server_name 안내.한국;\n"
              "    location / { return 200 \"안내 첫 줄\n# 안내 https://예제.한국/ 참고\"; }\n}\n");
    convertPath(dir / "sites.in", dir / "sites.conf", true);
    const std::string sites = readFile(dir / "sites.conf");
    EXPECT_NE(sites.find("#                 www.예제.한국\n"), std::string::npos) << sites;
    EXPECT_NE(sites.find("\"안내 첫 줄\n# 안내 https://" + ace("예제.한국") + "/ 참고\";"), std::string::npos)
        << sites;
    writeFile(dir / "nginx.conf",
        "pid logs/nginx.pid;\nerror_log logs/error.log;\nevents { }\nhttp {\n    access_log off;\n"
        "    include sites.conf;\n}\n");
    const CommandRun check
        = run(dir, "nginx -t -p " + quote(dir.path()) + "/ -c " + quote(dir / "nginx.conf"));
    EXPECT_EQ(check.status, 0) << check.output;
}

TEST(RealFiles, ContinuedApacheDirectivesKeepTheirAliases)
{
    ASSERT_TRUE(tool("apache2")) << "apache2 is not installed (scripts/setup installs it)";
    TempDir dir;
    std::filesystem::create_directories(dir / "logs");
    writeFile(dir / "vhost.in", readFile(dataFile("vhost-continued.conf")));
    convertPath(dir / "vhost.in", dir / "vhost.conf", true);
    const std::string vhost = readFile(dir / "vhost.conf");
    // No kept copy continues into the line after it.
    std::size_t pos = 0;
    while ((pos = vhost.find("\n#", pos)) != std::string::npos) {
        const std::size_t end = vhost.find('\n', pos + 1);
        const std::string line = vhost.substr(pos + 1, end - pos - 1);
        EXPECT_NE(line.back(), '\\') << line;
        pos = end;
    }
    writeFile(dir / "httpd.conf",
        "ServerRoot " + quote(dir.path()) + "\nDefaultRuntimeDir " + quote(dir.path()) + "\nPidFile "
            + quote(dir / "httpd.pid") + "\nErrorLog " + quote(dir / "error.log")
            + "\nLoadModule mpm_event_module /usr/lib/apache2/modules/mod_mpm_event.so\n"
              "LoadModule authz_core_module /usr/lib/apache2/modules/mod_authz_core.so\n"
              "Listen 127.0.0.1:8080\nServerName localhost\nInclude vhost.conf\n");
    const CommandRun check = run(
        dir, "apache2 -d " + quote(dir.path()) + " -f " + quote(dir / "httpd.conf") + " -t -D DUMP_VHOSTS");
    ASSERT_EQ(check.status, 0) << check.output;
    for (const char *name : {"www.예제.한국", "메일.예제.한국", "*.예제.한국", "넷째.한국"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(check.output.find("alias " + ace(name) + "\n"), std::string::npos) << check.output;
    }
}

TEST(RealFiles, NamedConfWithBlockCommentsStaysValid)
{
    ASSERT_TRUE(tool("named-checkconf")) << "bind9-utils is not installed (scripts/setup installs it)";
    TempDir dir;
    writeFile(dir / "in.conf", readFile(dataFile("named-comments.conf")));
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "with kept comments" : "without comments");
        const ConvertReport report = convertPath(dir / "in.conf", dir / "named.conf", keep);
        EXPECT_EQ(report.kind, FileKind::NamedConf);
        const std::string out = readFile(dir / "named.conf");
        EXPECT_NE(out.find("zone \"" + ace("보조.한국") + "\""), std::string::npos) << out;
        EXPECT_NE(out.find("zone \"옛.한국\""), std::string::npos) << out;
        EXPECT_NE(out.find("zone \"숨은.한국\""), std::string::npos) << out;
        const CommandRun check = run(dir, "named-checkconf " + quote(dir / "named.conf"));
        EXPECT_EQ(check.status, 0) << check.output;
    }
}

TEST(RealFiles, ByteOrderMarkIsKeptAndScanningStartsAfterIt)
{
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        const char *what;
        std::string text;
    } files[] = {
        {"zone", std::string(kZoneBody)},
        {"zone starting with a record", "메일 IN A 192.0.2.1\n$TTL 1\n"},
        {"named.conf", readFile(dataFile("named-comments.conf"))},
        {"named.conf starting with a zone", "zone \"예제.한국\" { type master; file \"x\"; };\n"},
        {"Apache", "ServerName 예제.한국\n<VirtualHost 예제.한국:80>\n</VirtualHost>\n"},
        {"nginx", "server_name 예제.한국;\nserver { listen 80; }\n"},
        {"general text", "주소: 예제.한국\n"},
    };
    for (const auto &f : files) {
        SCOPED_TRACE(f.what);
        for (bool keep : {false, true}) {
            const std::string plain = convertString(f.text, FileKind::Auto, keep);
            ASSERT_NE(plain, f.text);
            EXPECT_EQ(convertString(bom + f.text, FileKind::Auto, keep), bom + plain);
            // And back again.
            EXPECT_EQ(convertString(bom + plain, FileKind::Auto, false, Encoding::Punycode, Encoding::Utf8),
                bom + convertString(plain, FileKind::Auto, false, Encoding::Punycode, Encoding::Utf8));
        }
    }
    // Code page 949 has no byte order mark: it goes when the text becomes that.
    EXPECT_EQ(
        convertString(bom + "메일 IN A 192.0.2.1\n", FileKind::Zone, false, Encoding::Utf8, Encoding::Cp949),
        cp949("메일 IN A 192.0.2.1\n"));
}

TEST(RealFiles, ZoneWithAByteOrderMarkConvertsToWhatBindAccepts)
{
    // BIND itself refuses the mark, so the check runs on the output after it:
    // what follows the mark must be exactly a valid zone.
    ASSERT_TRUE(tool("named-checkzone")) << "bind9-utils is not installed (scripts/setup installs it)";
    TempDir dir;
    writeFile(dir / "in.zone", "\xEF\xBB\xBF" + std::string(kZoneBody));
    convertPath(dir / "in.zone", dir / "out.zone", true);
    const std::string out = readFile(dir / "out.zone");
    ASSERT_EQ(out.substr(0, 3), "\xEF\xBB\xBF");
    writeFile(dir / "nobom.zone", out.substr(3));
    const CommandRun check
        = run(dir, "named-checkzone -q -k fail " + ace("예제.한국") + " " + quote(dir / "nobom.zone"));
    EXPECT_EQ(check.status, 0) << check.output;
}

TEST(RealFiles, EveryLineEndIsKeptAndNoKeptCopyHoldsARawCr)
{
    const struct {
        const char *what;
        std::string in;
        std::string out;
    } cases[] = {
        {"old Mac", "$TTL 1\r메일 IN A 192.0.2.1\r; 주석\rwww IN CNAME 메일\r",
            "$TTL 1\r; 메일 IN A 192.0.2.1\r" + ace("메일")
                + " IN A 192.0.2.1\r; 주석\r; www IN CNAME 메일\rwww IN CNAME " + ace("메일") + "\r"},
        {"mixed", "$TTL 1\r\n메일 IN A 192.0.2.1\r웹 IN A 192.0.2.2\n",
            "$TTL 1\r\n; 메일 IN A 192.0.2.1\r" + ace("메일") + " IN A 192.0.2.1\r; 웹 IN A 192.0.2.2\n"
                + ace("웹") + " IN A 192.0.2.2\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(convertString(c.in, FileKind::Auto, true), c.out);
    }
    // Failing lines are counted by every kind of line end.
    ConvertOptions options;
    options.from = Encoding::Utf8;
    ConvertReport report;
    EXPECT_TRUE(
        convertText("$TTL 1\r메일 IN A 192.0.2.1\r가\u3164 IN A 192.0.2.2\r", options, report).empty());
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].line, 3);

    // The same through the streaming reader, with a CR and its LF split
    // across read blocks.
    TempDir dir;
    std::string big;
    while (big.size() < (1u << 20) - 1)
        big += "; fill\r";
    big.resize((1u << 20) - 1, ' ');
    big += "\r\n메일 IN A 192.0.2.1\r\n";
    writeFile(dir / "in.zone", big);
    convertPath(dir / "in.zone", dir / "out.zone", true, FileKind::Zone);
    EXPECT_TRUE(readFile(dir / "out.zone") == convertString(big, FileKind::Zone, true));
    const std::string tail = "\r\n; 메일 IN A 192.0.2.1\r\n" + ace("메일") + " IN A 192.0.2.1\r\n";
    const std::string out = readFile(dir / "out.zone");
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST(RealFiles, LinesOver16MiBAreRefusedWithTheirNumber)
{
    TempDir dir;
    std::string text = "$TTL 1\nwww IN A 192.0.2.1\n";
    text += std::string(17 * 1024 * 1024, 'a');
    text += " IN A 192.0.2.1\nafter IN A 192.0.2.1\n";
    writeFile(dir / "long.zone", text);
    ConvertOptions options;
    options.from = Encoding::Utf8;
    for (const std::string &input : {(dir / "long.zone").string(), std::string("/dev/zero")}) {
        SCOPED_TRACE(input);
        const ConvertReport report = convertFile(input, (dir / "out").string(), options);
        ASSERT_EQ(report.errors.size(), 1u);
        const Error &e = report.errors.front();
        EXPECT_EQ(e.kind, ErrorKind::TooLong);
        const int line = input == "/dev/zero" ? 1 : 3;
        EXPECT_EQ(e.line, line);
        EXPECT_NE(e.message.find(std::to_string(line) + "번째 줄이 16 MiB"), std::string::npos) << e.message;
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
    ConvertReport report;
    EXPECT_TRUE(convertText(text, options, report).empty());
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].line, 3);
}

TEST(RealFiles, NulInsideANameDoesNotCutTheMessage)
{
    TempDir dir;
    writeFile(dir / "in.zone", std::string("$TTL 1\n메\0일 IN A 192.0.2.1\n", 26));
    const std::string command = std::string(QUOREL_BIN_DIR) + "/namecodec convert --from utf-8 --to punycode "
        + quote(dir / "in.zone") + " " + quote(dir / "out");
    const CommandRun r = run(dir, command);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output.find('\0'), std::string::npos);
    // The whole message, down to the character it names and past it.
    EXPECT_NE(r.output.find(":2:1: '메\u2400일' 레이블에"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("U+0000"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.back(), '\n');
}
