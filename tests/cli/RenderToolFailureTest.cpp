// orv-render's failures: each class has its exit status and message, and none of them creates
// the output file or changes an existing one.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <functional>

#include "CliTestSupport.h"

namespace orv::clitest {
namespace {

const std::vector<std::uint8_t> kOldOutput = {'o', 'l', 'd', ' ', 'p', 'i', 'c'};

class RenderFailureTest : public ::testing::Test {
protected:
    RenderFailureTest() { writeBytes(dir.file("good.orv"), documentBytes(defaultParameters())); }

    std::string output() const { return dir.file("out.bmp"); }

    // Runs the failing command twice, once without an output file and once over an existing
    // one, and checks what both runs say and leave behind.
    void expectFailure(const std::vector<std::string>& arguments, int status,
                       const std::string& message, const std::string& prefix = "") {
        std::filesystem::remove(output());
        const auto before = entriesOf(dir.path());
        const RunResult fresh = runRender(arguments, dir.path(), prefix);
        EXPECT_EQ(fresh.status, status) << fresh.err;
        EXPECT_NE(fresh.err.find("orv-render: " + message), std::string::npos) << fresh.err;
        EXPECT_EQ(fresh.out, "");
        EXPECT_EQ(entriesOf(dir.path()), before) << "the failed run left a file behind";

        writeBytes(output(), kOldOutput);
        const RunResult over = runRender(arguments, dir.path(), prefix);
        EXPECT_EQ(over.status, status) << over.err;
        EXPECT_EQ(readBytes(output()), kOldOutput) << "the failed run changed the output";
        std::filesystem::remove(output());
    }

    void writeDocument(const std::string& name, const ParameterBlock& block) {
        writeBytes(dir.file(name), documentBytes(block));
    }

