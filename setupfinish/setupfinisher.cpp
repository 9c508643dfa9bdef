#include "setupfinish/setupfinisher.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "platform/settings.h"
#include "setupfinish/setupshell.h"

namespace {
const QString kReinstall = QStringLiteral(" 설치를 다시 실행해 주십시오.");
}

SetupFinisher::SetupFinisher(const QSettings &quorelProfile, SetupShell &shell)
    : m_profile(quorelProfile)
    , m_shell(shell)
{
}

FinisherDirectory SetupFinisher::installDirectory() const
{
    FinisherDirectory dir;
    const QString stored = m_profile.value(QuorelSettings::installDirectoryKey()).toString();
    if (stored.isEmpty()) {
        dir.problem = QStringLiteral("린드바트의 설치 폴더(ProPathName)가 설정에 없습니다.") + kReinstall;
        return dir;
    }
    // The terminator shares the buffer with the text; a longer value is
    // refused whole rather than cut to a different folder.
    if (stored.toUtf8().size() + 1 > kPathBufferBytes) {
        dir.problem = QStringLiteral("린드바트의 설치 폴더(ProPathName)가 %1바이트를 넘어 읽을 수 없습니다.")
                          .arg(kPathBufferBytes)
            + kReinstall;
        return dir;
    }
    if (!QFileInfo(stored).isDir()) {
        dir.problem
            = QStringLiteral("린드바트의 설치 폴더 '%1'을(를) 찾을 수 없습니다.").arg(stored) + kReinstall;
        return dir;
    }
    dir.path = QDir(stored).absolutePath();
    return dir;
}

bool SetupFinisher::finish(bool runProgram, bool readMe)
{
    if (!runProgram && !readMe)
        return true;
    const FinisherDirectory dir = installDirectory();
    // Without the installation directory a relative name would be looked
    // for wherever Corvale happened to start, and might start something else.
    if (!dir.usable()) {
        m_shell.warning(dir.problem);
        return false;
    }
    if (!QDir::setCurrent(dir.path)) {
        m_shell.warning(
            QStringLiteral("린드바트의 설치 폴더 '%1'(으)로 이동할 수 없습니다.").arg(dir.path) + kReinstall);
        return false;
    }
    bool ok = true;
    if (runProgram) {
        const QString program = QDir(dir.path).filePath(programName());
        if (!m_shell.startProgram(program, dir.path)) {
            m_shell.warning(QStringLiteral("린드바트(%1)를 실행할 수 없습니다.").arg(program));
            ok = false;
        }
    }
    if (readMe) {
        const QString readMePath = QDir(dir.path).filePath(readMeName());
        if (!QFileInfo(readMePath).isFile() || !m_shell.openDocument(readMePath)) {
            m_shell.warning(QStringLiteral("ReadMe 파일(%1)을 열 수 없습니다.").arg(readMePath));
            ok = false;
        }
    }
    return ok;
}
