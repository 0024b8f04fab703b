// What orv-render makes of its input: documents that arrive through pipes, and input that is
// not a document at all. It never crashes or hangs; it renders or says why not.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "CliTestSupport.h"

namespace orv::clitest {
namespace {

class RenderInputTest : public ::testing::Test {
protected:
    RenderInputTest() {
        block.sizeIndex = 0;
        writeBytes(dir.file("doc.orv"), documentBytes(block));
    }

    // The picture of doc.orv, read from the file itself.
    std::vector<std::uint8_t> pictureOfTheDocument() {
        const RunResult run = runRender({"doc.orv", "direct.bmp"}, dir.path());
        EXPECT_EQ(run.status, 0) << run.err;
        return readBytes(dir.file("direct.bmp"));
    }

    ParameterBlock block = defaultParameters();
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

    const auto expected = pictureOfTheDocument();
    EXPECT_EQ(readBytes(dir.file("fifo.bmp")), expected);
    EXPECT_EQ(readBytes(dir.file("pipe.bmp")), expected);
}

}  // namespace
}  // namespace orv::clitest
