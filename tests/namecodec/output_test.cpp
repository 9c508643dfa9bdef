// Where a conversion's result goes: through links, into FIFOs and devices,
// never over a folder, with the replaced file's owner and mode, and without
// hidden partial files left behind by runs that were stopped.
#include "testutil.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

using namespace namecodec;
using namespace testutil;

namespace {

const std::string kZoneIn = "메일 IN A 192.0.2.1\n웹 IN CNAME 서버.한국.\n";
const std::string kZoneOut = "xn--h32bq4v IN A 192.0.2.1\nxn--yq5b IN CNAME xn--hk3b17f.xn--3e0b707e.\n";

ConvertOptions zoneOptions()
{
    ConvertOptions options;
    options.from = Encoding::Utf8;
    options.to = Encoding::Punycode;
    options.kind = FileKind::Zone;
    return options;
}

// Names in the folder that start with `prefix` (hidden ones included).
std::vector<std::string> namesStartingWith(const TempDir &dir, const std::string &prefix)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct stat statOf(const std::filesystem::path &path)
{
    struct stat st { };
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// A pid that certainly belongs to no running process: a child that ended.
pid_t finishedPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// Stops a spawned tool that a failed check left running.
struct ChildGuard {
    pid_t pid = 0;
    ~ChildGuard()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

} // namespace

TEST(OutputKinds, SymbolicLinkIsWrittenThroughAndStays)
{
    TempDir dir;
    writeFile(dir / "in.zone", kZoneIn);
    std::filesystem::create_directories(dir / "real");
    writeFile(dir / "real" / "out.zone", "old\n");
    // A relative link, and a link to a link, as /etc/bind setups have them.
    std::filesystem::create_symlink("real/out.zone", dir / "hop");
    std::filesystem::create_symlink("hop", dir / "out.zone");
    ASSERT_TRUE(convertFile((dir / "in.zone").string(), (dir / "out.zone").string(), zoneOptions()).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "out.zone"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "hop"));
    EXPECT_EQ(readFile(dir / "real" / "out.zone"), kZoneOut);
    EXPECT_EQ(namesStartingWith(dir, ".").size(), 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "real"), {}), 1);

    // A link to a name that does not exist yet makes that file.
    std::filesystem::create_symlink("real/new.zone", dir / "dangling");
    ASSERT_TRUE(convertFile((dir / "in.zone").string(), (dir / "dangling").string(), zoneOptions()).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling"));
    EXPECT_EQ(readFile(dir / "real" / "new.zone"), kZoneOut);

    // A loop of links is refused, not followed forever.
    std::filesystem::create_symlink("loop-b", dir / "loop-a");
    std::filesystem::create_symlink("loop-a", dir / "loop-b");
    const ConvertReport loop
        = convertFile((dir / "in.zone").string(), (dir / "loop-a").string(), zoneOptions());
    ASSERT_FALSE(loop.ok());
    EXPECT_EQ(loop.errors.front().kind, ErrorKind::Io);
}

TEST(OutputKinds, FifoIsWrittenDirectlyToItsReader)
{
    TempDir dir;
    std::string input;
    for (int i = 0; i < 40000; ++i) // about 1.2 MB: more than one block streams through
        input += kZoneIn;
    writeFile(dir / "in.zone", input);
    ASSERT_EQ(::mkfifo((dir / "out.zone").c_str(), 0644), 0);
    std::string received;
    std::thread reader([&] {
        const int fd = ::open((dir / "out.zone").c_str(), O_RDONLY);
        if (fd < 0)
            return;
        char block[65536];
        ssize_t n;
        while ((n = ::read(fd, block, sizeof block)) > 0)
            received.append(block, static_cast<std::size_t>(n));
        ::close(fd);
    });
    // A second name for the FIFO, so that a reader never joined by a writer
    // (the FIFO replaced by a file) can be let go instead of hanging the test.
    ASSERT_EQ(::link((dir / "out.zone").c_str(), (dir / "fifo-handle").c_str()), 0);
    const ConvertReport report
        = convertFile((dir / "in.zone").string(), (dir / "out.zone").string(), zoneOptions());
    const int release = ::open((dir / "fifo-handle").c_str(), O_WRONLY | O_NONBLOCK);
    if (release >= 0)
        ::close(release);
    reader.join();
    ASSERT_TRUE(report.ok()) << report.errors.front().message;
    std::string expected;
    for (int i = 0; i < 40000; ++i)
        expected += kZoneOut;
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
    EXPECT_TRUE(S_ISFIFO(statOf(dir / "out.zone").st_mode));
    EXPECT_EQ(namesStartingWith(dir, ".").size(), 0u); // no partial file was made
}

