#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/TerminalProgress.h"

namespace orv::cli {

enum ExitStatus : int {
    kExitSuccess = 0,
    kExitBadUsage = 1,
    kExitBadInput = 2,
    kExitBadOutput = 3,
};

// Where orv-render talks: results to `out`, messages and the progress bar to `err`. The bar is
// drawn only when `err` is a terminal, and times itself by `clock`.
struct Console {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
    TerminalProgress::ClockSource clock = [] { return TerminalProgress::Clock::now(); };
};

// The whole of orv-render; `arguments` are those after the program name.
int runRenderTool(std::span<const std::string> arguments, const Console& console);

}  // namespace orv::cli
