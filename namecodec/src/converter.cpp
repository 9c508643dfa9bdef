#include "labelconverter.h"
#include "outputfile.h"
#include "scanners.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace namecodec {

using namespace detail;

namespace {

constexpr std::size_t kSniffBytes = 64 * 1024;
constexpr std::size_t kReadBlock = 1 << 20;

enum class Mode { ToAscii, ToUnicode, Transcode, Copy };

bool hasHighByte(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

bool hasAcePrefix(std::string_view s)
{
    for (std::size_t i = s.find_first_of("xX"); i != std::string_view::npos && i + 4 <= s.size();
         i = s.find_first_of("xX", i + 1)) {
        if (isAceLabel(s.substr(i)))
            return true;
    }
    return false;
}

// Applies one conversion to the lines of a text in order. It holds the
// scanner state that crosses lines and collects every failing name.
class LineConverter {
public:
    LineConverter(const ConvertOptions &options, FileKind kind, ConvertReport &report)
        : m_options(options)
        , m_report(report)
    {
        const Encoding from = options.from, to = options.to;
        if (to == Encoding::Punycode && from != Encoding::Punycode) {
            m_mode = Mode::ToAscii;
            m_textIn = m_textOut = from;
        } else if (from == Encoding::Punycode && to != Encoding::Punycode) {
            m_mode = Mode::ToUnicode;
            m_textIn = m_textOut = to;
        } else if (from != to) {
            m_mode = Mode::Transcode;
            m_textIn = from;
            m_textOut = to;
        } else {
            m_mode = Mode::Copy;
            // Punycode text around its names is code page 949, as for code 2.
            m_textIn = m_textOut = from == Encoding::Utf8 ? Encoding::Utf8 : Encoding::Cp949;
        }
        m_scanner = makeScanner(kind, m_textIn);
        m_marker = commentMarker(kind);
        m_report.kind = kind;
    }

    bool failedTooOften() const
    {
        return static_cast<int>(m_report.errors.size()) >= std::max(1, m_options.maxErrors);
    }

    // Converts one line; `ending` is "\n", "\r\n" or empty for a last line
    // without one. Appends to `out` only while no line has failed.
    void line(std::string_view content, std::string_view ending, std::string &out)
    {
        ++m_lineNo;
        ++m_report.lines;
        if (!ending.empty() && m_defaultEnding.empty())
            m_defaultEnding = ending;
        m_names.clear();
        m_scanner->scan(content, m_names);

        const bool high = hasHighByte(content);
        if (high || m_mode == Mode::Transcode) {
            auto decoded = decodeText(content, m_textIn);
            if (!decoded) {
                fail(decoded.error(), 0);
                return;
            }
            if (m_mode == Mode::Transcode) {
                auto encoded = encodeText(*decoded, m_textOut);
                if (!encoded) {
                    fail(encoded.error(), 0);
                    return;
                }
                emit(content, *encoded, ending, out);
                return;
            }
        }
        const bool work
            = (m_mode == Mode::ToAscii && high) || (m_mode == Mode::ToUnicode && hasAcePrefix(content));
        if (!work) {
            emit(content, content, ending, out);
            return;
        }
        m_converted.clear();
        std::size_t copied = 0;
        bool ok = true;
        for (const Span &span : m_names) {
            const std::string_view name = content.substr(span.begin, span.end - span.begin);
            const bool needed = m_mode == Mode::ToAscii ? LabelConverter::needsAscii(name)
                                                        : LabelConverter::needsUnicode(name);
            if (!needed)
                continue;
            auto result = m_mode == Mode::ToAscii ? m_labels.nameToAscii(name, m_textIn)
                                                  : m_labels.nameToUnicode(name, m_textOut);
            if (!result) {
                Error e = result.error();
                std::size_t at = span.begin;
                if (!e.label.empty()) {
                    const std::size_t pos = name.find(e.label);
                    if (pos != std::string_view::npos)
                        at += pos;
                }
                e.line = 0;
                e.column = static_cast<int>(countChars(content.substr(0, at), m_textIn)) + 1;
                fail(e, e.column);
                ok = false;
                if (failedTooOften())
                    return;
                continue;
            }
            m_converted.append(content.substr(copied, span.begin - copied));
            m_converted.append(*result);
            copied = span.end;
        }
        if (!ok)
            return;
        m_converted.append(content.substr(copied));
        emit(content, m_converted, ending, out);
    }

private:
    void fail(Error e, int column)
    {
        e.line = static_cast<int>(std::min<std::int64_t>(m_lineNo, INT32_MAX));
        if (column > 0)
            e.column = column;
        if (e.column <= 0)
            e.column = 1;
        m_report.errors.push_back(std::move(e));
    }

    void emit(
        std::string_view original, std::string_view converted, std::string_view ending, std::string &out)
    {
        if (!m_report.errors.empty())
            return;
        const bool changed = m_mode != Mode::Transcode && original != converted;
        if (changed) {
            ++m_report.changedLines;
            if (m_options.keepComment && m_scanner->commentAllowed()) {
                out += m_marker;
                out += ' ';
                out.append(original);
                if (!ending.empty())
                    out.append(ending);
                else
                    out.append(m_defaultEnding.empty() ? std::string_view("\n") : m_defaultEnding);
            }
        }
        out.append(converted);
        out.append(ending);
    }

    const ConvertOptions &m_options;
    ConvertReport &m_report;
    Mode m_mode = Mode::Copy;
    Encoding m_textIn = Encoding::Cp949;
    Encoding m_textOut = Encoding::Cp949;
    std::unique_ptr<LineScanner> m_scanner;
    LabelConverter m_labels;
    const char *m_marker = "#";
    std::vector<Span> m_names;
    std::string m_converted;
    std::string m_defaultEnding;
    std::int64_t m_lineNo = 0;
};

// Splits `data` into lines and feeds them; returns how many bytes were used
// (everything up to the last line feed, or everything when `last`).
std::size_t feedLines(LineConverter &converter, std::string_view data, bool last, std::string &out)
{
    std::size_t pos = 0;
    while (pos < data.size()) {
        const void *nl = std::memchr(data.data() + pos, '\n', data.size() - pos);
        if (!nl) {
            if (!last)
                break;
            converter.line(data.substr(pos), {}, out);
            pos = data.size();
            break;
        }
        const std::size_t end = static_cast<std::size_t>(static_cast<const char *>(nl) - data.data());
        std::size_t contentEnd = end;
        if (contentEnd > pos && data[contentEnd - 1] == '\r')
            --contentEnd;
        converter.line(
            data.substr(pos, contentEnd - pos), data.substr(contentEnd, end + 1 - contentEnd), out);
        pos = end + 1;
        if (converter.failedTooOften())
            return data.size();
    }
    return pos;
}

Error ioError(const std::string &what, const std::string &path, int line)
{
    Error e = makeError(ErrorKind::Io, "'" + path + "' 파일을 " + what + " (" + std::strerror(errno) + ")");
    e.line = line;
    e.column = 1;
    return e;
}

struct FileCloser {
    void operator()(std::FILE *f) const
    {
        if (f && f != stdin && f != stdout)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

Result<Encoding> encodingFromCode(int code)
{
    switch (code) {
    case 0:
    case 4:
        return Encoding::Cp949;
    case 1:
        return Encoding::Utf8;
    case 2:
        return Encoding::Punycode;
    case 3:
        return Unexpected(makeError(ErrorKind::Unsupported, "RACE 인코딩은 지원하지 않습니다."));
    default:
        return Unexpected(
            makeError(ErrorKind::Unsupported, "알 수 없는 인코딩 코드 " + std::to_string(code) + "입니다."));
    }
}

const char *fileKindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Zone:
        return "존 파일";
    case FileKind::NamedConf:
        return "도메인 conf 파일";
    case FileKind::WebServer:
        return "가상호스트 conf 파일";
    case FileKind::Auto:
    case FileKind::General:
        break;
    }
    return "일반 파일";
}

const char *commentMarker(FileKind kind)
{
    switch (kind) {
    case FileKind::Zone:
        return ";";
    case FileKind::NamedConf:
        return "//";
    case FileKind::WebServer:
    case FileKind::Auto:
    case FileKind::General:
        break;
    }
    return "#";
}

FileKind detectFileKind(std::string_view head)
{
    int zone = 0, named = 0, web = 0;
    std::size_t pos = 0;
    while (pos < head.size()) {
        std::size_t end = head.find('\n', pos);
        if (end == std::string_view::npos)
            end = head.size();
        const std::string_view raw = head.substr(pos, end - pos);
        std::string_view line = raw;
        pos = end + 1;
        std::size_t i = 0;
        while (i < line.size() && isBlank(line[i]))
            ++i;
        line = line.substr(i);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line.substr(0, 2) == "//")
            continue;
        auto starts = [&](std::string_view word) {
            if (line.size() < word.size())
                return false;
            for (std::size_t k = 0; k < word.size(); ++k) {
                char c = line[k];
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c + 32);
                if (c != word[k])
                    return false;
            }
            return line.size() == word.size() || isBlank(line[word.size()]) || line[word.size()] == '{'
                || line[word.size()] == '"' || line[word.size()] == '>';
        };
        if (starts("$origin") || starts("$ttl") || starts("$include"))
            zone += 3;
        else if (starts("options") || starts("zone") || starts("acl") || starts("logging")
            || starts("controls") || starts("key") || starts("view") || starts("masters")
            || starts("primaries"))
            named += line.find('{') != std::string_view::npos || line.find('"') != std::string_view::npos ? 2
                                                                                                          : 0;
        else if (starts("<virtualhost") || starts("servername") || starts("serveralias")
            || starts("documentroot") || starts("<directory") || starts("server_name")
            || starts("serveradmin"))
            web += 2;
        if (looksLikeRecord(raw))
            zone += 2;
    }
    if (zone == 0 && named == 0 && web == 0)
        return FileKind::General;
    if (zone >= named && zone >= web)
        return FileKind::Zone;
    return named >= web ? FileKind::NamedConf : FileKind::WebServer;
}

