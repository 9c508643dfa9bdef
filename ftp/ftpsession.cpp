#include "ftp/ftpsession.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QUrl>

#include <curl/curl.h>

#include "namecodec/codec.h"
#include "platform/logging.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool isReplyLine(const QByteArray &line)
{
    return line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0]))
        && std::isdigit(static_cast<unsigned char>(line[1]))
        && std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == ' ';
}

// The path of a 257 reply: `257 "/a ""b"" c" is the current directory`.
QByteArray pathOf257(const QByteArray &line)
{
    const qsizetype open = line.indexOf('"');
    if (open < 0)
        return {};
    QByteArray path;
    for (qsizetype i = open + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                path += '"';
                ++i;
                continue;
            }
            return path;
        }
        path += line[i];
    }
    return {};
}

QByteArray percentEncodePath(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/')
            out += c;
        else
            out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
    }
    return out;
}

const char *const kMonths[]
    = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};

// The time column as the list parser hands it over: "Dec  8 02:00",
// "Dec  8 2025" (UNIX servers) or "12-08-25  02:00PM" (DOS-style servers).
QDateTime parseListTime(const QString &raw)
{
    const QStringList f = raw.simplified().split(QLatin1Char(' '));
    if (f.size() == 3) {
        int month = 0;
        for (int m = 0; m < 12; ++m) {
            if (f[0].compare(QLatin1String(kMonths[m]), Qt::CaseInsensitive) == 0)
                month = m + 1;
        }
        const int day = f[1].toInt();
        if (month == 0 || day == 0)
            return {};
        if (f[2].contains(QLatin1Char(':'))) {
            const QTime time = QTime::fromString(f[2], QStringLiteral("H:mm"));
            const QDate today = QDate::currentDate();
            QDate date(today.year(), month, day);
            // Servers leave the year out for the last six months.
            if (date > today.addDays(1))
                date = QDate(today.year() - 1, month, day);
            return QDateTime(date, time);
        }
        return QDateTime(QDate(f[2].toInt(), month, day), QTime(0, 0));
    }
    if (f.size() == 2) {
        QDate date = QDate::fromString(f[0], QStringLiteral("MM-dd-yy"));
        if (!date.isValid())
            date = QDate::fromString(f[0], QStringLiteral("MM-dd-yyyy"));
        else if (date.year() < 1970)
            date = date.addYears(100);
        const QTime time = QTime::fromString(f[1].toUpper(), QStringLiteral("hh:mmAP"));
        if (date.isValid())
            return QDateTime(date, time.isValid() ? time : QTime(0, 0));
    }
    return {};
}

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

FtpError lineBreakRefusal()
{
    return FtpError {
        FtpError::Kind::Refused, 0, QStringLiteral("이름에 줄바꿈 문자가 있어 서버에 보낼 수 없습니다.")};
}

// An absolute path without doubled slashes, "." or "..": "//a" and
// "/b/../a" both become "/a", which every server reads alike.
QString cleanRemotePath(const QString &path)
{
    QStringList parts;
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

// The words of a listing line split at runs of spaces: the first `count`
// of them, and where the text after them begins (after one space).
QList<QByteArray> leadingFields(const QByteArray &line, int count, qsizetype &rest)
{
    QList<QByteArray> fields;
    qsizetype pos = 0;
    while (fields.size() < count) {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        const qsizetype start = pos;
        while (pos < line.size() && line[pos] != ' ')
            ++pos;
        if (start == pos)
            break;
        fields << line.mid(start, pos - start);
    }
    rest = pos + 1;
    return fields;
}

bool isNumber(const QByteArray &field)
{
    return !field.isEmpty()
        && std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A download's file, written beside its target under a name of its own and
// renamed into place once complete, so that a broken transfer never leaves
// half a file under the real name; removed when it is not. Unlike QSaveFile
// it is not synced to disk first: that sync (and the journal commit it
// forces) cost as much again as the transfer itself, and a copy of a file
// on a server can be fetched again. The rename replaces a link in the
// folder rather than the file it points to.
class PartFile {
public:
    explicit PartFile(const QString &target)
        : m_target(target)
    {
    }
    ~PartFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_part.isEmpty())
            ::unlink(m_part.constData());
    }
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    bool open()
    {
        const QByteArray target = QFile::encodeName(m_target);
        const QByteArray folder = QFile::encodeName(QFileInfo(m_target).absolutePath());
        const QByteArray base = QFile::encodeName(QFileInfo(m_target).fileName());
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            const QByteArray part = folder + "/." + base + '.'
                + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".part";
            // 0666 less the umask, as a new file of the user's gets.
            m_fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0)
                m_part = part;
            else if (errno != EEXIST)
                return fail();
        }
        if (m_fd < 0)
            return fail();
        // A file replaced keeps its mode.
        struct stat st { };
        if (::stat(target.constData(), &st) == 0 && S_ISREG(st.st_mode))
            ::fchmod(m_fd, st.st_mode & 07777);
        return true;
    }
    bool write(const char *data, qint64 size)
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, static_cast<size_t>(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail();
            data += n;
            size -= n;
        }
        return true;
    }
    bool commit()
    {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            return fail();
        if (::rename(m_part.constData(), QFile::encodeName(m_target).constData()) != 0)
            return fail();
        m_part.clear();
        return true;
    }
    QString errorString() const { return m_error; }

