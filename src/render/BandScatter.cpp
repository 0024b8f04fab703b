#include "render/BandScatter.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

#include "render/BitCount.h"
#include "render/PixelKernel.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv {

namespace {

// Pixels are plotted tile by tile, so that the targets of neighbouring source rows, which lie
// close together, are written while their cache lines are still at hand.
constexpr int kTileRows = 32;
constexpr int kTileColumns = 128;

// Stretches of a source row shorter than this are not cut to the columns that land in a band.
constexpr int kNarrowedColumns = 256;

// Rows with fewer pixels that turned white than this are taken away without vectors.
constexpr int kFewWhitened = 8;

// How many source rows ahead taking away fetches the rasters' words.
constexpr int kRowsAhead = 4;

// Runs this short cost less to plot than to cut into pieces.
constexpr int kShortestFilledRun = 4;

// Where a target coordinate lands relative to a range of cells (a band's rows or the raster's
// columns): kBefore, the cell itself, or kBeyond. It changes monotonically with the
// coordinate, hence monotonically along a row.
constexpr int kBefore = INT_MIN;
constexpr int kBeyond = INT_MAX;

struct CellRange {
    double low;  // a value lies in the range exactly when low < value < high
    double high;
    int cellOf(double value) const {
        if (!(value > low)) {
            return kBefore;
        }
        return value < high ? static_cast<int>(value) : kBeyond;
    }
    // The value at which a coordinate moving with `slope` leaves `cell`.
    double exitOf(int cell, double slope) const {
        if (slope > 0.0) {
            return cell == kBefore ? low : cell + 1.0;
        }
        return cell == kBeyond ? high : (cell == 0 ? -1.0 : cell);
    }
};

// The last column of u..v whose coordinate (per `value`) stays in the cell of column u. The
// slope predicts it; two evaluations confirm the prediction, a bisection settles the rest.
template <typename Value>
int endOfCell(int u, int v, double slope, const CellRange& range, Value value) {
    const double start = value(u);
    const int cell = range.cellOf(start);
    if (u == v || slope == 0.0 || (cell == kBeyond && slope > 0.0) ||
        (cell == kBefore && slope < 0.0)) {
        return v;
    }
    const auto same = [&](int column) { return range.cellOf(value(column)) == cell; };
    const double distance = (range.exitOf(cell, slope) - start) / slope;
    int guess = u;
    if (distance > static_cast<double>(v - u)) {
        guess = v;
    } else if (distance >= 1.0) {
        guess = u + static_cast<int>(std::ceil(distance)) - 1;
    }
    if (same(guess) && (guess == v || !same(guess + 1))) {
        return guess;
    }
    int lo = u;      // same
    int hi = v + 1;  // not same, or past the end
    while (hi - lo > 1) {
        const int middle = lo + (hi - lo) / 2;
        if (same(middle)) {
            lo = middle;
        } else {
            hi = middle;
        }
    }
    return lo;
}

// The first column in lo..hi where `holds` becomes true (hi + 1 when it never does), for a
// predicate that stays true once it holds. `guess` is tried first; a bisection settles the rest.
template <typename Predicate>
int firstWhere(int lo, int hi, int guess, Predicate holds) {
    if (guess > lo && guess <= hi && holds(guess) && !holds(guess - 1)) {
        return guess;
    }
    int end = hi + 1;
    while (lo < end) {
        const int middle = lo + (end - lo) / 2;
        if (holds(middle)) {
            end = middle;
        } else {
            lo = middle + 1;
        }
    }
    return lo;
}

// The column where x*c + rowY reaches `level` in real arithmetic, rounded up: the first
// column at or past it within one or two, or -1 when that lies outside the row.
int crossingGuess(double level, double rowY, double c, int side) {
    const double column = std::ceil((level - rowY) / c);
    return column >= 0.0 && column < side ? static_cast<int>(column) : -1;
}

// Cuts from..to down to the columns whose Y lands in the band: one stretch, as Y is monotone
// along the row.
void narrowToBand(const RowTargets& row, double c, const TargetBand& band, int& from, int& to) {
    const int side = static_cast<int>(row.side);
    const auto guess = [&](double level) { return crossingGuess(level, row.rowY, c, side); };
    const double lowLevel = band.first == 0 ? -1.0 : band.first;
    if (c > 0.0) {
        from = firstWhere(from, to, guess(lowLevel), [&](int x) { return row.y(x) > band.yLow; });
        to =
            firstWhere(from, to, guess(band.yHigh), [&](int x) { return row.y(x) >= band.yHigh; }) -
            1;
    } else if (c < 0.0) {
        from =
            firstWhere(from, to, guess(band.yHigh), [&](int x) { return row.y(x) < band.yHigh; });
        to =
            firstWhere(from, to, guess(lowLevel), [&](int x) { return row.y(x) <= band.yLow; }) - 1;
    }
}

// Cuts u..v, a stretch of a row, into the pieces whose pixels land on one target row of the
// band, and calls piece(targetRow, first, last) for each, in order; columns whose Y misses the
// band are left out. Where each piece ends is first estimated in real arithmetic, from the
// target row alone and not from the piece before, then settled by the exact doubles.
template <typename Piece>
void forEachRowPiece(const RowTargets& row, double c, const TargetBand& band, int u, int v,
                     Piece piece) {
    const auto inBand = [&](int x) {
        const double y = row.y(x);
        return y > band.yLow && y < band.yHigh;
    };
    if (!inBand(u) || !inBand(v)) {  // most runs lie in the band whole
        narrowToBand(row, c, band, u, v);
        // A Y that stands still (c = 0) outside the band leaves the stretch as it was.
        if (u > v || !inBand(u)) {
            return;
        }
    }
    // Every Y from here on lies in the band, above -1: its row is its truncation.
    int targetRow = static_cast<int>(row.y(u));
    const int lastRow = static_cast<int>(row.y(v));
    const double inverseC = 1.0 / c;  // used only when Y changes row, so c is not zero
    // Where Y changes by less than half a row per pixel, the row after a piece is the next
    // one: known before the piece's end is, so the ends of the pieces that follow can be
    // sought without waiting for it.
    const int nextRow = std::fabs(c) < 0.5 ? (c > 0.0 ? 1 : -1) : 0;
    while (targetRow != lastRow) {
        // Y leaves the row at `level`: upwards on reaching the next row, downwards on falling
        // below its own (row 0 reaches down to -1, which no Y here reaches). The row changes
        // first at a column past u where Y lies at or beyond it; it does at v.
        const double level = c > 0.0 ? targetRow + 1.0 : targetRow;
        const auto leaves = [&](int x) {
            const double y = row.y(x);
            return c > 0.0 ? y >= level : y < level;
        };
        const double estimate = (level - row.rowY) * inverseC;
        int w = u + 1;
        if (estimate > u + 1.0) {  // not when NaN
            w = estimate >= v ? v : static_cast<int>(estimate);
        }
        while (w > u + 1 && leaves(w - 1)) {
            --w;
        }
        while (w < v && !leaves(w)) {
            ++w;
        }
        piece(targetRow, u, w - 1);
        u = w;
        targetRow = nextRow != 0 ? targetRow + nextRow : static_cast<int>(row.y(u));
    }
    piece(targetRow, u, v);
}

// Fills the targets of black runs whose pieces land on one target row (or column) each.
class RunFiller {
public:
    RunFiller(const RowTargets& row, const TargetBand& band, double a, double c,
              std::size_t rowBytes)
        : row_(row), band_(band), a_(a), c_(c), rowBytes_(rowBytes), columns_{-1.0, row.side} {}

