#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "render/FastIteration.h"
#include "render/PreparedMap.h"
#include "render/RasterIteration.h"
#include "render/ReferenceIteration.h"

namespace orv {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t kLongest = std::numeric_limits<std::int32_t>::max();

// Everything needed to rebuild a block by hand: coefficients in hexadecimal, so that no digit
// is lost.
std::string describe(const ParameterBlock& block) {
    std::ostringstream text;
    text << "sizeIndex " << block.sizeIndex << ", autoIterations " << block.autoIterations
         << ", iterationCount " << block.iterationCount << "\n";
    for (int k = 0; k < kMapCount; ++k) {
        char line[256];
        const AffineMap& m = block.maps[static_cast<std::size_t>(k)];
        std::snprintf(line, sizeof line, "  map %d enabled %d: {%a, %a, %a, %a, %a, %a}\n", k,
                      block.enabled[static_cast<std::size_t>(k)], m.a, m.b, m.c, m.d, m.e, m.f);
        text << line;
    }
    return text.str();
}

std::string describe(const FastRenderOptions& options) {
    std::ostringstream text;
    text << "threads " << options.threads << ", bandRows " << options.bandRows << ", vectorLanes "
         << options.vectorLanes << ", counting " << options.counting << ", listedPixels "
         << options.listedPixels << ", regionMarking " << options.regionMarking;
    return text.str();
}

MonochromePicture finish(std::optional<MonochromePicture> picture) {
    if (!picture) {
        throw std::logic_error("render did not finish");
    }
    return std::move(*picture);
}

MonochromePicture reference(const ParameterBlock& block) {
    RenderProgress silent;
    return finish(renderPictureReference(block, silent));
}

MonochromePicture fast(const ParameterBlock& block, const FastRenderOptions& options = {}) {
    RenderProgress silent;
    return finish(renderPictureFast(block, silent, options));
}

bool samePicture(const MonochromePicture& a, const MonochromePicture& b) {
    return a.side() == b.side() && std::equal(a.bits().begin(), a.bits().end(), b.bits().begin());
}

// Where two pictures first differ, for the failure message.
std::string firstDifference(const MonochromePicture& expected, const MonochromePicture& actual) {
    for (int y = 0; y < expected.side(); ++y) {
        for (int x = 0; x < expected.side(); ++x) {
            if (expected.isBlack(x, y) != actual.isBlack(x, y)) {
                std::ostringstream text;
                text << "first difference at (" << x << ", " << y << "): expected "
                     << (expected.isBlack(x, y) ? "black" : "white");
                return text.str();
            }
        }
    }
    return "no difference";
}

// Random blocks that lean towards the places where a fast renderer can go wrong: targets
// exactly on the raster's edges or a rounding away from them, slopes at and near 1, non-finite
// and huge coefficients, and signed zeros.
class BlockGenerator {
public:
    explicit BlockGenerator(std::uint64_t seed) : random_(seed) {}

    ParameterBlock next() {
        ParameterBlock block;
        block.sizeIndex = pickSize();
        const int side = 64 << block.sizeIndex;
        const double enabledShare = uniform();
        // Now and then every map has an integral inverse, as the dragon's turns do.
        const bool lattice = below(8) == 0;
        for (int k = 0; k < kMapCount; ++k) {
            block.maps[static_cast<std::size_t>(k)] = lattice ? latticeMap() : map(side);
            const bool on = uniform() < enabledShare;
            block.enabled[static_cast<std::size_t>(k)] = on ? (below(4) == 0 ? -7 : 1) : 0;
        }
        block.autoIterations = below(5) == 0 ? 1 + static_cast<std::int32_t>(below(3)) : 0;
        block.iterationCount = below(20) == 0 ? -static_cast<std::int32_t>(below(3))
                                              : static_cast<std::int32_t>(below(65));
        // The defining loop takes T x maps x N^2 steps; keep the large sides to few of them.
        if (block.sizeIndex >= 3) {
            block.autoIterations = block.sizeIndex == 3 ? block.autoIterations : 0;
            block.iterationCount = static_cast<std::int32_t>(below(block.sizeIndex == 3 ? 12 : 4));
        }
        return block;
    }

    FastRenderOptions options(int side) {
        FastRenderOptions options;
        options.threads = static_cast<int>(below(4));  // 0 is the default
        const int rows[] = {0, 1, 3, 16, 64};
        options.bandRows = side <= 128 ? rows[below(5)] : (below(2) == 0 ? 0 : 16);
        options.vectorLanes = below(3) == 0 ? 1 : 4;
        options.counting = below(3) != 0;
        const std::int64_t listed[] = {-1, 0, 1 << 30, 1 + static_cast<std::int64_t>(below(64))};
        options.listedPixels = listed[below(4)];
        options.regionMarking = static_cast<int>(below(3)) - 1;
        return options;
    }

private:
    std::uint64_t below(std::uint64_t n) { return random_() % n; }
    double uniform() { return static_cast<double>(random_() >> 11) * 0x1p-53; }
    double between(double low, double high) { return low + (high - low) * uniform(); }

    std::int32_t pickSize() {
        const std::uint64_t roll = below(1000);
        if (roll < 640)
            return 0;
        if (roll < 900)
            return 1;
        if (roll < 975)
            return 2;
        if (roll < 993)
            return 3;
        if (roll < 997)
            return 4;
        return 5;
    }

    // A coefficient or a translation that puts targets exactly on, or one rounding away from,
    // a pixel boundary; `unit` is the pixel in the coefficient's own scale.
    double boundary(double unit, int side) {
        const double pixels[] = {-1.0, 0.0, 1.0, side - 1.0, static_cast<double>(side)};
        const double nudges[] = {0.0, 0x1p-52, -0x1p-52, 0x1p-43, -0x1p-43, 0x1p-40, 0.5};
        return (pixels[below(5)] + nudges[below(7)]) * unit;
    }

    double special() {
        const double values[] = {kNaN, kInf,        -kInf,       1e300,       -1e300, -0.0,
                                 0.0,  1.0,         -1.0,        0.5,         -0.5,   1e-300,
                                 2.0,  1 - 0x1p-20, 1 + 0x1p-52, 1 - 0x1p-53, 0x1p-43};
        return values[below(std::size(values))];
    }

    // A map whose inverse is integral (at most 16 pixels per cell): its first iterations are
    // counted by lattice classes when its targets lie clear of cell edges.
    AffineMap latticeMap() {
        const double maps[][4] = {{0.5, -0.5, 0.5, 0.5},     {-0.5, -0.5, 0.5, -0.5},
                                  {0.5, 0.5, 0.5, -0.5},     {0.5, -0.5, 0.25, 0.25},
                                  {0.25, 0.25, 0.25, -0.75}, {0.5, 0.5, 0.25, 0.75},
                                  {0.25, -0.25, 0.25, 0.25}};
        const double* m = maps[below(std::size(maps))];
        return {m[0], m[1], m[2], m[3], between(-0.3, 1.0), between(-0.3, 1.0)};
    }

