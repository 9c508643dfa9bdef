// One update cycle of the real Pellwick program against a local HTTP server:
// the checking run (version file, 50 MB package download, length and MD5
// check, optionally the Ed25519 signature) and the installing run (zlib,
// script, 50 MB of files written and renamed into place).
#include <chrono>
#include <memory>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "benchmain.h"
#include "benchsize.h"
#include "updater/packagesignature.h"
#include "updater/updatepackage.h"

namespace {

constexpr int kFiles = 25;
// 25 x 2 MiB = 50 MiB of random, incompressible data
const int kFileSize = benchsize::pick(2 * 1024 * 1024, 64 * 1024);

struct Stage {
    QTemporaryDir dir;
    QProcess server;
    QString baseUrl;
    QString publicKey;
    qint64 packageSize = 0;

    ~Stage()
    {
        server.kill();
        server.waitForFinished();
    }
    QString path(const QString &relative) const { return dir.filePath(relative); }
};

void writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

std::unique_ptr<Stage> makeStage()
{
    auto st = std::make_unique<Stage>();
    st->server.start(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(QUOREL_SOURCE_DIR "/tests/updater/testserver.py"), QStringLiteral("--root"),
            st->path(QStringLiteral("www"))});
    QByteArray line;
    while (!line.contains('\n') && st->server.waitForReadyRead(10000))
        line += st->server.readAllStandardOutput();
    st->baseUrl = QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(line.mid(5).trimmed());

    QByteArray script;
    QByteArray data;
    QRandomGenerator generator(7);
    script += "md ae:\\payload\n";
    for (int i = 0; i < kFiles; ++i) {
        QByteArray file(kFileSize, '\0');
        generator.fillRange(reinterpret_cast<quint32 *>(file.data()), kFileSize / 4);
        data += file;
        script += "write ae:\\payload\\file" + QByteArray::number(i) + ".bin " + QByteArray::number(kFileSize)
            + "\n";
    }
    script += "en";
    const QByteArray package
        = QByteArray::fromStdString(pellwick::buildPackage(script.toStdString(), data.toStdString()));
    st->packageSize = package.size();
    const QString conv = st->path(QStringLiteral("www/autoupdate/conv/"));
    writeFile(st->path(QStringLiteral("www/pkg/update.pak")), package);
    writeFile(conv + QStringLiteral("checksum.html"),
        QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex() + "\n");
    writeFile(
        conv + QStringLiteral("verinfo.html"), "130 86400 " + st->baseUrl.toUtf8() + "/pkg/update.pak\n");

    const QString key = st->path(QStringLiteral("sign.pem"));
    QProcess::execute(QStringLiteral("openssl"),
        {QStringLiteral("genpkey"), QStringLiteral("-algorithm"), QStringLiteral("ed25519"),
            QStringLiteral("-out"), key});
    const QByteArray sha256 = QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex();
    const std::string signature = pellwick::signWithKeyFile(
        key.toStdString(), pellwick::signedMessage(130, std::uint64_t(package.size()), sha256.toStdString()));
    writeFile(conv + QStringLiteral("checksum.sig"), QByteArray::fromStdString(signature + "\n"));
    st->publicKey = QString::fromStdString(pellwick::publicKeyOfKeyFile(key.toStdString()));
    return st;
}

struct SharedStage {
    std::unique_ptr<Stage> stage = makeStage();
};

Stage &stage()
{
    return *benchfixture::shared<SharedStage>().stage;
}

double runPellwick(const Stage &s)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), s.path(QStringLiteral("config")));
    environment.remove(QStringLiteral("http_proxy"));
    process.setProcessEnvironment(environment);
    const auto start = std::chrono::steady_clock::now();
    process.start(QStringLiteral(QUOREL_BIN_DIR "/Pellwick"), {});
    process.waitForFinished(120000);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_UpdateCycle50MB(benchmark::State &state)
{
    const bool signedPackage = state.range(0) != 0;
    Stage &s = stage();
    double checkSeconds = 0;
    double installSeconds = 0;
    for (auto _ : state) {
        QDir(s.path(QStringLiteral("install"))).removeRecursively();
        QDir().mkpath(s.path(QStringLiteral("install/lib/idn")));
        QFile::remove(s.path(QStringLiteral("config/VANTO/Pellwick.conf")));
        {
            QSettings settings(s.path(QStringLiteral("config/VANTO/Pellwick.conf")), QSettings::IniFormat);
            settings.setValue(
                QStringLiteral("AutoUpdateInfo/ProPathName"), s.path(QStringLiteral("install")));
            settings.setValue(QStringLiteral("AutoUpdateInfo/UpdateServer"), s.baseUrl);
            if (signedPackage)
                settings.setValue(QStringLiteral("AutoUpdateInfo/UpdateKey"), s.publicKey);
        }
        const double check = runPellwick(s);
        const double install = runPellwick(s);
        if (QFileInfo(s.path(QStringLiteral("install/payload/file%1.bin").arg(kFiles - 1))).size()
            != kFileSize) {
            state.SkipWithError("the update did not install");
            break;
        }
        checkSeconds += check;
        installSeconds += install;
        state.SetIterationTime(check + install);
    }
    state.counters["check_s"] = benchmark::Counter(checkSeconds, benchmark::Counter::kAvgIterations);
    state.counters["install_s"] = benchmark::Counter(installSeconds, benchmark::Counter::kAvgIterations);
    state.counters["package_MB"] = double(s.packageSize) / 1e6;
    state.SetBytesProcessed(state.iterations() * std::int64_t(kFiles) * kFileSize);
}
BENCHMARK(BM_UpdateCycle50MB)
    ->ArgName("signed")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(benchsize::pick(3, 1))
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return benchmain::run(argc, argv);
}
