// The install phase: a package left by an earlier run is unpacked and its
// script carried out by the real program.
#include "pellwickfixture.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>

namespace {

class InstallTest : public PellwickTest {
protected:
    // Runs the install phase on a package; true when it reported success,
    // which is when the package file is gone. Either way the settings must
    // say so: the new version only once its files are in place, and a
    // failure leaves the package waiting for the next start.
    bool install(const QByteArray &package)
    {
        stageForInstall(package);
        removeSetting("InstallTries");
        const QVariant versionBefore = setting("Version");
        const int status = runPellwick();
        const bool installed = !exists(installPath(QStringLiteral("autoupcab.tmp")));
        EXPECT_EQ(status, installed ? 0 : 1);
        EXPECT_EQ(setting("IsUpdate").toInt(), installed ? 0 : 1);
        if (installed)
            EXPECT_EQ(setting("Version").toUInt(), 200u);
        else
            EXPECT_EQ(setting("Version"), versionBefore) << "a failed install recorded its version";
        EXPECT_FALSE(exists(installPath(QStringLiteral("pellwick.journal"))));
        return installed;
    }
    bool install(const QByteArray &script, const QByteArray &data)
    {
        return install(packageOf(script, data));
    }

    // A package around an arbitrary payload, with the header fields given.
    static QByteArray rawPackage(const QByteArray &body, quint32 payloadSize)
    {
        QByteArray header(8, '\0');
        for (int i = 0; i < 4; ++i) {
            header[i] = char((quint32(body.size()) >> (8 * i)) & 0xff);
            header[4 + i] = char((payloadSize >> (8 * i)) & 0xff);
        }
        return header + body;
    }
    static QByteArray zlibStream(const QByteArray &payload) { return qCompress(payload).mid(4); }
    static QByteArray payloadOf(const QByteArray &script, const QByteArray &data, quint32 scriptLength)
    {
        QByteArray payload("QPKG\0\0\0\0", 8);
        for (int i = 0; i < 4; ++i)
            payload.append(char((scriptLength >> (8 * i)) & 0xff));
        return payload + script + data;
    }

