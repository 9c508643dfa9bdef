#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace pellwick {

// Blocking HTTP and HTTPS reads over libcurl for the updater's one pass.
// Certificates are always checked; redirects are followed, but once a
// transfer is on HTTPS it never continues over plain HTTP. The HTTP status
// is not judged: whatever body the server sends is handed on.
class HttpTransport {
public:
    // Receives body bytes; returning false ends the transfer early.
    using Sink = std::function<bool(const char *data, std::size_t size)>;

    HttpTransport();

    // Environment variable naming an extra CA bundle (PEM) to trust; used
    // by tests that run their own HTTPS server.
    static constexpr char kCaFileVariable[] = "PELLWICK_CA_FILE";

    // True when the body arrived whole or the sink stopped it on purpose.
    bool fetch(const std::string &url, const Sink &sink);

    // The body's first line (without its line feed); false on a transport failure.
    bool fetchFirstLine(const std::string &url, std::string &line);

private:
    std::string m_caFile;
};

} // namespace pellwick
