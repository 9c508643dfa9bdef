// The server list's reading rules, the server list dialog (134) and the
// text input dialog (135), on real files.
#include "scriptedftpprompter.h"

#include "ftp/ftpserverlist.h"
#include "ftp/ftpserverlistdialog.h"
#include "ftp/textinputdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class ServerListTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("FtpOpen.ini"));
    ScriptedFtpPrompter prompter;

    template <typename T> T *child(QWidget &w, const char *name)
    {
        return w.findChild<T *>(QString::fromLatin1(name));
    }
};

TEST_F(ServerListTest, MissingKeysReadAsDefaultsAndAreWrittenBack)
{
    writeAll(ini, ";ini config file of FtpOpenDialog\n[web]\nAdd=ftp.example.kr\nID=Error\nPORT=0\n");
    FtpServerList list(ini);
    const FtpServerEntry e = list.read(QStringLiteral("WEB"));
    EXPECT_EQ(e.address, QStringLiteral("ftp.example.kr"));
    EXPECT_EQ(e.user, QString()) << "a stored \"Error\" reads as empty";
    EXPECT_EQ(e.password, QString());
    EXPECT_EQ(e.port, 21);
    EXPECT_EQ(e.passive, 0);
    EXPECT_EQ(e.protocol, FtpServerEntry::Protocol::Ftp) << "a list from before protocols is plain FTP";
    EXPECT_EQ(readAll(ini),
        QByteArray(";ini config file of "
                   "FtpOpenDialog\n[web]\nAdd=ftp.example.kr\nID=\nPORT=21\nPASS=\nPASSIVE=0\n"));
}

TEST_F(ServerListTest, TheDialogAddsSavesAndDeletesServers)
{
    CFtpServerListDialog first(ini, prompter, QStringLiteral("Quorel"));
    // A new file: its comment line only, nothing shown, port 0.
    EXPECT_EQ(readAll(ini), QByteArray(";ini config file of FtpOpenDialog"));
    EXPECT_EQ(child<QComboBox>(first, "serverCombo")->count(), 0);
    EXPECT_EQ(child<QLineEdit>(first, "portEdit")->text(), QStringLiteral("0"));

    prompter.texts = {QStringLiteral("Office"), QStringLiteral("집 서버"), QStringLiteral("OFFICE"),
        QStringLiteral("HOME 서버")};
    first.OnNew();
    EXPECT_EQ(prompter.prompts.front(), QStringLiteral("새로 추가할   FTP 이름을 입력하세요.||"));
    // The new server is written at once with the default entry.
    EXPECT_EQ(FtpServerList(ini).read(QStringLiteral("office")).user, QStringLiteral("anonymous"));
    child<QLineEdit>(first, "addressEdit")->setText(QStringLiteral("ftp.company.kr"));
    child<QLineEdit>(first, "portEdit")->setText(QStringLiteral("2121"));
    child<QCheckBox>(first, "passiveCheck")->setChecked(true);
    child<QComboBox>(first, "protocolCombo")->setCurrentIndex(1);
    QTest::mouseClick(child<QPushButton>(first, "saveButton"), Qt::LeftButton);
    first.OnNew();
    first.OnNew(); // the same name in other letters: refused
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("입력하신 서버명이 등록되어있습니다."));
    EXPECT_EQ(prompter.boxes[0].title, QStringLiteral("Quorel"));
    // Newest on top while the dialog is open.
    auto *names = child<QComboBox>(first, "serverCombo");
    ASSERT_EQ(names->count(), 2);
    EXPECT_EQ(names->itemText(0), QStringLiteral("집 서버"));

    // The file keeps the order of first writing.
    CFtpServerListDialog second(ini, prompter, QStringLiteral("Quorel"));
    names = child<QComboBox>(second, "serverCombo");
    ASSERT_EQ(names->count(), 2);
    EXPECT_EQ(names->itemText(0), QStringLiteral("Office"));
    EXPECT_EQ(child<QLineEdit>(second, "addressEdit")->text(), QStringLiteral("ftp.company.kr"));
    EXPECT_EQ(child<QLineEdit>(second, "portEdit")->text(), QStringLiteral("2121"));
    EXPECT_TRUE(child<QCheckBox>(second, "passiveCheck")->isChecked());
    EXPECT_EQ(FtpServerList(ini).read(QStringLiteral("Office")).protocol, FtpServerEntry::Protocol::Ftps);
    EXPECT_EQ(child<QComboBox>(second, "protocolCombo")->currentText(),
        QStringLiteral("FTP over TLS (explicit, AUTH TLS)"));
    second.OnNew(); // "HOME 서버" against "집 서버": a different name, taken
    EXPECT_EQ(names->count(), 3);

    // No address: told, nothing written.
    prompter.boxes.clear();
    names->setCurrentIndex(1);
    const QByteArray before = readAll(ini);
    child<QLineEdit>(second, "addressEdit")->clear();
    second.OnSave();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("주소는 꼭 넣어주세요\n저정하지 않습니다."));
    EXPECT_EQ(readAll(ini), before);

    // A port out of range keeps the dialog open.
    child<QLineEdit>(second, "addressEdit")->setText(QStringLiteral("ftp.home.kr"));
    child<QLineEdit>(second, "portEdit")->setText(QStringLiteral("70000"));
    second.show();
    second.accept();
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("0에서 65535 사이의 정수를 입력하십시오."));
    child<QLineEdit>(second, "portEdit")->setText(QStringLiteral("21"));
    second.accept();
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(second.selectedIndex(), 1);

    // Deleting every entry leaves the default entry on screen.
    CFtpServerListDialog third(ini, prompter, QStringLiteral("Quorel"));
    prompter.okCancelAnswer = false;
    third.OnDelete();
    EXPECT_EQ(FtpServerList(ini).names().size(), 3);
    prompter.okCancelAnswer = true;
    for (int i = 0; i < 3; ++i)
        third.OnDelete();
    EXPECT_EQ(
        prompter.questions.back(), QStringLiteral("삭제: 선택된 항목이 삭제됩니다. 계속하시겠습니까 ?"));
    EXPECT_TRUE(FtpServerList(ini).names().isEmpty());
    EXPECT_EQ(child<QComboBox>(third, "serverCombo")->count(), 0);
    EXPECT_EQ(child<QLineEdit>(third, "userEdit")->text(), QStringLiteral("anonymous"));
}

