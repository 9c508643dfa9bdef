// "검사" (F7): the servers' own checkers run for real on the active
// document, their findings in the "검사 결과" pane, a row leading to its line.
#include "apptestfixture.h"

#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "../support/modalscript.h"
#include "../support/testmain.h"
#include "app/checkcommand.h"
#include "panes/checkresultpane.h"
#include "platform/quorelids.h"

#include <algorithm>

namespace {

const char kZone[] = "$TTL 3600\n"
                     "@ IN SOA ns.example.com. admin.example.com. 1 3600 900 604800 300\n"
                     "@ IN NS ns.example.com.\n"
                     "ns IN A 192.0.2.1\n";
const char kNamedConf[] = "options {\n    directory \"/tmp\";\n};\n"
                          "zone \"example.com\" { type master; file \"db.example.com\"; };\n";
const char kApache[] = "<VirtualHost *:80>\n    ServerName www.example.com\n"
                       "    DocumentRoot /var/www/html\n</VirtualHost>\n";
const char kNginx[] = "server {\n    listen 8080;\n    server_name shop.example.com;\n"
                      "    root /var/www/shop;\n}\n";

struct Row {
    QString line;
    QString message;
};

// PATH for the rest of a test, the program's own put back afterwards.
class ScopedPath {
public:
    explicit ScopedPath(const QString &path)
        : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", path.toLocal8Bit());
    }
    ~ScopedPath() { qputenv("PATH", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

class CheckTest : public AppTest {
protected:
    // Quorel installed in a folder of the test's, so its temporary copies go
    // to a temp/ folder the test can look into.
    CQuorelView *open(const char *name, const QByteArray &bytes)
    {
        QDir().mkpath(tempFolder());
        QDir().mkpath(dir.filePath(QStringLiteral("bad")));
        user->setValue(QStringLiteral("EnvOption/ProPathName"), dir.filePath(QStringLiteral("install")));
        return startFocused(name, bytes);
    }
    QString tempFolder() const { return dir.filePath(QStringLiteral("install/temp")); }
    QStringList leftInTemp() const
    {
        return QDir(tempFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    CheckCommand *command() const { return frame()->findChild<CheckCommand *>(); }
    // F7 on the view, as a user presses it; a zone's origin question gets
    // `origin` typed over its suggestion, which is kept in `suggested`.
    bool pressF7(CQuorelView *view, const QString &origin = {})
    {
        ModalScript script(origin.isEmpty() ? 3000 : 20000);
        if (!origin.isEmpty())
            script.then([&](QWidget *modal) {
                auto *edit = modal->findChild<QLineEdit *>(QStringLiteral("checkOriginEdit"));
                if (modal->objectName() != QStringLiteral("checkOriginDialog") || !edit)
                    return false;
                suggested = edit->text();
                // QTest types ASCII only; a Hangul name is accepted as suggested.
                if (origin != suggested) {
                    edit->selectAll();
                    QTest::keyClicks(edit, origin);
                }
                QTest::keyClick(edit, Qt::Key_Return);
                return true;
            });
        // Back in the window, as after any earlier dialog.
        QApplication::setActiveWindow(frame());
        view->setFocus();
        QTest::keyClick(view, Qt::Key_F7);
        const bool done = QTest::qWaitFor([this] { return !command()->runner().isRunning(); }, 20000);
        settle();
        return done && script.finished() && !script.timedOut();
    }
    QList<Row> rows() const
    {
        QList<Row> list;
        const QTreeWidget *tree = command()->pane()->list();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            list.append({tree->topLevelItem(i)->text(0), tree->topLevelItem(i)->text(1)});
        return list;
    }
    QString wrapperFolder()
    {
        const QString folder = dir.filePath(QStringLiteral("wrap"));
        QDir().mkpath(folder);
        return folder;
    }
    // A real script under the checker's name, first on PATH.
    void wrap(const QString &name, const QString &body)
    {
        const QString path = wrapperFolder() + QLatin1Char('/') + name;
        writeBytes(path, "#!/bin/sh\n" + body.toUtf8() + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString suggested;
};

TEST_F(CheckTest, EachCheckerPassesACleanFileAndReportsAnErrorAtItsLine)
{
    struct Case {
        const char *name;
        QByteArray clean;
        QByteArray faulty; // the clean text with an error on `line`
        int line;
        const char *program;
        const char *origin;
    } cases[] = {
        {"example.com.zone", kZone, QByteArray(kZone) + "www IN AX 192.0.2.2\n", 5, "named-checkzone",
            "example.com"},
        {"named.conf", kNamedConf,
            QByteArray(kNamedConf).replace("};\nzone", "    bogus-option yes;\n};\nzone"), 3,
            "named-checkconf", ""},
        {"site.conf", kApache, QByteArray(kApache).replace("    Doc", "    NoSuchDirective on\n    Doc"), 3,
            "apache2", ""},
        {"shop.conf", kNginx, QByteArray(kNginx).replace("    root", "    no_such_directive on;\n    root"),
            4, "nginx", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool faulty : {false, true}) {
            // The zone's name is asked once per file: the faulty one is another file.
            const QByteArray name = (faulty ? "bad/" : "") + QByteArray(c.name);
            CQuorelView *view = open(name.constData(), faulty ? c.faulty : c.clean);
            ASSERT_NE(view, nullptr);
            ASSERT_TRUE(pressF7(view, QString::fromUtf8(c.origin)));
            if (*c.origin) {
                EXPECT_EQ(suggested, QString::fromUtf8(c.origin)) << "guessed from the file name";
            }
            const QList<Row> found = rows();
            ASSERT_FALSE(found.isEmpty());
            QStringList shown;
            for (const Row &r : found)
                shown << r.line + QLatin1Char('|') + r.message;
            SCOPED_TRACE(shown.join(QLatin1Char('\n')).toStdString());
            const QString summary = found.last().message;
            EXPECT_TRUE(summary.contains(QString::fromUtf8(c.program))) << summary.toStdString();
            EXPECT_EQ(summary.contains(QStringLiteral("이상 없음")), !faulty) << summary.toStdString();
            const bool atLine = std::any_of(found.cbegin(), found.cend(),
                [&](const Row &r) { return r.line == QString::number(c.line) && !r.message.isEmpty(); });
            EXPECT_EQ(atLine, faulty);
            for (const Row &r : found)
                EXPECT_FALSE(r.message.contains(tempFolder())) << "the copy's path shows";
            EXPECT_EQ(leftInTemp(), QStringList());
            app.reset();
        }
    }
}

TEST_F(CheckTest, HangulNamesReachTheCheckerAsTheFileHoldsThemAndComeBackInHangul)
{
    // Given its Hangul name in ACE form, the checker would find every record
    // outside the zone; given the file's own bytes, only what is wrong.
    const QByteArray zone = cp949("$ORIGIN 예제.한국.\n$TTL 3600\n"
                                  "@ IN SOA ns.예제.한국. admin.예제.한국. 1 3600 900 604800 300\n"
                                  "@ IN NS ns.예제.한국.\nns IN A 192.0.2.1\n메일 IN A 192.0.2.25\n");
    CQuorelView *view = open("hangul.zone", zone);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(pressF7(view, QStringLiteral("예제.한국")));
    EXPECT_EQ(suggested, QStringLiteral("예제.한국")) << "taken from $ORIGIN";
    const QList<Row> found = rows();
    ASSERT_FALSE(found.isEmpty());
    EXPECT_TRUE(found.last().message.contains(QStringLiteral("이상 없음")))
        << found.last().message.toStdString();
    const bool namesInHangul = std::any_of(found.cbegin(), found.cend(), [](const Row &r) {
        return r.line == QStringLiteral("6") && r.message.contains(QStringLiteral("메일.예제.한국"));
    });
    EXPECT_TRUE(namesInHangul);
    for (const Row &r : found) {
        EXPECT_FALSE(r.message.contains(QStringLiteral("out-of-zone"))) << r.message.toStdString();
        EXPECT_FALSE(r.message.contains(QLatin1Char('\\'))) << r.message.toStdString();
    }
    app.reset();

    // Apache writes such bytes as \xHH.
    view = open("hangul-site.conf",
        cp949("<VirtualHost *:80>\n    ServerName www.example.com\n    DocumentRoot /var/www/없는폴더\n"
              "</VirtualHost>\n"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(pressF7(view));
    const QList<Row> apache = rows();
    EXPECT_TRUE(std::any_of(apache.cbegin(), apache.cend(),
        [](const Row &r) { return r.message.contains(QStringLiteral("/var/www/없는폴더")); }));
}

TEST_F(CheckTest, TheZoneQuestionSuggestsTheSoaOwnerAndItsCancelRunsNothing)
{
    CQuorelView *view = open("primary.zone", QByteArray(kZone).replace("@ IN SOA", "example.org. IN SOA"));
    ASSERT_NE(view, nullptr);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ModalScript script;
        QString shown;
        script.then([&](QWidget *modal) {
            auto *edit = modal->findChild<QLineEdit *>(QStringLiteral("checkOriginEdit"));
            auto *buttons = modal->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            if (!edit || !buttons)
                return false;
            shown = edit->text();
            QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            return true;
        });
        QApplication::setActiveWindow(frame());
        view->setFocus();
        QTest::keyClick(view, Qt::Key_F7);
        ASSERT_TRUE(script.finished()) << "a cancelled name is not remembered: asked again";
        EXPECT_EQ(shown, QStringLiteral("example.org"));
        EXPECT_FALSE(command()->runner().isRunning());
        EXPECT_EQ(command()->pane(), nullptr);
    }
}

TEST_F(CheckTest, DoubleClickOnAFindingMovesTheCaretToItsLine)
{
    CQuorelView *view = open("db.example.com", QByteArray(kZone) + "www IN AX 192.0.2.2\n");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(frame()->findChild<CheckResultPane *>(), nullptr) << "no pane before the first check";
    ASSERT_TRUE(pressF7(view, QStringLiteral("example.com")));
    CheckResultPane *pane = command()->pane();
    ASSERT_TRUE(pane->isVisible());
    EXPECT_EQ(frame()->dockWidgetArea(pane), Qt::BottomDockWidgetArea);
    view->setTextCursor(TextSelection {0, 0});
    QTreeWidget *tree = pane->list();
    const QList<QTreeWidgetItem *> items = tree->findItems(QStringLiteral("5"), Qt::MatchExactly, 0);
    ASSERT_EQ(items.size(), 1);
    EXPECT_TRUE(items.first()->text(1).contains(QStringLiteral("AX")));
    const QPoint at = tree->visualItemRect(items.first()).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(caretLine(*view), 4);
}

TEST_F(CheckTest, ChecksACopyOnlyItsOwnerReadsRemovedAfterwardsAndLeavesTheDocumentAlone)
{
    const QString log = dir.filePath(QStringLiteral("stat.log"));
    const QString copy = dir.filePath(QStringLiteral("seen.zone"));
    wrap(QStringLiteral("named-checkzone"),
        QStringLiteral("for last; do :; done\nstat -c '%a %n' \"$last\" >>'%1'\ncp \"$last\" '%2'\n"
                       "exec /usr/bin/named-checkzone \"$@\"")
            .arg(log, copy));
    const ScopedPath path(wrapperFolder() + QStringLiteral(":/usr/bin:/bin"));
    // Hangul in code page 949: the copy holds the bytes a save would write.
    const QByteArray bytes = QByteArray(kZone) + cp949("; 메일 서버\n");
    CQuorelView *view = open("db.example.com", bytes);
    ASSERT_NE(view, nullptr);
    CQuorelDoc *doc = frame()->activeDocument();
    moveCaretToEnd(*view);
    QTest::keyClicks(view, QStringLiteral("; typed"));
    const QString typed = viewText(*view);
    ASSERT_TRUE(doc->IsModified());

    ASSERT_TRUE(pressF7(view, QStringLiteral("example.com")));
    EXPECT_TRUE(rows().last().message.contains(QStringLiteral("이상 없음")));
    EXPECT_EQ(viewText(*view), typed);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("db.example.com"))), bytes);
    EXPECT_EQ(readBytes(copy), bytes + "; typed");

    // Asked once for this file: the second check goes without the question.
    ASSERT_TRUE(pressF7(view));
    const QStringList seen
        = QString::fromLocal8Bit(readBytes(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(seen.size(), 2);
    for (const QString &line : seen) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("600 "))) << line.toStdString();
        EXPECT_FALSE(QFileInfo::exists(line.section(QLatin1Char(' '), 1))) << "the copy stays behind";
    }
}

TEST_F(CheckTest, ACheckerThatHangsIsStoppedAndOneThatIsMissingNamesItsPackage)
{
    wrap(QStringLiteral("named-checkconf"), QStringLiteral("exec sleep 30"));
    {
        const ScopedPath path(wrapperFolder() + QStringLiteral(":/usr/bin:/bin"));
        CQuorelView *view = open("named.conf", kNamedConf);
        ASSERT_NE(view, nullptr);
        command()->runner().setTimeLimit(1000);
        // While it runs, the window goes on and the status line says why it waits.
        QTest::keyClick(view, Qt::Key_F7);
        ASSERT_TRUE(command()->runner().isRunning());
        EXPECT_TRUE(frame()->statusText().contains(QStringLiteral("검사하고 있습니다")));
        QTest::keyClicks(view, QStringLiteral("# typed meanwhile"));
        EXPECT_TRUE(viewText(*view).contains(QStringLiteral("# typed meanwhile")));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !command()->runner().isRunning(); }, 20000));
        EXPECT_TRUE(rows().last().message.contains(QStringLiteral("중지")))
            << rows().last().message.toStdString();
        EXPECT_TRUE(frame()->statusText().contains(QStringLiteral("중지")));
        EXPECT_EQ(leftInTemp(), QStringList());
        app.reset();
    }
    // A PATH that names an sbin folder is taken as complete: /usr/sbin is
    // not looked in behind it.
    const QString empty = dir.filePath(QStringLiteral("empty/sbin"));
    QDir().mkpath(empty);
    const ScopedPath path(empty);
    const struct {
        const char *name;
        const char *text;
        const char *package;
    } cases[] = {{"named.conf", kNamedConf, "bind9-utils"}, {"shop.conf", kNginx, "nginx"},
        {"site.conf", kApache, "apache2"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CQuorelView *view = open(c.name, c.text);
        ASSERT_NE(view, nullptr);
        prompter.messages.clear();
        QTest::keyClick(view, Qt::Key_F7);
        ASSERT_EQ(prompter.messages.size(), 1);
        EXPECT_TRUE(
            prompter.messages.first().contains(QStringLiteral("패키지 %1").arg(QString::fromUtf8(c.package))))
            << prompter.messages.first().toStdString();
        EXPECT_FALSE(command()->runner().isRunning());
        app.reset();
    }
}

int main(int argc, char **argv)
{
    return runWidgetTests(argc, argv);
}
