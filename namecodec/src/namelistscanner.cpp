#include "scanners.h"
#include "scannertext.h"

namespace namecodec::detail {

namespace {

class NameListScanner final : public LineScanner {
public:
    using LineScanner::LineScanner;

    std::unique_ptr<LineScanner> clone() const override { return std::make_unique<NameListScanner>(*this); }

    void scan(std::string_view line, std::vector<Span> &names) override
    {
        const std::size_t n = line.size();
        std::size_t i = 0;
        while (i < n) {
            if (!isNameChar(line[i])) {
                ++i;
                continue;
            }
            const std::size_t start = i;
            while (i < n && isNameChar(line[i]))
                i = step(line, i);
            names.push_back({start, i});
        }
    }

private:
    static bool isNameChar(char ch)
    {
        const auto c = static_cast<unsigned char>(ch);
        return c >= 0x80 || isAsciiNameChar(c);
    }
};

} // namespace

std::unique_ptr<LineScanner> makeNameListScanner(Encoding enc)
{
    return std::make_unique<NameListScanner>(enc);
}

} // namespace namecodec::detail
