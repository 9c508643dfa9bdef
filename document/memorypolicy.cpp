#include "memorypolicy.h"

#include <cstdint>
#include <sys/mman.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

void adviseHugePages(const void *data, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first)
        ::madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

void keepLargeAllocationsApart()
{
#ifdef __GLIBC__
    // Setting it fixes it: the library no longer moves it by itself.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
    // Fixing it also drops the bound above which free memory at the top of
    // a heap is handed back to 128 KiB, and a buffer of a few hundred
    // kilobytes freed and taken again in a loop would then come back as
    // fresh pages every time. Texts let go are given back by malloc_trim.
    mallopt(M_TRIM_THRESHOLD, 32 * 1024 * 1024);
#endif
}
