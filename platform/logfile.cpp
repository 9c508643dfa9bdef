#include "platform/logfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A box listing every failing line of a big file can be long; the log keeps
// its start, so one message cannot push out the whole record.
constexpr qsizetype kMaxLineBytes = 8 * 1024;

std::atomic<LogFile *> g_current {nullptr};
std::atomic<QtMessageHandler> g_previous {nullptr};
// A warning raised while a line is written (by Qt inside the handler) must
// not come back in and wait on the lock its own thread holds.
thread_local bool t_writing = false;

// Our own warnings and anything critical. Qt's own warnings about the
// session (no XDG_RUNTIME_DIR, a platform plugin's shortcomings) would fill
// the user's log on every start and say nothing about their files.
bool belongsInLog(QtMsgType type, const char *category)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        return true;
    return type == QtWarningMsg && category && std::strncmp(category, "quorel.", 7) == 0;
}

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

QByteArray timeStamp()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    ::localtime_r(&now.tv_sec, &local);
    char date[32] = {};
    char zone[8] = {};
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local);
    char millis[8] = {};
    std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(now.tv_nsec / 1000000));
    return QByteArray(date) + millis + zone;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The newest `keep` bytes of the open file `fd` of `size` bytes, starting at
// a line start.
std::vector<char> newestLines(int fd, qint64 size, qint64 keep)
{
    std::vector<char> tail(static_cast<std::size_t>(keep));
    std::size_t got = 0;
    while (got < tail.size()) {
        const ssize_t n
            = ::pread(fd, tail.data() + got, tail.size() - got, static_cast<off_t>(size - keep) + off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    tail.resize(got);
    const auto feed = std::find(tail.begin(), tail.end(), '\n');
    tail.erase(tail.begin(), feed == tail.end() ? tail.end() : feed + 1);
    return tail;
}

} // namespace

LogFile::LogFile(const QString &path, qint64 capBytes)
    : m_path(QFile::encodeName(path))
    , m_cap(capBytes)
{
    // A log that already exists is checked (and tightened) at once; a new
    // one is made only when there is something to say, so a run without
    // trouble leaves nothing behind in the user's state folder.
    struct stat info { };
    if (::lstat(m_path.constData(), &info) == 0)
        ensureOpen();
}

LogFile::~LogFile()
{
    if (m_installed) {
        qInstallMessageHandler(m_previous);
        g_current.store(nullptr);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

QString LogFile::defaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The base directory rules ignore a relative value.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/quorel/quorel.log");
}

bool LogFile::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_failed;
}

// The state folder may not exist on a fresh account; our own folder in it
// is for this user alone, like the file. One failed attempt is final: a
// warning storm must not retry the file system at every line.
void LogFile::ensureOpen()
{
    if (m_fd >= 0 || m_failed)
        return;
    const QString folder = QFileInfo(QFile::decodeName(m_path)).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    openFile();
    m_failed = m_fd < 0;
}

// Created 0600 and never through a link planted under the name; a file left
// with a wider mode by hand is tightened, since it may name the user's files
// and servers.
void LogFile::openFile()
{
    m_fd = ::open(m_path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    struct stat info { };
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    if ((info.st_mode & 0077) != 0)
        (void)::fchmod(m_fd, 0600);
}

// Keeps the newest lines in 7/8 of the cap, written beside the log and
// renamed over it, so a crash never leaves half a log. The slack means a
// steady stream of warnings trims once per 128 KiB, not at every line.
void LogFile::trimToFit(qint64 incoming)
{
    struct stat info { };
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || info.st_size + incoming <= m_cap)
        return;
    const int in = ::open(m_path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return;
    const qint64 keep = std::min<qint64>(info.st_size, m_cap - m_cap / 8 - incoming);
    const std::vector<char> kept = newestLines(in, info.st_size, std::max<qint64>(keep, 0));
    ::close(in);

    const QByteArray temp = m_path + ".trim." + QByteArray::number(::getpid());
    ::unlink(temp.constData());
    const int out = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0)
        return;
    bool ok = writeAll(out, std::string_view(kept.data(), kept.size()));
    ok = ::close(out) == 0 && ok;
    if (!ok || ::rename(temp.constData(), m_path.constData()) != 0) {
        ::unlink(temp.constData());
        return;
    }
    ::close(m_fd);
    openFile();
}

void LogFile::writeOut(const QByteArray &line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ensureOpen();
    trimToFit(line.size());
    if (m_fd >= 0)
        (void)writeAll(m_fd, std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
}

void LogFile::append(QtMsgType type, const char *category, const QString &message) noexcept
{
    try {
        QByteArray text = message.toUtf8();
        text.replace("\r\n", " / ").replace('\n', " / ").replace('\r', " ");
        if (text.size() > kMaxLineBytes)
            text = text.left(kMaxLineBytes) + "...";
        QByteArray line = timeStamp() + ' ' + levelName(type) + ' ' + (category ? category : "default") + ": "
            + text + '\n';
        writeOut(line);
    } catch (...) {
        // Out of memory while logging: the line is lost, the program goes on.
    }
}

void LogFile::install()
{
    if (m_installed)
        return;
    g_current.store(this);
    m_previous = qInstallMessageHandler(&LogFile::handleMessage);
    g_previous.store(m_previous);
    m_installed = true;
}

void LogFile::handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogFile *file = g_current.load();
    if (file && belongsInLog(type, context.category) && !t_writing) {
        t_writing = true;
        file->append(type, context.category, message);
        t_writing = false;
    }
    if (QtMessageHandler previous = g_previous.load())
        previous(type, context, message);
}
