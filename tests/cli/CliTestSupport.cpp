#include "CliTestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "document/Archive.h"
#include "document/ParameterFile.h"

namespace orv::clitest {

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

std::uint32_t read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t{bytes.at(at)} | std::uint32_t{bytes.at(at + 1)} << 8 |
           std::uint32_t{bytes.at(at + 2)} << 16 | std::uint32_t{bytes.at(at + 3)} << 24;
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& directory, const std::string& prefix) {
    TempDir capture;
    // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string temporaries.
    std::string command = "cd ";
    command.append(quoted(directory)).append(" && ").append(prefix).append(quoted(program));
    for (const std::string& argument : arguments) {
        command.append(" ").append(quoted(argument));
    }
    command.append(" >").append(quoted(capture.file("out")));
    command.append(" 2>").append(quoted(capture.file("err"))).append(" </dev/null");
    const int wait = std::system(command.c_str());
    RunResult result;
    result.status = wait != -1 && WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    result.out = readText(capture.file("out"));
    result.err = readText(capture.file("err"));
    return result;
}

std::optional<std::string> ordinaryUserPrefix(const std::string& directory) {
    if (::geteuid() != 0) {
        return "";
    }
    if (std::system("command -v setpriv >/dev/null 2>&1") != 0) {
        return std::nullopt;
    }
    const std::string prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    ::chmod(directory.c_str(), 0755);
    if (runProgram("/bin/true", {}, directory, prefix).status != 0 ||
        runProgram("test", {"-x", ORV_RENDER_PATH}, directory, prefix).status != 0) {
        return std::nullopt;
    }
    return prefix;
}

RunResult runRender(const std::vector<std::string>& arguments, const std::string& directory,
                    const std::string& prefix) {
    return runProgram(ORV_RENDER_PATH, arguments, directory, prefix);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readText(const std::string& path) {
    const auto bytes = readBytes(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> documentBytes(const ParameterBlock& block) {
    Archive archive = Archive::forStoring();
    storeParameters(block, archive);
    return archive.bytes();
}

std::set<std::string> entriesOf(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

int BmpPicture::blackCount() const {
    return static_cast<int>(std::count(black.begin(), black.end(), true));
}

BmpPicture decodeBmp(const std::vector<std::uint8_t>& file) {
    BmpPicture picture;
    picture.side = static_cast<int>(read32(file, 18));
    const std::size_t offset = read32(file, 10);
    const auto side = static_cast<std::size_t>(picture.side);
    const std::size_t rowBytes = side / 8;
    if (file.size() != offset + side * rowBytes) {
        throw std::runtime_error("the BMP's size does not match its side");
    }
    picture.black.resize(side * side);
    for (std::size_t y = 0; y < side; ++y) {  // stored bottom row first
        for (std::size_t x = 0; x < side; ++x) {
            const std::uint8_t byte = file[offset + y * rowBytes + x / 8];
            picture.black[y * side + x] = (byte & (0x80 >> (x % 8))) == 0;
        }
    }
    return picture;
}

}  // namespace orv::clitest
