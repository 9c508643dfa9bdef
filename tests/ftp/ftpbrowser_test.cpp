// The FTP browser (131) and its remote operations, driven through its
// widgets against a real pyftpdlib server.
#include "browserharness.h"
#include "ftptestserver.h"

#include "app/ftpcommands.h"
#include "ftp/ftpopendialog.h"
#include "ftp/ftpserverlist.h"

#include "../support/files.h"

#include "../support/scriptedprompter.h"
#include "document/doctemplate.h"
#include "document/documentcontext.h"
#include "document/openfilelistnotifier.h"
#include "document/quoreldoc.h"
#include "document/textbuffer.h"
#include "platform/quorelids.h"
#include <deque>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

class BrowserTest : public ::testing::Test, protected BrowserHarness {
protected:
    explicit BrowserTest(const FtpTestServer::Options &options = {})
        : server(options)
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(setUpBrowser(QStringLiteral("테스트 서버"), server.entry()));
    }
    FtpTestServer server;
};

TEST_F(BrowserTest, DownloadsIntoTheLocalFolderAndOpensTheFile)
{
    server.write(QStringLiteral("pub/zone.txt"), "old\n");
    server.write(QStringLiteral("zone.txt"), "top\n");
    auto d = browser();
    // Nothing works before a connection.
    d->accept();
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("FTP 연결이 되지않은 상태입니다."));
    ASSERT_TRUE(d->OnConnect());
    select(*d, QStringLiteral("zone.txt"));
    d->accept();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    const QString path = context.localFolder + QStringLiteral("/zone.txt");
    EXPECT_EQ(opened, QStringList {path});
    EXPECT_EQ(d->session().localPath(), path);
    QFile got(path);
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.readAll(), QByteArray("top\n"));
    got.close();

    // The same name from another directory: the local copy is never
    // replaced silently. Cancel keeps it, "둘 다 보관" puts the new one
    // beside it, "바꾸기" replaces it.
    const auto fetchPubCopy = [this](int choice) {
        prompter.choices = {choice};
        auto again = browser();
        EXPECT_TRUE(again->OnConnect());
        again->OnDoubleClick(row(*again, QStringLiteral("pub")));
        again->OnDoubleClick(row(*again, QStringLiteral("zone.txt")));
    };
    const auto localFiles = [this] {
        return QDir(context.localFolder)
            .entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot);
    };
    fetchPubCopy(2);
    EXPECT_TRUE(prompter.questions.back().contains(QStringLiteral("이미 있습니다")))
        << prompter.questions.back().toStdString();
    EXPECT_EQ(readBytes(path), QByteArray("top\n"));
    EXPECT_EQ(localFiles(), QStringList {QStringLiteral("zone.txt")});
    fetchPubCopy(1);
    EXPECT_EQ(readBytes(path), QByteArray("top\n"));
    EXPECT_EQ(readBytes(context.localFolder + QStringLiteral("/zone (2).txt")), QByteArray("old\n"));
    EXPECT_EQ(opened.back(), context.localFolder + QStringLiteral("/zone (2).txt"));
    fetchPubCopy(0);
    EXPECT_EQ(readBytes(path), QByteArray("old\n"));
    // No staging folder or partial file is left behind.
    EXPECT_EQ(localFiles(), (QStringList {QStringLiteral("zone (2).txt"), QStringLiteral("zone.txt")}));
    QFile::remove(context.localFolder + QStringLiteral("/zone (2).txt"));

    // The wizard's entry point: the downloaded path, or nothing when the
    // browser closed without one or its download failed.
    context.execDialog = [](QDialog &) { return int(QDialog::Rejected); };
    EXPECT_EQ(downloadFileFromFtp(context), QString());
    context.execDialog = [this](QDialog &dialog) {
        auto &b = static_cast<CFtpOpenDialog &>(dialog);
        b.show();
        b.OnInitDialog();
        EXPECT_TRUE(b.OnConnect());
        b.OnDoubleClick(row(b, QStringLiteral("zone.txt")));
        return b.result();
    };
    prompter.choices = {0}; // the local copy is there: replace it
    EXPECT_EQ(downloadFileFromFtp(context), path);
    // The file goes from the server after the listing: the double-click
    // still closes with OK, but no path is handed on (the earlier copy in
    // the local folder is not what was asked for).
    context.execDialog = [this](QDialog &dialog) {
        auto &b = static_cast<CFtpOpenDialog &>(dialog);
        b.show();
        b.OnInitDialog();
        EXPECT_TRUE(b.OnConnect());
        QFile::remove(server.path(QStringLiteral("zone.txt")));
        b.OnDoubleClick(row(b, QStringLiteral("zone.txt")));
        return b.result();
    };
    prompter.choices = {0};
    EXPECT_EQ(downloadFileFromFtp(context), QString());
    EXPECT_EQ(readBytes(path), QByteArray("top\n")) << "a failed download replaces nothing";
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("에러 났습니다"));
}

