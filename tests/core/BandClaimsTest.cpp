#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "render/BandClaims.h"

namespace orv {
namespace {

std::vector<std::size_t> takeAll(BandClaims& claims, int member) {
    std::vector<std::size_t> taken;
    std::size_t position = 0;
    for (std::size_t band = claims.next(member, position); band < 8;
         band = claims.next(member, position)) {
        taken.push_back(band);
    }
    return taken;
}

TEST(BandClaims, MembersTakeTheirShareFirstThenTheOthersFromTheFarEnd) {
    BandClaims claims(2, 8);
    claims.reset(1, 8, 2);
    std::size_t position = 0;
    EXPECT_EQ(claims.next(1, position), 4u);  // member 1's share is bands 4..7
    // Member 0 takes its share in order, then what member 1 has not begun, from the top.
    EXPECT_EQ(takeAll(claims, 0), (std::vector<std::size_t>{0, 1, 2, 3, 7, 6, 5}));
    EXPECT_EQ(claims.next(1, position), 8u);

    // What member 0 took last time is its own now; the other plan keeps its own shares.
    claims.reset(1, 8, 2);
    position = 0;
    EXPECT_EQ(claims.next(1, position), 4u);
    EXPECT_EQ(takeAll(claims, 0), (std::vector<std::size_t>{0, 1, 2, 3, 5, 6, 7}));
    claims.reset(0, 8, 2);
    EXPECT_EQ(takeAll(claims, 1), (std::vector<std::size_t>{4, 5, 6, 7, 3, 2, 1, 0}));
    EXPECT_THROW(claims.reset(1, 9, 2), std::invalid_argument);
}

TEST(BandClaims, EveryBandGoesToExactlyOneMemberWhenTheyRace) {
    BandClaims claims(1, 8);
    for (int round = 0; round < 200; ++round) {
        claims.reset(0, 8, 3);
        std::vector<std::atomic<int>> takers(8);
        std::vector<std::thread> members;
        for (int member = 0; member < 3; ++member) {
            members.emplace_back([&, member] {
                for (const std::size_t band : takeAll(claims, member)) {
                    ++takers[band];
                }
            });
        }
        for (std::thread& member : members) {
            member.join();
        }
        for (std::size_t band = 0; band < 8; ++band) {
            ASSERT_EQ(takers[band].load(), 1) << "round " << round << ", band " << band;
        }
    }
}

}  // namespace
}  // namespace orv
