// The FTP browser's scenarios that hold whatever the protocol, driven
// through its widgets against a real pyftpdlib server and a real OpenSSH
// server in turn.
#include "browserharness.h"
#include "browserserver.h"

#include "ftp/ftpopendialog.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

class BrowserScenario : public ::testing::TestWithParam<BrowserProtocol>, protected BrowserHarness {
protected:
    void SetUp() override
    {
        server = BrowserServer::start(GetParam());
        if (!server->failure().isEmpty()) {
            if (server->skippable())
                GTEST_SKIP() << "no server here: " << server->failure().toStdString();
            FAIL() << server->failure().toStdString();
        }
        ASSERT_NO_FATAL_FAILURE(setUpBrowser(QStringLiteral("테스트 서버"), server->entry()));
    }
    bool sftp() const { return GetParam() == BrowserProtocol::Sftp; }
    const SftpTestServer &sshServer() const
    {
        return static_cast<const browserserver_detail::Sftp &>(*server).sshServer();
    }

    std::unique_ptr<BrowserServer> server;
};

// What the browser shows of the server's folder: the session's own listing,
// folders first, each in the server's order.
QStringList listedRows(CFtpOpenDialog &d, bool checkTimes)
{
    std::vector<FtpFileInfo> listed = *d.session().list();
    QStringList folders, files;
    for (const FtpFileInfo &e : listed) {
        (e.isFolder ? folders : files) << e.name + QLatin1Char('|')
                + (e.isFolder ? QStringLiteral("파일폴더") : QString::number(e.size));
        EXPECT_TRUE(e.modified.isValid()) << e.name.toStdString();
        if (checkTimes) {
            EXPECT_LE(qAbs(e.modified.secsTo(QDateTime::currentDateTime())), 120) << e.name.toStdString();
        }
    }
    EXPECT_EQ(folders.size(), 2);
    EXPECT_EQ(files.size(), 2);
    return folders + files;
}

TEST_P(BrowserScenario, ListsFoldersFirstAndMovesBetweenDirectories)
{
    server->write(QStringLiteral("b.zone"), "b");
    server->write(QStringLiteral("a.conf"), "aa");
    server->mkdir(QStringLiteral("zeta"));
    server->write(QStringLiteral("alpha/inner.txt"), "i");
    auto d = browser();
    EXPECT_EQ(d->statusText(), QStringLiteral("대기중"));
    ASSERT_TRUE(d->OnConnect()) << prompter.texts_().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(d->statusText(), QStringLiteral("127.0.0.1 접속성공"));
    if (sftp()) {
        // The host key was asked about once, from the GUI thread, though the
        // connection runs on a worker.
        ASSERT_EQ(prompter.questions.size(), 1);
        EXPECT_TRUE(prompter.questions[0].startsWith(QStringLiteral("SFTP 호스트 키 확인: ")));
        EXPECT_TRUE(prompter.questions[0].contains(sshServer().hostKeyFingerprint()));
        EXPECT_FALSE(prompter.askedOffGuiThread);
    }
    const QString home = server->home();
    EXPECT_EQ(child<QLabel>(*d, "currentDirText")->text(), home);

    // The parent entry, which the server's root has none of, then folders,
    // then files. FTP listing times are the server's minutes in its own zone,
    // so only SFTP's are compared with the clock.
    const QStringList parent
        = home == QLatin1String("/") ? QStringList() : QStringList {QStringLiteral("..|위로")};
    const QStringList listed = listedRows(*d, sftp());
    EXPECT_EQ(rows(*d), parent + listed);

    d->OnDoubleClick(row(*d, QStringLiteral("alpha")));
    EXPECT_EQ(child<QLabel>(*d, "currentDirText")->text(), server->remotePath(QStringLiteral("alpha")));
    EXPECT_EQ(rows(*d), (QStringList {QStringLiteral("..|위로"), QStringLiteral("inner.txt|1")}));
    // Clicking a file puts its name in the file name box.
    select(*d, QStringLiteral("inner.txt"));
    EXPECT_EQ(child<QLineEdit>(*d, "fileNameEdit")->text(), QStringLiteral("inner.txt"));
    d->OnDoubleClick(row(*d, QStringLiteral("..")));
    EXPECT_EQ(child<QLabel>(*d, "currentDirText")->text(), home);

    // "디렉토리 이동" to a path that is not there: the list stays.
    prompter.texts = {QStringLiteral("/nowhere")};
    d->OnChangeDirectory();
    EXPECT_EQ(prompter.prompts.back(),
        QStringLiteral("이동할 디렉토리명을 넣어주세요|%1|FTP 디렉토리 이동").arg(home));
    ASSERT_FALSE(prompter.boxes.empty());
    EXPECT_EQ(prompter.boxes.back().title, QStringLiteral("FTP 디렉토리 설정 에러"));
    // FTP has only the reply code to go by; SFTP's status names the cause.
    EXPECT_EQ(prompter.boxes.back().text,
        sftp() ? QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다.")
               : QStringLiteral("FTP 디렉토리에 접근할 수 없습니다."));
    EXPECT_EQ(rows(*d), parent + listed);
    prompter.texts = {server->remotePath(QStringLiteral("zeta"))};
    d->OnChangeDirectory();
    EXPECT_EQ(rows(*d), QStringList {QStringLiteral("..|위로")});
}

