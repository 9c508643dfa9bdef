#include "setupfinish/corvaleapp.h"

#include "setupfinish/corvaledlg.h"
#include "setupfinish/setupfinisher.h"

CCorvaleApp::CCorvaleApp(const QSettings &quorelProfile, SetupShell &shell, FinisherFallbacks fallbacks)
    : m_profile(quorelProfile)
    , m_shell(shell)
    , m_fallbacks(std::move(fallbacks))
{
}

int CCorvaleApp::InitInstance()
{
    SetupFinisher finisher(m_profile, m_shell, m_fallbacks);
    CCorvaleDlg dialog(finisher);
    return dialog.exec();
}
