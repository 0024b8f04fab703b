#include "cli/ParameterTable.h"

#include <algorithm>
#include <array>
#include <vector>

#include "document/NumberText.h"

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

}  // namespace orv::cli
