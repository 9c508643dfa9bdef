// quorel-scenes: the real Quorel (application object, main frame, message
// boxes and dialogs) brought to one scene that a picture in the README
// shows, then a PNG of the screen. Run under an X server by
// scripts/screenshot --scene NAME.
//   quorel-scenes converted|failure|preview OUTPUT.png
//   converted: the bundled zone sample converted to Punycode, each changed
//            line kept above it as a comment
//   failure: a zone with three refused lines converted to Punycode, with
//            the message that lists them
//   warnings: a virtual host whose rewrite conditions keep Hangul hosts,
//            converted to Punycode, with the list of those hosts
//   preview: the print preview of the bundled zone sample
//   about: the About dialog
//   find, replace: the find dialog, and the replace dialog with its
//            replacement turned into Punycode, over the zone sample
//   wizard-start, wizard-open, wizard-convert, wizard-save: the conversion
//            wizard on each of its pages, converting the zone template
//   ftp-servers: the FTP server list (134) with two servers
//   ftp-input: the text input (135) asking for a new server's name
//   ftp-sftp: the server list (134) showing a server reached over SFTP
//   ftp-browser: the FTP browser (131) connected to a local FTP server
//            (pyftpdlib on 127.0.0.1, started and stopped here)
//   ftp-overwrite: the same browser asked for a file whose name the local
//            FTP folder holds already
//   ftp-saveback: Ctrl+S on a file opened from that server, asking to send
//            it back
//   goto: the go-to-line box (Ctrl+G) with a line and column typed in
//   settings: the 환경 설정 dialog over the zone sample
//   check: "검사" (F7) on a zone with a mistyped record type, its findings
//            in the "검사 결과" pane
#include "app/quorelapp.h"
#include "document/namebytes.h"
#include "document/quoreldoc.h"
#include "editor/convfindreplacedialog.h"
#include "editor/mainframe.h"
#include "editor/quorelview.h"
#include "editor/widgetprompter.h"
#include "ftp/ftpopendialog.h"
#include "ftp/ftpserverlist.h"
#include "ftp/ftpserverlistdialog.h"
#include "platform/qttranslation.h"
#include "platform/quorelids.h"
#include "wizard/convwizardsheet.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

// Line 63 holds a Hangul filler, line 66 a loose jamo, line 69 a symbol.
QByteArray failingZone()
{
    QString text = QStringLiteral("$ORIGIN 한국.kr.\n$TTL 3600\n"
                                  "@\tIN\tSOA\tns.한국.kr. admin.한국.kr. (1 3600 900 604800 86400)\n"
                                  "\tIN\tNS\tns.한국.kr.\n");
    for (int line = 5; line <= 72; ++line) {
        if (line == 63)
            text += QStringLiteral("가") + QChar(0x3164) + QStringLiteral("\tIN\tA\t10.0.0.63\n");
        else if (line == 66)
            text += QStringLiteral("한글ㄱ\tIN\tA\t10.0.0.66\n");
        else if (line == 69)
            text += QStringLiteral("별★\tIN\tA\t10.0.0.69\n");
        else
            text += QStringLiteral("호스트%1\tIN\tA\t10.0.0.%1\n").arg(line);
    }
    return encodeNameText(text, namecodec::Encoding::Cp949).value_or(QByteArray());
}

