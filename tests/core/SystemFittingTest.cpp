// The document made for a system of another plane: its frame and its iteration count.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "document/SystemFitting.h"

namespace orv {
namespace {

TEST(SystemFitting, FramesPointsAndRefusesWhatCannotBeMeasured) {
    // Every map sends the plane to (2, 3): the attractor is that point, shown in the middle.
    const AffineMap point[] = {{0, 0, 0, 0, 2, 3}, {0, 0, 0, 0, 2, 3}};
    const Square frame = fittingFrame(point);
    EXPECT_EQ(frame.side, 1.0);
    EXPECT_EQ(frame.x, 1.5);
    EXPECT_EQ(frame.y, 2.5);
    const double huge = std::numeric_limits<double>::max();
    const AffineMap far[] = {{0.5, 0, 0, 0.5, huge, 0}, {0.5, 0, 0, 0.5, -huge, 0}};
    EXPECT_THROW(fittingFrame(far), std::invalid_argument);
    const AffineMap growing[] = {{0.5, 0, 0, 0.5, 0, 0}, {1.01, 0, 0, 0.2, 0, 0}};
    EXPECT_THROW(fittingFrame(growing), std::invalid_argument);
}

TEST(SystemFitting, DocumentsTakeTheCountThatLetsThePictureSettle) {
    const Square unit{0, 0, 1};
    const struct {
        const char* what;
        std::vector<AffineMap> maps;
        std::int32_t sizeIndex;
        std::int32_t autoIterations;
        std::int32_t iterationCount;
    } cases[] = {
        // 512 * sqrt(2) = 724 pixels take 10 halvings; the automatic count is 18.
        {"halving", {{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0.5}}, 3, 1, 18},
        // 0.9^T * 64 * sqrt(2) <= 1 first at T = 43; the dialog takes no more than 32.
        {"slow", {{0.9, 0, 0, 0.9, 0, 0}}, 0, 0, 32},
        // 0.75^T * 64 * sqrt(2) <= 1 first at T = 16, above the automatic 12.
        {"between", {{0.75, 0, 0, 0.75, 0, 0}}, 0, 0, 16},
        // Nothing settles a growing map: the automatic count.
        {"growing", {{2, 0, 0, 2, 0, 0}}, 1, 1, 14},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ParameterBlock block = fittedDocument(c.maps, unit, c.sizeIndex);
        EXPECT_EQ(block.sizeIndex, c.sizeIndex);
        EXPECT_EQ(block.autoIterations, c.autoIterations);
        EXPECT_EQ(block.iterationCount, c.iterationCount);
        for (std::size_t i = 0; i < kMapCount; ++i) {
            EXPECT_EQ(block.enabled[i], i < c.maps.size() ? 1 : 0);
        }
    }
    const std::vector<AffineMap> seven(7, AffineMap{0.5, 0, 0, 0.5, 0, 0});
    EXPECT_THROW(fittedDocument(seven, unit, 0), std::invalid_argument);
    EXPECT_THROW(fittedDocument({}, unit, 0), std::invalid_argument);
}

}  // namespace
}  // namespace orv
