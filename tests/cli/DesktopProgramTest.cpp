#ifdef ORV_DESKTOP_PATH

#include <gtest/gtest.h>

#include <filesystem>

#include "CliTestSupport.h"
#include "document/ParameterBlock.h"

namespace {

using orv::clitest::RunResult;
using orv::clitest::TempDir;

// The real desktop program, started as a user or the desktop would start it: with its own
// profile folder, on the offscreen platform unless `environment` (options and assignments of
// env(1)) says otherwise, and closed as Exit would close it once it has started.
class DesktopProgram : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string>& arguments,
                  const std::string& environment = "QT_QPA_PLATFORM=offscreen") {
        const std::string prefix = "env " + environment + " XDG_CONFIG_HOME='" + home.path() +
                                   "' ORV_EXIT_WHEN_STARTED=1 timeout 60 ";
        return orv::clitest::runProgram(ORV_DESKTOP_PATH, arguments, work.path(), prefix);
    }
    std::string profileFile() const { return home.file("Orv/Orv.conf"); }
    std::string profile() const {
        return std::filesystem::exists(profileFile()) ? orv::clitest::readText(profileFile())
                                                      : std::string("<none>");
    }
    std::string writeDocument(const std::string& name) {
        orv::clitest::writeBytes(work.file(name),
                                 orv::clitest::documentBytes(orv::defaultParameters()));
        return work.file(name);
    }

    TempDir home;
    TempDir work;
};

TEST_F(DesktopProgram, HelpAndVersionNeedNoDisplay) {
    const RunResult help = run({"--help"}, "-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("-Unregister"), std::string::npos) << help.out;
    const RunResult version = run({"--version"}, "-u DISPLAY -u QT_QPA_PLATFORM");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("orv ") + ORV_VERSION + "\n");
    EXPECT_EQ(profile(), "<none>");
}

TEST_F(DesktopProgram, ADocumentOnTheCommandLineOpensAndTopsTheRecentFiles) {
    const std::string document = writeDocument("first.orv");
    const RunResult opened = run({document, "ignored.orv"});
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_NE(profile().find("File1=" + document), std::string::npos) << profile();
    EXPECT_EQ(profile().find("ignored"), std::string::npos) << profile();
}

// "-p" loads and renders without a window and ends; "-P" is no switch, so the file is opened
// as by a plain start (and the window closed by the test hook).
TEST_F(DesktopProgram, ThePrintSwitchLoadsTheFileAndEndsAndIsCaseSensitive) {
    const std::string printed = writeDocument("printed.orv");
    const RunResult print = run({"-p", printed});
    EXPECT_EQ(print.status, 0) << print.err;
    EXPECT_NE(profile().find("File1=" + printed), std::string::npos) << profile();

    const std::string plain = writeDocument("plain.orv");
    EXPECT_EQ(run({"-P", plain}).status, 0);
    EXPECT_NE(profile().find("File1=" + plain), std::string::npos) << profile();
    EXPECT_NE(profile().find("File2=" + printed), std::string::npos) << profile();
}

// The profile written at exit meets a file-size limit: the program is not killed for it, and
// the profile it had stays whole.
TEST_F(DesktopProgram, AFileSizeLimitAtExitLeavesTheProfileAsItWas) {
    ASSERT_EQ(run({writeDocument("first.orv")}).status, 0);
    const std::string before = profile();
    ASSERT_NE(before.find("first.orv"), std::string::npos);
    const RunResult limited = orv::clitest::runProgram(
        "sh", {"-c", "ulimit -f 0; exec \"$0\" \"$1\"", ORV_DESKTOP_PATH, writeDocument("b.orv")},
        work.path(),
        "env QT_QPA_PLATFORM=offscreen ORV_EXIT_WHEN_STARTED=1 XDG_CONFIG_HOME='" + home.path() +
            "' timeout 60 ");
    EXPECT_EQ(limited.status, 0) << limited.err;
    EXPECT_EQ(profile(), before);
    EXPECT_EQ(orv::clitest::entriesOf(home.file("Orv")), std::set<std::string>{"Orv.conf"});
}

TEST_F(DesktopProgram, UnregisterEmbeddedRemovesTheProfileSilentlyAndWritesNothingAtExit) {
    const std::string document = writeDocument("doc.orv");
    ASSERT_EQ(run({document}).status, 0);
    ASSERT_TRUE(std::filesystem::exists(profileFile()));

    const RunResult unregister = run({"-unREGISTER", "-Embedding"});
    EXPECT_EQ(unregister.status, 0) << unregister.err;
    EXPECT_EQ(unregister.out, "");
    EXPECT_FALSE(std::filesystem::exists(profileFile()));
    EXPECT_FALSE(std::filesystem::exists(home.file("Orv")));

    // The next start has no recent files to write back.
    ASSERT_EQ(run({}).status, 0);
    EXPECT_EQ(profile().find("File1"), std::string::npos) << profile();
}

}  // namespace

#endif  // ORV_DESKTOP_PATH
