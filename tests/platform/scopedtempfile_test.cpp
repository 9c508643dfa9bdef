#include "platform/scopedtempfile.h"
#include "platform/tempfile.h"

#include "../support/files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Started again as its own child with QUOREL_TEMP_NAME_DIR set, this binary
// makes one temporary file there, prints its name and ends: a fresh run of
// a program, as each start of Quorel is.
const bool kChildRun = [] {
    const QByteArray dir = qgetenv("QUOREL_TEMP_NAME_DIR");
    if (dir.isEmpty())
        return false;
    ScopedTempFile file;
    if (!file.create(QString::fromLocal8Bit(dir)))
        ::_exit(1);
    std::printf("%s\n", QFile::encodeName(file.path()).constData());
    std::fflush(stdout);
    ::_exit(0);
}();

mode_t modeOf(const QString &path)
{
    struct stat info { };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(ScopedTempFile, MakesAConvNameInTheDirectoryAndDeletesItWhenItGoes)
{
    QTemporaryDir dir;
    QString path;
    {
        ScopedTempFile file;
        ASSERT_TRUE(file.create(dir.path()));
        path = file.path();
        EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(dir.path()).absolutePath());
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^conv_\\d+\\.tmp$"))
                        .match(QFileInfo(path).fileName())
                        .hasMatch())
            << path.toStdString();
        EXPECT_TRUE(QFile::exists(path));
        EXPECT_EQ(QFileInfo(path).size(), 0);
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(ScopedTempFile, NeverOpensAnExistingNameButTriesAnother)
{
    QTemporaryDir dir;
    const QString taken = dir.filePath(QStringLiteral("conv_1.tmp"));
    const QString dangling = dir.filePath(QStringLiteral("conv_2.tmp"));
    const QString fresh = dir.filePath(QStringLiteral("conv_3.tmp"));
    {
        QFile file(taken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("someone else's");
    }
    // A link to a file that does not exist yet: following it would create
    // the file somewhere the user never chose.
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QFile::link(target, dangling));

    QStringList names {taken, dangling, fresh};
    ScopedTempFile file;
    ASSERT_TRUE(file.create(
        dir.path(), [&names] { return names.takeFirst(); }, nullptr));
    EXPECT_EQ(file.path(), fresh);
    EXPECT_EQ(readAll(taken), QByteArray("someone else's"));
    EXPECT_FALSE(QFile::exists(target));
    file.remove();
    EXPECT_TRUE(QFile::exists(taken));
}

TEST(ScopedTempFile, AMissingDirectoryFailsWithAMessageNamingIt)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("temp"));
    int tries = 0;
    ScopedTempFile file;
    QString error;
    EXPECT_FALSE(file.create(
        missing,
        [&] {
            ++tries;
            return makeTempFileName(missing);
        },
        &error));
    EXPECT_TRUE(file.path().isEmpty());
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();
    EXPECT_EQ(tries, 1); // a missing directory is not retried a hundred times
}

