#pragma once

// Fixtures a benchmark shares between its runs. A function-local static
// would be destroyed after main returns, when the QApplication is already
// gone, and a window or a QProcess torn down then crashes the program after
// all its figures were printed, stopping the benchmark script. Fixtures made
// here are destroyed by tearDownAll(), which main calls while the
// application still exists.
#include <functional>
#include <memory>
#include <vector>

namespace benchfixture {

inline std::vector<std::function<void()>> &teardowns()
{
    static std::vector<std::function<void()>> list;
    return list;
}

// The one T of the process, made on first use.
template <typename T> T &shared()
{
    static std::unique_ptr<T> instance;
    if (!instance) {
        instance = std::make_unique<T>();
        teardowns().emplace_back([] { instance.reset(); });
    }
    return *instance;
}

// Destroys the fixtures, the last made first.
inline void tearDownAll()
{
    auto &list = teardowns();
    while (!list.empty()) {
        const std::function<void()> teardown = std::move(list.back());
        list.pop_back();
        teardown();
    }
}

} // namespace benchfixture