// A local copy open in the editor is never replaced under its edits: the
// same remote file shows that window; another file of the same name is only
// stored beside it.
TEST_F(BrowserTest, ADownloadNeverReplacesACopyOpenInTheEditor)
{
    server.write(QStringLiteral("zones/한국호스팅.kr.zone"), "first\n");
    server.write(QStringLiteral("other/zones/한국호스팅.kr.zone"), "second\n");
    const QString localCopy = context.localFolder + QStringLiteral("/한국호스팅.kr.zone");
    {
        auto d = browser();
        ASSERT_TRUE(d->OnConnect());
        ASSERT_TRUE(d->listDirectory(QStringLiteral("/zones")));
        d->OnDoubleClick(row(*d, QStringLiteral("한국호스팅.kr.zone")));
    }
    ASSERT_EQ(origins.size(), 1);
    EXPECT_EQ(origins[0].directory, QStringLiteral("/zones"));
    EXPECT_EQ(origins[0].url,
        QStringLiteral("ftp://quorel@127.0.0.1:%1/zones/한국호스팅.kr.zone").arg(server.port()));
    // Open in the editor with edits not yet saved.
    QStringList shown;
    context.openCopy = [&](const QString &path) {
        FtpContext::OpenCopy open;
        open.open = path == localCopy;
        open.origin = origins[0];
        return open;
    };
    context.showDocument = [&](const QString &path) { shown << path; };

    const auto fetch = [this](const QString &folder, std::deque<int> choices) {
        prompter.choices = std::move(choices);
        auto d = browser();
        EXPECT_TRUE(d->OnConnect());
        EXPECT_TRUE(d->listDirectory(folder));
        d->OnDoubleClick(row(*d, QStringLiteral("한국호스팅.kr.zone")));
        return d->downloadedPath();
    };
    EXPECT_EQ(fetch(QStringLiteral("/zones"), {}), localCopy);
    EXPECT_EQ(shown, QStringList {localCopy});
    EXPECT_TRUE(prompter.boxes.back().text.contains(QStringLiteral("이미 Quorel에 열려 있어")));
    EXPECT_EQ(opened.size(), 1) << "nothing downloaded, nothing opened again";

    // The same name elsewhere: asked, and only ever stored beside it.
    EXPECT_EQ(fetch(QStringLiteral("/other/zones"), {1}), QString());
    EXPECT_TRUE(prompter.questions.back().contains(QStringLiteral("이미 Quorel에 열려 있습니다")))
        << prompter.questions.back().toStdString();
    EXPECT_EQ(readBytes(localCopy), QByteArray("first\n"));
    const QString beside = context.localFolder + QStringLiteral("/한국호스팅.kr (2).zone");
    EXPECT_EQ(fetch(QStringLiteral("/other/zones"), {0}), beside);
    EXPECT_EQ(readBytes(localCopy), QByteArray("first\n"));
    EXPECT_EQ(readBytes(beside), QByteArray("second\n"));
    EXPECT_EQ(opened.back(), beside);
    EXPECT_EQ(origins.back().directory, QStringLiteral("/other/zones"));
}

TEST_F(BrowserTest, ANameWithACarriageReturnCostsOnlyItsOwnRow)
{
    server.write(QStringLiteral("zones/good.zone"), "g");
    server.write(QStringLiteral("zones/bad\rname.zone"), "b");
    server.write(QStringLiteral("zones/also-good.conf"), "a");
    auto d = browser();
    ASSERT_TRUE(d->OnConnect());
    ASSERT_TRUE(d->listDirectory(QStringLiteral("/zones")));
    EXPECT_NE(row(*d, QStringLiteral("good.zone")), nullptr);
    EXPECT_NE(row(*d, QStringLiteral("also-good.conf")), nullptr);
    EXPECT_EQ(d->fileList()->topLevelItemCount(), 3); // "..", and the two good files
    EXPECT_EQ(d->statusText(), QStringLiteral("목록에 보일 수 없는 이름의 항목 1개는 빼고 보여 줍니다."));
}

