// The sample documents: the committed files are the generator's, and each one shows its whole
// attractor in the picture.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "CliTestSupport.h"
#include "cli/ClassicSystems.h"
#include "cli/ExampleDocuments.h"
#include "document/ParameterFile.h"
#include "document/SystemFitting.h"
#include "export/BmpWriter.h"
#include "render/RasterIteration.h"

namespace orv::examples {
namespace {

using clitest::TempDir;

TEST(Examples, CommittedFilesAreExactlyWhatTheGeneratorWrites) {
    TempDir generated;
    const auto run = clitest::runProgram(ORV_MAKE_EXAMPLES_PATH, {generated.path()}, ".");
    ASSERT_EQ(run.status, 0) << run.err;

    const std::string committed = ORV_COMMITTED_EXAMPLES_DIR;
    std::set<std::string> committedDocuments;
    for (const std::string& name : clitest::entriesOf(committed)) {
        if (name.ends_with(".orv")) {
            committedDocuments.insert(name);
        }
    }
    std::set<std::string> generatedDocuments;
    for (const std::string& name : clitest::entriesOf(generated.path())) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(std::filesystem::exists(committed + "/" + name))
            << "run orv-make-examples examples";
        EXPECT_EQ(clitest::readBytes(committed + "/" + name),
                  clitest::readBytes(generated.file(name)))
            << "run orv-make-examples examples";
        if (name.ends_with(".orv")) {
            generatedDocuments.insert(name);
        }
    }
    EXPECT_EQ(committedDocuments, generatedDocuments);
    EXPECT_GE(generatedDocuments.size(), 8u);
}

TEST(Examples, SierpinskiTriangleAtSixtyFourPixelsIsTheExactGasket) {
    TempDir dir;
    const auto run = clitest::runRender(
        {"--size", "64", std::string(ORV_COMMITTED_EXAMPLES_DIR) + "/sierpinski-triangle.orv",
         "gasket.bmp"},
        dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto picture = clitest::decodeBmp(clitest::readBytes(dir.file("gasket.bmp")));
    ASSERT_EQ(picture.side, 64);
    EXPECT_EQ(picture.blackCount(), 729);  // 3^6 pixels, one per level-6 triangle
    // Pascal's triangle mod 2: (x, y) is in the gasket exactly when x and y share no bit.
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(picture.isBlack(x, y), (x & y) == 0) << x << "," << y;
        }
    }
}

struct Extent {
    int left = 1 << 30, bottom = 1 << 30, right = -1, top = -1;
};

Extent blackExtent(const MonochromePicture& picture) {
    Extent extent;
    for (int y = 0; y < picture.side(); ++y) {
        for (int x = 0; x < picture.side(); ++x) {
            if (picture.isBlack(x, y)) {
                extent.left = std::min(extent.left, x);
                extent.right = std::max(extent.right, x);
                extent.bottom = std::min(extent.bottom, y);
                extent.top = std::max(extent.top, y);
            }
        }
    }
    return extent;
}

TEST(Examples, EachAttractorFillsThePictureWithoutTouchingItsEdge) {
    for (const ClassicSystem& system : classicSystems(ORV_COMMITTED_EXAMPLES_DIR "/classic.ifs")) {
        SCOPED_TRACE(system.name);
        ParameterBlock block = makeExampleDocument(system).parameters;
        EXPECT_LE(system.maps.size(), static_cast<std::size_t>(kMapCount));
        // The framing does not depend on the size; a smaller picture keeps the test quick.
        block.sizeIndex = 2;
        RenderProgress silent;
        const auto picture = renderPicture(block, silent);
        ASSERT_TRUE(picture);
        const Extent extent = blackExtent(*picture);
        const int side = picture->side();
        const int wide = extent.right - extent.left + 1;
        const int high = extent.top - extent.bottom + 1;
        EXPECT_GE(std::max(wide, high), side * 9 / 10) << wide << " x " << high;
        if (system.frame) {
            continue;  // framed by hand, edges included
        }
        EXPECT_GT(extent.left, 0);
        EXPECT_GT(extent.bottom, 0);
        EXPECT_LT(extent.right, side - 1);
        EXPECT_LT(extent.top, side - 1);
        // Centred across its shorter direction.
        EXPECT_NEAR(extent.left, side - 1 - extent.right, side / 50);
        EXPECT_NEAR(extent.bottom, side - 1 - extent.top, side / 50);
    }
}

