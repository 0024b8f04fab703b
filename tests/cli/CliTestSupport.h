#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "TempDir.h"
#include "document/ParameterBlock.h"

namespace orv::clitest {

using orv::test::TempDir;

struct RunResult {
    int status = -1;  // the exit status, -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` through the shell in `directory`, its output captured
// elsewhere. `prefix` goes in front of the program (another program that runs it).
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& directory, const std::string& prefix = "");

// A prefix for runProgram that runs the program as an ordinary user: "nobody" when the tests
// run as root, who may read and write anything. Opens `directory` to everyone; nothing when
// that user cannot run the built orv-render there.
std::optional<std::string> ordinaryUserPrefix(const std::string& directory);

// The built orv-render.
RunResult runRender(const std::vector<std::string>& arguments, const std::string& directory,
                    const std::string& prefix = "");

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::string readText(const std::string& path);

// The 324 bytes Orv saves for `block`.
std::vector<std::uint8_t> documentBytes(const ParameterBlock& block);

// The names in `directory`, hidden ones included.
std::set<std::string> entriesOf(const std::string& directory);

// A BMP as orv-render writes it: its side and its pixels, black or not, y = 0 at the bottom.
struct BmpPicture {
    int side = 0;
    std::vector<bool> black;  // side * side, row-major from the bottom row
    bool isBlack(int x, int y) const { return black[static_cast<std::size_t>(y * side + x)]; }
    int blackCount() const;
};
BmpPicture decodeBmp(const std::vector<std::uint8_t>& file);

}  // namespace orv::clitest
