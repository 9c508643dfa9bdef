#include "updater/packagedownloadsink.h"

#include <cerrno>

#include <unistd.h>

namespace pellwick {

namespace {

std::string number(qint64 value)
{
    return std::to_string(value);
}

} // namespace

PackageDownloadSink::PackageDownloadSink(int fd, std::string fileName, qint64 maxBytes, bool withSha256)
    : m_fd(fd)
    , m_fileName(std::move(fileName))
    , m_maxBytes(maxBytes)
    , m_withSha256(withSha256)
    , m_limit(maxBytes)
{
}

PackageDownloadSink::~PackageDownloadSink()
{
    // Only reached without finish() when the download was abandoned.
    if (m_fd >= 0)
        ::close(m_fd);
}

void PackageDownloadSink::takeHeader(const char *data, std::size_t size)
{
    const auto header = qint64(kHeaderBytes);
    for (std::size_t i = 0; i < size && m_received + qint64(i) < header; ++i)
        m_header[m_received + qint64(i)] = static_cast<unsigned char>(data[i]);
    if (m_received >= header || m_received + qint64(size) < header)
        return;
    m_declared = quint32(m_header[0]) | quint32(m_header[1]) << 8 | quint32(m_header[2]) << 16
        | quint32(m_header[3]) << 24;
    if (header + qint64(m_declared) > m_maxBytes)
        m_tooLarge = true;
    else
        m_limit = header + qint64(m_declared);
}

bool PackageDownloadSink::store(const char *data, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t wrote = ::write(m_fd, data + done, size - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            // A write that takes nothing and names no error is a full disk in all but name.
            m_writeError = wrote < 0 ? errno : ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool PackageDownloadSink::write(const char *data, std::size_t size)
{
    takeHeader(data, size);
    if (m_tooLarge)
        return false;
    if (m_received + qint64(size) > m_limit) {
        m_overLong = true; // never store, nor wait for, more than the header promised
        return false;
    }
    if (!store(data, size))
        return false;
    m_md5.addData(QByteArrayView(data, qsizetype(size)));
    if (m_withSha256)
        m_sha256.addData(QByteArrayView(data, qsizetype(size)));
    m_received += qint64(size);
    return true;
}

Status PackageDownloadSink::finish()
{
    // Not synced: a package torn by a power cut fails its zlib check at
    // install time and is fetched again, like any failed install.
    if (m_fd >= 0 && ::close(m_fd) != 0 && !m_writeError)
        m_writeError = errno;
    m_fd = -1;

    const auto header = qint64(kHeaderBytes);
    if (m_tooLarge)
        return fail(FailureKind::TooLarge,
            "패키지가 너무 큽니다: 헤더가 본문 " + number(m_declared) + "바이트를 알립니다 (최대 512 MiB).");
    if (m_overLong)
        return fail(FailureKind::TooLarge,
            "패키지 본문이 헤더가 알린 " + number(m_declared) + "바이트보다 길어 받기를 멈추었습니다.");
    if (m_writeError)
        return fail(FailureKind::Disk,
            "받은 패키지를 쓸 수 없습니다: " + m_fileName + " (" + describeErrno(m_writeError) + ")");
    if (m_received < header || m_received - header != qint64(m_declared))
        return fail(FailureKind::BadDownload,
            "패키지 길이가 헤더와 다릅니다: 헤더 " + number(m_declared) + "바이트, 받은 본문 "
                + number(m_received < header ? 0 : m_received - header) + "바이트.");
    return {};
}

QByteArray PackageDownloadSink::md5Hex() const
{
    return m_md5.result().toHex();
}

QByteArray PackageDownloadSink::sha256Hex() const
{
    return m_withSha256 ? m_sha256.result().toHex() : QByteArray();
}

} // namespace pellwick
