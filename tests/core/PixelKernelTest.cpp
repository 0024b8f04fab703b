#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#endif

#include "document/ParameterBlock.h"
#include "render/BandScatter.h"
#include "render/PixelKernel.h"
#include "render/PreparedMap.h"

namespace orv {
namespace {

// The vector kernel against the plain one, on whole rows of the largest side: rows longer than
// the kernel's list pieces, words dense enough for vectors and sparse ones, targets on both
// sides of a band's edges and of the raster's, runs of neighbours that share a target, and all
// three operations. The targets and the landed bits must end byte for byte the same.
TEST(PixelKernel, VectorsApplyTheSameTargetsAsThePlainLoop) {
    constexpr int kSide = 2048;
    constexpr int kShift = 11;
    constexpr int kWords = kSide / 64;
    std::mt19937_64 random(77);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    for (int round = 0; round < 200; ++round) {
        const double turn = uniform(-3.2, 3.2);
        const double scale = uniform(0.05, 1.3);
        const AffineMap map{scale * std::cos(turn), uniform(-1, 1),     scale * std::sin(turn),
                            uniform(-1, 1),         uniform(-0.6, 0.9), uniform(-0.6, 0.9)};
        const PreparedMap prepared(map, kSide);
        const int first = static_cast<int>(random() % kSide);
        const int last = std::min(kSide - 1, first + static_cast<int>(random() % 700));
        const TargetBand band(0, 0, first, last);
        const int y = static_cast<int>(random() % kSide);
        std::vector<std::uint64_t> bits(kWords);
        const int density = static_cast<int>(random() % 4);  // about 1 in 2^(density + 1) black
        for (std::uint64_t& word : bits) {
            word = random();
            for (int thin = 0; thin < density; ++thin) {
                word &= random();
            }
        }
        const int from = static_cast<int>(random() % kSide);
        const int to = from + static_cast<int>(random() % static_cast<unsigned>(kSide - from));
        const auto op = static_cast<TargetOp>(round % 3);
        const std::size_t bytes = static_cast<std::size_t>(last - first + 1) << kShift;
        std::vector<std::uint8_t> plainTargets(bytes);
        for (std::uint8_t& count : plainTargets) {
            // Counts near the top reach 255 as pixels are added; to take pixels away, the
            // counts are the row's own landings on top of 0 or 1, as a render keeps them.
            count = static_cast<std::uint8_t>(op == TargetOp::Add      ? random() % 256
                                              : op == TargetOp::Remove ? random() % 2
                                                                       : 0);
        }
        std::vector<std::uint64_t> plainLanded(bytes / 64);
        const auto rowFor = [&](std::uint8_t* targets, std::uint64_t* landed) {
            return RowTargets{prepared.columnX(),
                              prepared.columnY(),
                              prepared.rowX(y),
                              prepared.rowY(y),
                              static_cast<double>(kSide),
                              band.yLow,
                              band.yHigh,
                              first,
                              kShift,
                              targets,
                              landed};
        };
        if (op == TargetOp::Remove) {
            plotBlackPixels(rowFor(plainTargets.data(), nullptr), bits.data(), from, to,
                            TargetOp::Add, 1);
            for (std::size_t i = 0; i < bytes; ++i) {
                plainLanded[i / 64] |= std::uint64_t{plainTargets[i] != 0} << (i % 64);
            }
        }
        std::vector<std::uint8_t> vectorTargets = plainTargets;
        std::vector<std::uint64_t> vectorLanded = plainLanded;
        plotBlackPixels(rowFor(plainTargets.data(), plainLanded.data()), bits.data(), from, to, op,
                        1);
        plotBlackPixels(rowFor(vectorTargets.data(), vectorLanded.data()), bits.data(), from, to,
                        op, 4);
        ASSERT_EQ(plainTargets, vectorTargets) << "round " << round;
        ASSERT_EQ(plainLanded, vectorLanded) << "round " << round;
    }
}

// Counts that cannot reach 255 are added to without stopping there, by a shorter loop for maps
// whose targets step across columns at least about as often as down them: the same counts as
// the plain loop's, for maps at every angle, rows dense and sparse, counts from 0 to 63 (and
// maps whose landings cannot take them past 255).
TEST(PixelKernel, CountsBelowFullAddUpAsThePlainLoopAddsThem) {
    constexpr int kSide = 512;
    constexpr int kShift = 9;
    std::mt19937_64 random(123);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    std::vector<std::uint8_t> plain(kSide * kSide);
    std::vector<std::uint8_t> vector(kSide * kSide);
    std::vector<std::uint64_t> bits(kSide / 64);
    for (int round = 0; round < 300; ++round) {
        const double turn = uniform(-3.2, 3.2);
        const double scale = uniform(0.05, 1.2);
        const PreparedMap prepared(
            {scale * std::cos(turn), uniform(-0.5, 0.5), scale * std::sin(turn), uniform(-0.5, 0.5),
             uniform(0.0, 0.5), uniform(0.0, 0.5)},
            kSide);
        if (!(prepared.mostLandings() <= 255 - 64)) {
            continue;  // counts from 63 on could pass 255
        }
        for (std::uint8_t& count : plain) {
            count = static_cast<std::uint8_t>(random() % 64);
        }
        std::copy(plain.begin(), plain.end(), vector.begin());
        for (int y = 0; y < kSide; y += 1 + static_cast<int>(random() % 16)) {
            for (std::uint64_t& word : bits) {
                word = round % 2 == 0 ? ~std::uint64_t{0} : random() | random();
            }
            for (const bool vectors : {false, true}) {
                const RowTargets row{prepared.columnX(),
                                     prepared.columnY(),
                                     prepared.rowX(y),
                                     prepared.rowY(y),
                                     static_cast<double>(kSide),
                                     -1.0,
                                     static_cast<double>(kSide),
                                     0,
                                     kShift,
                                     vectors ? vector.data() : plain.data(),
                                     nullptr,
                                     vectors};
                plotBlackPixels(row, bits.data(), 0, kSide - 1, TargetOp::Add, vectors ? 4 : 1);
            }
        }
        ASSERT_EQ(plain, vector) << "round " << round;
    }
}

// A source column's rows marked four at a time and one by one: the same bytes, for maps at
// every angle and scale, columns whose targets cross the band's edges and the raster's, and
// stretches of every length around the vector width.
TEST(PixelKernel, ColumnsMarkTheSameTargetsAsThePlainLoop) {
    constexpr int kSide = 512;
    constexpr int kShift = 9;
    std::mt19937_64 random(2026121006);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    int marked = 0;
    for (int round = 0; round < 400; ++round) {
        // Every fourth map anywhere; the others shrink about the square's middle, so that
        // most of their columns land.
        const bool anywhere = round % 4 == 0;
        const double turn = uniform(-3.2, 3.2);
        const double scale = anywhere ? uniform(0.05, 1.3) : uniform(0.05, 0.6);
        const double spread = anywhere ? 1.0 : 0.4;
        const double e = anywhere ? uniform(-0.6, 0.9) : uniform(0.3, 0.5);
        const double f = anywhere ? uniform(-0.6, 0.9) : uniform(0.3, 0.5);
        const PreparedMap prepared({uniform(-spread, spread), -scale * std::sin(turn),
                                    uniform(-spread, spread), scale * std::cos(turn), e, f},
                                   kSide);
        const int x = static_cast<int>(random() % kSide);
        const int from = static_cast<int>(random() % kSide);
        const int to = std::min(kSide - 1, from + static_cast<int>(random() % 40));
        // Most bands start a few rows above where the stretch's first pixel lands.
        const double landsOn = prepared.targetY(x, from);
        const int near =
            std::isfinite(landsOn)
                ? static_cast<int>(std::clamp(landsOn, 0.0, static_cast<double>(kSide - 1)))
                : 0;
        const int first = anywhere
                              ? static_cast<int>(random() % kSide)
                              : std::clamp(near - static_cast<int>(random() % 8), 0, kSide - 1);
        const int last = std::min(kSide - 1, first + static_cast<int>(random() % 300));
        const TargetBand band(0, 0, first, last);
        std::vector<std::uint8_t> plain(static_cast<std::size_t>(last - first + 1) << kShift);
        std::vector<std::uint8_t> vector = plain;
        for (const bool vectors : {false, true}) {
            const ColumnTargets column{prepared.columnX()[x],
                                       prepared.columnY()[x],
                                       prepared.b(),
                                       prepared.d(),
                                       prepared.offsetX(),
                                       prepared.offsetY(),
                                       kSide,
                                       band.yLow,
                                       band.yHigh,
                                       first,
                                       kShift,
                                       vectors ? vector.data() : plain.data()};
            markColumnRows(column, from, to, vectors ? 4 : 1);
        }
        ASSERT_EQ(plain, vector) << "round " << round;
        marked += std::count(plain.begin(), plain.end(), RowTargets::kMark) > 0 ? 1 : 0;
    }
    EXPECT_GT(marked, 100);
    // Y on the band's limits exactly (a column whose Y stands still): only inside them it lands,
    // on its truncation's row.
    const TargetBand band(0, 0, 100, 163);
    for (const double y : {band.yLow, 100.0, 163.5, std::nextafter(band.yHigh, 0.0), band.yHigh}) {
        const bool inside = y > band.yLow && y < band.yHigh;
        for (const int lanes : {1, 4}) {
            std::vector<std::uint8_t> targets(64 << kShift);
            markColumnRows({3.0, 0.0, 0.25, 0.0, 7.0, y, kSide, band.yLow, band.yHigh, band.first,
                            kShift, targets.data()},
                           0, 10, lanes);
            const auto marks = std::count(targets.begin(), targets.end(), RowTargets::kMark);
            EXPECT_EQ(marks, inside ? 3 : 0) << "Y " << y << ", lanes " << lanes;
            if (inside) {
                // X = 3 + (row * 0.25 + 7) for rows 0..10: columns 10, 11 and 12.
                const std::size_t row = static_cast<std::size_t>(static_cast<int>(y) - 100)
                                        << kShift;
                EXPECT_EQ(targets[row + 10], RowTargets::kMark) << "Y " << y;
                EXPECT_EQ(targets[row + 12], RowTargets::kMark) << "Y " << y;
            }
        }
    }
}

// Stretches of up to 64 pixels on one target row, counted per column by comparing neighbours'
// columns: the plain loop's histogram wherever the vector kernel gives one, X rising and
// falling, steps of a half to a whole column (where it must give one, however the ends lie),
// and steps below a quarter of a column (four pixels on one column) or above one (a column
// skipped), where it must refuse.
TEST(PixelKernel, ColumnHistogramsCountAsThePlainLoop) {
#if defined(__x86_64__) && defined(__GNUC__)
    // The kernel leaves processors with slow bit extraction (AMD before Zen 3) to the loop.
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("bmi2") ||
        __builtin_cpu_is("amdfam15h") || __builtin_cpu_is("amdfam17h")) {
        GTEST_SKIP() << "no AVX2, BMI2 or fast bit extraction";
    }
#else
    GTEST_SKIP() << "no vector kernel";
#endif
    constexpr int kSide = 2048;
    std::mt19937_64 random(20261210);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    int counted = 0;
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        const double step = round % 4 == 0 ? uniform(0.05, 0.24) : uniform(0.25, 1.2);
        const double a = (round % 2 == 0 ? 1 : -1) * (round % 16 == 1 ? 0.5 : step);
        const PreparedMap prepared({a, uniform(-0.5, 0.5), uniform(-0.05, 0.05), 0.9,
                                    uniform(0.0, 1.0), uniform(0.0, 0.1)},
                                   kSide);
        const int y = static_cast<int>(random() % kSide);
        const int length = 1 + static_cast<int>(random() % 64);
        const int u = static_cast<int>(random() % (kSide - length + 1));
        const int w = u + length - 1;
        const RowTargets row{prepared.columnX(),
                             prepared.columnY(),
                             prepared.rowX(y),
                             prepared.rowY(y),
                             kSide,
                             -1.0,
                             kSide,
                             0,
                             11,
                             nullptr,
                             nullptr};
        const double xu = row.x(u);
        const double xw = row.x(w);
        if (!(xu > -1.0 && xu < kSide && xw > -1.0 && xw < kSide)) {
            continue;
        }
        const int low = static_cast<int>(std::min(xu, xw));
        const int high = static_cast<int>(std::max(xu, xw));
        std::vector<std::uint8_t> expected(static_cast<std::size_t>(high - low + 1));
        for (int x = u; x <= w; ++x) {
            ++expected[static_cast<std::size_t>(static_cast<int>(row.x(x)) - low)];
        }
        std::vector<std::uint8_t> histogram(64);
        if (histogramOfColumns(row, u, w, low, high, histogram.data(), 4)) {
            histogram.resize(expected.size());
            ASSERT_EQ(histogram, expected) << "round " << round << ", a " << a;
            ++counted;
        } else {
            const bool crowded = *std::max_element(expected.begin(), expected.end()) > 3;
            const bool skipping = std::find(expected.begin(), expected.end(), 0) != expected.end();
            ASSERT_TRUE(crowded || skipping) << "round " << round << ", a " << a;
            ++refused;
        }
        if (std::fabs(a) >= 0.5 && std::fabs(a) <= 1.0) {
            std::vector<std::uint8_t> unused(64);
            EXPECT_TRUE(histogramOfColumns(row, u, w, low, high, unused.data(), 4))
                << "round " << round << ", a " << a;
        }
        EXPECT_FALSE(histogramOfColumns(row, u, w, low, high, histogram.data(), 1));
    }
    EXPECT_GT(counted, 1000);
    EXPECT_GT(refused, 300);
}