TEST(OutputKinds, DeviceNodeIsWrittenDirectly)
{
    TempDir dir;
    writeFile(dir / "in.zone", kZoneIn);
    // Our own null device (1,3), so the test never touches /dev.
    const auto node = dir / "null";
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    const int probe = ::open(node.c_str(), O_WRONLY);
    if (probe < 0)
        GTEST_SKIP() << "device nodes cannot be opened here: " << std::strerror(errno);
    ::close(probe);
    ASSERT_TRUE(convertFile((dir / "in.zone").string(), node.string(), zoneOptions()).ok());
    const struct stat st = statOf(node);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
    EXPECT_EQ(dir.entries(), 2u);

    // A device that refuses the bytes (a full device, 1,7) fails the run.
    const auto full = dir / "full";
    ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    const ConvertReport report = convertFile((dir / "in.zone").string(), full.string(), zoneOptions());
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.errors.front().kind, ErrorKind::Io);
    EXPECT_NE(report.errors.front().message.find(full.string()), std::string::npos);
    EXPECT_TRUE(S_ISCHR(statOf(full).st_mode));
    EXPECT_EQ(dir.entries(), 3u);
}

TEST(OutputKinds, FolderIsRefusedAndLeftAlone)
{
    TempDir dir;
    writeFile(dir / "in.zone", kZoneIn);
    std::filesystem::create_directories(dir / "out");
    std::filesystem::create_directory_symlink("out", dir / "link-to-folder");
    for (const char *name : {"out", "link-to-folder"}) {
        SCOPED_TRACE(name);
        const ConvertReport report
            = convertFile((dir / "in.zone").string(), (dir / name).string(), zoneOptions());
        ASSERT_FALSE(report.ok());
        EXPECT_EQ(report.errors.front().kind, ErrorKind::Io);
        EXPECT_EQ(report.errors.front().line, 1);
        EXPECT_NE(report.errors.front().message.find("폴더"), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "out"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
    EXPECT_EQ(dir.entries(), 3u);
}

TEST(OutputOwner, InPlaceConversionKeepsOwnerGroupAndMode)
{
    TempDir dir;
    const auto zone = dir / "z.zone";
    writeFile(zone, kZoneIn);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(zone.c_str(), 1234, 1234), 0);
    }
    ASSERT_EQ(::chmod(zone.c_str(), 0640), 0);

    const std::string command = std::string(QUOREL_BIN_DIR) + "/namecodec convert --from utf-8 --to punycode "
        + zone.string() + " " + zone.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readFile(zone), kZoneOut);
    struct stat st = statOf(zone);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 1234u);
    }

    // The library call keeps them too, also through a link.
    std::filesystem::create_symlink("z.zone", dir / "link.zone");
    ASSERT_EQ(::chmod(zone.c_str(), 0604), 0);
    ASSERT_TRUE(convertFile(zone.string(), (dir / "link.zone").string(), zoneOptions()).ok());
    st = statOf(zone);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    if (root) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 1234u);
    }
    if (!root)
        GTEST_SKIP() << "owner and group are checked only where the test runs as root";
}

