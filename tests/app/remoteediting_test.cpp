// Editing a file from a server as an administrator does all day: open it
// over FTP, edit, Ctrl+S, and it goes back where it came from.
#include "apptestfixture.h"

#include "../ftp/ftptestserver.h"
#include "../ftp/scriptedftpprompter.h"
#include "ftp/ftpopendialog.h"
#include "ftp/ftpserverlist.h"
#include "platform/quorelids.h"

#include <QDialog>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTest>
#include <QTreeWidget>

#include <functional>

namespace {

class RemoteEditingTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ASSERT_TRUE(start());
        FtpContext &context = app->ftpContext();
        context.prompter = &ftpPrompter;
        context.localFolder = dir.filePath(QStringLiteral("Quindale"));
        FtpServerList list(context.iniPath);
        ASSERT_TRUE(list.create());
        ASSERT_TRUE(list.save(QStringLiteral("웹 서버"), server.entry()));
    }
    static QTreeWidgetItem *row(const CFtpOpenDialog &d, const QString &name)
    {
        for (int i = 0; i < d.fileList()->topLevelItemCount(); ++i) {
            if (d.fileList()->topLevelItem(i)->text(0) == name)
                return d.fileList()->topLevelItem(i);
        }
        return nullptr;
    }
    // The browser as the user drives it to open `name` in `folder`.
    static std::function<int(QDialog &)> openingFrom(const QString &folder, const QString &name)
    {
        return [folder, name](QDialog &dialog) {
            auto &b = static_cast<CFtpOpenDialog &>(dialog);
            b.show();
            b.OnInitDialog();
            EXPECT_TRUE(b.OnConnect());
            EXPECT_TRUE(b.listDirectory(folder));
            b.OnDoubleClick(row(b, name));
            return b.result();
        };
    }
    QStringList questionsTitled(const QString &title) const
    {
        QStringList out;
        for (const QString &q : ftpPrompter.questions) {
            if (q.startsWith(title + QStringLiteral(": ")))
                out << q;
        }
        return out;
    }

    FtpTestServer server;
    ScriptedFtpPrompter ftpPrompter;
};

