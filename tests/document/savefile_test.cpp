// Saving a document over what the path really is: the owner, group and mode
// of the replaced file, links written through, FIFOs and devices written
// directly, and files made read-only while open refused.
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "../support/files.h"
#include "../support/scriptedprompter.h"
#include "document/doctemplate.h"
#include "document/documentcontext.h"
#include "document/quoreldoc.h"
#include "document/savefile.h"
#include "document/textbuffer.h"
#include "platform/quorelids.h"
#include "platform/settings.h"

namespace {

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        user = std::make_unique<QSettings>(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
        machine
            = std::make_unique<QSettings>(dir.filePath(QStringLiteral("machine.ini")), QSettings::IniFormat);
        settings = std::make_unique<QuorelSettings>(*user, *machine);
        context.prompter = &prompter;
        context.settings = settings.get();
    }
    // Opens `name`, holding `original`, and types a line at its start.
    std::unique_ptr<CQuorelDoc> openEdited(const QString &name, const QByteArray &original)
    {
        writeBytes(path(name), original);
        auto doc = std::make_unique<CQuorelDoc>(*templates.byId(ids::templ::kZone), context);
        EXPECT_TRUE(doc->OnOpenDocument(path(name)));
        doc->textBuffer()->replace(0, 0, QStringLiteral("; 추가\n"), TextSelection {});
        return doc;
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray local(const QString &name) const { return QFile::encodeName(path(name)); }
    struct stat statOf(const QString &name) const
    {
        struct stat st { };
        EXPECT_EQ(::lstat(local(name).constData(), &st), 0);
        return st;
    }
    // Everything in the folder but the settings files.
    QStringList files() const
    {
        QStringList all
            = QDir(dir.path())
                  .entryList(
                      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        all.removeAll(QStringLiteral("user.ini"));
        all.removeAll(QStringLiteral("machine.ini"));
        return all;
    }

    QTemporaryDir dir;
    std::unique_ptr<QSettings> user, machine;
    std::unique_ptr<QuorelSettings> settings;
    ScriptedPrompter prompter;
    DocumentContext context;
    CDocTemplates templates;
};

const QByteArray kOriginal = cp949("메일 IN A 192.0.2.1\n");
const QByteArray kSaved = cp949("; 추가\n메일 IN A 192.0.2.1\n");

} // namespace

TEST_F(SaveTest, SaveKeepsOwnerGroupAndMode)
{
    auto doc = openEdited(QStringLiteral("z.zone"), kOriginal);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(local(QStringLiteral("z.zone")).constData(), 1234, 1234), 0);
    }
    // The set-group-id bit too, which QSaveFile's permissions leave out.
    ASSERT_EQ(::chmod(local(QStringLiteral("z.zone")).constData(), 02640), 0);
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_EQ(readBytes(path(QStringLiteral("z.zone"))), kSaved);
    const struct stat st = statOf(QStringLiteral("z.zone"));
    EXPECT_EQ(st.st_mode & 07777, 02640u);
    EXPECT_EQ(files(), QStringList {QStringLiteral("z.zone")});
    if (!root)
        GTEST_SKIP() << "owner and group are checked only where the test runs as root";
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 1234u);
}

TEST_F(SaveTest, FileMadeReadOnlyWhileOpenIsNeverReplaced)
{
    auto doc = openEdited(QStringLiteral("r.zone"), kOriginal);
    ASSERT_EQ(::chmod(local(QStringLiteral("r.zone")).constData(), 0444), 0);
    const ino_t inode = statOf(QStringLiteral("r.zone")).st_ino;

    // Save explains and offers another name; cancelling writes nothing.
    EXPECT_FALSE(doc->DoFileSave());
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages.front().contains(QStringLiteral("읽기 전용")));
    EXPECT_EQ(prompter.saveProposals, QStringList {path(QStringLiteral("r.zone"))});

    // Choosing the same name again is refused too, and so is saving there
    // directly (a save-as onto it).
    prompter.saveNames = {path(QStringLiteral("r.zone"))};
    const DocumentOutcome again = doc->DoFileSave();
    const DocumentOutcome direct = doc->OnSaveDocument(path(QStringLiteral("r.zone")));
    EXPECT_FALSE(again);
    EXPECT_FALSE(direct);
    // Two explanations before the name question, two refusals to show.
    const QStringList messages = prompter.messages + QStringList {again.message, direct.message};
    ASSERT_EQ(messages.size(), 4);
    for (const QString &m : messages)
        EXPECT_TRUE(m.contains(QStringLiteral("읽기 전용"))) << m.toStdString();

    const struct stat st = statOf(QStringLiteral("r.zone"));
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(st.st_ino, inode);
    EXPECT_EQ(readBytes(path(QStringLiteral("r.zone"))), kOriginal);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(files(), QStringList {QStringLiteral("r.zone")});

    // Another name saves.
    prompter.saveNames = {path(QStringLiteral("copy.zone"))};
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(readBytes(path(QStringLiteral("copy.zone"))), kSaved);
}

TEST_F(SaveTest, LinkIsWrittenThroughAndFolderRefused)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("real")));
    writeBytes(path(QStringLiteral("real/z.zone")), kOriginal);
    ASSERT_EQ(::chmod(local(QStringLiteral("real/z.zone")).constData(), 0640), 0);
    ASSERT_EQ(::symlink("real/z.zone", local(QStringLiteral("link.zone")).constData()), 0);
    auto doc = std::make_unique<CQuorelDoc>(*templates.byId(ids::templ::kZone), context);
    ASSERT_TRUE(doc->OnOpenDocument(path(QStringLiteral("link.zone"))));
    doc->textBuffer()->replace(0, 0, QStringLiteral("; 추가\n"), TextSelection {});
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_TRUE(S_ISLNK(statOf(QStringLiteral("link.zone")).st_mode));
    EXPECT_EQ(readBytes(path(QStringLiteral("real/z.zone"))), kSaved);
    EXPECT_EQ(statOf(QStringLiteral("real/z.zone")).st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(path(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden),
        QStringList {QStringLiteral("z.zone")});

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const DocumentOutcome folder = doc->OnSaveDocument(path(QStringLiteral("folder")));
    EXPECT_FALSE(folder);
    EXPECT_TRUE(folder.message.contains(QStringLiteral("폴더")));
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder"))).isDir());
}

