#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <vector>

#include "render/BitRaster.h"
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

// A raster and the one made from it, where `white` pixels of rows `fromRow` on turned white,
// with the words that hold them named.
struct Whitening {
    Whitening(int side, int white, int fromRow, unsigned seed) : before(side), now(side) {
        before.fillBlack();
        now.fillBlack();
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> row(fromRow, side - 1);
        std::uniform_int_distribution<int> column(0, side - 1);
        for (int turned = 0; turned < white;) {
            const int y = row(random);
            const int x = column(random);
            std::uint64_t& word = now.row(y)[x / 64];
            const std::uint64_t bit = std::uint64_t{1} << (x % 64);
            if ((word & bit) != 0) {
                word &= ~bit;
                now.setWhitenedWords(y, now.whitenedWords(y) | std::uint32_t{1} << (x / 64));
                ++turned;
            }
        }
    }
    BitRaster before;
    BitRaster now;
};

// Lists the pixels that turned white in `parts` parts, one after the other, and gives the
// raster restore() makes from the list (and `now`, which it changes): `before` again when each
// was listed once.
BitRaster collectedAndRestored(Whitening& whitening, std::size_t capacity, int parts,
                               std::int64_t& listed) {
    const int side = whitening.before.side();
    const std::vector<PreparedMap> maps = {PreparedMap({0.5, 0.0, 0.0, 0.5, 0.1, 0.2}, side)};
    std::vector<PreparedMap> counted = maps;
    counted[0].setCounted(true);
    std::vector<std::uint32_t> storage(WhitenedList::storageFor(capacity));
    WhitenedList list(counted, side, capacity, storage);
    for (int part = 0; part < parts; ++part) {
        list.collectPart(part, parts, whitening.before, whitening.now);
    }
    list.endCollect(parts);
    listed = list.whitened();
    BitRaster restored(side);
    std::vector<std::uint8_t> counts(static_cast<std::size_t>(side) * side, 1);
    std::vector<std::uint64_t> landed(static_cast<std::size_t>(side) * side / 64);
    list.restore(whitening.now, restored, counts.data(), landed.data());
    return restored;
}

bool sameBits(const BitRaster& a, const BitRaster& b) {
    for (int y = 0; y < a.side(); ++y) {
        for (int i = 0; i < a.wordsPerRow(); ++i) {
            if (a.row(y)[i] != b.row(y)[i]) {
                return false;
            }
        }
    }
    return true;
}

TEST(ListCollection, ListsEveryWhitenedPixelOnceInOneOrTwoParts) {
    // Spread over the raster, and all in its upper rows, where one part finds them all; the
    // second fills the list to the last place.
    for (const auto& [white, fromRow] : {std::pair{3000, 0}, std::pair{4000, 200}}) {
        for (const int parts : {1, 2}) {
            Whitening whitening(256, white, fromRow, static_cast<unsigned>(white));
            std::int64_t listed = 0;
            const BitRaster restored = collectedAndRestored(whitening, 2000, parts, listed);
            EXPECT_EQ(listed, white) << parts << " parts";
            EXPECT_TRUE(sameBits(restored, whitening.before)) << parts << " parts";
        }
    }
}

TEST(ListCollection, RefusesMorePixelsThanTheListHolds) {
    for (const int parts : {1, 2}) {
        Whitening whitening(256, 4001, 200, 7);
        std::int64_t listed = 0;
        EXPECT_THROW(collectedAndRestored(whitening, 2000, parts, listed), std::logic_error)
            << parts << " parts";
    }
}

}  // namespace
}  // namespace orv