    TempDir dir;
};

TEST_F(RenderFailureTest, InputThatCannotBeReadExitsWithTwoAndNamesTheFile) {
    expectFailure({dir.file("missing.orv"), output()}, 2,
                  dir.file("missing.orv") + " was not found.");

    std::filesystem::create_directory(dir.file("folder.orv"));
    expectFailure({dir.file("folder.orv"), output()}, 2,
                  "Access to " + dir.file("folder.orv") + " was denied.");

    expectFailure({dir.file("good.orv/x.orv"), output()}, 2,
                  dir.file("good.orv/x.orv") + " contains an invalid path.");
}

TEST_F(RenderFailureTest, ShortFilesAreNotDocuments) {
    auto bytes = documentBytes(defaultParameters());
    for (std::size_t size : {std::size_t{1}, std::size_t{100}, std::size_t{323}}) {
        SCOPED_TRACE(size);
        writeBytes(dir.file("short.orv"), {bytes.begin(), bytes.begin() + size});
        expectFailure({dir.file("short.orv"), output()}, 2,
                      dir.file("short.orv") + ": Unexpected file format.");
    }
}

TEST_F(RenderFailureTest, AnEmptyDocumentHasNoPicture) {
    writeBytes(dir.file("empty.orv"), {});
    expectFailure({dir.file("empty.orv"), output()}, 2,
                  dir.file("empty.orv") + ": the document is empty and has no picture");
    expectFailure({"--info", dir.file("empty.orv")}, 2,
                  dir.file("empty.orv") + ": the document is empty and has no picture");
}

TEST_F(RenderFailureTest, ASizeIndexOutsideTheSixSizesIsNotADocument) {
    for (std::int32_t sizeIndex : {-1, 6, 100, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(sizeIndex);
        ParameterBlock block = defaultParameters();
        block.sizeIndex = sizeIndex;
        writeDocument("size.orv", block);
        expectFailure({dir.file("size.orv"), output()}, 2,
                      dir.file("size.orv") + ": Unexpected file format.");
        // Overriding the size does not rescue it: the document is refused as it is read.
        expectFailure({"--size", "64", dir.file("size.orv"), output()}, 2,
                      dir.file("size.orv") + ": Unexpected file format.");
    }
}

TEST_F(RenderFailureTest, OutputThatCannotBeWrittenExitsWithThree) {
    const RunResult missingDir = runRender({"good.orv", "no/such/dir/out.bmp"}, dir.path());
    EXPECT_EQ(missingDir.status, 3);
    EXPECT_NE(missingDir.err.find("orv-render: no/such/dir/out.bmp was not found."),
              std::string::npos)
        << missingDir.err;

    const RunResult underAFile = runRender({"good.orv", "good.orv/out.bmp"}, dir.path());
    EXPECT_EQ(underAFile.status, 3);
    EXPECT_NE(underAFile.err.find("orv-render: good.orv/out.bmp contains an invalid path."),
              std::string::npos)
        << underAFile.err;
    EXPECT_EQ(readBytes(dir.file("good.orv")), documentBytes(defaultParameters()));
    EXPECT_EQ(entriesOf(dir.path()), std::set<std::string>{"good.orv"});
}

TEST_F(RenderFailureTest, AFileSizeLimitIsAFullDisk) {
    // The 2110-byte picture exceeds a limit of one block, whatever size the shell gives it.
    expectFailure({"good.orv", "out.bmp"}, 3, "Disk full while accessing out.bmp.",
                  "sh -c 'ulimit -f 1; exec \"$0\" \"$@\"' ");
}

TEST_F(RenderFailureTest, TheInputIsNeverTheOutput) {
    std::filesystem::create_symlink("good.orv", dir.file("link.orv"));
    std::filesystem::create_hard_link(dir.file("good.orv"), dir.file("hard.orv"));
    for (const auto& [input, output] : {std::pair{"good.orv", "good.orv"},
                                        {"good.orv", "./good.orv"},
                                        {"good.orv", "link.orv"},
                                        {"link.orv", "good.orv"},
                                        {"hard.orv", "good.orv"}}) {
        SCOPED_TRACE(std::string(input) + " -> " + output);
        expectFailure({input, output}, 3,
                      std::string(output) + ": the output is the input document");
        EXPECT_EQ(readBytes(dir.file("good.orv")), documentBytes(defaultParameters()));
        EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.orv")));
    }
}

TEST_F(RenderFailureTest, AKillWhileWritingLeavesTheOldOutputAndNothingElse) {
    // The program is held with half the picture written, then killed.
    TempDir signals;
    const std::string prefix =
        "timeout 20 env STALL_LIBRARY=" ORV_WRITE_STALL_PATH " ORV_STALL_WRITES_UNDER=" +
        dir.path() + "/ ORV_STALL_READY_FILE=" + signals.file("ready") +
        " sh -c 'LD_PRELOAD=$STALL_LIBRARY \"$0\" \"$@\" & "
        "until [ -e \"$ORV_STALL_READY_FILE\" ]; do sleep 0.01; done; kill -KILL $!; wait $!' ";
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "over an old output" : "a new output");
        if (existing) {
            writeBytes(output(), kOldOutput);
        }
        const auto before = entriesOf(dir.path());
        const RunResult result = runRender({"good.orv", "out.bmp"}, dir.path(), prefix);
        EXPECT_EQ(result.status, 128 + SIGKILL) << result.err;
        EXPECT_EQ(entriesOf(dir.path()), before);
        if (existing) {
            EXPECT_EQ(readBytes(output()), kOldOutput);
        }
        std::filesystem::remove(signals.file("ready"));
    }
}

TEST_F(RenderFailureTest, OutputThatIsADirectoryIsLeftAlone) {
    std::filesystem::create_directory(output());
    const RunResult result = runRender({"good.orv", output()}, dir.path());
    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.err.find("orv-render: Access to " + output() + " was denied."),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(std::filesystem::is_directory(output()));
    EXPECT_TRUE(std::filesystem::is_empty(output()));
    EXPECT_EQ(entriesOf(dir.path()), (std::set<std::string>{"good.orv", "out.bmp"}));
}

TEST_F(RenderFailureTest, AnUnwritableDirectoryKeepsItsFiles) {
    const std::string locked = dir.file("locked");
    std::filesystem::create_directory(locked);
    writeBytes(locked + "/old.bmp", kOldOutput);
    ::chmod(dir.file("good.orv").c_str(), 0644);
    ::chmod((locked + "/old.bmp").c_str(), 0644);
    ::chmod(locked.c_str(), 0555);
    const auto user = ordinaryUserPrefix(dir.path());
    if (!user) {
        GTEST_SKIP() << "no ordinary user can run the built program";
    }
    const std::string& prefix = *user;

    const RunResult fresh = runRender({"good.orv", "locked/new.bmp"}, dir.path(), prefix);
    EXPECT_EQ(fresh.status, 3);
    EXPECT_NE(fresh.err.find("orv-render: Access to locked/new.bmp was denied."), std::string::npos)
        << fresh.err;

    const RunResult over = runRender({"good.orv", "locked/old.bmp"}, dir.path(), prefix);
    EXPECT_EQ(over.status, 3);
    EXPECT_NE(over.err.find("orv-render: Access to locked/old.bmp was denied."), std::string::npos)
        << over.err;
    EXPECT_EQ(readBytes(locked + "/old.bmp"), kOldOutput);
    EXPECT_EQ(entriesOf(locked), std::set<std::string>{"old.bmp"});
}

TEST_F(RenderFailureTest, AnEmptyFileNameIsRefusedBeforeRendering) {
    const std::string good = dir.file("good.orv");
    expectFailure({good, ""}, 1, "the output file name is empty");
    expectFailure({"", output()}, 1, "the input file name is empty");
    expectFailure({"--info", ""}, 1, "the input file name is empty");
}

TEST_F(RenderFailureTest, BadCommandLinesExitWithOneAndAHint) {
    const std::string good = dir.file("good.orv");
    const std::vector<std::vector<std::string>> commandLines = {
        {},
        {good},
        {good, output(), dir.file("third.bmp")},
        {"--info"},
        {"--info", good, output()},
        {"--bogus", good, output()},
        {"-x", good, output()},
        {"--size", "100", good, output()},
        {"--size", "0064", good, output()},
        {"--size=", good, output()},
        {good, output(), "--size"},
        {"--iterations", "many", good, output()},
        {"--iterations", "2147483648", good, output()},
        {"--iterations", "-2147483649", good, output()},
        {"--iterations", "1.5", good, output()},
        {"--iterations", "", good, output()},
        {"--iterations=AUTO", good, output()},
        {good, output(), "--iterations"},
        {"--quiet=yes", good, output()},
    };
    for (const auto& arguments : commandLines) {
        std::string shown;
        for (const auto& argument : arguments) {
            shown += "[" + argument + "] ";
        }
        SCOPED_TRACE(shown);
        expectFailure(arguments, 1, "");
        const RunResult result = runRender(arguments, dir.path());
        EXPECT_NE(result.err.find("Try 'orv-render --help'"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace orv::clitest
