#include "updater/packagesignature.h"

#include <cstdio>
#include <memory>
#include <vector>

#include <QByteArray>

#include <openssl/evp.h>
#include <openssl/pem.h>

namespace pellwick {

namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using ContextPtr = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

constexpr std::size_t kPublicKeySize = 32;
constexpr std::size_t kSignatureSize = 64;

std::string toBase64(const unsigned char *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size))
        .toBase64()
        .toStdString();
}

bool fromBase64(std::string_view text, std::size_t expectedSize, QByteArray &out)
{
    auto decoded
        = QByteArray::fromBase64Encoding(QByteArray(text.data(), static_cast<qsizetype>(text.size())),
            QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != static_cast<qsizetype>(expectedSize))
        return false;
    out = decoded.decoded;
    return true;
}

KeyPtr readPrivateKey(const std::string &pemPath)
{
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(pemPath.c_str(), "rb"), std::fclose);
    if (!file)
        return {nullptr, EVP_PKEY_free};
    KeyPtr key(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
    if (key && EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519)
        key.reset();
    return key;
}

} // namespace

std::string signedMessage(std::uint32_t version, std::uint64_t length, std::string_view sha256Hex)
{
    return "Pellwick update package\nversion " + std::to_string(version) + "\nlength "
        + std::to_string(length) + "\nsha256 " + std::string(sha256Hex) + "\n";
}

bool verifySignature(
    std::string_view publicKeyBase64, std::string_view message, std::string_view signatureBase64)
{
    QByteArray rawKey;
    QByteArray signature;
    if (!fromBase64(publicKeyBase64, kPublicKeySize, rawKey)
        || !fromBase64(signatureBase64, kSignatureSize, signature))
        return false;
    KeyPtr key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                   reinterpret_cast<const unsigned char *>(rawKey.constData()), kPublicKeySize),
        EVP_PKEY_free);
    ContextPtr context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!key || !context)
        return false;
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
               kSignatureSize, reinterpret_cast<const unsigned char *>(message.data()), message.size())
        == 1;
}

std::string signWithKeyFile(const std::string &pemPath, std::string_view message)
{
    KeyPtr key = readPrivateKey(pemPath);
    ContextPtr context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!key || !context)
        return {};
    if (EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return {};
    unsigned char signature[kSignatureSize];
    std::size_t size = sizeof signature;
    if (EVP_DigestSign(context.get(), signature, &size,
            reinterpret_cast<const unsigned char *>(message.data()), message.size())
        != 1)
        return {};
    return toBase64(signature, size);
}

std::string publicKeyOfKeyFile(const std::string &pemPath)
{
    KeyPtr key = readPrivateKey(pemPath);
    unsigned char raw[kPublicKeySize];
    std::size_t size = sizeof raw;
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), raw, &size) != 1 || size != kPublicKeySize)
        return {};
    return toBase64(raw, size);
}

} // namespace pellwick
