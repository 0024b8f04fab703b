// orv-render with .ifs files, iteration frames and the dimension: the programs run as a user
// runs them, their pieces tested directly where a table says more.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "CliTestSupport.h"
#include "cli/CommandLine.h"
#include "cli/DocumentLoading.h"
#include "cli/IterationFrames.h"
#include "document/Archive.h"
#include "document/IfsFile.h"
#include "document/ParameterFile.h"
#include "export/BmpWriter.h"
#include "render/RasterIteration.h"

namespace orv::clitest {
namespace {

const std::string kLibrary = ORV_COMMITTED_EXAMPLES_DIR "/classic.ifs";

ParameterBlock readDocument(const std::string& path) {
    const auto bytes = readBytes(path);
    Archive archive = Archive::forLoading(bytes);
    ParameterBlock block{};
    loadParameters(block, archive);
    return block;
}

TEST(IfsLibrary, EveryEntryIsFittedInsideThePictureAndFillsIt) {
    const auto entries = cli::loadIfsEntries(kLibrary);
    ASSERT_GE(entries.size(), 8u);
    for (const IfsEntry& entry : entries) {
        SCOPED_TRACE(entry.name);
        const ParameterBlock block =
            cli::loadInput(kLibrary + ":" + entry.name, {.fit = true, .sizeIndex = 2});
        RenderProgress silent;
        const auto picture = renderPicture(block, silent);
        ASSERT_TRUE(picture);
        const int side = picture->side();
        int left = side, right = -1, bottom = side, top = -1;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                if (picture->isBlack(x, y)) {
                    left = std::min(left, x), right = std::max(right, x);
                    bottom = std::min(bottom, y), top = std::max(top, y);
                }
            }
        }
        // The margin is 2 % of the box, 4.9 pixels of 256. The raster truncates every image
        // toward zero, down and left, by less than a pixel, and later iterations shrink that
        // error by the maps' contraction: the drawn attractor may reach a few pixels further
        // left and down than the true one (the gasket's corner pixel 3 maps onto itself), never
        // further right or up. A clear gap of two pixels must remain.
        EXPECT_GE(left, 2);
        EXPECT_GE(bottom, 2);
        EXPECT_LE(right, side - 5);
        EXPECT_LE(top, side - 5);
        EXPECT_GE(std::max(right - left, top - bottom) + 1, side * 9 / 10);
    }
}

TEST(IfsInputName, AnExistingFileWinsOtherwiseTheLastColonAfterDotIfs) {
    TempDir dir;
    writeBytes(dir.file("lib.ifs:two"), documentBytes(defaultParameters()));
    const struct {
        std::string argument;
        std::string file;
        std::string entry;
        bool ifs;
    } names[] = {
        {dir.file("lib.ifs:two"), dir.file("lib.ifs:two"), "", false},  // exists
        {dir.file("lib.ifs:one"), dir.file("lib.ifs"), "one", true},
        {"a:b/c.IFS:x:y", "a:b/c.IFS:x:y", "", false},  // "c.IFS:x" does not end in .ifs
        {"a:b/c.IFS:", "a:b/c.IFS", "", true},
        {"x.ifs", "x.ifs", "", true},
        {"x.orv:fern", "x.orv:fern", "", false},
    };
    for (const auto& name : names) {
        SCOPED_TRACE(name.argument);
        const cli::InputName resolved = cli::resolveInputName(name.argument);
        EXPECT_EQ(resolved.file, name.file);
        EXPECT_EQ(resolved.entry, name.entry);
        EXPECT_EQ(resolved.ifs, name.ifs);
    }
}