TEST_F(RemoteEditingTest, AFileFromAServerRemembersItsOriginAndGoesBackThereOnCtrlS)
{
    server.write(QStringLiteral("zones/a.zone"), "a IN A 10.0.0.1\n");
    // The first connection to a plain-FTP server explains it once.
    ftpPrompter.choices = {0};
    app->ftpContext().execDialog = openingFrom(QStringLiteral("/zones"), QStringLiteral("a.zone"));
    trigger(ids::command::kFtpOpen);
    CQuorelDoc *doc = frame()->activeDocument();
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->GetPathName(), app->ftpContext().localFolder + QStringLiteral("/a.zone"));
    const QString url = QStringLiteral("ftp://quorel@127.0.0.1:%1/zones/a.zone").arg(server.port());
    EXPECT_EQ(doc->remoteOrigin().url, url);
    EXPECT_EQ(frame()->activeChildFrame()->windowTitle(), QStringLiteral("a.zone — ") + url);
    const QStringList told = questionsTitled(QStringLiteral("FTP 보안 안내"));
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("FTP over TLS로 바꾸기|SFTP로 바꾸기|취소")))
        << told[0].toStdString();

    // Ctrl+S saves the local copy, then asks about the server: "아니요"
    // leaves it, "예" sends it, "이 문서는 항상 올리기" stops asking.
    type(doc, QStringLiteral("b IN A 10.0.0.2\n"));
    ftpPrompter.choices = {2};
    trigger(ids::command::kFileSave);
    EXPECT_EQ(readBytes(doc->GetPathName()), QByteArray("a IN A 10.0.0.1\nb IN A 10.0.0.2\n"));
    EXPECT_TRUE(ftpPrompter.questions.back().contains(
        QStringLiteral("서버 웹 서버의 /zones/a.zone에도 올리시겠습니까?")))
        << ftpPrompter.questions.back().toStdString();
    EXPECT_EQ(server.read(QStringLiteral("zones/a.zone")), QByteArray("a IN A 10.0.0.1\n"));
    ftpPrompter.choices = {0};
    trigger(ids::command::kFileSave);
    EXPECT_EQ(server.read(QStringLiteral("zones/a.zone")), QByteArray("a IN A 10.0.0.1\nb IN A 10.0.0.2\n"));
    type(doc, QStringLiteral("c IN A 10.0.0.3\n"));
    ftpPrompter.choices = {1};
    trigger(ids::command::kFileSave);
    EXPECT_TRUE(server.read(QStringLiteral("zones/a.zone")).endsWith("c IN A 10.0.0.3\n"));
    const qsizetype asked = ftpPrompter.questions.size();
    type(doc, QStringLiteral("d IN A 10.0.0.4\n"));
    trigger(ids::command::kFileSave);
    EXPECT_EQ(ftpPrompter.questions.size(), asked) << "always: no more questions";
    EXPECT_TRUE(server.read(QStringLiteral("zones/a.zone")).endsWith("d IN A 10.0.0.4\n"));

    // "FTP로 저장하기" opens on that server, in that folder, with the name
    // filled in, connected on its own; the notice is not given again.
    QString shownFolder;
    QString shownName;
    app->ftpContext().execDialog = [&](QDialog &dialog) {
        auto &b = static_cast<CFtpOpenDialog &>(dialog);
        b.show();
        b.OnInitDialog();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return b.session().currentDirectory() == QStringLiteral("/zones"); }, 10000));
        shownFolder = b.session().currentDirectory();
        shownName = b.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        return int(QDialog::Rejected);
    };
    trigger(ids::command::kFtpSave);
    EXPECT_EQ(shownFolder, QStringLiteral("/zones"));
    EXPECT_EQ(shownName, QStringLiteral("a.zone"));
    EXPECT_EQ(questionsTitled(QStringLiteral("FTP 보안 안내")).size(), 1);

    // The same name from another folder of the server, while the copy is
    // open with edits: only ever stored beside it, the edits untouched.
    server.write(QStringLiteral("backup/zones/a.zone"), "old IN A 10.0.0.9\n");
    type(doc, QStringLiteral("e IN A 10.0.0.5\n"));
    const QByteArray savedBefore = readBytes(doc->GetPathName());
    ftpPrompter.choices = {0}; // "다른 이름으로 받기"
    app->ftpContext().execDialog = openingFrom(QStringLiteral("/backup/zones"), QStringLiteral("a.zone"));
    trigger(ids::command::kFtpOpen);
    EXPECT_TRUE(ftpPrompter.questions.back().contains(QStringLiteral("이미 Quorel에 열려 있습니다")))
        << ftpPrompter.questions.back().toStdString();
    EXPECT_EQ(readBytes(doc->GetPathName()), savedBefore);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(doc->textBuffer()->toPlainText().endsWith(QStringLiteral("e IN A 10.0.0.5\n")));
    CQuorelDoc *beside = frame()->activeDocument();
    ASSERT_NE(beside, doc);
    EXPECT_EQ(beside->GetPathName(), app->ftpContext().localFolder + QStringLiteral("/a (2).zone"));
    EXPECT_EQ(readBytes(beside->GetPathName()), QByteArray("old IN A 10.0.0.9\n"));
    EXPECT_EQ(beside->remoteOrigin().directory, QStringLiteral("/backup/zones"));
    beside->SetModifiedFlag(false);
    app->mainFrame()->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(doc->frame()));
    settle();

    // Saved under another name, the document is no longer the server's file.
    prompter.saveNames = {dir.filePath(QStringLiteral("local-copy.zone"))};
    trigger(ids::command::kFileSaveAs);
    EXPECT_FALSE(doc->remoteOrigin().isValid());
    EXPECT_EQ(frame()->activeChildFrame()->windowTitle(), QStringLiteral("local-copy.zone"));
}

} // namespace
