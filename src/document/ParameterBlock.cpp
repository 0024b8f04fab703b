#include "document/ParameterBlock.h"

namespace orv {

ParameterBlock defaultParameters() {
    ParameterBlock block;
    block.autoIterations = 1;
    block.iterationCount = 1;
    block.sizeIndex = 1;
    block.maps[0].a = 1.0;
    block.maps[0].d = 1.0;
    block.enabled[0] = 1;
    return block;
}

std::int64_t iterationsFor(const ParameterBlock& block) {
    if (block.autoIterations != 0) {
        return 2 * static_cast<std::int64_t>(shiftForSizeIndex(block.sizeIndex));
    }
    return block.iterationCount;
}

}  // namespace orv
