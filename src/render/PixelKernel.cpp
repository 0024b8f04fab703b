#include "render/PixelKernel.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORV_HAVE_AVX2_KERNEL 1
#include <immintrin.h>
#endif

namespace orv {

namespace {

// Clears the landed bit of a count that dropped to zero. Whether it did is as good as random
// where few pixels share a target (a branch on it would often be guessed wrong), so the bit is
// cleared by arithmetic.
inline void clearWhenEmpty(std::uint64_t* landed, unsigned index, std::uint8_t left) {
    landed[index >> 6] &= ~(static_cast<std::uint64_t>(left == 0) << (index & 63));
}

template <TargetOp op>
inline void apply(std::uint8_t* targets, std::uint64_t* landed, unsigned index) {
    std::uint8_t& target = targets[index];
    if constexpr (op == TargetOp::Mark) {
        target = RowTargets::kMark;
    } else if constexpr (op == TargetOp::Add) {
        target = static_cast<std::uint8_t>(target + (target != RowTargets::kFullCount ? 1 : 0));
    } else {
        target = static_cast<std::uint8_t>(target - 1);
        clearWhenEmpty(landed, index, target);
    }
}

// Everything is copied into locals first: the targets are bytes, and a store through a byte
// pointer could otherwise alias any field the loop reads.
struct Plotter {
    explicit Plotter(const RowTargets& r)
        : xa(r.xa),
          xc(r.xc),
          rowX(r.rowX),
          rowY(r.rowY),
          side(r.side),
          yLow(r.yLow),
          yHigh(r.yHigh),
          first(r.first),
          shift(r.shift),
          targets(r.targets),
          landed(r.landed) {}

    template <TargetOp op>
    void plot(int column) const {
        const double tx = xa[column] + rowX;
        const double ty = xc[column] + rowY;
        if (tx > -1.0 && tx < side && ty > yLow && ty < yHigh) {
            const unsigned index = (static_cast<unsigned>(static_cast<int>(ty) - first) << shift) +
                                   static_cast<unsigned>(static_cast<int>(tx));
            apply<op>(targets, landed, index);
        }
    }