TEST_F(BrowserTest, ARefusedLogInIsTriedThreeTimesAndToldInKorean)
{
    FtpServerList list(context.iniPath);
    FtpServerEntry wrong = server.entry();
    wrong.password = QStringLiteral("wrong");
    ASSERT_TRUE(list.save(QStringLiteral("테스트 서버"), wrong));
    auto d = browser();
    EXPECT_FALSE(d->OnConnect());
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].title, QStringLiteral("FTP 접속"));
    EXPECT_EQ(prompter.boxes[0].icon, FtpPrompter::Icon::Error);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith(QStringLiteral("FTP 서버에 로그인할 수 없습니다.")));
    EXPECT_EQ(d->statusText(), prompter.boxes[0].text);
    EXPECT_EQ(server.log().count(QStringLiteral("PASS ")), 3);

    // Nothing listens on the port: refused, in Korean, also after three tries.
    FtpServerEntry nobody = server.entry();
    nobody.port = closedLoopbackPort();
    ASSERT_TRUE(list.save(QStringLiteral("테스트 서버"), nobody));
    auto e = browser();
    EXPECT_FALSE(e->OnConnect());
    EXPECT_TRUE(prompter.boxes.back().text.startsWith(QStringLiteral("FTP 서버에 연결할 수 없습니다.")));
    EXPECT_EQ(prompter.boxes.back().title, QStringLiteral("FTP 접속"));
}

TEST_F(BrowserTest, RenameInPlaceWorksInTheLogInFolderAndRefusesBadNames)
{
    server.write(QStringLiteral("site/old.conf"), "x");
    server.write(QStringLiteral("top.conf"), "y");
    auto d = browser();
    ASSERT_TRUE(d->OnConnect());
    // The log-in folder is the server's root here ("/"): its files are
    // renamed like any other, with F2 as in a file manager.
    QTreeWidgetItem *top = row(*d, QStringLiteral("top.conf"));
    d->fileList()->setFocus();
    d->fileList()->setCurrentItem(top);
    QTest::keyClick(d->fileList(), Qt::Key_F2);
    auto *rootEditor = d->fileList()->findChild<QLineEdit *>();
    ASSERT_NE(rootEditor, nullptr);
    rootEditor->selectAll();
    QTest::keyClicks(rootEditor, QStringLiteral("moved.conf"));
    QTest::keyClick(rootEditor, Qt::Key_Return);
    // The view hands the new name on once the editor's key press is done.
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.exists(QStringLiteral("moved.conf")); }, 5000));
    EXPECT_FALSE(server.exists(QStringLiteral("top.conf")));
    QApplication::processEvents(); // the list is read again once the editor has gone
    EXPECT_NE(row(*d, QStringLiteral("moved.conf")), nullptr);

    ASSERT_TRUE(d->listDirectory(QStringLiteral("site")));
    for (const char *bad : {"a/b.conf", "c:d.conf", ""}) {
        SCOPED_TRACE(bad);
        row(*d, QStringLiteral("old.conf"))->setText(0, QString::fromUtf8(bad));
        ASSERT_NE(row(*d, QStringLiteral("old.conf")), nullptr);
        EXPECT_TRUE(server.exists(QStringLiteral("site/old.conf")));
    }
    EXPECT_TRUE(prompter.boxes.empty()) << "refused without a message";
    // The parent entry cannot be edited at all.
    EXPECT_FALSE(row(*d, QStringLiteral(".."))->flags() & Qt::ItemIsEditable);

    // Through the real label editor.
    QTreeWidgetItem *item = row(*d, QStringLiteral("old.conf"));
    d->fileList()->setCurrentItem(item);
    d->fileList()->editItem(item, 0);
    auto *editor = d->fileList()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("새 이름.conf"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(server.exists(QStringLiteral("site/새 이름.conf")));
    EXPECT_FALSE(server.exists(QStringLiteral("site/old.conf")));
    EXPECT_NE(row(*d, QStringLiteral("새 이름.conf")), nullptr);
}

