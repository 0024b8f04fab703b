#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <cmath>

#include "GuiTestSupport.h"
#include "ui/CParamsDlg.h"

// Not a test: the pictures of the program for its documentation, made by scripts/screenshots,
// which runs this with --gtest_also_run_disabled_tests and names the folder in
// ORV_SCREENSHOT_DIR.

namespace {

// Barnsley's fern, moved from its own plane into the picture: the plane's square of side
// kSpan whose bottom edge's middle is at (0, -kBelow) becomes the picture, so the picture's
// point (u, v) is (u*kSpan/N - kSpan/2, v*kSpan/N - kBelow) in the plane. Each map keeps its
// linear part and gets translations of its own, rounded to four decimals so that the dialog
// shows them whole.
orv::ParameterBlock fern() {
    constexpr double kSpan = 10.5;
    constexpr double kLeft = kSpan / 2;
    constexpr double kBelow = 0.25;
    const orv::AffineMap plane[] = {
        {0.0, 0.0, 0.0, 0.16, 0.0, 0.0},
        {0.85, 0.04, -0.04, 0.85, 0.0, 1.6},
        {0.2, -0.26, 0.23, 0.22, 0.0, 1.6},
        {-0.15, 0.28, 0.26, 0.24, 0.0, 0.44},
    };
    const auto round4 = [](double value) { return std::round(value * 1e4) / 1e4; };
    orv::ParameterBlock block = orv::test::emptyBlock(3, 1);
    block.autoIterations = 1;
    for (int k = 0; k < 4; ++k) {
        const orv::AffineMap& m = plane[k];
        orv::test::setMap(
            block, k,
            {m.a, m.b, m.c, m.d, round4((m.e + kLeft - m.a * kLeft - m.b * kBelow) / kSpan),
             round4((m.f + kBelow - m.c * kLeft - m.d * kBelow) / kSpan)});
    }
    return block;
}

void save(const QImage& image, const QString& name) {
    const QString path = QDir(qEnvironmentVariable("ORV_SCREENSHOT_DIR")).filePath(name);
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

TEST(DISABLED_Screenshots, MainWindowAndParameters) {
    ASSERT_TRUE(qEnvironmentVariableIsSet("ORV_SCREENSHOT_DIR"));
    orv::test::OpenFrame open;
    open.doc.setTitle("fern.orv");
    open.frame->OnUpdateFrameTitle();
    open.doc.parameters() = fern();
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    QTest::qWait(200);
    save(open.frame->grab().toImage(), QStringLiteral("main-window.png"));

    // Shown without exec(), which would block: fill the controls as exec() does.
    orv::ui::CParamsDlg dialog(open.doc.parameters(), open.frame.get());
    ASSERT_TRUE(dialog.InitControls());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::qWait(200);
    save(dialog.grab().toImage(), QStringLiteral("parameters.png"));
}

}  // namespace