private:
    bool fail()
    {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }

    QString m_target;
    QByteArray m_part;
    int m_fd = -1;
    QString m_error;
};

} // namespace

// What one call of the handle heard and carried.
struct CFtpSession::Reply {
    CFtpSession *session = nullptr;
    QByteArray lastReply; // the last complete reply line
    QByteArray lastPwd; // the last 257 reply
    PartFile *download = nullptr;
    QFile *upload = nullptr;
    QByteArray body; // a directory listing
    qint64 expected = -1;
    qint64 announced = -1; // the size the FTP server gave for the file it sends
    qint64 received = 0;
    bool oversized = false; // more came than announced: the download was stopped
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

CFtpSession::CFtpSession()
{
    initCurlOnce();
    m_curl = curl_easy_init();
}

CFtpSession::~CFtpSession()
{
    if (m_curl)
        curl_easy_cleanup(m_curl);
}

void CFtpSession::close()
{
    // Cleaning the handle up closes the kept control connection with it.
    if (m_curl)
        curl_easy_cleanup(m_curl);
    m_curl = curl_easy_init();
    m_connected = false;
}

bool CFtpSession::isSafeLocalName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

QString CFtpSession::absolutePath(const QString &name) const
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return m_currentDir.endsWith(QLatin1Char('/')) ? m_currentDir + name
                                                   : m_currentDir + QLatin1Char('/') + name;
}

QByteArray CFtpSession::encodeName(const QString &text) const
{
    if (m_cp949Names) {
        const auto bytes
            = namecodec::encodeText(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()),
                                        static_cast<std::size_t>(text.size())),
                namecodec::Encoding::Cp949);
        if (bytes)
            return QByteArray::fromStdString(*bytes);
    }
    return text.toUtf8();
}

QString CFtpSession::decodeName(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Korean servers of the old kind list names in code page 949; names
    // sent back to such a server are encoded the same way.
    const auto decoded
        = namecodec::decodeText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
            namecodec::Encoding::Cp949);
    if (!decoded)
        return QString::fromLatin1(bytes);
    m_cp949Names = true;
    return QString::fromUtf16(decoded->data(), static_cast<qsizetype>(decoded->size()));
}

QByteArray CFtpSession::urlFor(const QString &absolutePath) const
{
    QByteArray url = isSftp() ? "sftp://" : "ftp://";
    const QString host = m_entry.address.trimmed();
    // An IPv6 address goes in brackets.
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        url += '[' + host.toUtf8() + ']';
    else
        url += QUrl::toAce(host).isEmpty() ? host.toUtf8() : QUrl::toAce(host);
    url += ':' + QByteArray::number(m_entry.port == 0 ? m_entry.defaultPort() : m_entry.port);
    QByteArray path = encodeName(absolutePath);
    while (path.startsWith('/'))
        path.remove(0, 1);
    if (isSftp()) {
        // SFTP paths are absolute as they stand; only "/~/" would mean the
        // log-in directory, and a path of ours never starts so.
        return url + '/' + percentEncodePath(path);
    }
    // "/%2F" starts the path at the server's root rather than at the
    // log-in directory.
    url += "/%2F" + percentEncodePath(path);
    return url;
}

void CFtpSession::setCommonOptions(Reply &reply)
{
    curl_easy_reset(m_curl);
    reply.session = this;
    curl_easy_setopt(m_curl, CURLOPT_USERAGENT, "Quorel");
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, isSftp() ? "sftp" : "ftp");
    m_pendingListing.reset();
    setTimeoutOptions();
    setLoginOptions();
    if (isSftp())
        setSshOptions();
    if (m_entry.protocol == FtpServerEntry::Protocol::Ftps)
        setTlsOptions();
    setTransferModeOptions();
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, reply.errorBuffer);
    setReplyCallback(reply);
    setProgressCallback(reply);
    // Our handle carries the password; libcurl must not print it.
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, qEnvironmentVariableIsSet("QUOREL_FTP_DEBUG") ? 1L : 0L);
}