    const double* xa;
    const double* xc;
    double rowX;
    double rowY;
    double side;
    double yLow;
    double yHigh;
    int first;
    int shift;
    std::uint8_t* targets;
    std::uint64_t* landed;
};

std::uint64_t columnsMask(int word, int from, int to) {
    std::uint64_t mask = ~std::uint64_t{0};
    if (word == from >> 6) {
        mask &= ~std::uint64_t{0} << (from & 63);
    }
    if (word == to >> 6) {
        mask &= ~std::uint64_t{0} >> (63 - (to & 63));
    }
    return mask;
}

void markColumnRowsScalar(const ColumnTargets& column, int from, int to) {
    for (int row = from; row <= to; ++row) {
        const double tx = column.xa + (row * column.b + column.ne);
        const double ty = column.xc + (row * column.d + column.nf);
        if (tx > -1.0 && tx < column.side && ty > column.yLow && ty < column.yHigh) {
            const unsigned index =
                (static_cast<unsigned>(static_cast<int>(ty) - column.first) << column.shift) +
                static_cast<unsigned>(static_cast<int>(tx));
            column.targets[index] = RowTargets::kMark;
        }
    }
}

template <bool keepOutside>
ListedLandings landListedScalar(const std::uint32_t* pixels, std::size_t count,
                                const ListedMap& map, std::uint32_t first, std::uint32_t end,
                                std::uint32_t* inside, std::uint32_t* outside) {
    const std::uint32_t columnMask = (std::uint32_t{1} << map.shift) - 1;
    ListedLandings landed;
    for (std::size_t k = 0; k < count; ++k) {
        const double x = static_cast<double>(pixels[k] & columnMask);
        const double y = static_cast<double>(pixels[k] >> map.shift);
        const double tx = x * map.a + (y * map.b + map.ne);
        const double ty = x * map.c + (y * map.d + map.nf);
        if (tx > -1.0 && tx < map.side && ty > -1.0 && ty < map.side) {
            const std::uint32_t target =
                (static_cast<std::uint32_t>(static_cast<int>(ty)) << map.shift) +
                static_cast<std::uint32_t>(static_cast<int>(tx));
            const bool within = target - first < end - first;
            inside[landed.inside] = target;
            landed.inside += within ? 1 : 0;
            if constexpr (keepOutside) {
                outside[landed.outside] = target;
                landed.outside += within ? 0 : 1;
            }
        }
    }
    return landed;
}

template <TargetOp op>
void plotScalar(const RowTargets& row, const std::uint64_t* bits, int from, int to) {
    const Plotter p(row);
    for (int word = from >> 6; word <= to >> 6; ++word) {
        std::uint64_t pending = bits[word] & columnsMask(word, from, to);
        while (pending != 0) {
            p.plot<op>(word * 64 + std::countr_zero(pending));
            pending &= pending - 1;
        }
    }
}

#if defined(ORV_HAVE_AVX2_KERNEL)

// A list entry: the target's offset in its low bits, and in the top byte how many pixels of
// a run of neighbours land on it (offsets stay below N*N <= 2^22).
constexpr unsigned kAmountShift = 24;
constexpr std::uint32_t kOffsetMask = (std::uint32_t{1} << kAmountShift) - 1;

// Neighbours in a row often share a target, and changing one count twice in a row makes the
// second change wait for the first to be stored: so each run of equal targets among four
// lanes becomes one entry. For each pattern of lanes that land (bits 0-3) and of lanes whose
// target equals the lane before's (bits 4-6, for lanes 1-3): the byte shuffle that gathers
// the runs' first lanes to the front in order, the runs' lengths shifted into the top byte,
// and the number of runs.
struct RunPacks {
    alignas(16) std::uint8_t shuffle[128][16];
    alignas(16) std::uint32_t amounts[128][4];
    std::uint8_t runs[128];
    constexpr RunPacks() : shuffle{}, amounts{}, runs{} {
        for (int key = 0; key < 128; ++key) {
            const int landing = key & 15;
            const int equal = key >> 4;
            int out = -1;
            for (int lane = 0; lane < 4; ++lane) {
                if ((landing >> lane & 1) == 0) {
                    continue;
                }
                if (lane > 0 && (landing >> (lane - 1) & 1) != 0 &&
                    (equal >> (lane - 1) & 1) != 0) {
                    amounts[key][out] += std::uint32_t{1} << kAmountShift;
                    continue;
                }
                ++out;
                for (int byte = 0; byte < 4; ++byte) {
                    shuffle[key][4 * out + byte] = static_cast<std::uint8_t>(4 * lane + byte);
                }
                amounts[key][out] = std::uint32_t{1} << kAmountShift;
            }
            runs[key] = static_cast<std::uint8_t>(out + 1);
            for (int byte = 4 * (out + 1); byte < 16; ++byte) {
                shuffle[key][byte] = 0x80;  // zero: past the packed lanes, overwritten next
            }
        }
    }
};
constexpr RunPacks kRunPacks;

template <TargetOp op>
inline void applyEntry(std::uint8_t* targets, std::uint64_t* landed, std::uint32_t entry) {
    const std::uint32_t offset = entry & kOffsetMask;
    const std::uint32_t amount = entry >> kAmountShift;
    std::uint8_t& target = targets[offset];
    if constexpr (op == TargetOp::Mark) {
        target = RowTargets::kMark;
    } else if constexpr (op == TargetOp::Add) {
        const std::uint32_t sum = target + amount;
        target =
            static_cast<std::uint8_t>(sum < RowTargets::kFullCount ? sum : RowTargets::kFullCount);
    } else {
        target = static_cast<std::uint8_t>(target - amount);
        clearWhenEmpty(landed, offset, target);
    }
}

// One more landing for a count that cannot pass kFullCount: a load, an addition and a store.
// The sum is kept in a register: fused into one addition to memory, it ran slower.
inline void addEntry(std::uint8_t* targets, std::uint32_t entry) {
    std::uint8_t& target = targets[entry & kOffsetMask];
    std::uint32_t sum = target + (entry >> kAmountShift);
    asm("" : "+r"(sum));
    target = static_cast<std::uint8_t>(sum);
}

// Whether a count dropped to zero is as good as random, and clearing its landed bit at once
// would make the next entry on the same word wait for that store: the entries whose counts
// drop to zero are gathered in place (each written over an entry already read), then their
// bits are cleared.
inline void removeEntries(std::uint8_t* targets, std::uint64_t* landed, std::uint32_t* list,
                          const std::uint32_t* end) {
    std::uint32_t* emptied = list;
    for (const std::uint32_t* entry = list; entry != end; ++entry) {
        const std::uint32_t value = *entry;
        const std::uint32_t offset = value & kOffsetMask;
        const auto left = static_cast<std::uint8_t>(targets[offset] - (value >> kAmountShift));
        targets[offset] = left;
        *emptied = offset;
        emptied += left == 0 ? 1 : 0;
    }
    for (const std::uint32_t* cleared = list; cleared != emptied; ++cleared) {
        landed[*cleared >> 6] &= ~(std::uint64_t{1} << (*cleared & 63));
    }
}

// Where Y changes row once in many pixels, neighbouring entries mostly lie in one landed word,
// and the branch on leaving it is well guessed: the bits emptied in a word are gathered in a
// register while the entries stay in it, without a store per entry.
inline void removeEntriesAlongRows(std::uint8_t* targets, std::uint64_t* landed,
                                   const std::uint32_t* entry, const std::uint32_t* end) {
    if (entry == end) {
        return;
    }
    std::uint32_t word = (*entry & kOffsetMask) >> 6;
    std::uint64_t emptied = 0;
    for (; entry != end; ++entry) {
        const std::uint32_t offset = *entry & kOffsetMask;
        const auto left = static_cast<std::uint8_t>(targets[offset] - (*entry >> kAmountShift));
        targets[offset] = left;
        if (offset >> 6 != word) {
            landed[word] &= ~emptied;
            word = offset >> 6;
            emptied = 0;
        }
        emptied |= static_cast<std::uint64_t>(left == 0) << (offset & 63);
    }
    landed[word] &= ~emptied;
}

// The targets of a stretch are computed four columns at a time, with the same additions and
// ordered comparisons as the scalar loop and truncating conversions whose out-of-range results
// are never used, and the targets of black pixels that land are packed into a list, a run of
// equal ones as one entry; then the operation runs over the list. Splitting the two keeps the
// vector work free of the byte stores and the byte stores free of lane extraction, and no lane
// that misses costs a store. Lists are cut into pieces of kListColumns columns, so that they
// stay in the nearest cache.
constexpr int kListColumns = 512;

// Below this |c| a map's targets change row once in 16 pixels or more.
constexpr double kRowSlope = 1.0 / 16;

// Packs the landing targets of the black pixels of columns from..to (at most kListColumns)
// into the list from `end` on; returns the new end. With `everyLands`, the caller knows that
// every pixel lands, and the lanes need no tests.
template <TargetOp op, bool everyLands>
__attribute__((target("avx2,popcnt,bmi,ssse3"))) std::uint32_t* packPiece(const RowTargets& row,
                                                                          const Plotter& p,
                                                                          const std::uint64_t* bits,
                                                                          int from, int to,
                                                                          std::uint32_t* end) {
    const __m256d rowX = _mm256_set1_pd(row.rowX);
    const __m256d rowY = _mm256_set1_pd(row.rowY);
    const __m256d minusOne = _mm256_set1_pd(-1.0);
    const __m256d side = _mm256_set1_pd(row.side);
    const __m256d yLow = _mm256_set1_pd(row.yLow);
    const __m256d yHigh = _mm256_set1_pd(row.yHigh);
    const __m128i first = _mm_set1_epi32(row.first);
    const __m128i shift = _mm_cvtsi32_si128(row.shift);
    for (int word = from >> 6; word <= to >> 6; ++word) {
        const std::uint64_t black = bits[word] & columnsMask(word, from, to);
        if (black == 0) {
            continue;
        }
        if (__builtin_popcountll(black) < 8) {
            for (std::uint64_t pending = black; pending != 0; pending &= pending - 1) {
                p.plot<op>(word * 64 + __builtin_ctzll(pending));
            }
            continue;
        }
        const double* xa = row.xa + word * 64;
        const double* xc = row.xc + word * 64;
        for (int group = 0; group < 64; group += 4) {
            const unsigned lanes = static_cast<unsigned>(black >> group) & 0xF;
            if (lanes == 0) {
                continue;
            }
            const __m256d tx = _mm256_add_pd(_mm256_loadu_pd(xa + group), rowX);
            const __m256d ty = _mm256_add_pd(_mm256_loadu_pd(xc + group), rowY);
            unsigned landing = lanes;
            if constexpr (!everyLands) {
                const __m256d inX = _mm256_and_pd(_mm256_cmp_pd(tx, minusOne, _CMP_GT_OQ),
                                                  _mm256_cmp_pd(tx, side, _CMP_LT_OQ));
                const __m256d inY = _mm256_and_pd(_mm256_cmp_pd(ty, yLow, _CMP_GT_OQ),
                                                  _mm256_cmp_pd(ty, yHigh, _CMP_LT_OQ));
                landing &= static_cast<unsigned>(_mm256_movemask_pd(_mm256_and_pd(inX, inY)));
            }
            const __m128i ix = _mm256_cvttpd_epi32(tx);
            const __m128i iy = _mm256_cvttpd_epi32(ty);
            const __m128i target =
                _mm_add_epi32(_mm_sll_epi32(_mm_sub_epi32(iy, first), shift), ix);
            const unsigned equal = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(
                                       _mm_cmpeq_epi32(target, _mm_slli_si128(target, 4))))) >>
                                   1;
            const unsigned key = landing | equal << 4;
            const __m128i packed = _mm_or_si128(
                _mm_shuffle_epi8(target, _mm_load_si128(reinterpret_cast<const __m128i*>(
                                             kRunPacks.shuffle[key]))),
                _mm_load_si128(reinterpret_cast<const __m128i*>(kRunPacks.amounts[key])));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(end), packed);
            end += kRunPacks.runs[key];
        }
    }
    return end;
}

