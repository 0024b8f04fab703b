#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "ParamsDlgHarness.h"
#include "document/ParameterBlock.h"
#include "ui/CParamsDlg.h"
#include "ui/ExchangeContext.h"

namespace orv::test::params {
namespace {

using orv::ui::CParamsDlg;

int focusedId() {
    QWidget* focused = QApplication::focusWidget();
    return focused == nullptr ? 0 : focused->property(orv::ui::kControlIdProperty).toInt();
}

std::vector<int> tabStops(bool countEnabled) {
    std::vector<int> stops = {kOk, kCancel};
    for (int map = 0; map < kMapCount; ++map) {
        stops.push_back(enabledId(map));
        for (int index = 0; index < 6; ++index) {
            stops.push_back(coefficientId(map, index));
        }
    }
    stops.push_back(kAutoIterations);
    if (countEnabled) {
        stops.push_back(kIterationCount);
    }
    return stops;
}

TEST(ParamsDlgInput, TabGoesFromOkRowByRowToTheCountAndPassesTheSizeButtonsBy) {
    for (const bool countEnabled : {true, false}) {
        ParameterBlock block = defaultParameters();
        block.autoIterations = countEnabled ? 0 : 1;
        runDialog(block, [&](CParamsDlg& dialog) {
            const std::vector<int> expected = tabStops(countEnabled);
            std::vector<int> forward = {focusedId()};
            for (std::size_t i = 0; i < expected.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                forward.push_back(focusedId());
            }
            std::vector<int> expectedForward = expected;
            expectedForward.push_back(kOk);  // round again
            EXPECT_EQ(forward, expectedForward);

            std::vector<int> backward;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
                backward.push_back(focusedId());
            }
            EXPECT_EQ(backward, std::vector<int>(expected.rbegin(), expected.rend()));

            // A click still reaches a size button, and Tab goes on after the group.
            QTest::mouseClick(control(dialog, 1046), Qt::LeftButton);
            EXPECT_EQ(focusedId(), 1046);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(focusedId(), kAutoIterations);
        });
    }
}

// Qt makes the focused button of an exclusive group a Tab stop; here none of them ever is,
// however the focus got to one.
TEST(ParamsDlgInput, TheSizeButtonsNeverBecomeTabStops) {
    const struct {
        const char* how;
        int clicked;
        Qt::Key arrow;  // pressed after the click, unless Key_unknown
        int focused;
    } ways[] = {
        {"a click", 1046, Qt::Key_unknown, 1046},
        {"Down", 1043, Qt::Key_Down, 1044},
        {"Left", 1049, Qt::Key_Left, 1044},
    };
    for (const auto& way : ways) {
        ParameterBlock block = defaultParameters();
        block.autoIterations = 0;
        runDialog(block, [&](CParamsDlg& dialog) {
            QTest::mouseClick(control(dialog, way.clicked), Qt::LeftButton);
            if (way.arrow != Qt::Key_unknown) {
                QTest::keyClick(QApplication::focusWidget(), way.arrow);
            }
            ASSERT_EQ(focusedId(), way.focused) << way.how;
            ASSERT_TRUE(control<QRadioButton>(dialog, way.focused)->isChecked()) << way.how;

            // From the size group Tab goes on at 1047; twice round, never into the group.
            std::vector<int> round = tabStops(true);
            std::rotate(round.begin(), std::find(round.begin(), round.end(), kAutoIterations),
                        round.end());
            std::vector<int> expected = round;
            expected.insert(expected.end(), round.begin(), round.end());
            std::vector<int> forward;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                forward.push_back(focusedId());
            }
            EXPECT_EQ(forward, expected) << way.how;
        });
    }
}