void CFtpSession::setTimeoutOptions()
{
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, kTimeoutMs);
    curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kTimeoutMs / 1000);
    curl_easy_setopt(m_curl, CURLOPT_ACCEPTTIMEOUT_MS, kTimeoutMs);
    // A transfer that stalls for the time-out ends; a slow one goes on.
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, kTimeoutMs / 1000);
}

void CFtpSession::setLoginOptions()
{
    const QByteArray user = m_entry.user.toUtf8();
    const QByteArray password = m_entry.password.toUtf8();
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, password.constData());
}

void CFtpSession::setSshOptions()
{
    // The password types only with a password: an empty one means the
    // agent and the user's keys alone, and an empty password is never
    // sent (each refused try counts against the server's limit).
    long auth = CURLSSH_AUTH_AGENT | CURLSSH_AUTH_PUBLICKEY;
    if (!m_entry.password.isEmpty())
        auth |= CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
    curl_easy_setopt(m_curl, CURLOPT_SSH_AUTH_TYPES, auth);
    // libcurl's own default key is id_rsa alone; the newer kinds first.
    const QDir ssh(QDir::homePath() + QStringLiteral("/.ssh"));
    for (const char *name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const QString key = ssh.filePath(QLatin1String(name));
        if (QFileInfo::exists(key)) {
            const QByteArray file = QFile::encodeName(key);
            curl_easy_setopt(m_curl, CURLOPT_SSH_PRIVATE_KEYFILE, file.constData());
            break;
        }
    }
    const QByteArray knownHosts = QFile::encodeName(knownHostsPath());
    curl_easy_setopt(m_curl, CURLOPT_SSH_KNOWNHOSTS, knownHosts.constData());
    curl_easy_setopt(m_curl, CURLOPT_SSH_KEYDATA, this);
    curl_easy_setopt(
        m_curl, CURLOPT_SSH_KEYFUNCTION,
        +[](CURL *, const curl_khkey *, const curl_khkey *found, curl_khmatch match, void *clientp) -> int {
            QByteArray blob;
            if (found && found->key) {
                blob = found->len > 0 ? QByteArray(found->key, static_cast<qsizetype>(found->len))
                                      : QByteArray::fromBase64(QByteArray(found->key));
            }
            return static_cast<CFtpSession *>(clientp)->checkHostKey(blob, static_cast<int>(match));
        });
}

void CFtpSession::setTlsOptions()
{
    // Explicit TLS for the commands and the data alike; the password
    // never crosses in clear, and a server without AUTH TLS is refused.
    curl_easy_setopt(m_curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(m_curl, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_caFile.isEmpty()) {
        const QByteArray ca = QFile::encodeName(m_caFile);
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, ca.constData());
    }
}

void CFtpSession::setTransferModeOptions()
{
    // Active mode: the server connects back to the address of our control
    // connection.
    curl_easy_setopt(m_curl, CURLOPT_FTPPORT, m_entry.passive ? nullptr : "-");
    // Full paths with every command, no CWD of libcurl's own: the current
    // directory is ours, and a cached one of libcurl's could go stale.
    curl_easy_setopt(m_curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    // Larger blocks than libcurl's default 16 KiB, as the curl tool uses.
    curl_easy_setopt(m_curl, CURLOPT_BUFFERSIZE, 100L * 1024);
}

void CFtpSession::setReplyCallback(Reply &reply)
{
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, &reply);
    curl_easy_setopt(
        m_curl, CURLOPT_HEADERFUNCTION, +[](char *data, size_t size, size_t count, void *userdata) -> size_t {
            auto *r = static_cast<Reply *>(userdata);
            const QByteArray line = QByteArray(data, static_cast<qsizetype>(size * count)).trimmed();
            if (isReplyLine(line)) {
                r->lastReply = line;
                if (line.startsWith("257 "))
                    r->lastPwd = line;
                // The answer to our SIZE, or else the size some servers put
                // in their "150 ... (1234 bytes)".
                bool ok = false;
                if (line.startsWith("213 ")) {
                    const qint64 stated = line.mid(4).trimmed().toLongLong(&ok);
                    if (ok)
                        r->announced = stated;
                } else if (line.startsWith("150 ") && r->announced < 0) {
                    const qsizetype open = line.lastIndexOf('(');
                    const qsizetype bytes = line.indexOf(" bytes", open);
                    const qint64 stated = open >= 0 && bytes > open
                        ? line.mid(open + 1, bytes - open - 1).toLongLong(&ok)
                        : -1;
                    if (ok)
                        r->announced = stated;
                }
            }
            return size * count;
        });
}

