// CFtpSession against a real pyftpdlib server.
#include "ftptestserver.h"

#include "ftp/ftpfoldertree.h"
#include "ftp/ftpsession.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

#include <curl/curl.h>

#include <atomic>
#include <thread>

int closedLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 1;
    const int port = probe.serverPort();
    probe.close();
    return port;
}

namespace {

QStringList namesOf(const std::vector<FtpFileInfo> &entries)
{
    QStringList names;
    for (const FtpFileInfo &e : entries)
        names << (e.isFolder ? QStringLiteral("D:") : QStringLiteral("F:")) + e.name;
    return names;
}

class FtpSessionTest : public ::testing::Test {
protected:
    FtpTestServer server;
    CFtpSession session;
    QTemporaryDir local;

    void connect(bool passive = true)
    {
        ASSERT_TRUE(session.connect(server.entry(passive))) << session.lastErrorText().toStdString();
    }
};

TEST_F(FtpSessionTest, ListsMovesAndTransfersInPassiveAndActiveMode)
{
    server.write(QStringLiteral("top.zone"), "a\n");
    server.write(QStringLiteral("한글 폴더/안쪽.txt"), "inner\n");
    server.mkdir(QStringLiteral("empty"));
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        connect(passive);
        EXPECT_EQ(session.currentDirectory(), QStringLiteral("/"));
        auto entries = session.list();
        ASSERT_TRUE(entries) << entries.error().text.toStdString();
        QStringList names = namesOf(*entries);
        names.sort();
        EXPECT_EQ(names,
            (QStringList {
                QStringLiteral("D:empty"), QStringLiteral("D:한글 폴더"), QStringLiteral("F:top.zone")}));
        for (const FtpFileInfo &e : *entries) {
            if (e.name == QLatin1String("top.zone")) {
                EXPECT_EQ(e.size, 2);
                EXPECT_TRUE(e.modified.isValid());
            }
        }

        ASSERT_TRUE(session.setCurrentDirectory(QStringLiteral("한글 폴더")));
        EXPECT_EQ(session.currentDirectory(), QStringLiteral("/한글 폴더"));
        entries = session.list();
        ASSERT_TRUE(entries);
        EXPECT_TRUE(namesOf(*entries).contains(QStringLiteral("F:안쪽.txt")));
        ASSERT_TRUE(session.download(QStringLiteral("안쪽.txt"), local.path()));
        EXPECT_EQ(session.localPath(), local.filePath(QStringLiteral("안쪽.txt")));
        QFile got(session.localPath());
        ASSERT_TRUE(got.open(QIODevice::ReadOnly));
        EXPECT_EQ(got.readAll(), QByteArray("inner\n"));

        ASSERT_TRUE(session.setCurrentDirectory(QStringLiteral("/empty")));
        entries = session.list();
        ASSERT_TRUE(entries) << entries.error().text.toStdString();
        EXPECT_TRUE(entries->empty());

        // An upload names its directory; the session's own stays where it is.
        FtpServerEntry target = server.entry(passive);
        target.remoteDirectory = QStringLiteral("/한글 폴더");
        target.remoteFileName
            = passive ? QStringLiteral("up-passive.conf") : QStringLiteral("up-active.conf");
        QFile source(local.filePath(QStringLiteral("source")));
        ASSERT_TRUE(source.open(QIODevice::WriteOnly));
        source.write(QByteArray(100000, 'x'));
        source.close();
        ASSERT_TRUE(session.upload(target, source.fileName()));
        EXPECT_EQ(server.read(QStringLiteral("한글 폴더/") + target.remoteFileName), QByteArray(100000, 'x'));
        EXPECT_EQ(session.currentDirectory(), QStringLiteral("/empty"));
        session.close();
    }
    // Active mode really made the server connect back (PORT/EPRT).
    EXPECT_TRUE(
        server.log().contains(QLatin1String("EPRT")) || server.log().contains(QLatin1String("PORT ")));
}

