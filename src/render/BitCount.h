#pragma once

#include <cstdint>

namespace orv {

// The set bits of a word. Without the processor's own instruction (the build targets plain
// x86-64), std::popcount would call a library function for every word.
inline int bitCount(std::uint64_t word) {
#if defined(__POPCNT__)
    return __builtin_popcountll(word);
#else
    word = word - ((word >> 1) & 0x5555555555555555ULL);
    word = (word & 0x3333333333333333ULL) + ((word >> 2) & 0x3333333333333333ULL);
    word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((word * 0x0101010101010101ULL) >> 56);
#endif
}

}  // namespace orv