    // Cut where the target row changes; each piece covers every column between the targets
    // of its ends (the caller knows X skips no column).
    void alongRows(int u, int v) {
        forEachRowPiece(row_, c_, band_, u, v, [&](int targetRow, int first, int last) {
            fillRow(targetRow, row_.x(first), row_.x(last));
        });
    }

    // Cut where the target column changes; each piece covers every row between the targets
    // of its ends (the caller knows Y skips no row).
    void alongColumns(int u, int v) {
        while (u <= v) {
            const int w = endOfCell(u, v, a_, columns_, [&](int x) { return row_.x(x); });
            const int targetColumn = columns_.cellOf(row_.x(u));
            if (targetColumn != kBefore && targetColumn != kBeyond) {
                fillColumn(targetColumn, row_.y(u), row_.y(w));
            }
            u = w + 1;
        }
    }

private:
    // A piece that starts beyond the left edge enters the raster on column 0, since its steps
    // are under one pixel; likewise it leaves past the right edge from column N-1.
    void fillRow(int targetRow, double xu, double xw) {
        const double low = std::min(xu, xw);
        const double high = std::max(xu, xw);
        if (high <= -1.0 || low >= row_.side) {
            return;
        }
        const int from = low > -1.0 ? static_cast<int>(low) : 0;
        const int to = high < row_.side ? static_cast<int>(high) : static_cast<int>(rowBytes_) - 1;
        std::memset(row_.targets + static_cast<std::size_t>(targetRow - row_.first) * rowBytes_ +
                        static_cast<std::size_t>(from),
                    RowTargets::kMark, static_cast<std::size_t>(to - from + 1));
    }

    void fillColumn(int targetColumn, double yu, double yw) {
        const double low = std::min(yu, yw);
        const double high = std::max(yu, yw);
        if (high <= row_.yLow || low >= row_.yHigh) {
            return;
        }
        const int from = std::max(low > -1.0 ? static_cast<int>(low) : 0, row_.first);
        const int last = band_.last;
        const int to = std::min(high < row_.side ? static_cast<int>(high) : last, last);
        std::uint8_t* mark = row_.targets +
                             static_cast<std::size_t>(from - row_.first) * rowBytes_ +
                             static_cast<std::size_t>(targetColumn);
        for (int r = from; r <= to; ++r, mark += rowBytes_) {
            *mark = RowTargets::kMark;
        }
    }

