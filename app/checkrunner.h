#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

#include "namecodec/codec.h"
#include "platform/scopedtempfile.h"

class QTemporaryDir;

// The servers whose own checkers Quorel runs on a document.
enum class CheckKind { Zone, NamedConf, Apache, Nginx };

// One line of a checker's report; `line` counts from 1 in the checked text
// and is 0 where the report names no line of it.
struct CheckFinding {
    int line = 0;
    QString message;
};

struct CheckReport {
    QString program; // "named-checkzone", "apache2", ...
    bool ok = false;
    bool timedOut = false;
    QList<CheckFinding> findings;
    QString summary; // Korean, the overall result
};

struct CheckRequest {
    CheckKind kind = CheckKind::Zone;
    QByteArray bytes; // the text as a save would write it
    namecodec::Encoding encoding = namecodec::Encoding::Cp949; // that of `bytes`
    QString displayName; // put in place of the copy's path in the report
    QString origin; // the zone's name, for a zone
    QString tempDirectory;
};

// Runs the real checker of a server on a private copy of a text: the copy
// (0600) and whatever configuration the checker needs live only while it
// runs. The checker runs as a separate process, so the window stays live,
// and is stopped when it outlasts the time limit.
class CheckRunner : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeLimitMs = 10000;

    explicit CheckRunner(QObject *parent = nullptr);
    ~CheckRunner() override;

    static QString programFor(CheckKind kind);
    // The Debian package that brings the checker.
    static QString packageFor(CheckKind kind);
    // The checker's full path: the first one on PATH; where PATH names no
    // sbin folder at all (an ordinary user's PATH on Debian, while apache2
    // and nginx live in /usr/sbin), then /usr/sbin and /sbin. A PATH that
    // names an sbin folder is taken as complete. Empty when none is there.
    static QString findProgram(const QString &name);

    void setTimeLimit(int milliseconds) { m_timeLimitMs = milliseconds; }
    bool isRunning() const { return m_process != nullptr; }

    // Starts the check; finished() follows. On a failure to start, nothing
    // runs and the Korean reason is returned.
    QString start(const CheckRequest &request);

signals:
    void finished(const CheckReport &report);

private:
    QString prepare(const CheckRequest &request, QStringList *arguments, QProcessEnvironment *environment);
    // The private folder a server's configuration is made in.
    QString makeRoot();
    QString prepareApache(QStringList *arguments, QProcessEnvironment *environment);
    QString prepareNginx(QStringList *arguments);
    void onFinished();
    void cleanUp();

    CheckRequest m_request;
    QString m_program;
    ScopedTempFile m_copy;
    std::unique_ptr<QTemporaryDir> m_root;
    QProcess *m_process = nullptr;
    QTimer m_deadline;
    int m_timeLimitMs = kDefaultTimeLimitMs;
    bool m_timedOut = false;
};

// The findings in a checker's output: each line that names a line of the
// copy becomes a finding at that line, with the copy's path replaced by
// `displayName` and the private folder's left out.
QList<CheckFinding> parseCheckOutput(CheckKind kind, const QString &output, const QString &copyPath,
    const QString &rootPath, const QString &displayName);
