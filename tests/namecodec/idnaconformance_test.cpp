// Unicode's own UTS #46 conformance data (tests/data/namecodec/IdnaTestV2.txt,
// Unicode 15.0, the version of the ICU we build on) run through toAscii and
// toUnicode. Where the converter differs from UTS #46 on purpose, the
// difference is a named class below with its reason; every other line must
// agree, and the number of lines each class explains is pinned, so a new
// kind of disagreement fails here instead of hiding in a class.

#include "testutil.h"

#include <unicode/uchar.h>
#include <unicode/uidna.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <map>
#include <sstream>
#include <vector>

using namespace namecodec;
using namespace testutil;

namespace {

struct Line {
    int number = 0;
    std::string source;
    std::string toUnicode;
    bool toUnicodeFails = false;
    std::string toAscii;
    bool toAsciiFails = false;
};

std::string trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

void appendUtf8(std::string &out, UChar32 c)
{
    char buf[4];
    int32_t n = 0;
    U8_APPEND_UNSAFE(buf, n, c);
    out.append(buf, static_cast<std::size_t>(n));
}

// The file writes awkward characters as \uXXXX or \x{XXXX}.
std::string unescape(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 5 < s.size() && s[i + 1] == 'u') {
            appendUtf8(out, static_cast<UChar32>(std::stoul(std::string(s.substr(i + 2, 4)), nullptr, 16)));
            i += 5;
        } else if (s[i] == '\\' && i + 2 < s.size() && s[i + 1] == 'x' && s[i + 2] == '{') {
            const std::size_t close = s.find('}', i);
            appendUtf8(out,
                static_cast<UChar32>(std::stoul(std::string(s.substr(i + 3, close - i - 3)), nullptr, 16)));
            i = close;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::vector<Line> readConformanceFile()
{
    std::istringstream in(readFile(dataFile("IdnaTestV2.txt")));
    std::vector<Line> lines;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        text = text.substr(0, text.find('#'));
        if (trim(text).empty())
            continue;
        std::vector<std::string> columns;
        std::istringstream fields(text);
        for (std::string field; std::getline(fields, field, ';');)
            columns.push_back(trim(field));
        columns.resize(7);
        // Blank columns repeat an earlier one, as the file's header says.
        Line line;
        line.number = number;
        line.source = unescape(columns[0]);
        line.toUnicode = columns[1].empty() ? line.source : unescape(columns[1]);
        const std::string unicodeStatus = columns[2].empty() ? "[]" : columns[2];
        line.toUnicodeFails = unicodeStatus != "[]";
        line.toAscii = columns[3].empty() ? line.toUnicode : unescape(columns[3]);
        line.toAsciiFails = (columns[4].empty() ? unicodeStatus : columns[4]) != "[]";
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> labelsOf(std::string_view name)
{
    std::vector<std::string> labels;
    for (std::size_t start = 0;;) {
        const std::size_t dot = name.find('.', start);
        labels.emplace_back(name.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (dot == std::string_view::npos)
            return labels;
        start = dot + 1;
    }
}

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isAce(std::string_view label)
{
    return label.size() >= 4 && (label[0] | 0x20) == 'x' && (label[1] | 0x20) == 'n' && label[2] == '-'
        && label[3] == '-';
}

std::vector<UChar32> codePoints(std::string_view utf8)
{
    std::vector<UChar32> out;
    for (int32_t i = 0; i < static_cast<int32_t>(utf8.size());) {
        UChar32 c;
        U8_NEXT(utf8.data(), i, static_cast<int32_t>(utf8.size()), c);
        out.push_back(c);
    }
    return out;
}

// ICU's UTS #46 with the converter's options, to tell which label of a line
// UTS #46 would change or refuse on its own.
UIDNA *uts46()
{
    static UIDNA *idna = [] {
        UErrorCode status = U_ZERO_ERROR;
        UIDNA *opened = uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE
                | UIDNA_USE_STD3_RULES | UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_CHECK_CONTEXTO,
            &status);
        EXPECT_TRUE(U_SUCCESS(status));
        return opened;
    }();
    return idna;
}

struct IcuLabel {
    std::string text;
    bool refused = false;
};

IcuLabel icuLabel(std::string_view label, bool toAscii)
{
    char out[1024];
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    UErrorCode status = U_ZERO_ERROR;
    const auto length = static_cast<int32_t>(label.size());
    const int32_t n = toAscii
        ? uidna_labelToASCII_UTF8(uts46(), label.data(), length, out, 1024, &info, &status)
        : uidna_labelToUnicodeUTF8(uts46(), label.data(), length, out, 1024, &info, &status);
    return {
        std::string(out, static_cast<std::size_t>(std::max(n, 0))), U_FAILURE(status) || info.errors != 0};
}

bool uts46TouchesLabel(std::string_view label, bool toAscii)
{
    const IcuLabel r = icuLabel(label, toAscii);
    return r.refused || r.text != label;
}

// The converter's Hangul-trap rule: characters a reader cannot see (which
// IDNA would silently drop or keep invisible), the Hangul fillers, and jamo
// that do not compose into a syllable. Such a name looks like another one.
bool hasTrapCharacter(std::string_view label)
{
    for (const UChar32 c : codePoints(label)) {
        if (u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) || c == 0x3164 || c == 0xFFA0
            || (c >= 0x3130 && c <= 0x318F))
            return true;
    }
    const std::u16string wide = decodeText(label, Encoding::Utf8).value_or(std::u16string());
    UErrorCode status = U_ZERO_ERROR;
    std::u16string composed(wide.size() + 8, u'\0');
    const int32_t n = unorm2_normalize(unorm2_getNFCInstance(&status), wide.data(),
        static_cast<int32_t>(wide.size()), composed.data(), static_cast<int32_t>(composed.size()), &status);
    composed.resize(static_cast<std::size_t>(std::max(n, 0)));
    for (std::size_t i = 0; i < composed.size();) {
        UChar32 c;
        U16_NEXT(composed.data(), i, composed.size(), c);
        if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xD7B0 && c <= 0xD7FF)
            || (c >= 0xFFA0 && c <= 0xFFDF))
            return true;
    }
    return false;
}

