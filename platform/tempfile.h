#pragma once

#include <QString>

// The name "conv_<seconds><rand>.tmp" in `dir`, both numbers taken afresh.
QString makeTempFileName(const QString &dir);

// Makes an empty file with such a name, created exclusively (an existing
// name is never opened), and returns its path; empty when the folder is not
// writable.
QString createTempFile(const QString &dir);
