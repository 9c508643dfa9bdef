// quorel-setup-scenes: the pictures of the update notes and of the setup
// finisher, taken of the real windows under an X server by
// scripts/screenshot --scene NAME.
//   quorel-setup-scenes updateinfo|corvale OUTPUT.png
//   updateinfo: "Update정보(&U)..." over the notes of the installation
//            (the build tree, which holds updateinfo.rtf)
//   corvale: the setup finisher's dialog (nothing is started)
#include "app/quorelapp.h"
#include "editor/mainframe.h"
#include "editor/widgetprompter.h"
#include "platform/qttranslation.h"
#include "platform/quorelids.h"
#include "setupfinish/corvaledlg.h"
#include "setupfinish/setupfinisher.h"
#include "setupfinish/setupshell.h"

#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Just the dialog, with a little of what lies around it.
bool grabDialog(QWidget *dialog, const QString &out)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !dialog)
        return false;
    const QRect area = dialog->frameGeometry().adjusted(-12, -12, 12, 12);
    return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(out, "PNG");
}

// The desktop for the setup finisher's picture: nothing is started.
class NoShell : public SetupShell {
public:
    bool startProgram(const QString &, const QString &) override { return true; }
    bool openDocument(const QString &) override { return true; }
    void warning(const QString &) override { }
};

int corvaleScene(QSettings &profile, const QString &out)
{
    NoShell shell;
    SetupFinisher finisher(profile, shell);
    CCorvaleDlg dialog(finisher);
    dialog.show();
    dialog.move(QGuiApplication::primaryScreen()->availableGeometry().center() - dialog.rect().center());
    int status = 1;
    QTimer::singleShot(1500, [&] {
        status = grabDialog(&dialog, out) ? 0 : 1;
        dialog.reject();
    });
    dialog.exec();
    return status;
}

int updateInfoScene(QSettings &user, const QSettings &machine, const QString &out)
{
    WidgetPrompter prompter;
    AppOptions options;
    options.showSplash = false;
    CQuorelApp app(user, machine, prompter, options);
    if (!app.InitInstance({}))
        return 1;
    prompter.setParent(app.mainFrame());
    int status = 1;
    QTimer::singleShot(1500, [&] {
        QTimer::singleShot(1500, [&] {
            status = grabDialog(QApplication::activeModalWidget(), out) ? 0 : 1;
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
            QTimer::singleShot(200, qApp, &QApplication::quit);
        });
        app.mainFrame()->action(ids::command::kUpdateInfo)->trigger();
    });
    QApplication::exec();
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorel"));
    installQtTranslation(application);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() != 2
        || (args[0] != QStringLiteral("updateinfo") && args[0] != QStringLiteral("corvale"))) {
        std::fprintf(stderr, "usage: quorel-setup-scenes updateinfo|corvale OUTPUT.png\n");
        return 2;
    }
    QTemporaryDir dir;
    QSettings user(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
    const QSettings machine(dir.filePath(QStringLiteral("machine.ini")), QSettings::IniFormat);
    const int status = args[0] == QStringLiteral("corvale") ? corvaleScene(user, args[1])
                                                            : updateInfoScene(user, machine, args[1]);
    if (status == 0)
        std::printf("%s\n", qPrintable(args[1]));
    return status;
}
