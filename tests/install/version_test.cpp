// The product's one version, as the built package shows it: its control
// fields, the changelog, the texts it installs and each program's --version.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kVersion = QStringLiteral(QUOREL_VERSION);

QByteArray output(const QString &program, const QStringList &args, int *status = nullptr)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LD_LIBRARY_PATH"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("QUOREL_BUILD_DIR"), QDir(QStringLiteral(QUOREL_BIN_DIR "/..")).absolutePath());
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(600000))
        p.kill();
    p.waitForFinished();
    if (status)
        *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

QString firstMatch(const QByteArray &text, const QString &pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption)
        .match(QString::fromUtf8(text))
        .captured(1);
}

TEST(PackageTest, OneVersionInTheMetadataTheTextsAndEveryProgram)
{
    const QString build = QDir(QStringLiteral(QUOREL_BIN_DIR "/..")).absolutePath();
    if (qEnvironmentVariableIsSet("QUOREL_SANITIZED"))
        GTEST_SKIP() << "packaged from the normal build only";
    if (!QFileInfo::exists(build + QStringLiteral("/CPackConfig.cmake"))
        || !QFileInfo::exists(QStringLiteral("/usr/bin/dpkg-deb"))) {
        if (qEnvironmentVariableIsSet("QUOREL_REQUIRE_PACKAGE_TEST"))
            FAIL() << "the package test has no build tree or dpkg-deb";
        GTEST_SKIP() << "no build tree to package or no dpkg-deb";
    }
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    int status = -1;
    const QString deb = QString::fromUtf8(
        output(QStringLiteral(QUOREL_SOURCE_DIR "/scripts/package"), {out.path()}, &status).trimmed())
                            .split(u'\n')
                            .last();
    ASSERT_EQ(status, 0);
    EXPECT_EQ(QFileInfo(deb).fileName(), QStringLiteral("quorel_%1_amd64.deb").arg(kVersion));
    EXPECT_EQ(firstMatch(output(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb}),
                  QStringLiteral("^Version: (.*)$")),
        kVersion);

    const QString root = out.filePath(QStringLiteral("root"));
    output(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root}, &status);
    ASSERT_EQ(status, 0);
    const QString opt = root + QStringLiteral("/opt/quorel/");
    const QString man = root + QStringLiteral("/usr/share/man/man1/");
    const struct {
        const char *what;
        QByteArray text;
        QString pattern;
    } texts[] = {
        {"changelog",
            output(QStringLiteral("gzip"),
                {QStringLiteral("-dc"), root + QStringLiteral("/usr/share/doc/quorel/changelog.gz")}),
            QStringLiteral("^quorel \\(([^)]+)\\) ")},
        {"readme.txt",
            output(QStringLiteral("head"), {QStringLiteral("-n1"), opt + QStringLiteral("readme.txt")}),
            QStringLiteral("^린드바트 \\(Quorel\\) (\\S+)$")},
        // The newest entry of the update notes comes first.
        {"updateinfo.rtf", output(QStringLiteral("cat"), {opt + QStringLiteral("updateinfo.rtf")}),
            QStringLiteral("\\\\fs22 (\\S+) \\\\u8212\\?")},
        {"quorel.1",
            output(QStringLiteral("gzip"), {QStringLiteral("-dc"), man + QStringLiteral("quorel.1.gz")}),
            QStringLiteral("^\\.TH .* \"Quorel ([^\"]+)\"")},
        {"namecodec.1",
            output(QStringLiteral("gzip"), {QStringLiteral("-dc"), man + QStringLiteral("namecodec.1.gz")}),
            QStringLiteral("^\\.TH .* \"Quorel ([^\"]+)\"")},
    };
    for (const auto &t : texts)
        EXPECT_EQ(firstMatch(t.text, t.pattern), kVersion) << t.what;

    // The packaged programs themselves, without a display.
    for (const char *program : {"Quorel", "Pellwick", "Corvale", "namecodec"}) {
        const QByteArray said
            = output(opt + QString::fromLatin1(program), {QStringLiteral("--version")}, &status);
        EXPECT_EQ(status, 0) << program;
        EXPECT_EQ(
            QString::fromUtf8(said), QStringLiteral("%1 %2\n").arg(QString::fromLatin1(program), kVersion));
    }
}

} // namespace