    AffineMap map(int side) {
        AffineMap m;
        switch (below(5)) {
            case 0: {  // a similarity: scale, rotation, perhaps a mirror
                const double scale = between(0.2, 1.1);
                const double angle = below(3) == 0 ? 0.0 : between(-3.2, 3.2);
                const double mirror = below(4) == 0 ? -1.0 : 1.0;
                m = {scale * std::cos(angle), -scale * std::sin(angle) * mirror,
                     scale * std::sin(angle), scale * std::cos(angle) * mirror,
                     between(-0.3, 1.0),      between(-0.3, 1.0)};
                break;
            }
            case 1:  // anything
                m = {between(-1.6, 1.6), between(-1.6, 1.6), between(-1.6, 1.6),
                     between(-1.6, 1.6), between(-1, 1.5),   between(-1, 1.5)};
                break;
            case 2: {  // axis-aligned, often with whole or half pixel steps
                const double scales[] = {1.0, -1.0, 0.5, -0.5, 0.25, 0.0, -0.0, 2.0, 0.75};
                m = {scales[below(9)], below(2) == 0 ? 0.0 : -0.0, below(2) == 0 ? 0.0 : -0.0,
                     scales[below(9)], boundary(1.0 / side, side), boundary(1.0 / side, side)};
                break;
            }
            case 3:  // shallow slopes, where runs are filled whole
                m = {between(0.3, 1.0), between(-0.2, 0.2), between(-0.02, 0.02),
                     between(0.3, 1.0), between(-0.2, 0.8), between(-0.2, 0.8)};
                break;
            default: {  // slight turns near scale 1, whose runs are counted piece by piece
                const double angle = between(-0.07, 0.07);
                const double scale = below(3) == 0 ? 1.0 : between(1 - 1.0 / 128, 1.0);
                const double sign = below(2) == 0 ? -1.0 : 1.0;
                m = {sign * scale * std::cos(angle),
                     -scale * std::sin(angle),
                     scale * std::sin(angle),
                     sign * scale * std::cos(angle),
                     between(-0.1, 0.5),
                     between(-0.1, 0.5)};
                break;
            }
        }
        // Now and then a coefficient or translation from the awkward places.
        double* fields[] = {&m.a, &m.b, &m.c, &m.d, &m.e, &m.f};
        for (double* field : fields) {
            const std::uint64_t roll = below(40);
            if (roll == 0) {
                *field = special();
            } else if (roll == 1) {
                *field = boundary(1.0 / side, side);
            }
        }
        return m;
    }

