#include "app/checkrunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include "document/textfile.h"
#include "namecodec/codec.h"
#include "platform/logging.h"

namespace {

// Debian keeps one file per module here; apache2 -t loads what it finds.
const char kApacheModules[] = "/etc/apache2/mods-available";

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size()
        && file.flush();
}

// Only one multi-processing module may be loaded; the threaded one is the
// system's default. mod_cgi and PHP want the forking one instead, and
// cgid stands in for cgi.
bool leftOutModule(const QString &name, const QString &mpm)
{
    if (name.startsWith(QStringLiteral("mpm_")))
        return name != mpm;
    return name == QStringLiteral("cgi") || name.startsWith(QStringLiteral("php"));
}

QString apacheModuleLines()
{
    const QDir dir(QString::fromLatin1(kApacheModules));
    const QStringList loads = dir.entryList({QStringLiteral("*.load")}, QDir::Files, QDir::Name);
    QString mpm = QStringLiteral("mpm_event");
    if (!loads.contains(mpm + QStringLiteral(".load"))) {
        const QStringList mpms = loads.filter(QRegularExpression(QStringLiteral("^mpm_")));
        mpm = mpms.isEmpty() ? QString() : QFileInfo(mpms.first()).completeBaseName();
    }
    QString lines;
    for (const QString &load : loads) {
        if (!leftOutModule(QFileInfo(load).completeBaseName(), mpm))
            lines += QStringLiteral("Include %1\n").arg(quoted(dir.filePath(load)));
    }
    return lines;
}

QString userName()
{
    const passwd *pw = getpwuid(geteuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(geteuid());
}

QString groupName()
{
    const group *gr = getgrgid(getegid());
    return gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(getegid());
}

// A zone name with Hangul goes to the checker in the form the file holds
// it: as the file's own bytes while the file is not converted yet (in
// BIND's \DDD escapes, since an argument is no place for code page 949),
// else in its ACE form, as the converted names are written.
QString originArgument(const QString &origin, namecodec::Encoding encoding, const QByteArray &text)
{
    const bool ascii
        = std::all_of(origin.cbegin(), origin.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return origin;
    const std::u16string utf16 = origin.toStdU16String();
    const auto own = namecodec::encodeText(utf16, encoding);
    if (own && text.contains(QByteArray::fromStdString(*own))) {
        QString escaped;
        for (const char byte : *own) {
            const auto value = static_cast<unsigned char>(byte);
            escaped += value < 0x80 ? QString(QLatin1Char(byte))
                                    : QStringLiteral("\\%1").arg(value, 3, 10, QLatin1Char('0'));
        }
        return escaped;
    }
    const QByteArray utf8 = origin.toUtf8();
    auto ace = namecodec::toAscii(
        std::string_view(utf8.constData(), std::size_t(utf8.size())), namecodec::Encoding::Utf8);
    return ace ? QString::fromStdString(*ace) : origin;
}

// The checkers print the bytes of a name they cannot print as escapes
// (BIND \DDD, Apache \xHH); back as bytes, they read as the file's own Hangul.
QByteArray unescapeBytes(const QByteArray &output, CheckKind kind)
{
    static const QRegularExpression bind(QStringLiteral("\\\\(1[2-9][0-9]|2[0-4][0-9]|25[0-5])"));
    static const QRegularExpression apache(QStringLiteral("\\\\x([89a-fA-F][0-9a-fA-F])"));
    const bool isBind = kind == CheckKind::Zone || kind == CheckKind::NamedConf;
    if (!isBind && kind != CheckKind::Apache)
        return output;
    QByteArray bytes;
    const QString text = QString::fromLatin1(output);
    qsizetype from = 0;
    for (auto it = (isBind ? bind : apache).globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        bytes += output.mid(from, m.capturedStart() - from);
        bytes += char(m.captured(1).toInt(nullptr, isBind ? 10 : 16));
        from = m.capturedEnd();
    }
    return bytes + output.mid(from);
}

// A whole nginx.conf, rather than a server block, already has its own
// top-level blocks and is checked as the main file.
bool isWholeNginxConfig(const QByteArray &bytes)
{
    static const QRegularExpression topBlock(
        QStringLiteral("^(events|http)\\s*\\{"), QRegularExpression::MultilineOption);
    return topBlock.match(QString::fromLatin1(bytes)).hasMatch();
}

} // namespace

CheckRunner::CheckRunner(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("checkRunner"));
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (!m_process)
            return;
        m_timedOut = true;
        m_process->kill();
    });
}

