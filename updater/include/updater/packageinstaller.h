#pragma once

#include <cstdint>
#include <functional>

#include "updater/installroot.h"
#include "updater/updatepackage.h"
#include "updater/updateresult.h"

namespace pellwick {

struct InstallOptions {
    std::uint32_t version = 0; // the version being installed, kept in the journal
    // Called once every new file is in place and the journal says so, before
    // the old files are thrown away: the moment to record the new version.
    // False when that could not be saved: the journal then stays, and the
    // next start records it again.
    std::function<bool(std::uint32_t version)> recordInstalled;
    // Test hook: kill the process (SIGKILL) just before the n-th change to the
    // file system; 0 = never.
    int killAt = 0;
};

// Installs a package as one transaction below the installation directory
// ("ae:" = root, "wd:" = root/lib, "id:" = root/lib/idn):
//  - the whole script and every path are checked first; a script that does
//    not end on "en", or a path that meets a symbolic link inside the
//    installation, changes nothing;
//  - the scripted deletions and directory commands run in script order, each
//    deletion keeping what it removes under a hidden name;
//  - every new file is written under a hidden name in its target folder,
//    then all are renamed into place, the replaced files kept;
//  - only then is the install recorded, and the kept files removed.
// Any failure puts every file back as it was. The package file is deleted
// on success only.
[[nodiscard]] Status installPackage(
    const PackageImage &image, const InstallRoot &root, const InstallOptions &options);

enum class Recovery {
    Nothing, // no journal
    RolledBack, // an interrupted install was undone: the old files are back
    Completed, // it had got past its last rename: finished, and recorded
};

// Looks for the journal of an interrupted install and completes or undoes
// it. Completing calls options.recordInstalled with the journal's version.
[[nodiscard]] Result<Recovery> recoverInterruptedInstall(
    const InstallRoot &root, const InstallOptions &options);

} // namespace pellwick
