// What orv-render produces when it succeeds: the program's own picture, the overrides, the
// --info table and the informational options.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "CliTestSupport.h"
#include "export/BmpWriter.h"
#include "render/RasterIteration.h"

namespace orv::clitest {
namespace {

std::vector<std::uint8_t> expectedBmp(const ParameterBlock& block) {
    RenderProgress silent;
    return encodeBmp(*renderPicture(block, silent));
}

// Three half-size maps and a turned, shrunk one: every map counts and nothing is symmetric.
ParameterBlock lopsidedSystem() {
    ParameterBlock block{};
    block.maps[0] = {.a = 0.5, .b = 0, .c = 0, .d = 0.5, .e = 0, .f = 0};
    block.maps[2] = {.a = 0.5, .b = 0, .c = 0, .d = 0.5, .e = 0.5, .f = 0};
    block.maps[3] = {.a = 0.5, .b = 0, .c = 0, .d = 0.5, .e = 0.1, .f = 0.5};
    block.maps[5] = {.a = 0.3, .b = -0.2, .c = 0.2, .d = 0.3, .e = 0.6, .f = 0.55};
    block.enabled = {1, 0, 1, -7, 0, 1};
    block.autoIterations = 0;
    block.iterationCount = 9;
    block.sizeIndex = 1;
    return block;
}

class RenderOutputTest : public ::testing::Test {
protected:
    std::string writeDocument(const ParameterBlock& block, const std::string& name = "doc.orv") {
        writeBytes(dir.file(name), documentBytes(block));
        return dir.file(name);
    }

