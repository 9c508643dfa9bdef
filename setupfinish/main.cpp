// Corvale: the last step of the installation. Reads no command line.
#include <QApplication>
#include <QIcon>
#include <QSettings>

#include "platform/qttranslation.h"
#include "setupfinish/corvaleapp.h"
#include "setupfinish/setupshell.h"

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvale"));
    QApplication::setOrganizationName(QStringLiteral("VANTO"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/quorel.png")));
    // Quorel's profile, where the installation wrote the installation directory.
    const QSettings quorelProfile(QStringLiteral("VANTO"), QStringLiteral("Quorel"));
    DesktopShell shell;
    CCorvaleApp app(quorelProfile, shell);
    app.InitInstance();
    return 0;
}
