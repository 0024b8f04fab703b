#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "app/CommandLineInfo.h"
#include "app/Usage.h"

namespace {

using orv::app::CCommandLineInfo;

TEST(CommandLineInfo, SwitchesAndFileNamesFollowTheirRules) {
    const struct {
        QStringList arguments;
        CCommandLineInfo::ShellCommand command;
        QString fileName;
        bool embedded;
    } cases[] = {
        {{}, CCommandLineInfo::FileNew, "", false},
        {{"fern.orv"}, CCommandLineInfo::FileOpen, "fern.orv", false},
        {{"fern.orv", "tree.orv"}, CCommandLineInfo::FileOpen, "fern.orv", false},
        {{"", "tree.orv"}, CCommandLineInfo::FileOpen, "tree.orv", false},
        // A leading "/" is an absolute path, never a switch.
        {{"/p"}, CCommandLineInfo::FileOpen, "/p", false},
        {{"-p", "fern.orv"}, CCommandLineInfo::FilePrint, "fern.orv", false},
        {{"fern.orv", "-pt"}, CCommandLineInfo::FilePrintTo, "fern.orv", false},
        {{"-P", "fern.orv"}, CCommandLineInfo::FileOpen, "fern.orv", false},
        {{"-dde"}, CCommandLineInfo::FileDDE, "", false},
        {{"-DDE", "fern.orv"}, CCommandLineInfo::FileOpen, "fern.orv", false},
        {{"-Unregister"}, CCommandLineInfo::AppUnregister, "", false},
        {{"-uNREGISTER", "fern.orv"}, CCommandLineInfo::AppUnregister, "fern.orv", false},
        {{"-unregserver"}, CCommandLineInfo::AppUnregister, "", false},
        {{"-Unregister", "-embedding"}, CCommandLineInfo::AppUnregister, "", true},
        {{"-EMBEDDING", "fern.orv"}, CCommandLineInfo::FileOpen, "fern.orv", true},
        {{"-aUtOmAtIoN"}, CCommandLineInfo::FileNew, "", false},
        // The last of several commands wins.
        {{"-p", "-dde", "fern.orv"}, CCommandLineInfo::FileDDE, "fern.orv", false},
        // Unknown switches, a lone "-" and "-help" are ignored.
        {{"-x", "-", "-help", "-pp"}, CCommandLineInfo::FileNew, "", false},
    };
    for (const auto& c : cases) {
        const CCommandLineInfo info = orv::app::ParseCommandLine(c.arguments);
        const std::string arguments = c.arguments.join(' ').toStdString();
        EXPECT_EQ(info.shellCommand, c.command) << arguments;
        EXPECT_EQ(info.fileName, c.fileName) << arguments;
        EXPECT_EQ(info.runEmbedded, c.embedded) << arguments;
    }
}

TEST(CommandLineInfo, HelpAndVersionArePrintedAndEndTheProgram) {
    const std::string help = orv::app::helpText();
    for (const char* option : {"-p FILE", "-pt FILE", "-dde", "-Unregister", "-Unregserver",
                               "-Embedding", "-Automation", "orv [FILE]"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(orv::app::versionText(), "orv " ORV_VERSION "\n");

    const struct {
        std::vector<const char*> argv;
        bool handled;
        std::string printed;
    } cases[] = {
        {{"orv"}, false, ""},
        {{"orv", "fern.orv", "-p"}, false, ""},
        {{"orv", "-help", "-version", "--Help", "--versions"}, false, ""},
        {{"orv", "--help"}, true, help},
        {{"orv", "fern.orv", "--version"}, true, orv::app::versionText()},
        {{"orv", "--version", "--help"}, true, orv::app::versionText()},
        // The program name itself is not an option.
        {{"--help"}, false, ""},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        EXPECT_EQ(
            orv::app::printInformationalOption(static_cast<int>(c.argv.size()), c.argv.data(), out),
            c.handled)
            << c.argv.back();
        EXPECT_EQ(out.str(), c.printed) << c.argv.back();
    }
}

}  // namespace
