// Corvale: the last step of the installation. Its command line only
// answers --help and --version.
#include <QApplication>
#include <QIcon>
#include <QSettings>

#include "platform/commandline.h"
#include "platform/qttranslation.h"
#include "setupfinish/corvaleapp.h"
#include "setupfinish/setupshell.h"

int main(int argc, char **argv)
{
    // Before the application object, which needs a screen.
    ProgramCommandLine commandLine(QStringLiteral("Corvale"), QStringLiteral(QUOREL_VERSION),
        QStringLiteral("린드바트 설치를 마치는 창: 린드바트를 실행하거나 ReadMe 파일을 엽니다."));
    if (const auto status = commandLine.read(ProgramCommandLine::arguments(argc, argv)))
        return *status;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvale"));
    QApplication::setOrganizationName(QStringLiteral("VANTO"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/quorel.png")));
    installQtTranslation(application);
    // Quorel's profile, where a per-user installation wrote the installation
    // directory; a package writes it among the machine-wide values instead.
    const QSettings quorelProfile(QStringLiteral("VANTO"), QStringLiteral("Quorel"));
    const QSettings machine(QSettings::SystemScope, QStringLiteral("VANTO"), QStringLiteral("idn"));
    DesktopShell shell;
    CCorvaleApp app(quorelProfile, shell, {&machine, QCoreApplication::applicationDirPath()});
    app.InitInstance();
    return 0;
}
