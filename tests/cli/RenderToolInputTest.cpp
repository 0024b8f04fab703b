// What orv-render makes of its input: documents that arrive through pipes, and input that is
// not a document at all. It never crashes or hangs; it renders or says why not.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <limits>
#include <sstream>

#include "CliTestSupport.h"
#include "cli/RenderTool.h"
#include "document/ParameterFile.h"
#include "export/BmpWriter.h"
#include "render/ReferenceIteration.h"

namespace orv::clitest {
namespace {

// The picture the plain defining loop makes of `block`. The systems given with a huge count
// settle long before 100 iterations, after which no count changes the picture.
std::vector<std::uint8_t> definedBmp(ParameterBlock block) {
    if (block.autoIterations == 0 && block.iterationCount > 100) {
        block.iterationCount = 100;
    }
    RenderProgress silent;
    return encodeBmp(*renderPictureReference(block, silent));
}

// Two maps that halve the square towards opposite corners, at 64 pixels.
ParameterBlock halvingSystem() {
    ParameterBlock block{};
    block.maps[0] = {.a = 0.5, .b = 0, .c = 0, .d = 0.5, .e = 0, .f = 0};
    block.maps[1] = {.a = 0.5, .b = 0, .c = 0, .d = 0.5, .e = 0.5, .f = 0.5};
    block.enabled = {1, 1, 0, 0, 0, 0};
    block.autoIterations = 1;
    return block;
}

class RenderInputTest : public ::testing::Test {
protected:
    RenderInputTest() { writeBytes(dir.file("doc.orv"), documentBytes(block)); }

    ParameterBlock block = halvingSystem();
    TempDir dir;
};

// The reader must wait for the rest instead of taking "nothing yet" for an error.
TEST_F(RenderInputTest, ADocumentThatArrivesInPiecesIsReadWhole) {
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    // The writer holds the FIFO open before orv-render starts, then sends the document in two
    // halves with a pause between them.
    const RunResult fromFifo =
        runRender({"fifo", "fifo.bmp"}, dir.path(),
                  "sh -c 'exec 3<>fifo; { head -c 100 doc.orv; sleep 0.3; tail -c +101 doc.orv; "
                  "} >&3 & exec 3>&-; exec \"$0\" \"$@\"' ");
    ASSERT_EQ(fromFifo.status, 0) << fromFifo.err;

    const RunResult fromSubstitution = runProgram(
        "bash", {"-c", "exec \"$0\" <(sleep 0.3; cat doc.orv) pipe.bmp", ORV_RENDER_PATH},
        dir.path());
    ASSERT_EQ(fromSubstitution.status, 0) << fromSubstitution.err;

    EXPECT_EQ(readBytes(dir.file("fifo.bmp")), definedBmp(block));
    EXPECT_EQ(readBytes(dir.file("pipe.bmp")), definedBmp(block));
}

TEST_F(RenderInputTest, EveryFieldAtItsExtremesRendersThePictureItDefines) {
    std::vector<ParameterBlock> blocks;
    for (const std::int32_t flag : {INT_MIN, INT_MAX, -1}) {
        blocks.push_back(halvingSystem());
        blocks.back().enabled = {flag, flag, flag, flag, flag, flag};
    }
    for (const auto& [automatic, count] :
         {std::pair{0, INT_MIN}, {0, -1}, {0, INT_MAX}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}}) {
        blocks.push_back(halvingSystem());
        blocks.back().autoIterations = automatic;
        blocks.back().iterationCount = count;
    }
    using Limits = std::numeric_limits<double>;
    for (const double value : {Limits::quiet_NaN(), Limits::infinity(), -Limits::infinity(),
                               Limits::max(), -Limits::max(), Limits::denorm_min(), -0.0}) {
        for (int index = 0; index < 6; ++index) {
            blocks.push_back(halvingSystem());
            coefficient(blocks.back(), 1, index) = value;
        }
        blocks.push_back(halvingSystem());  // every map takes part, each coefficient the value
        blocks.back().enabled = {1, 1, 1, 1, 1, 1};
        for (int index = 0; index < 36; ++index) {
            coefficient(blocks.back(), index / 6, index % 6) = value;
        }
    }
    for (std::size_t at = 0; at < blocks.size(); ++at) {
        SCOPED_TRACE("block " + std::to_string(at));
        writeBytes(dir.file("extreme.orv"), documentBytes(blocks[at]));
        const RunResult run = runRender({"extreme.orv", "out.bmp"}, dir.path(), "timeout 20 ");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(readBytes(dir.file("out.bmp")), definedBmp(blocks[at]));
    }
}

// orv-render run in this process: for the many cases that end before any rendering.
RunResult runHere(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::runRenderTool(arguments, {.out = out, .err = err});
    return {status, out.str(), err.str()};
}

TEST_F(RenderInputTest, EveryTruncationIsRefusedAndALongerFileIsRead) {
    std::vector<std::uint8_t> bytes = documentBytes(block);
    bytes.push_back(0xAB);
    const std::string cut = dir.file("cut.orv");
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        SCOPED_TRACE(size);
        writeBytes(cut, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)});
        const RunResult run = runHere({cut, dir.file("out.bmp")});
        if (size >= kParameterFileSize) {
            EXPECT_EQ(run.status, 0) << run.err;
            continue;
        }
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "orv-render: " + cut +
                               (size == 0 ? ": the document is empty and has no picture\n"
                                          : ": Unexpected file format.\n"));
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.bmp")));
    }
}

TEST_F(RenderInputTest, FilesThatAreNoDocumentsAreRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    // A sparse gigabyte of zero bytes and an endless run of them start with an all-zero block:
    // a document of 64 pixels with no iterations.
    writeBytes(dir.file("sparse.orv"), {});
    std::filesystem::resize_file(dir.file("sparse.orv"), std::uintmax_t{1} << 30);
    struct Case {
        std::string input;
        int status;
        std::string message;
    };
    for (const Case& c :
         {Case{"sparse.orv", 0, ""}, Case{"/dev/zero", 0, ""},
          Case{"fifo", 2, "fifo: the document is empty and has no picture"},
          Case{"/dev/null", 2, "/dev/null: the document is empty and has no picture"},
          // All but 6 in 2^32 random blocks name no picture size.
          Case{"/dev/urandom", 2, "/dev/urandom: Unexpected file format."}}) {
        SCOPED_TRACE(c.input);
        const RunResult run = runRender({c.input, "out.bmp"}, dir.path(), "timeout 20 ");
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.err, c.message.empty() ? "" : "orv-render: " + c.message + "\n");
        std::filesystem::remove(dir.file("out.bmp"));
    }
}

TEST_F(RenderInputTest, AFileThatMayNotBeReadIsRefused) {
    ::chmod(dir.file("doc.orv").c_str(), 0200);
    const auto user = ordinaryUserPrefix(dir.path());
    if (!user) {
        GTEST_SKIP() << "no ordinary user can run the built program";
    }
    const RunResult run = runRender({"doc.orv", "out.bmp"}, dir.path(), *user);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "orv-render: Access to doc.orv was denied.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.bmp")));
}

}  // namespace
}  // namespace orv::clitest