    std::mt19937_64 random_;
};

// The fast renderer must give the defining loop's picture for every block, whatever the
// threads, bands and vector units it uses.
TEST(FastRenderer, AgreesWithTheDefiningLoopOnThousandsOfRandomBlocks) {
    BlockGenerator generator(20240611);
    constexpr int kBlocks = 6000;
    int compared = 0;
    int blackPictures = 0;
    int whitePictures = 0;
    for (int i = 0; i < kBlocks; ++i) {
        const ParameterBlock block = generator.next();
        const int side = 64 << block.sizeIndex;
        const FastRenderOptions options = generator.options(side);
        const MonochromePicture expected = reference(block);
        RenderProgress silent;
        const MonochromePicture program = finish(renderPicture(block, silent));
        ASSERT_TRUE(samePicture(expected, program))
            << "block " << i << ": " << firstDifference(expected, program) << "\n"
            << describe(block);
        const MonochromePicture tuned = fast(block, options);
        ASSERT_TRUE(samePicture(expected, tuned))
            << "block " << i << " with " << describe(options) << ": "
            << firstDifference(expected, tuned) << "\n"
            << describe(block);
        ++compared;
        const int black = test::countBlack(expected);
        blackPictures += black == side * side ? 1 : 0;
        whitePictures += black == 0 ? 1 : 0;
    }
    EXPECT_EQ(compared, kBlocks);
    // The blocks must not all collapse to trivial pictures.
    EXPECT_LT(blackPictures + whitePictures, kBlocks / 2);
}

// Boundary cases that random draws reach only by luck.
TEST(FastRenderer, AgreesOnTargetsAtAndAroundTheEdges) {
    const int side = 64;
    std::vector<AffineMap> maps;
    // Translations putting column 0 at -1, just above -1, 0, N-1, just below N, and N.
    for (const double pixels :
         {-1.0, -1.0 + 0x1p-40, -0.5, 0.0, 62.5, 63.0, 64.0 - 0x1p-40, 64.0}) {
        maps.push_back({1, 0, 0, 1, pixels / side, 0});
        maps.push_back({-1, 0, 0, 1, pixels / side, 0});
        maps.push_back({0.5, 0, 0, 0.5, pixels / side, pixels / side});
        maps.push_back({1, 0, 0, -1, 0, pixels / side});
    }
    // A unit slope whose row term sits just below 1: x + rowX rounds down below 16 (or 32)
    // but up past 17 (or 33), so the target column 16 (or 32) is skipped.
    maps.push_back({1, 0, 0, 1, (1 - 0x1p-49) / side, 0});
    maps.push_back({1, 0, 0, 1, (1 - 0x1p-48) / side, 0});
    maps.push_back({1, 0, 0, -1, 0, (1 - 0x1p-48) / side});
    maps.push_back({1, 0, 0, 1, (1 - 0x1p-43) / side, (3 - 0x1p-46) / side});
    // Zero times infinity is NaN even in column 0; huge slopes keep only column or row 0.
    maps.push_back({kInf, 0, 0, 1, 0, 0});
    maps.push_back({1e300, 0, 0, 1, 0.25, 0});
    maps.push_back({1, 1e300, 0, 1, 0, 0});
    maps.push_back({-0.0, 0, 0, -0.0, 0.5, 0.5});
    for (const AffineMap& map : maps) {
        for (const std::int32_t count : {1, 2, 5}) {
            ParameterBlock block = test::emptyBlock(0, count);
            test::setMap(block, 0, map);
            test::setMap(block, 3, {0.5, 0.01, -0.01, 0.5, 0.3, 0.2});
            const MonochromePicture expected = reference(block);
            for (const bool counting : {true, false}) {
                FastRenderOptions options;
                options.counting = counting;
                options.bandRows = 3;
                options.threads = 2;
                ASSERT_TRUE(samePicture(expected, fast(block, options)))
                    << describe(block) << describe(options);
            }
        }
    }
}

// A map that sends 360 neighbouring pixels of a column to one target while stretching columns
// apart: its counts overflow, and the renderer must not take pixels away from counts that
// stopped at 255. The slow rotation keeps most of the raster black, so that taking away the
// pixels that turn white is the cheaper way forward, and it leaves the left columns white.
TEST(FastRenderer, AgreesWhenLandingCountsOverflow) {
    for (const std::int32_t count : {1, 2, 3, 4}) {
        ParameterBlock block = test::emptyBlock(3, count);
        test::setMap(block, 0, {40, 1.0 / 600, 1, 1.0 / 600, 0.01, 0.2});
        test::setMap(block, 1, {0.98, -0.05, 0.05, 0.98, 0.1, 0.0});
        const MonochromePicture expected = reference(block);
        EXPECT_GT(test::countBlack(expected), 0);
        for (const int threads : {1, 2}) {
            FastRenderOptions options;
            options.threads = threads;
            EXPECT_TRUE(samePicture(expected, fast(block, options)))
                << count << " " << describe(options);
        }
    }
}

// Six copies at 0.42 of the square, turned by 0.3 to 2.55, their centres around the middle.
std::vector<AffineMap> sixTurnedCopies() {
    std::vector<AffineMap> six;
    for (int k = 0; k < 6; ++k) {
        const double place = 2 * 3.141592653589793 * k / 6;
        const double turn = 0.3 + 0.45 * k;
        const double scale = 0.42;
        const double cx = 0.5 + 0.27 * std::cos(place);
        const double cy = 0.5 + 0.27 * std::sin(place);
        const double ca = scale * std::cos(turn);
        const double sa = scale * std::sin(turn);
        // Centre of the square to (cx, cy).
        six.push_back({ca, -sa, sa, ca, cx - 0.5 * (ca - sa), cy - 0.5 * (sa + ca)});
    }
    return six;
}

// The first iteration maps the full square: it counts landings when the images of the square
// cover most of it, and only marks otherwise, counting from the second raster on. Both ways,
// and the step from marks to counts to taking pixels away, must give the defining loop's
// pictures, whether the pixels taken away are listed or found by comparing rasters. Six turned
// copies around the centre leave about a third of the square white; a slow turn of the whole
// square leaves a sliver; a fern mixes a flattened map, which is not counted, with turned ones
// that are.
TEST(FastRenderer, AgreesWhetherTheFirstIterationCountsOrMarks) {
    std::vector<std::vector<AffineMap>> systems;
    systems.push_back(sixTurnedCopies());
    const double ct = std::cos(0.05);
    const double st = std::sin(0.05);
    systems.push_back({{ct, -st, st, ct, 0.5 - 0.5 * (ct - st), 0.5 - 0.5 * (st + ct)}});
    systems.push_back({{0, 0, 0, 0.16, 0.47, 0.01},
                       {0.85, 0.04, -0.04, 0.85, 0.08, 0.17},
                       {0.2, -0.26, 0.23, 0.22, 0.4, 0.1},
                       {-0.15, 0.28, 0.26, 0.24, 0.55, 0.05}});
    for (const std::vector<AffineMap>& maps : systems) {
        MonochromePicture previous = reference(test::emptyBlock(2, 1));
        int changes = 0;
        for (const std::int32_t count : {1, 2, 3, 4, 6, 9}) {
            ParameterBlock block = test::blockWith(2, count, maps);
            const MonochromePicture expected = reference(block);
            const int black = test::countBlack(expected);
            EXPECT_GT(black, 0) << describe(block);
            EXPECT_LT(black, 256 * 256) << describe(block);
            changes += samePicture(previous, expected) ? 0 : 1;
            previous = expected;
            for (int variant = 0; variant < 8; ++variant) {
                FastRenderOptions options;
                options.threads = 1 + (variant & 1);
                options.vectorLanes = (variant & 2) != 0 ? 4 : 1;
                options.bandRows = (variant & 4) != 0 ? 3 : 0;
                const MonochromePicture actual = fast(block, options);
                ASSERT_TRUE(samePicture(expected, actual))
                    << firstDifference(expected, actual) << "\n"
                    << describe(block) << describe(options);
            }
        }
        // The pictures keep changing, so later iterations take pixels away from the counts.
        EXPECT_GE(changes, 5);
    }
}

// Late iterations of a slowly shrinking picture whiten a few pixels over many rows: the next
// iteration takes away only the words packing marked, band by band, for the source rows that
// reach the band and the words whose pixels' Y may land in it. Narrow bands put most targets
// near a band's edge; a mirror reverses Y along the rows.
TEST(FastRenderer, AgreesWhenFewPixelsTurnWhiteOverManyRows) {
    const std::vector<std::vector<AffineMap>> systems = {
        {{0.998, -0.0628, 0.0628, 0.998, 0.03, -0.03}},
        {{0.7, 0.69, -0.69, 0.7, 0.0, 0.7}, {0.7, -0.3, 0.3, -0.7, 0.25, 0.95}},
    };
    for (const auto& maps : systems) {
        for (const std::int32_t count : {6, 12, 24}) {
            ParameterBlock block = test::blockWith(3, count, maps);
            const MonochromePicture expected = reference(block);
            EXPECT_GT(test::countBlack(expected), 0) << describe(block);
            for (const int rows : {1, 3, 16, 0}) {
                FastRenderOptions options;
                options.threads = 2;
                options.bandRows = rows;
                const MonochromePicture actual = fast(block, options);
                ASSERT_TRUE(samePicture(expected, actual))
                    << firstDifference(expected, actual) << "\n"
                    << describe(block) << describe(options);
            }
        }
    }
}

// Iterations that whiten few pixels take their landings away from a list of them, others find
// them in the raster; the list path works in place and hands the raster path back the raster
// before when the whitened pixels grow past the limit again. Three systems whose whitening
// rises again late (from 21 to 38 pixels, from 3584 to 3735 among others, and from 617 to 786
// with a map that sends rows to points, which keep pixels black that no count holds), with
// limits that make the renderer move between the two ways, never list, or always list.
TEST(FastRenderer, AgreesWhenTheTakeAwayMovesBetweenListAndRaster) {
    const std::vector<std::vector<AffineMap>> systems = {
        {{0.20831683556616906, -0.90695459517285137, 0.88125033441073908, 0.21439300944485623,
          0.46652343306164346, 0.013559188987601938},
         {-1.0192067359585171, -0.10764019563336696, 0.12621929087299727, -0.86918260822593862,
          0.54262398378640631, 0.5159958747773945}},
        {{0.99956944460233443, -0.13982499531415582, 0.14127253210005891, 0.98932744270983763,
          0.5335949236543639, 0.32099462972232889},
         {-0.91498394300317087, -0.14605578193844571, 0.16799803252623183, -0.79547774010736438,
          0.57920118996730552, 0.32965442463764344},
         {0.66837732340101097, -0.55524859542278426, 0.53326389314365485, 0.69593230444139098,
          0.024669353426972199, 0.34249304035894951}},
        {{0, 0.12562090235040588, 0, 0.34782193512445725, 0.64161727454439155,
          0.0037513384908574895},
         {0.17886706483920567, -0.88948196911915811, 0.9965447139080148, 0.15965066777568224,
          0.47982537004839099, 0.1226906942353727},
         {-0.26493670747551101, -0.87871056581809071, 0.97317572448024003, -0.23921957594670276,
          0.22591657255982484, 0.57442371756932531}},
    };
    const std::int64_t switching[] = {25, 3600, 700};
    for (std::size_t s = 0; s < systems.size(); ++s) {
        ParameterBlock block = test::blockWith(2, 60, systems[s]);
        // The premise: the pixels whitened per iteration drop to the limit, then rise past it.
        std::vector<std::int64_t> black;
        FastRenderOptions watched;
        watched.listedPixels = 0;
        watched.onPicture = [&](std::int64_t, const MonochromePicture& picture) {
            black.push_back(test::countBlack(picture));
        };
        const MonochromePicture expected = reference(block);
        ASSERT_TRUE(samePicture(expected, fast(block, watched)));
        bool below = false;
        bool risen = false;
        for (std::size_t t = 2; t < black.size(); ++t) {
            const std::int64_t whitened = black[t - 1] - black[t];
            risen = risen || (below && whitened > switching[s]);
            below = below || whitened <= switching[s];
        }
        EXPECT_TRUE(risen) << describe(block);
        for (const std::int64_t listed : {std::int64_t{-1}, switching[s], std::int64_t{1} << 30}) {
            for (const int threads : {1, 2}) {
                FastRenderOptions options;
                options.threads = threads;
                options.listedPixels = listed;
                const MonochromePicture actual = fast(block, options);
                ASSERT_TRUE(samePicture(expected, actual))
                    << firstDifference(expected, actual) << "\n"
                    << describe(block) << describe(options);
            }
        }
    }
}

// A listed step has room for as many pixels per half of the raster as the limit; when more
// might turn white in one half, that half only takes its landings away, the other half puts
// back the pixels it cleared, and the next raster is packed from the counts. Two systems
// (the second with a map that sends rows to points) where that happens with two threads.
TEST(FastRenderer, AgreesWhenAListedStepRunsOutOfRoom) {
    const std::vector<std::pair<std::vector<AffineMap>, std::int64_t>> systems = {
        {{{-0.89935509766891175, -0.26511815182222848, 0.26046591709224398, -0.91541866201803213,
           0.55940067017786688, 0.16261677186644899},
          {0.3432619575368055, -0.73367324448535409, 0.74433204066957015, 0.33834646412355868,
           0.10917250646503091, 0.046023447758319944}},
         1000},
        {{{-0.77994407921691034, -0.72757563558093497, 0.70173129622077701, -0.80866894808592826,
           0.067956198630909043, 0.16432857438331608},
          {-0.8909560591179726, -0.39438854628260478, 0.3830712240698339, -0.91727815319575812,
           0.24536026206994738, 0.45587244819179229},
          {-0.9627241692666203, -0.11228795863995406, 0.11208453011858746, -0.96447147153956181,
           0.59557806827806048, 0.038882438603265249},
          {0, 0.13551756165205148, 0, 0.33054479941038406, 0.33414241222541868,
           0.03022783846255326}},
         300},
    };
    for (const auto& [maps, listed] : systems) {
        ParameterBlock block = test::blockWith(2, 40, maps);
        const MonochromePicture expected = reference(block);
        FastRenderOptions options;
        options.threads = 2;
        options.listedPixels = listed;
        const MonochromePicture actual = fast(block, options);
        EXPECT_TRUE(samePicture(expected, actual)) << firstDifference(expected, actual) << "\n"
                                                   << describe(block) << describe(options);
    }
}

// The first iteration fills the image of the full square as row spans when the map shrinks
// every direction enough, and maps only the pixels near the square's edges one by one. Maps
// on both sides of that condition (|a| + |b| and |c| + |d| against 1 - 2^-4, and at 1, where
// turned copies leave holes), nearly flat ones (a border nearly as wide as allowed), mirrors,
// exact pixel steps, images cut by the raster's edges and offsets at and beyond 2^30 pixels.
TEST(FastRenderer, AgreesWhereTheFirstIterationFillsSpans) {
    const double edge = 1 - 0x1p-4;
    std::vector<AffineMap> maps;
    for (const double sum : {edge - 0x1p-40, edge, edge + 0x1p-40, 1.0 - 0x1p-30, 1.0}) {
        for (const double turn : {0.0, 0.3, 0.785398163397448, 2.0}) {
            // |a| + |b| = |c| + |d| = sum for a turn scaled to it.
            const double scale = sum / (std::fabs(std::cos(turn)) + std::fabs(std::sin(turn)));
            const double ca = scale * std::cos(turn);
            const double sa = scale * std::sin(turn);
            maps.push_back({ca, -sa, sa, ca, 0.5 - 0.5 * (ca - sa), 0.5 - 0.5 * (sa + ca)});
            maps.push_back({ca, sa, sa, -ca, 0.1, 0.6});
        }
    }
    for (const double turn : {0.05, 0.5, 0.785398163397448}) {  // turns that leave holes
        const double ca = 0.97 * std::cos(turn);
        const double sa = 0.97 * std::sin(turn);
        maps.push_back({ca, -sa, sa, ca, 0.3, 0.05});
        maps.push_back({0.5, 0.1, sa, ca, 0.2, 0.1});
    }
    maps.push_back({0.9, 0, 0, 1.2, 0, 0});  // stretched one way: rows or columns skipped
    maps.push_back({1.2, 0, 0, 0.9, 0, 0.05});
    maps.push_back({0.5, 0.25, -0.25, 0.5, 0.25, 0.4});      // exact steps
    maps.push_back({0.75, 0.125, 0.125, 0.75, -0.3, 0.9});   // cut by two edges
    maps.push_back({0.45, 0.44, 0.44, 0.45, 0.05, 0.0});     // nearly flat
    maps.push_back({0.3, 0.299, -0.3, -0.299, 0.2, 0.5});    // nearly flat, mirrored
    maps.push_back({0.6, 0.1, 0.1, 0.6, 0x1p30 / 64, 0.0});  // offsets of 2^30 pixels
    maps.push_back({0.6, 0.1, 0.1, 0.6, -0x1p30 / 64, 0.2});
    maps.push_back({0.6, 0.1, 0.1, 0.6, 0x1.0000000000001p30 / 64, 0.0});
    maps.push_back({0.6, -0.1, 0.1, 0.6, 0.2, 0x1p30 / 64 - 0.5});
    // At the edge, |a| + |b| = 1, with whole pixel steps among the lattice's (the dragon's
    // turns), offsets putting every class of targets on lines between cells or just off them,
    // and a map with the same sums whose lattice lacks those steps.
    const double clear = 3 * 0x1p-6;
    for (const double e : {0.0, 0.5, 0.3137, clear, clear - 0x1p-40}) {
        for (const double f : {0.0, 0.5, 0.1234, clear + 0x1p-40}) {
            for (const int side : {64, 128}) {
                maps.push_back({0.5, -0.5, 0.5, 0.5, e / side, f / side});
                maps.push_back({-0.5, -0.5, 0.5, -0.5, 1 - e / side, f / side});
            }
        }
    }
    maps.push_back({0.5, 0.5, -0.5, 0.5, 0.2, 0.5});
    maps.push_back({0.75, 0.25, -0.25, 0.75, 0.1, 0.3});
    for (const AffineMap& map : maps) {
        for (const std::int32_t sizeIndex : {0, 1}) {
            for (const std::int32_t count : {1, 2}) {
                ParameterBlock block = test::emptyBlock(sizeIndex, count);
                test::setMap(block, 0, map);
                const MonochromePicture expected = reference(block);
                for (const bool counting : {false, true}) {
                    FastRenderOptions options;
                    options.counting = counting;
                    options.threads = 2;
                    options.bandRows = 5;
                    const MonochromePicture actual = fast(block, options);
                    ASSERT_TRUE(samePicture(expected, actual))
                        << firstDifference(expected, actual) << "\n"
                        << describe(block) << describe(options);
                }
            }
        }
    }
}

// The fast renderer on one thread, and on two with bands of `bandRows`, against the defining
// loop; `listedPixels` as in FastRenderOptions.
testing::AssertionResult agreesOnOneAndTwoThreads(const ParameterBlock& block, int bandRows,
                                                  std::int64_t listedPixels = -1,
                                                  int regionMarking = -1) {
    const MonochromePicture expected = reference(block);
    for (const int threads : {1, 2}) {
        FastRenderOptions options;
        options.threads = threads;
        options.bandRows = threads == 2 ? bandRows : 0;
        options.listedPixels = listedPixels;
        options.regionMarking = regionMarking;
        const MonochromePicture actual = fast(block, options);
        if (!samePicture(expected, actual)) {
            return testing::AssertionFailure() << firstDifference(expected, actual) << "\n"
                                               << describe(block) << describe(options);
        }
    }
    return testing::AssertionSuccess();
}

// Turns near scale 1 count their runs piece by piece: a piece whose pixels land on as many
// columns adds one to each, others are plotted. Turns about the centre cover most of the
// square, so the first iteration counts; the pieces meet the side edges, two neighbours
// sharing a column, Y standing still (c = 0 or tiny), the largest gap-free step and exactly
// one column per pixel with a whole row term, mirrors, and targets on or beside cell edges.
TEST(FastRenderer, AgreesWhereTurnsNearScaleOneCountWholePieces) {
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int systems = 0;
    for (int trial = 0; trial < 160; ++trial) {
        const std::int32_t sizeIndex = trial % 3;
        const int side = 64 << sizeIndex;
        std::vector<AffineMap> maps;
        for (std::uint64_t k = 0; k <= random() % 3; ++k) {
            const double turn = (unit(random) - 0.5) * 0.12 + (random() % 2 == 0 ? 0.0 : 3.14159);
            const double shortfall = random() % 3 == 0 ? 0.0 : unit(random) / 128;
            double a = (1 - shortfall) * std::cos(turn);
            double c = (1 - shortfall) * std::sin(turn);
            switch (random() % 6) {
                case 0:
                    c = 0.0;
                    break;
                case 1:
                    c = random() % 2 == 0 ? 1e-300 : -0x1p-30;
                    break;
                case 2:
                    a = std::copysign(1 - 0x1p-20, a);
                    break;
                case 3:
                    a = std::copysign(1.0, a);
                    break;
                default:
                    break;
            }
            const double mirror = random() % 3 == 0 ? -1.0 : 1.0;
            const double b = -c * mirror;
            const double d = a * mirror;
            // Centre to centre, moved by up to a few pixels; now and then whole pixels only,
            // which puts targets on cell edges when a is 1.
            double e = 0.5 - 0.5 * (a + b) + (unit(random) - 0.5) * 6 / side;
            double f = 0.5 - 0.5 * (c + d) + (unit(random) - 0.5) * 6 / side;
            if (random() % 3 == 0) {
                e = std::round(e * side) / side;
                f = std::round(f * side) / side + (random() % 2 == 0 ? 0x1p-40 : 0.0);
            }
            maps.push_back({a, b, c, d, e, f});
            EXPECT_TRUE(PreparedMap(maps.back(), side).countsRuns()) << trial;
        }
        for (const std::int32_t count : {1, 3}) {
            ASSERT_TRUE(agreesOnOneAndTwoThreads(test::blockWith(sizeIndex, count, maps), 7));
        }
        ++systems;
    }
    EXPECT_EQ(systems, 160);
}

// Maps whose X moves by half a column to a column per pixel and whose Y changes row rarely (a
// fern's largest leaf) count most pieces per column in a small histogram. Each system pairs
// such a map, on a strip of the square as wide as its X step, with one on the rest, so that
// the square stays mostly black and the counts begin at the first or second raster: steps of
// exactly one half and just above, both directions of X and Y, mirrors, targets on or beside
// cell edges, pieces cut by the side edges; then the fern itself.
TEST(FastRenderer, AgreesWhereMapsStepHalfAColumnOrMoreAndCountPiecesByColumn) {
    std::mt19937_64 random(2026120902);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto sign = [&] { return random() % 2 == 0 ? 1.0 : -1.0; };
    for (int trial = 0; trial < 120; ++trial) {
        const std::int32_t sizeIndex = trial % 3;
        const int side = 64 << sizeIndex;
        const double step = trial % 8 == 0 ? 0.5 : 0.5 + unit(random) * 0.49;
        const double a = sign() * step;
        const double c = sign() * (1.0 / 64 + unit(random) * (1.0 / 16 - 1.0 / 64));
        const double d = sign() * (0.9 + unit(random) * 0.1);
        const double b = (unit(random) - 0.5) * 0.1;
        const double rest = 1.0 - step;
        const double c2 = (unit(random) - 0.5) * 0.1;
        const double d2 = sign() * (0.9 + unit(random) * 0.1);
        // Centred on their strips, moved by up to a few pixels, or by whole pixels only.
        const auto nudge = [&] {
            return random() % 3 == 0 ? 0.0 : (unit(random) - 0.5) * 6 / side;
        };
        double e = step / 2 - 0.5 * (a + b) + nudge();
        double f = 0.5 - 0.5 * (c + d) + nudge();
        if (random() % 3 == 0) {
            e = std::round(e * side) / side;
            f = std::round(f * side) / side;
        }
        const std::vector<AffineMap> maps = {
            {a, b, c, d, e, f},
            {rest, 0.0, c2, d2, (1.0 + step) / 2 - 0.5 * rest + nudge(), 0.5 - 0.5 * (c2 + d2)}};
        EXPECT_TRUE(PreparedMap(maps.front(), side).countsRuns()) << trial;
        for (const std::int32_t count : {4, 7}) {
            ASSERT_TRUE(agreesOnOneAndTwoThreads(test::blockWith(sizeIndex, count, maps), 7));
        }
    }
    const std::vector<AffineMap> fern = {{0, 0, 0, 0.16, 0.5, 0},
                                         {0.85, 0.04, -0.04, 0.85, 0.075, 0.18},
                                         {0.2, -0.26, 0.23, 0.22, 0.4, 0.045},
                                         {-0.15, 0.28, 0.26, 0.24, 0.575, -0.086}};
    EXPECT_TRUE(PreparedMap(fern[1], 512).countsRuns());
    for (std::int32_t sizeIndex = 0; sizeIndex <= 3; ++sizeIndex) {
        ASSERT_TRUE(agreesOnOneAndTwoThreads(test::blockWith(sizeIndex, 12, fern), 5));
    }
}

// The two parts of a listed step each map part of the list and hand the other the landings on
// its rows, as far as the room for them goes (as many entries as the list limit); the rest of
// a part, the other maps again for itself. Six maps land six times per pixel: with low limits
// the room runs out early in most steps shared by two threads.
TEST(FastRenderer, AgreesWhenListedStepsHandOverMoreThanTheirRoomHolds) {
    for (const std::int32_t sizeIndex : {2, 3}) {
        for (const std::int64_t listed : {150, 600}) {
            ASSERT_TRUE(agreesOnOneAndTwoThreads(test::blockWith(sizeIndex, 30, sixTurnedCopies()),
                                                 0, listed));
        }
    }
}

// Later iterations may mark the images of regions known black (the full square's images, then
// theirs) as row spans and map only the pixels outside their cores. Systems of shrinking maps,
// turned, mirrored, at and near the limit that allows it, with images cut by the raster's
// edges or folded onto its row and column 0, the dragon's turns, and maps that allow no image
// beside them; marking from regions whenever it can, and where it pays.
TEST(FastRenderer, AgreesWhereLaterIterationsMarkTheImagesOfSolidRegions) {
    const double edge = 1 - 0x1p-4;
    const auto turned = [](double sum, double turn, double e, double f, bool mirror) {
        const double scale = sum / (std::fabs(std::cos(turn)) + std::fabs(std::sin(turn)));
        const double ca = scale * std::cos(turn);
        const double sa = scale * std::sin(turn);
        return mirror ? AffineMap{ca, sa, sa, -ca, e, f} : AffineMap{ca, -sa, sa, ca, e, f};
    };
    const std::vector<std::vector<AffineMap>> systems = {
        {turned(0.6, 0.3, 0.0, 0.0, false), turned(0.6, 2.0, 1.0, 0.5, false)},
        {turned(edge, 0.4, 0.1, 0.05, false), turned(0.5, -1.0, 0.5, 0.9, true)},
        {turned(edge - 0x1p-40, 0.785398163397448, 0.5, -0.2, false),
         turned(edge + 0x1p-40, 0.785398163397448, 0.5, 0.2, false)},
        {turned(0.45, 0.1, -0.2, -0.2, false), turned(0.45, 1.4, 0.6, 0.1, true),
         turned(0.45, 2.9, 0.9, 0.9, false)},
        {{0.85, 0.04, -0.04, 0.85, 0.0, 0.16},
         {0.2, -0.26, 0.23, 0.22, 0.3, 0.16},
         {-0.15, 0.28, 0.26, 0.24, 0.6, 0.05},
         {0.0, 0.0, 0.0, 0.16, 0.5, 0.0}},
        {{0.5, -0.5, 0.5, 0.5, 0.0, 0.0}, {-0.5, -0.5, 0.5, -0.5, 1.0, 0.0}},
        {turned(0.6, 0.2, 0.2, 0.2, false), {0.97, -0.05, 0.05, 0.97, 0.0, 0.0}},
        {turned(0.5, 0.3, 0.3, 0.3, false), {0.5, 0.0, 0.0, 0.5, 0.5, 0.5}},
        {turned(0.3, 1.0, -0.05, 0.4, false), turned(0.3, -2.0, 0.4, -0.05, true),
         turned(0.7, 0.05, 0.15, 0.15, false), turned(0.4, 3.0, 1.0, 1.0, false),
         turned(0.4, 0.9, 0.2, 0.8, true), turned(0.35, -0.6, 0.7, 0.3, false)},
    };
    for (const std::vector<AffineMap>& maps : systems) {
        for (const std::int32_t sizeIndex : {1, 2}) {
            for (const std::int32_t count : {2, 3, 5}) {
                ParameterBlock block = test::emptyBlock(sizeIndex, count);
                for (std::size_t k = 0; k < maps.size(); ++k) {
                    test::setMap(block, static_cast<int>(k), maps[k]);
                }
                for (const int regionMarking : {1, -1}) {
                    ASSERT_TRUE(agreesOnOneAndTwoThreads(block, 5, -1, regionMarking));
                }
            }
        }
    }
}

// The dragon's turns fill spans in the first iteration unless every class of their targets
// lies on lines between cells, where a rounding decides the cell.
TEST(FastRenderer, TheDragonsTurnsFillSpansWhereTheirTargetsAreClearOfCellEdges) {
    constexpr int side = 256;
    EXPECT_GT(PreparedMap({0.5, -0.5, 0.5, 0.5, 0.3137 / side, 0.1234 / side}, side).spanBorder(),
              0);
    EXPECT_GT(PreparedMap({0.5, -0.5, 0.5, 0.5, 0.0, 0.0}, side).spanBorder(), 0);
    EXPECT_EQ(PreparedMap({0.5, -0.5, 0.5, 0.5, 0.0, 0.5 / side}, side).spanBorder(), 0);
    EXPECT_EQ(PreparedMap({0.75, 0.25, -0.25, 0.75, 0.1, 0.3}, side).spanBorder(), 0);
}

// Maps whose inverse is integral send each class of pixels one to a cell, so the first
// iteration's counts are intervals of cells. Inverses of index 2 to 16, mirrors, targets on
// lines between cells (no classes: counted pixel by pixel), just off them, in the cells left
// of column 0 and above row 0 that truncation folds onto them, images cut by the raster's
// edges or lying wholly outside, and offsets of 2^30 pixels. Each system's counts go on to be
// taken away, from the raster and from the list.
TEST(FastRenderer, AgreesWhereTheFirstIterationCountsLatticeClasses) {
    // Integral inverses (s r), columns first, and the maps A = (s r)^-1; the last two have 8
    // classes, which are seldom all clear of cell edges, and are drawn less often.
    const std::int64_t inverses[][4] = {{1, -1, 1, 1},   {1, 1, 1, -1}, {1, -1, 2, 2},
                                        {3, 1, 1, -1},   {2, -1, 2, 1}, {2, 1, -2, 1},
                                        {-1, -1, 1, -1}, {2, 1, -2, 3}, {1, -2, 3, 2}};
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int classedSystems = 0;
    int unclassedMaps = 0;
    const auto mapOf = [](const std::int64_t* s) {
        const double det = static_cast<double>(s[0] * s[3] - s[2] * s[1]);
        return AffineMap{s[3] / det, -s[2] / det, -s[1] / det, s[0] / det, 0.0, 0.0};
    };
    // Images whose far corner lies in cell row -1, column -1 or both alone, which truncation
    // folds onto row or column 0 (the other coordinate centred); alone, and beside a small
    // copy in the middle that carries the folded pixels into the next iterations. The folded
    // pixels are few and leave the raster under their own map, so each iteration's picture
    // is compared, not only the last.
    std::vector<const std::int64_t*> folding(std::begin(inverses), std::end(inverses));
    const std::int64_t positive[4] = {3, -1, -2, 2};  // one pixel reaches both far edges
    folding.push_back(positive);
    for (const std::int64_t* s : folding) {
        for (const int side : {64, 128}) {
            // Every class clear of cell edges: the classes lie 1/8 of a cell apart or a
            // multiple of it, and the offsets are 1/16 from such a place (-0.3137 nearly).
            const double centred = 0.0625 / side;
            const AffineMap middle{0.25, -0.25, 0.25, 0.25, 0.5 + 2 * centred, 0.25 + 2 * centred};
            EXPECT_GT(PreparedMap(middle, side).latticeClasses(), 0);
            for (const int folded : {0, 1, 2}) {  // rows, columns, both
                AffineMap map = mapOf(s);
                const double n = side - 1;
                const double reachX = n * (std::max(map.a, 0.0) + std::max(map.b, 0.0));
                const double reachY = n * (std::max(map.c, 0.0) + std::max(map.d, 0.0));
                map.e =
                    folded == 0 ? 0.5 - 0.5 * (map.a + map.b) + centred : (-0.3137 - reachX) / side;
                map.f =
                    folded == 1 ? 0.5 - 0.5 * (map.c + map.d) + centred : (-0.3137 - reachY) / side;
                EXPECT_GT(PreparedMap(map, side).latticeClasses(), 0) << map.e << ", " << map.f;
                for (const std::vector<AffineMap>& maps :
                     {std::vector<AffineMap>{map}, std::vector<AffineMap>{map, middle}}) {
                    ParameterBlock block = test::blockWith(side == 64 ? 0 : 1, 4, maps);
                    std::vector<MonochromePicture> shown;
                    FastRenderOptions options;
                    options.onPicture = [&](std::int64_t, const MonochromePicture& picture) {
                        shown.push_back(picture);
                    };
                    fast(block, options);
                    ASSERT_GE(shown.size(), 2U) << describe(block);
                    for (std::size_t k = 1; k < shown.size(); ++k) {
                        block.iterationCount = static_cast<std::int32_t>(k);
                        const MonochromePicture expected = reference(block);
                        ASSERT_TRUE(samePicture(expected, shown[k]))
                            << k << ": " << firstDifference(expected, shown[k]) << "\n"
                            << describe(block);
                    }
                }
            }
        }
    }
    for (int trial = 0; trial < 240; ++trial) {
        const std::int32_t sizeIndex = trial % 2;
        const int side = 64 << sizeIndex;
        std::vector<AffineMap> maps;
        for (std::uint64_t k = 0; k <= random() % 3; ++k) {
            AffineMap map = mapOf(inverses[random() % (random() % 4 == 0 ? 9 : 7)]);
            // Anywhere from well outside to well inside, in whole or half cells now and then.
            double e = unit(random) * 1.6 - 0.4;
            double f = unit(random) * 1.6 - 0.4;
            switch (random() % 6) {
                case 0:
                    e = std::round(e * side * 4) / (side * 4);
                    f = std::round(f * side * 4) / (side * 4);
                    break;
                case 1:
                    e = (std::round(e * side) + 3 * 0x1p-6 + 0x1p-30) / side;
                    break;
                case 2:
                    f = random() % 2 == 0 ? 0x1p30 / side : -0x1p30 / side;
                    break;
                default:
                    break;
            }
            map.e = e;
            map.f = f;
            maps.push_back(map);
        }
        const int unclassed =
            static_cast<int>(std::count_if(maps.begin(), maps.end(), [side](const AffineMap& map) {
                return PreparedMap(map, side).latticeClasses() == 0;
            }));
        classedSystems += unclassed == 0 ? 1 : 0;
        unclassedMaps += unclassed;
        // Three iterations or more: with fewer, the first one only marks.
        for (const std::int32_t count : {3, 5}) {
            ASSERT_TRUE(agreesOnOneAndTwoThreads(test::blockWith(sizeIndex, count, maps), 5,
                                                 trial % 3 == 0 ? 0 : -1));
        }
    }
    // Both sides of the condition are drawn often: the first iteration counts by classes only
    // when every map has them.
    EXPECT_GT(classedSystems, 30);
    EXPECT_GT(unclassedMaps, 80);
}

TEST(FastRenderer, LatticeClassesNeedEveryClassClearOfCellEdges) {
    constexpr int side = 256;
    const auto classes = [](const AffineMap& map) {
        return PreparedMap(map, side).latticeClasses();
    };
    EXPECT_EQ(classes({0.5, -0.5, 0.5, 0.5, 0.3137 / side, 0.1234 / side}), 2);
    EXPECT_EQ(classes({0.25, 0.25, 0.25, -0.75, 0.3137 / side, 0.1234 / side}), 4);
    // One class of the dragon's turn lies on lines between cells, the other not.
    EXPECT_EQ(classes({0.5, -0.5, 0.5, 0.5, 0.0, 0.25 / side}), 0);
    EXPECT_EQ(classes({0.5, -0.5, 0.5, 0.5, 0.25 / side, 0.25 / side}), 2);
    EXPECT_EQ(classes({0.5, -0.5, 0.5, 0.5, 0.25 / side, 0x1p31 / side}), 0);  // offset too far
    EXPECT_EQ(classes({0.75, 0.25, -0.25, 0.75, 0.1, 0.3}), 0);  // inverse not integral
}

// The bound on landings per target, against every pixel of the square mapped with the defining
// loop's doubles: shrinking, turning and shearing maps, the lattice maps whose targets lie on
// cell edges, targets folded onto row and column 0 from -1, and maps that flatten nearly.
TEST(FastRenderer, NoTargetReceivesMoreLandingsThanTheBoundSays) {
    constexpr int side = 128;
    std::mt19937_64 random(99);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    std::vector<AffineMap> maps = {{0.5, -0.5, 0.5, 0.5, 0.0, 0.0},
                                   {0.5, 0.0, 0.0, 0.5, -0.5 / side, -0.5 / side},
                                   {0.25, 0.0, 0.0, 0.25, 0.0, 0.0},
                                   {0.01, 0.0, 0.0, 0.9, 0.2, 0.0},
                                   {0.3, 0.3, 0.3, 0.30001, 0.1, 0.1}};
    for (int k = 0; k < 300; ++k) {
        const double scale = uniform(0.05, 1.2);
        const double turn = uniform(-3.2, 3.2);
        maps.push_back({scale * std::cos(turn), uniform(-0.6, 0.6), scale * std::sin(turn),
                        uniform(-0.6, 0.6), uniform(-0.3, 0.6), uniform(-0.3, 0.6)});
    }
    std::vector<int> landings(static_cast<std::size_t>(side) * side);
    for (const AffineMap& map : maps) {
        const PreparedMap prepared(map, side);
        std::fill(landings.begin(), landings.end(), 0);
        int most = 0;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const double tx = prepared.columnX()[x] + prepared.rowX(y);
                const double ty = prepared.columnY()[x] + prepared.rowY(y);
                if (tx > -1.0 && tx < side && ty > -1.0 && ty < side) {
                    int& count = landings[static_cast<std::size_t>(static_cast<int>(ty)) * side +
                                          static_cast<std::size_t>(static_cast<int>(tx))];
                    most = std::max(most, ++count);
                }
            }
        }
        EXPECT_LE(most, prepared.mostLandings()) << map.a << " " << map.b << " " << map.c << " "
                                                 << map.d << " " << map.e << " " << map.f;
    }
    EXPECT_TRUE(std::isinf(PreparedMap({0.5, 1.0, 0.25, 0.5, 0.0, 0.0}, side).mostLandings()));
}

