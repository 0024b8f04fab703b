#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TestSupport.h"
#include "render/RasterIteration.h"
#include "render/ReferenceIteration.h"

namespace orv {
namespace {

using Renderer = std::optional<MonochromePicture> (*)(const ParameterBlock&, RenderProgress&);

// Every case runs through the defining loop and through the renderer the program uses.
class RasterIteration : public ::testing::TestWithParam<Renderer> {
protected:
    MonochromePicture render(const ParameterBlock& block) {
        RenderProgress silent;
        auto picture = GetParam()(block, silent);
        if (!picture) {
            throw std::logic_error("render did not finish");
        }
        return std::move(*picture);
    }
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST_P(RasterIteration, IdentityKeepsTheFullSquareAtEverySize) {
    for (int sizeIndex = 0; sizeIndex < kSizeCount; sizeIndex += 5) {
        ParameterBlock block = defaultParameters();
        block.sizeIndex = sizeIndex;
        const auto picture = render(block);
        EXPECT_EQ(picture.side(), 64 << sizeIndex);
        EXPECT_EQ(test::countBlack(picture), picture.side() * picture.side());
    }
}

TEST_P(RasterIteration, SierpinskiTriangleAt64HasThreeToTheSixthPixels) {
    ParameterBlock block = test::emptyBlock(0, 0);
    block.autoIterations = 1;  // 12 iterations
    test::setMap(block, 0, {0.5, 0, 0, 0.5, 0, 0});
    test::setMap(block, 3, {0.5, 0, 0, 0.5, 0.5, 0});
    test::setMap(block, 5, {0.5, 0, 0, 0.5, 0, 0.5});
    const auto picture = render(block);
    EXPECT_EQ(test::countBlack(picture), 729);
    // The right angle sits at the bottom left; the top-right quarter stays empty.
    EXPECT_TRUE(picture.isBlack(0, 0));
    EXPECT_TRUE(picture.isBlack(63, 0));
    EXPECT_TRUE(picture.isBlack(0, 63));
    EXPECT_FALSE(picture.isBlack(63, 63));
    EXPECT_FALSE(picture.isBlack(40, 40));
}

TEST_P(RasterIteration, HalfSizeMapGivesASquareAtAQuarter) {
    ParameterBlock block = test::emptyBlock(2, 1);  // N = 256
    test::setMap(block, 1, {0.5, 0, 0, 0.5, 0.25, 0.25});
    const auto picture = render(block);
    EXPECT_EQ(test::countBlack(picture), 128 * 128);
    EXPECT_TRUE(picture.isBlack(64, 64));
    EXPECT_TRUE(picture.isBlack(191, 191));
    EXPECT_FALSE(picture.isBlack(63, 64));
    EXPECT_FALSE(picture.isBlack(192, 100));
}

TEST_P(RasterIteration, MirrorMapKeepsOnlyTheFirstColumn) {
    ParameterBlock block = test::emptyBlock(1, 1);
    test::setMap(block, 0, {-1, 0, 0, 1, 0, 0});
    const auto picture = render(block);
    EXPECT_EQ(test::countBlack(picture), 128);
    for (int y = 0; y < 128; ++y) {
        ASSERT_TRUE(picture.isBlack(0, y));
    }
}

TEST_P(RasterIteration, NoEnabledMapEmptiesThePictureAndNoIterationKeepsItFull) {
    ParameterBlock none = test::emptyBlock(0, 1);
    none.maps[0] = {1, 0, 0, 1, 0, 0};  // present but disabled
    EXPECT_EQ(test::countBlack(render(none)), 0);

    for (const std::int32_t count : {0, -1, -2147483647 - 1}) {
        ParameterBlock block = test::emptyBlock(0, count);
        test::setMap(block, 0, {0.5, 0, 0, 0.5, 0, 0});
        EXPECT_EQ(test::countBlack(render(block)), 64 * 64) << count;
    }
}

TEST_P(RasterIteration, AnyNonZeroFlagEnablesAMap) {
    ParameterBlock block = test::emptyBlock(0, 1);
    block.maps[2] = {0.5, 0, 0, 0.5, 0, 0};
    block.enabled[2] = -7;
    EXPECT_EQ(test::countBlack(render(block)), 32 * 32);
}

TEST_P(RasterIteration, CoordinatesBetweenMinusOneAndZeroLandOnTheFirstColumn) {
    // A mirror shifted half a pixel left: column 0 goes to X = -0.5, which truncates to 0,
    // while every other column lands at -1.5 or below and is dropped.
    ParameterBlock block = test::emptyBlock(0, 1);
    test::setMap(block, 0, {-1, 0, 0, 1, -0.5 / 64, 0});
    const auto picture = render(block);
    EXPECT_EQ(test::countBlack(picture), 64);
    EXPECT_TRUE(picture.isBlack(0, 0));
    EXPECT_TRUE(picture.isBlack(0, 63));

    // Shifted by a whole pixel, column 0 reaches -1 and is dropped as well.
    test::setMap(block, 0, {-1, 0, 0, 1, -1.0 / 64, 0});
    EXPECT_EQ(test::countBlack(render(block)), 0);

    // The same holds for rows.
    test::setMap(block, 0, {1, 0, 0, -1, 0, -0.5 / 64});
    const auto rows = render(block);
    EXPECT_EQ(test::countBlack(rows), 64);
    EXPECT_TRUE(rows.isBlack(63, 0));
}

TEST_P(RasterIteration, NonFiniteAndHugeTargetsAreDropped) {
    // Each of these maps sends every pixel outside the raster or to NaN.
    const AffineMap dropping[] = {
        {kNaN, 0, 0, 1, 0, 0},   {kInf, 0, 0, 1, 0, 0},     {1, 0, 0, 1, kInf, 0},
        {1, 0, 0, 1, -kInf, 0},  {1, 0, 0, 1, 0, kNaN},     {1e300, 0, 0, 1, 1e300, 0},
        {1, 0, 0, 1, 0, -1e300}, {1, 0, 0, 1, 3e9 / 64, 0}, {1, 0, 0, 1, -3e9 / 64, 0},
    };
    for (const AffineMap& map : dropping) {
        ParameterBlock block = test::emptyBlock(0, 1);
        test::setMap(block, 0, map);
        EXPECT_EQ(test::countBlack(render(block)), 0) << map.a << " " << map.e << " " << map.f;
    }
    // An infinite coefficient drops even the pixels it multiplies by zero: for row 0 an
    // infinite b gives 0 * inf = NaN, so no row survives, unlike a huge finite b.
    ParameterBlock block = test::emptyBlock(0, 1);
    test::setMap(block, 0, {1, kInf, 0, 1, 0, 0});
    EXPECT_EQ(test::countBlack(render(block)), 0);
}

TEST_P(RasterIteration, HugeCoefficientsWithZeroFactorsStillCount) {
    // a = 1e300 sends every column but x = 0 out of range; x = 0 gives 0 * 1e300 = 0.
    ParameterBlock block = test::emptyBlock(0, 1);
    test::setMap(block, 0, {1e300, 0, 0, 1, 0, 0});
    const auto picture = render(block);
    EXPECT_EQ(test::countBlack(picture), 64);
    EXPECT_TRUE(picture.isBlack(0, 5));
}

TEST_P(RasterIteration, MapsCombineByUnionWhateverTheirOrder) {
    ParameterBlock block = test::emptyBlock(1, 3);
    test::setMap(block, 0, {0.5, 0.1, -0.2, 0.5, 0.1, 0.3});
    test::setMap(block, 4, {-0.4, 0, 0, 0.6, 0.9, 0.05});
    ParameterBlock swapped = block;
    std::swap(swapped.maps[0], swapped.maps[4]);
    const auto a = render(block);
    const auto b = render(swapped);
    EXPECT_TRUE(std::equal(a.bits().begin(), a.bits().end(), b.bits().begin()));
    EXPECT_GT(test::countBlack(a), 0);
}

TEST_P(RasterIteration, SizeIndexOutsideTheSixSizesIsRefused) {
    ParameterBlock block = defaultParameters();
    block.sizeIndex = 6;
    EXPECT_THROW(render(block), std::invalid_argument);
    block.sizeIndex = -1;
    EXPECT_THROW(render(block), std::invalid_argument);
}

// Records what the renderer reports; asks to stop after `stopAfter` polls (never when < 0).
class RecordingProgress : public RenderProgress {
public:
    explicit RecordingProgress(int stopAfter = -1) : stopAfter_(stopAfter) {}
    void open() override { events.push_back(-1); }
    void setPosition(int percent) override { events.push_back(percent); }
    void close() override { events.push_back(-2); }
    bool stopRequested() override { return stopAfter_ >= 0 && polls++ >= stopAfter_; }

