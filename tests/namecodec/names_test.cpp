#include "testutil.h"

#include <unicode/ucnv.h>
#include <unicode/uidna.h>

#include <optional>

using namespace namecodec;
using namespace testutil;

namespace {

std::u16string syllable(char16_t s)
{
    return std::u16string(1, s);
}

} // namespace

TEST(Syllables, EveryHangulSyllableSurvivesTheRoundTripThroughCp949AndAce)
{
    int outsideKsX1001 = 0;
    for (char16_t s = 0xAC00; s <= 0xD7A3; ++s) {
        auto bytes = encodeText(syllable(s), Encoding::Cp949);
        ASSERT_TRUE(bytes) << "U+" << std::hex << int(s);
        ASSERT_EQ(bytes->size(), 2u);
        // KS X 1001 puts its 2,350 syllables at lead bytes B0..C8 with trail
        // bytes A1..FE; everything else is code page 949's extension.
        const auto lead = static_cast<unsigned char>((*bytes)[0]),
                   trail = static_cast<unsigned char>((*bytes)[1]);
        if (!(lead >= 0xB0 && lead <= 0xC8 && trail >= 0xA1))
            ++outsideKsX1001;

        const std::string name = *bytes + ".kr";
        auto ace = toAscii(name, Encoding::Cp949);
        ASSERT_TRUE(ace) << ace.error().message;
        ASSERT_EQ(ace->rfind("xn--", 0), 0u);
        auto back = toUnicode(*ace, Encoding::Cp949);
        ASSERT_TRUE(back) << back.error().message;
        ASSERT_EQ(*back, name);
    }
    EXPECT_EQ(outsideKsX1001, 11172 - 2350);
}

TEST(Syllables, ExtensionSyllablesConvertLikeTheRest)
{
    // "똠" and "햏" are missing from KS X 1001 and are the classic test of a
    // converter that only knows EUC-KR proper.
    const std::string name = cp949("똠방햏.kr");
    auto ace = toAscii(name, Encoding::Cp949);
    ASSERT_TRUE(ace) << ace.error().message;
    auto fromUtf8 = toAscii("똠방햏.kr", Encoding::Utf8);
    ASSERT_TRUE(fromUtf8);
    EXPECT_EQ(*ace, *fromUtf8);
    EXPECT_EQ(toUnicode(*ace, Encoding::Cp949).value(), name);
}

TEST(Names, AsciiLabelsAreCopiedByteForByte)
{
    const struct {
        const char *in;
        const char *out;
    } cases[] = {
        {"_sip._tcp.예제.한국.", "_sip._tcp.xn--2j5b21b.xn--3e0b707e."},
        {"*.예제.한국", "*.xn--2j5b21b.xn--3e0b707e"},
        {"WWW.예제.COM", "WWW.xn--2j5b21b.COM"},
        {"plain.example.com", "plain.example.com"},
        {"예제..kr", "xn--2j5b21b..kr"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in);
        auto r = toAscii(c.in, Encoding::Utf8);
        ASSERT_TRUE(r) << r.error().message;
        EXPECT_EQ(*r, c.out);
    }
}

TEST(Names, HangulTrapsGiveAClearErrorNeverABrokenName)
{
    const struct {
        const char *name;
        const char *input; // UTF-8
        const char *mentions;
    } traps[] = {
        {"Hangul filler U+3164", "가\u3164나.kr", "U+3164"},
        {"halfwidth filler U+FFA0", "가\uFFA0나.kr", "U+FFA0"},
        {"compatibility jamo", "ㄱㅏ.kr", "자모"},
        {"lone conjoining jamo", "\u1100.kr", "자모"},
        {"zero-width space", "가\u200B나.kr", "U+200B"},
        {"no-break space", "가\u00A0나.kr", "U+00A0"},
        {"ideographic space", "가\u3000나.kr", "U+3000"},
        {"symbol", "가★.kr", "U+2605"},
        {"underscore in a Hangul label", "가_나.kr", "U+005F"},
        {"leading hyphen", "-가.kr", "'-'"},
        // A Korean input method's full stops: the message says which dot to type.
        {"ideographic full stop", "예제\u3002한국", "'.'(U+002E)"},
        {"full-width full stop", "예제\uFF0E한국", "'.'(U+002E)"},
        {"halfwidth ideographic full stop", "예제\uFF61한국", "'.'(U+002E)"},
    };
    for (const auto &t : traps) {
        SCOPED_TRACE(t.name);
        auto r = toAscii(t.input, Encoding::Utf8);
        ASSERT_FALSE(r) << "converted to " << *r;
        EXPECT_EQ(r.error().kind, ErrorKind::Disallowed);
        EXPECT_NE(r.error().message.find(t.mentions), std::string::npos) << r.error().message;
    }
}