TEST_P(BrowserScenario, ChangesTheServerInPlaceAndOpensADownloadedFile)
{
    server->write(QStringLiteral("a.conf"), "aa");
    server->write(QStringLiteral("zeta/deep/x.txt"), "x");
    server->mkdir(QStringLiteral("zeta/deep/deeper"));
    auto d = browser();
    ASSERT_TRUE(d->OnConnect()) << prompter.texts_().join(QLatin1Char('\n')).toStdString();

    // New folders take the next free number.
    d->OnNewFolder();
    d->OnNewFolder();
    EXPECT_TRUE(server->exists(QStringLiteral("NewFolder")));
    EXPECT_TRUE(server->exists(QStringLiteral("NewFolder[1]")));
    EXPECT_TRUE(prompter.boxes.empty()) << prompter.texts_().join(QLatin1Char('\n')).toStdString();

    // Rename in place.
    ASSERT_NE(row(*d, QStringLiteral("NewFolder")), nullptr);
    row(*d, QStringLiteral("NewFolder"))->setText(0, QStringLiteral("새 폴더 이름"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->exists(QStringLiteral("새 폴더 이름")); }, 5000));
    EXPECT_FALSE(server->exists(QStringLiteral("NewFolder")));
    EXPECT_NE(row(*d, QStringLiteral("새 폴더 이름")), nullptr);

    // A folder is deleted with everything inside it.
    prompter.questionAnswer = true;
    select(*d, QStringLiteral("zeta"));
    d->OnDelete();
    EXPECT_FALSE(server->exists(QStringLiteral("zeta")));
    EXPECT_EQ(row(*d, QStringLiteral("zeta")), nullptr);
    EXPECT_TRUE(prompter.boxes.empty()) << prompter.texts_().join(QLatin1Char('\n')).toStdString();

    // A double-click on a file downloads it, opens it and closes the browser.
    d->OnDoubleClick(row(*d, QStringLiteral("a.conf")));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QDir(context.localFolder).filePath(QStringLiteral("a.conf")));
    EXPECT_EQ(SftpTestServer::readFile(opened[0]), QByteArray("aa"));
    EXPECT_EQ(d->result(), QDialog::Accepted);
}

