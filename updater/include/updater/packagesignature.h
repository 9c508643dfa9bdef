#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellwick {

// What a publisher signs: the announced version, the package's length and
// its SHA-256, so that a signature can be neither moved to another package
// nor replayed under another version number.
[[nodiscard]] std::string signedMessage(
    std::uint32_t version, std::uint64_t length, std::string_view sha256Hex);

// Ed25519 over the whole message at once. Keys and signatures are raw
// (32 and 64 bytes) and travel as base64.
[[nodiscard]] bool verifySignature(
    std::string_view publicKeyBase64, std::string_view message, std::string_view signatureBase64);

// Signs with a PEM private key file (as "openssl genpkey -algorithm ed25519"
// writes it). Empty on failure.
[[nodiscard]] std::string signWithKeyFile(const std::string &pemPath, std::string_view message);

// The raw public key of a PEM private key file, in base64; empty on failure.
[[nodiscard]] std::string publicKeyOfKeyFile(const std::string &pemPath);

} // namespace pellwick
