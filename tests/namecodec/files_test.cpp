#include "testutil.h"

#include <cstdlib>

using namespace namecodec;
using namespace testutil;

namespace {

std::string convert(std::string_view text, FileKind kind, Encoding from = Encoding::Utf8,
    Encoding to = Encoding::Punycode, bool keepComment = false)
{
    return convertExpectingSuccess(text, kind, from, to, keepComment);
}

bool hasTool(const char *name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

TEST(ZoneFiles, NamesAreConvertedOnlyInNameFields)
{
    const struct {
        const char *in;
        const char *out;
    } lines[] = {
        {"$ORIGIN 예제.한국.", "$ORIGIN xn--2j5b21b.xn--3e0b707e."},
        {"$INCLUDE /etc/bind/예제.inc 부속.예제.한국.",
            "$INCLUDE /etc/bind/예제.inc xn--or3b47e.xn--2j5b21b.xn--3e0b707e."},
        {"메일 IN A 192.0.2.1", "xn--h32bq4v IN A 192.0.2.1"},
        {"\tIN\tNS\t네임.한국.", "\tIN\tNS\txn--950b973b.xn--3e0b707e."},
        {"웹 3600 IN CNAME 서버.한국.", "xn--yq5b 3600 IN CNAME xn--hk3b17f.xn--3e0b707e."},
        {"웹 IN 3600 CNAME 서버.한국.", "xn--yq5b IN 3600 CNAME xn--hk3b17f.xn--3e0b707e."},
        {"@ MX 10 메일.한국.", "@ MX 10 xn--h32bq4v.xn--3e0b707e."},
        {"_x._tcp SRV 0 5 80 서버.한국.", "_x._tcp SRV 0 5 80 xn--hk3b17f.xn--3e0b707e."},
        {"1 PTR 서버.한국.", "1 PTR xn--hk3b17f.xn--3e0b707e."},
        {"a AFSDB 1 서버.한국.", "a AFSDB 1 xn--hk3b17f.xn--3e0b707e."},
        {"a KX 1 서버.한국.", "a KX 1 xn--hk3b17f.xn--3e0b707e."},
        {"a PX 1 메일.한국. 서버.한국.", "a PX 1 xn--h32bq4v.xn--3e0b707e. xn--hk3b17f.xn--3e0b707e."},
        {"a MINFO 메일.한국. 서버.한국.", "a MINFO xn--h32bq4v.xn--3e0b707e. xn--hk3b17f.xn--3e0b707e."},
        {"a HTTPS 1 서버.한국. alpn=h2", "a HTTPS 1 xn--hk3b17f.xn--3e0b707e. alpn=h2"},
        {"a NSEC 서버.한국. A RRSIG", "a NSEC xn--hk3b17f.xn--3e0b707e. A RRSIG"},
        {"a RT 10 서버.한국.", "a RT 10 xn--hk3b17f.xn--3e0b707e."},
        {"a MB 서버.한국.", "a MB xn--hk3b17f.xn--3e0b707e."},
        {"a MG 메일.한국.", "a MG xn--h32bq4v.xn--3e0b707e."},
        {"a MR 메일.한국.", "a MR xn--h32bq4v.xn--3e0b707e."},
        {"a SVCB 0 서버.한국.", "a SVCB 0 xn--hk3b17f.xn--3e0b707e."},
        {"a 3600 IN RRSIG A 8 2 3600 20300101000000 20200101000000 1 서버.한국. AbCd",
            "a 3600 IN RRSIG A 8 2 3600 20300101000000 20200101000000 1 xn--hk3b17f.xn--3e0b707e. AbCd"},
        // Data that is not a name stays, Hangul or not.
        {"설명 TXT \"한글.예제 그대로\" 또.한국", "xn--v42b34j TXT \"한글.예제 그대로\" 또.한국"},
        {"a HINFO \"한글 PC\" 리눅스", "a HINFO \"한글 PC\" 리눅스"},
        {"a CAA 0 issue \"인증.한국\"", "a CAA 0 issue \"인증.한국\""},
        {"a TYPE65534 \\# 2 ABCD", "a TYPE65534 \\# 2 ABCD"},
        {"a A 192.0.2.1 ; 메일.한국 주석", "a A 192.0.2.1 ; 메일.한국 주석"},
        {"; 주석만 있는 줄 메일.한국", "; 주석만 있는 줄 메일.한국"},
    };
    for (const auto &l : lines) {
        SCOPED_TRACE(l.in);
        EXPECT_EQ(convert(l.in, FileKind::Zone), l.out);
    }
}

TEST(ZoneFiles, RecordsInParenthesesAreFollowedOverLines)
{
    const std::string in = "@ IN SOA 네임.한국. (\n"
                           "   관리.한국. ; 담당자\n"
                           "   1 2 3 4 5 )\n"
                           "메일 IN A 192.0.2.1\n"
                           "x IN MX (\n 10\n 메일.한국. )\n";
    const std::string out = "@ IN SOA xn--950b973b.xn--3e0b707e. (\n"
                            "   xn--zb0b93v.xn--3e0b707e. ; 담당자\n"
                            "   1 2 3 4 5 )\n"
                            "xn--h32bq4v IN A 192.0.2.1\n"
                            "x IN MX (\n 10\n xn--h32bq4v.xn--3e0b707e. )\n";
    EXPECT_EQ(convert(in, FileKind::Zone), out);
    EXPECT_EQ(convert(out, FileKind::Zone, Encoding::Punycode, Encoding::Utf8), in);
}

TEST(Files, GoldenFilesConvertByteForByte)
{
    for (const char *name : {"hangul.zone", "named.conf", "vhost.conf"}) {
        SCOPED_TRACE(name);
        const std::string input = readFile(dataFile(name));
        ASSERT_FALSE(input.empty());
        EXPECT_EQ(
            convert(input, FileKind::Auto, Encoding::Cp949), readFile(dataFile(std::string(name) + ".puny")));
        EXPECT_EQ(convert(input, FileKind::Auto, Encoding::Cp949, Encoding::Punycode, true),
            readFile(dataFile(std::string(name) + ".puny-comment")));
        // Back again gives the original bytes.
        EXPECT_EQ(convert(readFile(dataFile(std::string(name) + ".puny")), FileKind::Auto, Encoding::Punycode,
                      Encoding::Cp949),
            input);
    }
}

TEST(Files, KindIsRecognisedFromContent)
{
    EXPECT_EQ(detectFileKind(readFile(dataFile("hangul.zone"))), FileKind::Zone);
    EXPECT_EQ(detectFileKind(readFile(dataFile("named.conf"))), FileKind::NamedConf);
    EXPECT_EQ(detectFileKind(readFile(dataFile("vhost.conf"))), FileKind::WebServer);
    EXPECT_EQ(detectFileKind("server {\n  listen 80;\n  server_name 예제.한국;\n}\n"), FileKind::WebServer);
    EXPECT_EQ(detectFileKind("1.2.0.192.in-addr.arpa. IN PTR 메일.한국.\n"), FileKind::Zone);
    EXPECT_EQ(detectFileKind("안녕하세요 예제.한국 입니다\n"), FileKind::General);
    // Records without $TTL, class or tabs are still a zone file, so their
    // comments and TXT data are not taken for names.
    EXPECT_EQ(detectFileKind("; 주석\n메일 A 192.0.2.1\n웹 300 CNAME 메일\n"), FileKind::Zone);
    EXPECT_EQ(detectFileKind("www in cname 메일.한국.\n"), FileKind::Zone);
    EXPECT_EQ(detectFileKind("I saw a cat in the garden\nThe ns is down\n"), FileKind::General);
}

TEST(Files, NamedConfConvertsOnlyZoneNames)
{
    const std::string in = "zone \"예제.한국\" { file \"예제.zone\"; also-notify { 192.0.2.1; }; };\n"
                           "view \"내부\" { zone 안쪽.한국 { type master; }; };\n"
                           "/* zone \"막힌.한국\"\n zone \"막힌2.한국\" */ zone \"열린.한국\" {};\n";
    const std::string out
        = "zone \"xn--2j5b21b.xn--3e0b707e\" { file \"예제.zone\"; also-notify { 192.0.2.1; }; };\n"
          "view \"내부\" { zone xn--le5bw3h.xn--3e0b707e { type master; }; };\n"
          "/* zone \"막힌.한국\"\n zone \"막힌2.한국\" */ zone \"xn--sy2b97t.xn--3e0b707e\" {};\n";
    EXPECT_EQ(convert(in, FileKind::NamedConf), out);
    // The kept copy of a line that starts inside a block comment would end
    // the comment early, so such a line keeps none.
    const std::string kept = convert(in, FileKind::NamedConf, Encoding::Utf8, Encoding::Punycode, true);
    EXPECT_EQ(kept.find("//  zone \"막힌2.한국\""), std::string::npos);
    EXPECT_EQ(kept.rfind("// zone \"예제.한국\"", 0), 0u);
}

TEST(Files, WebServerConvertsHostsNotPaths)
{
    const struct {
        const char *in;
        const char *out;
    } lines[] = {
        {"ServerName 예제.한국:8080", "ServerName xn--2j5b21b.xn--3e0b707e:8080"},
        {"servername https://예제.한국", "servername https://xn--2j5b21b.xn--3e0b707e"},
        {"<VirtualHost *:80 [2001:db8::1]:80>", "<VirtualHost *:80 [2001:db8::1]:80>"},
        {"ServerAdmin 관리자@예제.한국", "ServerAdmin 관리자@xn--2j5b21b.xn--3e0b707e"},
        {"DocumentRoot /srv/예제.한국", "DocumentRoot /srv/예제.한국"},
        {"ProxyPass /앱 http://내부.한국:8000/앱", "ProxyPass /앱 http://xn--220bs6v.xn--3e0b707e:8000/앱"},
        {"# ServerName 주석.한국", "# ServerName 주석.한국"},
        {"    server_name 예제.한국 www.예제.한국;",
            "    server_name xn--2j5b21b.xn--3e0b707e www.xn--2j5b21b.xn--3e0b707e;"},
    };
    for (const auto &l : lines) {
        SCOPED_TRACE(l.in);
        EXPECT_EQ(convert(l.in, FileKind::WebServer), l.out);
    }
}

TEST(Files, GeneralTextConvertsOnlyDottedHangulNamesOutsidePaths)
{
    const struct {
        const char *in;
        const char *out;
    } lines[] = {
        {"주소는 www.예제.한국 입니다.", "주소는 www.xn--2j5b21b.xn--3e0b707e 입니다."},
        {"메일: 관리자@예제.한국.", "메일: 관리자@xn--2j5b21b.xn--3e0b707e."},
        {"‘예제.한국’ → “메일.한국”", "‘xn--2j5b21b.xn--3e0b707e’ → “xn--h32bq4v.xn--3e0b707e”"},
        {"...예제.한국... 끝", "...xn--2j5b21b.xn--3e0b707e... 끝"},
        {"http://예제.한국/경로/문서.html", "http://xn--2j5b21b.xn--3e0b707e/경로/문서.html"},
        // Text: single words, names without Hangul, symbols, paths.
        {"한국 café naïve.example © 2024 ’quoted’ → 다음", "한국 café naïve.example © 2024 ’quoted’ → 다음"},
        {"경로 /srv/예제.한국/index.html 와 C:\\웹\\예제.한국 그리고 ../예제.한국",
            "경로 /srv/예제.한국/index.html 와 C:\\웹\\예제.한국 그리고 ../예제.한국"},
        {"설정.d/ 와 ~/문서.txt", "설정.d/ 와 ~/문서.txt"},
        {"plain ascii only, xn--abc alone", "plain ascii only, xn--abc alone"},
    };
    for (const auto &l : lines) {
        SCOPED_TRACE(l.in);
        EXPECT_EQ(convert(l.in, FileKind::General), l.out);
        // Back again, by the same rule.
        EXPECT_EQ(convert(l.out, FileKind::General, Encoding::Punycode, Encoding::Utf8), l.in);
    }
    // The same in code page 949, the editor's encoding.
    const std::string cp = cp949("주소 ‘예제.한국’ → ※ 2024 /srv/예제.한국/ 한국 www.메일.한국.");
    EXPECT_EQ(convert(cp, FileKind::General, Encoding::Cp949),
        cp949("주소 ‘xn--2j5b21b.xn--3e0b707e’ → ※ 2024 /srv/예제.한국/ 한국 www.xn--h32bq4v.xn--3e0b707e."));
    // A broken name is still a name: refused, never half converted.
    ConvertOptions options;
    options.from = Encoding::Utf8;
    options.kind = FileKind::General;
    ConvertReport report;
    EXPECT_TRUE(convertText("글 가\u3164.한국 끝\n", options, report).empty());
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].column, 3);
    // Invisible characters stay inside the name they would split.
    EXPECT_TRUE(convertText("나\u200B다.한국\n", options, report).empty());
    EXPECT_EQ(report.errors.size(), 1u);
}

