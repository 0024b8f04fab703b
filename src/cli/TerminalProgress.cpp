#include "cli/TerminalProgress.h"

#include <algorithm>

namespace orv::cli {

namespace {

constexpr int kBarWidth = 40;
constexpr std::string_view kLabel = "orv-render: rendering ";

}  // namespace

std::string progressBar(int percent) {
    percent = std::clamp(percent, 0, 100);
    const int filled = percent * kBarWidth / 100;
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), ' ');
    bar += "] ";
    const std::string number = std::to_string(percent);
    bar.append(3 - number.size(), ' ');
    bar += number + "%";
    return bar;
}

TerminalProgress::TerminalProgress(std::ostream& terminal, ClockSource now)
    : terminal_(terminal), now_(std::move(now)) {}

void TerminalProgress::open() {
    start_ = now_();
    open_ = true;
    shown_ = false;
    percent_ = 0;
}

void TerminalProgress::setPosition(int percent) {
    const bool changed = percent != percent_;
    percent_ = percent;
    if (shown_ && changed) {
        draw();
    } else {
        showIfDue();
    }
}

bool TerminalProgress::stopRequested() {
    showIfDue();
    return false;
}

void TerminalProgress::close() {
    if (shown_) {
        terminal_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
    }
    open_ = false;
    shown_ = false;
}

void TerminalProgress::showIfDue() {
    if (open_ && !shown_ && now_() - start_ >= kShowAfter) {
        shown_ = true;
        draw();
    }
}

void TerminalProgress::draw() {
    const std::string line = std::string(kLabel) + progressBar(percent_);
    terminal_ << '\r' << line << std::flush;
    drawnWidth_ = line.size();
}

}  // namespace orv::cli
