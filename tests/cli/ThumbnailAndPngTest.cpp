// orv-render's PNG output and thumbnails: the command line, what a thumbnail renders, and the
// files the built program writes, read back by libpng.

#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "PngDecoding.h"
#include "cli/CommandLine.h"

namespace orv::cli {
namespace {

using clitest::runRender;
using clitest::RunResult;

std::variant<Options, UsageError> parse(std::vector<std::string> arguments) {
    return parseCommandLine(arguments);
}

TEST(ThumbnailCommandLine, TakesAPositiveSizeAndNoPictureSide) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::int32_t> size;  // nothing: refused
        std::string refusal;
    };
    const Case cases[] = {
        {{"--thumbnail", "128", "a.orv", "t.png"}, 128, ""},
        {{"a.orv", "--thumbnail=1", "t"}, 1, ""},
        {{"--thumbnail", "100000", "a.orv", "t"}, 100000, ""},
        {{"--thumbnail", "0", "a", "t"}, std::nullopt, "invalid thumbnail size '0'"},
        {{"--thumbnail", "-5", "a", "t"}, std::nullopt, "invalid thumbnail size '-5'"},
        {{"--thumbnail=12x", "a", "t"}, std::nullopt, "invalid thumbnail size '12x'"},
        {{"--thumbnail=", "a", "t"}, std::nullopt, "invalid thumbnail size ''"},
        {{"--thumbnail", "99999999999", "a", "t"}, std::nullopt, "invalid thumbnail size"},
        {{"a", "t", "--thumbnail"}, std::nullopt, "--thumbnail needs a size in pixels"},
        {{"--thumbnail", "64", "--size", "64", "a", "t"}, std::nullopt, "leave out --size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const auto result = parse(c.arguments);
        if (c.size) {
            ASSERT_TRUE(std::holds_alternative<Options>(result));
            EXPECT_EQ(std::get<Options>(result).thumbnailSize, c.size);
        } else {
            ASSERT_TRUE(std::holds_alternative<UsageError>(result));
            EXPECT_NE(std::get<UsageError>(result).message.find(c.refusal), std::string::npos)
                << std::get<UsageError>(result).message;
        }
    }
}

TEST(ThumbnailCommandLine, RendersAtTheSmallestSideNotBelowTheSizeWithFewIterations) {
    struct Case {
        std::int32_t size;
        std::int32_t autoIterations, count;  // of the document
        std::int32_t sizeIndex, countAfter;
    };
    for (const Case& c :
         {Case{1, 0, 10, 0, 10}, Case{64, 0, 10, 0, 10}, Case{65, 0, 10, 1, 10},
          Case{128, 0, 256, 1, 256}, Case{129, 0, 257, 2, 256},
          Case{1000, 0, 2'000'000'000, 4, 256}, Case{2048, 1, 5, 5, 5}, Case{5000, 0, -3, 5, -3}}) {
        SCOPED_TRACE(c.size);
        ParameterBlock block = defaultParameters();
        block.sizeIndex = 3;
        block.autoIterations = c.autoIterations;
        block.iterationCount = c.count;
        const auto options =
            std::get<Options>(parse({"--thumbnail", std::to_string(c.size), "a.orv", "t.png"}));
        applyOverrides(options, block);
        EXPECT_EQ(block.sizeIndex, c.sizeIndex);
        EXPECT_EQ(block.autoIterations, c.autoIterations);
        EXPECT_EQ(block.iterationCount, c.countAfter);
    }
    // An explicit count for the thumbnail is held to the limit too.
    ParameterBlock block = defaultParameters();
    applyOverrides(
        std::get<Options>(parse({"--thumbnail", "64", "--iterations", "9999", "a", "t"})), block);
    EXPECT_EQ(block.iterationCount, kThumbnailIterationLimit);
}

TEST(ThumbnailCommandLine, PngForPngNamesAndEveryThumbnail) {
    const std::pair<std::vector<std::string>, PictureFormat> cases[] = {
        {{"a", "out.png"}, PictureFormat::png},
        {{"a", "OUT.PNG"}, PictureFormat::png},
        {{"a", "dir.bmp/out.Png"}, PictureFormat::png},
        {{"a", "out.bmp"}, PictureFormat::bmp},
        {{"a", "png"}, PictureFormat::bmp},
        {{"a", ".pngs"}, PictureFormat::bmp},
        {{"a", "out.png.bmp"}, PictureFormat::bmp},
        {{"a", "out"}, PictureFormat::bmp},
        {{"--thumbnail", "128", "a", "out.bmp"}, PictureFormat::png},
        {{"--thumbnail", "128", "a", "/tmp/thumbnail-XXXXXX"}, PictureFormat::png},
    };
    for (const auto& [arguments, format] : cases) {
        EXPECT_EQ(pictureFormat(std::get<Options>(parse(arguments))), format)
            << testing::PrintToString(arguments);
    }
}

// A small lopsided system with a count far beyond what a thumbnail runs.
ParameterBlock manyIterations() {
    ParameterBlock block{};
    block.maps[0] = {.a = 0.5, .b = 0, .c = 0, .d = 0.5, .e = 0, .f = 0};
    block.maps[1] = {.a = 0.5, .b = 0, .c = 0, .d = 0.5, .e = 0.5, .f = 0};
    block.maps[2] = {.a = 0.3, .b = -0.2, .c = 0.2, .d = 0.3, .e = 0.2, .f = 0.6};
    block.enabled = {1, 1, 1, 0, 0, 0};
    block.iterationCount = 2'000'000'000;
    block.sizeIndex = 5;
    return block;
}

class RenderPngTest : public ::testing::Test {
protected:
    std::string document() {
        clitest::writeBytes(dir.file("doc.orv"), clitest::documentBytes(manyIterations()));
        return dir.file("doc.orv");
    }
    test::DecodedPng png(const std::string& name) {
        return test::decodePng(clitest::readBytes(dir.file(name)));
    }
    clitest::BmpPicture bmp(const std::string& name) {
        return clitest::decodeBmp(clitest::readBytes(dir.file(name)));
    }
    void expectSamePixels(const test::DecodedPng& png, const clitest::BmpPicture& bmp) {
        ASSERT_EQ(png.width, bmp.side);
        ASSERT_EQ(png.height, bmp.side);
        for (int row = 0; row < bmp.side; ++row) {
            for (int x = 0; x < bmp.side; ++x) {
                ASSERT_EQ(png.at(x, row), bmp.isBlack(x, bmp.side - 1 - row) ? 0 : 255)
                    << "x " << x << ", row " << row;
            }
        }
    }

    test::TempDir dir;
};

TEST_F(RenderPngTest, PngNameGivesTheSamePictureAsTheBmp) {
    const std::string input = document();
    for (const char* name : {"out.png", "OUT.PNG"}) {
        const RunResult result =
            runRender({"--size", "256", "--iterations", "12", input, name}, dir.path());
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
    }
    ASSERT_EQ(
        runRender({"--size", "256", "--iterations", "12", input, "out.bmp"}, dir.path()).status, 0);
    const auto picture = png("out.png");
    EXPECT_EQ(picture.bitDepth, 1);
    expectSamePixels(picture, bmp("out.bmp"));
    EXPECT_EQ(clitest::readBytes(dir.file("OUT.PNG")), clitest::readBytes(dir.file("out.png")));
}

TEST_F(RenderPngTest, ThumbnailOfAHugeCountRendersTheLimitedCount) {
    const std::string input = document();
    // At a raster side no shrinking is needed: the one-bit picture of the limited count, even
    // under a name that is not .png.
    ASSERT_EQ(runRender({"--thumbnail", "128", input, "thumb"}, dir.path()).status, 0);
    ASSERT_EQ(runRender({"--size", "128", "--iterations", "256", input, "limited.bmp"}, dir.path())
                  .status,
              0);
    const auto exact = png("thumb");
    EXPECT_EQ(exact.bitDepth, 1);
    expectSamePixels(exact, bmp("limited.bmp"));

    // Between sides: grey levels (their values are checked where the shrinking is).
    ASSERT_EQ(runRender({"--thumbnail", "100", input, "grey.png"}, dir.path()).status, 0);
    const auto grey = png("grey.png");
    EXPECT_EQ(grey.width, 100);
    EXPECT_EQ(grey.bitDepth, 8);
}

}  // namespace
}  // namespace orv::cli
