#include "internal.h"
#include "namecodec/codec.h"
#include "namecodec/namecodec.h"

#include <cstring>
#include <optional>

using namespace namecodec;

namespace {

int codeOf(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::Decode:
        return NAMECODEC_E_DECODE;
    case ErrorKind::Encode:
        return NAMECODEC_E_ENCODE;
    case ErrorKind::Disallowed:
        return NAMECODEC_E_DISALLOWED;
    case ErrorKind::LabelTooLong:
        return NAMECODEC_E_LABEL_TOO_LONG;
    case ErrorKind::NameTooLong:
        return NAMECODEC_E_NAME_TOO_LONG;
    case ErrorKind::BadAce:
        return NAMECODEC_E_BAD_ACE;
    case ErrorKind::Io:
        return NAMECODEC_E_IO;
    case ErrorKind::Unsupported:
        return NAMECODEC_E_UNSUPPORTED;
    case ErrorKind::TooLong:
        return NAMECODEC_E_OUTPUT_TOO_LONG;
    }
    return NAMECODEC_E_ARGUMENT;
}

std::optional<FileKind> fileKindFromCode(int code)
{
    switch (code) {
    case NAMECODEC_KIND_AUTO:
        return FileKind::Auto;
    case NAMECODEC_KIND_ZONE:
        return FileKind::Zone;
    case NAMECODEC_KIND_NAMED_CONF:
        return FileKind::NamedConf;
    case NAMECODEC_KIND_WEB_SERVER:
        return FileKind::WebServer;
    case NAMECODEC_KIND_GENERAL:
        return FileKind::General;
    }
    return std::nullopt;
}

} // namespace

extern "C" int ConvertString(const char *input, char *output, int from, int to)
{
    if (!output)
        return NAMECODEC_E_ARGUMENT;
    output[0] = '\0';
    if (!input)
        return NAMECODEC_E_ARGUMENT;
    auto source = encodingFromCode(from);
    if (!source)
        return codeOf(source.error().kind);
    auto target = encodingFromCode(to);
    if (!target)
        return codeOf(target.error().kind);
    ConvertOptions options;
    options.from = *source;
    options.to = *target;
    options.kind = FileKind::General;
    options.maxErrors = 1;
    ConvertReport report;
    const std::string result = detail::convertNameList(input, options, report);
    if (!report.ok())
        return codeOf(report.errors.front().kind);
    // A cut name would be a different name: a result that does not fit is
    // refused whole.
    if (result.size() + 1 > NAMECODEC_OUTPUT_SIZE)
        return NAMECODEC_E_OUTPUT_TOO_LONG;
    std::memcpy(output, result.data(), result.size());
    output[result.size()] = '\0';
    return NAMECODEC_OK;
}

extern "C" int ConvertFile(
    const char *in_path, const char *out_path, int from, int to, int keep_comment, int *error_line)
{
    return ConvertFileAs(in_path, out_path, from, to, keep_comment, NAMECODEC_KIND_AUTO, error_line);
}

extern "C" int ConvertFileAs(
    const char *in_path, const char *out_path, int from, int to, int keep_comment, int kind, int *error_line)
{
    auto fail = [&](int code) {
        if (error_line)
            *error_line = 1;
        return code;
    };
    if (!in_path || !out_path || !*in_path || !*out_path)
        return fail(NAMECODEC_E_ARGUMENT);
    const std::optional<FileKind> fileKind = fileKindFromCode(kind);
    if (!fileKind)
        return fail(NAMECODEC_E_ARGUMENT);
    auto source = encodingFromCode(from);
    if (!source)
        return fail(codeOf(source.error().kind));
    auto target = encodingFromCode(to);
    if (!target)
        return fail(codeOf(target.error().kind));
    ConvertOptions options;
    options.from = *source;
    options.to = *target;
    options.kind = *fileKind;
    options.keepComment = keep_comment == 1;
    options.maxErrors = 1;
    const ConvertReport report = convertFile(in_path, out_path, options);
    if (report.ok())
        return NAMECODEC_OK;
    const Error &first = report.errors.front();
    if (error_line)
        *error_line = first.line > 0 ? first.line : 1;
    return codeOf(first.kind);
}

extern "C" const char *NamecodecEncodingName(int code)
{
    static const char kNames[5][10] = {"-EucKr", "-UTF", "-PUNY", "-RACE", "-EucKr"};
    return code >= 0 && code < 5 ? kNames[code] : nullptr;
}
