#include "render/BandClaims.h"

#include <stdexcept>

namespace orv {

BandClaims::BandClaims(int plans, std::size_t maxBands)
    : claimed_(std::make_unique<std::atomic<bool>[]>(maxBands)),
      owners_(std::make_unique<std::int8_t[]>(static_cast<std::size_t>(plans) * maxBands)),
      bandsOf_(std::make_unique<std::size_t[]>(static_cast<std::size_t>(plans))),
      plans_(plans),
      maxBands_(maxBands) {}

void BandClaims::reset(int plan, std::size_t bands, int members) {
    if (bands > maxBands_ || members < 1 || plan < 0 || plan >= plans_) {
        throw std::invalid_argument("band claims out of range");
    }
    owner_ = owners_.get() + static_cast<std::size_t>(plan) * maxBands_;
    if (bandsOf_[static_cast<std::size_t>(plan)] != bands) {
        // Contiguous shares to begin with.
        bandsOf_[static_cast<std::size_t>(plan)] = bands;
        for (std::size_t band = 0; band < bands; ++band) {
            owner_[band] =
                static_cast<std::int8_t>(band * static_cast<std::size_t>(members) / bands);
        }
    }
    bands_ = bands;
    for (std::size_t band = 0; band < bands; ++band) {
        claimed_[band].store(false, std::memory_order_relaxed);
    }
}

std::size_t BandClaims::next(int member, std::size_t& position) {
    // Positions 0..bands-1 pass over the member's own bands upwards, the rest over the
    // others' downwards.
    while (position < 2 * bands_) {
        const std::size_t at = position++;
        const bool own = at < bands_;
        const std::size_t band = own ? at : 2 * bands_ - 1 - at;
        if ((owner_[band] == member) != own) {
            continue;
        }
        if (!claimed_[band].exchange(true, std::memory_order_acq_rel)) {
            owner_[band] = static_cast<std::int8_t>(member);
            return band;
        }
    }
    return bands_;
}

}  // namespace orv
