// The real installation: scripts/install into a temporary home and folder,
// the installed programs started from there, scripts/uninstall; and the
// Debian package scripts/package builds, unpacked into a temporary root.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

const QString kSource = QStringLiteral(QUOREL_SOURCE_DIR);
const QString kBuild = QDir(QStringLiteral(QUOREL_BIN_DIR "/..")).absolutePath();

struct Outcome {
    int status = -1;
    QString out;
};

Outcome run(
    const QString &program, const QStringList &args, const QProcessEnvironment &env, int timeoutMs = 240000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Outcome r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.out = QStringLiteral("timed out: ") + QString::fromUtf8(p.readAll());
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAll());
    return r;
}

// Every path below `root`, relative to it, sorted.
QStringList tree(const QString &root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << QDir(root).relativeFilePath(it.next());
    paths.sort();
    return paths;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && f.open(mode) && f.write(bytes) == bytes.size();
}

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        home = tmp.filePath(QStringLiteral("home"));
        etc = tmp.filePath(QStringLiteral("etc"));
        ASSERT_TRUE(QDir().mkpath(home) && QDir().mkpath(etc));
        ASSERT_TRUE(QDir().mkpath(tmp.filePath(QStringLiteral("runtime"))));
        // A clean session: no display (so Corvale is not run), a home and a
        // machine-wide folder of the test's own.
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("QUOREL_SYSTEM_CONFIG_DIR"), etc);
        env.insert(QStringLiteral("QUOREL_BUILD_DIR"), kBuild);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), tmp.filePath(QStringLiteral("cache")));
        for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
            if (qEnvironmentVariableIsSet(name))
                env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
        }
    }

    Outcome script(const char *name, const QStringList &args)
    {
        return run(kSource + QStringLiteral("/scripts/") + QString::fromLatin1(name), args, env);
    }

    QTemporaryDir tmp;
    QString home;
    QString etc;
    QProcessEnvironment env;
};

