#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "document/ParameterBlock.h"
#include "render/MonochromePicture.h"

namespace orv::test {

// A block with no map enabled, all coefficients zero, `side` pixels and `iterations` explicit
// iterations; tests enable the maps they need.
inline ParameterBlock emptyBlock(int sizeIndex, std::int32_t iterations) {
    ParameterBlock block;
    block.sizeIndex = sizeIndex;
    block.autoIterations = 0;
    block.iterationCount = iterations;
    return block;
}

// The bytes a document file holds for `block`.
std::vector<std::uint8_t> stored(const ParameterBlock& block);

inline void setMap(ParameterBlock& block, int k, AffineMap map) {
    block.maps[k] = map;
    block.enabled[k] = 1;
}

// emptyBlock() with `maps` as its first maps, enabled.
inline ParameterBlock blockWith(int sizeIndex, std::int32_t iterations,
                                const std::vector<AffineMap>& maps) {
    ParameterBlock block = emptyBlock(sizeIndex, iterations);
    for (std::size_t k = 0; k < maps.size(); ++k) {
        setMap(block, static_cast<int>(k), maps[k]);
    }
    return block;
}

inline int countBlack(const MonochromePicture& picture) {
    int black = 0;
    for (int y = 0; y < picture.side(); ++y) {
        for (int x = 0; x < picture.side(); ++x) {
            black += picture.isBlack(x, y) ? 1 : 0;
        }
    }
    return black;
}

std::vector<std::uint8_t> readAll(const std::string& path);
void writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace orv::test
