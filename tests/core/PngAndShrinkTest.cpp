// PNG files read back by libpng's own reader, and pictures shrunk to grey levels checked against
// counting on a grid fine enough for both pixel sizes.

#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "PngDecoding.h"
#include "TestSupport.h"
#include "document/DocumentError.h"
#include "export/GreyPicture.h"
#include "export/PngWriter.h"

namespace orv {
namespace {

MonochromePicture randomPicture(int side, unsigned seed, int percentBlack) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> raster(static_cast<std::size_t>(side) * side);
    for (auto& pixel : raster) {
        pixel = static_cast<int>(random() % 100) < percentBlack ? 0 : 1;
    }
    return packRaster(raster, side);
}

MonochromePicture onePixel(int side, int x, int y) {
    std::vector<std::uint8_t> raster(static_cast<std::size_t>(side) * side, 1);
    raster[static_cast<std::size_t>(y * side + x)] = 0;
    return packRaster(raster, side);
}

TEST(PngWriter, OneBitFileShowsEveryPixelOfThePicture) {
    struct Case {
        const char* what;
        MonochromePicture picture;
    };
    const Case cases[] = {
        {"sparse", randomPicture(64, 1, 10)},         {"dense", randomPicture(128, 2, 90)},
        {"all white", randomPicture(64, 3, 0)},       {"all black", randomPicture(256, 4, 100)},
        {"bottom left", onePixel(64, 0, 0)},          {"top right", onePixel(64, 63, 63)},
        {"bit order in a byte", onePixel(64, 9, 30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto png = test::decodePng(encodePng(c.picture));
        const int side = c.picture.side();
        ASSERT_EQ(png.width, side);
        ASSERT_EQ(png.height, side);
        EXPECT_EQ(png.bitDepth, 1);
        EXPECT_EQ(png.colourType, 0);
        for (int row = 0; row < side; ++row) {
            for (int x = 0; x < side; ++x) {
                ASSERT_EQ(png.at(x, row), c.picture.isBlack(x, side - 1 - row) ? 0 : 255)
                    << "x " << x << ", row " << row;
            }
        }
    }
}

TEST(PngWriter, GreyFileKeepsEveryLevel) {
    for (const int side : {1, 16, 100}) {
        SCOPED_TRACE(side);
        GreyPicture grey{
            .side = side,
            .pixels = std::vector<std::uint8_t>(static_cast<std::size_t>(side) * side)};
        // Every level, and neighbours that differ, so that filters and order both show.
        for (std::size_t i = 0; i < grey.pixels.size(); ++i) {
            grey.pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 16);
        }
        const auto png = test::decodePng(encodePng(grey));
        ASSERT_EQ(png.width, side);
        ASSERT_EQ(png.height, side);
        EXPECT_EQ(png.bitDepth, 8);
        EXPECT_EQ(png.colourType, 0);
        EXPECT_EQ(png.grey, grey.pixels);
    }
}

TEST(PngWriter, WritesTheWholeFileOrNothing) {
    test::TempDir dir;
    const auto picture = randomPicture(64, 5, 50);
    writePng(picture, dir.file("out.png"));
    EXPECT_EQ(test::readAll(dir.file("out.png")), encodePng(picture));

    EXPECT_THROW(writePng(picture, dir.file("missing/out.png")), FileError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// The share of white in each target pixel, counted on a grid whose cells divide both a source
// and a target pixel: a different way to the same exact numbers.
std::vector<std::uint8_t> countedGrey(const MonochromePicture& picture, int side) {
    const int source = picture.side();
    const int cells = std::lcm(source, side);
    const int perSource = cells / source;
    const int perTarget = cells / side;
    std::vector<std::uint8_t> grey;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            std::int64_t white = 0;
            for (int v = row * perTarget; v < (row + 1) * perTarget; ++v) {
                for (int u = column * perTarget; u < (column + 1) * perTarget; ++u) {
                    white += picture.isBlack(u / perSource, source - 1 - v / perSource) ? 0 : 1;
                }
            }
            const std::int64_t all = std::int64_t{perTarget} * perTarget;
            grey.push_back(static_cast<std::uint8_t>((255 * white + all / 2) / all));
        }
    }
    return grey;
}

TEST(ShrinkToGrey, EachPixelIsTheShareOfWhiteItCovers) {
    struct Case {
        int source, side, percentBlack;
    };
    for (const Case& c :
         {Case{64, 64, 50}, Case{64, 32, 50}, Case{64, 48, 30}, Case{64, 7, 70}, Case{64, 5, 50},
          Case{64, 1, 40}, Case{128, 96, 20}, Case{128, 100, 60}}) {
        SCOPED_TRACE(testing::Message() << c.source << " to " << c.side);
        const auto picture = randomPicture(c.source, static_cast<unsigned>(c.side), c.percentBlack);
        const GreyPicture grey = shrinkToGrey(picture, c.side);
        ASSERT_EQ(grey.side, c.side);
        EXPECT_EQ(grey.pixels, countedGrey(picture, c.side));
    }
}

TEST(ShrinkToGrey, RefusesSidesItCannotMake) {
    const auto picture = randomPicture(64, 6, 50);
    EXPECT_THROW(shrinkToGrey(picture, 0), std::invalid_argument);
    EXPECT_THROW(shrinkToGrey(picture, 65), std::invalid_argument);
}

}  // namespace
}  // namespace orv
