// pellwick-pack: builds an update package and the files the update server
// publishes beside it (verinfo.html, checksum.html, optionally checksum.sig).
#include <cstdio>
#include <map>
#include <string>

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

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

int fail(const std::string &message)
{
    std::fprintf(stderr, "pellwick-pack: %s\n", message.c_str());
    return 1;
}

bool writeWhole(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
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

} // namespace

int main(int argc, char **argv)
{
    std::map<std::string, std::string> options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0 || i + 1 >= argc)
            return fail(std::string("알 수 없는 인자입니다: ") + name + "\n" + kUsage);
        options[name.substr(2)] = argv[++i];
    }

    if (options.count("public-key")) {
        const std::string key = pellwick::publicKeyOfKeyFile(options["public-key"]);
        if (key.empty())
            return fail("Ed25519 개인 키(PEM)를 읽을 수 없습니다: " + options["public-key"]);
        std::printf("%s\n", key.c_str());
        return 0;
    }

    for (const char *required : {"script", "files", "version", "url", "out"}) {
        if (!options.count(required))
            return fail(std::string("--") + required + " 인자가 없습니다.\n" + kUsage);
    }
    const std::string interval = options.count("interval") ? options["interval"] : "86400";
    if (!isInteger(options["version"]) || !isInteger(interval))
        return fail("버전과 간격은 10진 정수여야 합니다.");
    const QUrl url(QString::fromStdString(options["url"]), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || options["url"].find(' ') != std::string::npos)
        return fail("패키지 URL은 공백 없는 http:// 또는 https:// 주소여야 합니다.");

    QFile scriptFile(QString::fromStdString(options["script"]));
    if (!scriptFile.open(QIODevice::ReadOnly))
        return fail("스크립트를 읽을 수 없습니다: " + options["script"]);
    const QByteArray source = scriptFile.readAll();
    const pellwick::PreparedScript prepared = pellwick::prepareScript(
        std::string_view(source.constData(), std::size_t(source.size())), options["files"]);
    if (!prepared.error.empty())
        return fail(prepared.error);

    const std::string package = pellwick::buildPackage(prepared.script, prepared.fileData);
    if (package.empty() || prepared.fileData.size() > 0xffffffffu - 4096)
        return fail("패키지를 만들 수 없습니다 (내용이 너무 큽니다).");
    const QByteArray packageBytes = QByteArray::fromStdString(package);

    const QDir out(QString::fromStdString(options["out"]));
    const QString packagePath = options.count("package") ? QString::fromStdString(options["package"])
                                                         : out.filePath(url.path().mid(1));
    const QString conv = out.filePath(QStringLiteral("autoupdate/conv"));
    const QByteArray md5 = QCryptographicHash::hash(packageBytes, QCryptographicHash::Md5).toHex();
    const QByteArray versionLine
        = QByteArray::fromStdString(options["version"] + " " + interval + " " + options["url"] + "\n");

    if (!writeWhole(packagePath, packageBytes))
        return fail("패키지를 쓸 수 없습니다: " + packagePath.toStdString());
    if (!writeWhole(conv + QLatin1String("/checksum.html"), md5 + '\n'))
        return fail("checksum.html을 쓸 수 없습니다.");
    if (options.count("sign-key")) {
        const auto version = static_cast<std::uint32_t>(pellwick::toDecimal(options["version"]));
        const QByteArray sha256 = QCryptographicHash::hash(packageBytes, QCryptographicHash::Sha256).toHex();
        const std::string signature = pellwick::signWithKeyFile(
            options["sign-key"], pellwick::signedMessage(version, package.size(), sha256.toStdString()));
        if (signature.empty())
            return fail("Ed25519 개인 키(PEM)로 서명할 수 없습니다: " + options["sign-key"]);
        if (!writeWhole(conv + QLatin1String("/checksum.sig"), QByteArray::fromStdString(signature + "\n")))
            return fail("checksum.sig를 쓸 수 없습니다.");
    }
    // The version file goes last: clients only look for the package once it is announced.
    if (!writeWhole(conv + QLatin1String("/verinfo.html"), versionLine))
        return fail("verinfo.html을 쓸 수 없습니다.");

    std::printf(
        "%s (%zu바이트), md5 %s\n", packagePath.toLocal8Bit().constData(), package.size(), md5.constData());
    return 0;
}