// Listed pixels' targets, four at a time and one by one, against the defining loop's doubles
// (PreparedMap's tables and row terms): lists of every length around the vector width, pixels
// anywhere in the raster, targets inside, beyond each edge and on it, coefficients that give
// infinities and NaN, sums whose rounding depends on the order of the additions, and targets
// kept only from or below a row.
TEST(PixelKernel, ListedPixelsLandWhereTheDefiningLoopPutsThem) {
    constexpr int kSide = 2048;
    constexpr int kShift = 11;
    std::mt19937_64 random(91);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    const double special[] = {0.0, -0.0, 1e300, -1e300, std::nan(""), 0.5, -1.0 / 2048};
    int landedSome = 0;
    int missedSome = 0;
    for (int round = 0; round < 300; ++round) {
        AffineMap map{uniform(-1.2, 1.2), uniform(-1.2, 1.2), uniform(-1.2, 1.2),
                      uniform(-1.2, 1.2), uniform(-0.7, 1.2), uniform(-0.7, 1.2)};
        if (round % 10 == 0) {
            map.*kCoefficients[random() % 6] = special[random() % 7];
        }
        if (round == 0) {
            // x*a near 2^52 and y*b + N*e near -2^52: only the defining loop's order of the
            // additions gives its columns (x*a + y*b first would round 0.75 to 1 at 2^52).
            map = {0x1p42, 0.75, 0.0, 0.0, -0x1p41, 100.0 / kSide};
        }
        const PreparedMap prepared(map, kSide);
        const ListedMap listed{prepared.a(),       prepared.b(),       prepared.c(), prepared.d(),
                               prepared.offsetX(), prepared.offsetY(), kSide,        kShift};
        const std::size_t count = round == 0 ? 40 : random() % 40;
        std::vector<std::uint32_t> pixels(count);
        for (std::uint32_t& pixel : pixels) {
            pixel = round == 0
                        ? static_cast<std::uint32_t>((random() % 8) * kSide + 1020 + random() % 8)
                        : static_cast<std::uint32_t>(random() % (kSide * kSide));
        }
        // All targets, or those of the rows below or from a random one.
        const std::uint32_t cut = static_cast<std::uint32_t>(random() % kSide) * kSide;
        const std::uint32_t first = round % 3 == 2 ? cut : 0;
        const std::uint32_t end = round % 3 == 1 ? cut : ~std::uint32_t{0};
        std::vector<std::uint32_t> expected;
        std::vector<std::uint32_t> expectedOutside;
        for (const std::uint32_t pixel : pixels) {
            const int x = static_cast<int>(pixel % kSide);
            const int y = static_cast<int>(pixel / kSide);
            const double tx = prepared.targetX(x, y);
            const double ty = prepared.targetY(x, y);
            if (tx > -1.0 && tx < kSide && ty > -1.0 && ty < kSide) {
                const std::uint32_t target =
                    static_cast<std::uint32_t>(static_cast<int>(ty)) * kSide +
                    static_cast<std::uint32_t>(static_cast<int>(tx));
                (target >= first && target < end ? expected : expectedOutside).push_back(target);
            }
        }
        landedSome += expected.empty() ? 0 : 1;
        missedSome += expected.size() < count ? 1 : 0;
        for (const int lanes : {1, 4}) {
            std::vector<std::uint32_t> inside(count + 4);
            std::vector<std::uint32_t> outside(count + 4);
            const ListedLandings parted = landListedPixels(pixels.data(), count, listed, first, end,
                                                           inside.data(), outside.data(), lanes);
            inside.resize(parted.inside);
            outside.resize(parted.outside);
            EXPECT_EQ(inside, expected) << "round " << round << ", lanes " << lanes;
            EXPECT_EQ(outside, expectedOutside) << "round " << round << ", lanes " << lanes;
            std::vector<std::uint32_t> alone(count + 4);
            alone.resize(landListedPixels(pixels.data(), count, listed, first, end, alone.data(),
                                          nullptr, lanes)
                             .inside);
            EXPECT_EQ(alone, expected) << "round " << round << ", lanes " << lanes;
        }
    }
    EXPECT_GT(landedSome, 100);
    EXPECT_GT(missedSome, 100);
}

