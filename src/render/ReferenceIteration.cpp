#include "render/ReferenceIteration.h"

#include <algorithm>
#include <cfloat>
#include <stdexcept>

namespace orv {

static_assert(FLT_EVAL_METHOD == 0, "doubles must be evaluated in double precision");

namespace {

// Truncation toward zero lands inside 0..N-1 exactly when -1 < v < N; NaN fails both tests, so
// no value outside the int range ever reaches the conversion.
bool truncatesInside(double v, double side) {
    return v > -1.0 && v < side;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> iterateRasterReference(const ParameterBlock& block,
                                                                RenderProgress& progress) {
    if (!isValidSizeIndex(block.sizeIndex)) {
        throw std::invalid_argument("picture size index outside 0..5");
    }
    const int shift = shiftForSizeIndex(block.sizeIndex);
    const int n = 1 << shift;
    const double side = n;
    const std::int64_t iterations = iterationsFor(block);

    std::vector<std::uint8_t> current(static_cast<std::size_t>(n) * n, 0);
    std::vector<std::uint8_t> next(current.size());

    ProgressSession session(progress);
    for (std::int64_t t = 0; t < iterations; ++t) {
        if (progress.stopRequested()) {
            return std::nullopt;
        }
        std::fill(next.begin(), next.end(), std::uint8_t{1});
        for (int k = 0; k < kMapCount; ++k) {
            if (block.enabled[k] == 0) {
                continue;
            }
            const AffineMap& m = block.maps[k];
            const double ne = side * m.e;
            const double nf = side * m.f;
            for (int y = 0; y < n; ++y) {
                if (progress.stopRequested()) {
                    return std::nullopt;
                }
                const double rowX = y * m.b + ne;
                const double rowY = y * m.d + nf;
                const std::uint8_t* source =
                    current.data() + (static_cast<std::size_t>(y) << shift);
                for (int x = 0; x < n; ++x) {
                    const double tx = x * m.a + rowX;
                    const double ty = x * m.c + rowY;
                    if (truncatesInside(tx, side) && truncatesInside(ty, side)) {
                        const std::size_t target =
                            (static_cast<std::size_t>(static_cast<int>(ty)) << shift) +
                            static_cast<std::size_t>(static_cast<int>(tx));
                        next[target] &= source[x];
                    }
                }
            }
        }
        current.swap(next);
        progress.setPosition(progressPosition(t, iterations));
    }
    return current;
}

std::optional<MonochromePicture> renderPictureReference(const ParameterBlock& block,
                                                        RenderProgress& progress) {
    auto raster = iterateRasterReference(block, progress);
    if (!raster) {
        return std::nullopt;
    }
    return packRaster(*raster, 1 << shiftForSizeIndex(block.sizeIndex));
}

}  // namespace orv
