// The text rules of the version file and the package script, in process.
#include <limits>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "updater/packagescript.h"
#include "updater/updatescript.h"
#include "updater/versioninfo.h"

namespace {

using namespace pellwick;

TEST(DecimalRule, ConvertsLikeTheClassicConversion)
{
    const std::pair<const char *, std::int32_t> cases[] = {
        {"130", 130},
        {"  \t-1", -1},
        {"+5x", 5},
        {"abc", 0},
        {"", 0},
        {"4 2", 4},
        {"- 3", 0},
        {"007", 7},
        {"99999999999", std::numeric_limits<std::int32_t>::max()},
        {"-99999999999", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto &[text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(toDecimal(text), value);
    }
}

TEST(VersionLine, SplitsAtTheFirstTwoSpaces)
{
    struct Case {
        const char *line;
        std::uint32_t version;
        std::int32_t delay;
        const char *url;
    };
    const Case cases[] = {
        {"130 86400 http://u/p.pak   ", 130, 86400, "http://u/p.pak"},
        {"130 86400 \t http://u/p.pak\r", 130, 86400, "http://u/p.pak"},
        {"130", 0, 0, ""}, // no space: every field is empty
        {"130 86400", 130, 86400, ""},
        {"-1 60 u", 4294967295u, 60, "u"},
        {"130  86400 u", 130, 0, "86400 u"}, // two spaces: an empty interval
        {" 130 5 u", 0, 130, "5 u"},
        {"abc def ghi", 0, 0, "ghi"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const VersionLine parsed = parseVersionLine(c.line);
        EXPECT_EQ(parsed.version, c.version);
        EXPECT_EQ(parsed.delay, c.delay);
        EXPECT_EQ(parsed.packageUrl, c.url);
    }
}

TEST(ScriptScanner, ReadsCommandsAsThePackageFormatDefines)
{
    {
        const ScriptPlan plan = scanScript("rd wd:\\old dir\nwrite ae:\\a 5 ignored\nmd id:\\x\nen");
        ASSERT_EQ(plan.end, ScriptEnd::EndMarker);
        ASSERT_EQ(plan.ops.size(), 3u);
        EXPECT_EQ(plan.ops[0].kind, ScriptOpKind::RemoveDir);
        EXPECT_EQ(plan.ops[0].where.path, "/old dir");
        EXPECT_EQ(plan.ops[1].where.base, ScriptBase::Current);
        EXPECT_EQ(plan.ops[1].size, 5);
        EXPECT_EQ(plan.ops[2].where.base, ScriptBase::Idn);
    }
    {
        // An unknown prefix on a write turns the rest of its line into words.
        const ScriptPlan plan = scanScript("write xx:\\a 3\nen");
        EXPECT_TRUE(plan.ops.empty());
        EXPECT_EQ(plan.end, ScriptEnd::NoEndMarker);
    }
    {
        // Unknown prefixes on the other commands run (and fail) harmlessly.
        const ScriptPlan plan = scanScript("del xx:\\a\nen");
        ASSERT_EQ(plan.ops.size(), 1u);
        EXPECT_EQ(plan.ops[0].where.base, ScriptBase::Unknown);
        EXPECT_EQ(plan.end, ScriptEnd::EndMarker);
    }
    EXPECT_EQ(scanScript("del").end, ScriptEnd::NoEndMarker);
    EXPECT_EQ(scanScript("x").end, ScriptEnd::Malformed);
    EXPECT_EQ(scanScript(std::string_view("md\0en", 5)).end, ScriptEnd::Malformed);
    EXPECT_EQ(scanScript(std::string(4096, 'x')).end, ScriptEnd::Malformed);
}

TEST(ScriptScanner, LocationsMustStayBelowTheirBase)
{
    const std::pair<const char *, bool> cases[] = {
        {"ae:\\sub\\a.txt", true}, {"ae:", true}, {"ae:\\", true}, {"id:\\.\\x", true}, {"wd:\\a..b", true},
        {"ae:\\..", false}, {"ae:\\sub\\..\\..\\x", false}, {"ae:x", false}, {"wd:..\\x", false},
        {"ae:C:\\Windows\\x.dll", false}, // a drive-letter path would name a sibling of the base
        {"id:\\a/../../b", false}, {"xx:\\..\\x", true}, // unknown prefix: touches nothing
    };
    for (const auto &[location, inside] : cases) {
        SCOPED_TRACE(location);
        EXPECT_EQ(staysInsideBase(resolveScriptLocation(location)), inside);
    }
}

// The pack tool turns an author's script into a package's: sizes filled in
// from the staged files, "en" added, and every fault named with its line.
TEST(PackScript, SizesFilledInAndEveryFaultNamesItsLine)
{
    QTemporaryDir stage;
    ASSERT_TRUE(stage.isValid());
    const std::string dir = stage.path().toStdString();
    ASSERT_TRUE(QDir(stage.path()).mkpath(QStringLiteral("ae")));
    ASSERT_TRUE(QDir(stage.path()).mkpath(QStringLiteral("id")));
    for (const auto &[name, data] :
        {std::pair {"ae/notes.txt", "new notes"}, std::pair {"id/libnamecodec.so", "codec"}}) {
        QFile file(stage.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    const PreparedScript good
        = prepareScript("write ae:\\notes.txt\r\nmd wd:\\x\r\nwrite id:\\libnamecodec.so\r\n\r\n", dir);
    EXPECT_EQ(good.error, "");
    EXPECT_EQ(good.script, "write ae:\\notes.txt 9\nmd wd:\\x\nwrite id:\\libnamecodec.so 5\nen");
    EXPECT_EQ(good.fileData, "new notescodec");

    const std::pair<const char *, std::string> faults[] = {
        {"md ae:\\x\n\nmd ae:\\y", "2번째 줄: 빈 줄은 쓸 수 없습니다."},
        {"md ae:\\x\nwrite zz:\\a", "2번째 줄: 위치는 ae:, id:, wd: 중 하나로 시작해야 합니다."},
        {"md ae:\\x\nmd ae:\\y\ndel zz:\\a", "3번째 줄: 위치는 ae:, id:, wd: 중 하나로 시작해야 합니다."},
        {"write ae:\\..\\x", "1번째 줄: 경로는 \\로 시작하고 ..를 포함하지 않아야 합니다: ae:\\..\\x"},
        {"write ae:\\notes.txt\nwrite ae:\\missing.txt",
            "2번째 줄: 파일을 읽을 수 없습니다: " + dir + "/ae/missing.txt"},
        {"md ae:\\x\nrun ae:\\x", "2번째 줄: 명령은 del, rd, md, write 중 하나여야 합니다."},
        // Faults of the whole script name the resolved path, not a line.
        {"del ae:\\..\\x", "경로는 \\로 시작하고 ..를 포함하지 않아야 합니다: /../x"},
        {"del ae:\\pellwick.lock",
            "업데이트 프로그램의 파일은 패키지가 건드릴 수 없습니다: ae:/pellwick.lock"},
    };
    for (const auto &[source, error] : faults) {
        SCOPED_TRACE(source);
        const PreparedScript prepared = prepareScript(source, dir);
        EXPECT_EQ(prepared.error, error);
        EXPECT_EQ(prepared.script, "");
        EXPECT_EQ(prepared.fileData, "");
    }
}

} // namespace
