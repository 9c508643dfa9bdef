#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "updater/updateresult.h"

namespace pellwick {

struct TransferLimits {
    long lowSpeedBytes = 1024; // a transfer slower than this per second ...
    long lowSpeedSeconds = 30; // ... for this long is given up
    long passSeconds = 600; // every transfer of one pass together
};

// Blocking HTTP and HTTPS reads over libcurl for the updater's one pass.
// Certificates are always checked; redirects are followed, but once a
// transfer is on HTTPS it never continues over plain HTTP. Only a 2xx answer
// counts: an error page is never handed on as the document.
class HttpTransport {
public:
    // Receives body bytes; returning false ends the transfer early.
    using Sink = std::function<bool(const char *data, std::size_t size)>;

    using Limits = TransferLimits;

    // The pass's time starts now.
    explicit HttpTransport(const TransferLimits &limits = TransferLimits());

    // Environment variable naming an extra CA bundle (PEM) to trust; used
    // by tests that run their own HTTPS server.
    static constexpr char kCaFileVariable[] = "PELLWICK_CA_FILE";

    struct Fetched {
        bool secure = false; // the body came over HTTPS
        bool stoppedBySink = false;
    };

    // The body, whole or until the sink stopped it.
    [[nodiscard]] Result<Fetched> fetch(const std::string &url, const Sink &sink);

    // The body's first line (without its line feed).
    [[nodiscard]] Result<Fetched> fetchFirstLine(const std::string &url, std::string &line);

private:
    TransferLimits m_limits;
    std::chrono::steady_clock::time_point m_deadline;
    std::string m_caFile;
};

} // namespace pellwick
