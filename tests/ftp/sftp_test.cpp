// SFTP through the FTP session and browser, against a real OpenSSH server
// that each test starts on 127.0.0.1 and stops at its end.
#include "../support/modalscript.h"
#include "browserharness.h"
#include "scriptedftpprompter.h"
#include "sftptestserver.h"

#include "ftp/ftpcontext.h"
#include "ftp/ftpopendialog.h"
#include "ftp/ftpprompter.h"
#include "ftp/ftpserverlist.h"
#include "ftp/ftpsession.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>

#include <memory>

namespace {

class SftpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<SftpTestServer>();
        if (!server->failure().isEmpty()) {
            if (server->skippable())
                GTEST_SKIP() << "no SFTP server here: " << server->failure().toStdString();
            FAIL() << server->failure().toStdString();
        }
    }
    // A session that answers the host key question with `yes` and keeps
    // every question it was asked.
    std::unique_ptr<CFtpSession> session(bool yes)
    {
        auto s = std::make_unique<CFtpSession>();
        s->setHostKeyQuestion([this, yes](const QString &text) {
            asked << text;
            return yes;
        });
        return s;
    }
    static int modeOf(const QString &path)
    {
        struct stat st { };
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777)
                                                                     : -1;
    }

    std::unique_ptr<SftpTestServer> server;
    QStringList asked;
};

TEST_F(SftpTest, AFirstSeenHostKeyIsAskedAboutAndRecordedOnlyOnYes)
{
    const QString fingerprint = server->hostKeyFingerprint();
    ASSERT_TRUE(fingerprint.startsWith(QLatin1String("SHA256:"))) << fingerprint.toStdString();

    // No: nothing logs in, nothing is written, and there is no second question.
    auto refusing = session(false);
    auto refused = refusing->connect(server->entry());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, FtpError::Kind::HostKey);
    EXPECT_TRUE(refused.error().text.startsWith(
        QStringLiteral("SFTP 서버의 호스트 키를 받아들이지 않았으므로 연결하지 않았습니다.")))
        << refused.error().text.toStdString();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("지문: ") + fingerprint)) << asked[0].toStdString();
    EXPECT_TRUE(asked[0].contains(QLatin1String("ssh-ed25519")));
    EXPECT_TRUE(asked[0].contains(QStringLiteral("127.0.0.1:%1").arg(server->port())));
    EXPECT_FALSE(QFileInfo::exists(server->knownHosts()));
    EXPECT_FALSE(server->log().contains(QLatin1String("Accepted publickey")));

    // Yes: connected, and the key kept in a file only the user reads.
    auto trusting = session(true);
    ASSERT_TRUE(trusting->connect(server->entry())) << trusting->lastErrorText().toStdString();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(trusting->currentDirectory(), QDir(server->root()).canonicalPath());
    EXPECT_EQ(modeOf(server->knownHosts()), 0600);
    EXPECT_EQ(modeOf(QFileInfo(server->knownHosts()).absolutePath()), 0700);
    // OpenSSH itself finds the line under the name it would look up.
    const QString found = SftpTestServer::run(QStringLiteral("ssh-keygen"),
        {QStringLiteral("-F"), QStringLiteral("[127.0.0.1]:%1").arg(server->port()), QStringLiteral("-f"),
            server->knownHosts()});
    EXPECT_TRUE(found.contains(QLatin1String("ssh-ed25519"))) << found.toStdString();

    // Known now: the next connection asks nothing.
    auto again = session(false);
    ASSERT_TRUE(again->connect(server->entry())) << again->lastErrorText().toStdString();
    EXPECT_EQ(asked.size(), 2);
}

TEST_F(SftpTest, AChangedHostKeyIsRefusedWithAWarningAndNeverWritten)
{
    // The server's address recorded with another key, as after an attacker
    // (or a reinstalled server) took its place.
    QDir().mkpath(QFileInfo(server->knownHosts()).absolutePath());
    const QString other = server->file(QStringLiteral("otherkey"));
    SftpTestServer::run(QStringLiteral("ssh-keygen"),
        {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
            QString(), QStringLiteral("-f"), other});
    const QByteArray otherKey = SftpTestServer::readFile(other + QStringLiteral(".pub")).trimmed();
    ASSERT_FALSE(otherKey.isEmpty());
    const QByteArray line = QStringLiteral("[127.0.0.1]:%1 ").arg(server->port()).toUtf8()
        + otherKey.left(otherKey.lastIndexOf(' ')) + '\n';
    {
        QFile out(server->knownHosts());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(line);
    }
    auto s = session(true);
    auto refused = s->connect(server->entry());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, FtpError::Kind::HostKey);
    EXPECT_TRUE(
        refused.error().text.startsWith(QStringLiteral("경고: SFTP 서버의 호스트 키가 바뀌었습니다!")))
        << refused.error().text.toStdString();
    EXPECT_TRUE(refused.error().text.contains(server->hostKeyFingerprint()));
    EXPECT_TRUE(asked.isEmpty()) << "a changed key is never put to the user as a new one";
    EXPECT_EQ(SftpTestServer::readFile(server->knownHosts()), line);
    EXPECT_FALSE(server->log().contains(QLatin1String("Accepted publickey")));
}

