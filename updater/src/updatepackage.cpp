#include "updater/updatepackage.h"

#include <cstring>
#include <new>

#include <zlib.h>

namespace pellwick {

namespace {

std::uint32_t readLe32(const unsigned char *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

void appendLe32(std::string &out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// Deflate cannot expand data by more than about 1032 to 1; a header that
// claims more describes a package that cannot decompress to it, and must
// not make us reserve gigabytes for it.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

} // namespace

std::string describePackageFault(PackageFault fault)
{
    switch (fault) {
    case PackageFault::TooShort:
        return "패키지가 헤더 8바이트보다 짧습니다.";
    case PackageFault::BadBody:
        return "패키지 본문이 올바른 zlib 스트림이 아닙니다.";
    case PackageFault::WrongPayloadSize:
        return "풀어낸 크기가 패키지 헤더와 다릅니다.";
    case PackageFault::OutOfMemory:
        return "패키지를 풀 메모리가 부족합니다.";
    case PackageFault::BadScriptLength:
        return "스크립트 길이가 올바르지 않습니다.";
    case PackageFault::BadScript:
        return "스크립트가 \"en\"보다 짧거나 NUL 바이트를 담고 있습니다.";
    case PackageFault::LocationOutside:
        return "스크립트의 경로가 설치 폴더 밖을 가리킵니다.";
    case PackageFault::BadSize:
        return "스크립트의 파일 크기가 패키지 데이터와 맞지 않습니다.";
    }
    return "패키지가 올바르지 않습니다.";
}

PackageResult<PackageImage> readPackage(std::span<const unsigned char> file)
{
    using Fault = tl::unexpected<PackageFault>;
    if (file.size() < 8)
        return Fault(PackageFault::TooShort);
    // Bytes 0-3 (the body length) served the download; the body is whatever follows the header.
    const std::uint32_t payloadSize = readLe32(file.data() + 4);
    const std::span<const unsigned char> body = file.subspan(8);
    if (body.size() < 2 || payloadSize > body.size() * kMaxDeflateRatio + 64)
        return Fault(body.size() < 2 ? PackageFault::BadBody : PackageFault::WrongPayloadSize);

    PackageImage image;
    try {
        image.payload.resize(payloadSize);
    } catch (const std::bad_alloc &) {
        return Fault(PackageFault::OutOfMemory);
    }
    // uncompress2 reports how much of the body it used, so trailing bytes
    // after the stream are caught as well as a stream that ends early.
    uLongf produced = payloadSize;
    uLong consumed = body.size();
    // zlib wants a non-null destination even for an empty payload.
    unsigned char spare = 0;
    unsigned char *dest = payloadSize ? reinterpret_cast<unsigned char *>(image.payload.data()) : &spare;
    const int rc = uncompress2(dest, &produced, body.data(), &consumed);
    if (rc != Z_OK) {
        return Fault(rc == Z_MEM_ERROR ? PackageFault::OutOfMemory
                : rc == Z_BUF_ERROR    ? PackageFault::WrongPayloadSize // more data than the header said
                                       : PackageFault::BadBody);
    }
    if (consumed != body.size())
        return Fault(PackageFault::BadBody);
    if (produced != payloadSize)
        return Fault(PackageFault::WrongPayloadSize);

    if (payloadSize < 12)
        return Fault(PackageFault::BadScriptLength);
    const std::uint32_t scriptLength
        = readLe32(reinterpret_cast<const unsigned char *>(image.payload.data()) + 8);
    if (scriptLength > kMaxScriptLength || scriptLength > payloadSize - 12)
        return Fault(PackageFault::BadScriptLength);
    image.script.assign(image.payload.data() + 12, scriptLength);
    image.dataOffset = 12 + std::size_t(scriptLength);
    image.plan = scanScript(image.script);
    if (image.plan.end == ScriptEnd::Malformed)
        return Fault(PackageFault::BadScript);

    for (const ScriptOp &op : image.plan.ops) {
        if (!staysInsideBase(op.where))
            return Fault(PackageFault::LocationOutside);
    }
    // Sizes matter only when the writes will run.
    if (image.plan.end == ScriptEnd::EndMarker) {
        std::uint64_t total = 0;
        const std::uint64_t available = payloadSize - image.dataOffset;
        for (const ScriptOp &op : image.plan.ops) {
            if (op.kind != ScriptOpKind::Write)
                continue;
            if (op.size < 0 || (total += std::uint64_t(op.size)) > available)
                return Fault(PackageFault::BadSize);
        }
    }
    return image;
}

std::string buildPackage(std::string_view script, std::string_view fileData)
{
    std::string payload("QPKG\0\0\0\0", 8);
    appendLe32(payload, static_cast<std::uint32_t>(script.size()));
    payload.append(script);
    payload.append(fileData);

    uLongf bodySize = compressBound(payload.size());
    std::string body(bodySize, '\0');
    if (compress2(reinterpret_cast<Bytef *>(body.data()), &bodySize,
            reinterpret_cast<const Bytef *>(payload.data()), payload.size(), Z_DEFAULT_COMPRESSION)
        != Z_OK)
        return {};
    body.resize(bodySize);

    std::string package;
    package.reserve(8 + body.size());
    appendLe32(package, static_cast<std::uint32_t>(body.size()));
    appendLe32(package, static_cast<std::uint32_t>(payload.size()));
    package.append(body);
    return package;
}

} // namespace pellwick
