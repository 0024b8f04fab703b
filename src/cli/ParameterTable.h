#pragma once

#include <string>

#include "document/ParameterBlock.h"

namespace orv::cli {

// The parameter block as `orv-render --info` prints it: the picture size and iteration rule,
// then one row per map with its enabled flag and coefficients, numbers written as the
// Parameters dialog writes them. sizeIndex must be valid.
std::string parameterTable(const ParameterBlock& block);

}  // namespace orv::cli