    RowTargets row_;
    const TargetBand& band_;
    double a_;
    double c_;
    std::size_t rowBytes_;
    CellRange columns_;
};

// The first column in from..limit whose bit equals `black`, or limit + 1.
int nextWithColour(const std::uint64_t* bits, int from, int limit, bool black) {
    int word = from >> 6;
    const int lastWord = limit >> 6;
    std::uint64_t pending = (black ? bits[word] : ~bits[word]) & (~std::uint64_t{0} << (from & 63));
    while (pending == 0) {
        if (++word > lastWord) {
            return limit + 1;
        }
        pending = black ? bits[word] : ~bits[word];
    }
    return std::min(word * 64 + std::countr_zero(pending), limit + 1);
}

template <typename RunAction>
void forEachBlackRun(const std::uint64_t* bits, int from, int to, RunAction action) {
    int u = nextWithColour(bits, from, to, true);
    while (u <= to) {
        const int v = nextWithColour(bits, u, to, false) - 1;
        action(u, v);
        if (v >= to) {
            break;
        }
        u = nextWithColour(bits, v + 1, to, true);
    }
}

// Where source row y goes under `map`, within `band`.
RowTargets rowTargets(const PreparedMap& map, int y, const TargetBand& band, int shift,
                      std::uint8_t* targets, std::uint64_t* landed, bool belowFull = false) {
    return {map.columnX(), map.columnY(), map.rowX(y), map.rowY(y), static_cast<double>(map.side()),
            band.yLow,     band.yHigh,    band.first,  shift,       targets,
            landed,        belowFull};
}

// Adds to the counts of columns from..to of a target row, stopping at kFullCount:
// increments[column - from] each, or one when there are no increments. Only the row's own
// bytes are read and written: the next row may be another thread's.
void addToCounts(std::uint8_t* counts, int from, int to, const std::uint8_t* increments) {
    int column = from;
#if defined(__SSE2__)
    // Sixteen bytes, the last `left` of them all ones: the bytes of the last 16 columns up to
    // `to` that lie past the `left` columns before (with increments, `left` is at most the
    // stretch's length: increments are read from the stretch's start on only).
    alignas(16) static constexpr std::uint8_t kRamp[32] = {
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
        0,    0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const auto lastBytes = [](int left) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRamp + left));
    };
    const __m128i one = _mm_set1_epi8(1);
    const auto added = [&](int offset) {  // for columns from + offset onwards
        return increments == nullptr
                   ? one
                   : _mm_loadu_si128(reinterpret_cast<const __m128i*>(increments + offset));
    };
    const int length = to - from + 1;
    if (length >= 16 && length <= 32) {
        // The most common length, where the rows of a piece change every 16 to 32 pixels. Both
        // ends are read before either is written: a read that overlaps a write just made, but
        // not whole, waits until that write reaches the cache. The first end is written last,
        // over the bytes the two share.
        __m128i* head = reinterpret_cast<__m128i*>(counts + from);
        __m128i* tail = reinterpret_cast<__m128i*>(counts + to - 15);
        const __m128i headCounts = _mm_loadu_si128(head);
        const __m128i tailCounts = _mm_loadu_si128(tail);
        _mm_storeu_si128(tail, _mm_adds_epu8(tailCounts, added(length - 16)));
        _mm_storeu_si128(head, _mm_adds_epu8(headCounts, added(0)));
        return;
    }
    for (; column + 15 <= to; column += 16) {
        __m128i* chunk = reinterpret_cast<__m128i*>(counts + column);
        _mm_storeu_si128(chunk, _mm_adds_epu8(_mm_loadu_si128(chunk), added(column - from)));
    }
    if (column <= to && (increments == nullptr ? to >= 15 : length >= 16)) {
        __m128i* chunk = reinterpret_cast<__m128i*>(counts + to - 15);
        _mm_storeu_si128(
            chunk, _mm_adds_epu8(_mm_loadu_si128(chunk),
                                 _mm_and_si128(added(length - 16), lastBytes(to - column + 1))));
        return;
    }
#endif
    for (; column <= to; ++column) {
        const unsigned sum =
            counts[column] + (increments == nullptr ? 1u : increments[column - from]);
        counts[column] = static_cast<std::uint8_t>(std::min(sum, unsigned{RowTargets::kFullCount}));
    }
}

// Counts the black runs of a map whose X moves by half a column to a column per pixel and
// whose Y moves slowly. Runs are cut where the target row changes. Where X skips no column,
// the targets of a piece cover every column between those of its ends, and when the ends lie
// as many columns apart as the piece has pixels, less one, each pixel has a column of its own:
// the piece adds one to each. Other pieces that span few columns count their pixels per
// column in a small histogram first, which is then added to the row's counts a vector at a
// time: where X moves by less than a column per pixel, most pixels share their column with a
// neighbour, and plotting them would change about one count per pixel. Pieces that cross the
// raster's side edges are plotted pixel by pixel.
class RunCounter {
public:
    RunCounter(const RowTargets& row, const std::uint64_t* bits, double c, const TargetBand& band,
               bool withoutGaps, int lanes)
        : row_(row), bits_(bits), c_(c), band_(band), withoutGaps_(withoutGaps), lanes_(lanes) {}

    void alongRows(int u, int v) {
        forEachRowPiece(row_, c_, band_, u, v,
                        [&](int targetRow, int first, int last) { count(targetRow, first, last); });
    }

private:
    // Columns a histogram covers: a piece that spans more is counted a stretch at a time.
    static constexpr int kHistogramColumns = 64;

    void count(int targetRow, int u, int w) {
        const double xu = row_.x(u);
        const double xw = row_.x(w);
        const bool inside = xu > -1.0 && xu < row_.side && xw > -1.0 && xw < row_.side;
        if (!inside) {
            plotBlackPixels(row_, bits_, u, w, TargetOp::Add, lanes_);
            return;
        }
        std::uint8_t* counts =
            row_.targets + (static_cast<std::size_t>(targetRow - row_.first) << row_.shift);
        // X is monotone along the row, and the whole piece lies inside: its targets' columns
        // lie between those of its ends, each the truncation of its X.
        const int from = static_cast<int>(std::min(xu, xw));
        const int to = static_cast<int>(std::max(xu, xw));
        if (withoutGaps_ && to - from == w - u) {
            addToCounts(counts, from, to, nullptr);
            return;
        }
        // A stretch of at most kHistogramColumns pixels spans at most as many columns, X moving
        // by at most a column per pixel.
        for (int first = u; first <= w; first += kHistogramColumns) {
            const int last = std::min(w, first + kHistogramColumns - 1);
            const double xFirst = row_.x(first);
            const double xLast = row_.x(last);
            const int low = static_cast<int>(std::min(xFirst, xLast));
            const int high = static_cast<int>(std::max(xFirst, xLast));
            if (!histogramOfColumns(row_, first, last, low, high, histogram_, lanes_)) {
                std::fill_n(histogram_, high - low + 1, std::uint8_t{0});
                for (int x = first; x <= last; ++x) {
                    ++histogram_[static_cast<int>(row_.x(x)) - low];
                }
            }
            addToCounts(counts, low, high, histogram_);
        }
    }

