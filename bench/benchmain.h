#pragma once

// Google Benchmark's run, with an exit status that tells: 1 when an argument
// is not understood, no benchmark matched, or a benchmark gave up with
// SkipWithError (a wrong result, a file that would not open). The stock main
// returns 0 in all three cases, so a benchmark that stopped working would go
// unnoticed in the test run. Fixtures of benchfixture::shared() are torn
// down before returning.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

#include "benchfixture.h"

namespace benchmain {

class CountingReporter : public benchmark::ConsoleReporter {
public:
    using benchmark::ConsoleReporter::ConsoleReporter;
    void ReportRuns(const std::vector<Run> &reports) override
    {
        for (const Run &run : reports) {
            if (run.error_occurred)
                ++failed;
        }
        benchmark::ConsoleReporter::ReportRuns(reports);
    }
    int failed = 0;
};

// Must be called before benchmark::Initialize(), which takes the flag out.
inline benchmark::ConsoleReporter::OutputOptions outputOptions(int argc, char **argv)
{
    int options = isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color : 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--benchmark_counters_tabular=true") == 0)
            options |= benchmark::ConsoleReporter::OO_Tabular;
    }
    return static_cast<benchmark::ConsoleReporter::OutputOptions>(options);
}

// Runs the benchmarks the arguments select; Qt's own arguments must be gone
// already (QCoreApplication takes them).
inline int run(int argc, char **argv)
{
    CountingReporter reporter(outputOptions(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const std::size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    benchfixture::tearDownAll();
    if (ran == 0) {
        std::fprintf(stderr, "no benchmark matched\n");
        return 1;
    }
    if (reporter.failed > 0) {
        std::fprintf(stderr, "%d benchmark run(s) failed\n", reporter.failed);
        return 1;
    }
    return 0;
}

} // namespace benchmain
