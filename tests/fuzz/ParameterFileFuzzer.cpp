// Any bytes as a .orv file, loaded as the program loads a document. When they make one, it is
// stored again (the same bytes must come back) and rendered small by the defining loop, by the
// program's renderer and by the fast renderer with a work split taken from the input: all three
// pictures must agree bit for bit.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>

#include "document/Archive.h"
#include "document/DocumentError.h"
#include "document/ParameterFile.h"
#include "render/FastIteration.h"
#include "render/RasterIteration.h"
#include "render/ReferenceIteration.h"

namespace {

using namespace orv;

// Small enough that the defining loop takes milliseconds: at most 128 pixels and 16 iterations.
// Automatic counts are 12 and 14 at these sizes.
constexpr std::int32_t kLargestSizeIndex = 1;
constexpr std::int32_t kMostIterations = 16;

[[noreturn]] void fail(const char* what, const ParameterBlock& block) {
    std::fprintf(stderr, "%s\nsizeIndex %d, autoIterations %d, iterationCount %d\n", what,
                 block.sizeIndex, block.autoIterations, block.iterationCount);
    for (int k = 0; k < kMapCount; ++k) {
        const AffineMap& m = block.maps[static_cast<std::size_t>(k)];
        std::fprintf(stderr, "  map %d enabled %d: {%a, %a, %a, %a, %a, %a}\n", k,
                     block.enabled[static_cast<std::size_t>(k)], m.a, m.b, m.c, m.d, m.e, m.f);
    }
    std::abort();
}

MonochromePicture finished(std::optional<MonochromePicture> picture, const ParameterBlock& block) {
    if (!picture) {
        fail("a render stopped that nobody asked to stop", block);
    }
    return std::move(*picture);
}

bool samePicture(const MonochromePicture& a, const MonochromePicture& b) {
    return a.side() == b.side() && std::ranges::equal(a.bits(), b.bits());
}

// How the fast renderer splits its work, from the bytes after the block (which the program
// never reads): every choice must give the same picture.
FastRenderOptions workSplit(std::span<const std::uint8_t> tuning) {
    FastRenderOptions options;
    const auto byte = [tuning](std::size_t i) { return i < tuning.size() ? tuning[i] : 0; };
    constexpr int kBandRows[] = {0, 1, 3, 16, 64};
    options.threads = byte(0) % 4;  // 0: one per core
    options.bandRows = kBandRows[byte(1) % std::size(kBandRows)];
    options.vectorLanes = byte(2) % 2 == 0 ? 4 : 1;
    options.counting = byte(3) % 2 == 0;
    constexpr std::int64_t kListedPixels[] = {-1, 0, 1, 40, std::int64_t{1} << 30};
    options.listedPixels = kListedPixels[byte(4) % std::size(kListedPixels)];
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    // The program reads the first kParameterFileSize bytes of a file, and nothing of an empty
    // one.
    const auto file = input.first(std::min(size, kParameterFileSize));
    if (file.empty()) {
        return 0;
    }
    ParameterBlock block = defaultParameters();
    Archive loading = Archive::forLoading(file);
    try {
        loadParameters(block, loading);
    } catch (const ArchiveError&) {
        return 0;  // not a document: the program says so and keeps what it had
    }

    Archive storing = Archive::forStoring();
    storeParameters(block, storing);
    if (!std::ranges::equal(storing.bytes(), file)) {
        fail("a loaded document does not store as the bytes it was loaded from", block);
    }

    block.sizeIndex = std::min(block.sizeIndex, kLargestSizeIndex);
    block.iterationCount = std::min(block.iterationCount, kMostIterations);
    RenderProgress silent;
    const MonochromePicture expected = finished(renderPictureReference(block, silent), block);
    if (!samePicture(expected, finished(renderPicture(block, silent), block))) {
        fail("the program's renderer and the defining loop disagree", block);
    }
    const FastRenderOptions options = workSplit(input.subspan(file.size()));
    if (!samePicture(expected, finished(renderPictureFast(block, silent, options), block))) {
        std::fprintf(stderr,
                     "threads %d, bandRows %d, vectorLanes %d, counting %d, listedPixels %lld\n",
                     options.threads, options.bandRows, options.vectorLanes,
                     options.counting ? 1 : 0, static_cast<long long>(options.listedPixels));
        fail("the fast renderer and the defining loop disagree", block);
    }
    return 0;
}