TEST(Names, BidiRuleHoldsAcrossTheWholeName)
{
    // One right-to-left label puts every label of the name under the rule,
    // whichever label it is and whichever direction the name goes.
    const struct {
        const char *input; // UTF-8
        const char *fault; // the label named, or nullptr when the name is fine
    } cases[] = {
        {"0à.\u05D0", "0à"}, {"1예제.\u05DE\u05D1\u05D7\u05DF", "1예제"},
        {"\u05DE\u05D1\u05D7\u05DF.1예제", "1예제"},
        {"0a.\u05D0", "0a"}, // an ASCII host label is copied, but still read beside the Hebrew one
        {"1예제.\U00010C41\u06D0", "1예제"}, // Old Turkic, outside the BMP
        {"c.0ü.\u05D0", "0ü"}, {"예제.\u05DE\u05D1\u05D7\u05DF.kr.", nullptr},
        {"_sip._tcp.\u05DE\u05D1\u05D7\u05DF.kr.", nullptr}, // service labels are no host names
        {"*.\u05DE\u05D1\u05D7\u05DF.kr", nullptr},
        {"1예제.kr", nullptr}, // no right-to-left label: a leading digit is fine
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.input);
        auto ascii = toAscii(c.input, Encoding::Utf8);
        if (!c.fault) {
            ASSERT_TRUE(ascii) << ascii.error().message;
            auto back = toUnicode(*ascii, Encoding::Utf8);
            ASSERT_TRUE(back) << back.error().message;
            EXPECT_EQ(*back, c.input);
            continue;
        }
        ASSERT_FALSE(ascii) << "converted to " << *ascii;
        EXPECT_EQ(ascii.error().kind, ErrorKind::Disallowed);
        EXPECT_EQ(ascii.error().label, c.fault);
        EXPECT_NE(ascii.error().message.find("쓰기 방향"), std::string::npos) << ascii.error().message;
    }

    // Going back, the labels decode one by one without fault; only the name
    // as a whole breaks the rule.
    for (const char *ace : {"xn--0-sfa.xn--4db", "xn--0ca88g.xn--4db", "c.xn--0-eha.xn--4db"}) {
        SCOPED_TRACE(ace);
        auto r = toUnicode(ace, Encoding::Utf8);
        ASSERT_FALSE(r) << "decoded to " << *r;
        EXPECT_EQ(r.error().kind, ErrorKind::Disallowed);
    }

    // In a file the fault names its line and the label's column.
    ConvertOptions options;
    options.from = Encoding::Utf8;
    options.to = Encoding::Punycode;
    options.kind = FileKind::Zone;
    ConvertReport report;
    const std::string text = "$ORIGIN 예제.kr.\n"
                             "www IN CNAME 1예제.\u05D0.kr.\n";
    EXPECT_EQ(convertText(text, options, report), "");
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].line, 2);
    EXPECT_EQ(report.errors[0].column, 14);
}

TEST(Names, DecomposedSyllablesComposeToTheSameName)
{
    auto composed = toAscii("한국.kr", Encoding::Utf8);
    auto decomposed = toAscii("\u1112\u1161\u11AB\u1100\u116E\u11A8.kr", Encoding::Utf8);
    ASSERT_TRUE(composed);
    ASSERT_TRUE(decomposed) << decomposed.error().message;
    EXPECT_EQ(*composed, *decomposed);
}

TEST(Names, LabelAndNameLengthLimits)
{
    // Repeating one syllable costs one octet of ACE per extra syllable, so
    // the limit falls between 56 and 57 syllables.
    std::string fits, tooLong;
    for (int i = 0; i < 56; ++i)
        fits += "가";
    tooLong = fits + "가";
    auto ok = toAscii(fits, Encoding::Utf8);
    ASSERT_TRUE(ok) << ok.error().message;
    EXPECT_EQ(ok->size(), 63u);
    auto bad = toAscii(tooLong + ".kr", Encoding::Utf8);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().kind, ErrorKind::LabelTooLong);

    std::string longName;
    for (int i = 0; i < 15; ++i)
        longName += "가나다라마바사아.";
    auto tooMany = toAscii(longName + "kr", Encoding::Utf8);
    ASSERT_FALSE(tooMany);
    EXPECT_EQ(tooMany.error().kind, ErrorKind::NameTooLong);
}

