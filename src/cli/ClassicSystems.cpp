#include "cli/ClassicSystems.h"

#include <cmath>

namespace orv::examples {

namespace {

AffineMap map(double a, double b, double c, double d, double e, double f) {
    return AffineMap{.a = a, .b = b, .c = c, .d = d, .e = e, .f = f};
}

ClassicSystem sierpinskiTriangle() {
    // The right-angled form: its legs are the bottom and left sides of the unit square, so
    // every level of the construction falls on whole pixels of a 2^k raster.
    return {.name = "Sierpinski triangle",
            .fileName = "sierpinski-triangle.orv",
            .source =
                "W. Sierpiński, \"Sur une courbe dont tout point est un point de "
                "ramification\", C. R. Acad. Sci. Paris 160 (1915). Three half-size "
                "copies towards the corners of a right triangle, as in M. F. Barnsley, "
                "*Fractals Everywhere* (Academic Press, 1988).",
            .maps = {map(0.5, 0, 0, 0.5, 0, 0), map(0.5, 0, 0, 0.5, 0.5, 0),
                     map(0.5, 0, 0, 0.5, 0, 0.5)},
            .sizeIndex = 3,
            .frame = Square{.x = 0, .y = 0, .side = 1}};
}

ClassicSystem barnsleyFern() {
    return {.name = "Barnsley fern",
            .fileName = "barnsley-fern.orv",
            .source =
                "M. F. Barnsley, *Fractals Everywhere* (Academic Press, 1988; 2nd ed. "
                "1993, p. 86): the black spleenwort fern.",
            .maps = {map(0, 0, 0, 0.16, 0, 0), map(0.85, 0.04, -0.04, 0.85, 0, 1.6),
                     map(0.2, -0.26, 0.23, 0.22, 0, 1.6), map(-0.15, 0.28, 0.26, 0.24, 0, 0.44)},
            .sizeIndex = 3,
            .frame = std::nullopt};
}

ClassicSystem heighwayDragon() {
    // Two similarities of ratio 1/sqrt(2) turning by 45 and 135 degrees, both fixing the ends
    // of the unit segment.
    return {.name = "Heighway dragon",
            .fileName = "heighway-dragon.orv",
            .source =
                "J. Heighway's paper-folding dragon; C. Davis and D. E. Knuth, \"Number "
                "representations and dragon curves\", *J. Recreational Mathematics* 3 "
                "(1970).",
            .maps = {map(0.5, -0.5, 0.5, 0.5, 0, 0), map(-0.5, -0.5, 0.5, -0.5, 1, 0)},
            .sizeIndex = 4,
            .frame = std::nullopt};
}

ClassicSystem kochCurve() {
    // The four thirds of the unit segment, the middle two turned by +60 and -60 degrees.
    const double s = std::sqrt(3.0) / 6.0;
    return {.name = "Koch curve",
            .fileName = "koch-curve.orv",
            .source =
                "H. von Koch, \"Sur une courbe continue sans tangente, obtenue par une "
                "construction géométrique élémentaire\", *Arkiv för Matematik, Astronomi "
                "och Fysik* 1 (1904); four similarities of ratio 1/3, as in H.-O. "
                "Peitgen, H. Jürgens, D. Saupe, *Chaos and Fractals* (Springer, 1992).",
            .maps = {map(1.0 / 3.0, 0, 0, 1.0 / 3.0, 0, 0),
                     map(1.0 / 6.0, -s, s, 1.0 / 6.0, 1.0 / 3.0, 0),
                     map(1.0 / 6.0, s, -s, 1.0 / 6.0, 0.5, s),
                     map(1.0 / 3.0, 0, 0, 1.0 / 3.0, 2.0 / 3.0, 0)},
            .sizeIndex = 4,
            .frame = std::nullopt};
}

ClassicSystem levyCurve() {
    // The unit segment replaced by the two legs of the right isosceles triangle above it.
    return {.name = "Lévy C curve",
            .fileName = "levy-c-curve.orv",
            .source =
                "P. Lévy, \"Les courbes planes ou gauches et les surfaces composées de "
                "parties semblables au tout\", *Journal de l'École Polytechnique* "
                "(1938).",
            .maps = {map(0.5, -0.5, 0.5, 0.5, 0, 0), map(0.5, 0.5, -0.5, 0.5, 0.5, 0.5)},
            .sizeIndex = 4,
            .frame = std::nullopt};
}

ClassicSystem fractalTree() {
    return {.name = "Fractal tree",
            .fileName = "fractal-tree.orv",
            .source =
                "The four-map tree of the common IFS code tables (a trunk, two branches "
                "turned by 45 degrees either way at ratio 0.59, a small crown), in the "
                "style of Barnsley's collage method; the tables do not record its first "
                "publication.",
            .maps = {map(0, 0, 0, 0.5, 0, 0), map(0.42, -0.42, 0.42, 0.42, 0, 0.2),
                     map(0.42, 0.42, -0.42, 0.42, 0, 0.2), map(0.1, 0, 0, 0.1, 0, 0.2)},
            .sizeIndex = 3,
            .frame = std::nullopt};
}

ClassicSystem mapleLeaf() {
    return {
        .name = "Maple leaf",
        .fileName = "maple-leaf.orv",
        .source =
            "P. Bourke, \"Iterated Function Systems\" (paulbourke.net, 2002): the "
            "maple leaf.",
        .maps = {map(0.14, 0.01, 0, 0.51, -0.08, -1.31), map(0.43, 0.52, -0.45, 0.5, 1.49, -0.75),
                 map(0.45, -0.49, 0.47, 0.47, -1.62, -0.74), map(0.49, 0, 0, 0.51, 0.02, 1.62)},
        .sizeIndex = 3,
        .frame = std::nullopt};
}

ClassicSystem crystal() {
    // Three quarter-size copies at the corners of a triangle and a fourth turned by 60 degrees,
    // which winds the arms into spirals.
    return {
        .name = "Crystal",
        .fileName = "crystal.orv",
        .source =
            "\"cristal\" of A. Schauber's IFS worksheet in the Maple V share library "
            "(1996).",
        .maps = {map(0.255, 0, 0, 0.255, 0.3726, 0.6714), map(0.255, 0, 0, 0.255, 0.1146, 0.2232),
                 map(0.255, 0, 0, 0.255, 0.6306, 0.2232),
                 map(0.37, -0.642, 0.642, 0.37, 0.6356, -0.0061)},
        .sizeIndex = 3,
        .frame = std::nullopt};
}

}  // namespace

std::vector<ClassicSystem> classicSystems() {
    return {sierpinskiTriangle(), barnsleyFern(), heighwayDragon(), kochCurve(),
            levyCurve(),          fractalTree(),  mapleLeaf(),      crystal()};
}

}  // namespace orv::examples
