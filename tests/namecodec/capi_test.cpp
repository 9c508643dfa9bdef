#include "namecodec/namecodec.h"
#include "testutil.h"

#include <cstring>

using namespace testutil;

TEST(ConvertString, ConvertsBothWaysAndCopiesWhenCodesMatch)
{
    char out[NAMECODEC_OUTPUT_SIZE] = {};
    const std::string name = cp949("www.예제.한국");
    ASSERT_EQ(ConvertString(name.c_str(), out, 4, 2), 0);
    EXPECT_STREQ(out, "www.xn--2j5b21b.xn--3e0b707e");
    char back[NAMECODEC_OUTPUT_SIZE] = {};
    ASSERT_EQ(ConvertString(out, back, 2, 4), 0);
    EXPECT_EQ(std::string(back), name);
    ASSERT_EQ(ConvertString(out, back, 2, 0), 0);
    EXPECT_EQ(std::string(back), name);
    ASSERT_EQ(ConvertString(name.c_str(), back, 4, 4), 0);
    EXPECT_EQ(std::string(back), name);
    ASSERT_EQ(ConvertString(name.c_str(), back, 0, 2), 0);
    EXPECT_STREQ(back, "www.xn--2j5b21b.xn--3e0b707e");
    // A name given on its own may be one label, and any non-ASCII one (the
    // rule for names inside documents is narrower).
    ASSERT_EQ(ConvertString("한국 café", back, 1, 2), 0);
    EXPECT_STREQ(back, "xn--3e0b707e xn--caf-dma");
    ASSERT_EQ(ConvertString("xn--3e0b707e", back, 2, 4), 0);
    EXPECT_EQ(std::string(back), cp949("한국"));
}

TEST(ConvertString, RefusalsLeaveAnEmptyOutput)
{
    char out[NAMECODEC_OUTPUT_SIZE];
    const struct {
        std::string input;
        int from, to;
    } cases[] = {
        {cp949("가나.kr"), 4, 3}, // RACE
        {cp949("가나.kr"), 3, 4}, {cp949("가나.kr"), 7, 2}, // unknown code
        {"\xFF\xFE", 4, 2}, // undecodable
        {"xn--zz.kr", 2, 4}, // broken ACE
        {cp949("가★.kr"), 4, 2}, // disallowed
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.input);
        std::memset(out, 'x', sizeof out);
        EXPECT_NE(ConvertString(c.input.c_str(), out, c.from, c.to), 0);
        EXPECT_EQ(out[0], '\0');
    }
    EXPECT_NE(ConvertString(nullptr, out, 4, 2), 0);
    EXPECT_NE(ConvertString("a", nullptr, 4, 2), 0);
}

TEST(ConvertString, NeverWritesPast1024Bytes)
{
    // Many short Hangul names: each grows from 2 bytes to about 8 in ACE.
    std::string input;
    while (input.size() < 1000)
        input += cp949("가 ");
    char buffer[2048];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(ConvertString(input.c_str(), buffer, 4, 2), NAMECODEC_E_OUTPUT_TOO_LONG);
    EXPECT_EQ(buffer[0], '\0');
    for (std::size_t i = NAMECODEC_OUTPUT_SIZE; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 0x5A) << "byte " << i;

    // Exactly 1023 bytes of result fit.
    std::string fits(1023, 'a');
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(ConvertString(fits.c_str(), buffer, 4, 2), 0);
    EXPECT_EQ(std::strlen(buffer), 1023u);
    EXPECT_EQ(buffer[1024], 0x5A);
    fits.push_back('a');
    EXPECT_EQ(ConvertString(fits.c_str(), buffer, 4, 2), NAMECODEC_E_OUTPUT_TOO_LONG);
}

TEST(ConvertFile, ReportsTheFirstFailingLineAndLeavesNoFile)
{
    TempDir dir;
    writeFile(dir / "in.zone",
        cp949("$TTL 1\n메일 IN A 192.0.2.1\n\n가\u3164 IN A 192.0.2.2\n나\u3164 IN A 1.2.3.4\n"));
    int line = 0;
    EXPECT_NE(ConvertFile((dir / "in.zone").c_str(), (dir / "out").c_str(), 4, 2, 1, &line), 0);
    EXPECT_EQ(line, 4);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    EXPECT_EQ(dir.entries(), 1u);

    line = 0;
    EXPECT_NE(ConvertFile((dir / "nope").c_str(), (dir / "out").c_str(), 4, 2, 0, &line), 0);
    EXPECT_EQ(line, 1);
    line = 0;
    EXPECT_NE(ConvertFile((dir / "in.zone").c_str(), (dir / "out").c_str(), 4, 3, 0, &line), 0);
    EXPECT_EQ(line, 1);
}

TEST(ConvertFile, KeepCommentOnlyForOne)
{
    TempDir dir;
    writeFile(dir / "in.zone", cp949("$TTL 1\n메일 IN A 192.0.2.1\n"));
    int line = 0;
    for (int option : {0, 1, 2}) {
        SCOPED_TRACE(option);
        ASSERT_EQ(ConvertFile((dir / "in.zone").c_str(), (dir / "out").c_str(), 4, 2, option, &line), 0);
        const std::string expected = option == 1
            ? cp949("$TTL 1\n; 메일 IN A 192.0.2.1\nxn--h32bq4v IN A 192.0.2.1\n")
            : "$TTL 1\nxn--h32bq4v IN A 192.0.2.1\n";
        EXPECT_EQ(readFile(dir / "out"), expected);
    }
}