TEST(Names, MalformedAceLabelsAreRefused)
{
    const char *bad[] = {"xn--abc-.kr", "xn--zz.kr", "xn--.kr", "xn--a.kr", "xn--ls8h-garbage!.kr"};
    for (const char *name : bad) {
        SCOPED_TRACE(name);
        auto r = toUnicode(name, Encoding::Cp949);
        ASSERT_FALSE(r) << "decoded to " << *r;
        EXPECT_TRUE(r.error().kind == ErrorKind::BadAce || r.error().kind == ErrorKind::Disallowed);
    }
    // Upper-case prefixes are still ACE labels.
    EXPECT_EQ(toUnicode("XN--2J5B21B.kr", Encoding::Utf8).value(), "예제.kr");
}

TEST(Names, AceLabelsThatCannotBeWrittenInCp949AreAnEncodeError)
{
    auto ace = toAscii("中国𠀋.cn", Encoding::Utf8); // U+2000B is outside code page 949
    ASSERT_TRUE(ace) << ace.error().message;
    auto r = toUnicode(*ace, Encoding::Cp949);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::Encode);
    EXPECT_TRUE(toUnicode(*ace, Encoding::Utf8));
}

TEST(TextCodec, DecodeErrorsNameLineAndColumn)
{
    const std::string text = "first\n" + cp949("가나") + "\xB0\x20" + "\nthird";
    auto r = decodeText(text, Encoding::Cp949);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::Decode);
    EXPECT_EQ(r.error().line, 2);
    EXPECT_EQ(r.error().column, 3);

    auto u = decodeText("ok\n\xC3\x28", Encoding::Utf8);
    ASSERT_FALSE(u);
    EXPECT_EQ(u.error().line, 2);
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_FALSE(isValidUtf8("\xC0\xAF")); // an overlong slash
    EXPECT_TRUE(isValidUtf8("가나 abc"));
}

TEST(TextCodec, EncodeErrorsNameTheCharacter)
{
    auto r = encodeText(u"ab\ncd\U0001F600", Encoding::Cp949);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::Encode);
    EXPECT_EQ(r.error().line, 2);
    EXPECT_EQ(r.error().column, 3);
    EXPECT_NE(r.error().message.find("U+1F600"), std::string::npos);
}

static bool labelHasSyllable(const std::u16string &label)
{
    for (const char16_t c : label) {
        if (c >= 0xAC00 && c <= 0xD7A3)
            return true;
    }
    return false;
}