TEST_F(InstallTest, InstallsRunsAndUninstallsLeavingNothingBehind)
{
    // A folder with a space and Hangul, as a user may choose.
    const QString dir = tmp.filePath(QStringLiteral("프로그램 폴더/Quorel"));
    const QString data = home + QStringLiteral("/.local/share");
    const QString config = home + QStringLiteral("/.config");
    // Something of the user's own beside what the installation writes.
    ASSERT_TRUE(QDir().mkpath(data + QStringLiteral("/applications")));
    QFile own(data + QStringLiteral("/applications/other.desktop"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("[Desktop Entry]\nType=Application\nName=Other\nExec=true\n");
    own.close();

    Outcome first = script("install", {dir});
    ASSERT_EQ(first.status, 0) << first.out.toStdString();
    const QStringList installed = tree(tmp.path());
    // Installing again changes nothing and says so without complaint.
    Outcome second = script("install", {dir});
    ASSERT_EQ(second.status, 0) << second.out.toStdString();
    EXPECT_EQ(tree(tmp.path()), installed);

    // Every file of the installation folder.
    QStringList expected {QStringLiteral("Corvale"), QStringLiteral("Pellwick"), QStringLiteral("Quorel"),
        QStringLiteral("lib"), QStringLiteral("lib/idn"), QStringLiteral("lib/idn/libnamecodec.so.1"),
        QStringLiteral("lib/idn/libnamecodec.so.1.0.0"), QStringLiteral("lib/quorel-install.manifest"),
        QStringLiteral("lib/quorel-profile"), QStringLiteral("namecodec"), QStringLiteral("readme.txt"),
        QStringLiteral("samples"), QStringLiteral("samples/named.conf"),
        QStringLiteral("samples/sample-reverse.zone"), QStringLiteral("samples/sample.zone"),
        QStringLiteral("samples/vhost.conf"), QStringLiteral("temp"), QStringLiteral("updateinfo.rtf")};
    expected.sort();
    EXPECT_EQ(tree(dir), expected);
    for (const char *program : {"Quorel", "Pellwick", "Corvale", "namecodec"})
        EXPECT_TRUE(QFileInfo(dir + u'/' + QString::fromLatin1(program)).isExecutable()) << program;
    EXPECT_EQ(readAll(dir + QStringLiteral("/samples/sample.zone")),
        readAll(kSource + QStringLiteral("/resources/samples/sample.zone")));
    EXPECT_EQ(readAll(dir + QStringLiteral("/updateinfo.rtf")),
        readAll(kSource + QStringLiteral("/resources/install/updateinfo.rtf")));
    EXPECT_TRUE(readAll(dir + QStringLiteral("/readme.txt")).contains("scripts/uninstall"));

    // The profiles and the machine-wide values.
    QSettings quorel(config + QStringLiteral("/VANTO/Quorel.conf"), QSettings::IniFormat);
    EXPECT_EQ(quorel.value(QStringLiteral("EnvOption/ProPathName")).toString(), dir);
    QSettings pellwick(config + QStringLiteral("/VANTO/Pellwick.conf"), QSettings::IniFormat);
    EXPECT_EQ(pellwick.value(QStringLiteral("AutoUpdateInfo/ProPathName")).toString(), dir);
    QSettings machine(etc + QStringLiteral("/VANTO/idn.conf"), QSettings::IniFormat);
    EXPECT_EQ(machine.value(QStringLiteral("SampleZonePath")).toString(),
        dir + QStringLiteral("/samples/sample.zone"));
    EXPECT_EQ(machine.value(QStringLiteral("SampleReverseZonePath")).toString(),
        dir + QStringLiteral("/samples/sample-reverse.zone"));
    EXPECT_EQ(machine.value(QStringLiteral("SampleNamedconfPath")).toString(),
        dir + QStringLiteral("/samples/named.conf"));
    EXPECT_EQ(machine.value(QStringLiteral("SampleVirtualHostConfPath")).toString(),
        dir + QStringLiteral("/samples/vhost.conf"));

    // Desktop entry, autostart, icon and file types, valid and pointing here.
    const QString entry = data + QStringLiteral("/applications/quorel.desktop");
    const QString autostart = config + QStringLiteral("/autostart/pellwick.desktop");
    Outcome valid = run(QStringLiteral("desktop-file-validate"), {entry, autostart}, env);
    EXPECT_EQ(valid.status, 0) << valid.out.toStdString();
    EXPECT_TRUE(readAll(entry).contains("Exec=\"" + dir.toUtf8() + "/Quorel\" %f"));
    EXPECT_TRUE(readAll(autostart).contains("Exec=\"" + dir.toUtf8() + "/Pellwick\""));
    EXPECT_TRUE(QFile::exists(data + QStringLiteral("/icons/hicolor/48x48/apps/quorel.png")));
    const QByteArray globs = readAll(data + QStringLiteral("/mime/globs2"));
    EXPECT_TRUE(globs.contains("application/x-quorel-zone:*.zone")) << globs.constData();
    EXPECT_TRUE(globs.contains("application/x-quorel-conf:*.conf")) << globs.constData();
    EXPECT_TRUE(readAll(data + QStringLiteral("/applications/mimeinfo.cache"))
                    .contains("application/x-quorel-zone=quorel.desktop"));

    // The installed tool finds the installed library, not the build's.
    QProcessEnvironment bare = env;
    bare.remove(QStringLiteral("LD_LIBRARY_PATH"));
    Outcome tool = run(
        dir + QStringLiteral("/namecodec"), {QStringLiteral("to-ascii"), QStringLiteral("한국.kr")}, bare);
    EXPECT_EQ(tool.status, 0) << tool.out.toStdString();
    EXPECT_EQ(tool.out.trimmed(), QStringLiteral("xn--3e0b707e.kr"));

    // The installed Quorel, offscreen, on an installed sample: it reads the
    // installed profile (the sample joins its recent files there) and maps
    // the installed libnamecodec.
    {
        QProcessEnvironment gui = bare;
        gui.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        gui.insert(QStringLiteral("QUOREL_INSTANCE"),
            QStringLiteral("install-test-%1").arg(QCoreApplication::applicationPid()));
        QProcess editor;
        editor.setProcessEnvironment(gui);
        editor.setProcessChannelMode(QProcess::MergedChannels);
        const QString sample = dir + QStringLiteral("/samples/sample.zone");
        editor.start(dir + QStringLiteral("/Quorel"), {sample});
        ASSERT_TRUE(editor.waitForStarted(10000));
        QString recent;
        for (int i = 0; i < 300 && recent.isEmpty(); ++i) {
            QThread::msleep(100);
            QSettings profile(config + QStringLiteral("/VANTO/Quorel.conf"), QSettings::IniFormat);
            recent = profile.value(QStringLiteral("Recent File List/File1")).toString();
        }
        EXPECT_EQ(recent, sample);
        const QByteArray maps = readAll(QStringLiteral("/proc/%1/maps").arg(editor.processId()));
        EXPECT_TRUE(maps.contains((dir + QStringLiteral("/lib/idn/libnamecodec.so.1.0.0")).toUtf8()));
        EXPECT_EQ(editor.state(), QProcess::Running) << editor.readAll().constData();
        editor.terminate();
        editor.waitForFinished(10000);
    }

    // Uninstalling takes everything the installation put anywhere; the
    // user's own file stays, and so does Quorel's own profile (without the
    // installation folder in it).
    Outcome removed = script("uninstall", {dir});
    ASSERT_EQ(removed.status, 0) << removed.out.toStdString();
    QStringList left = tree(tmp.path());
    left.removeIf([](const QString &p) {
        return p.startsWith(QStringLiteral("runtime")) || p.startsWith(QStringLiteral("cache"));
    });
    const QStringList expectedLeft {QStringLiteral("etc"), QStringLiteral("home"),
        QStringLiteral("home/.config"), QStringLiteral("home/.config/VANTO"),
        QStringLiteral("home/.config/VANTO/Quorel.conf"), QStringLiteral("home/.local"),
        QStringLiteral("home/.local/share"), QStringLiteral("home/.local/share/applications"),
        QStringLiteral("home/.local/share/applications/other.desktop"),
        QStringLiteral("home/.local/share/applications/mimeinfo.cache")};
    QStringList sortedLeft = expectedLeft;
    sortedLeft.sort();
    EXPECT_EQ(left, sortedLeft);
    QSettings after(config + QStringLiteral("/VANTO/Quorel.conf"), QSettings::IniFormat);
    EXPECT_FALSE(after.contains(QStringLiteral("EnvOption/ProPathName")));
    EXPECT_FALSE(readAll(data + QStringLiteral("/applications/mimeinfo.cache")).contains("quorel"));

    // Once more from an empty home, with --purge: nothing at all is left.
    ASSERT_TRUE(QDir(home).removeRecursively() && QDir().mkpath(home));
    ASSERT_EQ(script("install", {dir}).status, 0);
    Outcome purged = script("uninstall", {QStringLiteral("--purge"), dir});
    ASSERT_EQ(purged.status, 0) << purged.out.toStdString();
    EXPECT_TRUE(tree(home).isEmpty()) << tree(home).join(u' ').toStdString();
    EXPECT_TRUE(tree(etc).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath(QStringLiteral("프로그램 폴더/Quorel"))));
}

TEST_F(InstallTest, RefusesFoldersThatAreNoInstallation)
{
    EXPECT_EQ(script("install", {QStringLiteral("/")}).status, 2);
    EXPECT_EQ(script("install", {home}).status, 2);
    QFile file(tmp.filePath(QStringLiteral("a-file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(script("install", {file.fileName()}).status, 2);
    // Installing over the build tree would rewrite the programs it runs.
    EXPECT_EQ(script("install", {kBuild + QStringLiteral("/bin")}).status, 2);
    // Uninstalling where nothing was installed removes nothing.
    const QString other = tmp.filePath(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(other + QStringLiteral("/lib")));
    EXPECT_EQ(script("uninstall", {other}).status, 1);
    EXPECT_TRUE(QFileInfo::exists(other + QStringLiteral("/lib")));
    EXPECT_TRUE(tree(home).isEmpty());
}

// The user's own folder and files, and a manifest anyone can edit: nothing
// the installation did not write, or that changed since, is replaced or
// removed, and each file kept is named.
TEST_F(InstallTest, LeavesTheUsersOwnFilesInTheFolderAlone)
{
    const QString dir = tmp.filePath(QStringLiteral("my folder"));
    const QString readme = dir + QStringLiteral("/readme.txt");
    const QString zone = dir + QStringLiteral("/samples/sample.zone");
    const QByteArray myReadme = "my own notes\n";
    const QByteArray myZone = "$ORIGIN example.kr.\n@ IN A 192.0.2.1\n";
    ASSERT_TRUE(writeFile(readme, myReadme) && writeFile(zone, myZone));

    Outcome refused = script("install", {dir});
    EXPECT_EQ(refused.status, 2) << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains(QStringLiteral("--force"))) << refused.out.toStdString();
    EXPECT_EQ(readAll(readme), myReadme);
    EXPECT_EQ(readAll(zone), myZone);
    EXPECT_EQ(tree(dir),
        QStringList({QStringLiteral("readme.txt"), QStringLiteral("samples"),
            QStringLiteral("samples/sample.zone")}));
    EXPECT_TRUE(tree(home).isEmpty()) << tree(home).join(u' ').toStdString();

    // Options in any order.
    Outcome forced = script("install", {dir, QStringLiteral("--force"), QStringLiteral("--no-finish")});
    ASSERT_EQ(forced.status, 0) << forced.out.toStdString();
    EXPECT_EQ(readAll(readme), myReadme);
    EXPECT_EQ(readAll(zone), myZone);
    EXPECT_TRUE(forced.out.contains(QStringLiteral("kept ") + readme)) << forced.out.toStdString();
    EXPECT_TRUE(forced.out.contains(QStringLiteral("kept ") + zone)) << forced.out.toStdString();
    EXPECT_TRUE(QFileInfo(dir + QStringLiteral("/Quorel")).isExecutable());
    EXPECT_EQ(readAll(dir + QStringLiteral("/samples/named.conf")),
        readAll(kSource + QStringLiteral("/resources/samples/named.conf")));

    Outcome removed = script("uninstall", {dir});
    ASSERT_EQ(removed.status, 0) << removed.out.toStdString();
    EXPECT_EQ(readAll(readme), myReadme);
    EXPECT_EQ(readAll(zone), myZone);
    EXPECT_TRUE(removed.out.contains(QStringLiteral("readme.txt"))) << removed.out.toStdString();
    EXPECT_TRUE(removed.out.contains(QStringLiteral("samples/sample.zone"))) << removed.out.toStdString();
    EXPECT_EQ(tree(dir),
        QStringList({QStringLiteral("readme.txt"), QStringLiteral("samples"),
            QStringLiteral("samples/sample.zone")}));
}

TEST_F(InstallTest, UninstallKeepsFilesChangedSinceTheyWereInstalled)
{
    const QString dir = tmp.filePath(QStringLiteral("Quorel"));
    Outcome installed = script("install", {dir});
    ASSERT_EQ(installed.status, 0) << installed.out.toStdString();
    const QString zone = dir + QStringLiteral("/samples/sample.zone");
    const QString entry = home + QStringLiteral("/.local/share/applications/quorel.desktop");
    ASSERT_TRUE(writeFile(zone, "; my record\n", QIODevice::Append));
    ASSERT_TRUE(writeFile(entry, "NoDisplay=true\n", QIODevice::Append));
    const QByteArray editedZone = readAll(zone);
    const QByteArray editedEntry = readAll(entry);

    Outcome removed = script("uninstall", {dir});
    ASSERT_EQ(removed.status, 0) << removed.out.toStdString();
    EXPECT_EQ(readAll(zone), editedZone);
    EXPECT_EQ(readAll(entry), editedEntry);
    EXPECT_TRUE(removed.out.contains(QStringLiteral("kept ") + zone + QStringLiteral(": changed")))
        << removed.out.toStdString();
    EXPECT_TRUE(removed.out.contains(QStringLiteral("kept ") + entry + QStringLiteral(": changed")))
        << removed.out.toStdString();
    EXPECT_EQ(tree(dir), QStringList({QStringLiteral("samples"), QStringLiteral("samples/sample.zone")}));
}

TEST_F(InstallTest, ManifestEntriesOutsideTheInstallationAreNeitherKeptNorActedOn)
{
    const QString dir = tmp.filePath(QStringLiteral("Quorel"));
    Outcome installed = script("install", {dir});
    ASSERT_EQ(installed.status, 0) << installed.out.toStdString();
    const QString manifest = dir + QStringLiteral("/lib/quorel-install.manifest");

    // The user's things, each named in the manifest in a way that once
    // reached it: directly, through "..", through a link out of the folder.
    const QString important = home + QStringLiteral("/important.txt");
    const QByteArray content = "do not lose me\n";
    ASSERT_TRUE(writeFile(important, content));
    const QString empty = home + QStringLiteral("/empty");
    ASSERT_TRUE(QDir().mkpath(empty));
    ASSERT_TRUE(QFile::link(home, dir + QStringLiteral("/escape")));
    const QString config = home + QStringLiteral("/.config/VANTO/Quorel.conf");
    {
        QSettings profile(config, QSettings::IniFormat);
        profile.setValue(QStringLiteral("EnvOption/Other"), dir);
        QSettings machine(etc + QStringLiteral("/VANTO/idn.conf"), QSettings::IniFormat);
        machine.setValue(QStringLiteral("OtherKey"), dir + QStringLiteral("/x"));
    }
    const QByteArray sum = sha256(content);
    const QList<QByteArray> planted {"file\t" + important.toUtf8() + '\t' + sum,
        "file\t" + dir.toUtf8() + "/../home/important.txt\t" + sum,
        "file\t" + dir.toUtf8() + "/escape/important.txt\t" + sum, "generated\t" + important.toUtf8(),
        "dir\t" + empty.toUtf8(), "profile\tQuorel\tEnvOption/Other",
        "system\tOtherKey\t" + dir.toUtf8() + "/x"};
    const QByteArray plantedLines = planted.join('\n') + '\n';

    // Installing again does not take them into the new manifest.
    ASSERT_TRUE(writeFile(manifest, plantedLines, QIODevice::Append));
    Outcome again = script("install", {dir});
    ASSERT_EQ(again.status, 0) << again.out.toStdString();
    const QByteArray renewed = readAll(manifest);
    for (const QByteArray &line : planted) {
        SCOPED_TRACE(line.constData());
        EXPECT_FALSE(renewed.contains(line));
    }
    EXPECT_FALSE(renewed.contains("important.txt"));

    // Uninstalling does not act on them.
    ASSERT_TRUE(writeFile(manifest, plantedLines, QIODevice::Append));
    Outcome removed = script("uninstall", {dir});
    ASSERT_EQ(removed.status, 0) << removed.out.toStdString();
    EXPECT_EQ(readAll(important), content);
    EXPECT_TRUE(QFileInfo(empty).isDir());
    QSettings profile(config, QSettings::IniFormat);
    EXPECT_EQ(profile.value(QStringLiteral("EnvOption/Other")).toString(), dir);
    EXPECT_FALSE(profile.contains(QStringLiteral("EnvOption/ProPathName")));
    QSettings machine(etc + QStringLiteral("/VANTO/idn.conf"), QSettings::IniFormat);
    EXPECT_EQ(machine.value(QStringLiteral("OtherKey")).toString(), dir + QStringLiteral("/x"));
    EXPECT_FALSE(machine.contains(QStringLiteral("SampleZonePath")));
    EXPECT_TRUE(removed.out.contains(QStringLiteral("important.txt"))) << removed.out.toStdString();
    EXPECT_TRUE(removed.out.contains(QStringLiteral("EnvOption/Other"))) << removed.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/Quorel")));
}

// Installations made before the manifest held checksums are still ours:
// installing over one records them, and only then does uninstalling remove
// files.
TEST_F(InstallTest, AnOlderManifestIsUpgradedByInstallingAgain)
{
    const QString dir = tmp.filePath(QStringLiteral("Quorel"));
    ASSERT_EQ(script("install", {dir}).status, 0);
    const QString manifest = dir + QStringLiteral("/lib/quorel-install.manifest");
    // The older format: no first line, no checksums, links listed as files.
    QByteArray older;
    for (const QByteArray &line : readAll(manifest).split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split('\t');
        if (fields[0] == "file" || fields[0] == "link")
            older += "file\t" + fields[1] + '\n';
        else
            older += line + '\n';
    }
    ASSERT_TRUE(writeFile(manifest, older));
    const QStringList installed = tree(tmp.path());

    Outcome refused = script("uninstall", {dir});
    EXPECT_EQ(refused.status, 1) << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains(QStringLiteral("scripts/install"))) << refused.out.toStdString();
    EXPECT_EQ(tree(tmp.path()), installed);

    Outcome again = script("install", {dir});
    ASSERT_EQ(again.status, 0) << again.out.toStdString();
    EXPECT_EQ(tree(tmp.path()), installed);
    Outcome purged = script("uninstall", {QStringLiteral("--purge"), dir});
    ASSERT_EQ(purged.status, 0) << purged.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir));
    EXPECT_TRUE(tree(home).isEmpty()) << tree(home).join(u' ').toStdString();
    EXPECT_TRUE(tree(etc).isEmpty()) << tree(etc).join(u' ').toStdString();
}