template <TargetOp op>
__attribute__((target("avx2,popcnt,bmi,ssse3"))) void plotAvx2(const RowTargets& row,
                                                               const std::uint64_t* bits, int from,
                                                               int to) {
    const Plotter p(row);
    // X and Y are monotone along the row: where both ends of a piece land, so does every
    // pixel between them.
    const auto lands = [&](int column) {
        const double x = p.xa[column] + p.rowX;
        const double y = p.xc[column] + p.rowY;
        return x > -1.0 && x < p.side && y > p.yLow && y < p.yHigh;
    };
    // In locals: a byte stored through `targets` could otherwise be the pointer itself, read
    // again for every entry.
    std::uint8_t* const targets = row.targets;
    std::uint64_t* const landed = row.landed;
    // Counts that cannot pass kFullCount take the short addition, faster than the clamping one
    // unless the targets step down a column more often than across it: entries a row apart are
    // N bytes apart, every other one shares the low 12 bits of its address with the one two
    // before at N = 2048, and then each load waits for the store it seems to depend on. The
    // clamping loop's longer chain has fewer of them in flight. (Counting the square under the
    // six copies' maps, the short addition took 1.6 and 2 times as long at |a| = 0.39 |c| and
    // 0.08 |c|, 9 % longer at 0.58 |c|; at 0.87 |c| and more, 13 to 20 % less time.)
    const bool shortAdd =
        op == TargetOp::Add && row.belowFull && std::fabs(row.xa[1]) >= 0.6 * std::fabs(row.xc[1]);
    // Taking away whitened pixels of the fern's largest leaf, the slow rotation or count-40
    // (|c| at most 1/20) took 3 to 24 % less time by words than in place; the six copies' maps
    // and the fern's leaves, up to 23 % more.
    const bool removeAlongRows = op == TargetOp::Remove && std::fabs(row.xc[1]) < kRowSlope;
    // Room for every column of a piece, and a whole vector past the last packed target.
    alignas(16) std::uint32_t list[kListColumns + 4];
    for (int pieceFrom = from; pieceFrom <= to; pieceFrom += kListColumns) {
        const int pieceTo = std::min(to, pieceFrom + kListColumns - 1);
        std::uint32_t* const end =
            lands(pieceFrom) && lands(pieceTo)
                ? packPiece<op, true>(row, p, bits, pieceFrom, pieceTo, list)
                : packPiece<op, false>(row, p, bits, pieceFrom, pieceTo, list);
        if constexpr (op == TargetOp::Remove) {
            if (removeAlongRows) {
                removeEntriesAlongRows(targets, landed, list, end);
            } else {
                removeEntries(targets, landed, list, end);
            }
        } else if (shortAdd) {
            for (const std::uint32_t* entry = list; entry != end; ++entry) {
                addEntry(targets, *entry);
            }
        } else {
            for (const std::uint32_t* entry = list; entry != end; ++entry) {
                applyEntry<op>(targets, landed, *entry);
            }
        }
    }
}

