// bench_generate ZONE_PATH ZONE_BYTES NAMES_PATH NAME_COUNT
#include "generate.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_generate ZONE_PATH ZONE_BYTES NAMES_PATH NAME_COUNT\n");
        return 2;
    }
    const auto records = benchgen::writeZone(argv[1], std::atoll(argv[2]));
    benchgen::writeNames(argv[3], std::atoi(argv[4]));
    std::printf("%lld records, %s names\n", static_cast<long long>(records), argv[4]);
    return 0;
}