TEST_F(SftpTest, AuthenticationBySshAgentOrDefaultKeyAndItsRefusal)
{
    auto first = session(true);
    ASSERT_TRUE(first->connect(server->entry())) << first->lastErrorText().toStdString();
    EXPECT_TRUE(server->log().contains(QLatin1String("Accepted publickey"))) << server->log().toStdString();

    // A user the server does not know: refused, in Korean, asked nothing new.
    FtpServerEntry stranger = server->entry();
    stranger.user = QStringLiteral("quorel-nobody");
    auto denied = session(true);
    auto refused = denied->connect(stranger);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, FtpError::Kind::LoginDenied);
    EXPECT_TRUE(refused.error().text.startsWith(QStringLiteral("SFTP 서버가 로그인을 거부했습니다.")))
        << refused.error().text.toStdString();
    EXPECT_EQ(denied->lastErrorText(), refused.error().text);
    // A password the server does not take is refused the same way.
    FtpServerEntry withPassword = stranger;
    withPassword.password = QStringLiteral("wrong");
    EXPECT_EQ(denied->connect(withPassword).error().kind, FtpError::Kind::LoginDenied);

    // Without an agent, the user's default key file logs in.
    qunsetenv("SSH_AUTH_SOCK");
    auto noKey = session(true);
    EXPECT_EQ(noKey->connect(server->entry()).error().kind, FtpError::Kind::LoginDenied);
    ASSERT_TRUE(QFile::copy(
        server->file(QStringLiteral("userkey")), server->home() + QStringLiteral("/.ssh/id_ed25519")));
    auto keyFile = session(true);
    EXPECT_TRUE(keyFile->connect(server->entry())) << keyFile->lastErrorText().toStdString();
    EXPECT_EQ(asked.size(), 1);
}