// The wizard's save prompt answered with a name in the scene's folder.
class ScenePrompter : public WidgetPrompter {
public:
    QString savePath;
    QString saveFileNameReplacing(
        const QString &proposal, const QString &filter, const QString &suffix) override
    {
        return savePath.isEmpty() ? WidgetPrompter::saveFileNameReplacing(proposal, filter, suffix)
                                  : savePath;
    }
};
// A small site on a local FTP server for the browser's picture.
int startFtpServer(QProcess &server, const QString &root)
{
    QDir dir(root);
    dir.mkpath(QStringLiteral("zones/reverse"));
    dir.mkpath(QStringLiteral("zones/한글도메인"));
    dir.mkpath(QStringLiteral("zones/backup"));
    auto write = [&dir](const QString &name, int size) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(size, ';'));
    };
    write(QStringLiteral("zones/예제.한국.zone"), 2841);
    write(QStringLiteral("zones/named.conf"), 1290);
    write(QStringLiteral("zones/vhost-쇼핑.conf"), 733);
    write(QStringLiteral("zones/readme.txt"), 412);
    server.start(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(QUOREL_SOURCE_DIR "/tests/ftp/ftpserver.py"), QStringLiteral("--root"), root});
    if (!server.waitForStarted(10000))
        return 0;
    QByteArray line;
    while (!line.contains('\n') && server.waitForReadyRead(10000))
        line += server.readAllStandardOutput();
    return line.startsWith("PORT ") ? line.mid(5).trimmed().toInt() : 0;
}

// Closes the modal windows one over the other, the top one first, each
// once its own loop has let go of the one above it.
void closeModals()
{
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->close();
        QTimer::singleShot(100, [] { closeModals(); });
    }
}

bool grabScreen(const QString &out)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(out, "PNG");
}

// The server list of the FTP scenes: a local server and two elsewhere.
void writeServerList(const QString &path, int port)
{
    FtpServerList list(path);
    list.create();
    FtpServerEntry local;
    local.address = QStringLiteral("127.0.0.1");
    local.user = QStringLiteral("quorel");
    local.password = QStringLiteral("secret");
    local.port = port;
    local.passive = 1;
    list.save(QStringLiteral("시험 서버 (로컬)"), local);
    FtpServerEntry office;
    office.address = QStringLiteral("ftp.예제.한국");
    office.user = QStringLiteral("dnsadmin");
    office.password = QStringLiteral("********");
    list.save(QStringLiteral("회사 DNS 서버"), office);
    FtpServerEntry web;
    web.address = QStringLiteral("www.예제.한국");
    web.user = QStringLiteral("webadmin");
    web.port = FtpServerEntry::kSftpDefaultPort;
    web.protocol = FtpServerEntry::Protocol::Sftp;
    list.save(QStringLiteral("웹 서버 (SFTP)"), web);
}

// A zone as an administrator might have typed it: line 9 names a record
// type that does not exist.
QByteArray checkedZone()
{
    return QByteArrayLiteral("$ORIGIN example.com.\n"
                             "$TTL 3600\n"
                             "@\tIN\tSOA\tns1.example.com. hostmaster.example.com. (\n"
                             "\t\t2024050101 3600 900 604800 300 )\n"
                             "\tIN\tNS\tns1.example.com.\n"
                             "\tIN\tMX\t10 mail.example.com.\n"
                             "ns1\tIN\tA\t192.0.2.53\n"
                             "mail\tIN\tA\t192.0.2.25\n"
                             "shop\tIN\tAAA\t2001:db8::80\n"
                             "www\tIN\tCNAME\tshop.example.com.\n");
}

// One scene being played: the running Quorel, where the picture goes, and
// what came of it.
struct Scene {
    QApplication &application;
    CQuorelApp &app;
    CMainFrame *frame;
    QString name;
    QString out;
    int status = 1;

    void finish(int delay) { QTimer::singleShot(delay, &application, &QApplication::quit); }

