// A whole check run of a 1 MiB settings file against one parse of it: with
// the parse kept while the file is unchanged, a run should cost about one
// parse (target: at most 1.5 times).
#include "check_file.h"
#include "profile_store.h"
#include "settings_generator.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

std::string settingsPath() {
    static const std::string path = [] {
        const auto p = std::filesystem::temp_directory_path() / "korvane-bench-1mib.cfg";
        std::ofstream(p, std::ios::binary) << korvane::bench::generateSettings(1 << 20);
        return p.string();
    }();
    return path;
}

// Reading and parsing the file once, from a cold cache.
void BM_ParseFile(benchmark::State& state) {
    const std::string path = settingsPath();
    auto& store = korvane::ProfileStore::instance();
    for (auto _ : state) {
        store.clearCache();
        benchmark::DoNotOptimize(store.load(path).profile->text().size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ParseFile)->Unit(benchmark::kMicrosecond);

// The whole check run, 240 lookups and the report, from the same cold cache.
void BM_CheckRun(benchmark::State& state) {
    const std::string path = settingsPath();
    auto& store = korvane::ProfileStore::instance();
    for (auto _ : state) {
        store.clearCache();
        const auto outcome = korvane::checkFile(path);
        if (outcome.errors != 0)
            state.SkipWithError("the generated settings should be clean");
        benchmark::DoNotOptimize(outcome.lines.data());
    }
}
BENCHMARK(BM_CheckRun)->Unit(benchmark::kMicrosecond);

// Prints the run/parse ratio after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto parse = times_.find("BM_ParseFile");
        const auto check = times_.find("BM_CheckRun");
        if (parse != times_.end() && check != times_.end() && parse->second > 0) {
            std::printf("check run / one parse = %.2f (target: at most 1.50)\n",
                        check->second / parse->second);
        }
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove(settingsPath());
}