TEST(Names, HangulLabelsMatchIcuUts46Exactly)
{
    // The common Hangul labels take a short road to Punycode; ICU's full
    // UTS #46 processing is the reference it must agree with.
    UErrorCode status = U_ZERO_ERROR;
    UIDNA *idna = uidna_openUTS46(
        UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE | UIDNA_USE_STD3_RULES, &status);
    ASSERT_TRUE(U_SUCCESS(status));
    std::mt19937 rng(42);
    const std::u16string ascii = u"abcz09-";
    for (int i = 0; i < 20000; ++i) {
        std::u16string label;
        const int length = std::uniform_int_distribution<int>(1, 20)(rng);
        for (int k = 0; k < length; ++k) {
            if (std::uniform_int_distribution<int>(0, 3)(rng) == 0)
                label.push_back(ascii[std::uniform_int_distribution<std::size_t>(0, ascii.size() - 1)(rng)]);
            else
                label.push_back(
                    static_cast<char16_t>(std::uniform_int_distribution<int>(0xAC00, 0xD7A3)(rng)));
        }
        if (!labelHasSyllable(label))
            label.push_back(u'\uD55C');
        char16_t out[128];
        UIDNAInfo info = UIDNA_INFO_INITIALIZER;
        status = U_ZERO_ERROR;
        const int32_t n = uidna_labelToASCII(
            idna, label.data(), static_cast<int32_t>(label.size()), out, 128, &info, &status);
        const std::string utf8 = encodeText(label, Encoding::Utf8).value();
        auto ours = toAscii(utf8, Encoding::Utf8);
        const bool icuAccepts = U_SUCCESS(status) && info.errors == 0;
        ASSERT_EQ(ours.has_value(), icuAccepts) << utf8;
        if (!icuAccepts)
            continue;
        const std::string ace(out, out + n);
        ASSERT_EQ(*ours, ace) << utf8;

        // And back: ours decodes exactly what ICU decodes, and a damaged
        // label is never accepted where ICU refuses it.
        ASSERT_EQ(toUnicode(ace, Encoding::Utf8).value_or("?"), utf8);
        std::string damaged = ace;
        damaged[std::uniform_int_distribution<std::size_t>(4, damaged.size() - 1)(rng)]
            = "az09-"[std::uniform_int_distribution<int>(0, 4)(rng)];
        const std::u16string damagedWide(damaged.begin(), damaged.end());
        char16_t decoded[128];
        UIDNAInfo backInfo = UIDNA_INFO_INITIALIZER;
        status = U_ZERO_ERROR;
        const int32_t m = uidna_labelToUnicode(idna, damagedWide.data(),
            static_cast<int32_t>(damagedWide.size()), decoded, 128, &backInfo, &status);
        auto oursBack = toUnicode(damaged, Encoding::Utf8);
        if (oursBack) {
            ASSERT_TRUE(U_SUCCESS(status) && backInfo.errors == 0) << damaged;
            ASSERT_EQ(*oursBack, encodeText(std::u16string(decoded, decoded + m), Encoding::Utf8).value())
                << damaged;
        }
    }
    uidna_close(idna);
}

TEST(TextCodec, Cp949DecoderAgreesWithIcuOnEveryByteAndPair)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter *icu = ucnv_open("windows-949", &status);
    ASSERT_TRUE(U_SUCCESS(status));
    ucnv_setToUCallBack(icu, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    auto reference = [&](const std::string &bytes) -> std::optional<std::u16string> {
        std::u16string out(bytes.size() + 4, u'\0');
        UErrorCode s = U_ZERO_ERROR;
        ucnv_resetToUnicode(icu);
        const int32_t n = ucnv_toUChars(icu, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
            static_cast<int32_t>(bytes.size()), &s);
        if (U_FAILURE(s))
            return std::nullopt;
        out.resize(static_cast<std::size_t>(n));
        return out;
    };
    int mismatches = 0;
    for (int a = 0; a < 256 && mismatches < 5; ++a) {
        for (int b = -1; b < 256 && mismatches < 5; ++b) {
            std::string bytes(1, static_cast<char>(a));
            if (b >= 0)
                bytes.push_back(static_cast<char>(b));
            const auto expected = reference(bytes);
            const auto ours = decodeText(bytes, Encoding::Cp949);
            if (expected.has_value() != ours.has_value() || (expected && *expected != *ours)) {
                ++mismatches;
                ADD_FAILURE() << "bytes " << std::hex << a << " " << b;
            }
        }
    }
    ucnv_close(icu);
}

TEST(TextCodec, Cp949EncoderAgreesWithIcuAndNeverDropsACharacter)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter *icu = ucnv_open("windows-949", &status);
    ASSERT_TRUE(U_SUCCESS(status));
    ucnv_setFromUCallBack(icu, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    int mismatches = 0;
    for (std::uint32_t u = 1; u <= 0xFFFF && mismatches < 5; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const char16_t unit = static_cast<char16_t>(u);
        char bytes[8];
        UErrorCode s = U_ZERO_ERROR;
        ucnv_resetFromUnicode(icu);
        const int32_t n = ucnv_fromUChars(icu, bytes, sizeof bytes, &unit, 1, &s);
        const auto ours = encodeText(std::u16string_view(&unit, 1), Encoding::Cp949);
        // ICU drops invisible characters it cannot map (U+034F, the Hangul
        // fillers U+115F/U+1160 ...) without a word; a document must never
        // lose a character on saving, so those are refused instead.
        const bool mapped = U_SUCCESS(s) && n > 0;
        const bool same = mapped ? (ours && *ours == std::string(bytes, static_cast<std::size_t>(n))) : !ours;
        if (!same) {
            ++mismatches;
            ADD_FAILURE() << "U+" << std::hex << u;
        }
    }
    ucnv_close(icu);
}
