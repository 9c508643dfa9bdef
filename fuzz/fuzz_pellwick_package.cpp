// Feeds arbitrary bytes to the update package reader and, when it accepts
// them, carries the package out in a sandbox. Any crash, out-of-bounds
// access, or change outside the three base directories is a finding.
//
// The first byte picks the form of the rest: even, a whole package file as
// downloaded; odd, a payload that is compressed and wrapped in a correct
// header here, so that the script scanner and the size checks are reached.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

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

void checkNothingOutside(const Sandbox &s)
{
    const bool ok = entries(s.root) == QStringList({QStringLiteral("a"), QStringLiteral("outside")})
        && entries(s.level1) == QStringList({QStringLiteral("b")})
        && entries(s.level2) == QStringList({QStringLiteral("inst")})
        && entries(s.root + QStringLiteral("/outside")) == QStringList({QStringLiteral("marker")});
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
    QDir(s.install).removeRecursively();
    QDir().mkpath(s.install + QStringLiteral("/lib/idn"));

    std::string file = (data[0] & 1) ? wrapPayload(data + 1, size - 1)
                                     : std::string(reinterpret_cast<const char *>(data + 1), size - 1);
    const pellwick::PackageResult<pellwick::PackageImage> read
        = pellwick::readPackage(std::span(reinterpret_cast<const unsigned char *>(file.data()), file.size()));
    if (read) {
        const pellwick::InstallBases bases {
            s.install, s.install + QStringLiteral("/lib"), s.install + QStringLiteral("/lib/idn")};
        (void)pellwick::applyPackage(*read, bases);
    }
    checkNothingOutside(s);
    return 0;
}