TEST_P(BrowserScenario, SaveModeChecksTheNameAndAsksBeforeOverwriting)
{
    server->write(QStringLiteral("docs/Taken.conf"), "server copy");
    server->write(QStringLiteral("docs/vhost.conf"), "old");
    server->mkdir(QStringLiteral("docs/folder"));
    auto d = browser(CFtpOpenDialog::Save, QStringLiteral("vhost.conf"));
    EXPECT_EQ(d->windowTitle(), QStringLiteral("FTP 저장하기"));
    EXPECT_EQ(child<QPushButton>(*d, "okButton")->text(), QStringLiteral("파일 저장(&S)"));
    ASSERT_TRUE(d->OnConnect());
    ASSERT_TRUE(d->listDirectory(QStringLiteral("docs")));
    auto *name = child<QLineEdit>(*d, "fileNameEdit");
    EXPECT_EQ(name->text(), QStringLiteral("vhost.conf"));
    const QString overwrite = QStringLiteral("FTP 업로드 덮어쓰기 확인: 이미 같은 이름의 파일이 존재합니다.");
    // The proposed name is taken: asked first, and No keeps the window.
    prompter.questionAnswer = false;
    d->accept();
    EXPECT_EQ(prompter.questions.back(), overwrite);
    EXPECT_TRUE(d->isVisible());

    struct {
        const char *name;
        const char *message;
    } refused[] = {{"   ", "파일 이름을 넣어주세요."}, {"a/b.conf", "허용되지 않는 문자가 있습니다."},
        {"c:d.conf", "허용되지 않는 문자가 있습니다."}, {"what?", "허용되지 않는 문자가 있습니다."}};
    for (const auto &r : refused) {
        SCOPED_TRACE(r.name);
        name->setText(QString::fromUtf8(r.name));
        d->accept();
        EXPECT_EQ(prompter.boxes.back().text, QString::fromUtf8(r.message));
        EXPECT_TRUE(d->isVisible());
    }
    // Another case of an existing name, and a folder's name, ask first.
    for (const char *taken : {"taken.CONF", "folder"}) {
        SCOPED_TRACE(taken);
        name->setText(QString::fromUtf8(taken));
        d->accept();
        EXPECT_EQ(prompter.questions.back(), overwrite);
        EXPECT_TRUE(d->isVisible());
    }
    prompter.questionAnswer = true;
    name->setText(QStringLiteral("  Taken.conf "));
    d->accept();
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->entry().remoteFileName, QStringLiteral("Taken.conf"));
    EXPECT_EQ(d->entry().remoteDirectory, server->remotePath(QStringLiteral("docs")));

    // The caller's upload, after the window has gone.
    const QString file = local.filePath(QStringLiteral("upload.conf"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("new content\n");
    out.close();
    ASSERT_TRUE(d->upload(file));
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("FTP에 파일저장이 끝났습니다."));
    EXPECT_EQ(server->read(QStringLiteral("docs/Taken.conf")), QByteArray("new content\n"));
}

TEST_P(BrowserScenario, NewFolderTakesTheNextFreeNumberAndStartsItsLabelEdit)
{
    server->mkdir(QStringLiteral("work/NewFolder"));
    server->mkdir(QStringLiteral("work/NewFolder[1]"));
    auto d = browser();
    ASSERT_TRUE(d->OnConnect());
    ASSERT_TRUE(d->listDirectory(server->remotePath(QStringLiteral("work"))));
    QTest::mouseClick(child<QPushButton>(*d, "newFolderButton"), Qt::LeftButton);
    EXPECT_TRUE(server->exists(QStringLiteral("work/NewFolder[2]")));
    EXPECT_TRUE(prompter.boxes.empty());
    ASSERT_NE(row(*d, QStringLiteral("NewFolder[2]")), nullptr);
    EXPECT_EQ(d->fileList()->currentItem(), row(*d, QStringLiteral("NewFolder[2]")));
    // Its label editor is open with the new name, ready to be typed over.
    auto *editor = d->fileList()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->text(), QStringLiteral("NewFolder[2]"));
}

INSTANTIATE_TEST_SUITE_P(Protocols, BrowserScenario,
    ::testing::Values(BrowserProtocol::Ftp, BrowserProtocol::Sftp),
    [](const ::testing::TestParamInfo<BrowserProtocol> &protocol) {
        return protocol.param == BrowserProtocol::Ftp ? std::string("Ftp") : std::string("Sftp");
    });

} // namespace
