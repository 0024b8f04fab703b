#include "cli/ExampleDocuments.h"

#include <algorithm>

#include "document/Archive.h"
#include "document/NumberText.h"
#include "document/ParameterFile.h"
#include "export/AtomicFile.h"

namespace orv::examples {

namespace {

std::string iterationText(const ExampleDocument& example) {
    const ParameterBlock& block = example.parameters;
    if (block.autoIterations != 0) {
        return "automatic iteration count (" +
               formatInt(static_cast<std::int32_t>(iterationsFor(block))) +
               "; the picture settles after " + formatInt(example.settleIterations) + ")";
    }
    std::string text = formatInt(block.iterationCount) + " iterations";
    if (block.iterationCount < example.settleIterations) {
        text += " (the picture settles after " + formatInt(example.settleIterations) + "; " +
                formatInt(kMostDialogIterations) +
                " is the most the Parameters dialog accepts, and the few pixels still to go lie "
                "at the tip the slowest map contracts towards)";
    }
    return text;
}

std::string mapTable(const ExampleDocument& example) {
    std::string table =
        "| Map | a | b | c | d | e | f | e in the document | f in the document |\n"
        "|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    const auto& maps = example.system.maps;
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const AffineMap& m = maps[i];
        const AffineMap& stored = example.parameters.maps[i];
        table += "| " + formatInt(static_cast<std::int32_t>(i + 1));
        for (double value : {m.a, m.b, m.c, m.d, m.e, m.f, stored.e, stored.f}) {
            table += " | " + formatDouble(value);
        }
        table += " |\n";
    }
    return table;
}

constexpr const char* kIntroduction = R"(# Sample documents

Classic iterated function systems as Orv documents. Open one in Orv, or render it:

    orv-render examples/barnsley-fern.orv fern.bmp

The same systems are in `classic.ifs`, the plain-text format of the classic fractal programs,
which `orv-render` reads directly and fits into the picture:

    orv-render examples/classic.ifs:fern fern.bmp
    orv-render --list examples/classic.ifs

The documents and this README are written by `orv-make-examples`, which is built with the
project: it takes the maps from `classic.ifs` and the names, sources and picture sizes from
`src/cli/ClassicSystems.cpp`. Change them there and regenerate from the top of the repository
with `BUILD/bin/orv-make-examples examples` instead of editing the documents or this README: a
test checks that the committed files are exactly what it writes.

## From the published maps to a document

A system is published as maps of its own plane, x' = a x + b y + e, y' = c x + d y + f. Orv
draws the unit square, with e and f measured in picture sides, so each system is shown through
a square frame of its plane, lower-left corner (x0, y0) and side L:

- The frame is the attractor's bounding box made square around its centre and widened by 2 %
  of its side on every side, so that all of the attractor shows and none of it touches the
  picture's edge. The box is computed from the maps: starting from a fixed point c and a disc
  D(c, R) that every map sends into itself, each composition w of maps puts its part of the
  attractor inside a disc of radius (largest stretch of w) R around w(c); the compositions are
  followed until their discs are either inside the box found so far or smaller than 1/10000
  of R. The Sierpinski triangle is the exception: its frame is the unit square itself.
- Each map is conjugated by the similarity p -> (p - (x0, y0)) / L, which keeps a, b, c and d
  and moves the translation to

      e' = (a x0 + b y0 + e - x0) / L,    f' = (c x0 + d y0 + f - y0) / L.

- Each iteration brings every point at least by the factor r (the largest singular value of
  the maps' linear parts) closer to the attractor, and no point of the picture is more than its
  diagonal, sqrt(2) N pixels, away from it. The picture has settled to within a pixel after
  the smallest T with r^T sqrt(2) N <= 1. When T is at most the automatic count, 2 log2 N, the
  document uses the automatic count; otherwise it stores T, but no more than 32, the most the
  Parameters dialog accepts.

The maps below are listed as published (a to f) with the translation the document stores.
)";

}  // namespace

ExampleDocument makeExampleDocument(const ClassicSystem& system) {
    ExampleDocument example{.system = system};
    example.frame = system.frame ? *system.frame : fittingFrame(system.maps);
    example.parameters = fittedDocument(system.maps, example.frame, system.sizeIndex);
    example.settleIterations =
        iterationsToSettle(system.maps, 1 << shiftForSizeIndex(system.sizeIndex));
    return example;
}

std::string examplesReadme(const std::vector<ExampleDocument>& examples) {
    std::string text = kIntroduction;
    for (const ExampleDocument& example : examples) {
        const int side = 1 << shiftForSizeIndex(example.parameters.sizeIndex);
        text += "\n## " + example.system.name + " (`" + example.system.fileName + "`)\n\n";
        text += "Source: " + example.system.source + "\n\n";
        text += "Picture " + formatInt(side) + " x " + formatInt(side) + ", " +
                iterationText(example) + ".\n";
        text += "Frame: x0 = " + formatDouble(example.frame.x) +
                ", y0 = " + formatDouble(example.frame.y) +
                ", L = " + formatDouble(example.frame.side) + ".\n\n";
        text += mapTable(example);
    }
    return text;
}

std::vector<std::string> writeExamples(const std::string& directory, const std::string& library) {
    std::vector<ExampleDocument> examples;
    std::vector<std::string> written;
    for (const ClassicSystem& system : classicSystems(library)) {
        examples.push_back(makeExampleDocument(system));
        Archive archive = Archive::forStoring();
        storeParameters(examples.back().parameters, archive);
        writeFileAtomically(directory + "/" + system.fileName, archive.bytes());
        written.push_back(system.fileName);
    }
    const std::string readme = examplesReadme(examples);
    writeFileAtomically(directory + "/README.md",
                        {reinterpret_cast<const std::uint8_t*>(readme.data()), readme.size()});
    written.push_back("README.md");
    return written;
}

}  // namespace orv::examples