// IDNA2008 keeps symbols and punctuation out of names although UTS #46
// still maps or passes many of them; registries follow IDNA2008.
bool hasSymbol(std::string_view label)
{
    for (const UChar32 c : codePoints(label)) {
        if (c < 0x80 || c == 0x00B7 || c == 0x0375 || c == 0x05F3 || c == 0x05F4 || c == 0x30FB)
            continue;
        if (!(U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_MN_MASK | U_GC_MC_MASK | U_GC_ND_MASK)))
            return true;
    }
    return false;
}

bool hasForeignFullStop(std::string_view name)
{
    for (const UChar32 c : codePoints(name)) {
        if (c == 0x3002 || c == 0xFF0E || c == 0xFF61)
            return true;
    }
    return false;
}

struct Outcome {
    bool ok;
    std::string text;
    Error error;
};

Outcome run(const Result<std::string> &r)
{
    return r ? Outcome {true, *r, {}} : Outcome {false, {}, r.error()};
}

bool agrees(const Outcome &ours, bool fileFails, const std::string &fileText)
{
    return ours.ok != fileFails && (!ours.ok || ours.text == fileText);
}

std::string describe(const Line &line, const Outcome &ours, bool fileFails, const std::string &fileText)
{
    return "line " + std::to_string(line.number) + ": " + line.source
        + "\n  file: " + (fileFails ? "error" : fileText)
        + "\n  ours: " + (ours.ok ? ours.text : "error " + ours.error.message);
}

} // namespace

TEST(IdnaConformance, ToAsciiAgreesWithUts46OutsideTheDocumentedDifferences)
{
    const std::vector<Line> lines = readConformanceFile();
    ASSERT_EQ(lines.size(), 6235u);

    std::map<std::string, int> differences;
    for (const Line &line : lines) {
        const Outcome ours = run(toAscii(line.source, Encoding::Utf8));
        const bool same = agrees(ours, line.toAsciiFails, line.toAscii);
        const std::vector<std::string> labels = labelsOf(line.source);
        auto nonAsciiLabelHas = [&](bool (*test)(std::string_view)) {
            return std::any_of(
                labels.begin(), labels.end(), [&](const std::string &l) { return !isAscii(l) && test(l); });
        };
        auto refused = [&](const char *why) {
            EXPECT_FALSE(ours.ok) << why << "\n" << describe(line, ours, line.toAsciiFails, line.toAscii);
            if (!same && !ours.ok) {
                EXPECT_EQ(ours.error.kind, ErrorKind::Disallowed) << describe(line, ours, true, "");
            }
            differences[why] += same ? 0 : 1;
        };

        if (hasForeignFullStop(line.source)) {
            // Only the ASCII full stop separates labels: a zone file and the
            // scanners see one run where UTS #46 would see several labels,
            // so the ideographic and full-width stops are refused, not mapped.
            refused("foreign full stop");
        } else if (nonAsciiLabelHas(hasTrapCharacter)) {
            refused("invisible character or loose jamo");
        } else if (nonAsciiLabelHas(hasSymbol)) {
            refused("symbol");
        } else if (isAscii(line.source)
            || std::any_of(labels.begin(), labels.end(),
                [](const std::string &l) { return isAscii(l) && uts46TouchesLabel(l, true); })) {
            // ASCII labels are copied byte for byte (`_sip`, `*`, `WWW`, an
            // xn-- label as written), and a name of nothing else is left
            // alone whole, its length included. The other labels must come
            // out as UTS #46 makes them, and only an ASCII label may explain
            // a refusal the converter does not make.
            const std::vector<std::string> expected = labelsOf(line.toAscii);
            if (ours.ok) {
                const std::vector<std::string> got = labelsOf(ours.text);
                EXPECT_EQ(got.size(), labels.size()) << describe(line, ours, line.toAsciiFails, line.toAscii);
                for (std::size_t i = 0; i < labels.size() && i < got.size(); ++i) {
                    if (isAscii(labels[i])) {
                        EXPECT_EQ(got[i], labels[i]) << describe(line, ours, line.toAsciiFails, line.toAscii);
                    } else if (expected.size() == labels.size()) {
                        EXPECT_EQ(got[i], expected[i])
                            << describe(line, ours, line.toAsciiFails, line.toAscii);
                    }
                }
            } else {
                EXPECT_TRUE(line.toAsciiFails) << describe(line, ours, false, line.toAscii);
            }
            differences["ASCII label kept"] += same ? 0 : 1;
        } else {
            EXPECT_TRUE(same) << describe(line, ours, line.toAsciiFails, line.toAscii);
        }
    }
    const std::map<std::string, int> pinned = {
        {"foreign full stop", 59},
        {"invisible character or loose jamo", 30},
        {"symbol", 23},
        {"ASCII label kept", 2185},
    };
    EXPECT_EQ(differences, pinned);
}

