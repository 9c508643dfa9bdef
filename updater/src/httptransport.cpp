#include "updater/httptransport.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include <curl/curl.h>

namespace pellwick {

namespace {

constexpr int kMaxRedirects = 5;
constexpr std::size_t kMaxLineLength = 64 * 1024;

struct Transfer {
    CURL *handle = nullptr;
    const HttpTransport::Sink *sink = nullptr;
    bool stoppedBySink = false;
    long refusedStatus = 0; // an answer that is neither 2xx nor a redirect
};

bool isRedirect(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isSuccess(long status)
{
    return status >= 200 && status <= 299;
}

std::size_t onBody(char *data, std::size_t size, std::size_t count, void *user)
{
    auto *transfer = static_cast<Transfer *>(user);
    const std::size_t bytes = size * count;
    long status = 0;
    curl_easy_getinfo(transfer->handle, CURLINFO_RESPONSE_CODE, &status);
    if (isRedirect(status))
        return bytes; // the body of a redirect is not the document
    if (!isSuccess(status)) {
        transfer->refusedStatus = status; // an error page is not worth reading
        return 0;
    }
    if (!(*transfer->sink)(data, bytes)) {
        transfer->stoppedBySink = true;
        return 0;
    }
    return bytes;
}

// Schemes compare without regard to case ("HTTPS://" is HTTPS).
bool startsWith(const std::string &text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

tl::unexpected<Failure> statusFailure(long status, const std::string &url)
{
    return fail(
        FailureKind::HttpStatus, "서버가 HTTP " + std::to_string(status) + " 응답을 보냈습니다: " + url);
}

} // namespace

HttpTransport::HttpTransport(const Limits &limits)
    : m_limits(limits)
    , m_deadline(std::chrono::steady_clock::now() + std::chrono::seconds(limits.passSeconds))
{
    if (const char *ca = std::getenv(kCaFileVariable))
        m_caFile = ca;
}

Result<HttpTransport::Fetched> HttpTransport::fetch(const std::string &url, const Sink &sink)
{
    const auto timedOut = [this] {
        return fail(FailureKind::TimedOut,
            "업데이트 한 번에 허용된 시간(" + std::to_string(m_limits.passSeconds) + "초)을 넘었습니다.");
    };
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    if (!handle)
        return fail(FailureKind::Network, "네트워크 라이브러리를 준비할 수 없습니다.");
    CURL *curl = handle.get();

    Transfer transfer;
    transfer.handle = curl;
    transfer.sink = &sink;
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Pellwick");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed by hand below, so that each hop's scheme is checked.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, m_limits.lowSpeedBytes);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, m_limits.lowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    if (!m_caFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, m_caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);

    std::string current = url;
    bool secure = false;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        if (startsWith(current, "https://"))
            secure = true;
        else if (secure)
            return fail(
                FailureKind::InsecureUrl, "HTTPS에서 HTTP로 넘어가는 주소는 따르지 않습니다: " + current);
        else if (!startsWith(current, "http://"))
            return fail(FailureKind::InsecureUrl, "HTTP나 HTTPS 주소가 아닙니다: " + current);

        using namespace std::chrono;
        const auto left = duration_cast<milliseconds>(m_deadline - steady_clock::now()).count();
        if (left <= 0)
            return timedOut();
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
        curl_easy_setopt(
            curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::min<long long>(left, 30000)));
        curl_easy_setopt(curl, CURLOPT_URL, current.c_str());
        errorText[0] = '\0';
        const CURLcode rc = curl_easy_perform(curl);
        if (transfer.refusedStatus)
            return statusFailure(transfer.refusedStatus, current);
        if (rc == CURLE_WRITE_ERROR && transfer.stoppedBySink)
            return Fetched {secure, true};
        if (rc == CURLE_OPERATION_TIMEDOUT) {
            if (steady_clock::now() >= m_deadline - milliseconds(50))
                return timedOut();
            if (std::strstr(errorText, "too slow"))
                return fail(FailureKind::TooSlow,
                    "전송이 너무 느려 그만두었습니다 (" + std::to_string(m_limits.lowSpeedSeconds)
                        + "초 동안 초당 " + std::to_string(m_limits.lowSpeedBytes)
                        + "바이트 미만): " + current);
        }
        if (rc != CURLE_OK)
            return fail(FailureKind::Network,
                "서버에서 받을 수 없습니다: " + current + " ("
                    + (errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(rc))) + ")");

        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        char *next = nullptr;
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &next);
        if (isRedirect(status) && next != nullptr) {
            current = next;
            continue;
        }
        if (!isSuccess(status))
            return statusFailure(status, current);
        return Fetched {secure, false};
    }
    return fail(FailureKind::Network, "주소 넘겨주기가 너무 많습니다: " + url);
}

Result<HttpTransport::Fetched> HttpTransport::fetchFirstLine(const std::string &url, std::string &line)
{
    std::string text;
    Result<Fetched> fetched = fetch(url, [&text](const char *data, std::size_t size) {
        text.append(data, size);
        return text.find('\n') == std::string::npos && text.size() < kMaxLineLength;
    });
    if (!fetched)
        return fetched;
    const std::size_t feed = text.find('\n');
    if (feed != std::string::npos)
        text.resize(feed);
    if (text.size() > kMaxLineLength)
        text.resize(kMaxLineLength);
    line = std::move(text);
    fetched->stoppedBySink = false;
    return fetched;
}

} // namespace pellwick