CheckRunner::~CheckRunner()
{
    // Nothing of a check outlives the program: not the process, not the copy.
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(2000);
        delete m_process;
        m_process = nullptr;
    }
}

QString CheckRunner::programFor(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Zone:
        return QStringLiteral("named-checkzone");
    case CheckKind::NamedConf:
        return QStringLiteral("named-checkconf");
    case CheckKind::Apache:
        return QStringLiteral("apache2");
    case CheckKind::Nginx:
        return QStringLiteral("nginx");
    }
    return {};
}

QString CheckRunner::packageFor(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Zone:
    case CheckKind::NamedConf:
        return QStringLiteral("bind9-utils");
    case CheckKind::Apache:
        return QStringLiteral("apache2");
    case CheckKind::Nginx:
        return QStringLiteral("nginx");
    }
    return {};
}

QString CheckRunner::findProgram(const QString &name)
{
    const QStringList path = qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QStringList folders = path;
    const bool namesSbin = std::any_of(path.cbegin(), path.cend(),
        [](const QString &folder) { return QFileInfo(folder).fileName() == QStringLiteral("sbin"); });
    if (!namesSbin)
        folders << QStringLiteral("/usr/sbin") << QStringLiteral("/sbin");
    for (const QString &folder : folders) {
        const QFileInfo candidate(QDir(folder).filePath(name));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return {};
}

QString CheckRunner::start(const CheckRequest &request)
{
    if (m_process)
        return QStringLiteral("이미 검사하고 있습니다. 앞의 검사가 끝난 뒤에 다시 하십시오.");
    const QString name = programFor(request.kind);
    m_program = findProgram(name);
    if (m_program.isEmpty()) {
        const QString package = packageFor(request.kind);
        return QStringLiteral(
            "%1 프로그램을 찾을 수 없습니다. 검사하려면 Debian 패키지 %2을(를) 설치하십시오.\n"
            "(sudo apt install %2)")
            .arg(name, package);
    }
    m_request = request;
    m_timedOut = false;
    QString error;
    if (!m_copy.create(request.tempDirectory, &error))
        return error;
    if (!writeFile(m_copy.path(), request.bytes)) {
        cleanUp();
        return QStringLiteral("검사할 임시 파일을 쓸 수 없습니다: %1").arg(m_copy.path());
    }
    QStringList arguments;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    error = prepare(request, &arguments, &environment);
    if (!error.isEmpty()) {
        cleanUp();
        return error;
    }
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setProcessEnvironment(environment);
    m_process->setWorkingDirectory(m_root ? m_root->path() : QFileInfo(m_copy.path()).absolutePath());
    connect(m_process, &QProcess::finished, this, &CheckRunner::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            onFinished();
    });
    qCInfo(lcApp).noquote() << "checking" << request.displayName << "with" << m_program
                            << arguments.join(QLatin1Char(' '));
    m_process->start(m_program, arguments);
    m_deadline.start(m_timeLimitMs);
    return {};
}

QString CheckRunner::prepare(
    const CheckRequest &request, QStringList *arguments, QProcessEnvironment *environment)
{
    switch (request.kind) {
    case CheckKind::Zone:
        *arguments = {originArgument(request.origin, request.encoding, request.bytes), m_copy.path()};
        return {};
    case CheckKind::NamedConf:
        *arguments = {m_copy.path()};
        return {};
    case CheckKind::Apache:
        return prepareApache(arguments, environment);
    case CheckKind::Nginx:
        return prepareNginx(arguments);
    }
    return {};
}

