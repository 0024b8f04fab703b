// The progress bar appears on a terminal only, unless --quiet, and is gone when the render is.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "CliTestSupport.h"
#include "cli/RenderTool.h"

namespace orv::clitest {
namespace {

class ProgressOnTerminalTest : public ::testing::Test {
protected:
    ProgressOnTerminalTest() {
        writeBytes(dir.file("doc.orv"), documentBytes(defaultParameters()));
    }

    // Runs orv-render in this process with a clock that jumps a second at every reading, so
    // that even a quick render is a long one for the bar.
    int run(std::vector<std::string> arguments, bool errIsTerminal) {
        const cli::Console console{
            .out = out, .err = err, .errIsTerminal = errIsTerminal, .clock = [this] {
                now += std::chrono::seconds(1);
                return now;
            }};
        return cli::runRenderTool(arguments, console);
    }

    TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    cli::TerminalProgress::Clock::time_point now{};
};

TEST_F(ProgressOnTerminalTest, ALongRenderOnATerminalShowsTheBarThenErasesIt) {
    ASSERT_EQ(run({dir.file("doc.orv"), dir.file("out.bmp")}, true), 0) << err.str();
    const std::string shown = err.str();
    EXPECT_NE(shown.find("orv-render: rendering ["), std::string::npos) << shown;
    const auto lastBar = shown.rfind('%');
    ASSERT_NE(lastBar, std::string::npos);
    EXPECT_EQ(shown.find_first_not_of("\r ", lastBar + 1), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\n'), std::string::npos) << shown;
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(std::filesystem::exists(dir.file("out.bmp")));
}

TEST_F(ProgressOnTerminalTest, QuietOrNoTerminalMeansNoBar) {
    ASSERT_EQ(run({"--quiet", dir.file("doc.orv"), dir.file("a.bmp")}, true), 0) << err.str();
    ASSERT_EQ(run({"-q", dir.file("doc.orv"), dir.file("b.bmp")}, true), 0) << err.str();
    ASSERT_EQ(run({dir.file("doc.orv"), dir.file("c.bmp")}, false), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(readBytes(dir.file("a.bmp")), readBytes(dir.file("c.bmp")));
}

TEST_F(ProgressOnTerminalTest, InfoAndFailuresDrawNoBar) {
    ASSERT_EQ(run({"--info", dir.file("doc.orv")}, true), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(run({dir.file("doc.orv"), dir.file("no/dir/out.bmp")}, true), 3);
    EXPECT_EQ(err.str(), "orv-render: " + dir.file("no/dir/out.bmp") + " was not found.\n");
}

// The real program on a pseudo-terminal from script(1), with a render that takes seconds.
TEST(ProgressOnRealTerminal, TheProgramFindsItsTerminal) {
    if (std::system("script -q -e -c true /dev/null >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no pseudo-terminal through script(1)";
    }
    TempDir dir;
    // Six slightly shrinking turns about the centre: every pixel stays busy, iteration after
    // iteration, however the renderer goes about it.
    ParameterBlock block{};
    for (int k = 0; k < kMapCount; ++k) {
        const double scale = 0.985;
        const double angle = 1.1 * k;
        const double c = scale * std::cos(angle);
        const double s = scale * std::sin(angle);
        block.maps[k] = {
            .a = c, .b = -s, .c = s, .d = c, .e = 0.5 - 0.5 * (c - s), .f = 0.5 - 0.5 * (s + c)};
        block.enabled[k] = 1;
    }
    block.autoIterations = 0;
    block.iterationCount = 40;
    block.sizeIndex = 5;
    writeBytes(dir.file("slow.orv"), documentBytes(block));

    const RunResult result = runProgram(
        "script",
        {"-q", "-e", "-c", std::string(ORV_RENDER_PATH) + " slow.orv out.bmp", "/dev/null"},
        dir.path());
    ASSERT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("orv-render: rendering ["), std::string::npos) << result.out;
    EXPECT_EQ(readBytes(dir.file("out.bmp")).size(), 62u + 2048u * 2048u / 8u);
}

}  // namespace
}  // namespace orv::clitest