TEST(Files, LineEndingsAndUnconvertedBytesAreKept)
{
    const std::string in
        = cp949("메일 IN A 192.0.2.1\r\n; 주석\r\nwww IN A 192.0.2.2\n마지막 IN A 192.0.2.3");
    const std::string out = convert(in, FileKind::Zone, Encoding::Cp949);
    EXPECT_EQ(out,
        cp949("xn--h32bq4v IN A 192.0.2.1\r\n; 주석\r\nwww IN A 192.0.2.2\nxn--hz2bc473j IN A 192.0.2.3"));
    const std::string kept = convert(in, FileKind::Zone, Encoding::Cp949, Encoding::Punycode, true);
    EXPECT_EQ(kept,
        cp949("; 메일 IN A 192.0.2.1\r\nxn--h32bq4v IN A 192.0.2.1\r\n; 주석\r\nwww IN A 192.0.2.2\n"
              "; 마지막 IN A 192.0.2.3\r\nxn--hz2bc473j IN A 192.0.2.3"));
}

TEST(Files, EveryFailingLineIsReportedWithItsColumn)
{
    const std::string in = "ok IN A 192.0.2.1\n"
                           "가\u3164 IN A 192.0.2.2\n"
                           "ok2 IN CNAME 좋은.한국.\n"
                           "x IN CNAME 좋은.xn--zz.\n"
                           "y IN MX 10 "
        + std::string(60, 'a') + "가.한국.\n";
    ConvertOptions options;
    options.from = Encoding::Utf8;
    options.kind = FileKind::Zone;
    ConvertReport report;
    EXPECT_TRUE(convertText(in, options, report).empty());
    ASSERT_EQ(report.errors.size(), 2u);
    EXPECT_EQ(report.errors[0].line, 2);
    EXPECT_EQ(report.errors[0].column, 1);
    EXPECT_EQ(report.errors[0].kind, ErrorKind::Disallowed);
    EXPECT_EQ(report.errors[1].line, 5);
    EXPECT_EQ(report.errors[1].column, 12);
    EXPECT_EQ(report.errors[1].kind, ErrorKind::LabelTooLong);

    options.from = Encoding::Punycode;
    options.to = Encoding::Utf8;
    EXPECT_TRUE(convertText(in, options, report).empty());
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].line, 4);
    EXPECT_EQ(report.errors[0].column, 15);
    EXPECT_EQ(report.errors[0].kind, ErrorKind::BadAce);
}