// A map with a = c = 0 sends a whole source row to one target, so one black pixel of the row
// stands for the rest. Signed zeros, a zero row term (x*0 + 0 must still be column 0), row
// terms that fall off an edge for some rows, and non-finite ones must not change that.
TEST(FastRenderer, AgreesWhenEveryPixelOfARowHasOneTarget) {
    const std::vector<AffineMap> rowsToPoints = {
        {0, 0.3, 0, 0.16, 0.47, 0.01},
        {-0.0, 0.5, -0.0, 0.9, 0, 0.05},
        {0.0, -0.7, -0.0, 0.4, 0.9, 0},
        {-0.0, 0, 0.0, -1, 0, 1},
        {0, 1.3, 0, 1.2, -0.4, -0.1},
        {0, kInf, 0, 0.5, 0.2, 0.2},
        {0, 0.25, 0, kNaN, 0.3, 0.3},
        // Not such maps: one zero is not enough.
        {0, 0.5, 0.6, 0.2, 0.1, 0.1},
        {0.6, 0.5, 0, 0.2, 0.1, 0.1},
    };
    for (const AffineMap& map : rowsToPoints) {
        for (const std::int32_t count : {1, 2, 4, 7}) {
            ParameterBlock block = test::emptyBlock(1, count);
            test::setMap(block, 0, map);
            // Turned maps keep the raster changing; some rows go white, others stay black.
            test::setMap(block, 1, {0.85, 0.04, -0.04, 0.85, 0.08, 0.17});
            test::setMap(block, 2, {0.2, -0.26, 0.23, 0.22, 0.4, 0.1});
            if (count == 4) {
                // A second such map, whose points meet the first's on some rows.
                test::setMap(block, 3, {0, -0.2, 0, 0.16, 0.6, 0.01});
            }
            const MonochromePicture expected = reference(block);
            for (const bool counting : {true, false}) {
                for (const int threads : {1, 2}) {
                    FastRenderOptions options;
                    options.counting = counting;
                    options.threads = threads;
                    options.bandRows = threads == 2 ? 5 : 0;
                    const MonochromePicture actual = fast(block, options);
                    ASSERT_TRUE(samePicture(expected, actual))
                        << firstDifference(expected, actual) << "\n"
                        << describe(block) << describe(options);
                }
            }
        }
    }
}