TEST_F(BrowserTest, AnUntitledDocumentGoesUpThroughATemporaryCopyThatIsRemoved)
{
    CDocTemplates templates;
    ScriptedPrompter documentPrompter;
    OpenFileListNotifier notifier;
    QStringList announced;
    QObject::connect(&notifier, &OpenFileListNotifier::entryChanged,
        [&announced](quint64, const QString &text) { announced << text; });
    DocumentContext documentContext;
    documentContext.prompter = &documentPrompter;
    documentContext.openFileList = &notifier;
    CQuorelDoc doc(*templates.byId(ids::templ::kGeneral), documentContext);
    ASSERT_TRUE(doc.OnNewDocument());
    doc.textBuffer()->setPlainText(QStringLiteral("메일.한국 IN A 10.0.0.1"));
    doc.SetModifiedFlag(true);
    server.mkdir(QStringLiteral("incoming"));

    context.execDialog = [this](QDialog &dialog) {
        auto &b = static_cast<CFtpOpenDialog &>(dialog);
        b.show();
        b.OnInitDialog();
        EXPECT_TRUE(b.OnConnect());
        EXPECT_TRUE(b.listDirectory(QStringLiteral("incoming")));
        b.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("untitled.txt"));
        b.accept();
        return b.result();
    };
    OnFtpSave(doc, context);
    EXPECT_EQ(server.read(QStringLiteral("incoming/untitled.txt")), cp949("메일.한국 IN A 10.0.0.1"));
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("FTP에 파일저장이 끝났습니다."));
    // No copy left behind, the list shows the title again, and the text is
    // still unsaved as far as the user's own files go.
    EXPECT_TRUE(
        QDir(local.path()).entryList({QStringLiteral("conv_*")}, QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(announced.last(), doc.GetTitle());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.GetPathName().isEmpty());
}

TEST_F(BrowserTest, AnEmptyServerListOpensTheListDialogFirst)
{
    QFile ini(context.iniPath);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(";ini config file of FtpOpenDialog");
    ini.close();
    QString shown;
    context.execDialog = [&shown, this](QDialog &dialog) {
        shown = dialog.windowTitle();
        // The user adds the test server there and confirms.
        FtpServerList(context.iniPath).save(QStringLiteral("새 서버"), server.entry());
        return int(QDialog::Accepted);
    };
    auto d = browser();
    EXPECT_EQ(shown, QStringLiteral("사용자 FTP 서버 목록"));
    EXPECT_EQ(
        d->findChild<QComboBox *>(QStringLiteral("serverCombo"))->currentText(), QStringLiteral("새 서버"));
    EXPECT_TRUE(d->OnConnect());
}

class DropTest : public BrowserTest {
protected:
    static FtpTestServer::Options quickTimeout()
    {
        FtpTestServer::Options o;
        o.idleTimeout = 1;
        return o;
    }
    DropTest()
        : BrowserTest(quickTimeout())
    {
    }
};

TEST_F(DropTest, ACommandAfterTheServerDroppedTheConnectionIsToldSo)
{
    auto d = browser();
    ASSERT_TRUE(d->OnConnect());
    ASSERT_TRUE(server.waitForIdleDrops()) << "the server never dropped the idle connection\n"
                                           << server.log().toStdString();
    d->OnRefresh();
    ASSERT_FALSE(prompter.boxes.empty());
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("FTP 연결이 되지않은 상태입니다."));
    EXPECT_FALSE(d->session().isConnected());
    // Connecting again works as before.
    EXPECT_TRUE(d->OnConnect());
}

class DeleteTest : public BrowserTest {
protected:
    static FtpTestServer::Options refusing()
    {
        FtpTestServer::Options o;
        o.refuseDelete << QStringLiteral("locked.txt");
        return o;
    }
    DeleteTest()
        : BrowserTest(refusing())
    {
    }
};

