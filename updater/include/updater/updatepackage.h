#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

#include "updater/updatescript.h"

namespace pellwick {

// Name of the downloaded package in the installation directory.
inline constexpr char kPackageFileName[] = "autoupcab.tmp";

// The updater's other files there: the download until it is verified, the
// journal of an install under way, the lock of a running pass, the log.
inline constexpr char kPartialFileName[] = "autoupcab.tmp.part";
inline constexpr char kJournalFileName[] = "pellwick.journal";
inline constexpr char kLockFileName[] = "pellwick.lock";
inline constexpr char kLogFileName[] = "pellwick.log";

// No package may write, delete or make these at the top of "ae:": replacing
// the journal under a running install would leave nothing to roll back with.
inline constexpr std::string_view kUpdaterFiles[]
    = {kPackageFileName, kPartialFileName, kJournalFileName, kLockFileName, kLogFileName};

// A package opened for installation: its payload, script and the plan the
// script describes. Built only from a package whose sizes all agree.
struct PackageImage {
    std::vector<char> payload;
    std::string script;
    std::size_t dataOffset = 0; // start of the file data in the payload
    ScriptPlan plan;
};

enum class PackageFault {
    TooShort, // fewer than the 8 header bytes
    BadBody, // not one zlib stream ending at the end of the body
    WrongPayloadSize, // decompressed size differs from the header
    OutOfMemory,
    BadScriptLength, // 4096 or more, or past the payload
    BadScript, // shorter than "en" or holding a NUL
    LocationOutside, // a path climbs out of its base directory
    BadSize, // a negative size, or sizes past the end of the data
};

template <typename T> using PackageResult = tl::expected<T, PackageFault>;

// The fault in Korean, for the log.
[[nodiscard]] std::string describePackageFault(PackageFault fault);

// Decompresses and checks a whole package file. Every problem found here is
// caught before anything on disk is touched.
[[nodiscard]] PackageResult<PackageImage> readPackage(std::span<const unsigned char> file);

// Builds a package file from a script and the data of its writes, in the
// order of the write lines. The script is taken as it stands.
[[nodiscard]] std::string buildPackage(std::string_view script, std::string_view fileData);

} // namespace pellwick
