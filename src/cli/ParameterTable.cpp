#include "cli/ParameterTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "document/NumberText.h"
#include "render/BoxDimension.h"

namespace orv::cli {

namespace {

constexpr int kColumns = 8;  // map, enabled, a..f
using Row = std::array<std::string, kColumns>;

// Numbers line up on their last digit, and so do the headings above them.
void appendRightAligned(std::string& line, const std::string& cell, std::size_t width) {
    line.append(width - cell.size(), ' ');
    line += cell;
}

}  // namespace

std::string parameterTable(const ParameterBlock& block) {
    const int side = 1 << shiftForSizeIndex(block.sizeIndex);
    // A count from a file may be anything; say what a render would actually do with it.
    const auto iterations = static_cast<std::int32_t>(iterationsFor(block));
    std::string text;
    text += "Picture size          " + formatInt(side) + " x " + formatInt(side) + " (size index " +
            formatInt(block.sizeIndex) + ")\n";
    text += "Automatic iterations  " + formatInt(block.autoIterations) + "\n";
    text += "Iteration count       " + formatInt(block.iterationCount) + "\n";
    text += "A render runs         " + formatInt(iterations) +
            (iterations == 1 ? " iteration\n" : " iterations\n");
    text += "\n";

    std::vector<Row> rows;
    rows.push_back({"Map", "Enabled", "a", "b", "c", "d", "e", "f"});
    for (int map = 0; map < kMapCount; ++map) {
        Row row;
        row[0] = formatInt(map + 1);
        row[1] = formatInt(block.enabled[map]);
        for (int index = 0; index < 6; ++index) {
            row[2 + index] = formatDouble(coefficient(block, map, index));
        }
        rows.push_back(row);
    }

    std::array<std::size_t, kColumns> widths{};
    for (const Row& row : rows) {
        for (int column = 0; column < kColumns; ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    for (const Row& row : rows) {
        std::string line;
        for (int column = 0; column < kColumns; ++column) {
            if (column > 0) {
                line += "  ";
            }
            appendRightAligned(line, row[column], widths[column]);
        }
        text += line + "\n";
    }
    return text;
}

std::string measurementText(const MonochromePicture& picture) {
    const std::int64_t pixels = static_cast<std::int64_t>(picture.side()) * picture.side();
    const auto black = countBoxes(picture).front();
    std::string text =
        "Black pixels          " + std::to_string(black) + " of " + std::to_string(pixels) + "\n";
    const auto estimate = boxCountingDimension(picture);
    if (!estimate) {
        return text + "Box dimension         none: the picture has no black pixel\n";
    }
    char number[32];
    const auto end = std::to_chars(number, number + sizeof number, estimate->dimension,
                                   std::chars_format::fixed, 4)
                         .ptr;
    return text + "Box dimension         " + std::string(number, end) +
           " (box-counting: least-squares slope over boxes of " + formatInt(estimate->smallestBox) +
           " to " + formatInt(estimate->largestBox) + " pixels)\n";
}

std::string entryList(const std::vector<IfsEntry>& entries) {
    std::vector<std::string> names;
    std::size_t width = 0;
    for (const IfsEntry& entry : entries) {
        names.push_back(printableText(entry.name, std::string::npos));
        width = std::max(width, names.back().size());
    }
    std::string text;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const IfsEntry& entry = entries[k];
        text += names[k] + std::string(width - names[k].size() + 2, ' ');
        appendRightAligned(text, std::to_string(entry.mapCount), 3);
        text += entry.mapCount == 1 ? " map" : " maps";
        if (const auto reason = whyNotDrawable(entry)) {
            text += "  (cannot be drawn: " + *reason + ")";
        }
        text += "\n";
    }
    return text;
}

}  // namespace orv::cli
