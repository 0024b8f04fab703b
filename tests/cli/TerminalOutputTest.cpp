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

}  // namespace
}  // namespace orv::clitest