TEST(Files, UndecodableBytesFailTheirLine)
{
    ConvertOptions options;
    options.kind = FileKind::Zone;
    ConvertReport report;
    EXPECT_TRUE(convertText("a IN A 192.0.2.1\n; \xB0\x20\n", options, report).empty());
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].kind, ErrorKind::Decode);
    EXPECT_EQ(report.errors[0].line, 2);
    EXPECT_EQ(report.errors[0].column, 3);
}

TEST(Files, TranscodingAndCopying)
{
    const std::string text = "메일 IN A 192.0.2.1\n";
    EXPECT_EQ(convert(cp949(text), FileKind::Zone, Encoding::Cp949, Encoding::Utf8), text);
    EXPECT_EQ(convert(text, FileKind::Zone, Encoding::Utf8, Encoding::Cp949), cp949(text));
    EXPECT_EQ(convert(cp949(text), FileKind::Zone, Encoding::Cp949, Encoding::Cp949), cp949(text));
    ConvertOptions options;
    options.from = options.to = Encoding::Cp949;
    ConvertReport report;
    EXPECT_TRUE(convertText("\x81\x20", options, report).empty());
    EXPECT_FALSE(report.ok());
}

TEST(Files, StreamingFileConversionMatchesTheTextAndReplacesAtomically)
{
    TempDir dir;
    // Bigger than one read block, with a record split across blocks.
    std::string big;
    for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
        big += cp949("이름" + std::to_string(i) + " IN CNAME 대상" + std::to_string(i % 97) + ".한국.\n");
    writeFile(dir / "in.zone", big);
    ConvertOptions options;
    options.kind = FileKind::Zone;
    options.keepComment = true;
    ConvertReport report = convertFile((dir / "in.zone").string(), (dir / "out.zone").string(), options);
    ASSERT_TRUE(report.ok());
    ConvertReport textReport;
    EXPECT_EQ(readFile(dir / "out.zone"), convertText(big, options, textReport));

    // A failure leaves the earlier output as it was and no temporary file.
    writeFile(dir / "bad.zone", big + cp949("가\u3164 IN A 192.0.2.1\n"));
    writeFile(dir / "out.zone", "precious");
    report = convertFile((dir / "bad.zone").string(), (dir / "out.zone").string(), options);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.errors.front().line, static_cast<int>(report.lines));
    EXPECT_EQ(readFile(dir / "out.zone"), "precious");
    EXPECT_EQ(dir.entries(), 3u);

    report = convertFile((dir / "missing").string(), (dir / "x").string(), options);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.errors.front().kind, ErrorKind::Io);
    EXPECT_EQ(report.errors.front().line, 1);
}