// For each pattern of landing lanes, the byte shuffle that gathers them to the front.
struct LandingPacks {
    alignas(16) std::uint8_t shuffle[16][16];
    constexpr LandingPacks() : shuffle{} {
        for (int landing = 0; landing < 16; ++landing) {
            int out = 0;
            for (int lane = 0; lane < 4; ++lane) {
                if ((landing >> lane & 1) != 0) {
                    for (int byte = 0; byte < 4; ++byte) {
                        shuffle[landing][4 * out + byte] =
                            static_cast<std::uint8_t>(4 * lane + byte);
                    }
                    ++out;
                }
            }
            for (int byte = 4 * out; byte < 16; ++byte) {
                shuffle[landing][byte] = 0x80;
            }
        }
    }
};
constexpr LandingPacks kLandingPacks;

// Four listed pixels at a time: the products x*a and y*b are computed from the converted
// coordinates, the same doubles as the scalar loop's, and truncating conversions whose
// out-of-range results are never used.
template <bool keepOutside>
__attribute__((target("avx2,popcnt"))) ListedLandings landListedAvx2(
    const std::uint32_t* pixels, std::size_t count, const ListedMap& map, std::uint32_t first,
    std::uint32_t end, std::uint32_t* inside, std::uint32_t* outside) {
    const __m256d a = _mm256_set1_pd(map.a);
    const __m256d b = _mm256_set1_pd(map.b);
    const __m256d c = _mm256_set1_pd(map.c);
    const __m256d d = _mm256_set1_pd(map.d);
    const __m256d ne = _mm256_set1_pd(map.ne);
    const __m256d nf = _mm256_set1_pd(map.nf);
    const __m128i columnMask = _mm_set1_epi32((1 << map.shift) - 1);
    const __m128i outsideBits = _mm_set1_epi32(~((1 << map.shift) - 1));
    const __m128i shift = _mm_cvtsi32_si128(map.shift);
    // target - first < end - first, unsigned: a signed comparison of both offset by 2^31.
    const __m128i offset = _mm_set1_epi32(INT_MIN);
    const __m128i from = _mm_set1_epi32(static_cast<int>(first));
    const __m128i span = _mm_xor_si128(_mm_set1_epi32(static_cast<int>(end - first)), offset);
    std::uint32_t* in = inside;
    std::uint32_t* out = outside;
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m128i pixel = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + k));
        const __m256d x = _mm256_cvtepi32_pd(_mm_and_si128(pixel, columnMask));
        const __m256d y = _mm256_cvtepi32_pd(_mm_srl_epi32(pixel, shift));
        const __m256d tx =
            _mm256_add_pd(_mm256_mul_pd(x, a), _mm256_add_pd(_mm256_mul_pd(y, b), ne));
        const __m256d ty =
            _mm256_add_pd(_mm256_mul_pd(x, c), _mm256_add_pd(_mm256_mul_pd(y, d), nf));
        // -1 < X < N exactly when X truncates to 0..N-1, N being a power of two; an X the
        // conversion cannot hold becomes 0x80000000, which lies beyond too.
        const __m128i column = _mm256_cvttpd_epi32(tx);
        const __m128i row = _mm256_cvttpd_epi32(ty);
        const __m128i beyond = _mm_and_si128(_mm_or_si128(column, row), outsideBits);
        const __m128i target = _mm_add_epi32(_mm_sll_epi32(row, shift), column);
        const __m128i within =
            _mm_cmpgt_epi32(span, _mm_xor_si128(_mm_sub_epi32(target, from), offset));
        const auto landing = static_cast<unsigned>(
            _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(beyond, _mm_setzero_si128()))));
        const auto inRange = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(within)));
        const unsigned mine = landing & inRange;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(in),
                         _mm_shuffle_epi8(target, _mm_load_si128(reinterpret_cast<const __m128i*>(
                                                      kLandingPacks.shuffle[mine]))));
        in += __builtin_popcount(mine);
        if constexpr (keepOutside) {
            const unsigned theirs = landing & ~inRange;
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(out),
                _mm_shuffle_epi8(target, _mm_load_si128(reinterpret_cast<const __m128i*>(
                                             kLandingPacks.shuffle[theirs]))));
            out += __builtin_popcount(theirs);
        }
    }
    // The scalar tail is plain SSE code: leaving the upper halves of the vector registers
    // dirty would make it, and whatever SSE code runs after, wait on them (GCC leaves out the
    // vzeroupper before this call; the defining loop ran at half speed after a render).
    _mm256_zeroupper();
    const ListedLandings rest =
        landListedScalar<keepOutside>(pixels + k, count - k, map, first, end, in, out);
    return {static_cast<std::size_t>(in - inside) + rest.inside,
            static_cast<std::size_t>(out - outside) + rest.outside};
}

