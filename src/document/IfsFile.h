#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "document/AffineMap.h"

namespace orv {

// The plain-text .ifs file of the classic fractal programs, a list of named entries:
//
//   ; a comment runs from a semicolon to the end of the line
//   fern {
//     0     0     0    .16  0  0     .01
//     .85   .04  -.04  .85  0  1.6   .85
//   }
//
// Each line inside the braces holds one map: a b c d e f and an optional probability p, with
// x' = a*x + b*y + e, y' = c*x + d*y + f in the entry's own plane (AffineMap's order, but e and
// f in plane units). Numbers are C decimal or hexadecimal floating-point, separated by blanks,
// tabs or commas; the braces may share a line with the name or a map. An entry whose name holds
// "(3D)" has 12 numbers and a probability per map (a 3 x 3 linear part, then the translation);
// it is read so that it can be listed, and its maps are not kept. The probabilities steer the
// random algorithm of those programs; the deterministic iteration has no use for them, so they
// are checked for being numbers and dropped.

struct IfsEntry {
    std::string name;
    int line = 0;  // where the name is
    bool threeDimensional = false;
    std::size_t mapCount = 0;
    std::vector<AffineMap> maps;  // empty for a 3-D entry
};

// A file that is not .ifs text, at a line (counted from 1).
class IfsSyntaxError : public std::runtime_error {
public:
    IfsSyntaxError(int line, const std::string& reason);
    int line() const { return line_; }

private:
    int line_;
};

// Every entry of the text, in file order. Throws IfsSyntaxError at the first fault.
std::vector<IfsEntry> parseIfs(std::string_view text);

// The entry named `name` (compared without regard to ASCII case, as the classic programs do),
// or the first one when `name` is empty; nothing when there is none.
const IfsEntry* findEntry(std::span<const IfsEntry> entries, std::string_view name);

// Whether Orv can draw the entry; otherwise why not, as "it is three-dimensional".
std::optional<std::string> whyNotDrawable(const IfsEntry& entry);

// The probabilities written for `maps`: proportional to the area each map keeps (|det| of its
// linear part), but none below a hundredth of the total, so that a program which picks maps by
// them still draws every map (a map squeezing the plane onto a line, like the fern's stem, has
// area zero). Equal when every map has area zero.
std::vector<double> ifsProbabilities(std::span<const AffineMap> maps);

// One entry as text, each coefficient in the shortest form that reads back as the same double.
// `name` is used as it is: see ifsEntryName.
std::string formatIfsEntry(std::string_view name, std::span<const AffineMap> maps);

// Text from a .ifs file as it may be shown on a terminal: control characters (which could
// steer the terminal) as '?', and no more than `limit` bytes, cut before a whole character and
// followed by "..." when longer.
std::string printableText(std::string_view text, std::size_t limit = 64);

// An entry name made from a file name: its last component without the extension, with
// blanks, braces and semicolons (which would end the name) replaced by '_'.
std::string ifsEntryName(std::string_view path);

}  // namespace orv
