// quorel-scenes: the real Quorel (application object, main frame, message
// boxes and dialogs) brought to one scene that a picture in the README
// shows, then a PNG of the screen. Run under an X server by
// scripts/screenshot --scene NAME.
//   quorel-scenes converted|failure|preview OUTPUT.png
//   converted: the bundled zone sample converted to Punycode, each changed
//            line kept above it as a comment
//   failure: a zone with three refused lines converted to Punycode, with
//            the message that lists them
//   preview: the print preview of the bundled zone sample
#include "app/qttranslation.h"
#include "app/quorelapp.h"
#include "document/namebytes.h"
#include "editor/mainframe.h"
#include "editor/widgetprompter.h"
#include "platform/quorelids.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPrintPreviewDialog>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

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

bool grabScreen(const QString &out)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(out, "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorel"));
    installQtTranslation(application);
    const QStringList args = QApplication::arguments().mid(1);
    const QStringList scenes {
        QStringLiteral("converted"), QStringLiteral("failure"), QStringLiteral("preview")};
    if (args.size() != 2 || !scenes.contains(args[0])) {
        std::fprintf(stderr, "usage: quorel-scenes converted|failure|preview OUTPUT.png\n");
        return 2;
    }
    const QString scene = args[0];
    const QString out = args[1];

    QTemporaryDir dir;
    QSettings user(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
    const QSettings machine(dir.filePath(QStringLiteral("machine.ini")), QSettings::IniFormat);
    QString file = QDir(QApplication::applicationDirPath()).filePath(QStringLiteral("samples/sample.zone"));
    if (scene == QStringLiteral("failure")) {
        file = dir.filePath(QStringLiteral("hosts.zone"));
        QFile zone(file);
        if (!zone.open(QIODevice::WriteOnly) || zone.write(failingZone()) <= 0)
            return 1;
    }

    WidgetPrompter prompter;
    AppOptions options;
    options.showSplash = false;
    CQuorelApp app(user, machine, prompter, options);
    if (!app.InitInstance({file}))
        return 1;
    CMainFrame *frame = app.mainFrame();
    prompter.setParent(frame);

    int status = 1;
    // Once the scene's modal window is up, take the picture and close it.
    auto shootModal = [&] {
        QTimer::singleShot(1500, [&] {
            // Without a window manager the preview opens small: give it the
            // screen, so the page can be read.
            if (auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget()))
                preview->setGeometry(
                    QGuiApplication::primaryScreen()->availableGeometry().adjusted(60, 40, -60, -40));
            QTimer::singleShot(800, [&] {
                status = grabScreen(out) ? 0 : 1;
                if (QWidget *modal = QApplication::activeModalWidget())
                    modal->close();
                QTimer::singleShot(200, &application, &QApplication::quit);
            });
        });
    };
    QTimer::singleShot(1500, [&] {
        if (scene == QStringLiteral("converted")) {
            frame->action(ids::command::kConvertToPunycode)->trigger();
            QTimer::singleShot(1500, [&] {
                status = grabScreen(out) ? 0 : 1;
                QTimer::singleShot(200, &application, &QApplication::quit);
            });
            return;
        }
        shootModal();
        if (scene == QStringLiteral("failure"))
            frame->action(ids::command::kConvertToPunycode)->trigger();
        else
            frame->action(ids::command::kFilePrintPreview)->trigger();
    });
    application.exec();
    if (status == 0)
        std::printf("%s\n", qPrintable(out));
    return status;
}
