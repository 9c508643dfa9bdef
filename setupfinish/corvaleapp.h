#pragma once

#include "setupfinish/setupfinisher.h"

class QSettings;
class SetupShell;

// Corvale's application object: one modal dialog, then the program ends.
class CCorvaleApp {
public:
    CCorvaleApp(const QSettings &quorelProfile, SetupShell &shell, FinisherFallbacks fallbacks = {});
    // Runs the dialog; returns its result (1 for "완료", 0 for Esc).
    int InitInstance();

private:
    const QSettings &m_profile;
    SetupShell &m_shell;
    FinisherFallbacks m_fallbacks;
};
