#pragma once

// Generates the benchmark inputs: a code page 949 zone file in which every
// record carries Hangul names, and a list of Hangul names. Written line by
// line so that making 20 MB costs no 20 MB of memory.

#include "namecodec/codec.h"

#include <cstdint>
#include <fstream>
#include <random>
#include <string>

namespace benchgen {

class HangulNames {
public:
    explicit HangulNames(std::uint32_t seed)
        : m_rng(seed)
    {
    }

    // A label of 2 to 5 syllables drawn from all 11,172, as UTF-16.
    std::u16string label()
    {
        std::uniform_int_distribution<int> length(2, 5), syllable(0xAC00, 0xD7A3);
        std::u16string s;
        for (int i = length(m_rng); i > 0; --i)
            s.push_back(static_cast<char16_t>(syllable(m_rng)));
        return s;
    }

    std::string labelIn(namecodec::Encoding enc) { return namecodec::encodeText(label(), enc).value_or("x"); }

    int number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }

private:
    std::mt19937 m_rng;
};

inline std::string cp949(std::u16string_view s)
{
    return namecodec::encodeText(s, namecodec::Encoding::Cp949).value_or("");
}

// Writes about `bytes` bytes of zone file; returns the number of records.
inline std::int64_t writeZone(const std::string &path, std::int64_t bytes)
{
    using namecodec::Encoding;
    HangulNames names(949);
    std::ofstream out(path, std::ios::binary);
    const std::string origin = cp949(u"예제.한국.");
    out << "$ORIGIN " << origin << "\n$TTL 3600\n";
    out << "@\tIN\tSOA\t" << cp949(u"ns1.예제.한국. 관리자.예제.한국.")
        << " (\n\t\t2024010101 3600 900 604800 86400 )\n";
    out << "\tIN\tNS\t" << cp949(u"ns1.예제.한국.") << "\n";
    std::int64_t written = 200, records = 0;
    std::string line;
    while (written < bytes) {
        const std::string owner = names.labelIn(Encoding::Cp949);
        line.clear();
        switch (records % 5) {
        case 0:
            line = owner + "\tIN\tA\t192.0.2." + std::to_string(names.number(1, 254)) + "\n";
            break;
        case 1:
            line = owner + "\t300\tIN\tCNAME\t" + names.labelIn(Encoding::Cp949) + "." + origin + "\n";
            break;
        case 2:
            line = owner + "\tIN\tMX\t10 " + names.labelIn(Encoding::Cp949) + "." + origin + "\n";
            break;
        case 3:
            line = "_sip._tcp." + owner + "\tIN\tSRV\t10 60 5060 " + names.labelIn(Encoding::Cp949) + "."
                + origin + "\n";
            break;
        default:
            line = owner + "\tIN\tTXT\t\"" + names.labelIn(Encoding::Cp949) + " " + cp949(u"설명") + "\"\n";
            break;
        }
        out << line;
        written += static_cast<std::int64_t>(line.size());
        ++records;
    }
    return records;
}

// One Hangul name a line, in UTF-8.
inline void writeNames(const std::string &path, int count)
{
    HangulNames names(1001);
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < count; ++i)
        out << names.labelIn(namecodec::Encoding::Utf8) << "." << names.labelIn(namecodec::Encoding::Utf8)
            << ".kr\n";
}

} // namespace benchgen
