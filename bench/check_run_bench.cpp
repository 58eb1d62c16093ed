// A whole check run of a 1 MiB settings file against one read and parse of
// it: a run loads its file once and searches it once, so it should cost
// about one parse (target: at most 1.5 times). The reader parses nothing
// until asked, so one parse is here the file read and searched through for
// a section that it does not have. Each figure is the median of repeated
// measurements, since the machines it runs on are shared and noisy.
#include "check_result.h"
#include "profile.h"
#include "settings_file.h"
#include "settings_generator.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

constexpr int kRepetitions = 9;

std::string settingsPath() {
    static const std::string path = [] {
        const auto p = std::filesystem::temp_directory_path() / "korvane-bench-1mib.cfg";
        std::ofstream(p, std::ios::binary) << korvane::bench::generateSettings(1 << 20);
        return p.string();
    }();
    return path;
}

void BM_ParseFile(benchmark::State& state) {
    const std::string path = settingsPath();
    const std::string_view absent = "No such section";
    for (auto _ : state) {
        const auto profile = korvane::Profile::parse(korvane::readSettingsFile(path).bytes);
        std::optional<std::size_t> header;
        profile.findSections(std::span(&absent, 1), std::span(&header, 1));
        benchmark::DoNotOptimize(header);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ParseFile)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

// The whole check run: the file read once, 240 lookups and the report.
void BM_CheckRun(benchmark::State& state) {
    const std::string path = settingsPath();
    for (auto _ : state) {
        const auto outcome = korvane::check({path});
        if (outcome.errors != 0)
            state.SkipWithError("the generated settings should be clean");
        benchmark::DoNotOptimize(outcome.lines.data());
    }
}
BENCHMARK(BM_CheckRun)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

// Prints the ratio of the two medians after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median")
                medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto parse = medians_.find("BM_ParseFile");
        const auto check = medians_.find("BM_CheckRun");
        if (parse != medians_.end() && check != medians_.end() && parse->second > 0) {
            std::printf("check run / one parse, medians of %d: %.2f (target: at most 1.50)\n",
                        kRepetitions, check->second / parse->second);
        }
    }

private:
    std::map<std::string, double> medians_;
};

} // namespace

int main(int argc, char** argv) {
    korvane::guardMappedFiles(); // as the programs do: files are mapped
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove(settingsPath());
}