#if defined(__x86_64__) && defined(__GNUC__)
// Whether the upper halves of the vector registers hold anything (XINUSE, bit 2), where the
// processor tells (XGETBV with ECX = 1).
std::optional<bool> upperVectorStateInUse() {
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    if (__get_cpuid_count(0xD, 1, &eax, &ebx, &ecx, &edx) == 0 || (eax & 4) == 0) {
        return std::nullopt;
    }
    unsigned low = 0;
    unsigned high = 0;
    asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(1));
    return (low & 4) != 0;
}

// Plain SSE code after a kernel that leaves them dirty waits on them: the defining loop ran at
// half speed after a render did.
TEST(PixelKernel, VectorKernelsLeaveTheUpperHalvesOfTheRegistersClean) {
    // AVX2 first: it also means the system has XGETBV enabled.
    if (!__builtin_cpu_supports("avx2") || !upperVectorStateInUse().has_value()) {
        GTEST_SKIP() << "no AVX2, or the processor does not tell";
    }
    const PreparedMap prepared({0.42, -0.2, 0.2, 0.42, 0.1, 0.3}, 256);
    const ListedMap listed{prepared.a(),       prepared.b(),       prepared.c(), prepared.d(),
                           prepared.offsetX(), prepared.offsetY(), 256.0,        8};
    std::vector<std::uint32_t> pixels(23);
    for (std::size_t k = 0; k < pixels.size(); ++k) {
        pixels[k] = static_cast<std::uint32_t>(k * 2711 % (256 * 256));
    }
    std::vector<std::uint32_t> inside(pixels.size() + 4);
    std::vector<std::uint32_t> outside(pixels.size() + 4);
    for (std::uint32_t* others : {outside.data(), static_cast<std::uint32_t*>(nullptr)}) {
        landListedPixels(pixels.data(), pixels.size(), listed, 0, 128 * 256, inside.data(), others,
                         4);
        EXPECT_FALSE(*upperVectorStateInUse()) << (others != nullptr ? "parted" : "alone");
    }
    if (__builtin_cpu_supports("bmi2") && !__builtin_cpu_is("amdfam15h") &&
        !__builtin_cpu_is("amdfam17h")) {
        std::uint8_t histogram[64];
        const RowTargets row{prepared.columnX(),
                             prepared.columnY(),
                             prepared.rowX(9),
                             prepared.rowY(9),
                             256.0,
                             -1.0,
                             256.0,
                             0,
                             8,
                             nullptr,
                             nullptr};
        EXPECT_TRUE(histogramOfColumns(row, 10, 60, static_cast<int>(row.x(10)),
                                       static_cast<int>(row.x(60)), histogram, 4));
        EXPECT_FALSE(*upperVectorStateInUse()) << "histogram";
    }
    {
        std::vector<std::uint8_t> marks(256 * 256);
        markColumnRows(
            {prepared.columnX()[7], prepared.columnY()[7], prepared.b(), prepared.d(),
             prepared.offsetX(), prepared.offsetY(), 256.0, -1.0, 256.0, 0, 8, marks.data()},
            0, 200, 4);
        EXPECT_FALSE(*upperVectorStateInUse()) << "column";
    }
    std::vector<std::uint8_t> counts(256 * 256, 9);
    std::vector<std::uint64_t> landed(256 * 256 / 64, ~std::uint64_t{0});
    const std::vector<std::uint64_t> row(4, 0x0F0F'FFFF'0F0F'FFFFull);
    for (const TargetOp op : {TargetOp::Mark, TargetOp::Add, TargetOp::Remove}) {
        const RowTargets targets{prepared.columnX(),
                                 prepared.columnY(),
                                 prepared.rowX(100),
                                 prepared.rowY(100),
                                 256.0,
                                 -1.0,
                                 256.0,
                                 0,
                                 8,
                                 counts.data(),
                                 landed.data()};
        plotBlackPixels(targets, row.data(), 0, 255, op, 4);
        EXPECT_FALSE(*upperVectorStateInUse()) << "operation " << static_cast<int>(op);
    }
}
#endif

}  // namespace
}  // namespace orv
