#include "labelconverter.h"
#include "outputfile.h"
#include "scanners.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace namecodec {

using namespace detail;

namespace {

constexpr std::size_t kReadBlock = 1 << 20;
// Input held in memory while the kind is not yet known; past it a regular
// file is read ahead and rewound, and anything else is spooled to disk.
constexpr std::size_t kSniffMemory = 4 * kReadBlock;

enum class Mode { ToAscii, ToUnicode, Transcode, Copy };

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
    LineConverter(const ConvertOptions &options, FileKind kind, ConvertReport &report, bool nameList = false)
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
        m_scanner = nameList ? makeNameListScanner(m_textIn)
                             : makeScanner(kind, m_textIn, m_mode == Mode::ToUnicode);
        if (m_mode == Mode::ToAscii && options.warnings)
            m_scanner->setRuleHosts(&m_ruleHosts);
        m_marker = commentMarker(kind);
        m_report.kind = kind;
        // The mark belongs to the file, not to its first name. Code page 949
        // has no byte order mark, so it goes when the text becomes that.
        m_bomAware = m_textIn == Encoding::Utf8;
        m_keepBom = m_textOut == Encoding::Utf8;
    }

    bool failedTooOften() const
    {
        return m_stopped || static_cast<int>(m_report.errors.size()) >= std::max(1, m_options.maxErrors);
    }

    // A line longer than kMaxLineBytes: refused, and nothing after it is read.
    void lineTooLong()
    {
        ++m_lineNo;
        ++m_report.lines;
        refuseLongLine();
    }

    // Converts one line; `ending` is "\n", "\r\n" or empty for a last line
    // without one. Appends to `out` only while no line has failed.
    void line(std::string_view content, std::string_view ending, std::string &out)
    {
        ++m_lineNo;
        ++m_report.lines;
        if (content.size() > kMaxLineBytes) {
            refuseLongLine();
            return;
        }
        if (m_lineNo == 1 && m_bomAware && content.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
            content.remove_prefix(kUtf8Bom.size());
            if (m_keepBom && m_report.errors.empty())
                out.append(kUtf8Bom);
        }
        if (!ending.empty() && m_defaultEnding.empty())
            m_defaultEnding = ending;
        m_names.clear();
        m_ruleHosts.clear();
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
            const bool needed
                = m_mode == Mode::ToAscii ? hasHighByte(name) : LabelConverter::needsUnicode(name);
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
        const std::size_t noted = m_report.warnings.size();
        if (!m_ruleHosts.empty())
            noteLeftHosts(content);
        emit(content, m_converted, ending, out);
        // Kept copies move the line down in the result.
        for (std::size_t i = noted; i < m_report.warnings.size(); ++i)
            m_report.warnings[i].outputLine
                = static_cast<int>(std::min<std::int64_t>(m_outputLines, INT32_MAX));
    }