// What the desktop reads of the unpacked package: the menu entry, and the
// description software centres show, whose release is the package's own
// (`controlFields` as dpkg-deb -f prints them).
void expectDesktopMetadataValid(
    const QString &root, const QString &controlFields, const QProcessEnvironment &env)
{
    Outcome valid = run(QStringLiteral("desktop-file-validate"),
        {root + QStringLiteral("/usr/share/applications/quorel.desktop")}, env);
    EXPECT_EQ(valid.status, 0) << valid.out.toStdString();
    const QString metainfo
        = root + QStringLiteral("/usr/share/metainfo/io.github.quorel.Quorel.metainfo.xml");
    Outcome described = run(QStringLiteral("appstreamcli"),
        {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo}, env);
    EXPECT_EQ(described.status, 0) << described.out.toStdString();
    const QString version
        = QRegularExpression(QStringLiteral("^Version: (.*)$"), QRegularExpression::MultilineOption)
              .match(controlFields)
              .captured(1);
    ASSERT_FALSE(version.isEmpty());
    QFile description(metainfo);
    ASSERT_TRUE(description.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(description.readAll())
                    .contains(QStringLiteral("<release version=\"%1\"").arg(version)))
        << version.toStdString();
}

// The package: file list and control fields, and a root it unpacks into.
TEST(PackageTest, DebianPackageHoldsTheInstallation)
{
    // The sanitizer run's programs are the same files built another way;
    // the package is built and checked from the normal build.
    if (qEnvironmentVariableIsSet("QUOREL_SANITIZED"))
        GTEST_SKIP() << "packaged from the normal build only";
    if (!QFileInfo::exists(kBuild + QStringLiteral("/CPackConfig.cmake"))
        || !QFileInfo::exists(QStringLiteral("/usr/bin/dpkg-deb"))) {
        if (qEnvironmentVariableIsSet("QUOREL_REQUIRE_PACKAGE_TEST"))
            FAIL() << "the package test has no build tree or dpkg-deb";
        GTEST_SKIP() << "no build tree to package or no dpkg-deb";
    }
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUOREL_BUILD_DIR"), kBuild);
    Outcome built = run(kSource + QStringLiteral("/scripts/package"), {out.path()}, env, 600000);
    ASSERT_EQ(built.status, 0) << built.out.toStdString();
    const QString deb = built.out.trimmed().split(u'\n').last();
    EXPECT_TRUE(deb.endsWith(QStringLiteral("/quorel_" QUOREL_VERSION "_amd64.deb"))) << deb.toStdString();
    EXPECT_FALSE(built.out.contains(QStringLiteral("E: "))) << built.out.toStdString();

    Outcome fields = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb}, env);
    ASSERT_EQ(fields.status, 0) << fields.out.toStdString();
    for (const char *field : {"Package: quorel", "Version: " QUOREL_VERSION, "Architecture: amd64",
             "Maintainer: VANTO", "Section: editors"})
        EXPECT_TRUE(fields.out.contains(QString::fromUtf8(field))) << field;
    const QRegularExpression depends(QStringLiteral("^Depends: (.*)$"), QRegularExpression::MultilineOption);
    const QString deps = depends.match(fields.out).captured(1);
    for (const char *lib : {"libqt6widgets6", "libqt6core6", "libicu72", "libcurl4", "zlib1g", "libssl3"})
        EXPECT_TRUE(deps.contains(QString::fromLatin1(lib))) << lib << " in " << deps.toStdString();
    EXPECT_FALSE(deps.contains(QStringLiteral("namecodec")));

    const QString root = out.filePath(QStringLiteral("root"));
    Outcome unpacked = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root}, env);
    ASSERT_EQ(unpacked.status, 0) << unpacked.out.toStdString();
    QStringList expected {QStringLiteral("etc/xdg/VANTO/idn.conf"), QStringLiteral("opt/quorel/Corvale"),
        QStringLiteral("opt/quorel/Pellwick"), QStringLiteral("opt/quorel/Quorel"),
        QStringLiteral("opt/quorel/namecodec"), QStringLiteral("opt/quorel/lib/idn/libnamecodec.so.1"),
        QStringLiteral("opt/quorel/lib/idn/libnamecodec.so.1.0.0"), QStringLiteral("opt/quorel/readme.txt"),
        QStringLiteral("opt/quorel/updateinfo.rtf"), QStringLiteral("opt/quorel/samples/named.conf"),
        QStringLiteral("opt/quorel/samples/sample-reverse.zone"),
        QStringLiteral("opt/quorel/samples/sample.zone"), QStringLiteral("opt/quorel/samples/vhost.conf"),
        QStringLiteral("opt/quorel/temp"), QStringLiteral("usr/bin/namecodec"),
        QStringLiteral("usr/bin/quorel"), QStringLiteral("usr/share/applications/quorel.desktop"),
        QStringLiteral("usr/share/doc/quorel/changelog.gz"), QStringLiteral("usr/share/doc/quorel/copyright"),
        QStringLiteral("usr/share/icons/hicolor/48x48/apps/quorel.png"),
        QStringLiteral("usr/share/lintian/overrides/quorel"),
        QStringLiteral("usr/share/mime/packages/quorel.xml"),
        QStringLiteral("usr/share/man/man1/quorel.1.gz"), QStringLiteral("usr/share/man/man1/namecodec.1.gz"),
        QStringLiteral("usr/share/metainfo/io.github.quorel.Quorel.metainfo.xml")};
    expected.sort();
    QStringList files = tree(root);
    files.removeIf([&](const QString &p) {
        return QFileInfo(root + u'/' + p).isDir() && !QFileInfo(root + u'/' + p).isSymLink();
    });
    EXPECT_EQ(files, expected);
    EXPECT_EQ(QFileInfo(root + QStringLiteral("/opt/quorel/temp")).symLinkTarget(), QStringLiteral("/tmp"));
    EXPECT_EQ(
        QFile::symLinkTarget(root + QStringLiteral("/usr/bin/quorel")), QStringLiteral("/opt/quorel/Quorel"));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/opt/quorel/lib/quorel-profile")));

    QSettings machine(root + QStringLiteral("/etc/xdg/VANTO/idn.conf"), QSettings::IniFormat);
    EXPECT_EQ(machine.value(QStringLiteral("SampleZonePath")).toString(),
        QStringLiteral("/opt/quorel/samples/sample.zone"));
    EXPECT_EQ(machine.value(QStringLiteral("SampleVirtualHostConfPath")).toString(),
        QStringLiteral("/opt/quorel/samples/vhost.conf"));
    expectDesktopMetadataValid(root, fields.out, env);
    Outcome conffiles
        = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-I"), deb, QStringLiteral("conffiles")}, env);
    EXPECT_EQ(conffiles.out.trimmed(), QStringLiteral("/etc/xdg/VANTO/idn.conf"));

    // The unpacked tool runs from its folder with the packaged library.
    QProcessEnvironment bare = env;
    bare.remove(QStringLiteral("LD_LIBRARY_PATH"));
    Outcome tool = run(root + QStringLiteral("/opt/quorel/namecodec"),
        {QStringLiteral("to-ascii"), QStringLiteral("한국.kr")}, bare);
    EXPECT_EQ(tool.status, 0) << tool.out.toStdString();
    EXPECT_EQ(tool.out.trimmed(), QStringLiteral("xn--3e0b707e.kr"));
}

} // namespace
