#include "ftp/ftpsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QUrl>

#include <curl/curl.h>

#include "namecodec/codec.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>

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

} // namespace

// What one call of the handle heard and carried.
struct CFtpSession::Reply {
    CFtpSession *session = nullptr;
    QByteArray lastReply; // the last complete reply line
    QByteArray lastPwd; // the last 257 reply
    std::vector<FtpFileInfo> entries;
    QSaveFile *download = nullptr;
    QFile *upload = nullptr;
    qint64 expected = -1;
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
    QByteArray url = "ftp://";
    const QString host = m_entry.address.trimmed();
    // An IPv6 address goes in brackets.
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        url += '[' + host.toUtf8() + ']';
    else
        url += QUrl::toAce(host).isEmpty() ? host.toUtf8() : QUrl::toAce(host);
    url += ':' + QByteArray::number(m_entry.port == 0 ? FtpServerEntry::kDefaultPort : m_entry.port);
    // "/%2F" starts the path at the server's root rather than at the
    // log-in directory.
    QByteArray path = encodeName(absolutePath);
    while (path.startsWith('/'))
        path.remove(0, 1);
    url += "/%2F" + percentEncodePath(path);
    return url;
}

void CFtpSession::setCommonOptions(Reply &reply)
{
    curl_easy_reset(m_curl);
    reply.session = this;
    curl_easy_setopt(m_curl, CURLOPT_USERAGENT, "Quorel");
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, kTimeoutMs);
    curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kTimeoutMs / 1000);
    curl_easy_setopt(m_curl, CURLOPT_ACCEPTTIMEOUT_MS, kTimeoutMs);
    // A transfer that stalls for the time-out ends; a slow one goes on.
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, kTimeoutMs / 1000);
    const QByteArray user = m_entry.user.toUtf8();
    const QByteArray password = m_entry.password.toUtf8();
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, password.constData());
    // Active mode: the server connects back to the address of our control
    // connection.
    curl_easy_setopt(m_curl, CURLOPT_FTPPORT, m_entry.passive ? nullptr : "-");
    if (m_entry.protocol == FtpServerEntry::Protocol::Ftps) {
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
    // Full paths with every command, no CWD of libcurl's own: the current
    // directory is ours, and a cached one of libcurl's could go stale.
    curl_easy_setopt(m_curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    // Larger blocks than libcurl's default 16 KiB, as the curl tool uses.
    curl_easy_setopt(m_curl, CURLOPT_BUFFERSIZE, 100L * 1024);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, reply.errorBuffer);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, &reply);
    curl_easy_setopt(
        m_curl, CURLOPT_HEADERFUNCTION, +[](char *data, size_t size, size_t count, void *userdata) -> size_t {
            auto *r = static_cast<Reply *>(userdata);
            const QByteArray line = QByteArray(data, static_cast<qsizetype>(size * count)).trimmed();
            if (isReplyLine(line)) {
                r->lastReply = line;
                if (line.startsWith("257 "))
                    r->lastPwd = line;
            }
            return size * count;
        });
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
                s->m_total = dlTotal > 0 ? dlTotal : r->expected;
            }
            return s->m_cancel ? 1 : 0;
        });
    // Our handle carries the password; libcurl must not print it.
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, qEnvironmentVariableIsSet("QUOREL_FTP_DEBUG") ? 1L : 0L);
}

FtpStatus CFtpSession::perform(Reply &reply, bool keepAsLastError)
{
    const CURLcode code = curl_easy_perform(m_curl);
    if (code == CURLE_OK)
        return {};
    long replyCode = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &replyCode);
    const QString replyText = decodeName(reply.lastReply);
    FtpError error = ftpErrorFor(code, replyCode, replyText, QString::fromUtf8(reply.errorBuffer));
    if (keepAsLastError)
        m_lastErrorText = error.text;
    return FtpFailure(error);
}

