// Feeds arbitrary bytes to the update package reader and, when it accepts
// them, installs the package in a sandbox whose installation holds symbolic
// links pointing out of it (a folder "samples", a file "notes.txt", and on
// some runs lib/idn itself). Any crash, out-of-bounds access, change outside
// the installation, link followed or removed, or journal left behind is a
// finding.
//
// Bit 0 of the first byte picks the form of the rest: clear, a whole package
// file as downloaded; set, a payload that is compressed and wrapped in a
// correct header here, so that the script scanner and the size checks are
// reached. Bit 1 set replaces lib/idn with a link.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <zlib.h>

#include "updater/packageinstaller.h"
#include "updater/updatepackage.h"

namespace {

struct Sandbox {
    QString root; // .../r: holds a/ and outside/
    QString level1; // .../r/a
    QString level2; // .../r/a/b: holds inst/ only
    QString install; // .../r/a/b/inst: "ae:", with lib/ ("wd:") and lib/idn ("id:")
};

const Sandbox &sandbox()
{
    static const Sandbox box = [] {
        char pattern[] = "/tmp/pellwick-fuzz-XXXXXX";
        const char *made = mkdtemp(pattern);
        if (!made)
            std::abort();
        Sandbox s;
        s.root = QString::fromLocal8Bit(made);
        s.level1 = s.root + QStringLiteral("/a");
        s.level2 = s.level1 + QStringLiteral("/b");
        s.install = s.level2 + QStringLiteral("/inst");
        QDir().mkpath(s.root + QStringLiteral("/outside"));
        QFile marker(s.root + QStringLiteral("/outside/marker"));
        if (!marker.open(QIODevice::WriteOnly) || marker.write("untouched") != 9)
            std::abort();
        // Kept apart from the static Sandbox, which is gone by the time exit handlers run.
        static const QString *const cleanup = new QString(s.root);
        std::atexit([] { QDir(*cleanup).removeRecursively(); });
        return s;
    }();
    return box;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

bool isLink(const QString &path)
{
    struct stat info { };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The links planted inside the installation, as paths below it and their targets.
struct PlantedLink {
    const char *where;
    const char *target;
};
constexpr PlantedLink kLinks[] = {
    {"/samples", "../../../outside"},
    {"/notes.txt", "../../../outside/marker"},
};
constexpr PlantedLink kIdnLink = {"/lib/idn", "../../../../outside"};

void checkNothingOutside(const Sandbox &s, bool idnIsLink)
{
    bool ok = entries(s.root) == QStringList({QStringLiteral("a"), QStringLiteral("outside")})
        && entries(s.level1) == QStringList({QStringLiteral("b")})
        && entries(s.level2) == QStringList({QStringLiteral("inst")})
        && entries(s.root + QStringLiteral("/outside")) == QStringList({QStringLiteral("marker")})
        && !QFile::exists(s.install + QStringLiteral("/pellwick.journal"));
    for (const PlantedLink &link : kLinks)
        ok = ok && isLink(s.install + QLatin1String(link.where));
    if (idnIsLink)
        ok = ok && isLink(s.install + QLatin1String(kIdnLink.where));
    QFile marker(s.root + QStringLiteral("/outside/marker"));
    if (!ok || !marker.open(QIODevice::ReadOnly) || marker.readAll() != "untouched")
        std::abort();
}

std::string wrapPayload(const std::uint8_t *data, std::size_t size)
{
    uLongf bodySize = compressBound(size);
    std::string package(8 + bodySize, '\0');
    if (compress2(reinterpret_cast<Bytef *>(package.data() + 8), &bodySize, data, size, 1) != Z_OK)
        return {};
    package.resize(8 + bodySize);
    for (int i = 0; i < 4; ++i) {
        package[i] = static_cast<char>((bodySize >> (8 * i)) & 0xff);
        package[4 + i] = static_cast<char>((size >> (8 * i)) & 0xff);
    }
    return package;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0 || size > 1 << 16)
        return 0;
    const Sandbox &s = sandbox();
    // By bytes: a package may make names that are not valid UTF-8, which QDir cannot remove.
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(s.install).toStdString(), ignored);
    const bool idnIsLink = (data[0] & 2) != 0;
    QDir().mkpath(s.install + (idnIsLink ? QStringLiteral("/lib") : QStringLiteral("/lib/idn")));
    for (const PlantedLink &link : kLinks) {
        if (!QFile::link(QLatin1String(link.target), s.install + QLatin1String(link.where)))
            std::abort();
    }
    if (idnIsLink && !QFile::link(QLatin1String(kIdnLink.target), s.install + QLatin1String(kIdnLink.where)))
        std::abort();

    std::string file = (data[0] & 1) ? wrapPayload(data + 1, size - 1)
                                     : std::string(reinterpret_cast<const char *>(data + 1), size - 1);
    const pellwick::PackageResult<pellwick::PackageImage> read
        = pellwick::readPackage(std::span(reinterpret_cast<const unsigned char *>(file.data()), file.size()));
    if (read) {
        pellwick::Result<pellwick::InstallRoot> root
            = pellwick::InstallRoot::open(QFile::encodeName(s.install).toStdString());
        if (!root)
            std::abort();
        (void)pellwick::installPackage(*read, *root, pellwick::InstallOptions {});
    }
    checkNothingOutside(s, idnIsLink);
    return 0;
}
