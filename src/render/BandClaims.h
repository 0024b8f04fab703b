#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

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

}  // namespace orv
