#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace orv {

// Hands the bands of one phase out to the members of a team. A line that another core
// changed last costs several times as much to change again, so each member first takes the
// bands it worked on in the last phase of the same plan (at first, those of its share of the
// rows), in order, and the same rows, with their counts and raster words, stay with the same
// thread from one iteration to the next. A member whose own bands are done takes those that
// nobody has begun, from the last band down, and keeps them from then on.
class BandClaims {
public:
    // For `plans` kinds of phase of at most `maxBands` bands each.
    BandClaims(int plans, std::size_t maxBands);

    // Before a phase of `bands` bands of `plan` for `members` members; not while one runs.
    void reset(int plan, std::size_t bands, int members);
    // Who starts with each band of `plan` (one entry per band), instead of contiguous shares.
    void setOwners(int plan, std::span<const std::int8_t> owners);

    // The next band for `member`, or the number of bands when none is left. `position` starts
    // at 0 for each phase and belongs to the member.
    std::size_t next(int member, std::size_t& position);

private:
    std::unique_ptr<std::atomic<bool>[]> claimed_;
    // Per plan, maxBands_ apart: who last worked on each band, for bandsOf_ bands.
    std::unique_ptr<std::int8_t[]> owners_;
    std::unique_ptr<std::size_t[]> bandsOf_;
    int plans_;
    std::size_t maxBands_;
    std::int8_t* owner_ = nullptr;  // the current plan's
    std::size_t bands_ = 0;
};

// Owners for bands whose work is expected to be `work`. Contiguous shares of the rows (as
// BandClaims starts with) unless that leaves one member much more: then the largest band
// first, each to the member with the least so far, member 0 keeping band 0. Contiguous shares
// suit the list's parts, which split the rows in two; the interleaved ones cost count-40 3 %
// where they evened its bands out by little.
std::vector<std::int8_t> sharesByWork(std::span<const double> work, int members);

// How much smaller the largest member's share must come out for sharesByWork to interleave.
inline constexpr double kBalancedShareGain = 1.0 / 8;

}  // namespace orv