TEST_F(SftpTest, SessionCommandsAndTheirKoreanErrors)
{
    server->write(QStringLiteral("site/index.html"), "<p>hi</p>");
    server->write(QStringLiteral("site/빈 칸 'quoted\".txt"), "odd");
    auto s = session(true);
    ASSERT_TRUE(s->connect(server->entry())) << s->lastErrorText().toStdString();
    const QString home = s->currentDirectory();

    ASSERT_TRUE(s->setCurrentDirectory(QStringLiteral("site")));
    EXPECT_EQ(s->currentDirectory(), home + QStringLiteral("/site"));
    auto entries = s->list();
    ASSERT_TRUE(entries);
    QStringList names;
    for (const FtpFileInfo &e : *entries)
        names << e.name;
    names.sort();
    EXPECT_EQ(names, (QStringList {QStringLiteral("index.html"), QStringLiteral("빈 칸 'quoted\".txt")}));

    // Names that need quoting in an SFTP command pass whole.
    ASSERT_TRUE(s->rename(
        home + QStringLiteral("/site/빈 칸 'quoted\".txt"), home + QStringLiteral("/site/다른 \\ 이름.txt")))
        << s->lastErrorText().toStdString();
    EXPECT_EQ(server->read(QStringLiteral("site/다른 \\ 이름.txt")), QByteArray("odd"));

    auto missing = s->setCurrentDirectory(QStringLiteral("nowhere"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, FtpError::Kind::NotFound);
    EXPECT_EQ(missing.error().text, QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다."));
    EXPECT_EQ(s->currentDirectory(), home + QStringLiteral("/site"));
    // A file is no directory to enter.
    EXPECT_FALSE(s->setCurrentDirectory(QStringLiteral("index.html")));

    auto gone = s->deleteFile(QStringLiteral("gone.txt"));
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().kind, FtpError::Kind::NotFound);
    EXPECT_TRUE(gone.error().isServerReply());
    EXPECT_TRUE(gone.error().text.startsWith(QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다.")));
    auto notEmpty = s->removeDirectory(home);
    ASSERT_FALSE(notEmpty);
    EXPECT_TRUE(notEmpty.error().isServerReply()) << notEmpty.error().text.toStdString();

    // "..": up from the log-in directory, as far as the root.
    ASSERT_TRUE(s->setCurrentDirectory(QStringLiteral("../..")));
    EXPECT_EQ(s->currentDirectory(), QFileInfo(home).absolutePath());
    ASSERT_TRUE(s->setCurrentDirectory(QStringLiteral("/")));
    EXPECT_EQ(s->currentDirectory(), QStringLiteral("/"));
    ASSERT_TRUE(s->list());
}

TEST_F(SftpTest, TheStateCheckTellsAKeepAliveFromADroppedConnection)
{
    auto s = session(true);
    ASSERT_TRUE(s->connect(server->entry())) << s->lastErrorText().toStdString();
    ASSERT_TRUE(s->list());
    // The server asks whether we are still there once we have been quiet for
    // its interval (a second, which sshd rounds up to about two); what it
    // sent meanwhile is no goodbye.
    ASSERT_TRUE(server->waitForKeepAlive()) << "no keep-alive reached the client";
    EXPECT_TRUE(s->checkConnection());
    EXPECT_TRUE(s->isConnected());
    ASSERT_TRUE(s->list()) << s->lastErrorText().toStdString();

    // Dropped with a keep-alive still unread before the end of the stream.
    ASSERT_TRUE(server->waitForKeepAlive()) << "no keep-alive reached the client";
    EXPECT_TRUE(s->checkConnection());
    ASSERT_GT(server->dropConnections(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s->checkConnection(); }, 5000));
    EXPECT_FALSE(s->isConnected());
}

TEST_F(SftpTest, RefusedPermissionsHaveTheirKoreanText)
{
    // The server's files belong to root; "nobody" logs in with the same key.
    const passwd *nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody)
        GTEST_SKIP() << "needs root and a user 'nobody' to log in as someone else";
    server->write(QStringLiteral("secret.txt"), "root only");
    QFile::setPermissions(server->path(QStringLiteral("secret.txt")), QFileDevice::ReadOwner);
    FtpServerEntry entry = server->entry();
    entry.user = QStringLiteral("nobody");
    auto s = session(true);
    ASSERT_TRUE(s->connect(entry)) << s->lastErrorText().toStdString() << server->log().toStdString();
    ASSERT_TRUE(s->list()) << s->lastErrorText().toStdString();

    auto made = s->createDirectory(QStringLiteral("mine"));
    ASSERT_FALSE(made);
    EXPECT_EQ(made.error().kind, FtpError::Kind::PermissionDenied);
    EXPECT_TRUE(made.error().text.startsWith(
        QStringLiteral("서버가 이 파일이나 디렉토리에 대한 권한을 허락하지 않았습니다.")))
        << made.error().text.toStdString();
    EXPECT_FALSE(server->exists(QStringLiteral("mine")));

    QTemporaryDir local;
    auto fetched = s->download(QStringLiteral("secret.txt"), local.path(), 9);
    ASSERT_FALSE(fetched);
    EXPECT_EQ(fetched.error().kind, FtpError::Kind::PermissionDenied) << fetched.error().text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("secret.txt"))));
}

class SftpBrowserTest : public SftpTest, protected BrowserHarness {
protected:
    void SetUp() override
    {
        SftpTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_NO_FATAL_FAILURE(setUpBrowser(QStringLiteral("SSH 서버"), server->entry()));
    }
};

TEST_F(SftpBrowserTest, ARefusedHostKeyIsAskedOnceAndShown)
{
    prompter.questionAnswer = false;
    auto d = browser();
    EXPECT_FALSE(d->OnConnect());
    EXPECT_EQ(prompter.questions.size(), 1) << "a refused key is not asked about again and again";
    ASSERT_FALSE(prompter.boxes.empty());
    EXPECT_TRUE(prompter.boxes.back().text.startsWith(
        QStringLiteral("SFTP 서버의 호스트 키를 받아들이지 않았으므로 연결하지 않았습니다.")));
    EXPECT_FALSE(QFileInfo::exists(server->knownHosts()));
}

} // namespace

