// The defining loop against the fast renderer on 2048-pixel documents.
//
//   orv_render_benchmark [Google Benchmark flags]
//       times both renderers on every document and ends with a table of the median times and
//       their ratio, with the geometric mean of the ratios, and a table of where the fast
//       renderer's time goes on each document it timed (median of kPhaseRenders renders);
//   orv_render_benchmark --peak-memory=RENDERER:DOCUMENT
//       renders once (RENDERER is reference or fast) and prints how far the peak resident
//       memory of the process grew meanwhile; run it in a fresh process per measurement.
//   orv_render_benchmark --write-documents=DIR
//       writes every document into DIR as NAME.orv, for timing whole processes
//       (bench/whole-process).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "BenchmarkDocuments.h"
#include "document/Archive.h"
#include "document/ParameterFile.h"
#include "export/AtomicFile.h"
#include "export/BmpWriter.h"
#include "render/FastIteration.h"
#include "render/RasterIteration.h"
#include "render/ReferenceIteration.h"

namespace {

using orv::MonochromePicture;
using orv::ParameterBlock;
using orv::RenderProgress;
using Renderer = std::optional<MonochromePicture> (*)(const ParameterBlock&, RenderProgress&);

constexpr const char* kReference = "reference";
constexpr const char* kFast = "fast";

// Renders per document for the table of phases; it reports their medians.
constexpr int kPhaseRenders = 5;

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

    std::set<std::string> fastDocuments() const {
        std::set<std::string> names;
        for (const auto& [document, times] : milliseconds_) {
            if (times.contains(kFast)) {
                names.insert(document);
            }
        }
        return names;
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

double milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Where the fast renderer's time goes: set-up, the first iteration, the later ones, packing
// the last raster into the picture and encoding that as a BMP in memory (what orv-render
// writes). Each column is its own median, so the columns need not add up to the whole.
void reportPhases(const std::vector<orv::bench::BenchmarkDocument>& documents,
                  const std::set<std::string>& names) {
    std::printf("\n%-28s %8s %8s %8s %10s %8s %8s %8s\n", "phases (median ms)", "set-up", "first",
                "later", "iterations", "packing", "BMP", "whole");
    for (const orv::bench::BenchmarkDocument& document : documents) {
        if (!names.contains(document.name)) {
            continue;
        }
        std::vector<double> setup, first, later, packing, output, whole;
        std::int64_t iterations = 0;
        for (int i = 0; i < kPhaseRenders; ++i) {
            orv::RenderPhases phases;
            orv::FastRenderOptions options;
            options.phases = &phases;
            RenderProgress silent;
            const auto start = std::chrono::steady_clock::now();
            const std::optional<MonochromePicture> picture =
                orv::renderPictureFast(document.block, silent, options);
            const auto rendered = std::chrono::steady_clock::now();
            if (!picture) {
                return;
            }
            const std::vector<std::uint8_t> bmp = orv::encodeBmp(*picture);
            benchmark::DoNotOptimize(bmp.data());
            const auto encoded = std::chrono::steady_clock::now();
            setup.push_back(milliseconds(phases.setup));
            first.push_back(milliseconds(phases.firstIteration));
            later.push_back(milliseconds(phases.laterIterations));
            packing.push_back(milliseconds(phases.packing));
            output.push_back(milliseconds(encoded - rendered));
            whole.push_back(milliseconds(encoded - start));
            iterations = phases.iterations;
        }
        std::printf("%-28s %8.2f %8.2f %8.2f %10lld %8.2f %8.2f %8.2f\n", document.name.c_str(),
                    median(setup), median(first), median(later), static_cast<long long>(iterations),
                    median(packing), median(output), median(whole));
    }
}

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

int writeDocuments(const std::string& directory) {
    for (const orv::bench::BenchmarkDocument& document : orv::bench::benchmarkDocuments()) {
        orv::Archive archive = orv::Archive::forStoring();
        orv::storeParameters(document.block, archive);
        orv::writeFileAtomically(directory + "/" + document.name + ".orv", archive.bytes());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--peak-memory=", 14) == 0) {
            return measurePeakMemory(argv[i] + 14);
        }
        if (std::strncmp(argv[i], "--write-documents=", 18) == 0) {
            return writeDocuments(argv[i] + 18);
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
    reportPhases(documents, reporter.fastDocuments());
    benchmark::Shutdown();
    return 0;
}
