#include "BenchmarkDocuments.h"

#include <cmath>
#include <initializer_list>
#include <numbers>

namespace orv::bench {

namespace {

constexpr std::int32_t kLargestSize = 5;  // 2048 pixels

// A map given in the coordinates it is usually published in, p' = A p + t, moved onto the
// picture: the window [x0, x0 + span] x [y0, y0 + span] becomes the unit square, whose side is
// then N pixels. The linear part is unchanged; the translation becomes a fraction of N.
AffineMap framed(double a, double b, double c, double d, double tx, double ty, double x0, double y0,
                 double span) {
    return {a, b, c, d, (a * x0 + b * y0 + tx - x0) / span, (c * x0 + d * y0 + ty - y0) / span};
}

// A similarity of the unit square: scale, turn (radians) about the origin, then move.
AffineMap similarity(double scale, double turn, double e, double f) {
    const double cosine = scale * std::cos(turn);
    const double sine = scale * std::sin(turn);
    return {cosine, -sine, sine, cosine, e, f};
}

ParameterBlock system(std::initializer_list<AffineMap> maps, std::int32_t count = 0) {
    ParameterBlock block;
    block.sizeIndex = kLargestSize;
    block.autoIterations = count == 0 ? 1 : 0;
    block.iterationCount = count;
    int k = 0;
    for (const AffineMap& map : maps) {
        block.maps[static_cast<std::size_t>(k)] = map;
        block.enabled[static_cast<std::size_t>(k)] = 1;
        ++k;
    }
    return block;
}

}  // namespace

std::vector<BenchmarkDocument> benchmarkDocuments() {
    constexpr double pi = std::numbers::pi;
    std::vector<BenchmarkDocument> documents;

    documents.push_back({"identity", system({{1, 0, 0, 1, 0, 0}}), true});

    documents.push_back(
        {"sierpinski",
         system({{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0, 0.5}}),
         true});

    // Barnsley's fern, x in [-2.2, 2.7], y in [0, 10].
    const double fernX = -4.9;
    const double fernY = -0.1;
    const double fernSpan = 10.3;
    documents.push_back({"fern",
                         system({framed(0, 0, 0, 0.16, 0, 0, fernX, fernY, fernSpan),
                                 framed(0.85, 0.04, -0.04, 0.85, 0, 1.6, fernX, fernY, fernSpan),
                                 framed(0.2, -0.26, 0.23, 0.22, 0, 1.6, fernX, fernY, fernSpan),
                                 framed(-0.15, 0.28, 0.26, 0.24, 0, 0.44, fernX, fernY, fernSpan)}),
                         true});

    // Heighway's dragon: z -> (1+i)z/2 and z -> 1 - (1-i)z/2, x in [-0.35, 1.2],
    // y in [-0.4, 0.7].
    const double dragonX = -0.4;
    const double dragonY = -0.55;
    const double dragonSpan = 1.65;
    const AffineMap dragonMaps[] = {
        framed(0.5, -0.5, 0.5, 0.5, 0, 0, dragonX, dragonY, dragonSpan),
        framed(-0.5, -0.5, 0.5, -0.5, 1, 0, dragonX, dragonY, dragonSpan)};
    documents.push_back({"dragon", system({dragonMaps[0], dragonMaps[1]}), true});
    documents.push_back({"dragon-40", system({dragonMaps[0], dragonMaps[1]}, 40), true});

    // Six turned copies at 0.42 scale around the centre, overlapping their neighbours.
    std::vector<AffineMap> six;
    for (int k = 0; k < 6; ++k) {
        const double place = 2 * pi * k / 6;
        const double turn = 0.3 + 0.45 * k;
        const AffineMap map = similarity(0.42, turn, 0, 0);
        // Centre of the copy on a circle of radius 0.26 around (0.5, 0.5).
        const double cx = 0.5 + 0.26 * std::cos(place);
        const double cy = 0.5 + 0.26 * std::sin(place);
        six.push_back(
            {map.a, map.b, map.c, map.d, cx - (map.a + map.b) / 2, cy - (map.c + map.d) / 2});
    }
    documents.push_back(
        {"six-overlapping", system({six[0], six[1], six[2], six[3], six[4], six[5]}), true});

    // Four quarter-size turned copies with an explicit count of 40.
    documents.push_back(
        {"count-40",
         system({similarity(0.5, 0.1, 0.02, 0.0), similarity(0.5, -0.1, 0.5, 0.05),
                 similarity(0.5, 0.05, 0.0, 0.5), similarity(0.5, -0.05, 0.48, 0.5)},
                40),
         true});

    // A turn by 0.05 radian about the centre, without shrinking: pixels merge and holes open
    // a few at a time, so the raster keeps changing through all 22 iterations.
    const AffineMap turn = similarity(1.0, 0.05, 0, 0);
    documents.push_back({"slow-rotation",
                         system({{turn.a, turn.b, turn.c, turn.d, 0.5 - (turn.a + turn.b) / 2,
                                  0.5 - (turn.c + turn.d) / 2}}),
                         true});

    ParameterBlock longest = system({{1, 0, 0, 1, 0, 0}}, 2147483647);
    documents.push_back({"identity-count-2147483647", longest, false});
    return documents;
}

}  // namespace orv::bench