    std::vector<int> events;
    int polls = 0;

private:
    int stopAfter_;
};

TEST_P(RasterIteration, ProgressIsOpenedReportedPerIterationAndClosed) {
    struct Case {
        std::int32_t count;
        std::vector<int> events;
    };
    for (const Case& c : {Case{0, {-1, -2}}, Case{1, {-1, 0, -2}}, Case{3, {-1, 0, 33, 66, -2}},
                          Case{-5, {-1, -2}}}) {
        ParameterBlock block = test::emptyBlock(0, c.count);
        test::setMap(block, 0, {0.9, 0.1, -0.1, 0.9, 0.05, 0.05});
        RecordingProgress progress;
        ASSERT_TRUE(GetParam()(block, progress).has_value());
        EXPECT_EQ(progress.events, c.events) << c.count;
    }
}

TEST_P(RasterIteration, AStoppedRenderGivesNoPictureAndClosesTheProgress) {
    ParameterBlock block = test::emptyBlock(3, 2147483647);
    test::setMap(block, 0, {0.7, 0.7, -0.7, 0.7, 0.5, 0.1});  // a rotation that keeps moving
    test::setMap(block, 1, {0.5, 0, 0, 0.5, 0.1, 0.2});
    RecordingProgress progress(3);
    EXPECT_FALSE(GetParam()(block, progress).has_value());
    ASSERT_GE(progress.events.size(), 2u);
    EXPECT_EQ(progress.events.front(), -1);
    EXPECT_EQ(progress.events.back(), -2);
}

INSTANTIATE_TEST_SUITE_P(Renderers, RasterIteration,
                         ::testing::Values(&renderPictureReference, &renderPicture),
                         [](const ::testing::TestParamInfo<Renderer>& param) {
                             return param.index == 0 ? std::string("Reference")
                                                     : std::string("Program");
                         });

}  // namespace
}  // namespace orv
