#include "document/SystemFitting.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace orv {

namespace {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

Point apply(const AffineMap& m, Point p) {
    return {m.a * p.x + m.b * p.y + m.e, m.c * p.x + m.d * p.y + m.f};
}

// outer after inner: x -> outer(inner(x)).
AffineMap compose(const AffineMap& outer, const AffineMap& inner) {
    return {.a = outer.a * inner.a + outer.b * inner.c,
            .b = outer.a * inner.b + outer.b * inner.d,
            .c = outer.c * inner.a + outer.d * inner.c,
            .d = outer.c * inner.b + outer.d * inner.d,
            .e = outer.a * inner.e + outer.b * inner.f + outer.e,
            .f = outer.c * inner.e + outer.d * inner.f + outer.f};
}

Point fixedPoint(const AffineMap& m) {
    const double det = (1.0 - m.a) * (1.0 - m.d) - m.b * m.c;
    return {((1.0 - m.d) * m.e + m.b * m.f) / det, (m.c * m.e + (1.0 - m.a) * m.f) / det};
}

// Square root rather than hypot: it is correctly rounded everywhere, so the sample documents
// come out the same on every machine.
double distance(Point p, Point q) {
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    return std::sqrt(dx * dx + dy * dy);
}

void include(Box& box, Point p) {
    box.left = std::min(box.left, p.x);
    box.right = std::max(box.right, p.x);
    box.bottom = std::min(box.bottom, p.y);
    box.top = std::max(box.top, p.y);
}

bool holdsDisc(const Box& box, Point centre, double radius) {
    return centre.x - radius >= box.left && centre.x + radius <= box.right &&
           centre.y - radius >= box.bottom && centre.y + radius <= box.top;
}

}  // namespace

double stretch(const AffineMap& m) {
    const double sum = m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d;
    const double det = m.a * m.d - m.b * m.c;
    const double gap = std::max(0.0, sum * sum - 4.0 * det * det);
    return std::sqrt((sum + std::sqrt(gap)) / 2.0);
}

Box attractorBox(std::span<const AffineMap> maps) {
    // The attractor A is the union of the w_i(A). Take an anchor c in A (a fixed point) and a
    // radius R with A inside the disc D(c, R): a word of maps w then sends A into the disc of
    // radius stretch(w) * R around w(c), and every w(c) lies in A. Points w(c) grow an inner
    // box; a word whose disc already lies inside it adds nothing and is dropped, one whose
    // disc is small enough adds its disc's box. What is left holds A and overshoots its
    // bounding box by at most that small radius.
    std::vector<double> ratios;
    for (const AffineMap& m : maps) {
        ratios.push_back(stretch(m));
        if (!(ratios.back() < 1.0)) {
            throw std::invalid_argument("a map of the system is not a contraction");
        }
    }
    const Point anchor = fixedPoint(maps[0]);
    double radius = 0.0;  // D(anchor, radius) holds every w_i(D(anchor, radius)), hence A
    for (std::size_t i = 0; i < maps.size(); ++i) {
        radius = std::max(radius, distance(apply(maps[i], anchor), anchor) / (1.0 - ratios[i]));
    }
    const double tolerance = 1e-4 * radius;
    // Rounding in the composed stretches must not shrink a disc below what it has to hold.
    constexpr double kSafety = 1.0 + 1e-9;

    Box inner{anchor.x, anchor.y, anchor.x, anchor.y};
    for (const AffineMap& m : maps) {
        include(inner, fixedPoint(m));
    }
    Box outer = inner;
    struct Word {
        AffineMap map;
        double reach;
    };
    std::vector<Word> pending{{AffineMap{.a = 1.0, .d = 1.0}, radius}};
    std::size_t visited = 0;
    while (!pending.empty()) {
        const Word word = pending.back();
        pending.pop_back();
        if (++visited > 100'000'000) {
            throw std::runtime_error("the attractor's bounds do not settle");
        }
        const Point centre = apply(word.map, anchor);
        if (holdsDisc(inner, centre, word.reach)) {
            continue;
        }
        if (word.reach <= tolerance) {
            include(outer, {centre.x - word.reach, centre.y - word.reach});
            include(outer, {centre.x + word.reach, centre.y + word.reach});
            continue;
        }
        for (const AffineMap& m : maps) {
            const AffineMap longer = compose(word.map, m);
            include(inner, apply(longer, anchor));
            pending.push_back({longer, stretch(longer) * radius * kSafety});
        }
    }
    include(outer, {inner.left, inner.bottom});
    include(outer, {inner.right, inner.top});
    return outer;
}

