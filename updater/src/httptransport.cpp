#include "updater/httptransport.h"

#include <cctype>
#include <cstdlib>
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
};

bool isRedirect(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::size_t onBody(char *data, std::size_t size, std::size_t count, void *user)
{
    auto *transfer = static_cast<Transfer *>(user);
    const std::size_t bytes = size * count;
    long status = 0;
    curl_easy_getinfo(transfer->handle, CURLINFO_RESPONSE_CODE, &status);
    if (isRedirect(status))
        return bytes; // the body of a redirect is not the document
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

} // namespace

HttpTransport::HttpTransport()
{
    if (const char *ca = std::getenv(kCaFileVariable))
        m_caFile = ca;
}

bool HttpTransport::fetch(const std::string &url, const Sink &sink)
{
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    if (!handle)
        return false;
    CURL *curl = handle.get();

    Transfer transfer;
    transfer.handle = curl;
    transfer.sink = &sink;

    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Pellwick");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed by hand below, so that each hop's scheme is checked.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_caFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, m_caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);

    std::string current = url;
    bool secure = false;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        if (startsWith(current, "https://"))
            secure = true;
        else if (secure || !startsWith(current, "http://"))
            return false; // never fall back from HTTPS to HTTP, never leave HTTP(S)
        curl_easy_setopt(curl, CURLOPT_URL, current.c_str());
        const CURLcode rc = curl_easy_perform(curl);
        if (rc != CURLE_OK)
            return rc == CURLE_WRITE_ERROR && transfer.stoppedBySink;

        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        char *next = nullptr;
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &next);
        if (!isRedirect(status) || next == nullptr)
            return true;
        current = next;
    }
    return false;
}

bool HttpTransport::fetchFirstLine(const std::string &url, std::string &line)
{
    std::string text;
    const bool ok = fetch(url, [&text](const char *data, std::size_t size) {
        text.append(data, size);
        return text.find('\n') == std::string::npos && text.size() < kMaxLineLength;
    });
    if (!ok)
        return false;
    const std::size_t feed = text.find('\n');
    if (feed != std::string::npos)
        text.resize(feed);
    if (text.size() > kMaxLineLength)
        text.resize(kMaxLineLength);
    line = std::move(text);
    return true;
}

} // namespace pellwick