    // Once the scene's modal window is up, take the picture and close it.
    void shootModal()
    {
        QTimer::singleShot(1500, [this] {
            // Without a window manager the preview opens small: give it the
            // screen, so the page can be read.
            if (auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget()))
                preview->setGeometry(
                    QGuiApplication::primaryScreen()->availableGeometry().adjusted(60, 40, -60, -40));
            QTimer::singleShot(800, [this] {
                status = grabScreen(out) ? 0 : 1;
                closeModals();
                finish(200);
            });
        });
    }

    void shootNow(int delay = 1200)
    {
        QTimer::singleShot(delay, [this] {
            status = grabScreen(out) ? 0 : 1;
            finish(200);
        });
    }

    // The FTP browser the scene opened, connected and in the site's zones.
    static CFtpOpenDialog *browserInZones()
    {
        auto *browser = qobject_cast<CFtpOpenDialog *>(QApplication::activeModalWidget());
        if (browser) {
            browser->OnConnect();
            browser->listDirectory(QStringLiteral("zones"));
        }
        return browser;
    }

    void trigger(int command) { frame->action(command)->trigger(); }

    void playFind()
    {
        CQuorelView *view = frame->activeView();
        // The name of the zone's origin selected, as a user would before Ctrl+F.
        const QString origin = QStringLiteral("한글도메인.kr");
        const int at = view->buffer()->find(origin, 0);
        view->setTextCursor(TextSelection {at, at + static_cast<int>(origin.size())});
        trigger(name == QStringLiteral("find") ? ids::command::kEditFind : ids::command::kEditReplace);
        CConvFindReplaceDialog *dialog = view->findDialog();
        if (dialog && name == QStringLiteral("replace")) {
            dialog->findChild<QLineEdit *>(QStringLiteral("replaceWithEdit"))
                ->setText(QStringLiteral("한글도메인.kr"));
            dialog->findChild<QPushButton *>(QStringLiteral("button1019"))->click();
        }
        if (dialog)
            dialog->move(frame->geometry().center() - QPoint(dialog->width() / 2, 0));
        shootNow();
    }

    void playGoToLine()
    {
        QTimer::singleShot(800, [] {
            if (auto *edit = QApplication::activeModalWidget()
                    ? QApplication::activeModalWidget()->findChild<QLineEdit *>()
                    : nullptr)
                edit->setText(QStringLiteral("42:9"));
        });
        shootModal();
        trigger(ids::command::kEditGoToLine);
    }

    void playWizard()
    {
        const int nexts = name == QStringLiteral("wizard-start") ? 0
            : name == QStringLiteral("wizard-open")              ? 1
            : name == QStringLiteral("wizard-convert")           ? 2
                                                                 : 3;
        QTimer::singleShot(1200, [this, nexts] {
            auto *sheet = qobject_cast<CConvWizardSheet *>(QApplication::activeModalWidget());
            if (!sheet) {
                QApplication::quit();
                return;
            }
            sheet->move(frame->geometry().center() - sheet->rect().center());
            for (int i = 0; i < nexts; ++i)
                sheet->button(QWizard::NextButton)->click();
            QTimer::singleShot(1000, [this] {
                status = grabScreen(out) ? 0 : 1;
                if (QWidget *modal = QApplication::activeModalWidget())
                    modal->close();
                finish(200);
            });
        });
        trigger(ids::command::kConvWizard);
    }

    void playServerList()
    {
        auto *servers = new CFtpServerListDialog(
            app.ftpContext().iniPath, *app.ftpContext().prompter, QStringLiteral("Quorel"), frame);
        if (name == QStringLiteral("ftp-sftp"))
            servers->findChild<QComboBox *>(QStringLiteral("serverCombo"))->setCurrentIndex(2);
        servers->setAttribute(Qt::WA_DeleteOnClose);
        servers->open();
        QTimer::singleShot(600, [this, servers] {
            if (name == QStringLiteral("ftp-input"))
                QTimer::singleShot(600, [] {
                    if (auto *edit = QApplication::activeModalWidget()->findChild<QLineEdit *>())
                        edit->setText(QStringLiteral("웹 서버"));
                });
            shootModal();
            if (name == QStringLiteral("ftp-input"))
                servers->findChild<QPushButton *>(QStringLiteral("newButton"))->click();
        });
    }

    void playBrowser()
    {
        if (name == QStringLiteral("ftp-overwrite")) {
            // Downloaded once before, from another server.
            QDir().mkpath(app.ftpContext().localFolder);
            QFile earlier(app.ftpContext().localFolder + QStringLiteral("/예제.한국.zone"));
            if (earlier.open(QIODevice::WriteOnly))
                earlier.write(";\n");
        }
        QTimer::singleShot(800, [this] {
            CFtpOpenDialog *browser = browserInZones();
            if (!browser)
                return;
            QTreeWidgetItem *zone = nullptr;
            for (int i = 0; i < browser->fileList()->topLevelItemCount(); ++i) {
                QTreeWidgetItem *item = browser->fileList()->topLevelItem(i);
                if (item->text(0).endsWith(QStringLiteral(".zone")))
                    zone = item;
            }
            if (zone)
                browser->fileList()->setCurrentItem(zone);
            shootModal();
            if (zone && name == QStringLiteral("ftp-overwrite"))
                browser->OnDoubleClick(zone);
        });
        trigger(ids::command::kFtpOpen);
    }

    void playSaveBack()
    {
        QTimer::singleShot(800, [this] {
            CFtpOpenDialog *browser = browserInZones();
            if (!browser)
                return;
            for (int i = 0; i < browser->fileList()->topLevelItemCount(); ++i) {
                if (browser->fileList()->topLevelItem(i)->text(0) == QStringLiteral("named.conf"))
                    browser->OnDoubleClick(browser->fileList()->topLevelItem(i));
            }
            QTimer::singleShot(800, [this] {
                CQuorelView *view = frame->activeView();
                if (!view)
                    return;
                const int end = view->buffer()->length();
                view->setTextCursor(TextSelection {end, end});
                view->insertText(
                    QStringLiteral("zone \"새도메인.한국\" { type master; file \"new.zone\"; };\n"));
                shootModal();
                trigger(ids::command::kFileSave);
            });
        });
        trigger(ids::command::kFtpOpen);
    }

    void playCheck()
    {
        trigger(ids::command::kCheckDocument);
        shootNow(2500);
    }

    void playConverted()
    {
        trigger(ids::command::kConvertToPunycode);
        QTimer::singleShot(1500, [this] {
            status = grabScreen(out) ? 0 : 1;
            // The converted text is not saved: no question on the way out.
            if (CQuorelView *view = frame->activeView())
                view->GetDocument()->SetModifiedFlag(false);
            finish(200);
        });
    }

    // A modal window that one command opens, pictured as it comes up.
    void playCommand(int command)
    {
        shootModal();
        trigger(command);
    }
};