TEST(ConvertFile, RoundTripGivesTheOriginalBytes)
{
    TempDir dir;
    int line = 0;
    for (const char *name : {"hangul.zone", "named.conf", "vhost.conf"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(ConvertFile(dataFile(name).c_str(), (dir / "p").c_str(), 4, 2, 0, &line), 0);
        ASSERT_EQ(ConvertFile((dir / "p").c_str(), (dir / "b").c_str(), 2, 4, 0, &line), 0);
        EXPECT_EQ(readFile(dir / "b"), readFile(dataFile(name)));
    }
}

TEST(ConvertFileAs, TheGivenKindDecidesHowTheFileIsScanned)
{
    TempDir dir;
    // Scanned as a zone file, the comment and the TXT string stay and only
    // the owner changes; as general text every dotted Hangul run changes.
    writeFile(dir / "in", cp949("; 예제.한국 info\n예제.한국. IN TXT \"메일.예제.한국\"\n"));
    const struct {
        int kind;
        const char *expected;
    } cases[] = {
        {NAMECODEC_KIND_ZONE, "; 예제.한국 info\nxn--2j5b21b.xn--3e0b707e. IN TXT \"메일.예제.한국\"\n"},
        {NAMECODEC_KIND_GENERAL,
            "; xn--2j5b21b.xn--3e0b707e info\nxn--2j5b21b.xn--3e0b707e. IN TXT "
            "\"xn--h32bq4v.xn--2j5b21b.xn--3e0b707e\"\n"},
        // named.conf converts zone statements only, so nothing here
        {NAMECODEC_KIND_NAMED_CONF, "; 예제.한국 info\n예제.한국. IN TXT \"메일.예제.한국\"\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.kind);
        int line = 0;
        ASSERT_EQ(ConvertFileAs((dir / "in").c_str(), (dir / "out").c_str(), 4, 2, 0, c.kind, &line), 0);
        EXPECT_EQ(readFile(dir / "out"), cp949(c.expected));
    }

    // A virtual host read as named.conf keeps its names; as a web-server
    // file they change as the recognised kind changes them.
    int line = 0;
    ASSERT_EQ(ConvertFileAs(dataFile("vhost.conf").c_str(), (dir / "out").c_str(), 4, 2, 0,
                  NAMECODEC_KIND_NAMED_CONF, &line),
        0);
    EXPECT_EQ(readFile(dir / "out"), readFile(dataFile("vhost.conf")));
    ASSERT_EQ(ConvertFileAs(dataFile("vhost.conf").c_str(), (dir / "out").c_str(), 4, 2, 0,
                  NAMECODEC_KIND_WEB_SERVER, &line),
        0);
    EXPECT_EQ(readFile(dir / "out"), readFile(dataFile("vhost.conf.puny")));
}

TEST(ConvertFileAs, ConvertFileIsTheAutomaticKindAndUnknownKindsAreRefused)
{
    TempDir dir;
    int line = 0;
    for (const char *name : {"hangul.zone", "named.conf", "vhost.conf"}) {
        SCOPED_TRACE(name);
        for (int keep : {0, 1}) {
            const std::string golden
                = readFile(dataFile(std::string(name) + (keep ? ".puny-comment" : ".puny")));
            ASSERT_EQ(ConvertFile(dataFile(name).c_str(), (dir / "a").c_str(), 4, 2, keep, &line), 0);
            EXPECT_EQ(readFile(dir / "a"), golden);
            ASSERT_EQ(ConvertFileAs(dataFile(name).c_str(), (dir / "b").c_str(), 4, 2, keep,
                          NAMECODEC_KIND_AUTO, &line),
                0);
            EXPECT_EQ(readFile(dir / "b"), golden);
        }
    }

    writeFile(dir / "in.zone", cp949("$TTL 1\n메일 IN A 192.0.2.1\n"));
    for (int kind : {-1, 5, 99}) {
        SCOPED_TRACE(kind);
        line = 0;
        EXPECT_EQ(ConvertFileAs((dir / "in.zone").c_str(), (dir / "out").c_str(), 4, 2, 0, kind, &line),
            NAMECODEC_E_ARGUMENT);
        EXPECT_EQ(line, 1);
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
    // A failing line is reported the same way whatever the kind.
    writeFile(dir / "bad.zone", cp949("$TTL 1\n\n가\u3164 IN A 192.0.2.2\n"));
    line = 0;
    EXPECT_EQ(
        ConvertFileAs((dir / "bad.zone").c_str(), (dir / "out").c_str(), 4, 2, 1, NAMECODEC_KIND_ZONE, &line),
        NAMECODEC_E_DISALLOWED);
    EXPECT_EQ(line, 3);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

TEST(EncodingNames, TableMatchesTheCodes)
{
    EXPECT_STREQ(NamecodecEncodingName(0), "-EucKr");
    EXPECT_STREQ(NamecodecEncodingName(1), "-UTF");
    EXPECT_STREQ(NamecodecEncodingName(2), "-PUNY");
    EXPECT_STREQ(NamecodecEncodingName(3), "-RACE");
    EXPECT_STREQ(NamecodecEncodingName(4), "-EucKr");
    EXPECT_EQ(NamecodecEncodingName(5), nullptr);
}
