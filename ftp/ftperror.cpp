#include "ftp/ftperror.h"

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

} // namespace

FtpError ftpErrorFor(int code, long reply, const QString &replyText, const QString &curlMessage)
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
    const QString curlText = curlMessage.isEmpty()
        ? QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(code)))
        : curlMessage;
    return make(FtpError::Kind::Other, reply, QStringLiteral("FTP 오류: ") + curlText);
}

FtpError sftpErrorFor(
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
                withReply(QStringLiteral("서버에 그런 파일이나 디렉토리가 없습니다."), curlMessage));
        if (denied)
            return make(FtpError::Kind::PermissionDenied, 550,
                withReply(QStringLiteral("서버가 이 파일이나 디렉토리에 대한 권한을 허락하지 않았습니다."),
                    curlMessage));
        return make(FtpError::Kind::ServerReply, 550,
            withReply(QStringLiteral("SFTP 서버가 요청을 거절했습니다."), curlMessage));
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
    const QString curlText = curlMessage.isEmpty()
        ? QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(code)))
        : curlMessage;
    return make(FtpError::Kind::Other, 0, QStringLiteral("SFTP 오류: ") + curlText);
}
