#pragma once

#include "namecodec/codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace testutil {

// Test texts are written in UTF-8 here and turned into code page 949 bytes.
inline std::string cp949(std::string_view utf8)
{
    auto wide = namecodec::decodeText(utf8, namecodec::Encoding::Utf8);
    EXPECT_TRUE(wide.has_value());
    auto bytes = namecodec::encodeText(*wide, namecodec::Encoding::Cp949);
    EXPECT_TRUE(bytes.has_value()) << utf8;
    return bytes.value_or(std::string());
}

inline std::string utf8(std::string_view cp949Bytes)
{
    auto wide = namecodec::decodeText(cp949Bytes, namecodec::Encoding::Cp949);
    EXPECT_TRUE(wide.has_value());
    return namecodec::encodeText(wide.value_or(std::u16string()), namecodec::Encoding::Utf8).value_or("");
}

// Converts a text in memory; a failure fails the calling test with the
// library's first message.
inline std::string convertExpectingSuccess(std::string_view text, namecodec::FileKind kind,
    namecodec::Encoding from, namecodec::Encoding to, bool keepComment)
{
    namecodec::ConvertOptions options;
    options.from = from;
    options.to = to;
    options.kind = kind;
    options.keepComment = keepComment;
    namecodec::ConvertReport report;
    std::string out = namecodec::convertText(text, options, report);
    EXPECT_TRUE(report.ok()) << (report.errors.empty() ? "" : report.errors.front().message);
    return out;
}

inline std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::filesystem::path &path, std::string_view data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::filesystem::path dataFile(const std::string &name)
{
    return std::filesystem::path(QUOREL_TEST_DATA) / "namecodec" / name;
}

// A fresh folder per test, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() / ("namecodec-test-" + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_path), {}));
    }

private:
    std::filesystem::path m_path;
};

} // namespace testutil