TEST_F(SaveTest, FifoAndDeviceAreWrittenDirectly)
{
    const QByteArray bytes = kSaved;
    ASSERT_EQ(::mkfifo(local(QStringLiteral("pipe")).constData(), 0644), 0);
    // Nobody reads: refused at once instead of hanging the window.
    EXPECT_FALSE(saveFileBytes(path(QStringLiteral("pipe")), bytes).isEmpty());
    EXPECT_TRUE(S_ISFIFO(statOf(QStringLiteral("pipe")).st_mode));

    QByteArray received;
    const QByteArray fifo = local(QStringLiteral("pipe"));
    std::thread reader([&] {
        const int fd = ::open(fifo.constData(), O_RDONLY);
        char block[4096];
        ssize_t n;
        while (fd >= 0 && (n = ::read(fd, block, sizeof block)) > 0)
            received.append(block, n);
        if (fd >= 0)
            ::close(fd);
    });
    // The reader must be waiting before the save looks for it.
    QString failure;
    for (int i = 0; i < 500; ++i) {
        failure = saveFileBytes(path(QStringLiteral("pipe")), bytes);
        if (failure.isEmpty())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!failure.isEmpty()) {
        // Let the reader go before reporting.
        const int release = ::open(fifo.constData(), O_WRONLY);
        ::close(release);
    }
    reader.join();
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(received, bytes);
    EXPECT_TRUE(S_ISFIFO(statOf(QStringLiteral("pipe")).st_mode));

    const QByteArray node = local(QStringLiteral("null"));
    if (::mknod(node.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here";
    const int probe = ::open(node.constData(), O_WRONLY);
    if (probe < 0)
        GTEST_SKIP() << "device nodes cannot be opened here";
    ::close(probe);
    EXPECT_TRUE(saveFileBytes(path(QStringLiteral("null")), bytes).isEmpty());
    const struct stat st = statOf(QStringLiteral("null"));
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
    EXPECT_EQ(files(), (QStringList {QStringLiteral("null"), QStringLiteral("pipe")}));
}

// A save replaces a file the way a conversion does: partial files left beside
// it by a save or conversion that was killed are cleared (those of running
// processes stay), and a link loop is refused without writing anything.
TEST_F(SaveTest, StalePartialFilesClearedAndLinkLoopRefused)
{
    writeBytes(path(QStringLiteral("z.zone")), kOriginal);
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const QString stale = QStringLiteral(".z.zone.%1.AbC123").arg(gone);
    const QString running = QStringLiteral(".z.zone.%1.AbC123").arg(::getpid());
    writeBytes(path(stale), "half");
    writeBytes(path(running), "half");

    EXPECT_TRUE(saveFileBytes(path(QStringLiteral("z.zone")), kSaved).isEmpty());
    EXPECT_EQ(readBytes(path(QStringLiteral("z.zone"))), kSaved);
    QStringList expected {running, QStringLiteral("z.zone")};
    expected.sort();
    EXPECT_EQ(files(), expected);

    ASSERT_EQ(::symlink("b.zone", local(QStringLiteral("a.zone")).constData()), 0);
    ASSERT_EQ(::symlink("a.zone", local(QStringLiteral("b.zone")).constData()), 0);
    EXPECT_FALSE(saveFileBytes(path(QStringLiteral("a.zone")), kSaved).isEmpty());
    expected << QStringLiteral("a.zone") << QStringLiteral("b.zone");
    expected.sort();
    EXPECT_EQ(files(), expected);
}

// A full disk: the save stops with the plain reason, the file keeps its old
// bytes, no partial file stays behind, and the text stays modified. Needs
// a small tmpfs, which only a test allowed to mount can make.
TEST_F(SaveTest, FullDiskSaysSoAndKeepsTheFile)
{
    const QString mountPoint = path(QStringLiteral("full"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        QByteArray where;
        ~Unmount() { ::umount2(where.constData(), MNT_DETACH); }
    } unmount {QFile::encodeName(mountPoint)};

    const QString zone = mountPoint + QStringLiteral("/big.zone");
    writeBytes(zone, kOriginal);
    // Most of the space taken by something else.
    writeBytes(mountPoint + QStringLiteral("/other"), QByteArray(40 * 1024, 'x'));
    auto doc = std::make_unique<CQuorelDoc>(*templates.byId(ids::templ::kZone), context);
    ASSERT_TRUE(doc->OnOpenDocument(zone));
    doc->textBuffer()->replace(
        0, 0, QString(60 * 1024, QLatin1Char(';')) + QLatin1Char('\n'), TextSelection {});

    const DocumentOutcome saved = doc->DoFileSave();
    EXPECT_EQ(saved.status, DocumentOutcome::Status::Failed);
    EXPECT_TRUE(saved.message.startsWith(QStringLiteral("디스크 공간이 부족합니다")))
        << saved.message.toStdString();
    EXPECT_TRUE(saved.message.contains(zone));
    EXPECT_EQ(readBytes(zone), kOriginal);
    EXPECT_EQ(
        QDir(mountPoint).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        (QStringList {QStringLiteral("big.zone"), QStringLiteral("other")}));
    EXPECT_TRUE(doc->IsModified());
}
