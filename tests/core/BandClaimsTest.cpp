#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "render/BandClaims.h"

namespace orv {
namespace {

std::vector<std::size_t> takeAll(BandClaims& claims, int member, std::size_t bands = 8) {
    std::vector<std::size_t> taken;
    std::size_t position = 0;
    for (std::size_t band = claims.next(member, position); band < bands;
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

TEST(BandClaims, MembersStartWithTheBandsTheyAreGiven) {
    BandClaims claims(2, 8);
    const std::vector<std::int8_t> owners = {0, 1, 1, 0};
    claims.setOwners(1, owners);
    claims.reset(1, 4, 2);
    std::size_t position = 0;
    EXPECT_EQ(claims.next(1, position), 1u);
    EXPECT_EQ(takeAll(claims, 0, 4), (std::vector<std::size_t>{0, 3, 2}));
    EXPECT_THROW(claims.setOwners(2, owners), std::invalid_argument);
}

TEST(BandShares, ContiguousUnlessThatLeavesOneMemberMuchMore) {
    // Dense in the lowest half, as the fern's counting iteration: interleaved, member 0
    // keeping band 0.
    EXPECT_EQ(sharesByWork(std::vector<double>{3402, 3932, 1029, 1008}, 2),
              (std::vector<std::int8_t>{0, 1, 0, 1}));
    // Even enough as they are (count-40's and the six copies' bands), or no better otherwise.
    EXPECT_EQ(sharesByWork(std::vector<double>{3362, 3859, 4045, 3821}, 2),
              (std::vector<std::int8_t>{0, 0, 1, 1}));
    EXPECT_EQ(sharesByWork(std::vector<double>{2407, 6152, 6180, 2391}, 2),
              (std::vector<std::int8_t>{0, 0, 1, 1}));
    // Interleaved only when the largest share shrinks by more than an eighth: 10.5 against
    // 11.5 is not enough, 10.2 against 11.8 is.
    EXPECT_EQ(sharesByWork(std::vector<double>{6, 5.5, 5, 4}, 2),
              (std::vector<std::int8_t>{0, 0, 1, 1}));
    EXPECT_EQ(sharesByWork(std::vector<double>{6.2, 5.6, 4.2, 4}, 2),
              (std::vector<std::int8_t>{0, 1, 1, 0}));
    // Three members over six bands, all the work in the top two: one each, the idle bands to
    // the third.
    EXPECT_EQ(sharesByWork(std::vector<double>{0, 0, 0, 0, 9, 8}, 3),
              (std::vector<std::int8_t>{0, 0, 0, 0, 2, 1}));
    EXPECT_EQ(sharesByWork(std::vector<double>{}, 2), std::vector<std::int8_t>{});
}

}  // namespace
}  // namespace orv
