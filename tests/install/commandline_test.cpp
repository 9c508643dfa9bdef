// The programs' own command lines, run as a user runs them from a terminal
// without a display: --help and --version answer, a mistake gets the usage
// and exit status 2, and none of it needs a screen.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kBin = QStringLiteral(QUOREL_BIN_DIR);
const QString kVersion = QStringLiteral(QUOREL_VERSION);

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome run(const QString &program, const QStringList &args)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Had a program asked for a window, the missing display would stop it.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(kBin + u'/' + program, args);
    Outcome r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    // A --version or --help must not have left a log or settings behind.
    EXPECT_TRUE(QDir(home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << program.toStdString() << " wrote into the home folder";
    return r;
}

const char *const kPrograms[] = {"Quorel", "Pellwick", "Corvale"};

TEST(CommandLine, VersionAndHelpAnswerWithoutADisplay)
{
    for (const char *name : kPrograms) {
        const QString program = QString::fromLatin1(name);
        SCOPED_TRACE(name);
        const Outcome version = run(program, {QStringLiteral("--version")});
        EXPECT_EQ(version.status, 0) << version.err.toStdString();
        EXPECT_EQ(version.out, program + u' ' + kVersion + u'\n');
        EXPECT_TRUE(version.err.isEmpty()) << version.err.toStdString();
        for (const QString &help : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            const Outcome usage = run(program, {help});
            EXPECT_EQ(usage.status, 0) << usage.err.toStdString();
            EXPECT_TRUE(usage.out.startsWith(QStringLiteral("사용법: %1 [옵션]").arg(program)))
                << usage.out.toStdString();
            EXPECT_TRUE(usage.out.contains(QStringLiteral("--version     버전을 보여 주고 끝냅니다.")))
                << usage.out.toStdString();
            EXPECT_TRUE(usage.err.isEmpty()) << usage.err.toStdString();
        }
    }
    const Outcome tool = run(QStringLiteral("namecodec"), {QStringLiteral("--version")});
    EXPECT_EQ(tool.status, 0);
    EXPECT_EQ(tool.out, QStringLiteral("namecodec ") + kVersion + u'\n');
}

TEST(CommandLine, AMistakeGetsTheUsageAndStatusTwo)
{
    struct Case {
        const char *program;
        QStringList args;
        const char *says;
    };
    const Case cases[] = {
        {"Quorel", {QStringLiteral("--bogus")}, "알 수 없는 옵션 '--bogus'입니다."},
        {"Quorel", {QStringLiteral("-x"), QStringLiteral("zone.db")}, "알 수 없는 옵션 '-x'입니다."},
        {"Pellwick", {QStringLiteral("--bogus")}, "알 수 없는 옵션 '--bogus'입니다."},
        {"Pellwick", {QStringLiteral("now")}, "인수를 받지 않습니다: now"},
        {"Corvale", {QStringLiteral("--verbose")}, "알 수 없는 옵션 '--verbose'입니다."},
        {"Corvale", {QStringLiteral("/opt/quorel")}, "인수를 받지 않습니다: /opt/quorel"},
    };
    for (const Case &c : cases) {
        const QString program = QString::fromLatin1(c.program);
        SCOPED_TRACE(c.program + (u' ' + c.args.join(u' ')).toStdString());
        const Outcome r = run(program, c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(program + QStringLiteral(": ") + QString::fromUtf8(c.says)))
            << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("사용법: %1 [옵션]").arg(program))) << r.err.toStdString();
    }
}

// Qt's own options belong to the application object, and the editor's
// switch and file are listed in its usage.
TEST(CommandLine, QtOptionsAreNoMistakeAndTheEditorListsItsOwn)
{
    const Outcome version = run(QStringLiteral("Quorel"),
        {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("-style=fusion"),
            QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("Quorel ") + kVersion + u'\n');
    const Outcome usage = run(QStringLiteral("Quorel"), {QStringLiteral("--help")});
    EXPECT_TRUE(usage.out.startsWith(QStringLiteral("사용법: Quorel [옵션] [파일]\n")))
        << usage.out.toStdString();
    EXPECT_TRUE(usage.out.contains(QStringLiteral("      --verbose     진단 기록을")))
        << usage.out.toStdString();
}

} // namespace