QString CheckRunner::makeRoot()
{
    m_root = std::make_unique<QTemporaryDir>(m_request.tempDirectory + QStringLiteral("/check-XXXXXX"));
    if (!m_root->isValid())
        return QStringLiteral("검사할 임시 폴더를 만들 수 없습니다: %1").arg(m_request.tempDirectory);
    // Where relative log paths of the checked file lead.
    QDir(m_root->path()).mkpath(QStringLiteral("logs"));
    return {};
}

QString CheckRunner::prepareApache(QStringList *arguments, QProcessEnvironment *environment)
{
    // A server root of its own, so the check needs neither root nor the
    // system's sites: only the modules and this one file.
    if (QString error = makeRoot(); !error.isEmpty())
        return error;
    const QString root = m_root->path();
    const QString config
        = QStringLiteral("ServerRoot %1\nDefaultRuntimeDir %1\nPidFile %2\nErrorLog %3\n"
                         "ServerName localhost\n%4Include %5\n")
              .arg(quoted(root), quoted(root + QStringLiteral("/apache2.pid")),
                  quoted(root + QStringLiteral("/error.log")), apacheModuleLines(), quoted(m_copy.path()));
    const QString configPath = root + QStringLiteral("/apache2.conf");
    if (!writeFile(configPath, config.toUtf8()))
        return QStringLiteral("검사할 임시 파일을 쓸 수 없습니다: %1").arg(configPath);
    // The variables Debian's own files and many sites refer to.
    environment->insert(QStringLiteral("APACHE_RUN_DIR"), root);
    environment->insert(QStringLiteral("APACHE_LOG_DIR"), root + QStringLiteral("/logs"));
    environment->insert(QStringLiteral("APACHE_PID_FILE"), root + QStringLiteral("/apache2.pid"));
    environment->insert(QStringLiteral("APACHE_LOCK_DIR"), root);
    environment->insert(QStringLiteral("APACHE_RUN_USER"), userName());
    environment->insert(QStringLiteral("APACHE_RUN_GROUP"), groupName());
    *arguments = {QStringLiteral("-t"), QStringLiteral("-d"), root, QStringLiteral("-f"), configPath};
    return {};
}

QString CheckRunner::prepareNginx(QStringList *arguments)
{
    if (QString error = makeRoot(); !error.isEmpty())
        return error;
    const QString root = m_root->path();
    QString configPath = m_copy.path();
    if (!isWholeNginxConfig(m_request.bytes)) {
        // A server block, as in sites-available, goes where the main file
        // includes it; the log and pid stay in the prefix, so no root is needed.
        const QString config
            = QStringLiteral("error_log %1;\npid %2;\nevents {}\nhttp {\n    include %3;\n}\n")
                  .arg(quoted(root + QStringLiteral("/error.log")),
                      quoted(root + QStringLiteral("/nginx.pid")), quoted(m_copy.path()));
        configPath = root + QStringLiteral("/nginx.conf");
        if (!writeFile(configPath, config.toUtf8()))
            return QStringLiteral("검사할 임시 파일을 쓸 수 없습니다: %1").arg(configPath);
    }
    *arguments = {QStringLiteral("-t"), QStringLiteral("-e"), root + QStringLiteral("/error.log"),
        QStringLiteral("-p"), root + QLatin1Char('/'), QStringLiteral("-c"), configPath};
    return {};
}

void CheckRunner::onFinished()
{
    if (!m_process)
        return;
    m_deadline.stop();
    CheckReport report;
    report.program = programFor(m_request.kind);
    report.timedOut = m_timedOut;
    const bool ran = m_process->error() != QProcess::FailedToStart;
    report.ok
        = ran && !m_timedOut && m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
    const QString output = decodeFileBytes(unescapeBytes(m_process->readAll(), m_request.kind)).text;
    report.findings = parseCheckOutput(
        m_request.kind, output, m_copy.path(), m_root ? m_root->path() : QString(), m_request.displayName);
    if (m_timedOut)
        report.summary = QStringLiteral("%1 검사가 %2초 안에 끝나지 않아 중지하였습니다.")
                             .arg(report.program, QString::number(m_timeLimitMs / 1000.0));
    else if (!ran)
        report.summary
            = QStringLiteral("%1을(를) 실행하지 못했습니다: %2").arg(m_program, m_process->errorString());
    else if (report.ok)
        report.summary = QStringLiteral("검사 결과: 이상 없음 (%1)").arg(report.program);
    else
        report.summary
            = QStringLiteral("검사 결과: 오류가 있습니다 (%1, 종료 코드 %2)")
                  .arg(report.program)
                  .arg(m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1);
    qCInfo(lcApp).noquote() << "checked" << m_request.displayName << "-" << report.summary;
    cleanUp();
    emit finished(report);
}