private:
    // The hosts inside rules that no name of the line covered: they keep
    // their Hangul, and the user is told where.
    void noteLeftHosts(std::string_view content)
    {
        std::sort(m_ruleHosts.begin(), m_ruleHosts.end(),
            [](const Span &a, const Span &b) { return a.begin < b.begin; });
        std::size_t last = 0;
        for (const Span &rule : m_ruleHosts) {
            const bool converted = std::any_of(m_names.begin(), m_names.end(),
                [&](const Span &name) { return name.begin < rule.end && rule.begin < name.end; });
            if (converted || rule.begin < last)
                continue;
            last = rule.end;
            if (static_cast<int>(m_report.warnings.size()) >= std::max(0, m_options.maxWarnings)) {
                ++m_report.omittedWarnings;
                continue;
            }
            const std::string_view host = content.substr(rule.begin, rule.end - rule.begin);
            ConvertWarning warning;
            warning.line = static_cast<int>(std::min<std::int64_t>(m_lineNo, INT32_MAX));
            warning.column = static_cast<int>(countChars(content.substr(0, rule.begin), m_textIn)) + 1;
            warning.host = displayText(host, m_textIn);
            warning.ace = m_labels.ruleHostToAscii(host, m_textIn);
            warning.message = std::to_string(warning.line) + "번째 줄: 규칙 안의 한글 호스트 '" + warning.host
                + "'는 바뀌지 않았습니다";
            m_report.warnings.push_back(std::move(warning));
        }
    }

    void refuseLongLine()
    {
        const std::string number = std::to_string(m_lineNo);
        fail(
            makeError(ErrorKind::TooLong,
                number + "번째 줄이 16 MiB(16,777,216바이트)보다 깁니다. 이렇게 긴 줄은 변환할 수 없습니다."),
            1);
        m_stopped = true;
    }

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
        ++m_outputLines;
        if (changed) {
            ++m_report.changedLines;
            if (m_options.keepComment && m_scanner->commentAllowed()) {
                ++m_outputLines;
                out += m_marker;
                out += ' ';
                // A copy ending in a backslash would continue into the line
                // after it (Apache joins such lines before it looks for
                // comments), so the continuation mark stays off the copy.
                std::size_t keep = original.size();
                while (keep > 0 && (original[keep - 1] == '\\' || isBlank(original[keep - 1])))
                    --keep;
                const bool continued = original.find('\\', keep) != std::string_view::npos;
                out.append(continued ? original.substr(0, keep) : original);
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
    std::vector<Span> m_ruleHosts;
    std::string m_converted;
    std::string m_defaultEnding;
    std::int64_t m_lineNo = 0;
    std::int64_t m_outputLines = 0;
    bool m_bomAware = false;
    bool m_keepBom = false;
    bool m_stopped = false;
};

// Splits `data` into lines and feeds them; returns how many bytes were used
// (everything up to the last line end, or everything when `last`).
std::size_t feedLines(LineConverter &converter, std::string_view data, bool last, std::string &out)
{
    const std::size_t used = forEachLine(data, last, [&](std::string_view content, std::string_view ending) {
        converter.line(content, ending, out);
        return !converter.failedTooOften();
    });
    return converter.failedTooOften() ? data.size() : used;
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

// The input of convertFile. Recognising the kind may take more than fits in
// memory (a long comment header, general text that must be read to its end
// for zone records); a regular file is then read ahead and rewound, and
// anything else (a pipe, standard input) is spooled to an anonymous file that
// is read back before the rest of the stream.
class InputReader {
public:
    explicit InputReader(std::FILE *file)
        : m_file(file)
    {
    }

    // Up to n bytes; 0 at the end; nullopt on a read error.
    std::optional<std::size_t> read(char *data, std::size_t n)
    {
        if (m_spool) {
            const std::size_t got = std::fread(data, 1, n, m_spool.get());
            if (std::ferror(m_spool.get()))
                return std::nullopt;
            if (got > 0)
                return got;
            m_spool.reset();
        }
        if (m_end)
            return 0;
        const std::size_t got = std::fread(data, 1, n, m_file);
        if (std::ferror(m_file))
            return std::nullopt;
        m_end = got == 0;
        return got;
    }

    // Reads until the kind is known. `pending` receives what was read and
    // not given back to the stream; nullopt on a read error.
    std::optional<FileKind> sniff(std::string &pending)
    {
        KindDetector detector;
        std::string block(kReadBlock, '\0');
        std::size_t scanned = 0;
        bool end = false;
        auto feed = [&](std::string_view data, bool last) {
            return forEachLine(data, last, [&](std::string_view content, std::string_view) {
                detector.line(content);
                return !detector.decided();
            });
        };
        // An overlong line stops the look-ahead; the conversion refuses it.
        auto overlong = [](std::size_t unfinished) { return unfinished > kMaxLineBytes + 1; };
        while (!end && !detector.decided() && pending.size() < kSniffMemory) {
            const auto got = read(block.data(), block.size());
            if (!got)
                return std::nullopt;
            end = *got == 0;
            pending.append(block.data(), *got);
            scanned += feed(std::string_view(pending).substr(scanned), end);
        }
        if (end || detector.decided() || overlong(pending.size() - scanned))
            return detector.kind();

        struct stat st { };
        const bool rewindable = ::fstat(fileno(m_file), &st) == 0 && S_ISREG(st.st_mode);
        FilePtr spool;
        if (!rewindable) {
            m_failure = "임시 파일에 옮겨 둘 수 없습니다";
            spool.reset(std::tmpfile());
            if (!spool || std::fwrite(pending.data(), 1, pending.size(), spool.get()) != pending.size())
                return std::nullopt;
            m_failure = "읽을 수 없습니다";
        }
        std::string carry = pending.substr(scanned);
        std::string().swap(pending);
        while (!end && !detector.decided() && !overlong(carry.size())) {
            const auto got = read(block.data(), block.size());
            if (!got)
                return std::nullopt;
            end = *got == 0;
            if (spool && std::fwrite(block.data(), 1, *got, spool.get()) != *got) {
                m_failure = "임시 파일에 옮겨 둘 수 없습니다";
                return std::nullopt;
            }
            carry.append(block.data(), *got);
            carry.erase(0, feed(carry, end));
        }
        if (rewindable) {
            if (std::fseek(m_file, 0, SEEK_SET) != 0)
                return std::nullopt;
            m_end = false;
        } else {
            if (std::fflush(spool.get()) != 0) {
                m_failure = "임시 파일에 옮겨 둘 수 없습니다";
                return std::nullopt;
            }
            std::rewind(spool.get());
            m_spool = std::move(spool);
        }
        return detector.kind();
    }

    // What went wrong when sniff gave nothing, for the message.
    const char *failure() const { return m_failure; }

private:
    std::FILE *m_file;
    FilePtr m_spool;
    bool m_end = false;
    const char *m_failure = "읽을 수 없습니다";
};

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
    KindDetector detector;
    forEachLine(head, true, [&](std::string_view content, std::string_view) {
        detector.line(content);
        return !detector.decided();
    });
    return detector.kind();
}

namespace {

std::string convertWith(
    std::string_view text, const ConvertOptions &options, ConvertReport &report, bool nameList)
{
    report = ConvertReport {};
    const FileKind kind = options.kind == FileKind::Auto ? detectFileKind(text) : options.kind;
    LineConverter converter(options, kind, report, nameList);
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    feedLines(converter, text, true, out);
    if (!report.ok())
        out.clear();
    return out;
}

} // namespace

std::string convertText(std::string_view text, const ConvertOptions &options, ConvertReport &report)
{
    return convertWith(text, options, report, false);
}

std::string detail::convertNameList(
    std::string_view text, const ConvertOptions &options, ConvertReport &report)
{
    return convertWith(text, options, report, true);
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
    InputReader input(in.get());
    std::string pending;
    FileKind kind = options.kind;
    if (kind == FileKind::Auto) {
        const auto sniffed = input.sniff(pending);
        if (!sniffed) {
            report.errors.push_back(ioError(input.failure(), inPath, 1));
            return report;
        }
        kind = *sniffed;
    }
    std::string buffer;
    buffer.resize(kReadBlock);

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
    std::string converted;
    bool eof = false;
    for (;;) {
        const std::size_t used = feedLines(converter, pending, eof, converted);
        pending.erase(0, used);
        // What is left is one unfinished line (and perhaps the CR of its end).
        if (!eof && pending.size() > kMaxLineBytes + 1)
            converter.lineTooLong();
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
        const auto have = input.read(buffer.data(), kReadBlock);
        if (!have) {
            report.errors.push_back(ioError("읽을 수 없습니다", inPath, static_cast<int>(report.lines + 1)));
            break;
        }
        eof = *have == 0;
        pending.append(buffer.data(), *have);
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
