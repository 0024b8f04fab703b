#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/RenderTool.h"

int main(int argc, char* argv[]) {
    // A file-size limit then fails the write with EFBIG, which is reported, instead of killing
    // the program in the middle of writing the picture.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const orv::cli::Console console{
        .out = std::cout, .err = std::cerr, .errIsTerminal = ::isatty(STDERR_FILENO) != 0};
    return orv::cli::runRenderTool(arguments, console);
}