// Records what the renderer reports; asks to stop at poll number `stopAt` (never when < 0).
class RecordingProgress : public RenderProgress {
public:
    explicit RecordingProgress(int stopAt = -1) : stopAt_(stopAt) {}
    void open() override { events.push_back(kOpen); }
    void setPosition(int percent) override { events.push_back(percent); }
    void close() override { events.push_back(kClose); }
    bool stopRequested() override { return stopAt_ >= 0 && polls++ >= stopAt_; }

    std::vector<int> positions() const {
        std::vector<int> found;
        for (const int event : events) {
            if (event >= 0) {
                found.push_back(event);
            }
        }
        return found;
    }

    static constexpr int kOpen = -1;
    static constexpr int kClose = -2;
    std::vector<int> events;
    int polls = 0;

private:
    int stopAt_;
};

// A system that keeps changing for hundreds of iterations at 512 pixels: a slow rotation.
ParameterBlock slowlySettling(std::int32_t count) {
    ParameterBlock block = test::emptyBlock(3, count);
    test::setMap(block, 0, {0.998, -0.0628, 0.0628, 0.998, 0.03, -0.03});
    return block;
}

TEST(FastRenderer, AStopRequestEndsTheRenderWithoutAPicture) {
    for (int stopAt = 0; stopAt < 6; ++stopAt) {
        const std::int32_t count = 40;
        RecordingProgress progress(stopAt);
        const auto picture = renderPicture(slowlySettling(count), progress);
        EXPECT_FALSE(picture.has_value()) << stopAt;
        ASSERT_GE(progress.events.size(), 2u);
        EXPECT_EQ(progress.events.front(), RecordingProgress::kOpen);
        EXPECT_EQ(progress.events.back(), RecordingProgress::kClose);
        EXPECT_EQ(
            std::count(progress.events.begin(), progress.events.end(), RecordingProgress::kOpen),
            1);
        EXPECT_EQ(
            std::count(progress.events.begin(), progress.events.end(), RecordingProgress::kClose),
            1);
        // Positions for the iterations done before the stop, in order, and no more than the
        // polls that preceded the stop allow: at least one poll per iteration.
        const std::vector<int> positions = progress.positions();
        EXPECT_LE(positions.size(), static_cast<std::size_t>(stopAt));
        for (std::size_t t = 0; t < positions.size(); ++t) {
            EXPECT_EQ(positions[t], progressPosition(static_cast<long long>(t), count));
        }
    }
}

