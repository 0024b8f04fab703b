#include "cli/ClassicSystems.h"

#include <stdexcept>

#include "document/IfsFile.h"
#include "document/ParameterFile.h"

namespace orv::examples {

namespace {

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
            .entry = "sierpinski",
            .maps = {},
            .sizeIndex = 3,
            .frame = Square{.x = 0, .y = 0, .side = 1}};
}

ClassicSystem barnsleyFern() {
    return {.name = "Barnsley fern",
            .fileName = "barnsley-fern.orv",
            .source =
                "M. F. Barnsley, *Fractals Everywhere* (Academic Press, 1988; 2nd ed. "
                "1993, p. 86): the black spleenwort fern.",
            .entry = "fern",
            .maps = {},
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
            .entry = "dragon",
            .maps = {},
            .sizeIndex = 4,
            .frame = std::nullopt};
}

ClassicSystem kochCurve() {
    // The four thirds of the unit segment, the middle two turned by +60 and -60 degrees.
    return {.name = "Koch curve",
            .fileName = "koch-curve.orv",
            .source =
                "H. von Koch, \"Sur une courbe continue sans tangente, obtenue par une "
                "construction géométrique élémentaire\", *Arkiv för Matematik, Astronomi "
                "och Fysik* 1 (1904); four similarities of ratio 1/3, as in H.-O. "
                "Peitgen, H. Jürgens, D. Saupe, *Chaos and Fractals* (Springer, 1992).",
            .entry = "koch",
            .maps = {},
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
            .entry = "levy",
            .maps = {},
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
            .entry = "tree",
            .maps = {},
            .sizeIndex = 3,
            .frame = std::nullopt};
}

ClassicSystem mapleLeaf() {
    return {.name = "Maple leaf",
            .fileName = "maple-leaf.orv",
            .source =
                "P. Bourke, \"Iterated Function Systems\" (paulbourke.net, 2002): the "
                "maple leaf.",
            .entry = "maple",
            .maps = {},
            .sizeIndex = 3,
            .frame = std::nullopt};
}

ClassicSystem crystal() {
    // Three quarter-size copies at the corners of a triangle and a fourth turned by 60 degrees,
    // which winds the arms into spirals.
    return {.name = "Crystal",
            .fileName = "crystal.orv",
            .source =
                "\"cristal\" of A. Schauber's IFS worksheet in the Maple V share library "
                "(1996).",
            .entry = "crystal",
            .maps = {},
            .sizeIndex = 3,
            .frame = std::nullopt};
}

}  // namespace

std::vector<ClassicSystem> classicSystems(const std::string& library) {
    const std::vector<std::uint8_t> bytes = readFileStart(library, std::size_t{1} << 20);
    std::vector<IfsEntry> entries;
    try {
        entries = parseIfs({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    } catch (const IfsSyntaxError& failure) {
        throw std::runtime_error(library + ": " + failure.what());
    }
    std::vector<ClassicSystem> systems = {sierpinskiTriangle(), barnsleyFern(), heighwayDragon(),
                                          kochCurve(),          levyCurve(),    fractalTree(),
                                          mapleLeaf(),          crystal()};
    for (ClassicSystem& system : systems) {
        const IfsEntry* entry = findEntry(entries, system.entry);
        if (entry == nullptr || whyNotDrawable(*entry)) {
            throw std::runtime_error(library + ": no plane entry '" + system.entry + "'");
        }
        system.maps = entry->maps;
    }
    return systems;
}

}  // namespace orv::examples