// Four rows at a time; the row terms are computed as PreparedMap's, y*b + N*e.
__attribute__((target("avx2"))) void markColumnRowsAvx2(const ColumnTargets& column, int from,
                                                        int to) {
    const __m256d b = _mm256_set1_pd(column.b);
    const __m256d d = _mm256_set1_pd(column.d);
    const __m256d ne = _mm256_set1_pd(column.ne);
    const __m256d nf = _mm256_set1_pd(column.nf);
    const __m256d xa = _mm256_set1_pd(column.xa);
    const __m256d xc = _mm256_set1_pd(column.xc);
    const __m256d minusOne = _mm256_set1_pd(-1.0);
    const __m256d side = _mm256_set1_pd(column.side);
    const __m256d yLow = _mm256_set1_pd(column.yLow);
    const __m256d yHigh = _mm256_set1_pd(column.yHigh);
    const __m128i first = _mm_set1_epi32(column.first);
    const __m128i shift = _mm_cvtsi32_si128(column.shift);
    const __m128i lanes = _mm_setr_epi32(0, 1, 2, 3);
    alignas(16) std::uint32_t index[4];
    int row = from;
    for (; row + 3 <= to; row += 4) {
        const __m256d y = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(row), lanes));
        const __m256d tx = _mm256_add_pd(xa, _mm256_add_pd(_mm256_mul_pd(y, b), ne));
        const __m256d ty = _mm256_add_pd(xc, _mm256_add_pd(_mm256_mul_pd(y, d), nf));
        const __m256d inX = _mm256_and_pd(_mm256_cmp_pd(tx, minusOne, _CMP_GT_OQ),
                                          _mm256_cmp_pd(tx, side, _CMP_LT_OQ));
        const __m256d inY = _mm256_and_pd(_mm256_cmp_pd(ty, yLow, _CMP_GT_OQ),
                                          _mm256_cmp_pd(ty, yHigh, _CMP_LT_OQ));
        const auto landing = static_cast<unsigned>(_mm256_movemask_pd(_mm256_and_pd(inX, inY)));
        _mm_store_si128(
            reinterpret_cast<__m128i*>(index),
            _mm_add_epi32(_mm_sll_epi32(_mm_sub_epi32(_mm256_cvttpd_epi32(ty), first), shift),
                          _mm256_cvttpd_epi32(tx)));
        for (unsigned left = landing; left != 0; left &= left - 1) {
            column.targets[index[__builtin_ctz(left)]] = RowTargets::kMark;
        }
    }
    // As in the vector kernels: the plain code after this must not wait on the upper halves.
    _mm256_zeroupper();
    markColumnRowsScalar(column, row, to);
}

