#include "platform/scopedtempfile.h"
#include "platform/tempfile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

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
