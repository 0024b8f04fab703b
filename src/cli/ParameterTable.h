#pragma once

#include <string>

#include "document/IfsFile.h"
#include "document/ParameterBlock.h"
#include "render/MonochromePicture.h"

namespace orv::cli {

// The parameter block as `orv-render --info` prints it: the picture size and iteration rule,
// then one row per map with its enabled flag and coefficients, numbers written as the
// Parameters dialog writes them. sizeIndex must be valid.
std::string parameterTable(const ParameterBlock& block);

// The lines --info adds after a render: the black pixels and the box-counting dimension with
// the box sizes it was fitted over.
std::string measurementText(const MonochromePicture& picture);

// The entries of a .ifs file, one a line: name, map count, and why Orv cannot draw it.
std::string entryList(const std::vector<IfsEntry>& entries);

}  // namespace orv::cli
