#include "render/PooledTeam.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace orv {

namespace {

// Idle teams, with the members each was asked for. Renders at the same time each take their
// own; more idle teams than this are let go.
constexpr std::size_t kMostKept = 4;

struct Pool {
    std::mutex mutex;
    std::vector<std::pair<int, std::unique_ptr<RenderTeam>>> idle;
};

Pool& pool() {
    static Pool instance;
    return instance;
}

}  // namespace

PooledTeam::PooledTeam(int members) : members_(members) {
    {
        Pool& kept = pool();
        std::lock_guard lock(kept.mutex);
        const auto found = std::find_if(kept.idle.begin(), kept.idle.end(),
                                        [&](const auto& entry) { return entry.first == members; });
        if (found != kept.idle.end()) {
            team_ = std::move(found->second);
            kept.idle.erase(found);
            return;
        }
    }
    team_ = std::make_unique<RenderTeam>(members);
}

PooledTeam::~PooledTeam() {
    Pool& kept = pool();
    std::lock_guard lock(kept.mutex);
    if (kept.idle.size() < kMostKept) {
        kept.idle.emplace_back(members_, std::move(team_));
    }
    // Otherwise the team goes here, its threads joined.
}

}  // namespace orv