TEST(FastRenderer, AFinishedRenderReportsEveryIterationItPerformed) {
    for (const std::int32_t count : {1, 3, 7, 40}) {
        RecordingProgress progress;
        ASSERT_TRUE(renderPicture(slowlySettling(count), progress).has_value());
        std::vector<int> expected;
        for (std::int32_t t = 0; t < count; ++t) {
            expected.push_back(progressPosition(t, count));
        }
        EXPECT_EQ(progress.positions(), expected) << count;
        EXPECT_EQ(progress.events.front(), RecordingProgress::kOpen);
        EXPECT_EQ(progress.events.back(), RecordingProgress::kClose);
    }
}

// One iteration long enough to span several polling intervals: the stop must be seen inside
// it, not only between iterations. (Single thread without vector unit or counts, so the
// iteration lasts tens of milliseconds even on a fast processor.)
TEST(FastRenderer, AStopIsSeenInsideALongIteration) {
    ParameterBlock block = test::emptyBlock(5, 1);
    for (int k = 0; k < kMapCount; ++k) {
        const double angle = 0.4 + k;
        test::setMap(block, k,
                     {1.3 * std::cos(angle), -1.3 * std::sin(angle), 1.3 * std::sin(angle),
                      1.3 * std::cos(angle), 0.5, 0.1});
    }
    FastRenderOptions slow;
    slow.threads = 1;
    slow.vectorLanes = 1;
    slow.counting = false;
    RecordingProgress progress(1);  // the poll before the iteration passes, later ones stop
    const auto started = std::chrono::steady_clock::now();
    const auto picture = renderPictureFast(block, progress, slow);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_FALSE(picture.has_value()) << "polls: " << progress.polls << ", took "
                                      << std::chrono::duration<double>(elapsed).count() << " s";
    EXPECT_TRUE(progress.positions().empty());
}

