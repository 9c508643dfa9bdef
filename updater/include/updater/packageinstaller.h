#pragma once

#include <QString>

#include "updater/updatepackage.h"

namespace pellwick {

// The three directories a package may write into.
struct InstallBases {
    QString current; // "ae:"
    QString windows; // "wd:"
    QString idn; // "id:"
};

// Carries out a checked package: deletions and directory commands in script
// order, then, if the script ended cleanly, every write. Each file is written
// beside its target and renamed into place, so a write that fails leaves the
// old file whole. True when every write landed.
[[nodiscard]] bool applyPackage(const PackageImage &image, const InstallBases &bases);

// The full path of a location, or an empty string for an unknown prefix.
[[nodiscard]] QString resolveLocation(const ScriptLocation &where, const InstallBases &bases);

} // namespace pellwick
