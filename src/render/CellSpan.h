#pragma once

#include <cstdint>
#include <vector>

namespace orv {

// A run of cells along a line, first..last; none when first > last. Exact integers: the
// lines of pixels and cells of the lattice maps (PreparedMap) are integral.
struct CellSpan {
    std::int64_t first = 0;
    std::int64_t last = -1;

    bool empty() const { return first > last; }
};

// The line of points base + i * step, for whole i.
struct IntegerLine {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t dx = 0;
    std::int64_t dy = 0;
};

// The i of `span` for which low <= base + i * step <= high.
CellSpan narrowSpan(CellSpan span, std::int64_t base, std::int64_t step, std::int64_t low,
                    std::int64_t high);

// The i of `span` for which the point of `line` lies in [low, high]^2.
CellSpan narrowSpan(CellSpan span, const IntegerLine& line, std::int64_t low, std::int64_t high);

// Sorts `spans` and merges those that overlap or touch, dropping empty ones.
void mergeSpans(std::vector<CellSpan>& spans);

}  // namespace orv
