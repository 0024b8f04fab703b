#include "document/ParameterComparison.h"

namespace orv {

bool parametersChanged(const ParameterBlock& before, const ParameterBlock& after) {
    bool changed = false;
    for (int k = 0; k < kMapCount; ++k) {
        if (before.enabled[k] != after.enabled[k]) {
            changed = true;
            break;
        }
        for (int j = 0; j < 6; ++j) {
            if (coefficient(before, k, j) != coefficient(after, k, j)) {
                changed = true;
                break;
            }
        }
    }
    return changed || before.sizeIndex != after.sizeIndex ||
           before.iterationCount != after.iterationCount ||
           before.autoIterations != after.autoIterations;
}

}  // namespace orv
