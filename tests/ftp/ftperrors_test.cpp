// What the FTP browser tells when a real server refuses or fails: the boxes'
// titles, the status line of a folder delete that stops, and the parent
// entry that is never deleted. Every command is a click on its button.
#include "browserharness.h"
#include "ftptestserver.h"

#include "../support/modalscript.h"
#include "ftp/ftpprompter.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

namespace {

// Renames a row as a user does: its label edited, the new name typed over
// the old one and confirmed with Return.
void renameByTyping(CFtpOpenDialog &d, const QString &name, const QString &newName)
{
    const QList<QTreeWidgetItem *> found = d.fileList()->findItems(name, Qt::MatchExactly, 0);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    QTreeWidgetItem *item = found.first();
    d.fileList()->setCurrentItem(item);
    d.fileList()->editItem(item, 0);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, newName);
    QTest::keyClick(editor, Qt::Key_Return);
}

class RefusingServerTest : public ::testing::Test, protected BrowserHarness {
protected:
    static FtpTestServer::Options sealed()
    {
        FtpTestServer::Options o;
        o.refuseChange << QStringLiteral("NewFolder") << QStringLiteral("sealed");
        return o;
    }
    RefusingServerTest()
        : server(sealed())
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(setUpBrowser(QStringLiteral("테스트 서버"), server.entry()));
    }
    static void click(CFtpOpenDialog &d, const char *button)
    {
        auto *b = child<QPushButton>(d, button);
        ASSERT_NE(b, nullptr) << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    FtpTestServer server;
};

} // namespace

TEST_F(RefusingServerTest, NewFolderDeleteAndRenameTellWhatTheServerRefused)
{
    server.write(QStringLiteral("home/sealed/inner.txt"), "1");
    server.write(QStringLiteral("home/plain.txt"), "2");
    auto d = browser();
    click(*d, "connectButton");
    ASSERT_TRUE(d->session().isConnected()) << prompter.texts_().join(u'\n').toStdString();
    ASSERT_TRUE(d->listDirectory(QStringLiteral("/home")));

    // Every new name refused: one box with the server's reason, no folder.
    click(*d, "newFolderButton");
    ASSERT_FALSE(prompter.boxes.empty());
    EXPECT_EQ(prompter.boxes.back().title, QStringLiteral("FTP 새로운 폴더 생성 에러"));
    EXPECT_FALSE(prompter.boxes.back().text.isEmpty());
    EXPECT_EQ(prompter.boxes.back().icon, FtpPrompter::Icon::None);
    EXPECT_FALSE(server.exists(QStringLiteral("home/NewFolder")));
    EXPECT_EQ(prompter.boxes.size(), 1u);

    // The parent entry is never deleted, and nothing is asked about it.
    select(*d, QStringLiteral(".."));
    click(*d, "deleteButton");
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("상위 디렉토리(..)는 지울 수 없습니다."));
    EXPECT_TRUE(prompter.questions.isEmpty());
    EXPECT_TRUE(server.exists(QStringLiteral("home")));

    // A folder whose removal is refused once emptied: the status line
    // names it, and its row stays.
    select(*d, QStringLiteral("sealed"));
    click(*d, "deleteButton");
    EXPECT_EQ(d->statusText(), QStringLiteral("이 \"sealed\" 폴더 지우려다가 에러났습니다."));
    EXPECT_TRUE(server.exists(QStringLiteral("home/sealed")));
    EXPECT_FALSE(server.exists(QStringLiteral("home/sealed/inner.txt")));
    EXPECT_NE(row(*d, QStringLiteral("sealed")), nullptr);
    EXPECT_EQ(d->session().currentDirectory(), QStringLiteral("/home"));

    // A rename the server answers with a refusal keeps the old name and
    // lets the user type another at once, without a box.
    const size_t boxes = prompter.boxes.size();
    ASSERT_NO_FATAL_FAILURE(renameByTyping(*d, QStringLiteral("sealed"), QStringLiteral("opened")));
    // The label edit opens again on the old name.
    EXPECT_TRUE(QTest::qWaitFor(
        [&d] {
            auto *again = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            return again && d->fileList()->isAncestorOf(again) && again->text() == QStringLiteral("sealed");
        },
        3000));
    EXPECT_TRUE(server.exists(QStringLiteral("home/sealed")));
    EXPECT_FALSE(server.exists(QStringLiteral("home/opened")));
    EXPECT_EQ(prompter.boxes.size(), boxes);
    EXPECT_NE(row(*d, QStringLiteral("sealed")), nullptr);
}

