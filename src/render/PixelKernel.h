#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// What a landing pixel does to its target byte.
enum class TargetOp {
    Mark,    // set to kMark: the target is black
    Add,     // one more pixel lands here; counts stop at kFullCount
    Remove,  // one pixel fewer lands here
};

// Where the pixels of one source row go under one map, for one band of target rows: the
// per-column products and the row terms of PreparedMap, the band's limits and its bytes.
struct RowTargets {
    const double* xa;  // x*a per column
    const double* xc;  // x*c per column
    double rowX;       // y*b + N*e
    double rowY;       // y*d + N*f
    double side;       // N
    double yLow;       // Y lands in the band exactly when yLow < Y < yHigh
    double yHigh;
    int first;              // the band's lowest target row
    int shift;              // log2 N
    std::uint8_t* targets;  // the byte of target row `first`, column 0; rows are N bytes apart
    std::uint64_t* landed;  // for Remove: one bit per target byte from `targets` on, set
                            // while its count is non-zero; cleared when the count drops to 0
    // For Add: the caller knows that no count can pass kFullCount, so counts need not be
    // stopped there (the result is the same).
    bool belowFull = false;

    static constexpr std::uint8_t kMark = 0xFF;
    static constexpr std::uint8_t kFullCount = 0xFF;

    double x(int column) const { return xa[column] + rowX; }
    double y(int column) const { return xc[column] + rowY; }
};

// Applies `op` for the black pixels (set bits of `bits`, a row of N/64 words) in columns
// from..to. `lanes` caps the doubles per vector instruction: 1 (none) or 4 (AVX2, where the
// processor has it); the targets are the same doubles either way. (Eight lanes of AVX-512
// were tried and measured slower on a Zen 4: its wide operations are split in two there.)
void plotBlackPixels(const RowTargets& row, const std::uint64_t* bits, int from, int to,
                     TargetOp op, int lanes);

// Marks the targets of every pixel of columns u..v (all known to be black).
void markColumns(const RowTargets& row, int u, int v);

// Where the pixels of one source column go under one map, for one band of target rows: the
// column's products x*a and x*c, the map's b, d and offsets N*e and N*f, the band's limits
// and its bytes (as in RowTargets).
struct ColumnTargets {
    double xa;
    double xc;
    double b;
    double d;
    double ne;
    double nf;
    double side;
    double yLow;
    double yHigh;
    int first;
    int shift;
    std::uint8_t* targets;
};

// Marks the targets of rows from..to of the column (all black) that land in the band: X =
// x*a + (y*b + N*e), Y = x*c + (y*d + N*f), the defining loop's doubles. `lanes` as for
// plotBlackPixels.
void markColumnRows(const ColumnTargets& column, int from, int to, int lanes);

// The pixels of columns u..w (at most 64, all black, all landing on one target row, X moving by
// at most a column per pixel) counted per target column: histogram[X - low] for each column
// low..high between their ends' columns. False, with the histogram undefined, where vectors
// are not to be used or a column takes more than three pixels, or X skips a column: the
// caller then counts them one by one. The histogram has room for 64 bytes.
bool histogramOfColumns(const RowTargets& row, int u, int w, int low, int high,
                        std::uint8_t* histogram, int lanes);

// One map's coefficients as a listed pixel's target needs them: X = x*a + (y*b + N*e) and
// Y = x*c + (y*d + N*f), the defining loop's doubles, for pixels and targets given as
// (row << shift) + column.
struct ListedMap {
    double a;
    double b;
    double c;
    double d;
    double ne;  // N*e
    double nf;  // N*f
    double side;
    int shift;
};

// How many landings of listed pixels landListedPixels() wrote to each of its lists.
struct ListedLandings {
    std::size_t inside = 0;
    std::size_t outside = 0;
};

// Writes to `inside` the targets of those of the `count` listed pixels whose target lands
// (-1 < X < N, -1 < Y < N) at `first` or later but before `end`, in order; when `outside` is
// set, the targets of the other pixels that land go there, in order (otherwise they are
// dropped). Each list must have room for its landings and 4 values more. `lanes` as for
// plotBlackPixels.
ListedLandings landListedPixels(const std::uint32_t* pixels, std::size_t count,
                                const ListedMap& map, std::uint32_t first, std::uint32_t end,
                                std::uint32_t* inside, std::uint32_t* outside, int lanes);

}  // namespace orv
