#pragma once

#include <algorithm>
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

// The i of `span` for which least <= i * step <= most, step > 0 and not a power of two.
CellSpan narrowSpanByDivision(CellSpan span, std::int64_t step, std::int64_t least,
                              std::int64_t most);

// The i of `span` for which low <= base + i * step <= high. Steps are mostly 0, 1 or 2 in
// size: those take no division.
inline CellSpan narrowSpan(CellSpan span, std::int64_t base, std::int64_t step, std::int64_t low,
                           std::int64_t high) {
    std::int64_t least = low - base;
    std::int64_t most = high - base;
    if (step < 0) {  // i * -step in [-most, -least]
        step = -step;
        const std::int64_t swapped = least;
        least = -most;
        most = -swapped;
    }
    if (step == 0) {
        return least <= 0 && 0 <= most ? span : CellSpan{};
    }
    if ((step & (step - 1)) != 0) {
        return narrowSpanByDivision(span, step, least, most);
    }
    // Dividing by a power of two, an arithmetic shift rounds down.
    const int shift = __builtin_ctzll(static_cast<unsigned long long>(step));
    span.first = std::max(span.first, -(-least >> shift));
    span.last = std::min(span.last, most >> shift);
    return span.empty() ? CellSpan{} : span;
}

// The i of `span` for which the point of `line` lies in [low, high]^2.
inline CellSpan narrowSpan(CellSpan span, const IntegerLine& line, std::int64_t low,
                           std::int64_t high) {
    return narrowSpan(narrowSpan(span, line.x, line.dx, low, high), line.y, line.dy, low, high);
}

// Sorts `spans` and merges those that overlap or touch, dropping empty ones.
void mergeSpans(std::vector<CellSpan>& spans);

}  // namespace orv