using Play = std::function<void(Scene &)>;

// Every scene by name, in the order the usage lists them.
const QList<std::pair<QString, Play>> &sceneTable()
{
    static const QList<std::pair<QString, Play>> scenes {
        {QStringLiteral("converted"), &Scene::playConverted},
        {QStringLiteral("failure"), [](Scene &s) { s.playCommand(ids::command::kConvertToPunycode); }},
        {QStringLiteral("warnings"), &Scene::playConverted},
        {QStringLiteral("preview"), [](Scene &s) { s.playCommand(ids::command::kFilePrintPreview); }},
        {QStringLiteral("find"), &Scene::playFind},
        {QStringLiteral("replace"), &Scene::playFind},
        {QStringLiteral("goto"), &Scene::playGoToLine},
        {QStringLiteral("settings"), [](Scene &s) { s.playCommand(ids::command::kViewPreferences); }},
        {QStringLiteral("wizard-start"), &Scene::playWizard},
        {QStringLiteral("wizard-open"), &Scene::playWizard},
        {QStringLiteral("wizard-convert"), &Scene::playWizard},
        {QStringLiteral("wizard-save"), &Scene::playWizard},
        {QStringLiteral("ftp-servers"), &Scene::playServerList},
        {QStringLiteral("ftp-input"), &Scene::playServerList},
        {QStringLiteral("ftp-sftp"), &Scene::playServerList},
        {QStringLiteral("ftp-browser"), &Scene::playBrowser},
        {QStringLiteral("ftp-overwrite"), &Scene::playBrowser},
        {QStringLiteral("ftp-saveback"), &Scene::playSaveBack},
        {QStringLiteral("about"), [](Scene &s) { s.playCommand(ids::command::kAppAbout); }},
        {QStringLiteral("check"), &Scene::playCheck},
    };
    return scenes;
}

