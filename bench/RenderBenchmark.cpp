// The defining loop against the fast renderer on 2048-pixel documents.
//
//   orv_render_benchmark [Google Benchmark flags]
//       times both renderers on every document and ends with a table of the median times and
//       their ratio, with the geometric mean of the ratios;
//   orv_render_benchmark --peak-memory=RENDERER:DOCUMENT
//       renders once (RENDERER is reference or fast) and prints how far the peak resident
//       memory of the process grew meanwhile; run it in a fresh process per measurement.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "BenchmarkDocuments.h"
#include "render/RasterIteration.h"
#include "render/ReferenceIteration.h"

namespace {

using orv::MonochromePicture;
using orv::ParameterBlock;
using orv::RenderProgress;
using Renderer = std::optional<MonochromePicture> (*)(const ParameterBlock&, RenderProgress&);

constexpr const char* kReference = "reference";
constexpr const char* kFast = "fast";

void render(benchmark::State& state, Renderer renderer, const ParameterBlock& block) {
    for (auto _ : state) {
        RenderProgress silent;
        std::optional<MonochromePicture> picture = renderer(block, silent);
        benchmark::DoNotOptimize(picture);
        if (!picture) {
            state.SkipWithError("the render stopped");
        }
    }
}

// The console output as usual, then one line per document: median (or single) real times of
// both renderers and how many times faster the fast one is.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (run.error_occurred || !(median || single)) {
                continue;
            }
            const std::string name = run.run_name.function_name;
            const std::size_t slash = name.find('/');
            const std::string renderer = name.substr(0, slash);
            const std::string document = name.substr(slash + 1);
            milliseconds_[document][renderer] = run.GetAdjustedRealTime();
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-28s %14s %14s %10s\n", "document", "reference ms", "fast ms", "ratio");
        double logSum = 0;
        int ratios = 0;
        for (const auto& [document, times] : milliseconds_) {
            const auto reference = times.find(kReference);
            const auto fast = times.find(kFast);
            if (fast == times.end()) {
                continue;
            }
            if (reference == times.end()) {
                std::printf("%-28s %14s %14.2f %10s\n", document.c_str(), "-", fast->second, "-");
                continue;
            }
            const double ratio = reference->second / fast->second;
            logSum += std::log(ratio);
            ++ratios;
            std::printf("%-28s %14.1f %14.2f %10.1f\n", document.c_str(), reference->second,
                        fast->second, ratio);
        }
        if (ratios > 0) {
            std::printf("%-28s %14s %14s %10.1f\n", "geometric mean", "", "",
                        std::exp(logSum / ratios));
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> milliseconds_;
};

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;  // KiB on Linux
}

int measurePeakMemory(const std::string& request) {
    const std::size_t colon = request.find(':');
    const std::string renderer = request.substr(0, colon);
    const std::string name = colon == std::string::npos ? "" : request.substr(colon + 1);
    for (const orv::bench::BenchmarkDocument& document : orv::bench::benchmarkDocuments()) {
        if (document.name != name) {
            continue;
        }
        const Renderer render =
            renderer == kReference ? &orv::renderPictureReference : &orv::renderPicture;
        const long before = peakResidentKiB();
        RenderProgress silent;
        const bool done = render(document.block, silent).has_value();
        const long after = peakResidentKiB();
        std::printf(
            "%s %s: peak resident memory %ld KiB before the render, %ld KiB after: "
            "grew by %ld KiB%s\n",
            renderer.c_str(), name.c_str(), before, after, after - before,
            done ? "" : " (stopped)");
        return 0;
    }
    std::fprintf(stderr, "no document named '%s'\n", name.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--peak-memory=", 14) == 0) {
            return measurePeakMemory(argv[i] + 14);
        }
    }
    static const std::vector<orv::bench::BenchmarkDocument> documents =
        orv::bench::benchmarkDocuments();
    for (const orv::bench::BenchmarkDocument& document : documents) {
        if (document.referenceToo) {
            benchmark::RegisterBenchmark((std::string(kReference) + "/" + document.name).c_str(),
                                         render, &orv::renderPictureReference, document.block)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark((std::string(kFast) + "/" + document.name).c_str(), render,
                                     &orv::renderPicture, document.block)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
