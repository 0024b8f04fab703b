#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/ClassicSystems.h"
#include "document/ParameterBlock.h"
#include "document/SystemFitting.h"

namespace orv::examples {

struct ExampleDocument {
    ClassicSystem system{};
    Square frame{};
    std::int32_t settleIterations = 0;
    ParameterBlock parameters{};
};

// The system as an Orv document: framed, conjugated into the unit square, with its maps
// enabled in order and an iteration count that lets the picture settle.
ExampleDocument makeExampleDocument(const ClassicSystem& system);

// The README that goes with the documents: how they were made and each system's maps.
std::string examplesReadme(const std::vector<ExampleDocument>& examples);

// Writes every sample document and README.md into `directory` (which must exist), each file
// replaced only once complete, the systems read from the .ifs file `library`. Returns the
// names written. Throws FileError, or std::runtime_error for a library without a system.
std::vector<std::string> writeExamples(const std::string& directory, const std::string& library);

}  // namespace orv::examples