    RowTargets row_;
    const std::uint64_t* bits_;
    double c_;
    const TargetBand& band_;
    bool withoutGaps_;
    int lanes_;
    std::uint8_t histogram_[kHistogramColumns + 16];
};

}  // namespace

TargetBand::TargetBand(int plan_, int index_, int first_, int last_)
    : plan(plan_),
      index(index_),
      first(first_),
      last(last_),
      // Y >= first is Y > (the double below first); row 0 also takes -1 < Y < 0.
      yLow(first_ == 0 ? -1.0 : std::nextafter(static_cast<double>(first_), -1.0)),
      yHigh(last_ + 1.0) {}

void StepOutcome::add(const StepOutcome& other) {
    changed = changed || other.changed;
    saturated = saturated || other.saturated;
    whitened += other.whitened;
    whitenedWords += other.whitenedWords;
}

BandScatter::BandScatter(int side, int markedRows, std::span<std::uint8_t> marks)
    : side_(side),
      shift_(std::countr_zero(static_cast<unsigned>(side))),
      markedLow_(side),
      markedHigh_(-1),
      ownedMarks_(marks.empty()
                      ? static_cast<std::size_t>(side) * static_cast<std::size_t>(markedRows)
                      : 0),
      marks_(marks.empty() ? std::span<std::uint8_t>(ownedMarks_) : marks),
      whitened_(static_cast<std::size_t>(side / 64)),
      points_(static_cast<std::size_t>(side / 64)) {}

bool BandScatter::scatter(const IterationStep& step, const TargetBand& band, bool counted,
                          const std::function<bool()>& keepGoing) {
    if (counted && step.countsUse == CountsUse::Count && step.latticeDepth >= 0) {
        countLatticeImage(step, band);  // every counted map has lattice classes
        return true;
    }
    if (counted && step.countsUse != CountsUse::TakeAway) {
        std::memset(step.counts + (static_cast<std::size_t>(band.first) << shift_), 0,
                    static_cast<std::size_t>(band.last - band.first + 1) << shift_);
    }
    for (const PreparedMap& map : step.maps) {
        if (map.counted() != counted) {
            continue;
        }
        const bool retracting = counted && step.countsUse == CountsUse::TakeAway;
        if (!(retracting ? takeAway(step, map, band, keepGoing)
                         : scatterMap(step, map, band, keepGoing))) {
            return false;
        }
    }
    return true;
}

// The first iteration under a map whose image of the full square is known as row spans (see
// PreparedMap::planSpans): the spans are filled, and only the pixels near the square's edges
// are mapped one by one.
bool BandScatter::markImageOfSquare(const IterationStep& step, const PreparedMap& map,
                                    const TargetBand& band, std::uint8_t* targets,
                                    const std::function<bool()>& keepGoing) {
    const std::size_t rowBytes = static_cast<std::size_t>(side_);
    for (int j = band.first; j <= band.last; ++j) {
        const int first = map.spanFirst(j);
        const int last = map.spanLast(j);
        if (first <= last) {
            std::memset(targets + static_cast<std::size_t>(j - band.first) * rowBytes +
                            static_cast<std::size_t>(first),
                        RowTargets::kMark, static_cast<std::size_t>(last - first + 1));
        }
    }
    if (!map.counted()) {
        markedLow_ = std::min(markedLow_, band.first);
        markedHigh_ = std::max(markedHigh_, band.last);
    }
    // The pixels within `border` of the square's edges: the rows along the bottom and top
    // edges whole, then the side strips between them column by column.
    const int border = map.spanBorder();
    const int rowsFrom = map.sourceRowsFirst(band.plan, band.index);
    const int rowsTo = map.sourceRowsLast(band.plan, band.index);
    for (const auto& [edgeFrom, edgeTo] : {std::pair{rowsFrom, std::min(rowsTo, border - 1)},
                                           std::pair{std::max(rowsFrom, side_ - border), rowsTo}}) {
        for (int y = edgeFrom; y <= edgeTo; ++y) {
            if (map.reachLow(y) > band.last || map.reachHigh(y) < band.first) {
                continue;
            }
            if ((++visits_ & 7) == 0 && !keepGoing()) {
                return false;
            }
            const RowTargets row = rowTargets(map, y, band, shift_, targets, nullptr);
            int from = 0;
            int to = side_ - 1;
            narrowToBand(row, map.c(), band, from, to);
            if (from <= to) {
                plotBlackPixels(row, step.source->row(y), from, to, TargetOp::Mark,
                                step.vectorLanes);
            }
        }
    }
    for (int x = 0; x < border; ++x) {
        markColumnInBand(map, band, targets, x, border, side_ - border - 1, step.vectorLanes);
        markColumnInBand(map, band, targets, side_ - 1 - x, border, side_ - border - 1,
                         step.vectorLanes);
    }
    return true;
}