TEST_F(FtpSessionTest, FailuresCarryKoreanTexts)
{
    FtpServerEntry wrong = server.entry();
    wrong.password = QStringLiteral("nope");
    auto refused = session.connect(wrong);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, FtpError::Kind::LoginDenied);
    EXPECT_TRUE(refused.error().text.startsWith(QStringLiteral("FTP 서버에 로그인할 수 없습니다.")));
    EXPECT_EQ(session.lastErrorText(), refused.error().text);
    EXPECT_FALSE(session.isConnected());

    FtpServerEntry nobody = server.entry();
    nobody.port = closedLoopbackPort();
    auto noServer = session.connect(nobody);
    ASSERT_FALSE(noServer);
    EXPECT_EQ(noServer.error().kind, FtpError::Kind::ConnectionRefused);
    EXPECT_TRUE(noServer.error().text.startsWith(QStringLiteral("FTP 서버에 연결할 수 없습니다.")));

    FtpServerEntry unknownHost = server.entry();
    unknownHost.address = QStringLiteral("no-such-host.invalid");
    auto noHost = session.connect(unknownHost);
    ASSERT_FALSE(noHost);
    EXPECT_EQ(noHost.error().kind, FtpError::Kind::HostNotFound);

    connect();
    auto missing = session.setCurrentDirectory(QStringLiteral("no-such-dir"));
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.error().isServerReply());
    EXPECT_EQ(missing.error().replyCode, 550);
    EXPECT_EQ(session.currentDirectory(), QStringLiteral("/"));
    auto missingFile = session.download(QStringLiteral("absent.txt"), local.path());
    ASSERT_FALSE(missingFile);
    EXPECT_TRUE(missingFile.error().isServerReply());
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("absent.txt"))));
    EXPECT_TRUE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "no partial file left";
}

TEST_F(FtpSessionTest, RemoteNamesNeverLeaveTheLocalFolder)
{
    QTemporaryDir outer;
    const QString folder = outer.filePath(QStringLiteral("Quindale"));
    server.write(QStringLiteral("victim"), "server\n");
    connect();
    for (const char *name : {"../victim", "..", "/victim", "sub/victim", "a\\b"}) {
        SCOPED_TRACE(name);
        auto result = session.download(QString::fromUtf8(name), folder);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind, FtpError::Kind::Refused);
        EXPECT_TRUE(result.error().text.contains(QStringLiteral("로컬 FTP 폴더 밖")));
    }
    EXPECT_FALSE(QFileInfo::exists(outer.filePath(QStringLiteral("victim"))));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/victim")));
    // Commands cannot be smuggled in through a name either.
    auto smuggled = session.createDirectory(QStringLiteral("x\r\nDELE victim"));
    ASSERT_FALSE(smuggled);
    EXPECT_TRUE(server.exists(QStringLiteral("victim")));
}

TEST_F(FtpSessionTest, FolderTreeDeleteGoesDeepestFirstAndStopsAtARefusal)
{
    server.write(QStringLiteral("tree/a.txt"), "1");
    server.write(QStringLiteral("tree/sub/b.txt"), "2");
    server.write(QStringLiteral("tree/sub/deeper/c.txt"), "3");
    connect();
    QStringList steps;
    auto status = [&steps](const QString &s) { steps << s; };
    ASSERT_TRUE(deleteFolderTree(session, QStringLiteral("tree"), status));
    EXPECT_EQ(steps,
        (QStringList {QStringLiteral("이 \"a.txt\" 파일을 잘 지웠습니다."),
            QStringLiteral("이 \"b.txt\" 파일을 잘 지웠습니다."),
            QStringLiteral("이 \"c.txt\" 파일을 잘 지웠습니다."),
            QStringLiteral("Deleting Folder \"deeper\""), QStringLiteral("이 \"deeper\" 폴더 잘 지웠습니다."),
            QStringLiteral("Deleting Folder \"sub\""), QStringLiteral("이 \"sub\" 폴더 잘 지웠습니다."),
            QStringLiteral("Deleting Folder \"tree\""), QStringLiteral("이 \"tree\" 폴더 잘 지웠습니다.")}));
    EXPECT_FALSE(server.exists(QStringLiteral("tree")));
    EXPECT_EQ(session.currentDirectory(), QStringLiteral("/"));
}

