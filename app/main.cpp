#include <QApplication>
#include <QFileInfo>
#include <QSettings>

#include "app/quorelapp.h"
#include "app/singleinstance.h"
#include "editor/mainframe.h"
#include "editor/widgetprompter.h"
#include "platform/commandline.h"
#include "platform/logfile.h"
#include "platform/logging.h"
#include "platform/qttranslation.h"

int main(int argc, char **argv)
{
    // Before the application object, which needs a screen: --help and
    // --version answer in a terminal without one.
    ProgramCommandLine commandLine(QStringLiteral("Quorel"), QStringLiteral(QUOREL_VERSION),
        QStringLiteral("린드바트: 한글 도메인이 든 존 파일, named.conf, 가상호스트 설정 파일을 편집하고"
                       "\n이름을 Punycode와 한글 사이에서 변환합니다."));
    commandLine.acceptFile(
        QStringLiteral("파일"), QStringLiteral("열 파일 (린드바트가 실행 중이면 그 창에서 엽니다)"));
    commandLine.addSwitch(
        QStringLiteral("verbose"), QStringLiteral("진단 기록을 표준 오류에도 자세히 남깁니다."));
    if (const auto status = commandLine.read(ProgramCommandLine::arguments(argc, argv)))
        return *status;

    // First of all, so that what Qt warns about while starting is kept too.
    LogFile log(LogFile::defaultPath());
    log.install();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorel"));
    QApplication::setOrganizationName(QStringLiteral("VANTO"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quorel.png")));
    installQtTranslation(application);

    QStringList args = commandLine.files();
    if (commandLine.isSet(QStringLiteral("verbose")))
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
