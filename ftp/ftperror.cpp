#include "ftp/ftperror.h"

#include "platform/logging.h"

#include <curl/curl.h>

namespace {

FtpError make(FtpError::Kind kind, long reply, const QString &text)
{
    return FtpError {kind, static_cast<int>(reply), text};
}

QString withReply(const QString &text, const QString &replyText)
{
    return replyText.isEmpty() ? text
                               : text + QStringLiteral("\n(서버 응답: ") + replyText + QLatin1Char(')');
}

// An error reply: what the code and the server's words say about it.
FtpError fromReply(long reply, const QString &replyText)
{
    const QString lower = replyText.toLower();
    if (reply == 530)
        return make(FtpError::Kind::LoginDenied, reply,
            withReply(
                QStringLiteral("FTP 서버에 로그인할 수 없습니다. 사용자 이름과 비밀번호를 확인하십시오."),
                replyText));
    const bool notFound = lower.contains(QLatin1String("no such file"))
        || lower.contains(QLatin1String("not found")) || lower.contains(QLatin1String("does not exist"))
        || lower.contains(QLatin1String("can't find")) || lower.contains(QLatin1String("cannot find"));
    const bool denied = lower.contains(QLatin1String("permission denied"))
        || lower.contains(QLatin1String("not permitted")) || lower.contains(QLatin1String("not allowed"))
        || lower.contains(QLatin1String("access denied"))
        || lower.contains(QLatin1String("operation not permitted"));
    if (reply == 550 && notFound)
        return make(FtpError::Kind::NotFound, reply,
            withReply(QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다."), replyText));
    if ((reply == 550 || reply == 553 || reply == 532) && denied)
        return make(FtpError::Kind::PermissionDenied, reply,
            withReply(
                QStringLiteral("서버가 이 파일이나 디렉토리에 대한 권한을 허락하지 않았습니다."), replyText));
    return make(FtpError::Kind::ServerReply, reply,
        withReply(QStringLiteral("FTP 서버가 요청을 거절했습니다 (응답 코드 %1).").arg(reply), replyText));
}

// Failures of libcurl's that neither the server's reply nor a class above
// explains; `protocol` is "FTP" or "SFTP". libcurl's own message is English
// and never shown: the last resort names the code instead.
FtpError fromCode(int code, const QString &protocol)
{
    switch (static_cast<CURLcode>(code)) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return make(FtpError::Kind::Other, 0,
            QStringLiteral("서버 주소나 경로에 쓸 수 없는 문자가 있어 %1 서버에 보낼 수 없습니다.")
                .arg(protocol));
    case CURLE_OUT_OF_MEMORY:
        return make(FtpError::Kind::Other, 0,
            QStringLiteral("메모리가 모자라 %1 작업을 마치지 못했습니다.").arg(protocol));
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_COULDNT_USE_REST:
    case CURLE_FTP_PRET_FAILED:
        return make(FtpError::Kind::Other, 0,
            QStringLiteral("%1 서버가 알아들을 수 없는 응답을 보냈습니다.").arg(protocol));
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PORT_FAILED:
        return make(FtpError::Kind::Other, 0,
            // The box's own label, as the server list shows it.
            QStringLiteral("%1 서버와 데이터 연결을 맺을 수 없습니다. 서버 목록의 'PASSVIE 모드'를 바꾸어 "
                           "보십시오.")
                .arg(protocol));
    case CURLE_FTP_BAD_FILE_LIST:
    case CURLE_CHUNK_FAILED:
        return make(FtpError::Kind::Other, 0,
            QStringLiteral("%1 서버가 보낸 파일 목록을 읽을 수 없습니다.").arg(protocol));
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_BAD_DOWNLOAD_RESUME:
    case CURLE_RANGE_ERROR:
        return make(
            FtpError::Kind::Other, 0, QStringLiteral("%1 서버에서 파일을 받을 수 없습니다.").arg(protocol));
    case CURLE_UPLOAD_FAILED:
        return make(FtpError::Kind::Other, 0,
            QStringLiteral("%1 서버가 파일을 받아들이지 않았습니다.").arg(protocol));
    case CURLE_QUOTE_ERROR:
        return make(FtpError::Kind::Other, 0, QStringLiteral("%1 서버가 명령을 거절했습니다.").arg(protocol));
    case CURLE_REMOTE_DISK_FULL:
        return make(
            FtpError::Kind::Other, 0, QStringLiteral("%1 서버의 저장 공간이 모자랍니다.").arg(protocol));
    case CURLE_REMOTE_FILE_EXISTS:
        return make(
            FtpError::Kind::Other, 0, QStringLiteral("%1 서버에 같은 이름이 이미 있습니다.").arg(protocol));
    case CURLE_FILESIZE_EXCEEDED:
        return make(FtpError::Kind::Other, 0, QStringLiteral("%1 서버의 파일이 너무 큽니다.").arg(protocol));
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
        return make(FtpError::Kind::Other, 0,
            QStringLiteral("%1 서버와 TLS 암호화 연결을 맺을 수 없습니다.").arg(protocol));
    case CURLE_SSH:
        return make(FtpError::Kind::Other, 0, QStringLiteral("SSH 연결에서 오류가 났습니다."));
    default:
        break;
    }
    return make(FtpError::Kind::Other, 0,
        QStringLiteral("%1 작업 중에 알 수 없는 오류가 났습니다 (libcurl 오류 %2).").arg(protocol).arg(code));
}

// An SFTP status as libcurl names it at the end of its message ("...
// failed: Permission denied"), in Korean; empty for one we do not know.
QString sftpStatusText(const QString &curlMessage)
{
    const QString status = curlMessage.section(QStringLiteral(": "), -1).trimmed().toLower();
    static const struct {
        const char *english;
        const char *korean;
    } kStatuses[] = {
        {"no such file or directory", "그런 파일이나 디렉토리가 없음"},
        {"permission denied", "권한 없음"},
        {"operation failed", "작업 실패"},
        {"file already exists", "같은 이름이 이미 있음"},
        {"directory not empty", "디렉토리가 비어 있지 않음"},
        {"not a directory", "디렉토리가 아님"},
        {"invalid filename", "쓸 수 없는 이름"},
        {"file is write protected", "쓰기 금지된 파일"},
        {"disk full", "저장 공간 모자람"},
        {"user quota exceeded", "사용자 할당량 초과"},
        {"operation not supported by sftp server", "서버가 지원하지 않는 작업"},
        {"file lock conflict", "잠금 충돌"},
        {"connection to sftp server lost", "연결 끊김"},
        {"link points to itself", "자기 자신을 가리키는 링크"},
    };
    for (const auto &s : kStatuses) {
        if (status == QLatin1String(s.english))
            return QString::fromUtf8(s.korean);
    }
    return {};
}

} // namespace

FtpError oversizedDownloadError()
{
    return make(FtpError::Kind::Oversized, 0,
        QStringLiteral("서버의 파일이 알려 준 크기보다 커서 받기를 멈추었습니다. 받은 부분은 저장하지 "
                       "않았습니다."));
}

namespace {
FtpError describeFtpError(int code, long reply, const QString &replyText)
{
    switch (static_cast<CURLcode>(code)) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return make(FtpError::Kind::HostNotFound, 0,
            QStringLiteral("FTP 서버 주소를 찾을 수 없습니다. 서버 주소를 확인하십시오."));
    case CURLE_COULDNT_CONNECT:
        return make(FtpError::Kind::ConnectionRefused, 0,
            QStringLiteral("FTP 서버에 연결할 수 없습니다. 서버가 연결을 거부했거나 주소와 포트에서 응답이 "
                           "없습니다."));
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
        return make(FtpError::Kind::TimedOut, 0,
            QStringLiteral("FTP 서버의 응답을 기다리다가 시간이 초과되었습니다."));
    case CURLE_LOGIN_DENIED:
        return fromReply(530, replyText);
    case CURLE_PEER_FAILED_VERIFICATION:
        return make(FtpError::Kind::Other, 0,
            QStringLiteral(
                "FTP 서버의 인증서를 믿을 수 없습니다. 인증서가 서버 주소와 맞지 않거나 믿을 수 있는 "
                "기관이 발급하지 않았습니다."));
    case CURLE_USE_SSL_FAILED:
        return make(
            FtpError::Kind::Other, 0, QStringLiteral("FTP 서버가 TLS 암호화(AUTH TLS)를 지원하지 않습니다."));
    case CURLE_SSL_CONNECT_ERROR:
        return make(
            FtpError::Kind::Other, 0, QStringLiteral("FTP 서버와 TLS 암호화 연결을 맺을 수 없습니다."));
    case CURLE_ABORTED_BY_CALLBACK:
        return make(FtpError::Kind::Cancelled, 0, QStringLiteral("파일 전송을 취소했습니다."));
    case CURLE_READ_ERROR:
    case CURLE_WRITE_ERROR:
        return make(
            FtpError::Kind::LocalFile, 0, QStringLiteral("이 컴퓨터의 파일을 읽거나 쓸 수 없습니다."));
    default:
        break;
    }
    if (reply >= 400 && reply < 600)
        return fromReply(reply, replyText);
    if (code == CURLE_REMOTE_ACCESS_DENIED)
        return make(FtpError::Kind::PermissionDenied, 0, QStringLiteral("FTP 서버가 접근을 거부했습니다."));
    if (code == CURLE_REMOTE_FILE_NOT_FOUND)
        return make(FtpError::Kind::NotFound, 0, QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다."));
    if (code == CURLE_GOT_NOTHING || code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR
        || code == CURLE_PARTIAL_FILE)
        return make(FtpError::Kind::Other, 0, QStringLiteral("FTP 서버와의 연결이 끊어졌습니다."));
    return fromCode(code, QStringLiteral("FTP"));
}

FtpError describeSftpError(
    int code, const QString &curlMessage, SshHostKeyProblem hostKey, const QString &fingerprint)
{
    if (hostKey == SshHostKeyProblem::Changed)
        return make(FtpError::Kind::HostKey, 0,
            QStringLiteral("경고: SFTP 서버의 호스트 키가 바뀌었습니다!\n"
                           "~/.ssh/known_hosts에 기록된 이 서버의 키와 지금 서버가 보낸 키가 다릅니다. "
                           "누군가 연결을 가로채고 있을 수 있으므로 연결하지 않았습니다. 서버 관리자에게 "
                           "키를 바꾸었는지 확인한 뒤, known_hosts에서 이 서버의 옛 키를 지우십시오.\n"
                           "서버가 보낸 키의 지문: %1")
                .arg(fingerprint));
    if (hostKey == SshHostKeyProblem::Declined)
        return make(FtpError::Kind::HostKey, 0,
            QStringLiteral("SFTP 서버의 호스트 키를 받아들이지 않았으므로 연결하지 않았습니다.\n"
                           "서버가 보낸 키의 지문: %1")
                .arg(fingerprint));
    const QString lower = curlMessage.toLower();
    const bool notFound = lower.contains(QLatin1String("no such file"));
    const bool denied = lower.contains(QLatin1String("permission denied"));
    const QString status = sftpStatusText(curlMessage);
    switch (static_cast<CURLcode>(code)) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return make(FtpError::Kind::HostNotFound, 0,
            QStringLiteral("SFTP 서버 주소를 찾을 수 없습니다. 서버 주소를 확인하십시오."));
    case CURLE_COULDNT_CONNECT:
        return make(FtpError::Kind::ConnectionRefused, 0,
            QStringLiteral("SFTP 서버에 연결할 수 없습니다. 서버가 연결을 거부했거나 주소와 포트에서 "
                           "응답이 없습니다."));
    case CURLE_OPERATION_TIMEDOUT:
        return make(FtpError::Kind::TimedOut, 0,
            QStringLiteral("SFTP 서버의 응답을 기다리다가 시간이 초과되었습니다."));
    case CURLE_LOGIN_DENIED:
        return make(FtpError::Kind::LoginDenied, 0,
            QStringLiteral("SFTP 서버가 로그인을 거부했습니다. 사용자 이름과 비밀번호를 확인하십시오. "
                           "비밀번호를 비워 두면 SSH 에이전트와 ~/.ssh의 기본 키로 로그인합니다."));
    case CURLE_PEER_FAILED_VERIFICATION:
        return make(FtpError::Kind::HostKey, 0,
            QStringLiteral("SFTP 서버의 호스트 키를 확인할 수 없어 연결하지 않았습니다."));
    case CURLE_ABORTED_BY_CALLBACK:
        return make(FtpError::Kind::Cancelled, 0, QStringLiteral("파일 전송을 취소했습니다."));
    case CURLE_READ_ERROR:
    case CURLE_WRITE_ERROR:
        return make(
            FtpError::Kind::LocalFile, 0, QStringLiteral("이 컴퓨터의 파일을 읽거나 쓸 수 없습니다."));
    case CURLE_REMOTE_FILE_NOT_FOUND:
        return make(FtpError::Kind::NotFound, 0, QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다."));
    case CURLE_REMOTE_ACCESS_DENIED:
        return make(FtpError::Kind::PermissionDenied, 0,
            QStringLiteral("서버가 이 파일이나 디렉토리에 대한 권한을 허락하지 않았습니다."));
    case CURLE_QUOTE_ERROR:
        // The server answered the command with an error status: to the
        // browser that is an error reply, as 550 is over FTP.
        if (notFound)
            return make(FtpError::Kind::NotFound, 550,
                withReply(QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다."), status));
        if (denied)
            return make(FtpError::Kind::PermissionDenied, 550,
                withReply(QStringLiteral("서버가 이 파일이나 디렉토리에 대한 권한을 허락하지 않았습니다."),
                    status));
        return make(FtpError::Kind::ServerReply, 550,
            withReply(QStringLiteral("SFTP 서버가 요청을 거절했습니다."), status));
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return make(FtpError::Kind::Other, 0, QStringLiteral("SFTP 서버와의 연결이 끊어졌습니다."));
    default:
        break;
    }
    if (notFound)
        return make(FtpError::Kind::NotFound, 0, QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다."));
    if (denied)
        return make(FtpError::Kind::PermissionDenied, 0,
            QStringLiteral("서버가 이 파일이나 디렉토리에 대한 권한을 허락하지 않았습니다."));
    return fromCode(code, QStringLiteral("SFTP"));
}

// The cause as libcurl and the server gave it, which the Korean text shown
// leaves out; a stop the user asked for is no fault.
void logCause(const FtpError &error, int code, const QString &detail)
{
    if (error.kind == FtpError::Kind::Cancelled)
        qCDebug(lcFtp) << "transfer stopped by the user";
    else
        qCWarning(lcFtp).noquote() << "curl" << code << curl_easy_strerror(static_cast<CURLcode>(code)) << "-"
                                   << detail;
}
} // namespace

FtpError ftpErrorFor(int code, long reply, const QString &replyText)
{
    FtpError error = describeFtpError(code, reply, replyText);
    logCause(error, code, QStringLiteral("server reply %1 %2").arg(reply).arg(replyText.trimmed()));
    return error;
}

FtpError sftpErrorFor(
    int code, const QString &curlMessage, SshHostKeyProblem hostKey, const QString &fingerprint)
{
    FtpError error = describeSftpError(code, curlMessage, hostKey, fingerprint);
    logCause(error, code,
        hostKey == SshHostKeyProblem::None
            ? curlMessage
            : QStringLiteral("host key %1 not taken (%2)")
                  .arg(fingerprint,
                      hostKey == SshHostKeyProblem::Changed ? QStringLiteral("changed")
                                                            : QStringLiteral("declined")));
    return error;
}