TEST_F(ServerListTest, AListHoldingAPasswordIsForItsOwnerOnlyAndAnotherUsersIsNeverWritten)
{
    const QByteArray before
        = ";ini config file of FtpOpenDialog\n[web]\nAdd=ftp.example.kr\nID=admin\nPORT=21\n"
          "PASS=\nPASSIVE=0\n";
    writeAll(ini, before);
    ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0644), 0);
    const auto mode = [this] {
        struct stat info { };
        return ::stat(QFile::encodeName(ini).constData(), &info) == 0 ? (info.st_mode & 0777) : 0u;
    };
    {
        CFtpServerListDialog dialog(ini, prompter, QStringLiteral("Quorel"));
        auto *status = child<QLabel>(dialog, "serverListStatus");
        // Saved without a password, the list keeps the mode its owner gave it.
        QTest::mouseClick(child<QPushButton>(dialog, "saveButton"), Qt::LeftButton);
        EXPECT_EQ(mode(), 0644u);
        EXPECT_TRUE(status->text().isEmpty());

        QLineEdit *password = child<QLineEdit>(dialog, "passwordEdit");
        password->clear();
        QTest::keyClicks(password, QStringLiteral("s3cret"));
        QTest::mouseClick(child<QPushButton>(dialog, "saveButton"), Qt::LeftButton);
        EXPECT_EQ(mode(), 0600u);
        EXPECT_EQ(FtpServerList(ini).read(QStringLiteral("web")).password, QStringLiteral("s3cret"));
        EXPECT_TRUE(status->text().contains(QStringLiteral("0600"))) << status->text().toStdString();

        // Made readable again by hand: the next write tightens it again.
        ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0664), 0);
        QTest::mouseClick(child<QPushButton>(dialog, "saveButton"), Qt::LeftButton);
        EXPECT_EQ(mode(), 0600u);
        EXPECT_TRUE(prompter.boxes.empty());
    }

    if (::geteuid() != 0)
        return; // only root can give the file to another user
    ASSERT_EQ(::chown(QFile::encodeName(ini).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0644), 0);
    const QByteArray theirs = readAll(ini);
    CFtpServerListDialog dialog(ini, prompter, QStringLiteral("Quorel"));
    QLineEdit *password = child<QLineEdit>(dialog, "passwordEdit");
    password->clear();
    QTest::keyClicks(password, QStringLiteral("mine"));
    QTest::mouseClick(child<QPushButton>(dialog, "saveButton"), Qt::LeftButton);
    EXPECT_EQ(readAll(ini), theirs);
    EXPECT_EQ(mode(), 0644u);
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_TRUE(prompter.boxes[0].text.contains(QStringLiteral("다른 사용자")))
        << prompter.boxes[0].text.toStdString();
}