TEST(FastRenderer, ARasterThatStopsChangingEndsTheIterationsEarly) {
    // The identity leaves the full square as it is, so a count of 2^31 - 1 costs one
    // iteration; the progress jumps from the first position to the last.
    ParameterBlock identity = defaultParameters();
    identity.sizeIndex = 5;
    identity.autoIterations = 0;
    identity.iterationCount = kLongest;
    RecordingProgress progress;
    const MonochromePicture longest = finish(renderPicture(identity, progress));
    identity.iterationCount = 1;
    EXPECT_TRUE(samePicture(longest, reference(identity)));
    EXPECT_EQ(progress.positions(),
              (std::vector<int>{0, progressPosition(kLongest - 1, kLongest)}));
}

TEST(FastRenderer, SkippingAheadGivesTheSettledPictureForAnyLongCount) {
    // Every raster contains the next (the start is full and the step is monotone), so once
    // two rasters agree the rest are equal: no cycle of length two or more can occur. A mirror
    // x' = N-1-x maps the square onto itself at once; the Sierpinski triangle settles after a
    // few iterations; a contraction towards a point empties all but one pixel.
    const std::vector<std::vector<AffineMap>> systems = {
        {{-1, 0, 0, 1, 63.0 / 64, 0}},
        {{-1, 0, 0, -1, 63.0 / 64, 63.0 / 64}, {0.5, 0, 0, 0.5, 0.25, 0.25}},
        {{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0, 0.5}},
        {{0.3, 0.2, -0.2, 0.3, 0.2, 0.5}},
    };
    for (const auto& maps : systems) {
        ParameterBlock block = test::blockWith(0, 0, maps);
        // The defining loop has settled by 64 iterations when 63 and 64 agree.
        block.iterationCount = 63;
        const MonochromePicture at63 = reference(block);
        block.iterationCount = 64;
        const MonochromePicture settled = reference(block);
        ASSERT_TRUE(samePicture(at63, settled)) << describe(block);
        for (const std::int32_t count : {kLongest, kLongest - 1, 1000001, 1000000}) {
            block.iterationCount = count;
            EXPECT_TRUE(samePicture(fast(block), settled)) << count << "\n" << describe(block);
        }
    }
}

