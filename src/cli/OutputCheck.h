#pragma once

#include <string>

namespace orv::cli {

// Refuses, before a long render, an output path the BMP writer would refuse anyway: a
// directory, a file that may not be written, a missing or unwritable directory. Creates
// nothing. Throws FileError with the cause the writer would report.
void checkOutputWritable(const std::string& path);

}  // namespace orv::cli
