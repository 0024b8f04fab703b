#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TestSupport.h"
#include "document/COrvDoc.h"
#include "document/DocumentError.h"
#include "document/ParameterComparison.h"
#include "document/ParameterFile.h"

namespace orv {
namespace {

class StopAtOnce : public RenderProgress {
public:
    bool stopRequested() override { return true; }
};

TEST(COrvDoc, NewDocumentHoldsTheDefaultsAndNoPicture) {
    COrvDoc doc;
    doc.parameters().maps[3].e = 5;
    doc.setPathName("/tmp/x.orv");
    doc.setModified(true);
    EXPECT_TRUE(doc.ResetToDefaults());
    EXPECT_EQ(doc.picture(), nullptr);
    EXPECT_FALSE(doc.isModified());
    EXPECT_TRUE(doc.pathName().empty());
    EXPECT_EQ(test::stored(doc.parameters()), test::stored(defaultParameters()));

    const ParameterBlock& block = doc.parameters();
    EXPECT_EQ(block.autoIterations, 1);
    EXPECT_EQ(block.iterationCount, 1);
    EXPECT_EQ(block.sizeIndex, 1);
    EXPECT_EQ(block.enabled[0], 1);
    EXPECT_EQ(block.maps[0].a, 1.0);
    EXPECT_EQ(block.maps[0].d, 1.0);
}

TEST(COrvDoc, RenderingTheNewDocumentGivesTheFullSquare) {
    COrvDoc doc;
    doc.ResetToDefaults();
    int updates = 0;
    doc.setViewUpdater([&] { ++updates; });
    EXPECT_EQ(doc.Render(), RenderOutcome::completed);
    ASSERT_NE(doc.picture(), nullptr);
    EXPECT_EQ(doc.side(), 128);
    EXPECT_EQ(doc.shift(), 7);
    EXPECT_EQ(test::countBlack(*doc.picture()), 128 * 128);
    EXPECT_EQ(updates, 1);
    EXPECT_FALSE(doc.isModified());
}

TEST(COrvDoc, SideAndShiftDescribeThePictureNotTheBlock) {
    COrvDoc doc;
    doc.ResetToDefaults();
    doc.Render();
    doc.parameters().sizeIndex = 0;
    doc.ResetToDefaults();  // drops the picture, keeps the size it had
    EXPECT_EQ(doc.picture(), nullptr);
    EXPECT_EQ(doc.side(), 128);

    doc.parameters().sizeIndex = 3;
    doc.Render();
    EXPECT_EQ(doc.side(), 512);
    EXPECT_EQ(doc.shift(), 9);
    EXPECT_EQ(doc.picture()->side(), 512);
}

TEST(COrvDoc, AStoppedRenderKeepsTheOldPicture) {
    COrvDoc doc;
    doc.ResetToDefaults();
    doc.Render();
    const MonochromePicture* before = doc.picture();
    int updates = 0;
    doc.setViewUpdater([&] { ++updates; });

    StopAtOnce stop;
    doc.setRenderProgress(&stop);
    doc.parameters().sizeIndex = 2;
    doc.parameters().enabled[0] = 0;
    EXPECT_EQ(doc.Render(), RenderOutcome::stopped);
    EXPECT_EQ(doc.picture(), before);
    EXPECT_EQ(doc.side(), 128);
    EXPECT_EQ(doc.shift(), 7);
    EXPECT_EQ(test::countBlack(*doc.picture()), 128 * 128);
    EXPECT_EQ(updates, 0);
}

TEST(COrvDoc, StoringWritesTheBlockWithoutRendering) {
    COrvDoc doc;
    doc.ResetToDefaults();
    Archive archive = Archive::forStoring();
    EXPECT_EQ(doc.TransferParameters(archive), RenderOutcome::completed);
    EXPECT_EQ(archive.bytes(), test::stored(defaultParameters()));
    EXPECT_EQ(doc.picture(), nullptr);
}

TEST(ParameterComparison, FollowsTheMapByMapRule) {
    const ParameterBlock base = defaultParameters();
    struct Case {
        const char* what;
        void (*edit)(ParameterBlock& before, ParameterBlock& after);
        bool changed;
    };
    const Case cases[] = {
        {"nothing", [](ParameterBlock&, ParameterBlock&) {}, false},
        {"negative zero equals zero",
         [](ParameterBlock&, ParameterBlock& a) { a.maps[2].c = -0.0; }, false},
        {"a coefficient", [](ParameterBlock&, ParameterBlock& a) { a.maps[5].f = 1e-300; }, true},
        {"a flag", [](ParameterBlock&, ParameterBlock& a) { a.enabled[1] = 1; }, true},
        {"swapping which map is on",
         [](ParameterBlock&, ParameterBlock& a) {
             a.enabled[0] = 0;
             a.enabled[1] = 1;
         },
         true},
        {"the count alone", [](ParameterBlock&, ParameterBlock& a) { a.iterationCount = 2; }, true},
        {"the size alone", [](ParameterBlock&, ParameterBlock& a) { a.sizeIndex = 5; }, true},
        {"the automatic flag", [](ParameterBlock&, ParameterBlock& a) { a.autoIterations = 0; },
         true},
        {"a NaN replaced by a number",
         [](ParameterBlock& b, ParameterBlock&) {
             b.maps[4].b = std::numeric_limits<double>::quiet_NaN();
         },
         true},
    };
    for (const Case& c : cases) {
        ParameterBlock before = base;
        ParameterBlock after = base;
        c.edit(before, after);
        EXPECT_EQ(parametersChanged(before, after), c.changed) << c.what;
    }
}

TEST(DocumentError, MessagesNameTheFileInTheCausesWords) {
    struct Case {
        FileErrorCause cause;
        const char* message;
    };
    for (const Case& c : {
             Case{FileErrorCause::generic, "An unknown error occurred while accessing /a/b.orv."},
             Case{FileErrorCause::fileNotFound, "/a/b.orv was not found."},
             Case{FileErrorCause::badPath, "/a/b.orv contains an invalid path."},
             Case{FileErrorCause::accessDenied, "Access to /a/b.orv was denied."},
             Case{FileErrorCause::badSeek, "Seek failed on /a/b.orv"},
             Case{FileErrorCause::diskFull, "Disk full while accessing /a/b.orv."},
             Case{FileErrorCause::endOfFile,
                  "An attempt was made to access /a/b.orv past its end."},
         }) {
        EXPECT_EQ(fileErrorMessage(c.cause, "/a/b.orv"), c.message);
    }
}

TEST(DocumentError, FailureReportChoosesTheMessageByKind) {
    EXPECT_EQ(failureMessage(FileError(FileErrorCause::fileNotFound, ""), "/x.orv",
                             kFailedToOpenDocument),
              "/x.orv was not found.");
    for (const auto cause : {ArchiveErrorCause::endOfFile, ArchiveErrorCause::badIndex,
                             ArchiveErrorCause::badClass, ArchiveErrorCause::badSchema}) {
        EXPECT_EQ(failureMessage(ArchiveError(cause), "/x.orv", kFailedToOpenDocument),
                  "Unexpected file format.");
    }
    EXPECT_EQ(
        failureMessage(ArchiveError(ArchiveErrorCause::generic), "/x.orv", kFailedToSaveDocument),
        "Failed to save document.");
    EXPECT_EQ(failureMessage(std::bad_alloc(), "/x.orv", kFailedToOpenDocument),
              "Failed to open document.");
}

}  // namespace
}  // namespace orv