FtpStatus CFtpSession::quote(const QStringList &commands, Reply &reply)
{
    for (const QString &c : commands) {
        // A line break would let a name smuggle in a command of its own.
        if (c.contains(QLatin1Char('\r')) || c.contains(QLatin1Char('\n')))
            return FtpFailure(FtpError {FtpError::Kind::Refused, 0,
                QStringLiteral("이름에 줄바꿈 문자가 있어 서버에 보낼 수 없습니다.")});
    }
    setCommonOptions(reply);
    std::vector<QByteArray> bytes;
    curl_slist *list = nullptr;
    for (const QString &c : commands) {
        bytes.push_back(encodeName(c));
        list = curl_slist_append(list, bytes.back().constData());
    }
    const QByteArray url = urlFor(QStringLiteral("/"));
    curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
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
    if (entry.protocol == FtpServerEntry::Protocol::Sftp) {
        m_lastErrorText
            = QStringLiteral("SFTP 서버에는 아직 연결할 수 없습니다. FTP나 FTP over TLS를 고르십시오.");
        return FtpFailure(FtpError {FtpError::Kind::Refused, 0, m_lastErrorText});
    }
    m_cp949Names = false;
    Reply reply;
    FtpStatus status = quote({QStringLiteral("PWD")}, reply);
    if (!status) {
        m_lastErrorText = status.error().text;
        close();
        return status;
    }
    const QString dir = decodeName(pathOf257(reply.lastPwd));
    m_currentDir = dir.startsWith(QLatin1Char('/')) ? dir : QStringLiteral("/");
    m_connected = true;
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
    // Between commands the server has nothing to say: anything readable is
    // its goodbye ("421 ... timed out") or the end of the connection.
    pollfd p {socket, POLLIN, 0};
    const int ready = ::poll(&p, 1, 0);
    if (ready > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR))) {
        close();
        return false;
    }
    return true;
}

FtpStatus CFtpSession::setCurrentDirectory(const QString &path)
{
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
    Reply reply;
    setCommonOptions(reply);
    // "<dir>/*": the pattern is what follows the last slash, and the root
    // needs a slash of its own after the "%2F" that stands for it.
    QString dir = m_currentDir;
    while (dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    const QByteArray url = urlFor(dir) + "/*";
    curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
    // libcurl's own list parser reads the LIST output; every entry is
    // skipped, so nothing but the listing is transferred.
    curl_easy_setopt(m_curl, CURLOPT_WILDCARDMATCH, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CHUNK_DATA, &reply);
    curl_easy_setopt(
        m_curl, CURLOPT_CHUNK_BGN_FUNCTION, +[](const void *info, void *userdata, int) -> long {
            const auto *fi = static_cast<const curl_fileinfo *>(info);
            auto *r = static_cast<Reply *>(userdata);
            FtpFileInfo e;
            e.name = r->session->decodeName(QByteArray(fi->filename));
            if (e.name == QLatin1String(".") || e.name == QLatin1String(".."))
                return CURL_CHUNK_BGN_FUNC_SKIP;
            e.isFolder = fi->filetype == CURLFILETYPE_DIRECTORY;
            e.isLink = fi->filetype == CURLFILETYPE_SYMLINK;
            e.size = (fi->flags & CURLFINFOFLAG_KNOWN_SIZE) ? static_cast<qint64>(fi->size) : 0;
            if (fi->strings.time)
                e.modified = parseListTime(QString::fromLatin1(fi->strings.time));
            r->entries.push_back(std::move(e));
            return CURL_CHUNK_BGN_FUNC_SKIP;
        });
    curl_easy_setopt(
        m_curl, CURLOPT_WRITEFUNCTION,
        +[](char *, size_t size, size_t count, void *) -> size_t { return size * count; });
    const CURLcode code = curl_easy_perform(m_curl);
    long replyCode = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &replyCode);
    curl_easy_setopt(m_curl, CURLOPT_WILDCARDMATCH, 0L);
    // An empty directory: the listing worked, nothing matched.
    if (code == CURLE_OK || (code == CURLE_REMOTE_FILE_NOT_FOUND && replyCode < 400))
        return std::move(reply.entries);
    return FtpFailure(
        ftpErrorFor(code, replyCode, decodeName(reply.lastReply), QString::fromUtf8(reply.errorBuffer)));
}

