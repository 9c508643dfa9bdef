#pragma once

#include <string>

#include <tl/expected.hpp>

namespace pellwick {

// Why a step of the update pass did not happen. The kind is for callers and
// tests; the message says it in Korean, with the file, address or number
// involved, and goes to the log as it stands.
enum class FailureKind {
    InstallDirectory, // ProPathName missing, relative or not a directory
    Busy, // another Pellwick holds the lock
    Network, // no connection, TLS failure, broken transfer
    HttpStatus, // any answer other than 2xx
    InsecureUrl, // leaving HTTPS for HTTP, or a scheme other than HTTP(S)
    TooSlow, // under the low-speed limit for too long
    TimedOut, // the pass ran out of time
    TooLarge, // a body past the header's length or past the hard cap
    BadDownload, // a package whose length does not match its header
    Checksum, // MD5 differs from the published digest
    Signature, // Ed25519 signature missing or wrong
    PackageMissing, // no package file to install
    BadPackage, // a package or script that cannot be installed as it stands
    LinkOnPath, // a symbolic link inside the installation on a package's path
    Disk, // a file system call failed (full disk, permissions, ...)
    GaveUp, // the install failed too often and was dropped
    NotRecorded, // every file is in place, but the settings could not be saved
};

struct Failure {
    FailureKind kind;
    std::string message; // UTF-8 Korean, ready to log
};

template <typename T> using Result = tl::expected<T, Failure>;
using Status = Result<void>;

[[nodiscard]] inline tl::unexpected<Failure> fail(FailureKind kind, std::string message)
{
    return tl::unexpected<Failure>(Failure {kind, std::move(message)});
}

// A short Korean reason for an errno value, for messages about files.
[[nodiscard]] std::string describeErrno(int error);

} // namespace pellwick