TEST_F(DeleteTest, DeletesFilesAndTreesAndStopsAtARefusedFile)
{
    server.write(QStringLiteral("home/single.txt"), "1");
    server.write(QStringLiteral("home/locked.txt"), "kept");
    server.write(QStringLiteral("home/tree/a/b.txt"), "2");
    server.write(QStringLiteral("home/stuck/first.txt"), "3");
    server.write(QStringLiteral("home/stuck/sub/locked.txt"), "4");
    auto d = browser();
    ASSERT_TRUE(d->OnConnect());
    ASSERT_TRUE(d->listDirectory(QStringLiteral("/home")));

    select(*d, QStringLiteral(".."));
    d->OnDelete();
    EXPECT_TRUE(server.exists(QStringLiteral("home")));

    // The Delete key in the list does what the button does, asking first.
    const auto pressDelete = [&d] {
        d->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
        d->fileList()->setFocus();
        QTest::keyClick(d->fileList(), Qt::Key_Delete);
    };
    select(*d, QStringLiteral("single.txt"));
    prompter.questionAnswer = false;
    pressDelete();
    EXPECT_EQ(prompter.questions.back(),
        QStringLiteral("FTP 파일 삭제 확인: 이 파일 'single.txt'을 삭제 하시겠습니까?"));
    EXPECT_TRUE(server.exists(QStringLiteral("home/single.txt")));
    prompter.questionAnswer = true;
    pressDelete();
    EXPECT_FALSE(server.exists(QStringLiteral("home/single.txt")));
    EXPECT_EQ(row(*d, QStringLiteral("single.txt")), nullptr);
    EXPECT_EQ(d->statusText(), QStringLiteral("\"single.txt\"개의 파일이 잘 지워졌습니다."));

    select(*d, QStringLiteral("locked.txt"));
    d->OnDelete();
    EXPECT_EQ(d->statusText(), QStringLiteral("이 \"locked.txt\" : 파일을 지우려다가 에러났습니다."));
    EXPECT_NE(row(*d, QStringLiteral("locked.txt")), nullptr);

    select(*d, QStringLiteral("tree"));
    d->OnDelete();
    EXPECT_EQ(prompter.questions.back(),
        QStringLiteral("FTP 폴더 삭제 확인: 이 폴더 'tree' 를 삭제하시기를 원하시나요?"));
    EXPECT_FALSE(server.exists(QStringLiteral("home/tree")));
    EXPECT_EQ(row(*d, QStringLiteral("tree")), nullptr);
    EXPECT_EQ(d->statusText(), QStringLiteral("이 \"tree\" 폴더 잘 지웠습니다."));

    select(*d, QStringLiteral("stuck"));
    d->OnDelete();
    EXPECT_EQ(d->statusText(), QStringLiteral("이 \"locked.txt\" : 파일 지우다가 에러났습니다."));
    EXPECT_TRUE(server.exists(QStringLiteral("home/stuck/sub/locked.txt")));
    EXPECT_NE(row(*d, QStringLiteral("stuck")), nullptr);
    // The browser and the server agree on where they are: back at the start.
    EXPECT_EQ(d->session().currentDirectory(), QStringLiteral("/home"));
    EXPECT_EQ(child<QLabel>(*d, "currentDirText")->text(), QStringLiteral("/home"));
}

class TransferTest : public BrowserTest {
protected:
    static FtpTestServer::Options slow()
    {
        FtpTestServer::Options o;
        o.throttle = 256 * 1024;
        return o;
    }
    TransferTest()
        : BrowserTest(slow())
    {
    }
};

TEST_F(TransferTest, ARunningDownloadDrivesTheBarRefusesOtherCommandsAndCancels)
{
    server.write(QStringLiteral("big.zone"), QByteArray(4 * 1024 * 1024, 'z'));
    auto d = browser();
    ASSERT_TRUE(d->OnConnect());
    select(*d, QStringLiteral("big.zone"));
    auto *bar = child<QProgressBar>(*d, "progressBar");
    int barSeen = 0;
    QStringList refusals;
    // Once the bar moves, try what must wait, then cancel.
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, d.get(), [&] {
        if (bar->value() == 0)
            return;
        poll.stop();
        barSeen = bar->value();
        QTest::mouseClick(child<QPushButton>(*d, "connectButton"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(*d, "deleteButton"), Qt::LeftButton);
        d->reject();
        for (const auto &b : prompter.boxes)
            refusals << b.text;
        EXPECT_TRUE(d->isVisible());
        QTest::mouseClick(child<QPushButton>(*d, "cancelTransferButton"), Qt::LeftButton);
    });
    poll.start();
    d->accept();
    EXPECT_GT(barSeen, 0);
    EXPECT_LT(barSeen, 100);
    ASSERT_EQ(refusals.size(), 3);
    for (const QString &r : refusals)
        EXPECT_EQ(
            r, QStringLiteral("파일을 주고받는 중입니다. 전송이 끝나거나 전송을 취소한 뒤에 다시 하십시오."));
    EXPECT_TRUE(d->isVisible()) << "a cancelled download keeps the browser open";
    EXPECT_EQ(prompter.boxes.size(), 3u) << "no error box for a cancel";
    EXPECT_EQ(d->statusText(), QStringLiteral("파일 전송을 취소했습니다."));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(QDir(context.localFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(d->session().isConnected());
}

} // namespace