// Marks the targets of rows from..to of source column x (all black: the full square) that land
// in the band. Down a column Y is monotone, as the row term y*d + Nf is: the rows whose Y lies
// in the band are one stretch, found by bisection, and each pixel is mapped once, in its band.
// (Mapped as short stretches of rows, one call per row and band, the six copies' side strips
// took 1.1 ms of the 2.4 ms of work of their first iteration.)
void BandScatter::markColumnInBand(const PreparedMap& map, const TargetBand& band,
                                   std::uint8_t* targets, int x, int from, int to, int lanes) {
    const double xa = map.columnX()[x];
    const double xc = map.columnY()[x];
    const auto y = [&](int row) { return xc + map.rowY(row); };
    int first = from;
    int last = to;
    if (map.d() >= 0.0) {
        first = firstWhere(from, to, -1, [&](int row) { return y(row) > band.yLow; });
        last = firstWhere(first, to, -1, [&](int row) { return y(row) >= band.yHigh; }) - 1;
    } else {
        first = firstWhere(from, to, -1, [&](int row) { return y(row) < band.yHigh; });
        last = firstWhere(first, to, -1, [&](int row) { return y(row) <= band.yLow; }) - 1;
    }
    markColumnRows({xa, xc, map.b(), map.d(), map.offsetX(), map.offsetY(),
                    static_cast<double>(side_), band.yLow, band.yHigh, band.first, shift_, targets},
                   first, last, lanes);
}

// The counts of the first iterations when the counted maps count by lattice classes (see
// PreparedMap::classPixels): the source is the full square (depth 0) or, when every map has
// classes, its image under the step `depth` times. Each target cell receives one pixel of each
// class of each map; along a row of cells those pixels lie on a line, and where that line
// holds black pixels of the source is a union of spans. Nothing is mapped: each row's counts
// are written once, from where the spans begin and end.
void BandScatter::countLatticeImage(const IterationStep& step, const TargetBand& band) {
    for (int j = band.first; j <= band.last; ++j) {
        edges_.clear();
        // Truncation toward zero puts cell row -1 on row 0 too, and cell -1 on column 0.
        for (int cellRow = j; cellRow >= (j == 0 ? -1 : j); --cellRow) {
            for (const PreparedMap& map : step.maps) {
                for (int k = 0; map.counted() && k < map.latticeClasses(); ++k) {
                    spans_.clear();
                    const IntegerLine pixels = map.classPixels(k, cellRow);
                    const CellSpan cells{-1, side_ - 1};
                    // The depth is a template argument: the recursion unrolls.
                    switch (step.latticeDepth) {
                        case 0:
                            addBlackSpans<0>(step.maps, pixels, cells);
                            break;
                        case 1:
                            addBlackSpans<1>(step.maps, pixels, cells);
                            break;
                        default:
                            addBlackSpans<IterationStep::kMostLatticeDepth>(step.maps, pixels,
                                                                            cells);
                            break;
                    }
                    mergeSpans(spans_);
                    for (CellSpan span : spans_) {
                        if (span.first < 0) {
                            edges_.push_back({0, 1});
                            edges_.push_back({1, -1});
                            span.first = 0;
                        }
                        if (span.first <= span.last) {
                            edges_.push_back({span.first, 1});
                            edges_.push_back({span.last + 1, -1});
                        }
                    }
                }
            }
        }
        std::sort(edges_.begin(), edges_.end());
        std::uint8_t* row = step.counts + (static_cast<std::size_t>(j) << shift_);
        std::int64_t column = 0;
        int count = 0;
        for (const std::pair<std::int64_t, int>& edge : edges_) {
            std::memset(row + column, std::min(count, static_cast<int>(RowTargets::kFullCount)),
                        static_cast<std::size_t>(edge.first - column));
            column = edge.first;
            count += edge.second;
        }
        std::memset(row + column, 0, static_cast<std::size_t>(side_ - column));
    }
}

// Adds to spans_ the i of `span` whose pixel pixels(i) is black in the depth-th image of the
// full square. The square holds the pixels of 0..N-1 both ways. A later image holds pixel p
// when a cell that truncates to p receives, under some map, a pixel of some class that the
// image before holds: cell p itself, and where p lies on column or row 0 the cells -1 beside
// it. Along the line each of those cells, and so the pixel it receives, moves by whole steps.
template <int depth>
void BandScatter::addBlackSpans(std::span<const PreparedMap> maps, const IntegerLine& pixels,
                                CellSpan span) {
    span = narrowSpan(span, pixels, 0, side_ - 1);
    if (span.empty()) {
        return;
    }
    if constexpr (depth == 0) {
        spans_.push_back(span);
    } else {
        const CellSpan onColumn0 = narrowSpan(span, pixels.x, pixels.dx, 0, 0);
        const CellSpan onRow0 = narrowSpan(span, pixels.y, pixels.dy, 0, 0);
        const CellSpan atCorner = narrowSpan(onColumn0, pixels.y, pixels.dy, 0, 0);
        for (const PreparedMap& map : maps) {
            for (int c = 0; c < map.latticeClasses(); ++c) {
                addBlackSpans<depth - 1>(maps, map.receivedPixels(c, pixels), span);
                if (!onColumn0.empty()) {
                    addBlackSpans<depth - 1>(
                        maps, map.receivedPixels(c, {-1, pixels.y, 0, pixels.dy}), onColumn0);
                }
                if (!onRow0.empty()) {
                    addBlackSpans<depth - 1>(
                        maps, map.receivedPixels(c, {pixels.x, -1, pixels.dx, 0}), onRow0);
                }
                if (!atCorner.empty()) {
                    addBlackSpans<depth - 1>(maps, map.receivedPixels(c, {-1, -1, 0, 0}), atCorner);
                }
            }
        }
    }
}