// The pixels' columns are compared with their neighbours', and runs of pixels on one column
// become bits per target column by bit extraction (PEXT), then bytes by bit deposit (PDEP).
__attribute__((target("avx2,bmi,bmi2,popcnt"))) bool histogramAvx2(const RowTargets& row, int u,
                                                                   int w, int low, int high,
                                                                   std::uint8_t* histogram) {
    const int length = w - u + 1;
    // Bit k of `same`: pixel u + k lands on the column of the pixel before it. Each group of
    // four is compared with itself shifted by a lane, the last of the group before moved in.
    std::uint64_t same = 0;
    const __m256d rowX = _mm256_set1_pd(row.rowX);
    __m128i before = _mm_set1_epi32(-1);  // no column
    int k = 0;
    for (; k + 4 <= length; k += 4) {
        const __m128i columns =
            _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_loadu_pd(row.xa + u + k), rowX));
        const __m128i shifted = _mm_alignr_epi8(columns, before, 12);
        same |= std::uint64_t{static_cast<unsigned>(
                    _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(columns, shifted))))}
                << k;
        before = columns;
    }
    int last = _mm_extract_epi32(before, 3);
    for (; k < length; ++k) {
        const int column = static_cast<int>(row.xa[u + k] + row.rowX);
        same |= std::uint64_t{column == last} << k;
        last = column;
    }
    const std::uint64_t pixels =
        length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
    same &= pixels;
    const std::uint64_t firsts = ~same & pixels;  // each column's first pixel
    if ((same & same >> 1 & same >> 2) != 0 || _mm_popcnt_u64(firsts) != high - low + 1) {
        return false;  // four pixels on one column, or a column skipped
    }
    // Bit j: the j-th column along the row takes a second pixel, a third.
    std::uint64_t second = _pext_u64(same >> 1, firsts);
    std::uint64_t third = _pext_u64(same >> 1 & same >> 2, firsts);
    const int spanned = high - low + 1;
    if (row.xa[w] < row.xa[u]) {  // X falls along the row: the last pixel's is `low`
        const auto reversed = [spanned](std::uint64_t bits) {
            bits = (bits >> 1 & 0x5555555555555555) | (bits & 0x5555555555555555) << 1;
            bits = (bits >> 2 & 0x3333333333333333) | (bits & 0x3333333333333333) << 2;
            bits = (bits >> 4 & 0x0F0F0F0F0F0F0F0F) | (bits & 0x0F0F0F0F0F0F0F0F) << 4;
            return __builtin_bswap64(bits) >> (64 - spanned);
        };
        second = reversed(second);
        third = reversed(third);
    }
    constexpr std::uint64_t kByteOnes = 0x0101010101010101;
    for (int column = 0; column < spanned; column += 8) {
        const std::uint64_t counts = kByteOnes + _pdep_u64(second >> column, kByteOnes) +
                                     _pdep_u64(third >> column, kByteOnes);
        std::memcpy(histogram + column, &counts, sizeof counts);
    }
    return true;
}