TEST(IfsTool, RefusesEntriesItCannotDrawNamingFileLineOrEntry) {
    TempDir dir;
    std::string text =
        "flat (3D) {\n1 0 0 0 1 0 0 0 1 0 0 0 1\n}\ngrow {\n2 0 0 2 0 0\n}\nmany {\n" +
        std::string(7, '\n');
    for (int i = 0; i < 7; ++i) {
        text += "0.5 0 0 0.5 0 0\n";
    }
    text += "}\nbroken {\n0.5 0 0 0.5 0\n}\n";
    writeBytes(dir.file("s.ifs"), {text.begin(), text.end()});
    const struct {
        std::string input;
        std::string message;
    } refusals[] = {
        {"s.ifs", "s.ifs: line 24: entry 'broken' has a map of 5 numbers"},
        {"missing.ifs:x", "missing.ifs was not found."},
    };
    for (const auto& refusal : refusals) {
        const RunResult run = runRender({refusal.input, "out.bmp"}, dir.path());
        EXPECT_EQ(run.status, 2) << refusal.input;
        EXPECT_NE(run.err.find(refusal.message), std::string::npos) << run.err;
    }
    const std::string fixed = text.substr(0, text.find("broken"));
    writeBytes(dir.file("s.ifs"), {fixed.begin(), fixed.end()});
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } entries[] = {
        {{"s.ifs", "o.bmp"}, "s.ifs: entry 'flat (3D)' cannot be drawn: it is three-dimensional"},
        {{"s.ifs:MANY", "o.bmp"}, "s.ifs: entry 'many' cannot be drawn: it has 7 maps"},
        {{"s.ifs:grow", "o.bmp"},
         "entry 'grow' cannot be fitted into the picture: a map of the "
         "system is not a contraction (--no-fit"},
        {{"s.ifs:nope", "o.bmp"}, "s.ifs: no entry named 'nope'"},
    };
    for (const auto& entry : entries) {
        const RunResult run = runRender(entry.arguments, dir.path());
        EXPECT_EQ(run.status, 2) << entry.arguments[0];
        EXPECT_NE(run.err.find(entry.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("o.bmp")));
    // Not fitted, the growing map is drawn as it is.
    EXPECT_EQ(runRender({"--no-fit", "s.ifs:grow", "o.bmp"}, dir.path()).status, 0);

    const RunResult list = runRender({"--list", "s.ifs"}, dir.path());
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out,
              "flat (3D)    1 map  (cannot be drawn: it is three-dimensional; Orv draws systems "
              "of the plane)\n"
              "grow         1 map\n"
              "many         7 maps  (cannot be drawn: it has 7 maps; Orv draws at most 6)\n");
}

TEST(IfsTool, DocumentToIfsAndBackGivesTheSameMapsAndPicture) {
    TempDir dir;
    ParameterBlock block = defaultParameters();
    block.maps[0] = {1.0 / 3, 0.1, -0.2, 1.0 / 3, 0, 0};
    block.maps[2] = {0.5, -0.0, 0, 0.5, 0.5, 1e-17};
    block.maps[3] = {0.25, 0.25, -0.25, 0.25, 0.7, 0.3};  // disabled: left out
    block.maps[5] = {0, 0, 0, 0.4, 0.1, 0.6};
    block.enabled = {1, 0, 1, 0, 0, 1};
    block.sizeIndex = 2;
    // A line break in the document's name must not break the comment that names it.
    writeBytes(dir.file("doc\n.orv"), documentBytes(block));
    ASSERT_EQ(runRender({"doc\n.orv", "sys.ifs"}, dir.path()).status, 0);
    std::filesystem::rename(dir.file("doc\n.orv"), dir.file("doc.orv"));
    const std::string text = readText(dir.file("sys.ifs"));
    const auto written = parseIfs(text);
    ASSERT_EQ(written.size(), 1u) << text;
    EXPECT_EQ(written[0].name, "sys") << text;
    ASSERT_EQ(runRender({"--no-fit", "--size", "256", "sys.ifs", "back.orv"}, dir.path()).status,
              0);
    const ParameterBlock back = readDocument(dir.file("back.orv"));
    const int kept[] = {0, 2, 5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::memcmp(&back.maps[i], &block.maps[kept[i]], sizeof(AffineMap)), 0) << i;
        EXPECT_EQ(back.enabled[i], 1);
    }
    EXPECT_EQ(back.enabled[3], 0);
    ASSERT_EQ(runRender({"doc.orv", "a.bmp"}, dir.path()).status, 0);
    ASSERT_EQ(runRender({"back.orv", "b.bmp"}, dir.path()).status, 0);
    EXPECT_EQ(readBytes(dir.file("a.bmp")), readBytes(dir.file("b.bmp")));

    // A document with no map enabled has no entry to write.
    block.enabled = {};
    writeBytes(dir.file("none.orv"), documentBytes(block));
    const RunResult none = runRender({"none.orv", "none.ifs"}, dir.path());
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("no map is enabled"), std::string::npos) << none.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.ifs")));
}