Square squareAround(const Box& box, double margin) {
    const double longer = std::max(box.right - box.left, box.top - box.bottom);
    const double side = longer * (1.0 + 2.0 * margin);
    return {.x = (box.left + box.right) / 2.0 - side / 2.0,
            .y = (box.bottom + box.top) / 2.0 - side / 2.0,
            .side = side};
}

AffineMap inUnitSquare(const AffineMap& m, const Square& frame) {
    // With p = frame corner + side * q, the map q -> (w(p) - corner) / side keeps the linear
    // part and moves the corner's image into the translation.
    AffineMap result = m;
    result.e = (m.a * frame.x + m.b * frame.y + m.e - frame.x) / frame.side;
    result.f = (m.c * frame.x + m.d * frame.y + m.f - frame.y) / frame.side;
    return result;
}

std::int32_t iterationsToSettle(std::span<const AffineMap> maps, int side) {
    double ratio = 0.0;
    for (const AffineMap& m : maps) {
        ratio = std::max(ratio, stretch(m));
    }
    if (!(ratio < 1.0)) {
        throw std::invalid_argument("a map of the system is not a contraction");
    }
    // No point of the square is further than its diagonal from the attractor inside it.
    double gap = side * std::sqrt(2.0);
    std::int32_t iterations = 0;
    while (gap > 1.0) {
        gap *= ratio;
        ++iterations;
    }
    return iterations;
}

Square fittingFrame(std::span<const AffineMap> maps) {
    Square frame = squareAround(attractorBox(maps), kFitMargin);
    if (!std::isfinite(frame.x) || !std::isfinite(frame.y) || !std::isfinite(frame.side)) {
        throw std::invalid_argument("the attractor reaches too far to be measured");
    }
    if (frame.side == 0.0) {  // a single point: shown in the middle of a unit frame
        frame = {.x = frame.x - 0.5, .y = frame.y - 0.5, .side = 1.0};
    }
    return frame;
}

ParameterBlock fittedDocument(std::span<const AffineMap> maps, const Square& frame,
                              std::int32_t sizeIndex) {
    if (maps.empty() || maps.size() > static_cast<std::size_t>(kMapCount)) {
        throw std::invalid_argument("a document holds one to six maps");
    }
    ParameterBlock block = defaultParameters();
    block.maps = {};
    block.enabled = {};
    block.sizeIndex = sizeIndex;
    for (std::size_t i = 0; i < maps.size(); ++i) {
        block.maps[i] = inUnitSquare(maps[i], frame);
        block.enabled[i] = 1;
    }
    const int shift = shiftForSizeIndex(sizeIndex);
    const std::int32_t automatic = 2 * shift;
    const bool contracting =
        std::ranges::all_of(maps, [](const AffineMap& m) { return stretch(m) < 1.0; });
    const std::int32_t settle = contracting ? iterationsToSettle(maps, 1 << shift) : automatic;
    if (settle <= automatic) {
        block.autoIterations = 1;
        block.iterationCount = automatic;  // what the dialog shows should the user untick it
    } else {
        block.autoIterations = 0;
        block.iterationCount = std::min(settle, kMostDialogIterations);
    }
    return block;
}

}  // namespace orv
