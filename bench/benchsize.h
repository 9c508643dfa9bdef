#pragma once

// QUOREL_BENCH_SMOKE=1 runs every benchmark over small inputs and a single
// pass, so that the test run can show each one still builds, runs and exits
// cleanly in a few seconds. Its figures then mean nothing.
#include <cstdlib>
#include <string_view>

namespace benchsize {

inline bool smoke()
{
    const char *value = std::getenv("QUOREL_BENCH_SMOKE");
    return value && *value && std::string_view(value) != "0";
}

// The full size, or the smoke size under QUOREL_BENCH_SMOKE.
template <typename T> T pick(T full, T small)
{
    return smoke() ? small : full;
}

} // namespace benchsize
