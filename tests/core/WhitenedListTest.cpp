#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "render/WhitenedList.h"

namespace orv {
namespace {

TEST(ListSplit, MovesTowardsTheFasterPartByTheRowsThatCarryHalfTheDifference) {
    EXPECT_EQ(balancedSplit(1024, 2048, 500, 500), 1024);
    EXPECT_EQ(balancedSplit(1024, 2048, 500, 560), 1024);  // as likely noise
    EXPECT_EQ(balancedSplit(1024, 2048, 500, 580), 1024 + 64);
    // 100 of the upper part's 300 are to move: a third of its 1024 rows, 341, in steps of 8.
    EXPECT_EQ(balancedSplit(1024, 2048, 100, 300), 1024 + 336);
    EXPECT_EQ(balancedSplit(1024, 2048, 300, 100), 1024 - 336);
    // A part that took no measurable time says nothing about the rows.
    EXPECT_EQ(balancedSplit(1000, 2048, 0, 300), 1000);
    // Each part keeps at least an eighth of the side, and tiny sides are not split anew.
    EXPECT_EQ(balancedSplit(1024, 2048, 1, 1000000), 1024 + 504);
    EXPECT_EQ(balancedSplit(1800, 2048, 1, 1000000), 2048 - 256);
    EXPECT_EQ(balancedSplit(300, 2048, 1000000, 1), 256);
    EXPECT_EQ(balancedSplit(16, 24, 1, 1000), 16);
}

TEST(ListSplit, SettlesWhereBothPartsTakeAboutAsLongOverUnevenRows) {
    // Rows below 600 cost five times as much as the others; a row of one part is also
    // slower by a share that changes, as the cores of a virtual machine do.
    for (const int slower : {0, 1}) {
        const auto busy = [&](int from, int to, int part) {
            std::int64_t cost = 0;
            for (int row = from; row < to; ++row) {
                cost += row < 600 ? 5 : 1;
            }
            return part == slower ? cost * 5 / 4 : cost;
        };
        int split = 1024;
        for (int step = 0; step < 12; ++step) {
            split = balancedSplit(split, 2048, busy(0, split, 0), busy(split, 2048, 1));
        }
        const std::int64_t lower = busy(0, split, 0);
        const std::int64_t upper = busy(split, 2048, 1);
        // Within the cost of a step of 8 of the dearest rows.
        EXPECT_LE(std::llabs(lower - upper), 2 * 8 * 5 * 5 / 4) << "slower part " << slower;
        EXPECT_EQ(split % 8, 0);
    }
}

}  // namespace
}  // namespace orv
