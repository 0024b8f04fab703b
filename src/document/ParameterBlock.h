#pragma once

#include <array>
#include <cstdint>

#include "document/AffineMap.h"

namespace orv {

inline constexpr int kMapCount = 6;
inline constexpr int kSizeCount = 6;  // sizeIndex 0..5: sides 64, 128, ..., 2048
inline constexpr int kMinShift = 6;

// The whole function system: what the Parameters dialog edits and the .orv file stores.
// Every field is taken as it comes (a file is not checked), so readers of the block must
// cope with any value; only sizeIndex is guaranteed to lie in 0..5 (see isValidSizeIndex).
struct ParameterBlock {
    std::array<AffineMap, kMapCount> maps{};
    std::array<std::int32_t, kMapCount> enabled{};  // non-zero: the map takes part
    std::int32_t autoIterations = 0;                // non-zero: count = 2 * log2(side)
    std::int32_t iterationCount = 0;                // used when autoIterations is zero
    std::int32_t sizeIndex = 0;                     // side = 64 << sizeIndex
};

// New-document defaults: the identity map alone, 128 x 128, automatic iteration count.
ParameterBlock defaultParameters();

constexpr bool isValidSizeIndex(std::int32_t sizeIndex) {
    return sizeIndex >= 0 && sizeIndex < kSizeCount;
}

// log2 of the picture side; sizeIndex must be valid.
constexpr int shiftForSizeIndex(std::int32_t sizeIndex) {
    return sizeIndex + kMinShift;
}

// The number of iterations a render of this block performs (may be zero or negative).
std::int64_t iterationsFor(const ParameterBlock& block);

// Coefficient `index` (0..5 for a..f) of map `map`: the dialog and the file walk the 36
// coefficients map-major, map 0 a..f first.
inline constexpr double AffineMap::*kCoefficients[6] = {
    &AffineMap::a, &AffineMap::b, &AffineMap::c, &AffineMap::d, &AffineMap::e, &AffineMap::f};
inline double& coefficient(ParameterBlock& block, int map, int index) {
    return block.maps[map].*kCoefficients[index];
}
inline double coefficient(const ParameterBlock& block, int map, int index) {
    return block.maps[map].*kCoefficients[index];
}

}  // namespace orv