    QStringList entries(const QString &dir) const
    {
        return QDir(installPath(dir))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
};

TEST_F(InstallTest, ScriptEndDecidesSuccess)
{
    struct Case {
        QByteArray script;
        bool succeeds;
    };
    const Case cases[] = {
        {"en", true},
        {"en\n", false}, // a line feed after the end marker
        {"md ae:\\d\nen", true},
        {"md ae:\\d\nen\n", false},
        {"md ae:\\d\nem", false},
        {"md ae:\\d", false}, // no end marker at all
        {"e", false}, // shorter than the marker
        {"", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.script.toStdString());
        EXPECT_EQ(install(c.script, {}), c.succeeds);
    }
}

TEST_F(InstallTest, FilesLandInTheThreeBasesInScriptOrder)
{
    ASSERT_TRUE(install("md ae:\\sub\nwrite ae:\\sub\\a.txt 5\nwrite id:\\b.dll 3\nwrite wd:\\c.so 0\nen",
        "12345"
        "678"));
    EXPECT_EQ(readFile(installPath(QStringLiteral("sub/a.txt"))), "12345");
    EXPECT_EQ(readFile(installPath(QStringLiteral("lib/idn/b.dll"))), "678");
    EXPECT_TRUE(exists(installPath(QStringLiteral("lib/c.so"))));
    EXPECT_EQ(readFile(installPath(QStringLiteral("lib/c.so"))), "");
}

TEST_F(InstallTest, DirectoryCommandsAndDeletionsRunBeforeAnyWrite)
{
    writeFile(installPath(QStringLiteral("old.txt")), "previous");
    ASSERT_TRUE(install("write ae:\\late\\f.txt 3\nwrite ae:\\old.txt 3\nmd ae:\\late\ndel ae:\\old.txt\nen",
        "abc"
        "new"));
    EXPECT_EQ(readFile(installPath(QStringLiteral("late/f.txt"))), "abc");
    EXPECT_EQ(readFile(installPath(QStringLiteral("old.txt"))), "new");
}

TEST_F(InstallTest, NinetyNineWritesInstallAndTheHundredthFailsTheInstallation)
{
    auto script = [](int writes) {
        QByteArray text = "md ae:\\before\n";
        for (int i = 0; i < writes; ++i)
            text += "write ae:\\f" + QByteArray::number(i) + " 1\n";
        return text + "md ae:\\after\nen";
    };
    ASSERT_TRUE(install(script(99), QByteArray(99, 'x')));
    EXPECT_TRUE(exists(installPath(QStringLiteral("f98"))));
    EXPECT_TRUE(exists(installPath(QStringLiteral("after"))));

    QDir(installPath(QString())).removeRecursively();
    QDir().mkpath(installPath(QStringLiteral("lib/idn")));
    EXPECT_FALSE(install(script(100), QByteArray(100, 'x')));
    EXPECT_FALSE(exists(installPath(QStringLiteral("before"))))
        << "a command ran before the script was checked";
    EXPECT_FALSE(exists(installPath(QStringLiteral("after"))));
    EXPECT_FALSE(exists(installPath(QStringLiteral("f0"))));
    EXPECT_TRUE(logText().contains(QStringLiteral("100개 이상"))) << logText().toStdString();
}

// A script is read to its end before its first command runs: one that does
// not end cleanly deletes, removes and makes nothing.
TEST_F(InstallTest, NothingRunsUntilTheWholeScriptIsChecked)
{
    const QByteArray commands = "del ae:\\keep.txt\nrd ae:\\empty\nmd ae:\\made\nwrite ae:\\new.txt 3\n";
    const QByteArray endings[] = {"", "en\n", "\nen", "em"};
    for (const QByteArray &ending : endings) {
        SCOPED_TRACE(ending.toStdString());
        writeFile(installPath(QStringLiteral("keep.txt")), "keep");
        QDir().mkpath(installPath(QStringLiteral("empty")));
        EXPECT_FALSE(install(commands + ending, "abc"));
        EXPECT_EQ(readFile(installPath(QStringLiteral("keep.txt"))), "keep");
        EXPECT_TRUE(exists(installPath(QStringLiteral("empty"))));
        EXPECT_FALSE(exists(installPath(QStringLiteral("made"))));
        EXPECT_FALSE(exists(installPath(QStringLiteral("new.txt"))));
        EXPECT_TRUE(logText().contains(QStringLiteral("\"en\"으로 끝나지 않습니다")))
            << logText().toStdString();
    }
}

TEST_F(InstallTest, BlankLineHidesTheNextCommandAndNothingRuns)
{
    writeFile(installPath(QStringLiteral("gone.txt")), "x");
    EXPECT_FALSE(install("del ae:\\gone.txt\n\nmd ae:\\made\nen", {}));
    EXPECT_TRUE(exists(installPath(QStringLiteral("gone.txt"))));
    EXPECT_FALSE(exists(installPath(QStringLiteral("made"))));
}

TEST_F(InstallTest, RemoveDirectoryArgumentRunsToTheEndOfTheLine)
{
    QDir().mkpath(installPath(QStringLiteral("lib/old dir")));
    QDir().mkpath(installPath(QStringLiteral("lib/full")));
    writeFile(installPath(QStringLiteral("lib/full/x")), "x");
    EXPECT_TRUE(install("rd wd:\\old dir\nrd wd:\\full\ndel wd:\\missing\nmd ae:\\lib\nen", {}));
    EXPECT_FALSE(exists(installPath(QStringLiteral("lib/old dir"))));
    EXPECT_TRUE(exists(installPath(QStringLiteral("lib/full/x")))) << "a directory that is not empty stays";
}

TEST_F(InstallTest, WriteThatCannotBeCreatedChangesNothing)
{
    writeFile(installPath(QStringLiteral("gone.txt")), "x");
    QDir().mkpath(installPath(QStringLiteral("three.txt"))); // a folder where a file should go
    const QByteArray cases[] = {
        "del ae:\\gone.txt\nwrite ae:\\one.txt 3\nwrite ae:\\nodir\\two.txt 3\nwrite ae:\\x 1\nen",
        "del ae:\\gone.txt\nwrite ae:\\one.txt 3\nwrite ae:\\two.txt 3\nwrite ae:\\three.txt 1\nen",
    };
    for (const QByteArray &script : cases) {
        SCOPED_TRACE(script.toStdString());
        EXPECT_FALSE(install(script,
            "abc"
            "def"
            "g"));
        EXPECT_TRUE(exists(installPath(QStringLiteral("gone.txt"))));
        EXPECT_FALSE(exists(installPath(QStringLiteral("one.txt"))));
        EXPECT_FALSE(exists(installPath(QStringLiteral("two.txt"))));
    }
    EXPECT_TRUE(logText().contains(QStringLiteral("쓸 폴더가 없습니다: ae:\\nodir\\two.txt")))
        << logText().toStdString();
    EXPECT_TRUE(logText().contains(QStringLiteral("같은 이름의 폴더"))) << logText().toStdString();
}

// Every location must stay below its base; a package naming one that does
// not is refused whole, before its first command.
TEST_F(InstallTest, LocationsOutsideTheirBaseAreRefusedBeforeAnythingRuns)
{
    const QByteArray scripts[] = {
        "del ae:\\..\\victim.txt\nen",
        "write ae:\\..\\victim.txt 3\nen",
        "write ae:\\sub\\..\\..\\victim.txt 3\nen",
        "md wd:\\..\\..\\escaped\nen",
        "rd id:\\..\\..\\..\\www\nen",
        "write ae:sibling.txt 3\nen",
        "del ae:..\\victim.txt\nen",
        "write id:\\x\\..\\..\\..\\..\\victim.txt 3\nen",
        // The updater's own files: overwriting the journal mid-install would leave nothing to roll back with.
        "write ae:\\pellwick.journal 3\nen",
        "del ae:\\pellwick.journal\nen",
        "write ae:\\autoupcab.tmp 3\nen",
        "del ae:\\pellwick.lock\nen",
        "write ae:\\pellwick.log 3\nen",
        "md ae:\\autoupcab.tmp.part\nen",
    };
    writeFile(path(QStringLiteral("victim.txt")), "mine");
    for (const QByteArray &bad : scripts) {
        SCOPED_TRACE(bad.toStdString());
        writeFile(installPath(QStringLiteral("keep.txt")), "keep");
        EXPECT_FALSE(install("del ae:\\keep.txt\nmd ae:\\made\n" + bad, "abc"));
        EXPECT_TRUE(exists(installPath(QStringLiteral("keep.txt"))));
        EXPECT_FALSE(exists(installPath(QStringLiteral("made"))));
        EXPECT_EQ(readFile(path(QStringLiteral("victim.txt"))), "mine");
        EXPECT_FALSE(exists(path(QStringLiteral("escaped"))));
        EXPECT_FALSE(exists(path(QStringLiteral("installsibling.txt"))));
        EXPECT_TRUE(exists(path(QStringLiteral("www"))));
    }
}

// A symbolic link inside the installation (planted as a folder, as a file,
// or in place of lib/idn) is never followed: the package that would pass
// through it is refused whole, and nothing outside changes.
TEST_F(InstallTest, SymbolicLinksInsideTheInstallationAreNeverFollowed)
{
    const QString outside = path(QStringLiteral("outside"));
    struct Case {
        const char *name;
        const char *link; // below the installation
        const char *target; // what the link points at, relative to the link
        QByteArray commands;
    };
    const Case cases[] = {
        {"folder", "samples", "../outside", "write ae:\\samples\\hangul.zone 3\n"},
        {"folder", "samples", "../outside", "del ae:\\samples\\victim.txt\n"},
        {"folder", "samples", "../outside", "md ae:\\samples\\made\n"},
        {"folder", "samples", "../outside", "rd ae:\\samples\\empty\n"},
        {"folder", "samples", "../outside", "md ae:\\samples\\made\nwrite ae:\\samples\\made\\x.zone 3\n"},
        {"file", "notes.txt", "../outside/victim.txt", "write ae:\\notes.txt 3\n"},
        {"file", "notes.txt", "../outside/victim.txt", "del ae:\\notes.txt\n"},
        {"lib/idn", "lib/idn", "../../outside", "write id:\\libnamecodec.so 3\n"},
        {"lib/idn", "lib/idn", "../../outside", "del id:\\victim.txt\n"},
        {"lib/idn", "lib/idn", "../../outside", "md id:\\made\n"},
        {"lib/idn", "lib/idn", "../../outside", "write wd:\\idn\\libnamecodec.so 3\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.commands.toStdString());
        QDir(outside).removeRecursively();
        writeFile(outside + QStringLiteral("/victim.txt"), "mine");
        QDir().mkpath(outside + QStringLiteral("/empty"));
        const QString link = installPath(QLatin1String(c.link));
        QDir(link).removeRecursively();
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(QLatin1String(c.target), link));
        writeFile(installPath(QStringLiteral("keep.txt")), "keep");

        EXPECT_FALSE(install("del ae:\\keep.txt\n" + c.commands + "en", "abc"));
        EXPECT_EQ(readFile(installPath(QStringLiteral("keep.txt"))), "keep") << "a command ran";
        EXPECT_EQ(QDir(outside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
            QStringList({QStringLiteral("empty"), QStringLiteral("victim.txt")}));
        EXPECT_EQ(readFile(outside + QStringLiteral("/victim.txt")), "mine");
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_TRUE(logText().contains(QStringLiteral("심볼릭 링크는 따라가지 않습니다")))
            << logText().toStdString();
        QFile::remove(link);
    }
}

// The program's own files are not written through links either.
TEST_F(InstallTest, LinksPlantedAsTheLogOrThePackageAreNotWrittenThrough)
{
    writeFile(path(QStringLiteral("outside/log")), "mine");
    ASSERT_TRUE(QFile::link(QStringLiteral("../outside/log"), installPath(QStringLiteral("pellwick.log"))));
    ASSERT_TRUE(install("write ae:\\a.txt 1\nen", "a"));
    EXPECT_EQ(readFile(path(QStringLiteral("outside/log"))), "mine");

    // A package file that is a link is not read.
    writeFile(path(QStringLiteral("outside/package")), packageOf("write ae:\\b.txt 1\nen", "b"));
    QFile::remove(installPath(QStringLiteral("autoupcab.tmp")));
    ASSERT_TRUE(
        QFile::link(QStringLiteral("../outside/package"), installPath(QStringLiteral("autoupcab.tmp"))));
    setSetting("IsUpdate", 1);
    EXPECT_EQ(runPellwick(), 1);
    EXPECT_FALSE(exists(installPath(QStringLiteral("b.txt"))));
}

TEST_F(InstallTest, MalformedPackagesChangeNothing)
{
    const QByteArray script = "del ae:\\keep.txt\nwrite ae:\\a.txt 3\nen";
    const QByteArray payload = payloadOf(script, "abc", quint32(script.size()));
    const QByteArray body = zlibStream(payload);
    const QByteArray longScript = "del ae:\\keep.txt\n" + QByteArray(4096 - 20, 'x') + "\nen";
    struct Case {
        const char *name;
        QByteArray package;
    };
    const Case cases[] = {
        {"payload larger than announced", rawPackage(body, quint32(payload.size() - 1))},
        {"payload smaller than announced", rawPackage(body, quint32(payload.size() + 1))},
        {"bytes after the zlib stream", rawPackage(body + "junk", quint32(payload.size()))},
        {"zlib stream cut short", rawPackage(body.chopped(3), quint32(payload.size()))},
        {"not zlib at all", rawPackage("this is not deflate data", 100)},
        {"huge announced payload", rawPackage(body, 0xfffffff0u)},
        {"header only", QByteArray(8, '\0')},
        {"script length 4096",
            [&] {
                const QByteArray p = payloadOf(longScript, {}, quint32(longScript.size()));
                return rawPackage(zlibStream(p), quint32(p.size()));
            }()},
        {"script length past the payload",
            [&] {
                const QByteArray p = payloadOf(script, "abc", 400);
                return rawPackage(zlibStream(p), quint32(p.size()));
            }()},
        {"negative size", packageOf("del ae:\\keep.txt\nwrite ae:\\a.txt -3\nen", "abc")},
        {"sizes past the data",
            packageOf("del ae:\\keep.txt\nwrite ae:\\a.txt 3\nwrite ae:\\b.txt 5\nen", "abcdefg")},
        {"NUL inside the script", packageOf(QByteArray("del ae:\\keep.txt\nmd ae:\\x\0y\nen", 31), {})},
    };
    ASSERT_EQ(longScript.size(), 4096);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(installPath(QStringLiteral("keep.txt")), "keep");
        EXPECT_FALSE(install(c.package));
        EXPECT_TRUE(exists(installPath(QStringLiteral("keep.txt"))));
        EXPECT_FALSE(exists(installPath(QStringLiteral("a.txt"))));
    }
    // The same script in a sound package does run: the cases above failed for their fault alone.
    EXPECT_TRUE(install(rawPackage(body, quint32(payload.size()))));
    EXPECT_EQ(readFile(installPath(QStringLiteral("a.txt"))), "abc");
}

// A write that fails midway (here a file size limit, as a full disk would)
// after two of four files were written: every old file stays, the package
// waits, and the next start installs it.
TEST_F(InstallTest, WriteThatFailsHalfwayLeavesEveryOldFileWhole)
{
    const QStringList names = {QStringLiteral("a.txt"), QStringLiteral("b.txt"),
        QStringLiteral("program.bin"), QStringLiteral("d.txt")};
    for (const QString &name : names)
        writeFile(installPath(name), "old " + name.toUtf8());
    QByteArray big(3 * 1024 * 1024, '\0');
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(big.data()), big.size() / 4);
    const QByteArray script = "write ae:\\a.txt 5\nwrite ae:\\b.txt 5\nwrite ae:\\program.bin "
        + QByteArray::number(big.size()) + "\nwrite ae:\\d.txt 5\nen";
    stageForInstall(packageOf(script,
        "new a"
        "new b"
            + big + "new d"));