// Bit deposit and extraction take hundreds of cycles on AMD processors before Zen 3.
bool processorHasFastBitGather() {
    static const bool has =
        __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("bmi2") != 0 &&
        __builtin_cpu_supports("popcnt") != 0 && __builtin_cpu_is("amdfam15h") == 0 &&
        __builtin_cpu_is("amdfam17h") == 0;
    return has;
}

bool processorHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") != 0 &&
                            __builtin_cpu_supports("popcnt") != 0 &&
                            __builtin_cpu_supports("bmi") != 0;
    return has;
}

#endif

template <TargetOp op>
void plotWith(const RowTargets& row, const std::uint64_t* bits, int from, int to, int lanes) {
#if defined(ORV_HAVE_AVX2_KERNEL)
    if (lanes >= 4 && processorHasAvx2()) {
        plotAvx2<op>(row, bits, from, to);
        return;
    }
#else
    (void)lanes;
#endif
    plotScalar<op>(row, bits, from, to);
}

}  // namespace

void plotBlackPixels(const RowTargets& row, const std::uint64_t* bits, int from, int to,
                     TargetOp op, int lanes) {
    switch (op) {
        case TargetOp::Mark:
            plotWith<TargetOp::Mark>(row, bits, from, to, lanes);
            break;
        case TargetOp::Add:
            plotWith<TargetOp::Add>(row, bits, from, to, lanes);
            break;
        case TargetOp::Remove:
            plotWith<TargetOp::Remove>(row, bits, from, to, lanes);
            break;
    }
}