void CFtpSession::setProgressCallback(Reply &reply)
{
    m_cancel = false;
    m_done = 0;
    m_total = 0;
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, &reply);
    curl_easy_setopt(
        m_curl, CURLOPT_XFERINFOFUNCTION,
        +[](void *userdata, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
             curl_off_t ulNow) -> int {
            auto *r = static_cast<Reply *>(userdata);
            CFtpSession *s = r->session;
            if (r->upload) {
                s->m_done = ulNow;
                s->m_total = ulTotal;
            } else {
                s->m_done = dlNow;
                s->m_total = dlTotal > 0 ? dlTotal : r->announced >= 0 ? r->announced : r->expected;
            }
            return s->m_cancel ? 1 : 0;
        });
}

FtpStatus CFtpSession::perform(Reply &reply, bool keepAsLastError)
{
    const CURLcode code = curl_easy_perform(m_curl);
    if (code == CURLE_OK)
        return {};
    long replyCode = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &replyCode);
    const QString replyText = decodeName(reply.lastReply);
    FtpError error = reply.oversized ? oversizedDownloadError()
        : isSftp()
        ? sftpErrorFor(code, QString::fromUtf8(reply.errorBuffer), m_hostKeyProblem, m_hostKeyFingerprint)
        : ftpErrorFor(code, replyCode, replyText);
    if (keepAsLastError)
        m_lastErrorText = error.text;
    return FtpFailure(error);
}