TEST(FtpSessionRefusal, AFolderDeleteStoppedPartWayReturnsToItsStartDirectory)
{
    FtpTestServer::Options options;
    options.refuseDelete << QStringLiteral("locked.txt");
    FtpTestServer server(options);
    server.write(QStringLiteral("home/tree/sub/locked.txt"), "keep");
    server.write(QStringLiteral("home/tree/sub/later.txt"), "keep too");
    server.write(QStringLiteral("home/tree/first.txt"), "gone");
    CFtpSession session;
    ASSERT_TRUE(session.connect(server.entry()));
    ASSERT_TRUE(session.setCurrentDirectory(QStringLiteral("/home")));
    QStringList steps;
    auto result
        = deleteFolderTree(session, QStringLiteral("tree"), [&steps](const QString &s) { steps << s; });
    ASSERT_FALSE(result);
    EXPECT_EQ(steps.last(), QStringLiteral("이 \"locked.txt\" : 파일 지우다가 에러났습니다."));
    EXPECT_FALSE(server.exists(QStringLiteral("home/tree/first.txt")));
    EXPECT_TRUE(server.exists(QStringLiteral("home/tree/sub/locked.txt")));
    // Back where the delete started, so the next upload lands there.
    EXPECT_EQ(session.currentDirectory(), QStringLiteral("/home"));
    FtpServerEntry target = server.entry();
    target.remoteDirectory = session.currentDirectory();
    target.remoteFileName = QStringLiteral("after.txt");
    QTemporaryDir local;
    QFile f(local.filePath(QStringLiteral("after.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("after");
    f.close();
    ASSERT_TRUE(session.upload(target, f.fileName()));
    EXPECT_TRUE(server.exists(QStringLiteral("home/after.txt")));
}

TEST(FtpSessionDrop, TheStateCheckFindsAConnectionTheServerDropped)
{
    FtpTestServer::Options options;
    options.idleTimeout = 1;
    FtpTestServer server(options);
    CFtpSession session;
    ASSERT_TRUE(session.connect(server.entry()));
    EXPECT_TRUE(session.checkConnection());
    ASSERT_TRUE(server.waitForIdleDrops()) << "the server never dropped the idle connection\n"
                                           << server.log().toStdString();
    EXPECT_FALSE(session.checkConnection());
    EXPECT_FALSE(session.isConnected());
}

TEST(FtpSessionCancel, ACancelledDownloadLeavesNoFile)
{
    FtpTestServer::Options options;
    options.throttle = 64 * 1024;
    FtpTestServer server(options);
    server.write(QStringLiteral("big.bin"), QByteArray(2 * 1024 * 1024, 'z'));
    CFtpSession session;
    ASSERT_TRUE(session.connect(server.entry()));
    QTemporaryDir local;
    // Cancel once the first bytes are in. A transfer that never starts must
    // not keep this thread (and the test) waiting: it cancels anyway at the
    // deadline, and the test fails saying why.
    std::atomic<bool> sawBytes {false};
    std::atomic<bool> returned {false};
    std::thread canceller([&session, &sawBytes, &returned] {
        const QDeadlineTimer deadline(20000);
        while (session.transferredBytes() == 0 && !returned && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sawBytes = session.transferredBytes() > 0;
        session.requestCancel();
    });
    QElapsedTimer timer;
    timer.start();
    auto result = session.download(QStringLiteral("big.bin"), local.path(), 2 * 1024 * 1024);
    returned = true;
    canceller.join();
    ASSERT_TRUE(sawBytes) << "no byte of the download arrived within 20 s";
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, FtpError::Kind::Cancelled);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

} // namespace

namespace {

// A throwaway certificate for 127.0.0.1, made with the openssl tool.
QString makeCertificate(const QTemporaryDir &dir)
{
    const QString pem = dir.filePath(QStringLiteral("server.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
            QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
            QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
            QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
            QStringLiteral("-keyout"), pem, QStringLiteral("-out"),
            dir.filePath(QStringLiteral("cert.pem"))});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return {};
    // pyftpdlib takes the key and the certificate from one file.
    QFile key(pem);
    QFile cert(dir.filePath(QStringLiteral("cert.pem")));
    if (!key.open(QIODevice::Append) || !cert.open(QIODevice::ReadOnly))
        return {};
    key.write(cert.readAll());
    return pem;
}

TEST(FtpSessionTls, ExplicitTlsChecksTheCertificateBeforeTheLogIn)
{
    QTemporaryDir certs;
    const QString pem = makeCertificate(certs);
    ASSERT_FALSE(pem.isEmpty());
    FtpTestServer::Options options;
    options.certificate = pem;
    FtpTestServer server(options);
    server.mkdir(QStringLiteral("secure"));
    FtpServerEntry entry = server.entry();
    entry.protocol = FtpServerEntry::Protocol::Ftps;

    // A certificate no known authority signed is refused before log-in.
    CFtpSession untrusting;
    auto refused = untrusting.connect(entry);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().text.startsWith(QStringLiteral("FTP 서버의 인증서를 믿을 수 없습니다.")))
        << refused.error().text.toStdString();
    EXPECT_FALSE(server.log().contains(QLatin1String("USER")));

    // Trusted: log-in and commands go over TLS. (Transfers over the TLS data
    // channel are not shown here: pyftpdlib 1.5.7 drops the data connection
    // that libcurl 7.88 secures, and the curl tool fails the same way.)
    CFtpSession session;
    session.setCaFile(certs.filePath(QStringLiteral("cert.pem")));
    ASSERT_TRUE(session.connect(entry)) << session.lastErrorText().toStdString();
    ASSERT_TRUE(session.setCurrentDirectory(QStringLiteral("secure")));
    EXPECT_EQ(session.currentDirectory(), QStringLiteral("/secure"));
    ASSERT_TRUE(session.createDirectory(QStringLiteral("made over tls")));
    EXPECT_TRUE(server.exists(QStringLiteral("secure/made over tls")));
    const QString log = server.log();
    EXPECT_TRUE(log.contains(QLatin1String("<- AUTH TLS")));
    EXPECT_TRUE(log.contains(QLatin1String("<- PROT P")));
    EXPECT_LT(log.indexOf(QLatin1String("<- AUTH TLS")), log.indexOf(QLatin1String("<- USER")))
        << "no password in clear";

    // Plain FTP to a server that asks for TLS gets no further than its refusal.
    CFtpSession plain;
    EXPECT_FALSE(plain.connect(server.entry()));
}

} // namespace

namespace {

// A chrooted log-in (and pyftpdlib's) starts in "/", where the browser's
// "<folder>/<name>" is "//name".
TEST_F(FtpSessionTest, RenamesAFileInTheLogInFolder)
{
    server.write(QStringLiteral("top.conf"), "top");
    server.write(QStringLiteral("second.conf"), "second");
    server.write(QStringLiteral("third.conf"), "third");
    connect();
    ASSERT_EQ(session.currentDirectory(), QStringLiteral("/"));
    const struct {
        const char *from;
        const char *to;
        const char *renamed;
    } cases[] = {
        {"top.conf", "top-renamed.conf", "top-renamed.conf"},
        {"/second.conf", "/second-renamed.conf", "second-renamed.conf"},
        {"//third.conf", "//third-renamed.conf", "third-renamed.conf"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.from);
        auto renamed = session.rename(QString::fromUtf8(c.from), QString::fromUtf8(c.to));
        ASSERT_TRUE(renamed) << renamed.error().text.toStdString();
        EXPECT_TRUE(server.exists(QString::fromUtf8(c.renamed)));
        EXPECT_FALSE(server.exists(QString::fromUtf8(c.from)));
    }
    const QString log = server.log();
    EXPECT_TRUE(log.contains(QLatin1String("<- RNFR /top.conf")));
    EXPECT_TRUE(log.contains(QLatin1String("<- RNTO /third-renamed.conf")));
    EXPECT_FALSE(log.contains(QLatin1String("RNFR //"))) << "a doubled slash reads as another path elsewhere";

    // The folder itself is no entry of it.
    auto root = session.rename(QStringLiteral("/"), QStringLiteral("/elsewhere"));
    ASSERT_FALSE(root);
    EXPECT_EQ(root.error().kind, FtpError::Kind::Refused);
    EXPECT_FALSE(server.log().contains(QLatin1String("RNFR /\n")));
}

// A transfer broken off ends libcurl's connection with it, and the next
// command logs in again, in the log-in folder: a bare name must still mean
// the folder the browser shows.
TEST(FtpSessionRename, ANameMeansTheCurrentDirectoryEvenAfterALogInAgain)
{
    FtpTestServer::Options options;
    options.growOnDownload << qMakePair(QStringLiteral("grows.log"), 8 * 1024 * 1024);
    FtpTestServer server(options);
    server.write(QStringLiteral("inner.conf"), "in the log-in folder");
    server.write(QStringLiteral("site/inner.conf"), "in site");
    server.write(QStringLiteral("site/grows.log"), QByteArray(64 * 1024, 'g'));
    CFtpSession session;
    ASSERT_TRUE(session.connect(server.entry()));
    ASSERT_TRUE(session.setCurrentDirectory(QStringLiteral("site")));
    QTemporaryDir local;
    ASSERT_FALSE(session.download(QStringLiteral("grows.log"), local.path()));
    auto renamed = session.rename(QStringLiteral("inner.conf"), QStringLiteral("moved.conf"));
    ASSERT_TRUE(renamed) << renamed.error().text.toStdString();
    EXPECT_EQ(server.read(QStringLiteral("site/moved.conf")), QByteArray("in site"));
    EXPECT_EQ(server.read(QStringLiteral("inner.conf")), QByteArray("in the log-in folder"));
    EXPECT_EQ(server.log().count(QLatin1String("<- USER quorel")), 2) << "the rename logged in anew";
}

} // namespace

namespace {

TEST_F(FtpSessionTest, NamesWithALineBreakAreLeftOutOfTheListingAndCounted)
{
    server.write(QStringLiteral("good.zone"), "ok");
    server.mkdir(QStringLiteral("folder"));
    server.write(QStringLiteral("folder/plain.txt"), "p");
    // Linux allows any byte but "/" in a name; pyftpdlib lists such names
    // as they are.
    for (const char *bad : {"carriage\rreturn.txt", "ends in cr\r", "line\nfeed.txt"})
        server.write(QString::fromUtf8(bad), "x");
    connect();
    auto entries = session.list();
    ASSERT_TRUE(entries) << entries.error().text.toStdString();
    QStringList names = namesOf(*entries);
    names.sort();
    EXPECT_EQ(names, (QStringList {QStringLiteral("D:folder"), QStringLiteral("F:good.zone")}));
    EXPECT_EQ(session.skippedEntries(), 3);
    for (const FtpFileInfo &e : *entries) {
        if (e.name == QLatin1String("good.zone")) {
            EXPECT_EQ(e.size, 2);
            EXPECT_TRUE(e.modified.isValid());
        }
    }
    // The count is the last listing's.
    ASSERT_TRUE(session.setCurrentDirectory(QStringLiteral("folder")));
    entries = session.list();
    ASSERT_TRUE(entries);
    EXPECT_EQ(namesOf(*entries), QStringList {QStringLiteral("F:plain.txt")});
    EXPECT_EQ(session.skippedEntries(), 0);
}

// libcurl's messages are English; none of them may reach a user, whatever
// the failure, over either protocol.
TEST(FtpErrorTexts, NoCurlMessageReachesTheText)
{
    const QRegularExpression hangul(QStringLiteral("[\\x{AC00}-\\x{D7A3}]"));
    for (int code = 1; code < CURL_LAST; ++code) {
        SCOPED_TRACE(code);
        const QString english = QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(code)));
        const FtpError ftp = ftpErrorFor(code, 226, QStringLiteral("226 Transfer complete."));
        EXPECT_FALSE(ftp.text.contains(english)) << ftp.text.toStdString();
        EXPECT_TRUE(ftp.text.contains(hangul)) << ftp.text.toStdString();
        const QString curlMessage = QStringLiteral("libcurl says: ") + english;
        const FtpError sftp = sftpErrorFor(code, curlMessage, SshHostKeyProblem::None, {});
        EXPECT_FALSE(sftp.text.contains(curlMessage)) << sftp.text.toStdString();
        EXPECT_TRUE(sftp.text.contains(hangul)) << sftp.text.toStdString();
    }
    // A listing libcurl cannot parse.
    EXPECT_EQ(ftpErrorFor(CURLE_FTP_BAD_FILE_LIST, 226, {}).text,
        QStringLiteral("FTP 서버가 보낸 파일 목록을 읽을 수 없습니다."));
    // The SFTP status of a refused command, in Korean.
    const FtpError refused = sftpErrorFor(CURLE_QUOTE_ERROR,
        QStringLiteral("rename command failed: File already exists"), SshHostKeyProblem::None, {});
    EXPECT_TRUE(refused.isServerReply());
    EXPECT_EQ(
        refused.text, QStringLiteral("SFTP 서버가 요청을 거절했습니다.\n(서버 응답: 같은 이름이 이미 있음)"));
}

// A file that grows between the size the server gave and the data it sends
// (a log being written to): whatever the growth, the download stops and
// keeps nothing, and the text says so instead of blaming the server.
TEST(FtpSessionOversized, AFileLargerThanAnnouncedIsStoppedAndNotKept)
{
    const struct {
        const char *name;
        int size;
        int growth;
    } cases[] = {
        {"small.log", 1000, 1}, // all of it in the socket before libcurl stopped
        {"medium.log", 64 * 1024, 100 * 1000},
        {"big.log", 1024 * 1024, 8 * 1024 * 1024}, // the server still sending
    };
    FtpTestServer::Options options;
    for (const auto &c : cases)
        options.growOnDownload << qMakePair(QString::fromUtf8(c.name), c.growth);
    FtpTestServer server(options);
    server.write(QStringLiteral("steady.txt"), QByteArray(5000, 's'));
    CFtpSession session;
    ASSERT_TRUE(session.connect(server.entry()));
    QTemporaryDir local;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        server.write(QString::fromUtf8(c.name), QByteArray(c.size, 'a'));
        auto result = session.download(QString::fromUtf8(c.name), local.path(), c.size);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind, FtpError::Kind::Oversized);
        EXPECT_EQ(result.error().text,
            QStringLiteral("서버의 파일이 알려 준 크기보다 커서 받기를 멈추었습니다. 받은 부분은 저장하지 "
                           "않았습니다."));
        EXPECT_TRUE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "nothing kept";
    }
    // The session goes on; the size it checks is the server's, not the
    // listing's (the file may have changed since it was listed).
    auto steady = session.download(QStringLiteral("steady.txt"), local.path(), 10);
    ASSERT_TRUE(steady) << steady.error().text.toStdString();
    EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("steady.txt"))).size(), 5000);
    EXPECT_TRUE(server.log().contains(QLatin1String("<- SIZE /steady.txt")));
}

} // namespace

