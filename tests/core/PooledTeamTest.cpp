#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

#include "render/PooledTeam.h"

namespace orv {
namespace {

// Runs one round on `team` and tells which members took part.
std::vector<int> membersThatRan(RenderTeam& team) {
    std::vector<std::atomic<int>> ran(static_cast<std::size_t>(team.members()));
    team.run([&](int member) { ++ran[static_cast<std::size_t>(member)]; }, [] {});
    std::vector<int> counts;
    for (const std::atomic<int>& times : ran) {
        counts.push_back(times.load());
    }
    return counts;
}

TEST(PooledTeam, AGivenBackTeamServesTheNextRenderWithAllItsMembers) {
    RenderTeam* first = nullptr;
    {
        PooledTeam lease(2);
        first = &lease.team();
        EXPECT_EQ(membersThatRan(lease.team()), (std::vector<int>{1, 1}));
    }
    PooledTeam again(2);
    EXPECT_EQ(&again.team(), first);
    EXPECT_EQ(membersThatRan(again.team()), (std::vector<int>{1, 1}));
    // A team of another size is a team of its own.
    PooledTeam larger(3);
    EXPECT_NE(&larger.team(), first);
    EXPECT_EQ(membersThatRan(larger.team()), (std::vector<int>{1, 1, 1}));
}

TEST(PooledTeam, RendersAtTheSameTimeHaveTeamsOfTheirOwn) {
    PooledTeam one(2);
    PooledTeam other(2);
    EXPECT_NE(&one.team(), &other.team());
    EXPECT_EQ(membersThatRan(one.team()), (std::vector<int>{1, 1}));
    EXPECT_EQ(membersThatRan(other.team()), (std::vector<int>{1, 1}));
}

}  // namespace
}  // namespace orv
