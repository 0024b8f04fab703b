// Box-counting on pictures whose dimension is known. On a raster of side 2^n, the digital
// versions below are exactly self-similar over power-of-two boxes: the right-angled Sierpinski
// gasket {(x, y): x AND y = 0} meets exactly 3^(n-k) boxes of side 2^k, a filled square
// 4^(n-k), a full row or the diagonal 2^(n-k). Their counts are exact, so the least-squares
// slope is exactly log2 3, 2 or 1, up to the rounding of a few logarithms: 1e-12.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "document/SystemFitting.h"
#include "render/BoxDimension.h"
#include "render/RasterIteration.h"

namespace orv {
namespace {

MonochromePicture pictureOf(int side, const std::function<bool(int, int)>& black) {
    std::vector<std::uint8_t> raster(static_cast<std::size_t>(side) * side, 1);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            if (black(x, y)) {
                raster[static_cast<std::size_t>(y) * side + x] = 0;
            }
        }
    }
    return packRaster(raster, side);
}

TEST(BoxDimension, ExactDigitalSetsGiveTheirDimension) {
    const struct {
        const char* name;
        std::function<bool(int, int)> black;
        double dimension;
    } sets[] = {
        {"Sierpinski gasket", [](int x, int y) { return (x & y) == 0; }, std::log2(3.0)},
        {"filled square", [](int, int) { return true; }, 2.0},
        {"bottom row", [](int, int y) { return y == 0; }, 1.0},
        {"diagonal", [](int x, int y) { return x == y; }, 1.0},
        {"single pixel", [](int x, int y) { return x == 5 && y == 9; }, 0.0},
    };
    EXPECT_EQ(boxCountingDimension(pictureOf(64, [](int, int) { return false; })), std::nullopt);
    for (const auto& set : sets) {
        for (const int side : {64, 512}) {
            SCOPED_TRACE(std::string(set.name) + " at " + std::to_string(side));
            const auto estimate = boxCountingDimension(pictureOf(side, set.black));
            ASSERT_TRUE(estimate);
            EXPECT_NEAR(estimate->dimension, set.dimension, 1e-12);
            EXPECT_EQ(estimate->smallestBox, 1);
            EXPECT_EQ(estimate->largestBox, side / 8);
        }
    }
}

TEST(BoxDimension, TheRenderedKochCurveComesOutJustBelowItsDimension) {
    // A curve drawn one pixel thin: at the finest boxes its trace has gaps and runs straight
    // where the curve wiggles below a pixel, so the counts there fall short and the slope sits
    // below log 4 / log 3 = 1.2619, nearing it as the picture grows (1.208 at 256 pixels,
    // 1.223 at 1024, 1.233 at 2048). At 1024 it must be within 0.06 of it, and below.
    const double s = std::sqrt(3.0) / 6.0;
    const AffineMap koch[] = {{1.0 / 3, 0, 0, 1.0 / 3, 0, 0},
                              {1.0 / 6, -s, s, 1.0 / 6, 1.0 / 3, 0},
                              {1.0 / 6, s, -s, 1.0 / 6, 0.5, s},
                              {1.0 / 3, 0, 0, 1.0 / 3, 2.0 / 3, 0}};
    RenderProgress silent;
    const auto picture = renderPicture(fittedDocument(koch, fittingFrame(koch), 4), silent);
    ASSERT_TRUE(picture);
    const auto estimate = boxCountingDimension(*picture);
    ASSERT_TRUE(estimate);
    const double dimension = std::log(4.0) / std::log(3.0);
    EXPECT_LT(estimate->dimension, dimension);
    EXPECT_GT(estimate->dimension, dimension - 0.06);
}

}  // namespace
}  // namespace orv