namespace {

// A download lands whole or not at all, and only inside the local folder.
TEST_F(FtpSessionTest, ADownloadReplacesTheLocalCopyInPlaceAndNeverWritesThroughALink)
{
    server.write(QStringLiteral("zone.conf"), "from the server\n");
    server.write(QStringLiteral("linked.conf"), "also from the server\n");
    QTemporaryDir outside;
    const QString elsewhere = outside.filePath(QStringLiteral("elsewhere.conf"));
    {
        QFile f(elsewhere);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not to be touched\n");
    }
    {
        QFile f(local.filePath(QStringLiteral("zone.conf")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("an older copy\n");
    }
    ASSERT_TRUE(QFile::setPermissions(
        local.filePath(QStringLiteral("zone.conf")), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(QFile::link(elsewhere, local.filePath(QStringLiteral("linked.conf"))));
    connect();
    for (const char *name : {"zone.conf", "linked.conf"}) {
        SCOPED_TRACE(name);
        auto result = session.download(QString::fromUtf8(name), local.path());
        ASSERT_TRUE(result) << result.error().text.toStdString();
        QFile got(local.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(got.open(QIODevice::ReadOnly));
        EXPECT_EQ(got.readAll(), server.read(QString::fromUtf8(name)));
    }
    // The replaced copy keeps its mode; the link is replaced, not followed.
    EXPECT_EQ(QFile::permissions(local.filePath(QStringLiteral("zone.conf")))
            & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
        QFileDevice::Permissions());
    EXPECT_FALSE(QFileInfo(local.filePath(QStringLiteral("linked.conf"))).isSymLink());
    QFile untouched(elsewhere);
    ASSERT_TRUE(untouched.open(QIODevice::ReadOnly));
    EXPECT_EQ(untouched.readAll(), QByteArray("not to be touched\n"));
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
        (QStringList {QStringLiteral("linked.conf"), QStringLiteral("zone.conf")}));
}

} // namespace