TEST(Validators, BindAcceptsWhatWeWrite)
{
    if (!hasTool("named-checkzone") || !hasTool("named-checkconf"))
        GTEST_FAIL() << "bind9-utils is not installed (scripts/setup installs it)";
    TempDir dir;
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "with kept comments" : "without comments");
        ConvertOptions options;
        options.keepComment = keep;
        ASSERT_TRUE(convertFile(dataFile("hangul.zone").string(), (dir / "z").string(), options).ok());
        ASSERT_TRUE(convertFile(dataFile("named.conf").string(), (dir / "n").string(), options).ok());
        const std::string zone
            = "named-checkzone -q -k fail xn--2j5b21b.xn--3e0b707e " + (dir / "z").string();
        EXPECT_EQ(std::system(zone.c_str()), 0) << zone;
        const std::string conf = "named-checkconf " + (dir / "n").string();
        EXPECT_EQ(std::system(conf.c_str()), 0) << conf;
    }
    // And refuses the unconverted file, so the check above means something.
    const std::string raw
        = "named-checkzone -q -k fail xn--2j5b21b.xn--3e0b707e " + dataFile("hangul.zone").string();
    EXPECT_NE(std::system(raw.c_str()), 0);
}

TEST(Files, HugeLinesAndNulBytesNeitherCrashNorHang)
{
    // A 10 MB line of Hangul is one enormous label: refused, with its line.
    std::string huge;
    huge.reserve(10 * 1024 * 1024 + 16);
    const std::string syllable = cp949("가");
    while (huge.size() < 10 * 1024 * 1024)
        huge += syllable;
    ConvertOptions options;
    options.kind = FileKind::General;
    ConvertReport report;
    EXPECT_TRUE(convertText("ok\n" + huge + ".kr\n", options, report).empty());
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].line, 2);
    EXPECT_EQ(report.errors[0].kind, ErrorKind::LabelTooLong);

    // NUL bytes are ordinary bytes to the scanners and are kept.
    const std::string withNul = std::string("a\0b IN A 192.0.2.1\n", 19) + cp949("메일 IN A 192.0.2.1\n");
    options.kind = FileKind::Zone;
    const std::string out = convertText(withNul, options, report);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(out, std::string("a\0b IN A 192.0.2.1\n", 19) + "xn--h32bq4v IN A 192.0.2.1\n");
}
