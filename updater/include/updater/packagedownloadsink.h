#pragma once

#include <cstddef>
#include <string>

#include <QByteArray>
#include <QCryptographicHash>

#include "updater/updateresult.h"

namespace pellwick {

// Stores a package's bytes in a file as the server sends them. The first
// eight bytes are the package header, whose first four (little-endian) give
// the body's length: from then on nothing past that length is stored or
// waited for, and a header that promises more than the hard cap stops the
// transfer at once. The bytes are hashed on the way through, so the file is
// never read back for its digests.
class PackageDownloadSink {
public:
    static constexpr std::size_t kHeaderBytes = 8;

    // fd is written but not owned until finish() closes it. fileName only
    // names the file in messages. SHA-256 is worked out only when a
    // signature will ask for it.
    PackageDownloadSink(int fd, std::string fileName, qint64 maxBytes, bool withSha256);
    PackageDownloadSink(const PackageDownloadSink &) = delete;
    PackageDownloadSink &operator=(const PackageDownloadSink &) = delete;
    ~PackageDownloadSink();

    // The transfer's callback; false stops the transfer and leaves the
    // reason for finish().
    bool write(const char *data, std::size_t size);

    // Closes the file and says whether what arrived is a whole package of
    // the length its header promised.
    [[nodiscard]] Status finish();

    qint64 received() const { return m_received; }
    quint32 declaredBodyBytes() const { return m_declared; }
    QByteArray md5Hex() const;
    QByteArray sha256Hex() const; // empty unless asked for

private:
    void takeHeader(const char *data, std::size_t size);
    bool store(const char *data, std::size_t size);

    int m_fd;
    std::string m_fileName;
    qint64 m_maxBytes;
    bool m_withSha256;
    QCryptographicHash m_md5 {QCryptographicHash::Md5};
    QCryptographicHash m_sha256 {QCryptographicHash::Sha256};
    unsigned char m_header[kHeaderBytes] = {};
    qint64 m_received = 0;
    qint64 m_limit; // until the header is in, the hard cap alone
    quint32 m_declared = 0;
    bool m_tooLarge = false;
    bool m_overLong = false;
    int m_writeError = 0;
};

} // namespace pellwick
