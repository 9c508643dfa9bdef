#pragma once

#include <QLoggingCategory>

// One category per subsystem, so `--verbose` or QT_LOGGING_RULES can turn
// on the debug lines of the part being looked at. Debug and info lines are
// off by default; warnings and above always reach stderr and the log file.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcDocument)
Q_DECLARE_LOGGING_CATEGORY(lcConversion)
Q_DECLARE_LOGGING_CATEGORY(lcEditor)
Q_DECLARE_LOGGING_CATEGORY(lcFtp)
Q_DECLARE_LOGGING_CATEGORY(lcWizard)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
// What a message box or prompt put in front of the user.
Q_DECLARE_LOGGING_CATEGORY(lcPrompt)

// Turns on every level of every quorel.* category (the `--verbose` switch).
void enableVerboseLogging();

// The text of a message shown to the user on one line: a box's line breaks
// become " / ", so the log keeps one line per event.
QString oneLine(const QString &text);
