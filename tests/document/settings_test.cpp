// Settings: the comment option's stored values, the 260-byte reader rule,
// the installation directory and the bundled samples, temporary names.
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "../support/testmain.h"
#include "platform/quorelids.h"
#include "platform/settings.h"
#include "platform/tempfile.h"

TEST(Settings, MachineValuesFollowTheBufferRule)
{
    QTemporaryDir dir;
    QSettings machine(dir.filePath(QStringLiteral("m.ini")), QSettings::IniFormat);
    machine.setValue(QStringLiteral("Fits"), QString(259, QLatin1Char('a')));
    machine.setValue(QStringLiteral("TooLong"), QString(260, QLatin1Char('a')));
    // 130 Hangul syllables are 390 bytes.
    machine.setValue(QStringLiteral("Hangul"), QString(130, QChar(0xD55C)));
    QString value = QStringLiteral("kept");
    EXPECT_TRUE(readMachineString(machine, QStringLiteral("Fits"), value));
    EXPECT_EQ(value.size(), 259);
    value = QStringLiteral("kept");
    EXPECT_FALSE(readMachineString(machine, QStringLiteral("TooLong"), value));
    EXPECT_FALSE(readMachineString(machine, QStringLiteral("Hangul"), value));
    EXPECT_FALSE(readMachineString(machine, QStringLiteral("Absent"), value));
    EXPECT_EQ(value, QStringLiteral("kept"));
}

TEST(Settings, InstallDirectoryAndSamples)
{
    QTemporaryDir dir;
    QSettings user(dir.filePath(QStringLiteral("u.ini")), QSettings::IniFormat);
    QSettings machine(dir.filePath(QStringLiteral("m.ini")), QSettings::IniFormat);
    QuorelSettings s(user, machine);
    EXPECT_EQ(s.commentOption(), 1);
    EXPECT_EQ(s.installDirectory(), QCoreApplication::applicationDirPath());
    EXPECT_EQ(s.samplePath(ids::templ::kZone),
        QCoreApplication::applicationDirPath() + QStringLiteral("/samples/sample.zone"));
    EXPECT_TRUE(s.samplePath(ids::templ::kGeneral).isEmpty());

    user.setValue(QStringLiteral("EnvOption/ProPathName"), QStringLiteral("/opt/quorel/"));
    machine.setValue(QStringLiteral("SampleReverseZonePath"), QStringLiteral("/srv/rev.zone"));
    EXPECT_EQ(s.tempDirectory(), QStringLiteral("/opt/quorel/temp"));
    EXPECT_EQ(s.samplePath(149), QStringLiteral("/srv/rev.zone"));
    EXPECT_EQ(s.samplePath(133), QStringLiteral("/opt/quorel/samples/vhost.conf"));
    // A value too long for the reader falls back to the bundled sample.
    machine.setValue(QStringLiteral("SampleZonePath"), QString(300, QLatin1Char('z')));
    EXPECT_EQ(s.samplePath(ids::templ::kZone), QStringLiteral("/opt/quorel/samples/sample.zone"));

    s.setRecentFiles({QStringLiteral("/a"), QStringLiteral("/b")});
    EXPECT_EQ(user.value(QStringLiteral("Recent File List/File2")).toString(), QStringLiteral("/b"));
    EXPECT_EQ(s.recentFiles(), (QStringList {QStringLiteral("/a"), QStringLiteral("/b")}));
}

TEST(TempFile, NamesAreFreshAndCreatedExclusively)
{
    QTemporaryDir dir;
    const QRegularExpression pattern(QStringLiteral("^conv_\\d+\\.tmp$"));
    const QString a = createTempFile(dir.path());
    const QString b = createTempFile(dir.path());
    ASSERT_FALSE(a.isEmpty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(pattern.match(QFileInfo(a).fileName()).hasMatch()) << a.toStdString();
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_TRUE(createTempFile(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

int main(int argc, char **argv)
{
    return runWidgetTests(argc, argv);
}
