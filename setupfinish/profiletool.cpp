// quorel-profile: the installation's way to the programs' profiles.
//   quorel-profile [--system-dir DIR] set PROGRAM KEY VALUE
//   quorel-profile [--system-dir DIR] get PROGRAM KEY
//   quorel-profile [--system-dir DIR] remove PROGRAM KEY VALUE
// PROGRAM names the profile ("Quorel", "Pellwick", or "idn" for the
// machine-wide values); KEY is "Section/Value". Without --system-dir the
// user's profile is used; with it, the machine-wide file under DIR (normally
// /etc/xdg). "remove" takes the value away only while it still holds VALUE,
// so a value the user changed since is left alone, and deletes a profile
// file that is left empty. Exit status 0 on success, 1 when the value is
// absent (get) or the file cannot be written, 2 for a usage error.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr,
        "usage: quorel-profile [--system-dir DIR] set PROGRAM KEY VALUE | get PROGRAM KEY | "
        "remove PROGRAM KEY VALUE\n");
    return 2;
}

bool saved(QSettings &store)
{
    store.sync();
    if (store.status() == QSettings::NoError)
        return true;
    std::fprintf(stderr, "quorel-profile: %s 파일에 쓸 수 없습니다.\n", qPrintable(store.fileName()));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QSettings::Scope scope = QSettings::UserScope;
    if (args.size() >= 2 && args[0] == QStringLiteral("--system-dir")) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, args[1]);
        scope = QSettings::SystemScope;
        args = args.mid(2);
    }
    if (args.size() < 3)
        return usage();
    const QString command = args[0];
    QSettings store(scope, QStringLiteral("VANTO"), args[1]);
    const QString key = args[2];

    if (command == QStringLiteral("get") && args.size() == 3) {
        if (!store.contains(key))
            return 1;
        std::printf("%s\n", store.value(key).toString().toUtf8().constData());
        return 0;
    }
    if (command == QStringLiteral("set") && args.size() == 4) {
        store.setValue(key, args[3]);
        return saved(store) ? 0 : 1;
    }
    if (command == QStringLiteral("remove") && args.size() == 4) {
        if (!store.contains(key) || store.value(key).toString() != args[3])
            return 0;
        store.remove(key);
        if (!saved(store))
            return 1;
        if (store.allKeys().isEmpty()) {
            const QString file = store.fileName();
            QFile::remove(file);
            QDir().rmdir(QFileInfo(file).absolutePath());
        }
        return 0;
    }
    return usage();
}
