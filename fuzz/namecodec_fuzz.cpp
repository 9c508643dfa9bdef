// Feeds arbitrary bytes to ConvertString and to the file scanners of every
// kind in both directions. The first byte picks the codes and the kind.
#include "namecodec/codec.h"
#include "namecodec/namecodec.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t selector = data[0];
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    // ConvertString takes a C string: stop at the first NUL as a caller would.
    const std::string cstr(text.c_str());
    char out[NAMECODEC_OUTPUT_SIZE + 16];
    std::memset(out, 0x5A, sizeof out);
    static const int kCodes[] = {0, 1, 2, 3, 4, 7};
    (void)ConvertString(cstr.c_str(), out, kCodes[selector % 6], kCodes[(selector / 6) % 6]);
    for (std::size_t i = NAMECODEC_OUTPUT_SIZE; i < sizeof out; ++i) {
        if (out[i] != 0x5A)
            __builtin_trap();
    }

    static const namecodec::FileKind kKinds[] = {namecodec::FileKind::Auto, namecodec::FileKind::Zone,
        namecodec::FileKind::NamedConf, namecodec::FileKind::WebServer, namecodec::FileKind::General};
    static const namecodec::Encoding kEncodings[]
        = {namecodec::Encoding::Cp949, namecodec::Encoding::Utf8, namecodec::Encoding::Punycode};
    namecodec::ConvertOptions options;
    options.kind = kKinds[selector % 5];
    options.from = kEncodings[(selector / 5) % 3];
    options.to = kEncodings[(selector / 15) % 3];
    options.keepComment = (selector & 0x80) != 0;
    namecodec::ConvertReport report;
    const std::string converted = namecodec::convertText(text, options, report);
    if (report.ok()) {
        // Whatever converted must keep every line, and every failure must
        // name a line that exists.
        if (converted.empty() != text.empty() && options.from == options.to)
            __builtin_trap();
    } else {
        for (const auto &e : report.errors) {
            if (e.line < 1 || e.line > report.lines || e.column < 1)
                __builtin_trap();
        }
    }
    return 0;
}
