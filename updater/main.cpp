// Pellwick: one update pass, no window. Started by the session autostart
// that the installation sets up.
#include <cstdio>

#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <curl/curl.h>

#include "platform/commandline.h"
#include "updater/httptransport.h"
#include "updater/pellwickapp.h"
#include "updater/pellwicklog.h"
#include "updater/pellwicksettings.h"

namespace {

// Tests move "today" with PELLWICK_TODAY=YYYYMMDD (midnight UTC); unset, the real clock holds.
qint64 secondsNow()
{
    const QByteArray today = qgetenv("PELLWICK_TODAY");
    if (!today.isEmpty()) {
        const QDate date = QDate::fromString(QString::fromLatin1(today), QStringLiteral("yyyyMMdd"));
        if (date.isValid())
            return QDateTime(date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    }
    return QDateTime::currentSecsSinceEpoch();
}

// The program's only message. Without a display there is nobody to show a
// box to, so standard error is where it goes; with one, a desktop dialog
// tool is used when installed.
void reportStartupFailure()
{
    const QString text = QStringLiteral("Windows 소켓 초기화에 실패하였습니다.");
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    if (const QString zenity = QStandardPaths::findExecutable(QStringLiteral("zenity")); !zenity.isEmpty())
        QProcess::execute(zenity,
            {QStringLiteral("--error"), QStringLiteral("--title=Pellwick"),
                QStringLiteral("--text=") + text});
    else if (const QString kdialog = QStandardPaths::findExecutable(QStringLiteral("kdialog"));
             !kdialog.isEmpty())
        QProcess::execute(kdialog,
            {QStringLiteral("--title"), QStringLiteral("Pellwick"), QStringLiteral("--error"), text});
}

// Test hooks that shorten the transfer limits, so a slow-server test takes
// seconds; each is read only when set to a positive number.
long secondsFromEnvironment(const char *name, long fallback)
{
    bool ok = false;
    const long value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace

int main(int argc, char **argv)
{
    ProgramCommandLine commandLine(QStringLiteral("Pellwick"), QStringLiteral(QUOREL_VERSION),
        QStringLiteral("린드바트 자동 업데이트: 받아 둔 업데이트를 설치하거나, 확인할 때가 되었으면"
                       "\n새 버전을 확인하여 받아 둔 뒤 끝냅니다. 창을 띄우지 않습니다."));
    if (const auto status = commandLine.read(ProgramCommandLine::arguments(argc, argv)))
        return *status;

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Pellwick"));

    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        reportStartupFailure();
        return 1;
    }
    bool passed = false;
    {
        QSettings store(QStringLiteral("VANTO"), QStringLiteral("Pellwick"));
        PellwickSettings settings(store);
        pellwick::HttpTransport::Limits limits;
        limits.lowSpeedSeconds = secondsFromEnvironment("PELLWICK_SLOW_SECONDS", limits.lowSpeedSeconds);
        limits.passSeconds = secondsFromEnvironment("PELLWICK_PASS_SECONDS", limits.passSeconds);
        pellwick::HttpTransport transport(limits);
        PellwickLog log;
        CPellwickApp pellwick(settings, transport, log, secondsNow, QCoreApplication::applicationDirPath(),
            int(secondsFromEnvironment("PELLWICK_KILL_AT", 0)));
        passed = pellwick.RunUpdate().has_value();
    }
    curl_global_cleanup();
    return passed ? 0 : 1;
}
