#pragma once

#include <string>

namespace orv::cli {

inline constexpr const char* kProgramName = "orv-render";

// --help.
std::string helpText();
// --version.
std::string versionText();
// Printed after a usage error.
std::string usageHint();

}  // namespace orv::cli
