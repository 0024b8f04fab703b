#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ParamsDlgHarness.h"
#include "document/ParameterBlock.h"
#include "ui/CParamsDlg.h"
#include "ui/DialogUnits.h"
#include "ui/ExchangeContext.h"

namespace orv::test::params {
namespace {

using orv::ui::CParamsDlg;
using orv::ui::DialogBaseUnits;
using orv::ui::dialogRectToPixels;
using orv::ui::mulDiv;

TEST(ParamsDlgUnits, MulDivRoundsHalvesAwayFromZero) {
    const struct {
        int a, b, c, result;
    } cases[] = {
        {0, 6, 4, 0},
        {1, 6, 4, 2},
        {3, 6, 4, 5},
        {175, 6, 4, 263},
        {225, 13, 8, 366},
        {14, 13, 8, 23},
        {15, 13, 8, 24},
        {1, 13, 8, 2},
        {3, 1, 8, 0},
        {4, 1, 8, 1},
        {-1, 6, 4, -2},
        {-3, 6, 4, -5},
        {7, 5, -2, -18},
        {8, 96, 72, 11},
        {8, 120, 72, 13},
        {8, 144, 72, 16},
        {2000000, 3000, 4000, 1500000},  // the product does not overflow 32 bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mulDiv(c.a, c.b, c.c), c.result) << c.a << " * " << c.b << " / " << c.c;
    }
}

TEST(ParamsDlgUnits, RectanglesScaleEachCoordinateOnItsOwn) {
    const struct {
        QRect units;
        DialogBaseUnits base;
        QRect pixels;
    } cases[] = {
        // OK, "Отмена", an edit of column b, "2048 x 2048" and the count edit at 6 x 13.
        {{175, 225, 50, 14}, {6, 13}, {263, 366, 75, 23}},
        {{115, 225, 50, 14}, {6, 13}, {173, 366, 75, 23}},
        {{85, 30, 40, 15}, {6, 13}, {128, 49, 60, 24}},
        {{75, 195, 55, 10}, {6, 13}, {113, 317, 83, 16}},
        {{220, 190, 40, 14}, {6, 13}, {330, 309, 60, 23}},
        // A width is rounded by itself, not as the difference of rounded edges.
        {{1, 1, 1, 1}, {6, 13}, {2, 2, 2, 2}},
        {{175, 225, 50, 14}, {7, 16}, {306, 450, 88, 28}},
        {{175, 225, 50, 14}, {5, 13}, {219, 366, 63, 23}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dialogRectToPixels(c.units, c.base), c.pixels)
            << c.base.x << " x " << c.base.y << " for " << c.units.x() << "," << c.units.y();
    }
    EXPECT_EQ(orv::ui::dialogSizeToPixels({342, 246}, {6, 13}), QSize(513, 400));
}

TEST(ParamsDlgUnits, TheDialogFontFollowsTheResolution) {
    const struct {
        int dpi;
        int pixels;
    } cases[] = {{72, 8}, {96, 11}, {120, 13}, {144, 16}, {192, 21}};
    for (const auto& c : cases) {
        const QFont font = orv::ui::dialogFont(c.dpi);
        EXPECT_EQ(font.pixelSize(), c.pixels) << c.dpi;
    }
    // Base units grow with the font; at 96 dpi they lie near the 6 x 13 of the original face.
    const DialogBaseUnits normal = orv::ui::baseUnitsOf(orv::ui::dialogFont(96));
    const DialogBaseUnits large = orv::ui::baseUnitsOf(orv::ui::dialogFont(192));
    EXPECT_GE(normal.x, 5);
    EXPECT_LE(normal.x, 7);
    EXPECT_GE(normal.y, 12);
    EXPECT_LE(normal.y, 15);
    EXPECT_NEAR(large.x, 2 * normal.x, 2);
    EXPECT_NEAR(large.y, 2 * normal.y, 3);
}

TEST(ParamsDlgLayout, ControlsSitAtTheirTemplateRectangles) {
    ParameterBlock block = defaultParameters();
    CParamsDlg dialog(block);
    const DialogBaseUnits base = dialog.baseUnits();
    std::cout << "[ info     ] dialog font " << QFontInfo(dialog.font()).family().toStdString()
              << " " << QFontInfo(dialog.font()).pixelSize() << " px, base units " << base.x
              << " x " << base.y << "\n";
    const struct {
        int id;
        QRect units;
    } cases[] = {
        {kOk, {175, 225, 50, 14}},
        {kCancel, {115, 225, 50, 14}},
        {enabledId(0), {15, 33, 16, 8}},
        {enabledId(5), {15, 133, 16, 8}},
        {coefficientId(0, 0), {35, 30, 40, 14}},
        {coefficientId(0, 1), {85, 30, 40, 15}},
        {coefficientId(2, 3), {185, 70, 40, 14}},
        {coefficientId(4, 1), {85, 110, 40, 15}},
        {coefficientId(5, 5), {285, 130, 40, 14}},
        {1043, {20, 175, 39, 10}},
        {1044, {20, 185, 47, 10}},
        {1046, {75, 175, 47, 10}},
        {1050, {75, 195, 55, 10}},
        {kAutoIterations, {160, 175, 172, 10}},
        {kIterationCount, {220, 190, 40, 14}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(control(dialog, c.id)->geometry(), dialogRectToPixels(c.units, base)) << c.id;
    }
    // The b column is one unit taller, which at these fonts is one pixel or two.
    EXPECT_GT(control(dialog, coefficientId(3, 1))->height(),
              control(dialog, coefficientId(3, 0))->height());
    EXPECT_EQ(dialog.size(), orv::ui::dialogSizeToPixels({342, 246}, base));
}

// Frames and labels have no id; they are found by their texts.
TEST(ParamsDlgLayout, FramesAndLabelsCarryTheirTextsAndRectangles) {
    ParameterBlock block = defaultParameters();
    CParamsDlg dialog(block);
    const DialogBaseUnits base = dialog.baseUnits();
    const struct {
        const char* title;
        QRect units;
    } frames[] = {
        {"Афинные преобразования", {5, 5, 330, 150}},
        {"Размер изображения", {5, 160, 135, 55}},
        {"Итерации", {150, 160, 185, 55}},
    };
    const auto groupBoxes = dialog.findChildren<QGroupBox*>();
    ASSERT_EQ(groupBoxes.size(), 3);
    for (const auto& frame : frames) {
        const auto found = std::find_if(groupBoxes.begin(), groupBoxes.end(), [&](QGroupBox* box) {
            return box->title() == QString::fromUtf8(frame.title);
        });
        ASSERT_NE(found, groupBoxes.end()) << frame.title;
        EXPECT_EQ((*found)->geometry(), dialogRectToPixels(frame.units, base)) << frame.title;
    }
    const auto labels = dialog.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 7);
    const QString heads = QStringLiteral("abcdef");
    for (QLabel* label : labels) {
        const qsizetype column = heads.indexOf(label->text());
        if (label->text().size() == 1 && column >= 0) {
            EXPECT_EQ(label->geometry(),
                      dialogRectToPixels({51 + 50 * static_cast<int>(column), 15, 8, 8}, base));
            EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
        } else {
            EXPECT_EQ(label->text(), QString::fromUtf8("Явное задание:"));
            EXPECT_EQ(label->geometry(), dialogRectToPixels({160, 193, 54, 8}, base));
            EXPECT_TRUE(label->alignment() & Qt::AlignLeft);
        }
    }
}

TEST(ParamsDlgLayout, TheDialogHasItsSixtyTwoControlsWithTheirTexts) {
    ParameterBlock block = defaultParameters();
    CParamsDlg dialog(block);
    int controls = 0;
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        controls += child->property(orv::ui::kControlIdProperty).isValid() ? 1 : 0;
    }
    EXPECT_EQ(controls, 62);
    const struct {
        int id;
        const char* text;
    } texts[] = {
        {kOk, "OK"},
        {kCancel, "Отмена"},
        {1043, "64 x 64"},
        {1044, "128 x 128"},
        {1045, "256 x 256"},
        {1046, "512 x 512"},
        {1049, "1024 x 1024"},
        {1050, "2048 x 2048"},
        {kAutoIterations, "автоматическое определение числа итераций"},
    };
    for (const auto& t : texts) {
        EXPECT_EQ(control<QAbstractButton>(dialog, t.id)->text(), QString::fromUtf8(t.text));
    }
    for (int map = 0; map < kMapCount; ++map) {
        EXPECT_TRUE(control<QAbstractButton>(dialog, enabledId(map))->text().isEmpty());
        EXPECT_TRUE(control<QAbstractButton>(dialog, enabledId(map))->isCheckable());
        for (int index = 0; index < 6; ++index) {
            QLineEdit* field = edit(dialog, coefficientId(map, index));
            EXPECT_TRUE(field->hasFrame());
            EXPECT_EQ(field->objectName(), QString::number(coefficientId(map, index)));
        }
    }
    for (const int id : kSizeButtons) {
        EXPECT_NE(qobject_cast<QRadioButton*>(dialog.control(id)), nullptr) << id;
    }
    EXPECT_TRUE(control<QPushButton>(dialog, kOk)->isDefault());
    EXPECT_FALSE(control<QPushButton>(dialog, kCancel)->isDefault());
}

TEST(ParamsDlgLayout, FixedSizeCaptionOnlyACloseBoxAndCentredOnTheScreen) {
    ParameterBlock block = defaultParameters();
    runDialog(block, [](CParamsDlg& dialog) {
        const QSize size = orv::ui::dialogSizeToPixels({342, 246}, dialog.baseUnits());
        EXPECT_EQ(dialog.size(), size);
        EXPECT_EQ(dialog.minimumSize(), size);
        EXPECT_EQ(dialog.maximumSize(), size);
        const Qt::WindowFlags flags = dialog.windowFlags();
        EXPECT_TRUE(flags & Qt::WindowTitleHint);
        EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
        EXPECT_TRUE(dialog.isModal());
        const QPoint screenCentre = dialog.screen()->availableGeometry().center();
        const QPoint dialogCentre = dialog.frameGeometry().center();
        EXPECT_LE((screenCentre - dialogCentre).manhattanLength(), 2)
            << dialogCentre.x() << "," << dialogCentre.y() << " on a screen centred at "
            << screenCentre.x() << "," << screenCentre.y();
    });
}

// The owner sits in a corner; the dialog still comes up in the middle of the screen.
TEST(ParamsDlgLayout, CentredOnTheScreenRatherThanOnItsOwner) {
    QWidget owner;
    owner.setGeometry(10, 10, 200, 150);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    ParameterBlock block = defaultParameters();
    runDialog(
        block,
        [](CParamsDlg& dialog) {
            const QPoint offset =
                dialog.screen()->availableGeometry().center() - dialog.frameGeometry().center();
            EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
        },
        &owner);
}

// Read from the pixels: each frame's top line runs through its title, and in the affine frame
// it passes above the column heads with clear rows between (the styles' frame line, drawn below
// the whole title, ran into them).
TEST(ParamsDlgLayout, FrameLinesRunThroughTheirTitlesAndClearTheColumnHeads) {
    ParameterBlock block = defaultParameters();
    CParamsDlg dialog(block);
    QImage image(dialog.size(), QImage::Format_RGB32);
    dialog.render(&image);
    const auto inked = [&](int x, int y) { return image.pixel(x, y) != image.pixel(0, 0); };
    // The first row in [top, bottom) with ink in the columns [left, right], or -1.
    const auto firstInkedRow = [&](int left, int right, int top, int bottom) {
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                if (inked(x, y)) {
                    return y;
                }
            }
        }
        return -1;
    };
    int heads = 0;
    for (const QGroupBox* frame : dialog.findChildren<QGroupBox*>()) {
        const std::string title = frame->title().toStdString();
        const QRect box = frame->geometry();
        // Near the right edge nothing but the line crosses the frame's top rows.
        const int x = box.right() - 4;
        const int lineTop = firstInkedRow(x, x, box.top(), box.bottom());
        ASSERT_GE(lineTop, 0) << title;
        int lineBottom = lineTop;
        while (inked(x, lineBottom + 1)) {
            ++lineBottom;
        }
        // Above the line only the title has ink; it must go on below the line, within a line
        // of text from the frame's top.
        const int textBottom = box.top() + QFontMetrics(frame->font()).height();
        bool above = false;
        bool below = false;
        for (int column = box.left(); column < x; ++column) {
            if (firstInkedRow(column, column, box.top(), lineTop) >= 0) {
                above = true;
                below = below || firstInkedRow(column, column, lineBottom + 1, textBottom) >= 0;
            }
        }
        EXPECT_TRUE(above && below) << title << ": the line at " << lineTop;

        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            const QRect head = label->geometry();
            if (label->text().size() == 1 && box.contains(head)) {
                ++heads;
                const int inkTop =
                    firstInkedRow(head.left(), head.right(), head.top(), head.bottom());
                EXPECT_GE(inkTop - lineBottom - 1, 2)
                    << "column head " << label->text().toStdString() << " at " << inkTop
                    << ", the frame line at " << lineTop << ".." << lineBottom;
            }
        }
    }
    EXPECT_EQ(heads, 6);
}

// Texts longer than their controls would be clipped: the test of the stand-in font.
TEST(ParamsDlgLayout, EveryTextFitsItsControl) {
    ParameterBlock block = defaultParameters();
    CParamsDlg dialog(block);
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QAbstractButton*>(child) != nullptr ||
            qobject_cast<QLabel*>(child) != nullptr) {
            EXPECT_LE(child->sizeHint().width(), child->width())
                << child->property(orv::ui::kControlIdProperty).toInt() << " "
                << child->property("text").toString().toStdString();
        }
    }
}

}  // namespace
}  // namespace orv::test::params