    TempDir dir;
};

TEST_F(RenderOutputTest, WritesExactlyThePictureTheProgramRenders) {
    const ParameterBlock block = lopsidedSystem();
    const RunResult result = runRender({writeDocument(block), "out.bmp"}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");  // no terminal, so no progress bar either
    EXPECT_EQ(readBytes(dir.file("out.bmp")), expectedBmp(block));
    EXPECT_EQ(entriesOf(dir.path()), (std::set<std::string>{"doc.orv", "out.bmp"}));
}

TEST_F(RenderOutputTest, ReplacesAnExistingPictureAndIgnoresBytesAfterTheDocument) {
    ParameterBlock block = lopsidedSystem();
    block.sizeIndex = 0;
    auto bytes = documentBytes(block);
    bytes.insert(bytes.end(), 76, 0xAB);
    writeBytes(dir.file("long.orv"), bytes);
    writeBytes(dir.file("out.bmp"), {1, 2, 3});

    const RunResult result = runRender({"--quiet", "long.orv", "out.bmp"}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readBytes(dir.file("out.bmp")), expectedBmp(block));
}

TEST_F(RenderOutputTest, SizeOverrideSetsThePictureSide) {
    const std::string document = writeDocument(defaultParameters());
    for (int side : {64, 128, 256, 512, 1024, 2048}) {
        SCOPED_TRACE(side);
        const RunResult result =
            runRender({"--size", std::to_string(side), document, "out.bmp"}, dir.path());
        ASSERT_EQ(result.status, 0) << result.err;
        const auto bmp = readBytes(dir.file("out.bmp"));
        EXPECT_EQ(bmp.size(), 62u + static_cast<std::size_t>(side) * side / 8);
        // The identity map keeps the whole square black at every size.
        EXPECT_EQ(decodeBmp(bmp).blackCount(), side * side);
    }
    const RunResult equals = runRender({"--size=256", document, "out.bmp"}, dir.path());
    ASSERT_EQ(equals.status, 0) << equals.err;
    EXPECT_EQ(decodeBmp(readBytes(dir.file("out.bmp"))).side, 256);
}

TEST_F(RenderOutputTest, IterationOverrideReplacesTheDocumentsRule) {
    // A single map that halves towards the centre: after one iteration a square of half the
    // side, after the automatic count little more than the centre.
    ParameterBlock block{};
    block.maps[0] = {.a = 0.5, .b = 0, .c = 0, .d = 0.5, .e = 0.25, .f = 0.25};
    block.enabled[0] = 1;
    block.autoIterations = 1;
    block.iterationCount = 5;
    block.sizeIndex = 1;
    const std::string document = writeDocument(block);

    ParameterBlock once = block;
    once.autoIterations = 0;
    once.iterationCount = 1;
    ASSERT_EQ(runRender({"--iterations", "1", document, "out.bmp"}, dir.path()).status, 0);
    EXPECT_EQ(readBytes(dir.file("out.bmp")), expectedBmp(once));
    EXPECT_EQ(decodeBmp(readBytes(dir.file("out.bmp"))).blackCount(), 64 * 64);

    ParameterBlock counted = block;
    counted.autoIterations = 0;
    const std::string countedDocument = writeDocument(counted, "counted.orv");
    ASSERT_EQ(runRender({"--iterations=auto", countedDocument, "out.bmp"}, dir.path()).status, 0);
    EXPECT_EQ(readBytes(dir.file("out.bmp")), expectedBmp(block));
    EXPECT_LT(decodeBmp(readBytes(dir.file("out.bmp"))).blackCount(), 16);
}

TEST_F(RenderOutputTest, NoIterationsLeaveTheWholeSquareBlack) {
    ParameterBlock block = lopsidedSystem();
    block.enabled = {0, 0, 0, 0, 0, 0};  // one iteration of this would leave it all white
    const std::string document = writeDocument(block);
    for (const char* count : {"0", "-1", "-2147483648"}) {
        SCOPED_TRACE(count);
        const RunResult result =
            runRender({"--iterations", count, "--size", "64", document, "out.bmp"}, dir.path());
        ASSERT_EQ(result.status, 0) << result.err;
        const auto bmp = readBytes(dir.file("out.bmp"));
        ASSERT_EQ(bmp.size(), 574u);
        EXPECT_TRUE(std::all_of(bmp.begin() + 62, bmp.end(), [](auto b) { return b == 0; }));
    }
    ASSERT_EQ(runRender({"--iterations", "1", document, "out.bmp"}, dir.path()).status, 0);
    EXPECT_EQ(decodeBmp(readBytes(dir.file("out.bmp"))).blackCount(), 0);
}

TEST_F(RenderOutputTest, AFileNameMayStartWithADashAfterTheEndOfOptions) {
    writeDocument(lopsidedSystem(), "-doc.orv");
    const RunResult result = runRender({"--", "-doc.orv", "-out.bmp"}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readBytes(dir.file("-out.bmp")), expectedBmp(lopsidedSystem()));
}

// A file that is not a regular one is written as it is, never replaced by a new file.
class SpecialOutputTest : public RenderOutputTest {
protected:
    SpecialOutputTest() {
        block.sizeIndex = 0;
        writeDocument(block);
    }

    // As root a regression would replace the machine's own /dev/null or /dev/stdout, so the
    // test's folder then holds one of the same kind in its place.
    std::string nullDevice() {
        if (::geteuid() != 0) {
            return "/dev/null";
        }
        EXPECT_EQ(::mknod(dir.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        return dir.file("null");
    }
    std::string standardOutput() {
        if (::geteuid() != 0) {
            return "/dev/stdout";
        }
        std::filesystem::create_symlink("/proc/self/fd/1", dir.file("stdout"));
        return dir.file("stdout");
    }

    ParameterBlock block = lopsidedSystem();
};

TEST_F(SpecialOutputTest, ANullDeviceStaysADevice) {
    const std::string output = nullDevice();
    const auto before = entriesOf(dir.path());
    const RunResult result = runRender({"doc.orv", output}, dir.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(std::filesystem::is_character_file(output));
    EXPECT_EQ(entriesOf(dir.path()), before);
}

TEST_F(SpecialOutputTest, AFifoWithAReaderReceivesThePicture) {
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    // The picture fits in the pipe's buffer, so the reader may wait for the program's end.
    const int reader = ::open(dir.file("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const RunResult result = runRender({"doc.orv", "fifo"}, dir.path());
    std::vector<std::uint8_t> received(1000);
    const ssize_t got = ::read(reader, received.data(), received.size());
    ::close(reader);
    ASSERT_EQ(result.status, 0) << result.err;
    received.resize(static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    EXPECT_EQ(received, expectedBmp(block));
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("fifo")));
    EXPECT_EQ(entriesOf(dir.path()), (std::set<std::string>{"doc.orv", "fifo"}));
}

TEST_F(SpecialOutputTest, AFifoWithoutAReaderIsAFailureNotAWait) {
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const RunResult result = runRender({"doc.orv", "fifo"}, dir.path(), "timeout 20 ");
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_NE(result.err.find("orv-render: An unknown error occurred while accessing fifo."),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("fifo")));
    EXPECT_EQ(entriesOf(dir.path()), (std::set<std::string>{"doc.orv", "fifo"}));
}

TEST_F(SpecialOutputTest, StandardOutputIntoAPipeDeliversThePicture) {
    const std::string output = standardOutput();
    const RunResult result = runProgram("bash",
                                        {"-c", "set -o pipefail; \"$0\" \"$@\" | cat >piped.bmp",
                                         ORV_RENDER_PATH, "doc.orv", output},
                                        dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readBytes(dir.file("piped.bmp")), expectedBmp(block));
    EXPECT_TRUE(std::filesystem::is_symlink(output));
}

std::vector<std::string> wordsOfLineStartingWith(const std::string& text,
                                                 const std::string& start) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> all;
        for (std::string word; words >> word;) {
            all.push_back(word);
        }
        if (!all.empty() && all.front() == start) {
            return all;
        }
    }
    return {};
}

TEST_F(RenderOutputTest, InfoPrintsTheParametersAsTheDialogWritesThem) {
    ParameterBlock block{};
    block.maps[0] = {.a = 1e-5, .b = -0.0, .c = 1.0 / 3.0, .d = 1.7e308, .e = 0.5, .f = -2.5};
    block.maps[3] = {.a = -1e-300,
                     .b = 123456789012345678.0,
                     .c = 0.1,
                     .d = 1e15,
                     .e = 1e16,
                     .f = -4.9406564584124654e-324};
    block.maps[5].a = std::nan("");
    block.maps[5].b = -INFINITY;
    block.enabled = {1, 0, 0, -7, 0, 2147483647};
    block.autoIterations = 0;
    block.iterationCount = INT_MAX;
    block.sizeIndex = 3;
    const RunResult result = runRender({"--info", writeDocument(block)}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    using Words = std::vector<std::string>;
    EXPECT_EQ(wordsOfLineStartingWith(result.out, "1"),
              (Words{"1", "1", "1e-005", "0", "0.333333333333333", "1.7e+308", "0.5", "-2.5"}));
    EXPECT_EQ(wordsOfLineStartingWith(result.out, "2"),
              (Words{"2", "0", "0", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(wordsOfLineStartingWith(result.out, "4"),
              (Words{"4", "-7", "-1e-300", "1.23456789012346e+017", "0.1", "1e+015", "1e+016",
                     "-4.94065645841247e-324"}));
    const Words sixth = wordsOfLineStartingWith(result.out, "6");
    ASSERT_EQ(sixth.size(), 8u);
    EXPECT_EQ(sixth[1], "2147483647");
    EXPECT_NE(sixth[2].find_first_of("nN"), std::string::npos) << sixth[2];
    EXPECT_EQ(sixth[3].front(), '-') << sixth[3];
    EXPECT_NE(sixth[3].find_first_of("iI"), std::string::npos) << sixth[3];

    EXPECT_NE(result.out.find("512 x 512"), std::string::npos) << result.out;
    EXPECT_EQ(wordsOfLineStartingWith(result.out, "Automatic"),
              (Words{"Automatic", "iterations", "0"}));
    EXPECT_EQ(wordsOfLineStartingWith(result.out, "Iteration"),
              (Words{"Iteration", "count", "2147483647"}));
}

TEST_F(RenderOutputTest, InfoShowsWhatTheOverridesWouldRender) {
    const std::string document = writeDocument(defaultParameters());
    const RunResult plain = runRender({"--info", document}, dir.path());
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.out.find("128 x 128"), std::string::npos) << plain.out;
    EXPECT_EQ(wordsOfLineStartingWith(plain.out, "Automatic"),
              (std::vector<std::string>{"Automatic", "iterations", "1"}));
    EXPECT_EQ(wordsOfLineStartingWith(plain.out, "A"),
              (std::vector<std::string>{"A", "render", "runs", "14", "iterations"}));

    const RunResult overridden =
        runRender({"--info", "--size", "2048", "--iterations", "7", document}, dir.path());
    ASSERT_EQ(overridden.status, 0) << overridden.err;
    EXPECT_NE(overridden.out.find("2048 x 2048"), std::string::npos) << overridden.out;
    EXPECT_EQ(wordsOfLineStartingWith(overridden.out, "Iteration"),
              (std::vector<std::string>{"Iteration", "count", "7"}));
    EXPECT_EQ(wordsOfLineStartingWith(overridden.out, "A"),
              (std::vector<std::string>{"A", "render", "runs", "7", "iterations"}));
    EXPECT_EQ(readBytes(document), documentBytes(defaultParameters()));
}

TEST(RenderToolText, HelpAndVersionGoToStandardOutput) {
    TempDir dir;
    for (const char* option : {"--help", "-h"}) {
        const RunResult help = runRender({option}, dir.path());
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("Usage: orv-render", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("--iterations"), std::string::npos);
        EXPECT_EQ(help.err, "");
    }
    // Asking for help ends the reading of the command line, whatever else is on it.
    EXPECT_EQ(runRender({"missing.orv", "--help", "--bogus"}, dir.path()).status, 0);

    const RunResult version = runRender({"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("orv-render (Orv) ") + ORV_VERSION + "\n");
    EXPECT_EQ(version.err, "");
    EXPECT_TRUE(entriesOf(dir.path()).empty());
}

}  // namespace
}  // namespace orv::clitest
