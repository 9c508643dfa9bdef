#include <QApplication>
#include <QFileInfo>
#include <QSettings>

#include "app/quorelapp.h"
#include "app/singleinstance.h"
#include "editor/mainframe.h"
#include "editor/widgetprompter.h"
#include "platform/logfile.h"
#include "platform/logging.h"
#include "platform/qttranslation.h"

int main(int argc, char **argv)
{
    // First of all, so that what Qt warns about while starting is kept too.
    LogFile log(LogFile::defaultPath());
    log.install();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorel"));
    QApplication::setOrganizationName(QStringLiteral("VANTO"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quorel.png")));
    installQtTranslation(application);

    QStringList args = QApplication::arguments().mid(1);
    // A switch, never the name of a file to open.
    if (args.removeAll(QStringLiteral("--verbose")) > 0)
        enableVerboseLogging();
    if (!log.isOpen())
        qCWarning(lcApp) << "the log file cannot be written:" << LogFile::defaultPath();
    qCDebug(lcApp) << "started with" << args << "- log file" << LogFile::defaultPath();
    if (args.size() > 1)
        args = args.mid(0, 1);
    // A file given while Quorel already runs goes to the running one.
    // QUOREL_INSTANCE names a private channel (tests run programs side by side).
    const QString channel = qEnvironmentVariable("QUOREL_INSTANCE", SingleInstance::defaultName());
    if (!args.isEmpty()
        && SingleInstance::sendToRunning(channel, {QFileInfo(args.front()).absoluteFilePath()}))
        return 0;

    QSettings user(QStringLiteral("VANTO"), QStringLiteral("Quorel"));
    const QSettings machine(QSettings::SystemScope, QStringLiteral("VANTO"), QStringLiteral("idn"));
    WidgetPrompter prompter;
    AppOptions options;
    options.instanceName = channel;
    CQuorelApp app(user, machine, prompter, options);
    if (!app.InitInstance(args))
        return 1;
    prompter.setParent(app.mainFrame());
    QObject::connect(&application, &QApplication::aboutToQuit, &app, &CQuorelApp::ExitInstance);
    return application.exec();
}