// The property skipping ahead rests on, checked on the defining loop itself.
TEST(FastRenderer, EachIterationKeepsOnlyPixelsThatWereBlackBefore) {
    BlockGenerator generator(77);
    for (int i = 0; i < 150; ++i) {
        ParameterBlock block = generator.next();
        block.sizeIndex = 0;
        block.autoIterations = 0;
        block.iterationCount = 0;
        MonochromePicture before = reference(block);
        for (std::int32_t t = 1; t <= 6; ++t) {
            block.iterationCount = t;
            MonochromePicture after = reference(block);
            for (std::size_t byte = 0; byte < after.bits().size(); ++byte) {
                // Bits are 1 for white: a pixel white before must be white after.
                ASSERT_EQ((~after.bits()[byte] & before.bits()[byte]) & 0xFF, 0)
                    << "iteration " << t << " blackens a pixel\n"
                    << describe(block);
            }
            before = std::move(after);
        }
    }
}

// The pictures shown on the way are the defining loop's after 0, 1, 2, ... iterations, none
// twice, and the last is the render's; one that stops early has settled.
TEST(FastRenderer, ShowsThePictureAfterEachIterationThatChangesIt) {
    BlockGenerator generator(91);
    for (int i = 0; i < 40; ++i) {
        ParameterBlock block = generator.next();
        block.sizeIndex = 2;
        block.autoIterations = 0;
        block.iterationCount = 12;
        std::vector<MonochromePicture> shown;
        FastRenderOptions options;
        options.onPicture = [&](std::int64_t iteration, const MonochromePicture& picture) {
            EXPECT_EQ(iteration, static_cast<std::int64_t>(shown.size()));
            shown.push_back(picture);
        };
        const MonochromePicture last = fast(block, options);
        ASSERT_FALSE(shown.empty());
        EXPECT_TRUE(samePicture(shown.back(), last)) << describe(block);
        ParameterBlock counted = block;
        for (std::size_t k = 0; k < shown.size(); ++k) {
            counted.iterationCount = static_cast<std::int32_t>(k);
            ASSERT_TRUE(samePicture(shown[k], reference(counted))) << k << "\n" << describe(block);
            EXPECT_TRUE(k == 0 || !samePicture(shown[k], shown[k - 1])) << k;
        }
        counted.iterationCount = static_cast<std::int32_t>(shown.size());
        EXPECT_TRUE(shown.size() == 13 || samePicture(reference(counted), last));
    }
}

// The benchmark's table of phases: each phase gets the time of its own iterations, the count is
// of iterations performed (one for a raster that never changes), and asking for phases changes
// nothing in the picture. A second render with the same record starts it afresh.
TEST(FastRenderer, PhasesRecordTheIterationsPerformed) {
    ParameterBlock identity = defaultParameters();
    identity.autoIterations = 0;
    identity.iterationCount = kLongest;
    const struct {
        ParameterBlock block;
        std::int64_t iterations;
    } cases[] = {{identity, 1},
                 {slowlySettling(1), 1},
                 {slowlySettling(7), 7},
                 {slowlySettling(0), 0},
                 {slowlySettling(2), 2}};
    RenderPhases phases;
    for (const auto& [block, iterations] : cases) {
        FastRenderOptions options;
        options.phases = &phases;
        EXPECT_TRUE(samePicture(fast(block, options), fast(block)));
        EXPECT_EQ(phases.iterations, iterations);
        EXPECT_EQ(phases.firstIteration.count() > 0, iterations > 0);
        EXPECT_EQ(phases.packing.count() > 0, iterations > 0);
        EXPECT_EQ(phases.laterIterations.count() > 0, iterations > 1);
    }
}

TEST(FastRenderer, InvalidSizesAreRefusedBeforeAnythingIsReported) {
    for (const std::int32_t sizeIndex : {-1, 6, kLongest}) {
        ParameterBlock block = defaultParameters();
        block.sizeIndex = sizeIndex;
        RecordingProgress progress;
        EXPECT_THROW(renderPictureFast(block, progress), std::invalid_argument);
        EXPECT_TRUE(progress.events.empty());
    }
}

TEST(FastRenderer, NoIterationGivesTheFullSquareAndNoPosition) {
    for (const std::int32_t count : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        ParameterBlock block = test::emptyBlock(2, count);
        test::setMap(block, 0, {0.5, 0, 0, 0.5, 0, 0});
        RecordingProgress progress;
        const MonochromePicture picture = finish(renderPicture(block, progress));
        EXPECT_EQ(test::countBlack(picture), 256 * 256);
        EXPECT_EQ(progress.events,
                  (std::vector<int>{RecordingProgress::kOpen, RecordingProgress::kClose}));
    }
}

}  // namespace
}  // namespace orv
