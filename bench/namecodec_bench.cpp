#include "benchmain.h"
#include "benchsize.h"
#include "generate.h"
#include "namecodec/namecodec.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const std::int64_t kZoneBytes = benchsize::pick<std::int64_t>(20 * 1024 * 1024, 256 * 1024);
const int kNames = benchsize::pick(100000, 2000);

struct Inputs {
    std::filesystem::path dir;
    std::string zone, puny, names, out;
    Inputs()
    {
        dir = std::filesystem::temp_directory_path() / ("quorel-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        zone = (dir / "big.zone").string();
        puny = (dir / "big.puny.zone").string();
        names = (dir / "names.txt").string();
        out = (dir / "out.zone").string();
        benchgen::writeZone(zone, kZoneBytes);
        benchgen::writeNames(names, kNames);
        namecodec::ConvertOptions options;
        (void)namecodec::convertFile(zone, puny, options);
    }
    ~Inputs() { std::filesystem::remove_all(dir); }
};

Inputs &inputs()
{
    static Inputs in;
    return in;
}

long peakRssKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void convertZone(
    benchmark::State &state, namecodec::Encoding from, namecodec::Encoding to, const std::string &path)
{
    namecodec::ConvertOptions options;
    options.from = from;
    options.to = to;
    options.keepComment = state.range(0) != 0;
    const long before = peakRssKb();
    for (auto _ : state) {
        auto report = namecodec::convertFile(path, inputs().out, options);
        if (!report.ok())
            state.SkipWithError("conversion failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
    // Growth of the peak over what the process already had: the streaming
    // conversion's own footprint.
    state.counters["peak_growth_MB"] = static_cast<double>(peakRssKb() - before) / 1024.0;
}

void BM_ZoneToPunycode20MB(benchmark::State &state)
{
    convertZone(state, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, inputs().zone);
}
BENCHMARK(BM_ZoneToPunycode20MB)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(benchsize::pick(3, 1));

void BM_ZoneFromPunycode20MB(benchmark::State &state)
{
    convertZone(state, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949, inputs().puny);
}
BENCHMARK(BM_ZoneFromPunycode20MB)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(benchsize::pick(3, 1));

void BM_ToAscii100kNames(benchmark::State &state)
{
    std::ifstream in(inputs().names);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);)
        names.push_back(line);
    for (auto _ : state) {
        for (const auto &n : names)
            benchmark::DoNotOptimize(namecodec::toAscii(n, namecodec::Encoding::Utf8));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(names.size()));
}
BENCHMARK(BM_ToAscii100kNames)->Unit(benchmark::kMillisecond);

void BM_ConvertString(benchmark::State &state)
{
    const std::string name = benchgen::cp949(u"www.메일.예제.한국");
    char out[NAMECODEC_OUTPUT_SIZE];
    for (auto _ : state)
        benchmark::DoNotOptimize(ConvertString(name.c_str(), out, 4, 2));
}
BENCHMARK(BM_ConvertString);

} // namespace

int main(int argc, char **argv)
{
    return benchmain::run(argc, argv);
}
