#include "setupfinish/corvaleapp.h"

#include "setupfinish/corvaledlg.h"
#include "setupfinish/setupfinisher.h"

CCorvaleApp::CCorvaleApp(const QSettings &quorelProfile, SetupShell &shell)
    : m_profile(quorelProfile)
    , m_shell(shell)
{
}

int CCorvaleApp::InitInstance()
{
    SetupFinisher finisher(m_profile, m_shell);
    CCorvaleDlg dialog(finisher);
    return dialog.exec();
}
