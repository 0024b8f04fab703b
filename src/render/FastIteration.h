#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "document/ParameterBlock.h"
#include "render/MonochromePicture.h"
#include "render/RenderProgress.h"

namespace orv {

// Where the time of one render went, for the benchmark: nothing in it changes the picture.
struct RenderPhases {
    using Duration = std::chrono::steady_clock::duration;
    Duration setup{};             // buffers, prepared maps, the threads
    Duration firstIteration{};    // the full square mapped once
    Duration laterIterations{};   // every iteration after the first
    Duration packing{};           // the last raster made into the picture
    std::int64_t iterations = 0;  // performed; fewer than asked when the raster settled
};

// Shown a picture on the way and the number of iterations that made it.
using PictureObserver = std::function<void(std::int64_t iteration, const MonochromePicture&)>;

// How the fast renderer spreads its work; the picture never depends on it.
struct FastRenderOptions {
    int threads = 0;      // 0: one per core, at most kMaxRenderThreads; otherwise exactly this many
    int bandRows = 0;     // target rows per unit of work; 0: chosen from the side
    int vectorLanes = 4;  // widest vector in doubles: 1 (none) or 4 (AVX2)
    bool counting = true;  // keep landing counts for maps that are plotted pixel by pixel
    // When every map is counted (or sends rows to points), an iteration that follows one which
    // turned at most this many pixels white (twice as many where they lie scattered) takes
    // their landings away from a list of them (whose room takes 16 bytes per pixel of this
    // limit); -1: the renderer's own choice.
    std::int64_t listedPixels = -1;
    // Whether an iteration after the first may mark the images of the regions its raster holds
    // black for sure instead of counting (see SolidRegion): -1 where the renderer expects it to
    // pay, 0 never, 1 whenever every counted map leaves no hole in its images.
    int regionMarking = -1;
    RenderPhases* phases = nullptr;  // when set, receives where the time went
    // When set, shown on the calling thread the full square the iteration starts from (0),
    // then the picture after each iteration that changes it (1, 2, ...): the render ends at
    // the first that changes nothing. An exception it throws ends the render.
    PictureObserver onPicture{};
};

inline constexpr int kMaxRenderThreads = 8;

// The raster iteration computed for the program: the same picture as renderPictureReference
// (ReferenceIteration.h) for every block, bit for bit, much sooner. Differences in method:
//  - rasters hold one bit per pixel and only black pixels are pushed forward, four at a time
//    where the processor has AVX2; runs of black pixels whose targets provably cover an
//    unbroken span (slopes near 0) are filled without visiting each one, and so are the
//    images of convex regions known to be black under maps that provably leave no hole in
//    them (the full square first, then its images), but for the pixels near their edges;
//  - each raster contains the next (the start is full and the step is monotone), so the
//    sequence only shrinks. Hence no cycle longer than one exists: once an iteration changes
//    nothing the remaining ones are skipped and the progress jumps to its last position. And
//    for maps plotted pixel by pixel the renderer keeps, per target, how many black pixels
//    land there: the next iteration then only takes away the pixels that turned white, found
//    in the raster or, once few turn white, kept in a list as their counts drop to zero;
//  - the work of an iteration is split by bands of target rows, run on several threads when
//    the picture is large enough. Every target row belongs to one band, so threads share
//    nothing they write and the picture does not depend on how the work was split.
std::optional<MonochromePicture> renderPictureFast(const ParameterBlock& block,
                                                   RenderProgress& progress,
                                                   const FastRenderOptions& options = {});

}  // namespace orv
