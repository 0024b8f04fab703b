#pragma once

#include <cstdint>
#include <span>

#include "document/AffineMap.h"
#include "document/ParameterBlock.h"

namespace orv {

// How a function system of some other plane (a published one, a .ifs entry) is fitted into
// Orv's square picture. The picture shows the
// unit square and a map's e and f are fractions of it, so a system of some other plane is
// shown through a square frame of that plane, conjugated by the similarity that takes the
// frame onto the unit square. A similarity, so that shapes keep their proportions.

// Axis-parallel, lower-left corner and side.
struct Square {
    double x = 0.0;
    double y = 0.0;
    double side = 1.0;
};

struct Box {
    double left = 0.0;
    double bottom = 0.0;
    double right = 0.0;
    double top = 0.0;
};

// The largest factor by which the map's linear part lengthens a vector (its largest singular
// value). Below 1 for a contraction.
double stretch(const AffineMap& map);

// A box that holds the attractor of `maps` (all contractions) and reaches beyond its bounding
// box by at most a ten-thousandth of the attractor's size on any side.
Box attractorBox(std::span<const AffineMap> maps);

// The square centred on `box` around its longer side, widened by `margin` times that side on
// every side.
Square squareAround(const Box& box, double margin);

// `map` seen through `frame`: the same linear part, the translation moved and rescaled so that
// the map does to the unit square what `map` does to the frame.
AffineMap inUnitSquare(const AffineMap& map, const Square& frame);

// How many iterations take the full square of side `side` pixels to within a pixel of the
// attractor: each one shrinks that distance by at least the largest stretch of the maps.
std::int32_t iterationsToSettle(std::span<const AffineMap> maps, int side);

// Part of the attractor's box left free on each side of a fitted picture.
inline constexpr double kFitMargin = 0.02;

// The most iterations the Parameters dialog accepts: a fitted document should survive OK in the
// dialog unchanged.
inline constexpr std::int32_t kMostDialogIterations = 32;

// The square frame of the plane a fitted picture shows: the attractor's box made square and
// widened by kFitMargin; a frame of side 1 around an attractor that is a single point. Throws
// std::invalid_argument when a map is not a contraction or the box overflows.
Square fittingFrame(std::span<const AffineMap> maps);

// The document that draws `maps` (one to kMapCount) seen through `frame`: the maps conjugated
// into the unit square and enabled in order, a picture of side index `sizeIndex`, and the
// automatic iteration count when it lets the picture settle, otherwise the settling count but
// no more than kMostDialogIterations. A system that is not made of contractions has no settling
// count and gets the automatic one. Throws std::invalid_argument for a wrong number of maps.
ParameterBlock fittedDocument(std::span<const AffineMap> maps, const Square& frame,
                              std::int32_t sizeIndex);

}  // namespace orv
