#pragma once

#include "document/ParameterBlock.h"

namespace orv {

// Whether the Parameters command counts `after` as a change of `before`. Maps are compared one
// by one: a differing enabled flag decides at once and the maps after it are not looked at;
// otherwise the coefficients are compared as numbers, so 0 and -0 are equal. The size, count
// and automatic flag are compared in any case. A NaN in `before` is unequal to everything, so
// replacing it counts as a change.
bool parametersChanged(const ParameterBlock& before, const ParameterBlock& after);

}  // namespace orv
