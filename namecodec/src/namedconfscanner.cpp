#include "scanners.h"
#include "scannertext.h"

namespace namecodec::detail {

namespace {

class NamedConfScanner final : public LineScanner {
public:
    using LineScanner::LineScanner;

    std::unique_ptr<LineScanner> clone() const override { return std::make_unique<NamedConfScanner>(*this); }

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        // A kept comment line inside a block comment could close it early.
        m_commentAllowed = !m_inBlock;
        const std::size_t n = line.size();
        std::size_t i = 0;
        while (i < n) {
            if (m_inBlock) {
                const std::size_t close = line.find("*/", i);
                if (close == std::string_view::npos)
                    return;
                m_inBlock = false;
                i = close + 2;
                continue;
            }
            const char c = line[i];
            if (isBlank(c)) {
                ++i;
            } else if (c == '#' || (c == '/' && i + 1 < n && line[i + 1] == '/')) {
                return;
            } else if (c == '/' && i + 1 < n && line[i + 1] == '*') {
                m_inBlock = true;
                i += 2;
            } else if (c == '"') {
                std::size_t j = i + 1;
                while (j < n && line[j] != '"') {
                    if (line[j] == '\\' && j + 1 < n)
                        ++j;
                    j = step(line, j);
                }
                if (m_expectZoneName)
                    names.push_back({i + 1, j < n ? j : n});
                m_expectZoneName = false;
                i = j < n ? j + 1 : n;
            } else if (c == '{' || c == '}' || c == ';') {
                m_expectZoneName = false;
                ++i;
            } else {
                std::size_t j = i;
                while (j < n && !isBlank(line[j]) && line[j] != '{' && line[j] != '}' && line[j] != ';'
                    && line[j] != '"' && line[j] != '#'
                    && !(line[j] == '/' && j + 1 < n && (line[j + 1] == '/' || line[j + 1] == '*')))
                    j = step(line, j);
                const std::string_view word = line.substr(i, j - i);
                if (m_expectZoneName) {
                    names.push_back({i, j});
                    m_expectZoneName = false;
                } else {
                    m_expectZoneName = word == "zone";
                }
                i = j;
            }
        }
    }

private:
    bool m_inBlock = false;
    bool m_expectZoneName = false;
};

} // namespace

std::unique_ptr<LineScanner> makeNamedConfScanner(Encoding enc)
{
    return std::make_unique<NamedConfScanner>(enc);
}

} // namespace namecodec::detail
