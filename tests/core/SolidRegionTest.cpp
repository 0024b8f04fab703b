#include "render/SolidRegion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "render/PreparedMap.h"

namespace orv {
namespace {

// The cells a region's pixels reach under a map, by the defining loop's doubles, as a
// side x side grid.
std::vector<bool> cellsReached(const SolidRegion& region, const PreparedMap& map, int side) {
    std::vector<bool> reached(static_cast<std::size_t>(side) * side, false);
    for (int y = 0; y < side; ++y) {
        const ColumnRange range = region.columnsOnRow(y);
        for (int x = range.first; x <= range.last; ++x) {
            const double tx = map.targetX(x, y);
            const double ty = map.targetY(x, y);
            if (tx > -1.0 && tx < side && ty > -1.0 && ty < side) {
                reached[static_cast<std::size_t>(static_cast<int>(ty)) * side +
                        static_cast<std::size_t>(static_cast<int>(tx))] = true;
            }
        }
    }
    return reached;
}

std::string describe(const AffineMap& m) {
    char text[200];
    std::snprintf(text, sizeof text, "{%a, %a, %a, %a, %a, %a}", m.a, m.b, m.c, m.d, m.e, m.f);
    return text;
}

// What the renderer relies on, checked pixel by pixel: every cell of the image receives a pixel
// of the region, every pixel of the core that lands does so in a cell of the image, and the
// core lies in the region. Returns the image (empty when the map allows none).
std::optional<SolidRegion> checkImage(const SolidRegion& region, const AffineMap& affine, int side,
                                      int& imagedCells) {
    const PreparedMap map(affine, side);
    std::optional<SolidRegion> image = region.imageUnder(map);
    if (!image) {
        EXPECT_TRUE(map.spanBorder() == 0 || std::fabs(map.offsetX()) > 2 * side ||
                    std::fabs(map.offsetY()) > 2 * side)
            << describe(affine);
        return image;
    }
    const std::vector<bool> reached = cellsReached(region, map, side);
    const SolidRegion core = region.coreFor(map);
    for (int y = 0; y < side; ++y) {
        const ColumnRange cells = image->columnsOnRow(y);
        for (int x = cells.first; x <= cells.last; ++x) {
            ++imagedCells;
            if (!reached[static_cast<std::size_t>(y) * side + static_cast<std::size_t>(x)]) {
                ADD_FAILURE() << "cell (" << x << ", " << y << ") of the image receives no pixel "
                              << "under " << describe(affine) << " at " << side;
                return std::nullopt;
            }
        }
        const ColumnRange inside = region.columnsOnRow(y);
        const ColumnRange deep = core.columnsOnRow(y);
        if (!deep.empty() && (deep.first < inside.first || deep.last > inside.last)) {
            ADD_FAILURE() << "core row " << y << " leaves the region under " << describe(affine);
            return std::nullopt;
        }
        for (int x = deep.first; x <= deep.last; ++x) {
            const double tx = map.targetX(x, y);
            const double ty = map.targetY(x, y);
            if (!(tx > -1.0 && tx < side && ty > -1.0 && ty < side)) {
                continue;
            }
            const ColumnRange target = image->columnsOnRow(static_cast<int>(ty));
            const int column = static_cast<int>(tx);
            if (column < target.first || column > target.last) {
                ADD_FAILURE() << "core pixel (" << x << ", " << y << ") lands outside the image "
                              << "under " << describe(affine) << " at " << side;
                return std::nullopt;
            }
        }
    }
    return image;
}

// Maps that leave no hole, at and beside the limits that allow it, and ones that do not.
std::vector<AffineMap> awkwardMaps() {
    std::vector<AffineMap> maps;
    const double edge = 1 - 0x1p-4;
    for (const double sum : {0.3, 0.7, edge - 0x1p-40, edge, edge + 0x1p-40}) {
        for (const double turn : {0.0, 0.2, 0.785398163397448, 1.5707963267948966, 2.5}) {
            const double scale = sum / (std::fabs(std::cos(turn)) + std::fabs(std::sin(turn)));
            const double ca = scale * std::cos(turn);
            const double sa = scale * std::sin(turn);
            maps.push_back({ca, -sa, sa, ca, 0.5 - 0.5 * (ca - sa), 0.5 - 0.5 * (sa + ca)});
            maps.push_back({ca, sa, sa, -ca, 0.1, 0.6});  // mirrored
        }
    }
    maps.push_back({0x1p-40, -0.5, 0.5, 0x1p-40, 0.6, 0.2});      // planes all but flat
    maps.push_back({0.0, -0.5, 0.5, 0.0, 0.6, 0.2});              // planes flat
    maps.push_back({0x1p-1030, -0.5, 0.5, 0x1p-1030, 0.6, 0.2});  // bounds beyond the doubles
    maps.push_back({0.45, 0.44, 0.44, 0.45, 0.05, 0.0});          // nearly flat: a wide border
    maps.push_back({0.5, 0.25, -0.25, 0.5, 0.25, 0.4});           // exact steps
    maps.push_back({0.5, -0.5, 0.5, 0.5, 0.0, 0.0});              // the dragon's turns
    maps.push_back({-0.5, -0.5, 0.5, -0.5, 1.0, 0.0});
    maps.push_back({0.5, -0.5, 0.5, 0.5, 0.3137 / 64, 0.1234 / 64});
    maps.push_back({0.6, 0.1, 0.1, 0.6, 2.0, 0.0});       // offsets at 2N: lands nowhere
    maps.push_back({0.6, 0.1, 0.1, 0.6, -1.2, 0.3});      // most targets beyond the left edge
    maps.push_back({0.6, -0.1, 0.1, 0.6, 0.2, 0.9});      // and beyond the top
    maps.push_back({0.6, -0.1, 0.1, 0.6, -0.4, -0.4});    // many folded onto row and column 0
    maps.push_back({0.3, 0.05, -0.05, 0.3, -0.1, -0.1});  // the same, shrinking more
    maps.push_back({0.97, -0.05, 0.05, 0.97, 0.0, 0.0});  // a turn that leaves holes
    return maps;
}

// Every awkward map from the full square, then from the images of a few of them, at two sides.
// (Below 128 pixels few maps allow images: their border would be too wide.)
TEST(SolidRegion, ImagesAreReachedAndCoresLandInThem) {
    const std::vector<AffineMap> maps = awkwardMaps();
    for (const int side : {128, 256}) {
        int imagedCells = 0;
        std::vector<SolidRegion> sources = {SolidRegion::square(side)};
        for (const std::size_t k : {std::size_t{0}, std::size_t{11}, std::size_t{26}}) {
            int cells = 0;
            if (std::optional<SolidRegion> image =
                    checkImage(SolidRegion::square(side), maps[k], side, cells)) {
                sources.push_back(*image);
            }
        }
        for (const SolidRegion& source : sources) {
            for (const AffineMap& map : maps) {
                checkImage(source, map, side, imagedCells);
                if (testing::Test::HasFailure()) {
                    return;
                }
            }
        }
        // The images must not all be empty: the test would then prove nothing.
        EXPECT_GT(imagedCells, side * side) << "at " << side;
    }
}

// Chains of random shrinking maps, as the iterations make them: each image becomes the source
// of the next.
TEST(SolidRegion, ChainsOfImagesKeepTheirPromises) {
    std::mt19937_64 random(20261210);
    const auto uniform = [&](double low, double high) {
        return low + (high - low) * static_cast<double>(random() >> 11) * 0x1p-53;
    };
    int imagedCells = 0;
    for (int chain = 0; chain < 60; ++chain) {
        const int side = chain % 3 == 0 ? 256 : 128;
        SolidRegion region = SolidRegion::square(side);
        for (int depth = 0; depth < 3; ++depth) {
            AffineMap map;
            if (random() % 2 == 0) {
                const double scale = uniform(0.3, 0.92);
                const double turn = uniform(-3.2, 3.2);
                map = {scale * std::cos(turn), -scale * std::sin(turn), scale * std::sin(turn),
                       scale * std::cos(turn), uniform(-0.2, 0.7),      uniform(-0.2, 0.7)};
            } else {
                map = {uniform(-0.5, 0.5), uniform(-0.45, 0.45), uniform(-0.45, 0.45),
                       uniform(-0.5, 0.5), uniform(-0.1, 0.8),   uniform(-0.1, 0.8)};
            }
            std::optional<SolidRegion> image = checkImage(region, map, side, imagedCells);
            if (testing::Test::HasFailure()) {
                return;
            }
            if (!image || image->sampledArea(4) == 0) {
                break;
            }
            region = *image;
        }
    }
    EXPECT_GT(imagedCells, 50000);
}

// Truncation sends targets in (-1, 0) to column 0 (row 0), a cell up to two columns from
// them. Here the square's image ends at X = 0.95 (Y = 0.95, under a map turned a quarter), so
// column 0 (row 0) is not in it, while pixels as deep inside the square as the core reaches
// land at X (Y) in (-1, 0): the core must leave them out. (The map shrinks by 0.15, so the
// core's room is little more than a column of the image.)
TEST(SolidRegion, CoresLeaveOutPixelsFoldedOntoColumnOrRowZero) {
    const int side = 512;
    const double offset = (0.95 - 0.15 * (side - 1)) / side;
    for (const bool rows : {false, true}) {
        const AffineMap affine = rows ? AffineMap{0.02, -0.15, 0.15, 0.0, 0.3, offset}
                                      : AffineMap{0.15, 0.0, 0.02, 0.15, offset, 0.3};
        const PreparedMap map(affine, side);
        ASSERT_GT(map.spanBorder(), 0);
        const SolidRegion core = SolidRegion::square(side).coreFor(map);
        int foldedDeep = 0;  // pixels as deep inside the square as the core reaches, folding
        int foldedInCore = 0;
        for (int y = 0; y < side; ++y) {
            const ColumnRange deep = core.columnsOnRow(y);
            for (int x = 0; x < side; ++x) {
                const double folding = rows ? map.targetY(x, y) : map.targetX(x, y);
                if (!(folding > -1.0 && folding < 0.0)) {
                    continue;
                }
                const int edge = std::min({x, y, side - 1 - x, side - 1 - y});
                foldedDeep += edge >= 9 ? 1 : 0;
                foldedInCore += x >= deep.first && x <= deep.last ? 1 : 0;
            }
        }
        EXPECT_GT(foldedDeep, 1000) << describe(affine);
        EXPECT_EQ(foldedInCore, 0) << describe(affine);
        int imagedCells = 0;
        checkImage(SolidRegion::square(side), affine, side, imagedCells);
    }
}

TEST(SolidRegion, TheSquareHoldsEveryPixelAndAnImageItsRowsOnly) {
    const int side = 128;
    const SolidRegion square = SolidRegion::square(side);
    EXPECT_EQ(square.sampledArea(1), side * side);
    EXPECT_EQ(square.columnsOnRow(0).first, 0);
    EXPECT_EQ(square.columnsOnRow(side - 1).last, side - 1);
    // Half the square's size turned a little, a quarter of the way in: its corners on rows 26
    // (25.65) and 102 (101.65).
    const std::optional<SolidRegion> image =
        square.imageUnder(PreparedMap({0.5, 0.05, -0.05, 0.5, 0.25, 0.25}, side));
    ASSERT_TRUE(image.has_value());
    EXPECT_GE(image->firstRow(), 26);
    EXPECT_LE(image->lastRow(), 102);
    EXPECT_GT(image->sampledArea(1), 60 * 60);
    EXPECT_LT(image->sampledArea(1), 65 * 65);
}

}  // namespace
}  // namespace orv
