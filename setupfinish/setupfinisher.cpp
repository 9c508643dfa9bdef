#include "setupfinish/setupfinisher.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "platform/settings.h"
#include "setupfinish/setupshell.h"

namespace {
const QString kReinstall = QStringLiteral(" 설치를 다시 실행해 주십시오.");

// `stored` checked as a value of ProPathName, wherever it was read.
FinisherDirectory checkedDirectory(const QString &stored)
{
    FinisherDirectory dir;
    // The terminator shares the buffer with the text; a longer value is
    // refused whole rather than cut to a different folder.
    if (stored.toUtf8().size() + 1 > SetupFinisher::kPathBufferBytes) {
        dir.problem = QStringLiteral("린드바트의 설치 폴더(ProPathName)가 %1바이트를 넘어 읽을 수 없습니다.")
                          .arg(SetupFinisher::kPathBufferBytes)
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
} // namespace

SetupFinisher::SetupFinisher(const QSettings &quorelProfile, SetupShell &shell, FinisherFallbacks fallbacks)
    : m_profile(quorelProfile)
    , m_shell(shell)
    , m_fallbacks(std::move(fallbacks))
{
}

FinisherDirectory SetupFinisher::installDirectory() const
{
    // The user's own value decides when there is one, even a stale one:
    // starting a Quorel from another installation would be worse than asking
    // for the installation to be run again.
    const QString stored = m_profile.value(QuorelSettings::installDirectoryKey()).toString();
    if (!stored.isEmpty())
        return checkedDirectory(stored);
    FinisherDirectory machine;
    if (m_fallbacks.machine) {
        const QString value
            = m_fallbacks.machine->value(QuorelSettings::machineInstallDirectoryKey()).toString();
        if (!value.isEmpty()) {
            machine = checkedDirectory(value);
            if (machine.usable())
                return machine;
        }
    }
    const QString own = m_fallbacks.ownFolder;
    if (!own.isEmpty() && QFileInfo(QDir(own).filePath(programName())).isExecutable())
        return checkedDirectory(own);
    if (!machine.problem.isEmpty())
        return machine;
    return {QString(), QStringLiteral("ProPathName이 설정에 없습니다.") + kReinstall};
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
