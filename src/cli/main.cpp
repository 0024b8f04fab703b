#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/RenderTool.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const orv::cli::Console console{
        .out = std::cout, .err = std::cerr, .errIsTerminal = ::isatty(STDERR_FILENO) != 0};
    return orv::cli::runRenderTool(arguments, console);
}