TEST(IdnaConformance, ToUnicodeAgreesWithUts46OutsideTheDocumentedDifferences)
{
    const std::vector<Line> lines = readConformanceFile();
    ASSERT_EQ(lines.size(), 6235u);

    std::map<std::string, int> differences;
    for (const Line &line : lines) {
        const Outcome ours = run(toUnicode(line.source, Encoding::Utf8));
        const bool same = agrees(ours, line.toUnicodeFails, line.toUnicode);
        const std::vector<std::string> labels = labelsOf(line.source);
        auto aceLabelHas = [&](auto test) {
            return std::any_of(
                labels.begin(), labels.end(), [&](const std::string &l) { return isAce(l) && test(l); });
        };

        if (aceLabelHas([](std::string_view l) { return l.size() > 63; })) {
            // DNS's limit holds going back too: a zone cannot hold such a
            // label, whatever it stands for.
            EXPECT_FALSE(ours.ok) << describe(line, ours, line.toUnicodeFails, line.toUnicode);
            if (!ours.ok) {
                EXPECT_EQ(ours.error.kind, ErrorKind::LabelTooLong) << describe(line, ours, true, "");
            }
            differences["ACE label over 63 octets"] += same ? 0 : 1;
        } else if (aceLabelHas(
                       [](std::string_view l) { return hasTrapCharacter(icuLabel(l, false).text); })) {
            EXPECT_FALSE(ours.ok) << describe(line, ours, line.toUnicodeFails, line.toUnicode);
            if (!same && !ours.ok) {
                EXPECT_EQ(ours.error.kind, ErrorKind::Disallowed) << describe(line, ours, true, "");
            }
            differences["invisible character or loose jamo"] += same ? 0 : 1;
        } else if (std::none_of(labels.begin(), labels.end(), isAce)
            || std::any_of(labels.begin(), labels.end(),
                [](const std::string &l) { return !isAce(l) && uts46TouchesLabel(l, false); })) {
            // Going back only xn-- labels are decoded. Every other label,
            // ASCII or already in Hangul, is text as the user wrote it and
            // stays byte for byte, and a name without an xn-- label is left
            // alone whole; the xn-- labels beside them must decode as UTS #46
            // decodes them.
            const std::vector<std::string> expected = labelsOf(line.toUnicode);
            if (ours.ok) {
                const std::vector<std::string> got = labelsOf(ours.text);
                EXPECT_EQ(got.size(), labels.size())
                    << describe(line, ours, line.toUnicodeFails, line.toUnicode);
                for (std::size_t i = 0; i < labels.size() && i < got.size(); ++i) {
                    if (!isAce(labels[i])) {
                        EXPECT_EQ(got[i], labels[i])
                            << describe(line, ours, line.toUnicodeFails, line.toUnicode);
                    } else if (expected.size() == labels.size()) {
                        EXPECT_EQ(got[i], expected[i])
                            << describe(line, ours, line.toUnicodeFails, line.toUnicode);
                    }
                }
            } else {
                EXPECT_TRUE(line.toUnicodeFails) << describe(line, ours, false, line.toUnicode);
            }
            differences["label without the ACE prefix kept"] += same ? 0 : 1;
        } else {
            EXPECT_TRUE(same) << describe(line, ours, line.toUnicodeFails, line.toUnicode);
        }
    }
    const std::map<std::string, int> pinned = {
        {"ACE label over 63 octets", 5},
        {"invisible character or loose jamo", 13},
        {"label without the ACE prefix kept", 3816},
    };
    EXPECT_EQ(differences, pinned);
}