// Pixels that turned white are few next to those still black, and they lie in the words the
// source marked when it was packed from the counted raster: only those words are read, and
// only those whose first or last pixel lands in the band (Y is monotone along a row, so these
// bound the rest). The counts change in the same way whatever the order.
bool BandScatter::takeAway(const IterationStep& step, const PreparedMap& map,
                           const TargetBand& band, const std::function<bool()>& keepGoing) {
    std::uint8_t* targets = step.counts + (static_cast<std::size_t>(band.first) << shift_);
    std::uint64_t* landed =
        step.landedBits + ((static_cast<std::size_t>(band.first) << shift_) >> 6);
    const BitRaster& source = *step.source;
    const BitRaster& before = *step.counted;
    const double* columnY = map.columnY();
    std::uint64_t* gone = whitened_.data();
    const int rowsTo = map.sourceRowsLast(band.plan, band.index);
    for (int y = map.sourceRowsFirst(band.plan, band.index); y <= rowsTo; ++y) {
        std::uint32_t words = source.whitenedWords(y);
        if (words == 0 || map.reachLow(y) > band.last || map.reachHigh(y) < band.first) {
            continue;
        }
        if ((++visits_ & 63) == 0 && !keepGoing()) {
            return false;
        }
        const std::uint64_t* now = source.row(y);
        const std::uint64_t* was = before.row(y);
        if (y + kRowsAhead <= rowsTo) {
            // The rows were packed by whichever thread owns their band, often the other.
            const std::uint64_t* nowAhead = source.row(y + kRowsAhead);
            const std::uint64_t* wasAhead = before.row(y + kRowsAhead);
            for (int word = 0; word < source.wordsPerRow(); word += 8) {
                __builtin_prefetch(nowAhead + word);
                __builtin_prefetch(wasAhead + word);
            }
        }
        const double rowY = map.rowY(y);
        int first = BitRaster::kMaxWordsPerRow;
        int last = -1;
        int pixels = 0;
        for (; words != 0; words &= words - 1) {
            const int i = std::countr_zero(words);
            const std::uint64_t bits = was[i] & ~now[i];
            if (bits == 0) {
                continue;
            }
            const double* xc = columnY + i * 64;
            const double yFirst = xc[std::countr_zero(bits)] + rowY;
            const double yLast = xc[63 - std::countl_zero(bits)] + rowY;
            if ((yFirst <= band.yLow && yLast <= band.yLow) ||
                (yFirst >= band.yHigh && yLast >= band.yHigh)) {
                continue;
            }
            gone[i] = bits;
            first = std::min(first, i);
            last = i;
            pixels += bitCount(bits);
        }
        if (last < 0) {
            continue;
        }
        const RowTargets row = rowTargets(map, y, band, shift_, targets, landed);
        // Vectors pay only for many pixels; setting them up costs more than a few.
        plotBlackPixels(row, gone, first * 64, last * 64 + 63, TargetOp::Remove,
                        pixels < kFewWhitened ? 1 : step.vectorLanes);
        std::fill(gone + first, gone + last + 1, std::uint64_t{0});
    }
    return true;
}

bool BandScatter::scatterMap(const IterationStep& step, const PreparedMap& map,
                             const TargetBand& band, const std::function<bool()>& keepGoing) {
    struct PendingRow {
        RowTargets targets;
        const std::uint64_t* bits;
        int from;
        int to;
    };
    PendingRow pending[kTileRows];
    const std::size_t rowBytes = static_cast<std::size_t>(side_);
    // A counted map counts the source afresh or marks it in the counts' place; a marked map
    // marks it in the band's marks.
    const bool counted = map.counted();
    const TargetOp op =
        counted && step.countsUse == CountsUse::Count ? TargetOp::Add : TargetOp::Mark;
    const BitRaster& source = *step.source;
    std::uint8_t* targets =
        counted ? step.counts + (static_cast<std::size_t>(band.first) << shift_) : marks_.data();
    if (op == TargetOp::Mark && map.spanBorder() > 0) {
        if (step.fullSource) {
            return markImageOfSquare(step, map, band, targets, keepGoing);
        }
        if (!step.regionImages.empty()) {
            return markImageOfRegions(step, map, band, targets, keepGoing);
        }
    }

    const int rowsTo = map.sourceRowsLast(band.plan, band.index);
    for (int tileFrom = map.sourceRowsFirst(band.plan, band.index); tileFrom <= rowsTo;
         tileFrom += kTileRows) {
        int pendingRows = 0;
        int tileLeft = side_;
        int tileRight = -1;
        for (int y = tileFrom; y <= std::min(rowsTo, tileFrom + kTileRows - 1); ++y) {
            if (map.reachLow(y) > band.last || map.reachHigh(y) < band.first ||
                source.firstBlackWord(y) > source.lastBlackWord(y)) {
                continue;
            }
            if ((++visits_ & 7) == 0 && !keepGoing()) {
                return false;
            }
            const RowTargets row =
                rowTargets(map, y, band, shift_, targets, nullptr, step.countsBelowFull);
            int from = source.firstBlackWord(y) * 64;
            int to = source.lastBlackWord(y) * 64 + 63;
            const std::uint64_t* bits = source.row(y);
            // A short stretch is left to the per-pixel test of the band; a long one is cut to
            // the columns that land in it.
            if ((map.reachLow(y) < band.first || map.reachHigh(y) > band.last) &&
                to - from >= kNarrowedColumns) {
                narrowToBand(row, map.c(), band, from, to);
            }
            if (from > to) {
                continue;
            }
            if (!counted) {
                markedLow_ = std::min(markedLow_, std::max(map.reachLow(y), band.first));
                markedHigh_ = std::max(markedHigh_, std::min(map.reachHigh(y), band.last));
            }
            if (!counted && map.a() == 0.0 && map.c() == 0.0) {
                // x*0 is a zero, and a zero plus a row term is that term: every pixel of the
                // row has the same target, so the first black one stands for all of them.
                const int first = nextWithColour(bits, from, to, true);
                if (first <= to) {
                    markColumns(row, first, first);
                }
                continue;
            }
            const double slopeX = std::fabs(map.a());
            const double slopeY = std::fabs(map.c());
            if (op == TargetOp::Add && map.countsRuns()) {
                RunCounter counter(row, bits, map.c(), band, map.xWithoutGaps(y), step.vectorLanes);
                forEachBlackRun(bits, from, to, [&](int u, int v) { counter.alongRows(u, v); });
                continue;
            }
            const bool alongRows =
                !map.counted() && map.xWithoutGaps(y) && slopeY < PreparedMap::kFillSlope;
            const bool alongColumns =
                !map.counted() && map.yWithoutGaps(y) && slopeX < PreparedMap::kFillSlope;
            if (!alongRows && !alongColumns) {
                pending[pendingRows++] = {row, bits, from, to};
                tileLeft = std::min(tileLeft, from);
                tileRight = std::max(tileRight, to);
                continue;
            }
            RunFiller filler(row, band, map.a(), map.c(), rowBytes);
            const bool rowsFirst = alongRows && (!alongColumns || slopeY <= slopeX);
            forEachBlackRun(bits, from, to, [&](int u, int v) {
                if (v - u + 1 < kShortestFilledRun) {
                    markColumns(row, u, v);
                } else if (rowsFirst) {
                    filler.alongRows(u, v);
                } else {
                    filler.alongColumns(u, v);
                }
            });
        }
        for (int left = tileLeft & ~(kTileColumns - 1); left <= tileRight; left += kTileColumns) {
            const int right = left + kTileColumns - 1;
            for (int i = 0; i < pendingRows; ++i) {
                const PendingRow& row = pending[i];
                const int from = std::max(row.from, left);
                const int to = std::min(row.to, right);
                if (from <= to) {
                    plotBlackPixels(row.targets, row.bits, from, to, op, step.vectorLanes);
                }
            }
        }
    }
    return true;
}