TEST_F(ServerListTest, TheProtocolChoiceCarriesItsDefaultPortButNotATypedOne)
{
    CFtpServerListDialog dialog(ini, prompter, QStringLiteral("Quorel"));
    prompter.texts = {QStringLiteral("SSH")};
    dialog.OnNew();
    auto *protocol = child<QComboBox>(dialog, "protocolCombo");
    auto *port = child<QLineEdit>(dialog, "portEdit");
    ASSERT_EQ(protocol->count(), 3);
    EXPECT_EQ(protocol->itemText(2), QStringLiteral("SFTP"));
    EXPECT_EQ(port->text(), QStringLiteral("21"));
    protocol->setCurrentIndex(2);
    EXPECT_EQ(port->text(), QStringLiteral("22"));
    EXPECT_FALSE(child<QCheckBox>(dialog, "passiveCheck")->isEnabled()) << "no passive mode over SFTP";
    protocol->setCurrentIndex(1); // FTP over TLS: the FTP port again
    EXPECT_EQ(port->text(), QStringLiteral("21"));
    EXPECT_TRUE(child<QCheckBox>(dialog, "passiveCheck")->isEnabled());
    protocol->setCurrentIndex(2);
    child<QLineEdit>(dialog, "addressEdit")->setText(QStringLiteral("ssh.example.kr"));
    dialog.OnSave();
    FtpServerEntry saved = FtpServerList(ini).read(QStringLiteral("SSH"));
    EXPECT_EQ(saved.protocol, FtpServerEntry::Protocol::Sftp);
    EXPECT_EQ(saved.port, 22);

    // A port the user typed stays whatever the protocol.
    port->setText(QStringLiteral("2222"));
    protocol->setCurrentIndex(0);
    EXPECT_EQ(port->text(), QStringLiteral("2222"));
    // Showing a saved entry sets its protocol without touching its port.
    CFtpServerListDialog again(ini, prompter, QStringLiteral("Quorel"));
    EXPECT_EQ(child<QComboBox>(again, "protocolCombo")->currentText(), QStringLiteral("SFTP"));
    EXPECT_EQ(child<QLineEdit>(again, "portEdit")->text(), QStringLiteral("22"));

    // An SFTP entry without a port reads as port 22, an FTP one as 21.
    writeAll(ini, "[bare ssh]\nAdd=h\nPROTOCOL=sftp\n[bare ftp]\nAdd=h\n");
    EXPECT_EQ(FtpServerList(ini).read(QStringLiteral("bare ssh")).port, 22);
    EXPECT_EQ(FtpServerList(ini).read(QStringLiteral("bare ftp")).port, 21);
}

TEST(TextInputDialog, TrimsAndHoldsAtMost256Bytes)
{
    CTextInputDialog dialog(QStringLiteral("이동할 디렉토리명을 넣어주세요"), QStringLiteral("/pub"),
        QStringLiteral("FTP 디렉토리 이동"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("FTP 디렉토리 이동"));
    EXPECT_EQ(dialog.edit()->text(), QStringLiteral("/pub"));
    dialog.edit()->clear();
    QTest::keyClicks(dialog.edit(), QStringLiteral("  new name  "));
    dialog.accept();
    EXPECT_EQ(dialog.text(), QStringLiteral("new name"));
    dialog.edit()->setText(QString(200, QChar(0xAC00)));
    EXPECT_EQ(dialog.edit()->text(), QString(128, QChar(0xAC00))) << "a syllable counts two bytes";
}

} // namespace
