// Feeds arbitrary bytes to ConvertString and to the file scanners of every
// kind in both directions. The first byte picks the codes and the kind.
// The bytes also spell a Hangul name, which must come back from ACE as it
// went in, or be refused with a reason.
#include "namecodec/codec.h"
#include "namecodec/namecodec.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Labels of Hangul syllables (all 11,172 reachable) with lowercase ASCII
// letters and digits among them; no hyphen, so no label is ACE by chance.
std::u16string hangulName(const std::uint8_t *data, std::size_t size)
{
    std::u16string name;
    for (std::size_t i = 0; i + 1 < size && name.size() < 300; i += 2) {
        const unsigned v = unsigned(data[i]) << 8 | data[i + 1];
        if (v % 17 == 0) {
            if (!name.empty() && name.back() != u'.')
                name += u'.';
        } else if (v % 17 < 4) {
            name += static_cast<char16_t>(v % 3 == 0 ? u'0' + v % 10 : u'a' + v % 26);
        } else {
            name += static_cast<char16_t>(0xAC00 + v % 11172);
        }
    }
    return name;
}

void expect(bool condition)
{
    if (!condition)
        std::abort();
}

// A refusal must say why, in words for the user.
void expectReason(const namecodec::Error &error)
{
    expect(!error.message.empty());
}

// UTF-8 and code page 949 both: to ACE, back, and the same name again; the
// two spellings give the same ACE. The C entry point agrees, or returns a
// code and an empty output.
void roundTrip(const std::uint8_t *data, std::size_t size)
{
    using namecodec::Encoding;
    const std::u16string name = hangulName(data, size);
    if (name.empty())
        return;
    const auto utf8 = namecodec::encodeText(name, Encoding::Utf8);
    const auto cp949 = namecodec::encodeText(name, Encoding::Cp949);
    expect(utf8.has_value() && cp949.has_value()); // every syllable is in both
    const auto ace = namecodec::toAscii(*utf8, Encoding::Utf8);
    const auto aceFromCp949 = namecodec::toAscii(*cp949, Encoding::Cp949);
    expect(ace.has_value() == aceFromCp949.has_value());
    if (!ace) {
        expectReason(ace.error());
        expectReason(aceFromCp949.error());
        return;
    }
    expect(*ace == *aceFromCp949);
    for (unsigned char c : *ace)
        expect(c < 0x80);
    const auto back = namecodec::toUnicode(*ace, Encoding::Utf8);
    const auto backCp949 = namecodec::toUnicode(*ace, Encoding::Cp949);
    expect(back.has_value() && *back == *utf8);
    expect(backCp949.has_value() && *backCp949 == *cp949);

    char out[NAMECODEC_OUTPUT_SIZE];
    char again[NAMECODEC_OUTPUT_SIZE];
    const int code = ConvertString(utf8->c_str(), out, 1, 2);
    if (code != NAMECODEC_OK) {
        expect(out[0] == '\0');
        return;
    }
    expect(out == *ace);
    expect(ConvertString(out, again, 2, 1) == NAMECODEC_OK && again == *utf8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    roundTrip(data, size);
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
