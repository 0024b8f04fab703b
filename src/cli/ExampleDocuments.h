#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/ClassicSystems.h"
#include "cli/ExampleFraming.h"
#include "document/ParameterBlock.h"

namespace orv::examples {

// The most iterations the Parameters dialog accepts: a sample document should survive OK in
// the dialog unchanged.
inline constexpr std::int32_t kMostDialogIterations = 32;

// Part of the plane's attractor box left free on each side of the picture.
inline constexpr double kFrameMargin = 0.02;

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
// replaced only once complete. Returns the names written. Throws FileError.
std::vector<std::string> writeExamples(const std::string& directory);

}  // namespace orv::examples