FtpStatus CFtpSession::quote(const QStringList &commands, Reply &reply, const QByteArray &url)
{
    for (const QString &c : commands) {
        // A line break would let a name smuggle in a command of its own.
        if (hasLineBreak(c))
            return FtpFailure(lineBreakRefusal());
    }
    setCommonOptions(reply);
    std::vector<QByteArray> bytes;
    curl_slist *list = nullptr;
    for (const QString &c : commands) {
        bytes.push_back(encodeName(c));
        list = curl_slist_append(list, bytes.back().constData());
    }
    const QByteArray target = url.isEmpty() ? urlFor(QStringLiteral("/")) : url;
    curl_easy_setopt(m_curl, CURLOPT_URL, target.constData());
    curl_easy_setopt(m_curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(m_curl, CURLOPT_QUOTE, list);
    FtpStatus status = perform(reply);
    curl_easy_setopt(m_curl, CURLOPT_QUOTE, nullptr);
    curl_slist_free_all(list);
    return status;
}

FtpStatus CFtpSession::quote(const QStringList &commands)
{
    Reply reply;
    return quote(commands, reply);
}

FtpStatus CFtpSession::connect(const FtpServerEntry &entry)
{
    close();
    m_entry = entry;
    m_cp949Names = false;
    m_hostKeyProblem = SshHostKeyProblem::None;
    m_hostKeyFingerprint.clear();
    Reply reply;
    // Over SFTP "pwd" names the directory of the URL, and "/~/" is the
    // log-in directory, resolved by the server.
    FtpStatus status = isSftp() ? quote({QStringLiteral("pwd")}, reply, urlFor(QString()) + "~/")
                                : quote({QStringLiteral("PWD")}, reply);
    if (!status) {
        m_lastErrorText = status.error().text;
        close();
        return status;
    }
    QString dir = decodeName(pathOf257(reply.lastPwd));
    if (isSftp())
        dir = QDir::cleanPath(dir);
    m_currentDir = dir.startsWith(QLatin1Char('/')) ? dir : QStringLiteral("/");
    m_connected = true;
    qCDebug(lcFtp) << "connected to" << entry.address << "port" << entry.port << "in" << m_currentDir;
    return {};
}

bool CFtpSession::checkConnection()
{
    if (!m_connected)
        return false;
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(m_curl, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK || socket == CURL_SOCKET_BAD)
        return true; // libcurl let its connection go after an error reply: it logs in again on the next
                     // command
    // Between commands an FTP server has nothing to say: anything readable
    // is its goodbye ("421 ... timed out") or the end of the connection. An
    // SSH server may send a keep-alive, so there only the end of its stream
    // counts, even with a keep-alive still unread before it.
    pollfd p {socket, POLLIN | POLLRDHUP, 0};
    const int ready = ::poll(&p, 1, 0);
    const short gone = POLLRDHUP | POLLHUP | POLLERR;
    if (ready > 0 && (p.revents & (isSftp() ? gone : gone | POLLIN))) {
        close();
        return false;
    }
    return true;
}

FtpStatus CFtpSession::setCurrentDirectory(const QString &path)
{
    if (isSftp()) {
        // SFTP has no directory of its own on the server: the path is made
        // absolute here, and reading the directory is the check that it is one.
        const QString dir = QDir::cleanPath(absolutePath(path));
        if (!dir.startsWith(QLatin1Char('/')))
            return FtpFailure(FtpError {
                FtpError::Kind::NotFound, 0, QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다.")});
        FtpResult<Listing> listing = listSftp(dir);
        if (!listing)
            return FtpFailure(listing.error());
        m_currentDir = dir;
        m_pendingListing = std::move(*listing);
        return {};
    }
    QStringList commands;
    if (!path.startsWith(QLatin1Char('/')))
        commands << QStringLiteral("CWD ") + m_currentDir;
    commands << QStringLiteral("CWD ") + path << QStringLiteral("PWD");
    Reply reply;
    FtpStatus status = quote(commands, reply);
    if (!status)
        return status;
    const QString dir = decodeName(pathOf257(reply.lastPwd));
    if (dir.startsWith(QLatin1Char('/')))
        m_currentDir = dir;
    return {};
}

FtpResult<std::vector<FtpFileInfo>> CFtpSession::list()
{
    m_skipped = 0;
    std::optional<Listing> listing = std::move(m_pendingListing);
    m_pendingListing.reset();
    if (!listing && isSftp()) {
        FtpResult<Listing> read = listSftp(m_currentDir);
        if (!read)
            return FtpFailure(read.error());
        listing = std::move(*read);
    }
    if (!listing) {
        Reply reply;
        setCommonOptions(reply);
        // A URL that ends in a slash is a LIST of the directory. The lines
        // are read here rather than by libcurl's list parser, which gives
        // up the whole directory over a single line it cannot read (a name
        // with a carriage return in it). And they are read as they came:
        // libcurl turns every CR of a listing into a line end before its
        // write callback, which would cut such a name into two entries that
        // do not exist. Its debug callback still sees the bytes unchanged.
        QByteArray url = urlFor(m_currentDir);
        if (!url.endsWith('/'))
            url += '/';
        curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(
            m_curl, CURLOPT_WRITEFUNCTION,
            +[](char *, size_t size, size_t count, void *) -> size_t { return size * count; });
        curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, &reply);
        curl_easy_setopt(
            m_curl, CURLOPT_DEBUGFUNCTION,
            +[](CURL *, curl_infotype type, char *data, size_t size, void *userdata) -> int {
                if (type == CURLINFO_DATA_IN)
                    static_cast<Reply *>(userdata)->body.append(data, static_cast<qsizetype>(size));
                else if (type == CURLINFO_TEXT && qEnvironmentVariableIsSet("QUOREL_FTP_DEBUG"))
                    std::fwrite(data, 1, size, stderr);
                return 0;
            });
        FtpStatus status = perform(reply);
        if (!status)
            return FtpFailure(status.error());
        listing = readFtpListing(reply.body);
    }
    m_skipped = listing->skipped;
    qCDebug(lcFtp) << "listed" << m_currentDir << listing->entries.size() << "entries," << m_skipped
                   << "lines skipped";
    return std::move(listing->entries);
}

FtpStatus CFtpSession::createDirectory(const QString &name)
{
    if (isSftp())
        return quote({QStringLiteral("mkdir ") + sftpArgument(absolutePath(name))});
    return quote({QStringLiteral("MKD ") + absolutePath(name)});
}

FtpStatus CFtpSession::removeDirectory(const QString &name)
{
    if (isSftp())
        return quote({QStringLiteral("rmdir ") + sftpArgument(absolutePath(name))});
    return quote({QStringLiteral("RMD ") + absolutePath(name)});
}

FtpStatus CFtpSession::deleteFile(const QString &name)
{
    if (isSftp())
        return quote({QStringLiteral("rm ") + sftpArgument(absolutePath(name))});
    return quote({QStringLiteral("DELE ") + absolutePath(name)});
}

FtpStatus CFtpSession::rename(const QString &from, const QString &to)
{
    const QString fromPath = cleanRemotePath(absolutePath(from));
    const QString toPath = cleanRemotePath(absolutePath(to));
    if (fromPath == QLatin1String("/") || toPath == QLatin1String("/"))
        return FtpFailure(FtpError {
            FtpError::Kind::Refused, 0, QStringLiteral("최상위 디렉토리(/)는 이름을 바꿀 수 없습니다.")});
    if (isSftp())
        return quote(
            {QStringLiteral("rename ") + sftpArgument(fromPath) + QLatin1Char(' ') + sftpArgument(toPath)});
    return quote({QStringLiteral("RNFR ") + fromPath, QStringLiteral("RNTO ") + toPath});
}

FtpStatus CFtpSession::download(const QString &name, const QString &localFolder, qint64 expectedSize)
{
    if (!isSafeLocalName(name))
        return FtpFailure(FtpError {FtpError::Kind::Refused, 0,
            QStringLiteral("서버의 파일 이름 '%1'은(는) 로컬 FTP 폴더 밖을 가리키므로 받지 않습니다.")
                .arg(name)});
    const QString remote = absolutePath(name);
    if (hasLineBreak(remote))
        return FtpFailure(lineBreakRefusal());
    if (!QDir().mkpath(localFolder)) {
        const int err = errno;
        qCWarning(lcFtp) << "cannot make the local folder" << localFolder << "-" << std::strerror(err);
        return FtpFailure(FtpError {FtpError::Kind::LocalFolder, 0,
            QStringLiteral("%1\n%2").arg(localFolder, QString::fromLocal8Bit(std::strerror(err)))});
    }
    const QString target = QDir(localFolder).filePath(name);
    PartFile out(target);
    if (!out.open()) {
        qCWarning(lcFtp) << "cannot write" << target << "-" << out.errorString();
        return FtpFailure(
            FtpError {FtpError::Kind::LocalFile, 0, QStringLiteral("%1\n%2").arg(target, out.errorString())});
    }
    Reply reply;
    setCommonOptions(reply);
    reply.download = &out;
    reply.expected = expectedSize;
    m_total = expectedSize;
    const QByteArray url = urlFor(remote);
    curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
    curl_slist *beforeTransfer = nullptr;
    if (!isSftp()) {
        // libcurl would stop quietly at the size the server announced, and
        // a file that grew meanwhile would be kept cut short as if whole.
        // The size is asked here instead ("*": a server without SIZE still
        // sends the file), and the write below holds the server to it.
        curl_easy_setopt(m_curl, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
        beforeTransfer = curl_slist_append(nullptr, QByteArray("*SIZE " + encodeName(remote)).constData());
        curl_easy_setopt(m_curl, CURLOPT_PREQUOTE, beforeTransfer);
    }
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(
        m_curl, CURLOPT_WRITEFUNCTION, +[](char *data, size_t size, size_t count, void *userdata) -> size_t {
            auto *r = static_cast<Reply *>(userdata);
            const qint64 n = static_cast<qint64>(size * count);
            if (r->announced >= 0 && r->received + n > r->announced) {
                r->oversized = true;
                return 0;
            }
            r->received += n;
            return r->download->write(data, n) ? size * count : 0;
        });
    FtpStatus status = perform(reply);
    curl_easy_setopt(m_curl, CURLOPT_PREQUOTE, nullptr);
    curl_slist_free_all(beforeTransfer);
    // Less than announced, and the server content with it: the file was
    // cut short on the way, as libcurl itself would have found.
    if (status && reply.announced >= 0 && reply.received < reply.announced)
        status = FtpFailure(ftpErrorFor(CURLE_PARTIAL_FILE, 0, {}));
    if (!status)
        return status;
    if (!out.commit()) {
        qCWarning(lcFtp) << "cannot keep" << target << "-" << out.errorString();
        return FtpFailure(
            FtpError {FtpError::Kind::LocalFile, 0, QStringLiteral("%1\n%2").arg(target, out.errorString())});
    }
    // Only a complete file counts as downloaded.
    qCDebug(lcFtp) << "downloaded" << remote << reply.received << "bytes";
    m_localPath = target;
    return {};
}

FtpStatus CFtpSession::upload(const FtpServerEntry &entry, const QString &localFile)
{
    if (!checkConnection()) {
        FtpStatus connected = FtpFailure(FtpError {});
        // A refused host key stays refused: no second question.
        for (int attempt = 0; attempt < 3 && !connected && connected.error().kind != FtpError::Kind::HostKey;
             ++attempt)
            connected = connect(entry);
        if (!connected)
            return connected;
    }
    QFile in(localFile);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        qCWarning(lcFtp) << "cannot read" << localFile << "to upload -" << in.errorString();
        return FtpFailure(FtpError {
            FtpError::Kind::LocalFile, 0, QStringLiteral("%1\n%2").arg(localFile, in.errorString())});
    }
    QString dir = entry.remoteDirectory.isEmpty() ? m_currentDir : entry.remoteDirectory;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    Reply reply;
    setCommonOptions(reply);
    reply.upload = &in;
    m_total = in.size();
    qCDebug(lcFtp) << "uploading" << localFile << in.size() << "bytes to" << dir + entry.remoteFileName;
    const QByteArray url = urlFor(dir + entry.remoteFileName);
    curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
    // libssh2 sends an SFTP write in pieces and waits for their answers;
    // larger blocks keep more of them in flight.
    if (isSftp())
        curl_easy_setopt(m_curl, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(in.size()));
    curl_easy_setopt(m_curl, CURLOPT_READDATA, &reply);
    curl_easy_setopt(
        m_curl, CURLOPT_READFUNCTION, +[](char *buffer, size_t size, size_t count, void *userdata) -> size_t {
            auto *r = static_cast<Reply *>(userdata);
            const qint64 n = r->upload->read(buffer, static_cast<qint64>(size * count));
            return n < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(n);
        });
    return perform(reply);
}

QString CFtpSession::sftpArgument(const QString &path)
{
    // libcurl reads a quoted argument with \\, \" and \' escaped.
    QString out = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('\''))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

CFtpSession::LineKind CFtpSession::readLongLine(const QByteArray &line, bool strict, FtpFileInfo &e)
{
    // "drwxr-xr-x    3 user     group        4096 Dec  8 03:21 name".
    qsizetype rest = 0;
    const QList<QByteArray> fields = leadingFields(line, 8, rest);
    if (fields.size() < 8 || rest >= line.size() || fields[0].size() < 10)
        return LineKind::Unreadable;
    if (strict && (!QByteArrayView("-dlpscbD").contains(fields[0][0]) || !isNumber(fields[4])))
        return LineKind::Unreadable;
    QByteArray name = line.mid(rest);
    const char type = fields[0][0];
    e.isFolder = type == 'd';
    e.isLink = type == 'l';
    if (e.isLink) {
        // The listing adds the link's target.
        const qsizetype arrow = name.indexOf(" -> ");
        if (arrow > 0)
            name.truncate(arrow);
    }
    e.name = decodeName(name);
    e.size = fields[4].toLongLong();
    e.modified = parseListTime(QString::fromLatin1(fields[5] + ' ' + fields[6] + ' ' + fields[7]));
    if (e.name == QLatin1String(".") || e.name == QLatin1String(".."))
        return LineKind::NotAnEntry;
    return LineKind::Entry;
}

CFtpSession::LineKind CFtpSession::readDosLine(const QByteArray &line, FtpFileInfo &e)
{
    // "12-08-25  02:00PM       <DIR>          name" or
    // "12-08-25  02:00PM                1234 name".
    qsizetype rest = 0;
    const QList<QByteArray> fields = leadingFields(line, 3, rest);
    if (fields.size() < 3 || rest >= line.size())
        return LineKind::Unreadable;
    const QList<QByteArray> date = fields[0].split('-');
    if (date.size() != 3 || !std::all_of(date.begin(), date.end(), isNumber) || !fields[1].contains(':'))
        return LineKind::Unreadable;
    const bool folder = fields[2].compare("<DIR>", Qt::CaseInsensitive) == 0;
    if (!folder && !isNumber(fields[2]))
        return LineKind::Unreadable;
    // The name starts after the run of spaces that follows the size.
    qsizetype start = rest;
    while (start < line.size() && line[start] == ' ')
        ++start;
    if (start >= line.size())
        return LineKind::Unreadable;
    e.name = decodeName(line.mid(start));
    e.isFolder = folder;
    e.size = folder ? 0 : fields[2].toLongLong();
    e.modified = parseListTime(QString::fromLatin1(fields[0] + ' ' + fields[1]));
    if (e.name == QLatin1String(".") || e.name == QLatin1String(".."))
        return LineKind::NotAnEntry;
    return LineKind::Entry;
}

CFtpSession::Listing CFtpSession::readFtpListing(const QByteArray &body)
{
    Listing listing;
    auto take = [this, &listing](const QByteArray &line) {
        if (line.isEmpty())
            return;
        // "total 24" heads the long form.
        if (line.startsWith("total ") && isNumber(line.mid(6).trimmed()))
            return;
        // A name with a line break can be neither shown as it is nor sent
        // back in a command.
        if (line.contains('\r') || line.contains('\n')) {
            ++listing.skipped;
            return;
        }
        FtpFileInfo e;
        LineKind kind = readLongLine(line, true, e);
        if (kind == LineKind::Unreadable)
            kind = readDosLine(line, e);
        if (kind == LineKind::Entry)
            listing.entries.push_back(std::move(e));
        else if (kind == LineKind::Unreadable)
            ++listing.skipped;
    };
    // Lines end in CR LF as the protocol asks, or in LF alone on some
    // servers. Where most end in CR LF, a lone CR or LF belongs to a name.
    const QByteArrayView lineEnd = body.count("\r\n") * 2 > body.count('\n') ? "\r\n" : "\n";
    for (qsizetype from = 0; from < body.size();) {
        qsizetype end = body.indexOf(lineEnd, from);
        if (end < 0)
            end = body.size();
        take(body.mid(from, end - from));
        from = end + lineEnd.size();
    }
    return listing;
}

FtpResult<CFtpSession::Listing> CFtpSession::listSftp(const QString &dir)
{
    Reply reply;
    setCommonOptions(reply);
    // A URL that ends in a slash lists the directory, one long name a line.
    QByteArray url = urlFor(dir);
    if (!url.endsWith('/'))
        url += '/';
    curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(
        m_curl, CURLOPT_WRITEFUNCTION, +[](char *data, size_t size, size_t count, void *userdata) -> size_t {
            static_cast<Reply *>(userdata)->body.append(data, static_cast<qsizetype>(size * count));
            return size * count;
        });
    FtpStatus status = perform(reply);
    if (!status)
        return FtpFailure(status.error());
    // libcurl ends each entry with LF; a CR is part of the name.
    Listing listing;
    for (const QByteArray &line : reply.body.split('\n')) {
        if (line.isEmpty())
            continue;
        if (line.contains('\r')) {
            ++listing.skipped;
            continue;
        }
        FtpFileInfo e;
        const LineKind kind = readLongLine(line, false, e);
        if (kind == LineKind::Unreadable) {
            // Not the usual form: the line as a plain name, the best we know.
            e = FtpFileInfo {};
            e.name = decodeName(line);
            if (e.name != QLatin1String(".") && e.name != QLatin1String(".."))
                listing.entries.push_back(std::move(e));
        } else if (kind == LineKind::Entry) {
            listing.entries.push_back(std::move(e));
        }
    }
    return listing;
}

QString CFtpSession::knownHostsPath()
{
    return QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
}

QString CFtpSession::sshFingerprint(const QByteArray &blob)
{
    return QStringLiteral("SHA256:")
        + QString::fromLatin1(QCryptographicHash::hash(blob, QCryptographicHash::Sha256)
                                  .toBase64(QByteArray::OmitTrailingEquals));
}

namespace {

// The key's type name, the first string of its wire form ("ssh-ed25519").
QByteArray keyTypeOf(const QByteArray &blob)
{
    if (blob.size() < 4)
        return {};
    const auto *b = reinterpret_cast<const unsigned char *>(blob.constData());
    const quint32 length = (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | b[3];
    if (length == 0 || length > 64 || length > static_cast<quint32>(blob.size() - 4))
        return {};
    return blob.mid(4, static_cast<qsizetype>(length));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

int CFtpSession::checkHostKey(const QByteArray &blob, int match)
{
    m_hostKeyFingerprint = sshFingerprint(blob);
    switch (static_cast<curl_khmatch>(match)) {
    case CURLKHMATCH_OK:
        return CURLKHSTAT_FINE;
    case CURLKHMATCH_MISMATCH:
        // Never asked and never written: a changed key is what an attacker
        // in the middle would show.
        m_hostKeyProblem = SshHostKeyProblem::Changed;
        return CURLKHSTAT_REJECT;
    default:
        break;
    }
    const int port = m_entry.port == 0 ? m_entry.defaultPort() : m_entry.port;
    QString server = m_entry.address.trimmed();
    if (port != FtpServerEntry::kSftpDefaultPort)
        server += QLatin1Char(':') + QString::number(port);
    const QString text
        = QStringLiteral("SFTP 서버 %1의 호스트 키를 처음 받았습니다. 이 컴퓨터는 아직 이 서버를 "
                         "알지 못합니다.\n\n키 종류: %2\n지문: %3\n\n"
                         "서버 관리자에게 받은 지문과 같은지 확인하십시오. 이 키를 믿고 연결하시겠습니까?\n"
                         "'예'를 누르면 키를 ~/.ssh/known_hosts에 기록하고 다음부터 묻지 않습니다.")
              .arg(server, QString::fromLatin1(keyTypeOf(blob)), m_hostKeyFingerprint);
    if (!m_hostKeyQuestion || blob.isEmpty() || !m_hostKeyQuestion(text)) {
        m_hostKeyProblem = SshHostKeyProblem::Declined;
        return CURLKHSTAT_REJECT;
    }
    // A file that cannot be written costs only the question next time.
    addKnownHost(blob);
    return CURLKHSTAT_FINE;
}

bool CFtpSession::addKnownHost(const QByteArray &blob) const
{
    const QByteArray type = keyTypeOf(blob);
    if (type.isEmpty())
        return false;
    // The name as libssh2 looks it up: "[host]:port" off port 22, an IPv6
    // address without its brackets, a Korean name in its ACE form.
    QString host = m_entry.address.trimmed();
    if (host.contains(QLatin1Char(':'))) {
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
    } else if (!QUrl::toAce(host).isEmpty()) {
        host = QString::fromLatin1(QUrl::toAce(host));
    }
    const int port = m_entry.port == 0 ? m_entry.defaultPort() : m_entry.port;
    if (port != FtpServerEntry::kSftpDefaultPort)
        host = QStringLiteral("[%1]:%2").arg(host).arg(port);
    const QString path = knownHostsPath();
    // The folder and the file are the user's alone, as ssh makes them.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    QByteArray line = host.toUtf8() + ' ' + type + ' ' + blob.toBase64() + '\n';
    // A last line without its line break would swallow ours.
    struct stat st { };
    char last = '\n';
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
        line.prepend('\n');
    const bool written = writeAll(fd, line);
    return ::close(fd) == 0 && written;
}