TEST(IfsTool, AFittedEntryConvertsToTheDocumentItRenders) {
    TempDir dir;
    const std::string fern = kLibrary + ":fern";
    ASSERT_EQ(runRender({fern, "fern.orv"}, dir.path()).status, 0);
    ASSERT_EQ(runRender({fern, "direct.bmp"}, dir.path()).status, 0);
    ASSERT_EQ(runRender({"fern.orv", "converted.bmp"}, dir.path()).status, 0);
    EXPECT_EQ(readBytes(dir.file("direct.bmp")), readBytes(dir.file("converted.bmp")));
    EXPECT_EQ(readDocument(dir.file("fern.orv")).sizeIndex, 3);  // 512, the default
}

TEST(IterationFrames, FramesShrinkFromTheFullSquareToTheOutputAndStopWhenSettled) {
    TempDir dir;
    const std::string gasket = ORV_COMMITTED_EXAMPLES_DIR "/sierpinski-triangle.orv";
    const struct {
        std::vector<std::string> options;
        std::size_t frames;
    } runs[] = {
        // The gasket at 64 pixels settles after 6 iterations; the automatic count is 12.
        {{"--size", "64"}, 7},
        {{"--size", "64", "--iterations", "3"}, 4},
        {{"--size", "64", "--iterations", "-5"}, 1},
    };
    for (const auto& run : runs) {
        std::filesystem::remove_all(dir.file("frames"));
        auto arguments = run.options;
        arguments.insert(arguments.end(), {"--frames", "frames/", gasket, "out.bmp"});
        const RunResult result = runRender(arguments, dir.path());
        ASSERT_EQ(result.status, 0) << result.err;
        ASSERT_EQ(entriesOf(dir.file("frames")).size(), run.frames);
        std::vector<BmpPicture> frames;
        for (std::size_t k = 0; k < run.frames; ++k) {
            frames.push_back(decodeBmp(readBytes(cli::framePath(dir.file("frames"), k))));
        }
        EXPECT_EQ(frames.front().blackCount(), 64 * 64);
        for (std::size_t k = 1; k < run.frames; ++k) {
            EXPECT_LT(frames[k].blackCount(), frames[k - 1].blackCount()) << k;
            for (std::size_t p = 0; p < frames[k].black.size(); ++p) {
                ASSERT_TRUE(!frames[k].black[p] || frames[k - 1].black[p]) << k << " " << p;
            }
        }
        EXPECT_EQ(readBytes(cli::framePath(dir.file("frames"), run.frames - 1)),
                  readBytes(dir.file("out.bmp")));
    }
    const RunResult blocked = runRender({"--frames", "out.bmp/x", gasket, "o.bmp"}, dir.path());
    EXPECT_EQ(blocked.status, 3);

    // Frames take the output's format: the last PNG frame is the PNG output itself.
    const RunResult png =
        runRender({"--size", "64", "--frames", "png", gasket, "out.png"}, dir.path());
    ASSERT_EQ(png.status, 0) << png.err;
    EXPECT_EQ(entriesOf(dir.file("png")).size(), 7u);
    EXPECT_EQ(readBytes(cli::framePath(dir.file("png"), 6, cli::PictureFormat::png)),
              readBytes(dir.file("out.png")));
}

TEST(IfsTool, InfoReportsTheDimensionOfTheRender) {
    TempDir dir;
    const RunResult run =
        runRender({"--info", ORV_COMMITTED_EXAMPLES_DIR "/sierpinski-triangle.orv"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\nBlack pixels          19683 of 262144\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nBox dimension         1.5850 (box-counting: least-squares slope "
                           "over boxes of 1 to 64 pixels)\n"),
              std::string::npos)
        << run.out;
}

TEST(IfsCommandLine, OutputKindsAndOptionsThatDoNotGoTogether) {
    EXPECT_EQ(cli::outputKindFor("A.ORV"), cli::OutputKind::document);
    EXPECT_EQ(cli::outputKindFor("x/a.Ifs"), cli::OutputKind::ifs);
    EXPECT_EQ(cli::outputKindFor("orv"), cli::OutputKind::picture);
    TempDir dir;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--info", "--list", "a.ifs"},
          {"--list", "a.ifs", "b"},
          {"--frames", "d", "--info", "a.orv"},
          {"--frames", "d", "a.ifs", "b.orv"},
          {"--frames=", "a", "b"}}) {
        EXPECT_EQ(runRender(arguments, dir.path()).status, 1) << arguments[0];
    }
}

}  // namespace
}  // namespace orv::clitest
