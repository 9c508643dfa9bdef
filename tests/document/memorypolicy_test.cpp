// How large texts take memory and give it back: a freed large block goes
// back to the system even after larger ones were freed, and a large fresh
// allocation gets huge pages where the system offers them.
#include "document/memorypolicy.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The kilobytes of huge pages backing the mapping that holds `address`.
long hugeKilobytesAt(const void *address)
{
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly))
        return -1;
    const auto at = reinterpret_cast<quintptr>(address);
    bool inside = false;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        const qsizetype colon = line.indexOf(':');
        if (dash > 0 && space > dash && (colon < 0 || colon > space)) { // a mapping's own line
            const quintptr from = line.left(dash).toULongLong(nullptr, 16);
            const quintptr to = line.mid(dash + 1, space - dash - 1).toULongLong(nullptr, 16);
            inside = at >= from && at < to;
        } else if (inside && line.startsWith("AnonHugePages:")) {
            return line.mid(14).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

} // namespace

#ifdef __GLIBC__
TEST(MemoryPolicy, ALargeBlockIsMappedApartEvenAfterALargerOneWasFreed)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's allocator takes the place of the C library's";
#endif
    keepLargeAllocationsApart();
    // Freeing a 24 MB block would otherwise raise the bound to 24 MB, and
    // the next text's 8 MB blocks would stay in the heap once freed.
    void *large = std::malloc(24 * 1024 * 1024);
    ASSERT_NE(large, nullptr);
    std::memset(large, 1, 24 * 1024 * 1024);
    std::free(large);
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void *block = std::malloc(8 * 1024 * 1024);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(mallinfo2().hblkhd, mappedBefore + 8 * 1024 * 1024);
    std::free(block);
    EXPECT_EQ(mallinfo2().hblkhd, mappedBefore);
}
#endif

TEST(MemoryPolicy, AdvisedFreshMemoryGetsHugePagesWhereTheSystemOffersThem)
{
    QFile setting(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    if (!setting.open(QIODevice::ReadOnly) || setting.readAll().contains("[never]"))
        GTEST_SKIP() << "huge pages are off on this machine";
    constexpr std::size_t kBytes = 16 * 1024 * 1024;
    void *mapped = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    // Unaligned on purpose: only the whole huge pages inside are advised.
    char *data = static_cast<char *>(mapped) + 4096;
    adviseHugePages(data, kBytes - 4096);
    std::memset(data, 1, kBytes - 4096);
    EXPECT_GE(hugeKilobytesAt(data + kBytes / 2), 2048);
    ::munmap(mapped, kBytes);

    adviseHugePages(nullptr, 0); // nothing to advise: nothing happens
    char small[64] = {};
    adviseHugePages(small, sizeof small);
    EXPECT_EQ(small[0], 0);
}
