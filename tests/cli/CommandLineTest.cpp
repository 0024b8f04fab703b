// What each accepted command line asks for.

#include "cli/CommandLine.h"

#include <gtest/gtest.h>

namespace orv::cli {
namespace {

Options parsed(std::vector<std::string> arguments) {
    auto result = parseCommandLine(arguments);
    if (const auto* error = std::get_if<UsageError>(&result)) {
        ADD_FAILURE() << "refused: " << error->message;
        return {};
    }
    return std::get<Options>(result);
}

std::string refusal(std::vector<std::string> arguments) {
    auto result = parseCommandLine(arguments);
    if (const auto* error = std::get_if<UsageError>(&result)) {
        return error->message;
    }
    ADD_FAILURE() << "accepted";
    return {};
}

TEST(CommandLine, RenderTakesAnInputAndAnOutputWithOptionsAnywhere) {
    const Options plain = parsed({"fern.orv", "fern.bmp"});
    EXPECT_EQ(plain.command, Command::render);
    EXPECT_EQ(plain.input, "fern.orv");
    EXPECT_EQ(plain.output, "fern.bmp");
    EXPECT_FALSE(plain.sizeIndex);
    EXPECT_FALSE(plain.iterations);
    EXPECT_FALSE(plain.quiet);

    const Options mixed = parsed({"-q", "a.orv", "--size", "2048", "b.bmp", "--iterations=3"});
    EXPECT_EQ(mixed.input, "a.orv");
    EXPECT_EQ(mixed.output, "b.bmp");
    EXPECT_EQ(mixed.sizeIndex, 5);
    ASSERT_TRUE(mixed.iterations);
    EXPECT_FALSE(mixed.iterations->automatic);
    EXPECT_EQ(mixed.iterations->count, 3);
    EXPECT_TRUE(mixed.quiet);

    // The last of a repeated option counts; "-" and anything after "--" are file names.
    EXPECT_EQ(parsed({"--size", "64", "--size=1024", "a", "b"}).sizeIndex, 4);
    const Options dashes = parsed({"--", "-", "--size"});
    EXPECT_EQ(dashes.input, "-");
    EXPECT_EQ(dashes.output, "--size");
    EXPECT_FALSE(dashes.sizeIndex);
}

TEST(CommandLine, SizesAreTheSixPictureSides) {
    const std::vector<std::pair<std::string, std::int32_t>> sides = {
        {"64", 0}, {"128", 1}, {"256", 2}, {"512", 3}, {"1024", 4}, {"2048", 5}};
    for (const auto& [side, index] : sides) {
        EXPECT_EQ(parsed({"--size", side, "a", "b"}).sizeIndex, index) << side;
    }
    for (const char* side : {"32", "4096", "100", "0", "-64", "512px", " 512", "0x200", ""}) {
        EXPECT_NE(refusal({"--size", side, "a", "b"}).find("size"), std::string::npos) << side;
    }
}

TEST(CommandLine, IterationCountsAreAutoOrAnyThirtyTwoBitInteger) {
    const std::vector<std::pair<std::string, std::int32_t>> counts = {{"0", 0},
                                                                      {"32", 32},
                                                                      {"+7", 7},
                                                                      {"-5", -5},
                                                                      {"2147483647", INT32_MAX},
                                                                      {"-2147483648", INT32_MIN},
                                                                      {"000012", 12}};
    for (const auto& [text, count] : counts) {
        const Options options = parsed({"--iterations", text, "a", "b"});
        ASSERT_TRUE(options.iterations) << text;
        EXPECT_FALSE(options.iterations->automatic) << text;
        EXPECT_EQ(options.iterations->count, count) << text;
    }
    const Options automatic = parsed({"a", "b", "--iterations", "auto"});
    ASSERT_TRUE(automatic.iterations);
    EXPECT_TRUE(automatic.iterations->automatic);

    for (const char* text :
         {"2147483648", "-2147483649", "1e3", "1.0", "+", "-", "+-1", "12 ", "auto2", "Auto", ""}) {
        EXPECT_NE(refusal({"--iterations", text, "a", "b"}).find("iteration"), std::string::npos)
            << text;
    }
}

TEST(CommandLine, InfoTakesOneFileAndHelpEndsTheReading) {
    const Options info = parsed({"--info", "--size", "64", "a.orv"});
    EXPECT_EQ(info.command, Command::info);
    EXPECT_EQ(info.input, "a.orv");
    EXPECT_EQ(info.sizeIndex, 0);

    EXPECT_EQ(parsed({"a", "--help", "--bogus"}).command, Command::help);
    EXPECT_EQ(parsed({"-h"}).command, Command::help);
    EXPECT_EQ(parsed({"--version", "x", "y", "z"}).command, Command::version);
    // An error before --help is still an error.
    EXPECT_EQ(refusal({"--bogus", "--help"}), "unknown option '--bogus'");
}

TEST(CommandLine, RefusalsSayWhatIsWrong) {
    EXPECT_EQ(refusal({}), "no input file");
    EXPECT_EQ(refusal({"a.orv"}), "no output file");
    EXPECT_EQ(refusal({"a", "b", "c"}), "too many files");
    EXPECT_EQ(refusal({"--info"}), "no input file");
    EXPECT_EQ(refusal({"--info", "a", "b"}), "--info takes one file");
    EXPECT_EQ(refusal({"a", "b", "--size"}), "--size needs a picture side");
    EXPECT_EQ(refusal({"a", "b", "--iterations"}), "--iterations needs a count or 'auto'");
    EXPECT_EQ(refusal({"--sizes=64", "a", "b"}), "unknown option '--sizes=64'");
    EXPECT_EQ(refusal({"--info=yes", "a"}), "unknown option '--info=yes'");
}

TEST(CommandLine, OverridesReplaceOnlyWhatWasAskedFor) {
    ParameterBlock block = defaultParameters();
    block.autoIterations = 0;
    block.iterationCount = 9;
    block.sizeIndex = 2;

    ParameterBlock untouched = block;
    applyOverrides(parsed({"a", "b"}), untouched);
    EXPECT_EQ(untouched.autoIterations, 0);
    EXPECT_EQ(untouched.iterationCount, 9);
    EXPECT_EQ(untouched.sizeIndex, 2);

    ParameterBlock automatic = block;
    applyOverrides(parsed({"--iterations", "auto", "a", "b"}), automatic);
    EXPECT_NE(automatic.autoIterations, 0);
    EXPECT_EQ(iterationsFor(automatic), 2 * (2 + 6));
    EXPECT_EQ(automatic.sizeIndex, 2);

    block.autoIterations = 1;
    ParameterBlock counted = block;
    applyOverrides(parsed({"--iterations", "-3", "--size", "2048", "a", "b"}), counted);
    EXPECT_EQ(counted.autoIterations, 0);
    EXPECT_EQ(iterationsFor(counted), -3);
    EXPECT_EQ(counted.sizeIndex, 5);
}

}  // namespace
}  // namespace orv::cli
