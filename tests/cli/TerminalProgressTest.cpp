// The progress bar: silent for quick renders, then one line redrawn in place and erased at the
// end. Time is the test's own clock.

#include "cli/TerminalProgress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "document/ParameterBlock.h"
#include "render/ReferenceIteration.h"

namespace orv::cli {
namespace {

using namespace std::chrono_literals;

class TerminalProgressTest : public ::testing::Test {
protected:
    std::ostringstream terminal;
    TerminalProgress::Clock::time_point now{};
    TerminalProgress progress{terminal, [this] { return now; }};
};

// What the line shows after the last carriage return, as a terminal would display it.
std::string visibleLine(const std::string& written) {
    std::string line;
    std::size_t column = 0;
    for (char c : written) {
        if (c == '\r') {
            column = 0;
        } else {
            if (column < line.size()) {
                line[column] = c;
            } else {
                line += c;
            }
            ++column;
        }
    }
    return line;
}

TEST_F(TerminalProgressTest, AQuickRenderPrintsNothing) {
    progress.open();
    for (int t = 0; t < 10; ++t) {
        now += 25ms;
        EXPECT_FALSE(progress.stopRequested());
        progress.setPosition(progressPosition(t, 10));
    }
    progress.close();
    EXPECT_EQ(terminal.str(), "");
}

TEST_F(TerminalProgressTest, ALongRenderShowsItsPositionAndErasesItselfAtTheEnd) {
    progress.open();
    now += 200ms;
    progress.setPosition(0);
    EXPECT_FALSE(progress.isShown());
    now += 200ms;
    progress.setPosition(20);
    ASSERT_TRUE(progress.isShown());
    EXPECT_NE(visibleLine(terminal.str()).find(" 20%"), std::string::npos) << terminal.str();
    now += 200ms;
    progress.setPosition(95);
    EXPECT_NE(visibleLine(terminal.str()).find(" 95%"), std::string::npos) << terminal.str();
    EXPECT_EQ(terminal.str().find('\n'), std::string::npos) << "the bar stays on one line";

    progress.close();
    const std::string line = visibleLine(terminal.str());
    EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) { return c == ' '; })) << line;
    EXPECT_EQ(terminal.str().back(), '\r');
}

TEST_F(TerminalProgressTest, ALongFirstIterationShowsTheBarWhileTheRendererPolls) {
    progress.open();
    now += 100ms;
    EXPECT_FALSE(progress.stopRequested());
    EXPECT_EQ(terminal.str(), "");
    now += TerminalProgress::kShowAfter;
    EXPECT_FALSE(progress.stopRequested());
    EXPECT_NE(visibleLine(terminal.str()).find("  0%"), std::string::npos) << terminal.str();

    // Polling without progress does not redraw.
    const std::size_t written = terminal.str().size();
    now += 1s;
    EXPECT_FALSE(progress.stopRequested());
    EXPECT_EQ(terminal.str().size(), written);
}

TEST_F(TerminalProgressTest, EachRenderStartsItsOwnDelay) {
    progress.open();
    now += 1s;
    progress.setPosition(50);
    progress.close();
    const std::size_t written = terminal.str().size();

    progress.open();
    now += 100ms;
    progress.setPosition(50);
    progress.close();
    EXPECT_EQ(terminal.str().size(), written);
}

TEST_F(TerminalProgressTest, DrivenByARendererItEndsErased) {
    // The plain renderer polls once a row: with the clock advanced on every call, enough
    // rows pass the delay.
    ParameterBlock block = defaultParameters();
    block.sizeIndex = 0;
    TerminalProgress polled(terminal, [this] {
        now += 1ms;
        return now;
    });
    ASSERT_TRUE(renderPictureReference(block, polled));
    EXPECT_NE(terminal.str().find('%'), std::string::npos);
    const std::string line = visibleLine(terminal.str());
    EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) { return c == ' '; })) << line;
}

TEST(ProgressBar, HasOneWidthAndFillsWithThePercentage) {
    const std::size_t width = progressBar(0).size();
    std::size_t previousFill = 0;
    for (int percent = 0; percent <= 100; ++percent) {
        const std::string bar = progressBar(percent);
        EXPECT_EQ(bar.size(), width) << percent;
        EXPECT_NE(bar.find(std::to_string(percent) + "%"), std::string::npos) << bar;
        const auto fill = static_cast<std::size_t>(std::count(bar.begin(), bar.end(), '#'));
        EXPECT_GE(fill, previousFill) << percent;
        previousFill = fill;
    }
    const std::string empty = progressBar(0);
    EXPECT_EQ(std::count(empty.begin(), empty.end(), '#'), 0);
    const std::string full = progressBar(100);
    EXPECT_EQ(full.find(' '), full.find("] ") + 1);  // no gap left inside the bar
    EXPECT_EQ(progressBar(250), full);
}

}  // namespace
}  // namespace orv::cli
