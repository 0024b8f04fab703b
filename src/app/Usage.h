#pragma once

#include <iostream>
#include <string>

namespace orv::app {

// --help and --version, answered before the QApplication exists so that they work without a
// display. When an argument after the program name is exactly one of the two, prints the help
// or the version (whichever comes first) to `out` and returns true: the program should then end.
// Nothing else in the command line is looked at here.
bool printInformationalOption(int argc, const char* const* argv, std::ostream& out = std::cout);

std::string helpText();
std::string versionText();

}  // namespace orv::app