TEST_F(RefusingServerTest, TheRealBoxesAreTitledAndAnsweredByClicks)
{
    WidgetFtpPrompter real;
    context.prompter = &real;
    server.write(QStringLiteral("sealed/inner.txt"), "1");
    auto d = browser();
    click(*d, "connectButton");
    ASSERT_TRUE(d->session().isConnected());

    struct Seen {
        QString title, text;
        QMessageBox::Icon icon;
    };
    QList<Seen> seen;
    ModalScript script;
    auto answer = [&seen](const QString &label) {
        return [&seen, label](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return false;
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == label) {
                    seen << Seen {box->windowTitle(), box->text(), box->icon()};
                    QTest::mouseClick(button, Qt::LeftButton);
                    return true;
                }
            }
            return false;
        };
    };
    script.then(answer(QStringLiteral("확인"))); // the new folder refused
    script.then(answer(QStringLiteral("예"))); // delete the folder
    click(*d, "newFolderButton");
    select(*d, QStringLiteral("sealed"));
    click(*d, "deleteButton");
    EXPECT_TRUE(QTest::qWaitFor([&] { return script.finished() || script.timedOut(); }, 20000));
    EXPECT_FALSE(script.timedOut()) << "a box could not be answered";
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].title, QStringLiteral("FTP 새로운 폴더 생성 에러"));
    EXPECT_EQ(seen[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen[1].title, QStringLiteral("FTP 폴더 삭제 확인"));
    EXPECT_EQ(seen[1].text, QStringLiteral("이 폴더 'sealed' 를 삭제하시기를 원하시나요?"));
    EXPECT_EQ(seen[1].icon, QMessageBox::Question);
    EXPECT_EQ(d->statusText(), QStringLiteral("이 \"sealed\" 폴더 지우려다가 에러났습니다."));
    EXPECT_TRUE(server.exists(QStringLiteral("sealed")));
}

TEST_F(RefusingServerTest, AFailedDownloadIsToldWithTheServerFileTitle)
{
    server.write(QStringLiteral("gone.txt"), "x");
    auto d = browser();
    click(*d, "connectButton");
    ASSERT_TRUE(d->session().isConnected());
    // The file goes from the server after the listing showed it.
    QFile::remove(server.path(QStringLiteral("gone.txt")));
    select(*d, QStringLiteral("gone.txt"));
    click(*d, "okButton");
    ASSERT_GE(prompter.boxes.size(), 2u) << prompter.texts_().join(u'\n').toStdString();
    const auto &opening = prompter.boxes[prompter.boxes.size() - 2];
    EXPECT_EQ(opening.title, QStringLiteral("FTP 서버 파일열기 에러"));
    EXPECT_EQ(opening.icon, FtpPrompter::Icon::Error);
    EXPECT_FALSE(opening.text.isEmpty());
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("에러 났습니다"));
    EXPECT_TRUE(d->isVisible()) << "the browser stays open";
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(QFile::exists(context.localFolder + QStringLiteral("/gone.txt")));
}

class AbsentServerTest : public ::testing::Test, protected BrowserHarness { };

TEST_F(AbsentServerTest, AServerThatIsNotThereIsToldWithTheConnectTitle)
{
    // A port nothing listens on: taken, then let go.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    FtpServerEntry entry;
    entry.address = QStringLiteral("127.0.0.1");
    entry.user = QStringLiteral("quorel");
    entry.password = QStringLiteral("secret");
    entry.port = port;
    ASSERT_NO_FATAL_FAILURE(setUpBrowser(QStringLiteral("없는 서버"), entry));
    auto d = browser();
    QTest::mouseClick(child<QPushButton>(*d, "connectButton"), Qt::LeftButton);
    EXPECT_FALSE(d->session().isConnected());
    ASSERT_FALSE(prompter.boxes.empty());
    EXPECT_EQ(prompter.boxes.back().title, QStringLiteral("FTP 접속"));
    EXPECT_EQ(prompter.boxes.back().icon, FtpPrompter::Icon::Error);
    EXPECT_FALSE(prompter.boxes.back().text.isEmpty());
}

namespace {

class DroppingServerTest : public ::testing::Test, protected BrowserHarness {
protected:
    static FtpTestServer::Options quickTimeout()
    {
        FtpTestServer::Options o;
        o.idleTimeout = 1;
        return o;
    }
    DroppingServerTest()
        : server(quickTimeout())
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(setUpBrowser(QStringLiteral("테스트 서버"), server.entry()));
    }
    FtpTestServer server;
};

} // namespace

TEST_F(DroppingServerTest, ARenameThatGetsNoAnswerIsToldWithTheRenameTitle)
{
    server.write(QStringLiteral("home/old.txt"), "1");
    auto d = browser();
    QTest::mouseClick(child<QPushButton>(*d, "connectButton"), Qt::LeftButton);
    ASSERT_TRUE(d->listDirectory(QStringLiteral("/home")));
    ASSERT_TRUE(server.waitForIdleDrops()) << server.log().toStdString();

    ASSERT_NO_FATAL_FAILURE(renameByTyping(*d, QStringLiteral("old.txt"), QStringLiteral("new.txt")));
    QTest::qWait(50);

    ASSERT_FALSE(prompter.boxes.empty());
    // The dropped connection is found by the rename itself: a failure
    // without the server's refusal, told in a box with the rename's title.
    const auto &box = prompter.boxes.back();
    EXPECT_EQ(box.title, QStringLiteral("FTP 폴더이름바꾸기 에러"));
    EXPECT_EQ(box.icon, FtpPrompter::Icon::None);
    EXPECT_FALSE(box.text.isEmpty());
    EXPECT_TRUE(server.exists(QStringLiteral("home/old.txt")));
    EXPECT_FALSE(server.exists(QStringLiteral("home/new.txt")));
    EXPECT_NE(row(*d, QStringLiteral("old.txt")), nullptr) << "the row keeps its old name";
}