namespace {

// The black pixels of 64 target bytes: marks have their top bit set, counts are non-zero.
// Marks are cleared on the way for the next band.
std::uint64_t takeMarks(std::uint8_t* marks) {
    std::uint64_t word = 0;
#if defined(__SSE2__)
    for (int part = 0; part < 4; ++part) {
        __m128i* chunk = reinterpret_cast<__m128i*>(marks + 16 * part);
        const std::uint64_t bits =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_loadu_si128(chunk)));
        if (bits != 0) {
            _mm_storeu_si128(chunk, _mm_setzero_si128());
            word |= bits << (16 * part);
        }
    }
#else
    for (int bit = 0; bit < 64; ++bit) {
        word |= static_cast<std::uint64_t>(marks[bit] >> 7) << bit;
        marks[bit] = 0;
    }
#endif
    return word;
}

std::uint64_t landed(const std::uint8_t* counts, bool& saturated) {
    std::uint64_t word = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi8(static_cast<char>(RowTargets::kFullCount));
    for (int part = 0; part < 4; ++part) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(counts + 16 * part));
        const std::uint64_t empty =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero)));
        word |= (~empty & 0xFFFF) << (16 * part);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, full)) != 0) {
            saturated = true;
        }
    }
#else
    for (int bit = 0; bit < 64; ++bit) {
        word |= static_cast<std::uint64_t>(counts[bit] != 0) << bit;
        saturated = saturated || counts[bit] == RowTargets::kFullCount;
    }
#endif
    return word;
}

}  // namespace

void BandScatter::pack(const IterationStep& step, BitRaster& next, const TargetBand& band,
                       StepOutcome& outcome) {
    const int words = next.wordsPerRow();
    const BitRaster& source = *step.source;
    const bool rewritten = step.countsUse != CountsUse::TakeAway;
    std::uint64_t difference = 0;
    std::int64_t whitened = 0;
    std::int64_t whitenedWordCount = 0;
    bool saturated = false;
    for (int row = band.first; row <= band.last; ++row) {
        std::uint64_t* out = next.row(row);
        const std::uint64_t* before = source.row(row);
        // The row's counted pixels: read again where counts changed, else as last packed.
        const std::uint64_t* counted = nullptr;
        if (step.counts != nullptr) {
            std::uint64_t* known =
                step.landedBits + static_cast<std::size_t>(row) * static_cast<std::size_t>(words);
            if (rewritten) {
                const std::uint8_t* counts =
                    step.counts + (static_cast<std::size_t>(row) << shift_);
                for (int i = 0; i < words; ++i) {
                    known[i] = landed(counts + 64 * i, saturated);
                }
            }
            counted = known;
        }
        // With no marked map the buffer is empty and its data() null: no row of it is formed.
        const bool marked = row >= markedLow_ && row <= markedHigh_;
        std::span<const std::int32_t> points;
        if (!step.pointStarts.empty()) {
            points = step.pointColumns.subspan(
                static_cast<std::size_t>(step.pointStarts[static_cast<std::size_t>(row)]),
                static_cast<std::size_t>(step.pointStarts[static_cast<std::size_t>(row) + 1] -
                                         step.pointStarts[static_cast<std::size_t>(row)]));
            for (const std::int32_t column : points) {
                points_[static_cast<std::size_t>(column >> 6)] |= std::uint64_t{1} << (column & 63);
            }
        }
        std::uint8_t* marks =
            marked ? marks_.data() + (static_cast<std::size_t>(row - band.first) << shift_)
                   : nullptr;
        const std::size_t rowBytes = static_cast<std::size_t>(words) * sizeof(std::uint64_t);
        std::uint32_t whitenedWords = 0;
        const auto noteWhitened = [&](int i, std::uint64_t gone) {
            whitened += bitCount(gone);
            ++whitenedWordCount;
            whitenedWords |= std::uint32_t{1} << i;
        };
        if (!marked && points.empty() && counted != nullptr) {
            // Only counted pixels reach the row, so it is the counted row, which lies inside
            // the row before (each raster contains the next): only the black span before can
            // hold pixels that turned white, and late iterations leave most rows as they were.
            std::memcpy(out, counted, rowBytes);
            const int from = source.firstBlackWord(row);
            const int to = source.lastBlackWord(row);
            if (std::memcmp(counted, before, rowBytes) == 0) {
                next.setBlackSpan(row, from, to);
                next.setWhitenedWords(row, 0);
                continue;
            }
            difference = 1;
            for (int i = from; i <= to; ++i) {
                const std::uint64_t gone = before[i] & ~counted[i];
                if (gone != 0) {
                    noteWhitened(i, gone);
                }
            }
            int firstBlack = from;
            int lastBlack = to;
            while (firstBlack <= lastBlack && out[firstBlack] == 0) {
                ++firstBlack;
            }
            while (lastBlack >= firstBlack && out[lastBlack] == 0) {
                --lastBlack;
            }
            if (firstBlack > lastBlack) {
                firstBlack = words;
                lastBlack = -1;
            }
            next.setBlackSpan(row, firstBlack, lastBlack);
            next.setWhitenedWords(row, whitenedWords);
            continue;
        }
        int firstBlack = words;
        int lastBlack = -1;
        for (int i = 0; i < words; ++i) {
            std::uint64_t word = counted != nullptr ? counted[i] : 0;
            if (marked) {
                word |= takeMarks(marks + 64 * i);
            }
            if (!points.empty()) {
                word |= std::exchange(points_[static_cast<std::size_t>(i)], 0);
            }
            out[i] = word;
            if (word != 0) {
                firstBlack = std::min(firstBlack, i);
                lastBlack = i;
            }
            const std::uint64_t gone = before[i] & ~word;
            if (gone != 0) {
                noteWhitened(i, gone);
            }
            difference |= word ^ before[i];
        }
        next.setBlackSpan(row, firstBlack, lastBlack);
        next.setWhitenedWords(row, whitenedWords);
    }
    markedLow_ = side_;
    markedHigh_ = -1;
    outcome.add({difference != 0, saturated, whitened, whitenedWordCount});
}

