#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/AffineMap.h"
#include "document/SystemFitting.h"

namespace orv::examples {

// An iterated function system as it is published: maps of its own plane, with the coefficients
// in AffineMap's order, x' = a*x + b*y + e, y' = c*x + d*y + f, but e and f in the plane's own
// units rather than in picture sides. The maps are those of the entry of that name in the
// library of classic systems, examples/classic.ifs.
struct ClassicSystem {
    std::string name;
    std::string fileName;
    std::string source;
    std::string entry;
    std::vector<AffineMap> maps;
    std::int32_t sizeIndex = 3;
    // The part of the plane the picture shows, when it is known exactly; otherwise it is
    // computed around the attractor.
    std::optional<Square> frame;
};

// The systems shipped as sample documents, in the order the README lists them, their maps read
// from the .ifs file `library`. Throws FileError, or std::runtime_error when an entry is
// missing.
std::vector<ClassicSystem> classicSystems(const std::string& library);

}  // namespace orv::examples
