#include "render/BandClaims.h"

#include <algorithm>
#include <numeric>
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

void BandClaims::setOwners(int plan, std::span<const std::int8_t> owners) {
    if (owners.size() > maxBands_ || plan < 0 || plan >= plans_) {
        throw std::invalid_argument("band owners out of range");
    }
    bandsOf_[static_cast<std::size_t>(plan)] = owners.size();
    std::copy(owners.begin(), owners.end(),
              owners_.get() + static_cast<std::size_t>(plan) * maxBands_);
}

namespace {

// The members' largest share of `work` under `owners`.
double largestShare(std::span<const double> work, std::span<const std::int8_t> owners,
                    int members) {
    std::vector<double> load(static_cast<std::size_t>(members), 0.0);
    for (std::size_t band = 0; band < work.size(); ++band) {
        load[static_cast<std::size_t>(owners[band])] += work[band];
    }
    return *std::max_element(load.begin(), load.end());
}

}  // namespace

std::vector<std::int8_t> sharesByWork(std::span<const double> work, int members) {
    members = std::max(members, 1);
    std::vector<std::int8_t> contiguous(work.size());
    for (std::size_t band = 0; band < work.size(); ++band) {
        contiguous[band] =
            static_cast<std::int8_t>(band * static_cast<std::size_t>(members) / work.size());
    }
    // The largest first, each to the member with the least so far.
    std::vector<std::size_t> order(work.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t i, std::size_t j) { return work[i] > work[j]; });
    std::vector<double> load(static_cast<std::size_t>(members), 0.0);
    std::vector<std::int8_t> balanced(work.size(), 0);
    for (const std::size_t band : order) {
        const auto least = std::min_element(load.begin(), load.end());
        *least += work[band];
        balanced[band] = static_cast<std::int8_t>(least - load.begin());
    }
    // Member 0 keeps the lowest band, as in contiguous shares: the lowest rows stay its own
    // when the list's parts split the rows later.
    if (!balanced.empty() && balanced[0] != 0) {
        const std::int8_t other = balanced[0];
        for (std::int8_t& owner : balanced) {
            owner = owner == other ? 0 : owner == 0 ? other : owner;
        }
    }
    const double kept = largestShare(work, contiguous, members);
    const double evened = largestShare(work, balanced, members);
    return evened * (1.0 + kBalancedShareGain) < kept ? balanced : contiguous;
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