ListedLandings landListedPixels(const std::uint32_t* pixels, std::size_t count,
                                const ListedMap& map, std::uint32_t first, std::uint32_t end,
                                std::uint32_t* inside, std::uint32_t* outside, int lanes) {
#if defined(ORV_HAVE_AVX2_KERNEL)
    if (lanes >= 4 && processorHasAvx2()) {
        return outside != nullptr
                   ? landListedAvx2<true>(pixels, count, map, first, end, inside, outside)
                   : landListedAvx2<false>(pixels, count, map, first, end, inside, outside);
    }
#else
    (void)lanes;
#endif
    return outside != nullptr
               ? landListedScalar<true>(pixels, count, map, first, end, inside, outside)
               : landListedScalar<false>(pixels, count, map, first, end, inside, outside);
}

void markColumnRows(const ColumnTargets& column, int from, int to, int lanes) {
#if defined(ORV_HAVE_AVX2_KERNEL)
    if (lanes >= 4 && processorHasAvx2()) {
        markColumnRowsAvx2(column, from, to);
        return;
    }
#else
    (void)lanes;
#endif
    markColumnRowsScalar(column, from, to);
}

bool histogramOfColumns(const RowTargets& row, int u, int w, int low, int high,
                        std::uint8_t* histogram, int lanes) {
#if defined(ORV_HAVE_AVX2_KERNEL)
    if (lanes >= 4 && w - u < 64 && processorHasFastBitGather()) {
        return histogramAvx2(row, u, w, low, high, histogram);
    }
#else
    (void)row, (void)u, (void)w, (void)low, (void)high, (void)histogram, (void)lanes;
#endif
    return false;
}

void markColumns(const RowTargets& row, int u, int v) {
    const Plotter p(row);
    for (int column = u; column <= v; ++column) {
        p.plot<TargetOp::Mark>(column);
    }
}

}  // namespace orv