Play findScene(const QString &name)
{
    for (const auto &[known, play] : sceneTable()) {
        if (known == name)
            return play;
    }
    return {};
}

// The FTP scenes' server list, with a site on a local server where the
// scene shows the browser; false when that server would not start.
bool prepareFtp(const QString &scene, const QTemporaryDir &dir, QProcess &server)
{
    const bool serves = scene == QStringLiteral("ftp-browser") || scene == QStringLiteral("ftp-overwrite")
        || scene == QStringLiteral("ftp-saveback");
    const int port = serves ? startFtpServer(server, dir.filePath(QStringLiteral("site"))) : 21;
    if (port == 0)
        return false;
    writeServerList(dir.filePath(QStringLiteral("QuorelFtpServers.ini")), port);
    QDir().mkpath(dir.filePath(QStringLiteral("site")));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorel"));
    installQtTranslation(application);
    const QStringList args = QApplication::arguments().mid(1);
    const Play play = args.size() == 2 ? findScene(args[0]) : Play();
    if (!play) {
        QStringList names;
        for (const auto &entry : sceneTable())
            names << entry.first;
        std::fprintf(stderr, "usage: quorel-scenes %s OUTPUT.png\n", qPrintable(names.join(u'|')));
        return 2;
    }

    QTemporaryDir dir;
    QSettings user(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
    const QSettings machine(dir.filePath(QStringLiteral("machine.ini")), QSettings::IniFormat);
    QString file = QDir(QApplication::applicationDirPath()).filePath(QStringLiteral("samples/sample.zone"));
    if (args[0] == QStringLiteral("failure")) {
        file = dir.filePath(QStringLiteral("hosts.zone"));
        QFile zone(file);
        if (!zone.open(QIODevice::WriteOnly) || zone.write(failingZone()) <= 0)
            return 1;
    }
    if (args[0] == QStringLiteral("warnings")) {
        file = dir.filePath(QStringLiteral("site.conf"));
        if (!QFile::copy(QStringLiteral(QUOREL_SOURCE_DIR "/tests/data/namecodec/rules-vhost.conf"), file))
            return 1;
    }
    if (args[0] == QStringLiteral("check")) {
        file = dir.filePath(QStringLiteral("example.com.zone"));
        QFile zone(file);
        if (!zone.open(QIODevice::WriteOnly) || zone.write(checkedZone()) <= 0)
            return 1;
    }
    QProcess ftpServer;
    if (args[0].startsWith(QStringLiteral("ftp-")) && !prepareFtp(args[0], dir, ftpServer))
        return 1;

    ScenePrompter prompter;
    prompter.savePath = dir.filePath(QStringLiteral("sample-out.zone"));
    AppOptions options;
    options.showSplash = false;
    CQuorelApp app(user, machine, prompter, options);
    if (!app.InitInstance({file}))
        return 1;
    prompter.setParent(app.mainFrame());
    app.ftpContext().localFolder = dir.filePath(QStringLiteral("Quindale"));
    // The plain-FTP notice has its own moment; the pictures show the server.
    app.settings().takePlainFtpNotice(QStringLiteral("시험 서버 (로컬)"));
    // The zone's name was given at an earlier check: no question in the picture.
    app.settings().setCheckOrigin(file, QStringLiteral("example.com"));

    Scene scene {application, app, app.mainFrame(), args[0], args[1]};
    QTimer::singleShot(1500, [&] { play(scene); });
    application.exec();
    ftpServer.kill();
    ftpServer.waitForFinished(5000);
    if (scene.status == 0)
        std::printf("%s\n", qPrintable(scene.out));
    return scene.status;
}