TEST(ParamsDlgInput, ACoefficientEditTakesAtMostSixteenCharactersFromTheUser) {
    ParameterBlock block = defaultParameters();
    block.maps[1].b = -1.0 / 3.0;  // shown with 18 characters
    block.maps[2].a = -2.0 / 3.0;
    MessageLog messages;
    const int result = runDialog(block, [](CParamsDlg& dialog) {
        QLineEdit* typed = edit(dialog, coefficientId(0, 4));
        retype(typed, "0.12345678901234567");
        EXPECT_EQ(typed->text(), "0.12345678901234");
        typed->home(false);
        QTest::keyClicks(typed, "9");
        EXPECT_EQ(typed->text(), "0.12345678901234") << "refused at the front as well";
        typed->end(false);
        QTest::keyClick(typed, Qt::Key_Backspace);
        QTest::keyClicks(typed, "56");
        EXPECT_EQ(typed->text(), "0.12345678901235");

        QLineEdit* pasted = edit(dialog, coefficientId(3, 3));
        retype(pasted, "0.5");
        paste(pasted, "12345678901234567890");
        EXPECT_EQ(pasted->text(), "0.51234567890123") << "a paste is cut to the room left";
        paste(pasted, "9");
        EXPECT_EQ(pasted->text(), "0.51234567890123");

        // The dialog's own text may be longer; the user can shorten it but not lengthen it.
        QLineEdit* own = edit(dialog, coefficientId(1, 1));
        EXPECT_EQ(own->text(), "-0.333333333333333");
        EXPECT_EQ(own->cursorPosition(), 0) << "a long text is shown from its beginning";
        own->end(false);
        QTest::keyClicks(own, "3");
        EXPECT_EQ(own->text(), "-0.333333333333333");
        QTest::keyClick(own, Qt::Key_Backspace);
        EXPECT_EQ(own->text(), "-0.33333333333333");
        QTest::keyClicks(own, "3");
        EXPECT_EQ(own->text(), "-0.33333333333333") << "still over the limit";
        own->setSelection(3, 2);  // replacing two characters by one shortens it
        QTest::keyClicks(own, "7");
        EXPECT_EQ(own->text(), "-0.7333333333333");

        // This text used to be read back as it stood; untouched it now gives back -2/3 itself,
        // so it is shortened by one character to be read, which must be whole.
        QLineEdit* shortened = edit(dialog, coefficientId(2, 0));
        EXPECT_EQ(shortened->text(), "-0.666666666666667");
        shortened->end(false);
        QTest::keyClick(shortened, Qt::Key_Backspace);
        EXPECT_EQ(shortened->text(), "-0.66666666666666");
        pressOk(dialog);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(block.maps[0].e, 0.12345678901235);
    EXPECT_EQ(block.maps[3].d, 0.51234567890123);
    EXPECT_EQ(block.maps[1].b, -0.7333333333333);
    EXPECT_EQ(block.maps[2].a, -0.66666666666666) << "all 17 characters read";
}

TEST(ParamsDlgInput, TheCountEditTakesTypedDigitsOnly) {
    ParameterBlock block = defaultParameters();
    block.autoIterations = 0;
    MessageLog messages;
    runDialog(block, [&](CParamsDlg& dialog) {
        QLineEdit* count = edit(dialog, kIterationCount);
        retype(count, "1a2-3 .4+5e,6");
        for (const char* letter : {"\xd0\xb6", "\xd9\xa3"}) {  // a Cyrillic letter, an Arabic digit
            QTest::sendKeyEvent(QTest::Click, count, Qt::Key_unknown, QString::fromUtf8(letter),
                                Qt::NoModifier);
        }
        EXPECT_EQ(count->text(), "123456");
        // No limit of its own: what is past the 31st character is simply not read.
        retype(count, QString(40, QLatin1Char('9')));
        EXPECT_EQ(count->text().size(), 40);
        pressOk(dialog);
        EXPECT_EQ(messages.texts, QStringList{kCountRangeMessage});
        // Only typing is filtered; a pasted text is judged by OK.
        retype(count, "");
        paste(count, "x5");
        EXPECT_EQ(count->text(), "x5");
        pressOk(dialog);
        EXPECT_EQ(messages.texts, (QStringList{kCountRangeMessage, kIntegerMessage}));
    });
    EXPECT_EQ(block.iterationCount, 2147483647);
}

TEST(ParamsDlgInput, TheAutomaticBoxEnablesTheCountEditOnlyWhenClear) {
    const struct {
        std::int32_t autoIterations;
        bool countEnabled;
    } openings[] = {{0, true}, {1, false}, {2, false}, {-1, true}, {3, true}};
    for (const auto& opening : openings) {
        ParameterBlock block = defaultParameters();
        block.autoIterations = opening.autoIterations;
        block.iterationCount = 5;
        std::vector<bool> enabledAfterClicks;
        const int result = runDialog(block, [&](CParamsDlg& dialog) {
            auto* automatic = control<QCheckBox>(dialog, kAutoIterations);
            QLineEdit* count = edit(dialog, kIterationCount);
            EXPECT_EQ(count->isEnabled(), opening.countEnabled) << opening.autoIterations;
            EXPECT_EQ(automatic->isChecked(), !opening.countEnabled);
            // Clicks and the space bar alike; the block hears of it only on OK.
            QTest::mouseClick(automatic, Qt::LeftButton);
            enabledAfterClicks.push_back(count->isEnabled());
            QTest::keyClick(automatic, Qt::Key_Space);
            enabledAfterClicks.push_back(count->isEnabled());
            QTest::mouseClick(automatic, Qt::LeftButton);
            enabledAfterClicks.push_back(count->isEnabled());
            EXPECT_EQ(count->text(), "5");
            EXPECT_EQ(block.autoIterations, opening.countEnabled ? 0 : opening.autoIterations);
            pressOk(dialog);
        });
        EXPECT_EQ(result, QDialog::Accepted);
        const bool on = opening.countEnabled;
        EXPECT_EQ(enabledAfterClicks, (std::vector<bool>{!on, on, !on})) << opening.autoIterations;
        EXPECT_EQ(block.autoIterations, on ? 1 : 0);
        EXPECT_EQ(block.iterationCount, 5);
    }
}

}  // namespace
}  // namespace orv::test::params