TEST(ScopedTempFile, NamesCannotBeGuessedAndOnlyTheOwnerCanRead)
{
    ASSERT_FALSE(kChildRun);
    QTemporaryDir dir;
    // The names an unseeded generator gave every run: planted, as another
    // user of a shared folder could, as files and as links.
    const QString target = dir.filePath(QStringLiteral("stolen"));
    const long long now = static_cast<long long>(std::time(nullptr));
    for (long long second = now; second < now + 30; ++second) {
        for (const char *guess : {"1804289383", "846930886", "16807"}) {
            const QString name
                = dir.filePath(QStringLiteral("conv_%1%2.tmp").arg(second).arg(QLatin1String(guess)));
            if (second % 2)
                ASSERT_TRUE(QFile::link(target, name));
            else
                writeBytes(name, "planted");
        }
    }
    const QStringList planted = QDir(dir.path()).entryList(QDir::Files | QDir::System);

    // Two runs of the program and two files in one run: four names, all
    // different, every file 0600 even where the umask would allow more.
    QSet<QString> names;
    for (int run = 0; run < 2; ++run) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUOREL_TEMP_NAME_DIR"), dir.path());
        child.setProcessEnvironment(env);
        child.start(QStringLiteral("/proc/self/exe"), {});
        ASSERT_TRUE(child.waitForFinished(30000));
        ASSERT_EQ(child.exitCode(), 0);
        const QString name = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
        EXPECT_FALSE(planted.contains(QFileInfo(name).fileName())) << name.toStdString();
        names.insert(name);
        QFile::remove(name);
    }
    const mode_t oldMask = ::umask(0);
    ScopedTempFile a;
    ScopedTempFile b;
    const bool made = a.create(dir.path()) && b.create(dir.path());
    ::umask(oldMask);
    ASSERT_TRUE(made);
    names << a.path() << b.path();
    EXPECT_EQ(names.size(), 4);
    EXPECT_EQ(modeOf(a.path()), 0600u);
    EXPECT_EQ(modeOf(b.path()), 0600u);
    EXPECT_EQ(modeOf(createTempFile(dir.path())), 0600u);
    // The planted files and links are as they were.
    EXPECT_FALSE(QFileInfo::exists(target));
    for (const QString &name : planted) {
        if (QFileInfo(dir.filePath(name)).isSymLink())
            continue;
        EXPECT_EQ(readAll(dir.filePath(name)), QByteArray("planted"));
    }
}

TEST(PrivateTempDirectory, ASharedTempFolderGivesWayToAPrivateOne)
{
    QTemporaryDir dir;
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    const QString cache = dir.filePath(QStringLiteral("cache"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    ASSERT_EQ(::chmod(QFile::encodeName(runtime).constData(), 0700), 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));

    // An installation of its own: its temp folder is used as it is.
    const QString own = dir.filePath(QStringLiteral("own/temp"));
    ASSERT_TRUE(QDir().mkpath(own));
    ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0755), 0);
    EXPECT_EQ(privateTempDirectory(own), own);
    // A missing one is named as it is, so the failure says which.
    EXPECT_EQ(privateTempDirectory(dir.filePath(QStringLiteral("none/temp"))),
        dir.filePath(QStringLiteral("none/temp")));

    // An installation for everyone: temp is a link to a folder all may write.
    const QString shared = dir.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString linked = dir.filePath(QStringLiteral("package/temp"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("package"))));
    ASSERT_TRUE(QFile::link(shared, linked));
    const QString chosen = privateTempDirectory(linked);
    EXPECT_EQ(chosen, runtime + QStringLiteral("/quorel"));
    EXPECT_EQ(modeOf(chosen), 0700u);
    // A folder all may write into, even without a link, is no place either.
    EXPECT_EQ(privateTempDirectory(shared), runtime + QStringLiteral("/quorel"));

    // A link planted where the private folder goes is never followed.
    ASSERT_TRUE(QDir(chosen).removeRecursively());
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, runtime + QStringLiteral("/quorel")));
    EXPECT_EQ(privateTempDirectory(linked), cache + QStringLiteral("/quorel"));
    EXPECT_EQ(modeOf(cache + QStringLiteral("/quorel")), 0700u);
    ScopedTempFile copy;
    ASSERT_TRUE(copy.create(privateTempDirectory(linked)));
    EXPECT_TRUE(copy.path().startsWith(cache + QStringLiteral("/quorel/")));
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    EXPECT_TRUE(QDir(shared).isEmpty());
}

TEST(ScopedTempFile, ANamedPipeIsMadeForItsOwnerAloneAndNeverOverAnExistingName)
{
    QTemporaryDir dir;
    QString path;
    {
        ScopedTempFile pipe;
        ASSERT_TRUE(pipe.createFifo(dir.path()));
        path = pipe.path();
        struct stat info { };
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
        EXPECT_EQ(modeOf(path), 0600u);
        // A name already taken, a planted link among them, is never a pipe.
        const QString planted = dir.filePath(QStringLiteral("planted"));
        ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("elsewhere")), planted));
        EXPECT_FALSE(createPrivateFifo(planted));
        EXPECT_FALSE(createPrivateFifo(path));
        QFile::remove(planted);
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}
