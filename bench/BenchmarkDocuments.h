#pragma once

#include <string>
#include <vector>

#include "document/ParameterBlock.h"

namespace orv::bench {

struct BenchmarkDocument {
    std::string name;
    ParameterBlock block;
    bool referenceToo;  // false for counts the defining loop would take forever over
};

// The documents the renderers are compared on, all 2048 pixels a side.
std::vector<BenchmarkDocument> benchmarkDocuments();

}  // namespace orv::bench
