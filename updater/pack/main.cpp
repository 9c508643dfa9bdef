// pellwick-pack: builds an update package and the files the update server
// publishes beside it (verinfo.html, checksum.html, optionally checksum.sig).
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <tl/expected.hpp>

#include "fileio/replacefile.h"

#include "updater/packagescript.h"
#include "updater/packagesignature.h"
#include "updater/updatepackage.h"
#include "updater/versioninfo.h"

namespace {

constexpr char kUsage[]
    = "사용법:\n"
      "  pellwick-pack --script 스크립트 --files 준비폴더 --version 버전 --url 패키지URL\n"
      "                --out 웹루트 [--interval 초] [--package 파일] [--sign-key 키.pem]\n"
      "  pellwick-pack --public-key 키.pem\n";

using Options = std::map<std::string, std::string>;

int fail(const std::string &message)
{
    std::fprintf(stderr, "pellwick-pack: %s\n", message.c_str());
    return 1;
}

// Replaces the file the way every program of ours does (a partial file
// beside it, its owner and mode kept, synced and renamed), so a web server
// never serves half a package and a published file keeps its owner.
bool writeWhole(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const std::string target = fileio::resolveLinks(QFile::encodeName(path).toStdString());
    if (target.empty())
        return false;
    struct stat old { };
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return false;
    fileio::ReplacementFile file;
    return file.open(target, exists) == 0 && (!exists || fileio::keepOwnerAndMode(file.fd(), old) == 0)
        && fileio::writeAll(
               file.fd(), std::string_view(data.constData(), static_cast<std::size_t>(data.size())))
        == 0
        && file.commit() == 0;
}

bool isInteger(const std::string &text)
{
    std::size_t i = text.size() > 0 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

// Every argument is "--name value"; returns the usage message when one is not.
std::optional<std::string> parseArguments(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0 || i + 1 >= argc)
            return std::string("알 수 없는 인자입니다: ") + name + "\n" + kUsage;
        options[name.substr(2)] = argv[++i];
    }
    return std::nullopt;
}

int printPublicKey(const std::string &keyFile)
{
    const std::string key = pellwick::publicKeyOfKeyFile(keyFile);
    if (key.empty())
        return fail("Ed25519 개인 키(PEM)를 읽을 수 없습니다: " + keyFile);
    std::printf("%s\n", key.c_str());
    return 0;
}

// What is wrong with the options of a package run; nothing when they fit.
std::optional<std::string> optionFault(const Options &options, const QUrl &url)
{
    for (const char *required : {"script", "files", "version", "url", "out"}) {
        if (!options.count(required))
            return std::string("--") + required + " 인자가 없습니다.\n" + kUsage;
    }
    if (!isInteger(options.at("version")) || !isInteger(options.at("interval")))
        return "버전과 간격은 10진 정수여야 합니다.";
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || options.at("url").find(' ') != std::string::npos)
        return "패키지 URL은 공백 없는 http:// 또는 https:// 주소여야 합니다.";
    return std::nullopt;
}

// The package made from the author's script and the staged files, or the
// message saying why it could not be made.
tl::expected<std::string, std::string> buildFromScript(const Options &options)
{
    QFile scriptFile(QString::fromStdString(options.at("script")));
    if (!scriptFile.open(QIODevice::ReadOnly))
        return tl::unexpected("스크립트를 읽을 수 없습니다: " + options.at("script"));
    const QByteArray source = scriptFile.readAll();
    const pellwick::PreparedScript prepared = pellwick::prepareScript(
        std::string_view(source.constData(), std::size_t(source.size())), options.at("files"));
    if (!prepared.error.empty())
        return tl::unexpected(prepared.error);
    std::string package = pellwick::buildPackage(prepared.script, prepared.fileData);
    if (package.empty() || prepared.fileData.size() > 0xffffffffu - 4096)
        return tl::unexpected(std::string("패키지를 만들 수 없습니다 (내용이 너무 큽니다)."));
    return package;
}

// Writes the package, its checksum, its signature when a key is given, and
// last the version file: clients only look for the package once it is
// announced.
int publish(const Options &options, const QUrl &url, const std::string &package)
{
    const QByteArray packageBytes = QByteArray::fromStdString(package);
    const QDir out(QString::fromStdString(options.at("out")));
    const QString packagePath = options.count("package") ? QString::fromStdString(options.at("package"))
                                                         : out.filePath(url.path().mid(1));
    const QString conv = out.filePath(QStringLiteral("autoupdate/conv"));
    const QByteArray md5 = QCryptographicHash::hash(packageBytes, QCryptographicHash::Md5).toHex();
    const QByteArray versionLine = QByteArray::fromStdString(
        options.at("version") + " " + options.at("interval") + " " + options.at("url") + "\n");

    if (!writeWhole(packagePath, packageBytes))
        return fail("패키지를 쓸 수 없습니다: " + packagePath.toStdString());
    if (!writeWhole(conv + QLatin1String("/checksum.html"), md5 + '\n'))
        return fail("checksum.html을 쓸 수 없습니다.");
    if (options.count("sign-key")) {
        const auto version = static_cast<std::uint32_t>(pellwick::toDecimal(options.at("version")));
        const QByteArray sha256 = QCryptographicHash::hash(packageBytes, QCryptographicHash::Sha256).toHex();
        const std::string signature = pellwick::signWithKeyFile(
            options.at("sign-key"), pellwick::signedMessage(version, package.size(), sha256.toStdString()));
        if (signature.empty())
            return fail("Ed25519 개인 키(PEM)로 서명할 수 없습니다: " + options.at("sign-key"));
        if (!writeWhole(conv + QLatin1String("/checksum.sig"), QByteArray::fromStdString(signature + "\n")))
            return fail("checksum.sig를 쓸 수 없습니다.");
    }
    if (!writeWhole(conv + QLatin1String("/verinfo.html"), versionLine))
        return fail("verinfo.html을 쓸 수 없습니다.");

    std::printf(
        "%s (%zu바이트), md5 %s\n", packagePath.toLocal8Bit().constData(), package.size(), md5.constData());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (auto usage = parseArguments(argc, argv, options))
        return fail(*usage);
    if (options.count("public-key"))
        return printPublicKey(options["public-key"]);

    options.emplace("interval", "86400");
    const QUrl url(
        QString::fromStdString(options.count("url") ? options["url"] : std::string()), QUrl::StrictMode);
    if (auto fault = optionFault(options, url))
        return fail(*fault);
    const auto package = buildFromScript(options);
    if (!package)
        return fail(package.error());
    return publish(options, url, *package);
}
