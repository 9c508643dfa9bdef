// The marks an editor shows are what the conversion does: the names it
// changes (with the ACE form they get), the xn-- labels it would turn back
// (with their Hangul form), the names it refuses (with its reason), found by
// the same scanners, across lines as the scanners read them.
#include "namecodec/marker.h"
#include "testutil.h"

#include <tuple>

using namespace namecodec;
using namespace testutil;

namespace {

std::u16string wide(std::string_view utf8)
{
    return decodeText(utf8, Encoding::Utf8).value_or(std::u16string());
}

std::vector<std::u16string> linesOf(const std::u16string &text)
{
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos)
            end = text.size();
        std::u16string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The line with every Converted mark replaced by its note.
std::u16string applied(const std::u16string &line, const std::vector<NameMark> &marks)
{
    std::u16string out = line;
    for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
        if (it->kind == NameMarkKind::Converted)
            out.replace(
                static_cast<std::size_t>(it->column), static_cast<std::size_t>(it->length), wide(it->note));
    }
    return out;
}

TEST(NameMarker, ConvertedMarksRewriteEachLineExactlyAsTheConversionDoes)
{
    int convertedNames = 0;
    int leftHosts = 0;
    for (const char *name : {"hangul.zone", "named.conf", "named-comments.conf", "vhost.conf",
             "vhost-continued.conf", "nginx-main.conf", "nginx-server-names.conf", "rules.zone",
             "rules-vhost.conf", "rules-nginx.conf"}) {
        SCOPED_TRACE(name);
        const std::string bytes = readFile(dataFile(name));
        const bool utf8 = isValidUtf8(bytes);
        const Encoding encoding = utf8 ? Encoding::Utf8 : Encoding::Cp949;
        const FileKind kind = detectFileKind(bytes);
        ConvertOptions options;
        options.from = encoding;
        options.to = Encoding::Punycode;
        options.kind = kind;
        ConvertReport report;
        const std::string converted = convertText(bytes, options, report);
        ASSERT_TRUE(report.ok());
        const std::vector<std::u16string> before = linesOf(*decodeText(bytes, encoding));
        const std::vector<std::u16string> after
            = linesOf(*decodeText(converted, utf8 ? Encoding::Utf8 : Encoding::Cp949));
        ASSERT_EQ(before.size(), after.size());

        NameMarker marker(kind);
        NameMarker back(kind);
        // Hosts left inside rules: line, column (from 1), ACE form, as the
        // conversion reports them.
        std::vector<std::tuple<int, int, std::string>> leftMarked, leftReported;
        for (const ConvertWarning &warning : report.warnings)
            leftReported.emplace_back(warning.line, warning.column, warning.ace);
        for (std::size_t i = 0; i < before.size(); ++i) {
            const std::vector<NameMark> marks = marker.markLine(before[i]);
            for (const NameMark &mark : marks) {
                ASSERT_NE(mark.kind, NameMarkKind::Refused) << i + 1 << ": " << mark.note;
                if (mark.kind == NameMarkKind::LeftInRule)
                    leftMarked.emplace_back(static_cast<int>(i) + 1, mark.column + 1, mark.note);
                else
                    ++convertedNames;
            }
            EXPECT_TRUE(applied(before[i], marks) == after[i]) << "line " << i + 1;
            // On the converted text, a line holds xn-- marks exactly where
            // the conversion had work to do.
            std::vector<NameMark> aces = back.markLine(after[i]);
            std::erase_if(aces, [](const NameMark &m) { return m.kind == NameMarkKind::LeftInRule; });
            EXPECT_EQ(aces.empty(), before[i] == after[i]) << "line " << i + 1;
            for (const NameMark &ace : aces) {
                EXPECT_EQ(ace.kind, NameMarkKind::Ace);
                EXPECT_TRUE(after[i].substr(static_cast<std::size_t>(ace.column), 4) == u"xn--");
            }
        }
        EXPECT_EQ(leftMarked, leftReported);
        leftHosts += static_cast<int>(leftMarked.size());
    }
    EXPECT_GT(convertedNames, 50);
    EXPECT_GT(leftHosts, 10);
}

TEST(NameMarker, MarksCarryTheAceFormTheHangulFormOrTheReasonAtTheirColumns)
{
    NameMarker zone(FileKind::Zone);
    const std::string ace = toAscii("예제.한국.", Encoding::Utf8).value_or("");
    ASSERT_EQ(ace.size(), 25u);
    std::vector<NameMark> marks = zone.markLine(wide("www.예제.한국.\tIN\tCNAME\t" + ace));
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0].kind, NameMarkKind::Converted);
    EXPECT_EQ(marks[0].column, 0);
    EXPECT_EQ(marks[0].length, 10);
    EXPECT_EQ(marks[0].note, "www." + ace);
    // Each xn-- label of the target, with the whole name in Hangul.
    EXPECT_EQ(marks[1].kind, NameMarkKind::Ace);
    EXPECT_EQ(marks[1].column, 20);
    EXPECT_EQ(marks[1].length, 11);
    EXPECT_EQ(marks[1].note, "예제.한국.");
    EXPECT_EQ(marks[2].column, 32);
    EXPECT_EQ(marks[2].length, 12);

    // A label of more than 63 bytes once in ACE form is refused, with the reason.
    const std::string longLabel = "가나다라마바사아자차카타파하가나다라마바사아자차카타";
    marks = zone.markLine(wide(longLabel + ".한국.\tIN\tA\t192.0.2.1"));
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].kind, NameMarkKind::Refused);
    EXPECT_EQ(marks[0].column, 0);
    EXPECT_FALSE(marks[0].note.empty());
    EXPECT_TRUE(decodeText(marks[0].note, Encoding::Utf8).has_value());

    // Columns count UTF-16 units: a character outside the BMP is two.
    NameMarker general(FileKind::General);
    marks = general.markLine(wide("😀 메일.예제.한국 — " + ace));
    ASSERT_GE(marks.size(), 1u);
    EXPECT_EQ(marks[0].column, 3);
    EXPECT_EQ(marks[0].kind, NameMarkKind::Converted);
}

TEST(NameMarker, ACopyGoesOnFromTheLinesItsOriginalHasRead)
{
    // Inside a block comment a named.conf name is no name to convert; a
    // copy made inside the comment knows it, a new marker does not.
    NameMarker marker(FileKind::NamedConf);
    const std::u16string zoneLine = wide("zone \"예제.한국\" {");
    EXPECT_EQ(NameMarker(FileKind::NamedConf).markLine(zoneLine).size(), 1u);
    EXPECT_TRUE(marker.markLine(u"/* the old zones:").empty());
    NameMarker copy = marker;
    EXPECT_TRUE(copy.markLine(zoneLine).empty());
    EXPECT_TRUE(copy.markLine(u"*/").empty());
    EXPECT_EQ(copy.markLine(zoneLine).size(), 1u);
    // The original was not moved by its copy.
    EXPECT_TRUE(marker.markLine(zoneLine).empty());
}

} // namespace