    // About 1 MB may be written per file.
    ASSERT_EQ(runPellwick(kToday, {}, QStringLiteral("trap '' XFSZ; ulimit -f 2000;")), 1);
    EXPECT_EQ(setting("IsUpdate").toInt(), 1);
    EXPECT_FALSE(setting("Version").isValid());
    for (const QString &name : names)
        EXPECT_EQ(readFile(installPath(name)), "old " + name.toUtf8()) << name.toStdString();
    EXPECT_EQ(entries(QString()),
        QStringList({QStringLiteral("a.txt"), QStringLiteral("autoupcab.tmp"), QStringLiteral("b.txt"),
            QStringLiteral("d.txt"), QStringLiteral("lib"), QStringLiteral("pellwick.log"),
            QStringLiteral("program.bin")}));
    EXPECT_TRUE(logText().contains(
        QStringLiteral("파일을 쓸 수 없습니다: ae:\\program.bin (파일 크기 제한을 넘었습니다)")))
        << logText().toStdString();

    // Without the limit the next start installs the same package.
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(readFile(installPath(QStringLiteral("a.txt"))), "new a");
    EXPECT_EQ(readFile(installPath(QStringLiteral("program.bin"))), big);
    EXPECT_EQ(readFile(installPath(QStringLiteral("d.txt"))), "new d");
    EXPECT_EQ(setting("Version").toUInt(), 200u);
    EXPECT_EQ(setting("IsUpdate").toInt(), 0);
}

TEST_F(InstallTest, ReplacedFileKeepsItsPermissions)
{
    writeFile(installPath(QStringLiteral("tool")), "old");
    QFile::setPermissions(installPath(QStringLiteral("tool")),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    ASSERT_TRUE(install("write ae:\\tool 3\nen", "new"));
    EXPECT_EQ(readFile(installPath(QStringLiteral("tool"))), "new");
    EXPECT_TRUE(QFile::permissions(installPath(QStringLiteral("tool"))) & QFile::ExeOwner);
}

TEST_F(InstallTest, SecondPellwickWhileOneRunsEndsAtOnce)
{
    stageForInstall(packageOf("md ae:\\done\nen"));
    const QString lockPath = installPath(QStringLiteral("pellwick.lock"));
    QByteArray lockText;
    {
        QLockFile running(lockPath);
        ASSERT_TRUE(running.tryLock(0));
        lockText = readFile(lockPath);
        ASSERT_EQ(runPellwick(), 0);
        EXPECT_EQ(setting("IsUpdate").toInt(), 1);
        EXPECT_FALSE(setting("Version").isValid());
        EXPECT_FALSE(exists(installPath(QStringLiteral("done"))));
    }

    // A lock left by a run that died does not block the next one.
    QProcess gone;
    gone.start(QStringLiteral("/bin/sleep"), {QStringLiteral("0.05")});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    lockText = QByteArray::number(deadPid) + lockText.mid(lockText.indexOf('\n'));
    writeFile(lockPath, lockText);
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(setting("IsUpdate").toInt(), 0);
    EXPECT_TRUE(exists(installPath(QStringLiteral("done"))));
}

} // namespace