TEST(OutputOwner, FileWhoseOwnerCannotBeKeptIsNotReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to set up a file of another user";
    TempDir dir;
    writeFile(dir / "in.zone", kZoneIn);
    const auto zone = dir / "z.zone";
    writeFile(zone, "old\n");
    ASSERT_EQ(::chown(zone.c_str(), 1234, 1234), 0);
    ASSERT_EQ(::chmod(zone.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod((dir / "in.zone").c_str(), 0644), 0);

    // Another user, who may write both the file and its folder, but could
    // only put a file of their own in its place.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(4321) != 0 || ::setuid(4321) != 0)
            ::_exit(3);
        const ConvertReport report = convertFile((dir / "in.zone").string(), zone.string(), zoneOptions());
        if (report.ok())
            ::_exit(1);
        ::_exit(report.errors.front().message.find("소유자") != std::string::npos ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(zone), "old\n");
    EXPECT_EQ(statOf(zone).st_uid, 1234u);
    EXPECT_EQ(dir.entries(), 2u);
}

TEST(PartialFiles, StaleOnesOfEndedProcessesAreRemovedOthersKept)
{
    TempDir dir;
    writeFile(dir / "in.zone", kZoneIn);
    const std::string dead = ".out.zone." + std::to_string(finishedPid()) + ".AbC123";
    // The parent of this test runs as long as the test does.
    const std::string alive = ".out.zone." + std::to_string(::getppid()) + ".XyZ789";
    const std::string ownRun = ".out.zone." + std::to_string(::getpid()) + ".Own000";
    const std::vector<std::string> notOurs = {".out.zone.swp", ".out.zone.12.short", ".other.zone.1.AbC123"};
    for (const auto &name : {dead, alive, ownRun})
        writeFile(dir / name, "partial");
    for (const auto &name : notOurs)
        writeFile(dir / name, "keep");

    ASSERT_TRUE(convertFile((dir / "in.zone").string(), (dir / "out.zone").string(), zoneOptions()).ok());
    EXPECT_EQ(readFile(dir / "out.zone"), kZoneOut);
    EXPECT_FALSE(std::filesystem::exists(dir / dead));
    EXPECT_TRUE(std::filesystem::exists(dir / alive));
    EXPECT_TRUE(std::filesystem::exists(dir / ownRun));
    for (const auto &name : notOurs)
        EXPECT_EQ(readFile(dir / name), "keep") << name;
}

TEST(PartialFiles, PartialFileCarriesThePidAndIsGoneAfterFailure)
{
    TempDir dir;
    writeFile(dir / "in.zone", kZoneIn + "가\u3164 IN A 192.0.2.9\n");
    std::vector<std::string> heard;
    ConvertOptions options = zoneOptions();
    options.partialFile = [&](const char *path) { heard.push_back(path ? path : "(gone)"); };
    const ConvertReport report
        = convertFile((dir / "in.zone").string(), (dir / "out.zone").string(), options);
    EXPECT_FALSE(report.ok());
    ASSERT_EQ(heard.size(), 2u);
    const std::string expected = (dir / (".out.zone." + std::to_string(::getpid()) + ".")).string();
    EXPECT_EQ(heard[0].substr(0, expected.size()), expected);
    EXPECT_EQ(heard[0].size(), expected.size() + 6);
    EXPECT_EQ(heard[1], "(gone)");
    EXPECT_EQ(dir.entries(), 1u);
}

TEST(PartialFiles, ToolStoppedBySignalLeavesNoPartialFile)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        const auto fifo = dir / "in.zone";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        writeFile(dir / "out.zone", "old\n");

        const std::string tool = std::string(QUOREL_BIN_DIR) + "/namecodec";
        const std::string in = fifo.string(), out = (dir / "out.zone").string();
        const char *argv[] = {tool.c_str(), "convert", "--from", "utf-8", "--to", "punycode", "--kind",
            "zone", in.c_str(), out.c_str(), nullptr};
        // The tool keeps a signal its caller ignores ignored (a background
        // job's SIGINT): start it with the default actions, as from a terminal.
        posix_spawnattr_t attributes;
        ::posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, signal);
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        ChildGuard child;
        const int spawned = ::posix_spawn(
            &child.pid, tool.c_str(), nullptr, &attributes, const_cast<char **>(argv), environ);
        ::posix_spawnattr_destroy(&attributes);
        ASSERT_EQ(spawned, 0);
        const pid_t pid = child.pid;

        // Feed more than the first block the tool reads, then keep the FIFO
        // open so that it waits for the rest with its partial file made.
        const int writer = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(writer, 0);
        std::string chunk;
        while (chunk.size() < 200 * 1024)
            chunk += kZoneIn;
        ASSERT_EQ(::write(writer, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
        std::vector<std::string> partial;
        for (int i = 0; i < 500 && partial.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            partial = namesStartingWith(dir, ".out.zone.");
        }
        ASSERT_EQ(partial.size(), 1u);

        ASSERT_EQ(::kill(pid, signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        child.pid = 0;
        ::close(writer);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : 0, signal);
        EXPECT_EQ(namesStartingWith(dir, ".").size(), 0u);
        EXPECT_EQ(readFile(dir / "out.zone"), "old\n");
    }
}

TEST(PartialFiles, IgnoredSignalStaysIgnored)
{
    // A conversion started under nohup (or as a background job) must not be
    // ended by the signal its caller chose to ignore.
    TempDir dir;
    const auto fifo = dir / "in.zone";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string tool = std::string(QUOREL_BIN_DIR) + "/namecodec";
    const std::string in = fifo.string(), out = (dir / "out.zone").string();
    const char *argv[] = {tool.c_str(), "convert", "--from", "utf-8", "--to", "punycode", "--kind", "zone",
        in.c_str(), out.c_str(), nullptr};
    struct sigaction ignore {
    }, previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGHUP, &ignore, &previous), 0);
    ChildGuard child;
    const int spawned
        = ::posix_spawn(&child.pid, tool.c_str(), nullptr, nullptr, const_cast<char **>(argv), environ);
    ::sigaction(SIGHUP, &previous, nullptr);
    ASSERT_EQ(spawned, 0);

    const int writer = ::open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, kZoneIn.data(), kZoneIn.size()), static_cast<ssize_t>(kZoneIn.size()));
    ASSERT_EQ(::kill(child.pid, SIGHUP), 0);
    ::close(writer);
    int status = 0;
    ASSERT_EQ(::waitpid(child.pid, &status, 0), child.pid);
    child.pid = 0;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(dir / "out.zone"), kZoneOut);
}