std::string convertText(std::string_view text, const ConvertOptions &options, ConvertReport &report)
{
    report = ConvertReport {};
    const FileKind kind = options.kind == FileKind::Auto
        ? detectFileKind(text.substr(0, std::min(text.size(), kSniffBytes)))
        : options.kind;
    LineConverter converter(options, kind, report);
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    feedLines(converter, text, true, out);
    if (!report.ok())
        out.clear();
    return out;
}

ConvertReport convertFile(
    const std::string &inPath, const std::string &outPath, const ConvertOptions &options)
{
    ConvertReport report;
    FilePtr in(inPath == "-" ? stdin : std::fopen(inPath.c_str(), "rb"));
    if (!in) {
        report.errors.push_back(ioError("읽을 수 없습니다", inPath, 1));
        return report;
    }
    std::string buffer;
    buffer.resize(kReadBlock);
    std::size_t have = std::fread(buffer.data(), 1, kSniffBytes, in.get());
    if (std::ferror(in.get())) {
        report.errors.push_back(ioError("읽을 수 없습니다", inPath, 1));
        return report;
    }
    const FileKind kind = options.kind == FileKind::Auto
        ? detectFileKind(std::string_view(buffer.data(), have))
        : options.kind;

    // A failure never leaves a partial file: see OutputFile for where the
    // result goes for each kind of output.
    OutputFile out;
    if (auto opened = out.open(outPath, options.partialFile); !opened) {
        Error e = opened.error();
        e.line = 1;
        e.column = 1;
        report.errors.push_back(std::move(e));
        return report;
    }

    LineConverter converter(options, kind, report);
    std::string pending;
    std::string converted;
    bool eof = have < kSniffBytes;
    pending.assign(buffer.data(), have);
    for (;;) {
        const std::size_t used = feedLines(converter, pending, eof, converted);
        pending.erase(0, used);
        if (report.ok() && converted.size() >= kReadBlock) {
            out.write(converted);
            converted.clear();
        } else if (!report.ok()) {
            converted.clear();
            if (converter.failedTooOften())
                break;
        }
        if (eof)
            break;
        have = std::fread(buffer.data(), 1, kReadBlock, in.get());
        if (std::ferror(in.get())) {
            report.errors.push_back(ioError("읽을 수 없습니다", inPath, static_cast<int>(report.lines + 1)));
            break;
        }
        eof = have < kReadBlock;
        pending.append(buffer.data(), have);
    }
    if (report.ok()) {
        out.write(converted);
        if (auto committed = out.commit(); !committed) {
            Error e = committed.error();
            e.line = static_cast<int>(std::max<std::int64_t>(1, report.lines));
            e.column = 1;
            report.errors.push_back(std::move(e));
        }
    } else {
        out.discard();
    }
    return report;
}

Result<std::string> toAscii(std::string_view name, Encoding from)
{
    if (from == Encoding::Punycode)
        return std::string(name);
    thread_local LabelConverter labels;
    return labels.nameToAscii(name, from);
}

Result<std::string> toUnicode(std::string_view name, Encoding to)
{
    if (to == Encoding::Punycode)
        return std::string(name);
    thread_local LabelConverter labels;
    return labels.nameToUnicode(name, to);
}

} // namespace namecodec
