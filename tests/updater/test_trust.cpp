// Signed packages, HTTPS and redirects, and the pellwick-pack tool that
// publishes updates, all run as real programs.
#include "pellwickfixture.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

struct ToolResult {
    int exitCode = -1;
    QString output;
    QString errors;
};

ToolResult runTool(const QString &program, const QStringList &arguments, const QString &workingDir = {})
{
    QProcess process;
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

class TrustTest : public PellwickTest {
protected:
    void SetUp() override
    {
        PellwickTest::SetUp();
        writeFile(path(QStringLiteral("stage/ae/notes.txt")), "new notes");
        writeFile(path(QStringLiteral("stage/id/libnamecodec.so")), "codec");
        writeFile(
            path(QStringLiteral("update.txt")), "write ae:\\notes.txt\r\nwrite id:\\libnamecodec.so\r\n");
    }

    ToolResult pack(QStringList extra, const QString &version = QStringLiteral("130"))
    {
        QStringList arguments {QStringLiteral("--script"), path(QStringLiteral("update.txt")),
            QStringLiteral("--files"), path(QStringLiteral("stage")), QStringLiteral("--version"), version,
            QStringLiteral("--url"), serverUrl() + QStringLiteral("/pkg/update.pak"), QStringLiteral("--out"),
            path(QStringLiteral("www"))};
        return runTool(QStringLiteral(QUOREL_BIN_DIR "/pellwick-pack"), arguments + extra);
    }

    // A fresh Ed25519 key pair: the private key file, and the public key as UpdateKey wants it.
    QString makeSigningKey(const QString &name, QString *publicKey)
    {
        const QString file = path(name);
        const ToolResult made = runTool(QStringLiteral("openssl"),
            {QStringLiteral("genpkey"), QStringLiteral("-algorithm"), QStringLiteral("ed25519"),
                QStringLiteral("-out"), file});
        EXPECT_EQ(made.exitCode, 0) << made.errors.toStdString();
        const ToolResult shown = runTool(
            QStringLiteral(QUOREL_BIN_DIR "/pellwick-pack"), {QStringLiteral("--public-key"), file});
        EXPECT_EQ(shown.exitCode, 0) << shown.errors.toStdString();
        *publicKey = shown.output.trimmed();
        return file;
    }

    bool downloaded() const
    {
        return setting("IsUpdate").toInt() == 1 && exists(installPath(QStringLiteral("autoupcab.tmp")));
    }
};

TEST_F(TrustTest, PackedUpdateIsDownloadedAndInstalled)
{
    startServer();
    const ToolResult packed = pack({});
    ASSERT_EQ(packed.exitCode, 0) << packed.errors.toStdString();
    ASSERT_EQ(runPellwick(), 0);
    ASSERT_TRUE(downloaded());
    ASSERT_EQ(runPellwick(), 0);
    EXPECT_EQ(readFile(installPath(QStringLiteral("notes.txt"))), "new notes");
    EXPECT_EQ(readFile(installPath(QStringLiteral("lib/idn/libnamecodec.so"))), "codec");
    EXPECT_EQ(setting("Version").toUInt(), 130u);
}

TEST_F(TrustTest, WithAKeyOnlyAPackageSignedForTheAnnouncedVersionIsAccepted)
{
    startServer();
    QString publicKey;
    QString otherPublicKey;
    const QString key = makeSigningKey(QStringLiteral("sign.pem"), &publicKey);
    const QString otherKey = makeSigningKey(QStringLiteral("other.pem"), &otherPublicKey);
    ASSERT_EQ(publicKey.size(), 44);

    const QString conv = webPath(QStringLiteral("autoupdate/conv/"));
    struct Case {
        const char *name;
        std::function<void()> prepare;
        QString updateKey;
        bool accepted;
    };
    const Case cases[] = {
        {"signed",
            [&] {
                ASSERT_EQ(pack({QStringLiteral("--sign-key"), key}).exitCode, 0);
            },
            publicKey, true},
        {"no key: the checksum alone decides", [&] { ASSERT_EQ(pack({}).exitCode, 0); }, QString(), true},
        {"unsigned", [&] { ASSERT_EQ(pack({}).exitCode, 0); }, publicKey, false},
        {"signed by another key",
            [&] {
                ASSERT_EQ(pack({QStringLiteral("--sign-key"), otherKey}).exitCode, 0);
            },
            publicKey, false},
        {"signed for another version",
            [&] {
                ASSERT_EQ(pack({QStringLiteral("--sign-key"), key}, QStringLiteral("130")).exitCode, 0);
                const QByteArray line = readFile(conv + QStringLiteral("verinfo.html"));
                writeFile(conv + QStringLiteral("verinfo.html"), "131" + line.mid(3));
            },
            publicKey, false},
        {"package and checksum replaced",
            [&] {
                ASSERT_EQ(pack({QStringLiteral("--sign-key"), key}).exitCode, 0);
                const QByteArray signature = readFile(conv + QStringLiteral("checksum.sig"));
                writeFile(path(QStringLiteral("stage/ae/notes.txt")), "evil notes");
                ASSERT_EQ(pack({}).exitCode, 0);
                writeFile(conv + QStringLiteral("checksum.sig"), signature);
                writeFile(path(QStringLiteral("stage/ae/notes.txt")), "new notes");
            },
            publicKey, false},
        {"signature not base64",
            [&] {
                ASSERT_EQ(pack({QStringLiteral("--sign-key"), key}).exitCode, 0);
                writeFile(conv + QStringLiteral("checksum.sig"), "not a signature!\n");
            },
            publicKey, false},
        {"unusable key setting",
            [&] {
                ASSERT_EQ(pack({QStringLiteral("--sign-key"), key}).exitCode, 0);
            },
            QStringLiteral("c2hvcnQ="), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(conv + QStringLiteral("checksum.sig"));
        removeSetting("LastDay");
        removeSetting("IsUpdate");
        setSetting("UpdateKey", c.updateKey);
        c.prepare();
        ASSERT_EQ(runPellwick(), c.accepted ? 0 : 1);
        EXPECT_EQ(downloaded(), c.accepted);
        if (!c.accepted) {
            EXPECT_FALSE(exists(installPath(QStringLiteral("autoupcab.tmp"))));
            const QString pass = logText().section(QStringLiteral("업데이트를 시작합니다"), -1);
            EXPECT_TRUE(pass.contains(QStringLiteral("오류: 패키지 서명"))
                || pass.contains(QStringLiteral("오류: 알린 버전")))
                << pass.toStdString();
        }
        QFile::remove(installPath(QStringLiteral("autoupcab.tmp")));
    }
}

class HttpsTest : public TrustTest {
protected:
    void SetUp() override
    {
        TrustTest::SetUp();
        const QString dir = path(QStringLiteral("tls"));
        QDir().mkpath(dir);
        writeFile(
            dir + QStringLiteral("/server.ext"), "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n");
        const QList<QStringList> steps = {
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                QStringLiteral("-nodes"), QStringLiteral("-keyout"), QStringLiteral("ca.key"),
                QStringLiteral("-out"), QStringLiteral("ca.pem"), QStringLiteral("-days"),
                QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=Pellwick test CA")},
            {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                QStringLiteral("-nodes"), QStringLiteral("-keyout"), QStringLiteral("server.key"),
                QStringLiteral("-out"), QStringLiteral("server.csr"), QStringLiteral("-subj"),
                QStringLiteral("/CN=127.0.0.1")},
            {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
                QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                QStringLiteral("server.ext"), QStringLiteral("-out"), QStringLiteral("server.pem")},
        };
        for (const QStringList &step : steps) {
            const ToolResult made = runTool(QStringLiteral("openssl"), step, dir);
            ASSERT_EQ(made.exitCode, 0) << made.errors.toStdString();
        }
        m_tls.certificate = dir + QStringLiteral("/server.pem");
        m_tls.key = dir + QStringLiteral("/server.key");
    }

    QProcessEnvironment trustingTestCa() const
    {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PELLWICK_CA_FILE"), path(QStringLiteral("tls/ca.pem")));
        return environment;
    }

    TestServer::Options m_tls;
};

TEST_F(HttpsTest, AllFilesComeOverHttpsWithCertificatesChecked)
{
    startServer(m_tls);
    ASSERT_TRUE(serverUrl().startsWith(QStringLiteral("https://")));
    ASSERT_EQ(pack({}).exitCode, 0);

    ASSERT_EQ(runPellwick(), 1); // the test CA is not trusted by default
    EXPECT_EQ(setting("LastDay").toString(), QString::number(today()));
    EXPECT_FALSE(setting("CurrentVer").isValid());
    EXPECT_TRUE(requests().isEmpty());

    removeSetting("LastDay");
    ASSERT_EQ(runPellwick(kToday, trustingTestCa()), 0);
    EXPECT_TRUE(downloaded());
    EXPECT_EQ(requests().size(), 3);
}

TEST_F(HttpsTest, RedirectFromHttpsToHttpIsRefused)
{
    TestServer plain(path(QStringLiteral("www")), path(QStringLiteral("plain.log")), {});
    ASSERT_GT(plain.port(), 0);
    TestServer::Options options = m_tls;
    options.redirects << QStringLiteral("/pkg/update.pak=") + plain.baseUrl()
            + QStringLiteral("/pkg/update.pak")
                      << QStringLiteral("/pkg/moved.pak=/pkg/real.pak");
    startServer(options);
    ASSERT_EQ(pack({}).exitCode, 0);

    ASSERT_EQ(runPellwick(kToday, trustingTestCa()), 1);
    EXPECT_FALSE(downloaded());
    EXPECT_TRUE(readFile(path(QStringLiteral("plain.log"))).isEmpty()) << "the plain server was asked";
    EXPECT_TRUE(logText().contains(QStringLiteral("HTTPS에서 HTTP로 넘어가는 주소는 따르지 않습니다")))
        << logText().toStdString();

    // A redirect that stays on HTTPS is followed.
    writeFile(webPath(QStringLiteral("pkg/real.pak")), readFile(webPath(QStringLiteral("pkg/update.pak"))));
    const QString conv = webPath(QStringLiteral("autoupdate/conv/verinfo.html"));
    writeFile(conv, readFile(conv).replace("/pkg/update.pak", "/pkg/moved.pak"));
    removeSetting("LastDay");
    ASSERT_EQ(runPellwick(kToday, trustingTestCa()), 0);
    EXPECT_TRUE(downloaded());
}

// A version file that came over HTTPS may not send the package over plain
// HTTP, where anyone on the way could replace it together with nothing else.
TEST_F(HttpsTest, PlainHttpPackageAnnouncedOverHttpsIsRefused)
{
    TestServer plain(path(QStringLiteral("www")), path(QStringLiteral("plain.log")), {});
    ASSERT_GT(plain.port(), 0);
    startServer(m_tls);
    ASSERT_EQ(pack({}).exitCode, 0);
    const QString conv = webPath(QStringLiteral("autoupdate/conv/verinfo.html"));
    for (const QString &scheme : {QStringLiteral("http://"), QStringLiteral("HTTP://")}) {
        SCOPED_TRACE(scheme.toStdString());
        writeFile(conv, "130 86400 " + (scheme + plain.baseUrl().mid(7)).toUtf8() + "/pkg/update.pak\n");
        removeSetting("LastDay");
        ASSERT_EQ(runPellwick(kToday, trustingTestCa()), 1);
        EXPECT_FALSE(downloaded());
        EXPECT_EQ(setting("CurrentVer").toUInt(), 130u);
        EXPECT_TRUE(readFile(path(QStringLiteral("plain.log"))).isEmpty()) << "the plain server was asked";
        EXPECT_TRUE(logText().contains(QStringLiteral("HTTPS가 아닌 패키지 주소")))
            << logText().toStdString();
    }

    // Over HTTPS the same announcement is taken.
    writeFile(conv, "130 86400 " + serverUrl().toUtf8() + "/pkg/update.pak\n");
    removeSetting("LastDay");
    ASSERT_EQ(runPellwick(kToday, trustingTestCa()), 0);
    EXPECT_TRUE(downloaded());
}

TEST_F(TrustTest, PackToolRefusesScriptsThatCannotInstallCleanly)
{
    startServer();
    QByteArray hundred;
    for (int i = 0; i < 100; ++i)
        hundred += "write ae:\\notes.txt\n";
    struct Case {
        const char *name;
        QByteArray script;
        const char *message;
    };
    const Case cases[] = {
        {"blank line", "md ae:\\a\n\nwrite ae:\\notes.txt\n", "빈 줄"},
        {"climbing path", "write ae:\\..\\notes.txt\n", "경로는"},
        {"unknown prefix", "md xx:\\a\n", "ae:, id:, wd:"},
        {"unknown command", "copy ae:\\a ae:\\b\n", "명령은"},
        {"missing staged file", "write wd:\\absent.so\n", "파일을 읽을 수 없습니다"},
        {"hundred writes", hundred, "99개"},
        {"script too long", "md ae:\\" + QByteArray(4100, 'd') + "\n", "너무 깁니다"},
        {"the updater's journal", "del ae:\\pellwick.journal\n", "업데이트 프로그램의 파일"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path(QStringLiteral("update.txt")), c.script);
        const ToolResult result = pack({});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.errors.contains(QString::fromUtf8(c.message))) << result.errors.toStdString();
        EXPECT_FALSE(exists(webPath(QStringLiteral("autoupdate/conv/verinfo.html"))));
    }
}

// Publishing again replaces each file whole and keeps the mode the server's
// administrator gave it; nothing half-written is left beside the files.
TEST_F(TrustTest, RepublishingKeepsModesAndLeavesNoPartialFiles)
{
    startServer();
    const ToolResult first = pack({});
    ASSERT_EQ(first.exitCode, 0) << first.errors.toStdString();
    const QString conv = webPath(QStringLiteral("autoupdate/conv"));
    const QByteArray checksum = QFile::encodeName(conv + QStringLiteral("/checksum.html"));
    ASSERT_EQ(::chmod(checksum.constData(), 0640), 0);
    writeFile(path(QStringLiteral("stage/ae/notes.txt")), "newer notes");

    const ToolResult again = pack({}, QStringLiteral("131"));
    ASSERT_EQ(again.exitCode, 0) << again.errors.toStdString();
    struct stat st { };
    ASSERT_EQ(::stat(checksum.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(readFile(conv + QStringLiteral("/verinfo.html")).startsWith("131 "));
    EXPECT_EQ(QDir(conv).entryList(QDir::Files | QDir::Hidden, QDir::Name),
        (QStringList {QStringLiteral("checksum.html"), QStringLiteral("verinfo.html")}));
}

} // namespace
