#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "render/RenderProgress.h"

namespace orv::cli {

// A progress bar on one terminal line, redrawn in place. It stays hidden for the first
// kShowAfter of a render, so quick renders print nothing, and it erases itself when the
// render ends, leaving the terminal as it was. The renderer calls it on its own thread.
class TerminalProgress final : public RenderProgress {
public:
    using Clock = std::chrono::steady_clock;
    using ClockSource = std::function<Clock::time_point()>;

    static constexpr std::chrono::milliseconds kShowAfter{300};

    explicit TerminalProgress(
        std::ostream& terminal, ClockSource now = [] { return Clock::now(); });

    void open() override;
    void setPosition(int percent) override;
    void close() override;
    // Never stops the render; it is polled often, so it is where a long first iteration gets
    // its bar.
    bool stopRequested() override;

    bool isShown() const { return shown_; }

private:
    void showIfDue();
    void draw();

    std::ostream& terminal_;
    ClockSource now_;
    Clock::time_point start_{};
    bool open_ = false;
    bool shown_ = false;
    int percent_ = 0;
    std::size_t drawnWidth_ = 0;
};

// "[#########                               ]  22%": the bar TerminalProgress draws.
std::string progressBar(int percent);

}  // namespace orv::cli