FtpStatus CFtpSession::createDirectory(const QString &name)
{
    return quote({QStringLiteral("MKD ") + absolutePath(name)});
}

FtpStatus CFtpSession::removeDirectory(const QString &name)
{
    return quote({QStringLiteral("RMD ") + absolutePath(name)});
}

FtpStatus CFtpSession::deleteFile(const QString &name)
{
    return quote({QStringLiteral("DELE ") + absolutePath(name)});
}

FtpStatus CFtpSession::rename(const QString &fromPath, const QString &toPath)
{
    return quote({QStringLiteral("RNFR ") + fromPath, QStringLiteral("RNTO ") + toPath});
}

FtpStatus CFtpSession::download(const QString &name, const QString &localFolder, qint64 expectedSize)
{
    if (!isSafeLocalName(name))
        return FtpFailure(FtpError {FtpError::Kind::Refused, 0,
            QStringLiteral("서버의 파일 이름 '%1'은(는) 로컬 FTP 폴더 밖을 가리키므로 받지 않습니다.")
                .arg(name)});
    if (!QDir().mkpath(localFolder)) {
        const int err = errno;
        return FtpFailure(FtpError {FtpError::Kind::LocalFolder, 0,
            QStringLiteral("%1\n%2").arg(localFolder, QString::fromLocal8Bit(std::strerror(err)))});
    }
    const QString target = QDir(localFolder).filePath(name);
    // Written beside the target and renamed into place when complete: a
    // broken transfer never leaves half a file under the real name.
    QSaveFile out(target);
    // libcurl hands over large blocks; Qt's own buffer would only copy them again.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FtpFailure(
            FtpError {FtpError::Kind::LocalFile, 0, QStringLiteral("%1\n%2").arg(target, out.errorString())});
    Reply reply;
    setCommonOptions(reply);
    reply.download = &out;
    reply.expected = expectedSize;
    m_total = expectedSize;
    const QByteArray url = urlFor(absolutePath(name));
    curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(
        m_curl, CURLOPT_WRITEFUNCTION, +[](char *data, size_t size, size_t count, void *userdata) -> size_t {
            auto *r = static_cast<Reply *>(userdata);
            const qint64 n = static_cast<qint64>(size * count);
            return r->download->write(data, n) == n ? size * count : 0;
        });
    FtpStatus status = perform(reply);
    if (!status) {
        out.cancelWriting();
        return status;
    }
    if (!out.commit())
        return FtpFailure(
            FtpError {FtpError::Kind::LocalFile, 0, QStringLiteral("%1\n%2").arg(target, out.errorString())});
    // Only a complete file counts as downloaded.
    m_localPath = target;
    return {};
}

FtpStatus CFtpSession::upload(const FtpServerEntry &entry, const QString &localFile)
{
    if (!checkConnection()) {
        FtpStatus connected = FtpFailure(FtpError {});
        for (int attempt = 0; attempt < 3 && !connected; ++attempt)
            connected = connect(entry);
        if (!connected)
            return connected;
    }
    QFile in(localFile);
    if (!in.open(QIODevice::ReadOnly))
        return FtpFailure(FtpError {
            FtpError::Kind::LocalFile, 0, QStringLiteral("%1\n%2").arg(localFile, in.errorString())});
    QString dir = entry.remoteDirectory.isEmpty() ? m_currentDir : entry.remoteDirectory;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    Reply reply;
    setCommonOptions(reply);
    reply.upload = &in;
    m_total = in.size();
    const QByteArray url = urlFor(dir + entry.remoteFileName);
    curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
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