void CheckRunner::cleanUp()
{
    m_deadline.stop();
    m_copy.remove();
    m_root.reset();
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
}

namespace {

struct LineMatch {
    int line = 0;
    QString message;
};

// "<file>:12: message": named-checkzone and named-checkconf.
LineMatch bindLine(const QString &text, const QString &copyPath)
{
    const QString prefix = copyPath + QLatin1Char(':');
    if (!text.startsWith(prefix))
        return {};
    static const QRegularExpression rest(QStringLiteral("^(\\d+):\\s*(.*)$"));
    const QRegularExpressionMatch m = rest.match(text.mid(prefix.size()));
    return m.hasMatch() ? LineMatch {m.captured(1).toInt(), m.captured(2)} : LineMatch {};
}

// "nginx: [emerg] unknown directive "x" in <file>:12", also with a time
// stamp and process number in front when it comes from the log.
LineMatch nginxLine(const QString &text, const QString &copyPath)
{
    static const QRegularExpression line(
        QStringLiteral("^(?:nginx: |\\S+ \\S+ )?(\\[\\w+\\]) (?:\\d+#\\d+: )?(.*) in (.+):(\\d+)$"));
    const QRegularExpressionMatch m = line.match(text);
    if (!m.hasMatch() || m.captured(3) != copyPath)
        return {};
    return {m.captured(4).toInt(), m.captured(1) + QLatin1Char(' ') + m.captured(2)};
}

// "AH00526: Syntax error on line 12 of <file>:", the reason on the next line.
int apacheLine(const QString &text, const QString &copyPath)
{
    static const QRegularExpression line(QStringLiteral("^AH\\d+: Syntax error on line (\\d+) of (.+):$"));
    const QRegularExpressionMatch m = line.match(text);
    return m.hasMatch() && m.captured(2) == copyPath ? m.captured(1).toInt() : 0;
}

// "[Wed Dec 09 07:49:00.358451 2026] [core:error] [pid 1:tid 1] message":
// the time and process say nothing of the file.
QString logPrefixless(const QString &text)
{
    static const QRegularExpression prefix(
        QStringLiteral("^\\[[^\\]]*\\] (\\[[^\\]]*\\]) \\[pid [^\\]]*\\] "));
    const QRegularExpressionMatch m = prefix.match(text);
    return m.hasMatch() ? m.captured(1) + QLatin1Char(' ') + text.mid(m.capturedEnd()) : text;
}

} // namespace

QList<CheckFinding> parseCheckOutput(CheckKind kind, const QString &output, const QString &copyPath,
    const QString &rootPath, const QString &displayName)
{
    auto shown = [&](QString text) {
        text.replace(copyPath, displayName);
        if (!rootPath.isEmpty())
            text.replace(rootPath + QLatin1Char('/'), QString());
        return text.trimmed();
    };
    QList<CheckFinding> findings;
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString text = lines.at(i).trimmed();
        if (text.isEmpty())
            continue;
        LineMatch match;
        if (kind == CheckKind::Zone || kind == CheckKind::NamedConf) {
            match = bindLine(text, copyPath);
        } else if (kind == CheckKind::Nginx) {
            match = nginxLine(text, copyPath);
        } else if (const int line = apacheLine(text, copyPath); line > 0) {
            const bool reasonFollows = i + 1 < lines.size();
            match = {line, reasonFollows ? lines.at(++i).trimmed() : text};
        }
        if (kind == CheckKind::Apache && match.line == 0)
            text = logPrefixless(text);
        if (match.line > 0)
            findings.append({match.line, shown(match.message)});
        else
            findings.append({0, shown(text)});
    }
    return findings;
}