namespace {

// The host-key question as a user meets it: the real box over the browser,
// shown while the connection waits on its worker, answered by a click on
// its button. The script's watchdog hides a box that cannot be answered,
// so a hang fails the test instead of stalling it.
TEST_F(SftpBrowserTest, TheRealHostKeyBoxIsAnsweredByClicks)
{
    WidgetFtpPrompter real;
    context.prompter = &real;
    server->write(QStringLiteral("a.zone"), "a");

    // "아니요": no connection, nothing recorded; the refusal is told.
    {
        auto d = browser();
        ModalScript script;
        script.then(script.clickBoxButtonLabelled(QStringLiteral("아니요")));
        script.then(script.clickBoxButtonLabelled(QStringLiteral("확인")));
        QTest::mouseClick(child<QPushButton>(*d, "connectButton"), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return script.finished() || script.timedOut(); }, 30000));
        EXPECT_FALSE(script.timedOut()) << "a box could not be answered";
        ASSERT_EQ(script.boxTexts.size(), 2);
        EXPECT_TRUE(script.boxTexts[0].contains(server->hostKeyFingerprint()))
            << script.boxTexts[0].toStdString();
        EXPECT_TRUE(script.boxTexts[1].startsWith(
            QStringLiteral("SFTP 서버의 호스트 키를 받아들이지 않았으므로 연결하지 않았습니다.")))
            << script.boxTexts[1].toStdString();
        EXPECT_FALSE(QFileInfo::exists(server->knownHosts()));
        EXPECT_FALSE(rows(*d).contains(QStringLiteral("a.zone|1")));
    }
    // "예": the key is recorded and the folder listed.
    {
        auto d = browser();
        ModalScript script;
        const ModalScript::Step yes = script.clickBoxButtonLabelled(QStringLiteral("예"));
        script.then([yes](QWidget *modal) {
            // QUOREL_SHOT=FILE.png keeps a picture of the box for the README.
            if (qEnvironmentVariableIsSet("QUOREL_SHOT"))
                modal->grab().save(qEnvironmentVariable("QUOREL_SHOT"), "PNG");
            return yes(modal);
        });
        QTest::mouseClick(child<QPushButton>(*d, "connectButton"), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return row(*d, QStringLiteral("a.zone")) != nullptr; }, 30000));
        EXPECT_FALSE(script.timedOut()) << "a box could not be answered";
        EXPECT_TRUE(script.finished());
        ASSERT_EQ(script.boxTexts.size(), 1);
        EXPECT_TRUE(script.boxTexts[0].contains(server->hostKeyFingerprint()));
        EXPECT_FALSE(SftpTestServer::readFile(server->knownHosts()).trimmed().isEmpty());
    }
}

} // namespace

namespace {

// SFTP has no directory of the session's on the server: a name must be
// made absolute against the browser's directory, or it lands in the
// log-in folder whatever folder the browser shows.
TEST_F(SftpTest, RenamesAFileInTheLogInFolderAndANameInTheCurrentDirectory)
{
    server->write(QStringLiteral("top.conf"), "top");
    server->write(QStringLiteral("inner.conf"), "in the log-in folder");
    server->write(QStringLiteral("site/inner.conf"), "in site");
    auto s = session(true);
    ASSERT_TRUE(s->connect(server->entry())) << s->lastErrorText().toStdString();
    const QString home = s->currentDirectory();
    ASSERT_EQ(home, QDir(server->root()).canonicalPath());

    auto renamed = s->rename(QStringLiteral("top.conf"), QStringLiteral("renamed.conf"));
    ASSERT_TRUE(renamed) << renamed.error().text.toStdString();
    EXPECT_EQ(server->read(QStringLiteral("renamed.conf")), QByteArray("top"));
    renamed = s->rename(home + QStringLiteral("//renamed.conf"), home + QStringLiteral("/./again.conf"));
    ASSERT_TRUE(renamed) << renamed.error().text.toStdString();
    EXPECT_EQ(server->read(QStringLiteral("again.conf")), QByteArray("top"));
    EXPECT_FALSE(server->exists(QStringLiteral("renamed.conf")));

    ASSERT_TRUE(s->setCurrentDirectory(QStringLiteral("site")));
    renamed = s->rename(QStringLiteral("inner.conf"), QStringLiteral("moved.conf"));
    ASSERT_TRUE(renamed) << renamed.error().text.toStdString();
    EXPECT_EQ(server->read(QStringLiteral("site/moved.conf")), QByteArray("in site"));
    EXPECT_EQ(server->read(QStringLiteral("inner.conf")), QByteArray("in the log-in folder"));
}

TEST_F(SftpTest, NamesWithACarriageReturnAreLeftOutOfTheListingAndCounted)
{
    server->write(QStringLiteral("good.zone"), "ok");
    server->mkdir(QStringLiteral("folder"));
    server->write(QStringLiteral("carriage\rreturn.txt"), "x");
    server->write(QStringLiteral("ends in cr\r"), "x");
    auto s = session(true);
    ASSERT_TRUE(s->connect(server->entry())) << s->lastErrorText().toStdString();
    // Through the listing a change of directory reads, and through a list of its own.
    ASSERT_TRUE(s->setCurrentDirectory(s->currentDirectory()));
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        auto entries = s->list();
        ASSERT_TRUE(entries) << entries.error().text.toStdString();
        QStringList names;
        for (const FtpFileInfo &e : *entries)
            names << e.name;
        names.sort();
        EXPECT_EQ(names, (QStringList {QStringLiteral("folder"), QStringLiteral("good.zone")}));
        EXPECT_EQ(s->skippedEntries(), 2);
    }
    ASSERT_TRUE(s->setCurrentDirectory(QStringLiteral("folder")));
    ASSERT_TRUE(s->list());
    EXPECT_EQ(s->skippedEntries(), 0);
}

} // namespace