TEST(Examples, DocumentsUseTheirMapsInOrderAndCountsTheDialogAccepts) {
    for (const ClassicSystem& system : classicSystems(ORV_COMMITTED_EXAMPLES_DIR "/classic.ifs")) {
        SCOPED_TRACE(system.name);
        const ExampleDocument example = makeExampleDocument(system);
        const ParameterBlock& block = example.parameters;
        for (std::size_t i = 0; i < kMapCount; ++i) {
            EXPECT_EQ(block.enabled[i], i < system.maps.size() ? 1 : 0) << i;
            if (i < system.maps.size()) {
                // A similarity frame keeps the linear part.
                EXPECT_EQ(block.maps[i].a, system.maps[i].a);
                EXPECT_EQ(block.maps[i].d, system.maps[i].d);
            }
        }
        EXPECT_TRUE(isValidSizeIndex(block.sizeIndex));
        EXPECT_GE(block.iterationCount, 1);
        EXPECT_LE(block.iterationCount, 32);
        // Enough iterations to settle, or as many as the dialog allows.
        EXPECT_GE(iterationsFor(block), std::min(example.settleIterations, 32));
    }
}

struct Point {
    double x, y;
};

Point apply(const AffineMap& m, Point p) {
    return {m.a * p.x + m.b * p.y + m.e, m.c * p.x + m.d * p.y + m.f};
}

TEST(ExampleFraming, TheConjugateMapDoesInTheUnitSquareWhatTheMapDoesInTheFrame) {
    const AffineMap maps[] = {{0.85, 0.04, -0.04, 0.85, 0, 1.6},
                              {-0.15, 0.28, 0.26, 0.24, 0, 0.44},
                              {0, 0, 0, 0.16, -3, 7},
                              {0.5, -0.5, 0.5, 0.5, 0, 0}};
    const Square frames[] = {{0, 0, 1}, {-4.5, -0.25, 10.5}, {3, -8, 0.125}};
    const Point points[] = {{0, 0}, {1, 1}, {0.25, 0.75}, {0.9, 0.1}};
    for (const AffineMap& m : maps) {
        for (const Square& frame : frames) {
            const AffineMap conjugate = inUnitSquare(m, frame);
            for (const Point q : points) {
                const Point inPlane = {frame.x + frame.side * q.x, frame.y + frame.side * q.y};
                const Point image = apply(m, inPlane);
                const Point expected = {(image.x - frame.x) / frame.side,
                                        (image.y - frame.y) / frame.side};
                const Point actual = apply(conjugate, q);
                EXPECT_NEAR(actual.x, expected.x, 1e-12);
                EXPECT_NEAR(actual.y, expected.y, 1e-12);
            }
        }
    }
}