// A later iteration under a map that leaves no hole, from solid regions of the source (see
// SolidRegion): each region's image is filled as row spans, and only the pixels outside every
// region's core for the map are mapped one by one.
bool BandScatter::markImageOfRegions(const IterationStep& step, const PreparedMap& map,
                                     const TargetBand& band, std::uint8_t* targets,
                                     const std::function<bool()>& keepGoing) {
    const int mapIndex = static_cast<int>(&map - step.maps.data());
    const std::size_t rowBytes = static_cast<std::size_t>(side_);
    for (const RegionImage& image : step.regionImages) {
        if (image.map != mapIndex) {
            continue;
        }
        for (int j = std::max(band.first, image.image.firstRow());
             j <= std::min(band.last, image.image.lastRow()); ++j) {
            const ColumnRange span = image.image.columnsOnRow(j);
            if (!span.empty()) {
                std::memset(targets + static_cast<std::size_t>(j - band.first) * rowBytes +
                                static_cast<std::size_t>(span.first),
                            RowTargets::kMark,
                            static_cast<std::size_t>(span.last - span.first + 1));
            }
        }
    }
    if (!map.counted()) {
        markedLow_ = std::min(markedLow_, band.first);
        markedHigh_ = std::max(markedHigh_, band.last);
    }
    const BitRaster& source = *step.source;
    // Y is monotone along a row: a stretch whose ends land beyond the band on one side lands
    // beyond it whole.
    const auto plot = [&](const RowTargets& row, const std::uint64_t* bits, int y, int from,
                          int to) {
        if (map.reachLow(y) < band.first || map.reachHigh(y) > band.last) {
            const double yFrom = row.y(from);
            const double yTo = row.y(to);
            if ((yFrom <= band.yLow && yTo <= band.yLow) ||
                (yFrom >= band.yHigh && yTo >= band.yHigh)) {
                return;
            }
            if (to - from >= kNarrowedColumns) {
                narrowToBand(row, map.c(), band, from, to);
            }
        }
        if (from <= to) {
            plotBlackPixels(row, bits, from, to, TargetOp::Mark, step.vectorLanes);
        }
    };
    const int rowsTo = map.sourceRowsLast(band.plan, band.index);
    for (int y = map.sourceRowsFirst(band.plan, band.index); y <= rowsTo; ++y) {
        if (map.reachLow(y) > band.last || map.reachHigh(y) < band.first ||
            source.firstBlackWord(y) > source.lastBlackWord(y)) {
            continue;
        }
        if ((++visits_ & 7) == 0 && !keepGoing()) {
            return false;
        }
        cores_.clear();
        for (const RegionImage& image : step.regionImages) {
            if (image.map == mapIndex && y >= image.core.firstRow() && y <= image.core.lastRow()) {
                const ColumnRange core = image.core.columnsOnRow(y);
                if (!core.empty()) {
                    cores_.push_back(core);
                }
            }
        }
        std::sort(cores_.begin(), cores_.end(),
                  [](const ColumnRange& p, const ColumnRange& q) { return p.first < q.first; });
        const RowTargets row = rowTargets(map, y, band, shift_, targets, nullptr);
        const std::uint64_t* bits = source.row(y);
        const int to = source.lastBlackWord(y) * 64 + 63;
        int from = source.firstBlackWord(y) * 64;
        for (const ColumnRange& core : cores_) {
            if (core.first > from && from <= to) {
                plot(row, bits, y, from, std::min(to, core.first - 1));
            }
            from = std::max(from, core.last + 1);
        }
        if (from <= to) {
            plot(row, bits, y, from, to);
        }
    }
    return true;
}

}  // namespace orv