TEST(ExampleFraming, AttractorBoxesMatchKnownBoundingBoxes) {
    struct Known {
        const char* name;
        std::vector<AffineMap> maps;
        Box box;
    };
    const double s = std::sqrt(3.0) / 6.0;
    const Known known[] = {
        {"right Sierpinski triangle",
         {{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0, 0.5}},
         {0, 0, 1, 1}},
        {"Koch curve",
         {{1.0 / 3, 0, 0, 1.0 / 3, 0, 0},
          {1.0 / 6, -s, s, 1.0 / 6, 1.0 / 3, 0},
          {1.0 / 6, s, -s, 1.0 / 6, 0.5, s},
          {1.0 / 3, 0, 0, 1.0 / 3, 2.0 / 3, 0}},
         {0, 0, 1, s}},
        {"Heighway dragon",
         {{0.5, -0.5, 0.5, 0.5, 0, 0}, {-0.5, -0.5, 0.5, -0.5, 1, 0}},
         {-1.0 / 3, -1.0 / 3, 7.0 / 6, 2.0 / 3}},
        {"Levy C curve",
         {{0.5, -0.5, 0.5, 0.5, 0, 0}, {0.5, 0.5, -0.5, 0.5, 0.5, 0.5}},
         {-0.5, -0.25, 1.5, 1}},
        {"segment squeezed onto a point", {{0, 0, 0, 0, 2, 3}}, {2, 3, 2, 3}},
    };
    for (const Known& k : known) {
        SCOPED_TRACE(k.name);
        const Box box = attractorBox(k.maps);
        const double size = std::max({k.box.right - k.box.left, k.box.top - k.box.bottom, 1.0});
        const double slack = 1e-3 * size;
        EXPECT_LE(box.left, k.box.left + 1e-12);
        EXPECT_LE(box.bottom, k.box.bottom + 1e-12);
        EXPECT_GE(box.right, k.box.right - 1e-12);
        EXPECT_GE(box.top, k.box.top - 1e-12);
        EXPECT_NEAR(box.left, k.box.left, slack);
        EXPECT_NEAR(box.bottom, k.box.bottom, slack);
        EXPECT_NEAR(box.right, k.box.right, slack);
        EXPECT_NEAR(box.top, k.box.top, slack);
    }
    const AffineMap expanding[] = {{1.5, 0, 0, 0.5, 0, 0}};
    EXPECT_THROW(attractorBox(expanding), std::invalid_argument);
}

TEST(ExampleFraming, SquaresAreCentredOnTheLongerSideWithTheirMargin) {
    const Square wide = squareAround({-1, 2, 3, 3}, 0.1);  // 4 wide, 1 high
    EXPECT_DOUBLE_EQ(wide.side, 4.8);
    EXPECT_DOUBLE_EQ(wide.x, -1.4);
    EXPECT_DOUBLE_EQ(wide.y + wide.side / 2, 2.5);
    const Square tall = squareAround({0, 0, 1, 10}, 0);
    EXPECT_DOUBLE_EQ(tall.side, 10);
    EXPECT_DOUBLE_EQ(tall.x, -4.5);
    EXPECT_DOUBLE_EQ(tall.y, 0);
}

TEST(ExampleFraming, StretchIsTheLargestSingularValue) {
    EXPECT_NEAR(stretch({0.6, -0.8, 0.8, 0.6, 5, 5}), 1.0, 1e-15);  // a rotation
    EXPECT_NEAR(stretch({0.5, -0.5, 0.5, 0.5, 0, 0}), std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(stretch({0.2, 0, 0, -0.7, 0, 0}), 0.7, 1e-15);
    EXPECT_NEAR(stretch({0, 0, 0, 0.16, 0, 0}), 0.16, 1e-15);
    EXPECT_NEAR(stretch({1, 1, 0, 1, 0, 0}), (1 + std::sqrt(5.0)) / 2, 1e-14);  // a shear
    EXPECT_EQ(stretch({0, 0, 0, 0, 1, 1}), 0.0);
}

TEST(ExampleFraming, SettlingTakesTheIterationsThatShrinkTheDiagonalBelowAPixel) {
    const AffineMap half[] = {{0.5, 0, 0, 0.5, 0, 0}, {0.25, 0, 0, 0.25, 0.5, 0}};
    // 64 * sqrt(2) = 90.5 pixels: 2^7 = 128 is the first power of two above it.
    EXPECT_EQ(iterationsToSettle(half, 64), 7);
    EXPECT_EQ(iterationsToSettle(half, 2048), 12);
    const AffineMap slow[] = {{0.9, 0, 0, 0.9, 0, 0}};
    // 0.9^T * 512 * sqrt(2) <= 1 first at T = 63.
    EXPECT_EQ(iterationsToSettle(slow, 512), 63);
}

}  // namespace
}  // namespace orv::examples
