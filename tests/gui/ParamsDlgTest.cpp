#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "ParamsDlgHarness.h"
#include "document/NumberText.h"
#include "document/ParameterBlock.h"
#include "ui/CParamsDlg.h"

namespace orv::test::params {
namespace {

using orv::ui::CParamsDlg;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool isChecked(const CParamsDlg& dialog, int id) {
    return control<QAbstractButton>(dialog, id)->isChecked();
}

int checkedSizePosition(const CParamsDlg& dialog) {
    int position = -1;
    for (int i = 0; i < 6; ++i) {
        if (isChecked(dialog, kSizeButtons[i])) {
            EXPECT_EQ(position, -1) << "two size buttons checked";
            position = i;
        }
    }
    return position;
}

QString text(const CParamsDlg& dialog, int id) {
    return edit(dialog, id)->text();
}

// The state a refusal must leave: the dialog open, the offending edit focused with its whole
// text selected.
void expectRefusedAt(const CParamsDlg& dialog, int id) {
    EXPECT_TRUE(dialog.isVisible());
    QLineEdit* refused = edit(dialog, id);
    EXPECT_EQ(dialog.focusWidget(), refused) << "focus not on " << id;
    EXPECT_EQ(refused->selectedText(), refused->text()) << id;
    EXPECT_EQ(refused->selectionStart(), refused->text().isEmpty() ? -1 : 0) << id;
}

TEST(ParamsDlgOpening, NewDocumentShowsTheDefaults) {
    ParameterBlock block = defaultParameters();
    MessageLog messages;
    runDialog(block, [](CParamsDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Параметры СИФ"));
        const QStringList firstRow = {"1", "0", "0", "1", "0", "0"};
        for (int map = 0; map < kMapCount; ++map) {
            EXPECT_EQ(isChecked(dialog, enabledId(map)), map == 0) << "row " << map + 1;
            for (int index = 0; index < 6; ++index) {
                EXPECT_EQ(text(dialog, coefficientId(map, index)),
                          map == 0 ? firstRow[index] : QStringLiteral("0"))
                    << "row " << map + 1 << " column " << index;
            }
        }
        EXPECT_EQ(checkedSizePosition(dialog), 1);
        EXPECT_TRUE(control<QRadioButton>(dialog, 1044)->isChecked());
        EXPECT_TRUE(isChecked(dialog, kAutoIterations));
        EXPECT_EQ(text(dialog, kIterationCount), "1");
        EXPECT_FALSE(edit(dialog, kIterationCount)->isEnabled());
        EXPECT_EQ(dialog.focusWidget(), control(dialog, kOk));
        EXPECT_EQ(QApplication::focusWidget(), control(dialog, kOk));
    });
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST(ParamsDlgOpening, OkAtOnceAcceptsAndWritesBackTheSameValues) {
    ParameterBlock defaults = defaultParameters();
    ParameterBlock varied = defaultParameters();
    varied.autoIterations = 0;
    varied.iterationCount = 17;
    varied.sizeIndex = 5;
    for (int map = 0; map < kMapCount; ++map) {
        varied.enabled[map] = map % 2;
        varied.maps[map] = {0.5 * map, -1.25, 1e-5, 1e15, -1.7e308, 100.125 + map};
    }
    for (const ParameterBlock& original : {defaults, varied}) {
        ParameterBlock block = original;
        MessageLog messages;
        EXPECT_EQ(runDialog(block, [](CParamsDlg& dialog) { pressOk(dialog); }), QDialog::Accepted);
        EXPECT_TRUE(sameBlock(original, block));
        EXPECT_TRUE(messages.texts.isEmpty());
    }
}

// A block that came through the dialog unchanged says nothing about which control shows which
// field, so each field gets a value of its own here.
TEST(ParamsDlgOpening, EachFieldIsShownInItsOwnControl) {
    ParameterBlock block = defaultParameters();
    for (int map = 0; map < kMapCount; ++map) {
        block.enabled[map] = map == 2 || map == 5 ? 1 : 0;
        for (int index = 0; index < 6; ++index) {
            coefficient(block, map, index) = 10 * map + index + 0.25;
        }
    }
    block.autoIterations = 0;
    block.iterationCount = 23;
    block.sizeIndex = 4;
    runDialog(block, [](CParamsDlg& dialog) {
        for (int map = 0; map < kMapCount; ++map) {
            EXPECT_EQ(isChecked(dialog, enabledId(map)), map == 2 || map == 5) << map;
            for (int index = 0; index < 6; ++index) {
                EXPECT_EQ(text(dialog, coefficientId(map, index)),
                          QString::number(10 * map + index) + ".25");
            }
        }
        EXPECT_FALSE(isChecked(dialog, kAutoIterations));
        EXPECT_EQ(text(dialog, kIterationCount), "23");
        EXPECT_EQ(checkedSizePosition(dialog), 4);
    });
}

TEST(ParamsDlgSaving, EachControlIsWrittenToItsOwnField) {
    ParameterBlock block = defaultParameters();
    const int result = runDialog(block, [](CParamsDlg& dialog) {
        for (int map = 0; map < kMapCount; ++map) {
            if (map == 1 || map == 4 || map == 0) {
                QTest::mouseClick(control(dialog, enabledId(map)), Qt::LeftButton);
            }
            for (int index = 0; index < 6; ++index) {
                retype(edit(dialog, coefficientId(map, index)),
                       QString::number(map + 1) + "." + QString::number(index + 1));
            }
        }
        QTest::mouseClick(control(dialog, kAutoIterations), Qt::LeftButton);
        retype(edit(dialog, kIterationCount), "9");
        QTest::mouseClick(control(dialog, 1046), Qt::LeftButton);
        pressOk(dialog);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    for (int map = 0; map < kMapCount; ++map) {
        EXPECT_EQ(block.enabled[map], map == 1 || map == 4 ? 1 : 0) << map;
        for (int index = 0; index < 6; ++index) {
            EXPECT_EQ(coefficient(block, map, index), (map + 1) + (index + 1) / 10.0)
                << map << " " << index;
        }
    }
    EXPECT_EQ(block.autoIterations, 0);
    EXPECT_EQ(block.iterationCount, 9);
    EXPECT_EQ(block.sizeIndex, 3);
}

// Once OK read these back from their 15-digit texts, rounded, and -0 as +0; untouched edits
// now give back exactly what they were opened with.
TEST(ParamsDlgOpening, CoefficientsAreShownWithFifteenDigitsAndComeBackExact) {
    ParameterBlock block = defaultParameters();
    block.maps[0].b = 1.0 / 3.0;
    block.maps[2].e = -0.0;
    block.maps[5].f = -1.0 / 3.0;
    const ParameterBlock original = block;
    QString shownThird;
    QString shownZero;
    QString shownNegativeThird;
    const int result = runDialog(block, [&](CParamsDlg& dialog) {
        shownThird = text(dialog, coefficientId(0, 1));
        shownZero = text(dialog, coefficientId(2, 4));
        shownNegativeThird = text(dialog, coefficientId(5, 5));
        pressOk(dialog);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(shownThird, "0.333333333333333");
    EXPECT_EQ(shownZero, "0");
    // Longer than what a user may type.
    EXPECT_EQ(shownNegativeThird, "-0.333333333333333");
    EXPECT_TRUE(sameBlock(original, block));
}

// What counts is the text: the opened text typed again is as good as untouched, any other is
// read, and a refused OK in between changes nothing about that. 0.1 + 0.2 and 0.7 + 0.1 open
// as "0.3" and "0.8" but are not the numbers those read as.
TEST(ParamsDlgCoefficients, AnEditKeepsItsOpenedValueWhileItShowsTheOpenedText) {
    ParameterBlock block = defaultParameters();
    block.maps[0].b = 0.1 + 0.2;
    block.maps[1].c = 0.1 + 0.2;
    block.maps[1].d = 0.7 + 0.1;
    block.maps[2].d = 2.0 / 3.0;
    MessageLog messages;
    const int result = runDialog(block, [&](CParamsDlg& dialog) {
        retype(edit(dialog, coefficientId(0, 1)), "0.5");
        retype(edit(dialog, coefficientId(1, 2)), "0.30");
        retype(edit(dialog, coefficientId(1, 3)), "0.25");
        retype(edit(dialog, coefficientId(3, 0)), "x");
        pressOk(dialog);
        ASSERT_EQ(messages.texts, QStringList{kNumberMessage});
        ASSERT_EQ(block.maps[0].b, 0.5) << "the refused pass wrote the typed value";
        retype(edit(dialog, coefficientId(0, 1)), "0.3");
        retype(edit(dialog, coefficientId(3, 0)), "1");
        pressOk(dialog);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(block.maps[0].b, 0.1 + 0.2);
    EXPECT_NE(block.maps[0].b, 0.3);
    EXPECT_EQ(block.maps[1].c, 0.3);
    EXPECT_EQ(block.maps[1].d, 0.25);
    EXPECT_EQ(block.maps[2].d, 2.0 / 3.0);
    EXPECT_EQ(block.maps[3].a, 1.0);
}

// A value kept untouched is checked like a typed one: what only a file can bring in is refused.
TEST(ParamsDlgCoefficients, AnUntouchedValueOutOfRangeIsRefused) {
    for (const double value :
         {kInfinity, -kInfinity, std::numeric_limits<double>::quiet_NaN(), 1.75e308}) {
        ParameterBlock block = defaultParameters();
        block.maps[2].e = value;
        MessageLog messages;
        const int result = runDialog(block, [&](CParamsDlg& dialog) {
            pressOk(dialog);
            expectRefusedAt(dialog, coefficientId(2, 4));
        });
        EXPECT_EQ(result, QDialog::Rejected) << value;
        EXPECT_EQ(messages.texts, QStringList{kCoefficientRangeMessage}) << value;
    }
}

TEST(ParamsDlgOpening, FlagsOutsideZeroToTwoBecomeZeroEvenWhenCancelled) {
    ParameterBlock block = defaultParameters();
    block.enabled = {-1, 3, 2, 1, 0, 100};
    block.autoIterations = -5;
    bool countEnabled = false;
    std::array<bool, kMapCount> shown{};
    const int result = runDialog(block, [&](CParamsDlg& dialog) {
        countEnabled = edit(dialog, kIterationCount)->isEnabled();
        for (int map = 0; map < kMapCount; ++map) {
            shown[map] = isChecked(dialog, enabledId(map));
        }
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(block.enabled, (std::array<std::int32_t, kMapCount>{0, 0, 2, 1, 0, 0}));
    EXPECT_EQ(block.autoIterations, 0);
    EXPECT_TRUE(countEnabled);
    EXPECT_EQ(shown, (std::array<bool, kMapCount>{false, false, true, true, false, false}));
}

TEST(ParamsDlgOpening, FlagTwoOpensCheckedAndReadsBackAsOne) {
    ParameterBlock block = defaultParameters();
    block.enabled[3] = 2;
    block.autoIterations = 2;
    bool countEnabled = true;
    const int result = runDialog(block, [&](CParamsDlg& dialog) {
        EXPECT_TRUE(isChecked(dialog, enabledId(3)));
        EXPECT_TRUE(isChecked(dialog, kAutoIterations));
        countEnabled = edit(dialog, kIterationCount)->isEnabled();
        pressOk(dialog);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(countEnabled);
    EXPECT_EQ(block.enabled[3], 1);
    EXPECT_EQ(block.autoIterations, 1);
}

TEST(ParamsDlgSize, OpeningChecksTheButtonAtTheIndexAndOkKeepsAnIndexWithNone) {
    for (const std::int32_t sizeIndex : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 1000}) {
        ParameterBlock block = defaultParameters();
        block.sizeIndex = sizeIndex;
        int shown = -2;
        const int result = runDialog(block, [&](CParamsDlg& dialog) {
            shown = checkedSizePosition(dialog);
            pressOk(dialog);
        });
        const bool valid = sizeIndex >= 0 && sizeIndex <= 5;
        EXPECT_EQ(shown, valid ? sizeIndex : -1) << sizeIndex;
        EXPECT_EQ(result, QDialog::Accepted) << sizeIndex;
        EXPECT_EQ(block.sizeIndex, sizeIndex) << "never -1";
    }
}

TEST(ParamsDlgSize, TheClickedButtonsPositionBecomesTheIndex) {
    const struct {
        int id;
        std::int32_t sizeIndex;
    } cases[] = {{1043, 0}, {1044, 1}, {1045, 2}, {1046, 3}, {1049, 4}, {1050, 5}};
    for (const auto& c : cases) {
        for (const std::int32_t before : {1, 7}) {  // a valid index, and one naming no button
            ParameterBlock block = defaultParameters();
            block.sizeIndex = before;
            const int result = runDialog(block, [&](CParamsDlg& dialog) {
                QTest::mouseClick(control(dialog, c.id), Qt::LeftButton);
                EXPECT_EQ(checkedSizePosition(dialog), c.sizeIndex);
                pressOk(dialog);
            });
            EXPECT_EQ(result, QDialog::Accepted);
            EXPECT_EQ(block.sizeIndex, c.sizeIndex) << c.id << " from " << before;
        }
    }
}

TEST(ParamsDlgEnding, CancelEscapeAndCloseBoxEndWithoutReadingTheControls) {
    const std::function<void(CParamsDlg&)> endings[] = {
        [](CParamsDlg& dialog) { QTest::mouseClick(control(dialog, kCancel), Qt::LeftButton); },
        [](CParamsDlg& dialog) { QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape); },
        [](CParamsDlg& dialog) {
            QTest::keyClick(edit(dialog, coefficientId(1, 1)), Qt::Key_Escape);
        },
        [](CParamsDlg& dialog) { dialog.close(); },
    };
    for (const auto& end : endings) {
        const ParameterBlock original = defaultParameters();
        ParameterBlock block = original;
        MessageLog messages;
        const int result = runDialog(block, [&](CParamsDlg& dialog) {
            retype(edit(dialog, coefficientId(0, 0)), "0.5");
            retype(edit(dialog, coefficientId(1, 1)), "abc");  // would be refused by OK
            QTest::mouseClick(control(dialog, enabledId(3)), Qt::LeftButton);
            QTest::mouseClick(control(dialog, 1050), Qt::LeftButton);
            end(dialog);
            EXPECT_FALSE(dialog.isVisible());
        });
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_TRUE(sameBlock(original, block));
        EXPECT_TRUE(messages.texts.isEmpty());
    }
}

TEST(ParamsDlgEnding, EnterPressesOkFromAnEditToo) {
    for (const bool valid : {true, false}) {
        ParameterBlock block = defaultParameters();
        MessageLog messages;
        const int result = runDialog(block, [&](CParamsDlg& dialog) {
            QLineEdit* target = edit(dialog, coefficientId(2, 3));
            target->setFocus();
            retype(target, valid ? "2.5" : "2,5");
            QTest::keyClick(target, Qt::Key_Return);
            EXPECT_EQ(dialog.isVisible(), !valid);
        });
        EXPECT_EQ(result, valid ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(block.maps[2].d, valid ? 2.5 : 0.0);
        EXPECT_EQ(messages.texts, valid ? QStringList() : QStringList{kNumberMessage});
    }
}

TEST(ParamsDlgCoefficients, AcceptedTexts) {
    const struct {
        const char* typed;
        double value;
    } cases[] = {
        {"0", 0.0},
        {"00", 0.0},
        {"0.0", 0.0},
        {" 0.5 ", 0.5},
        {"  0.5", 0.5},
        {"-0.5", -0.5},
        {".5", 0.5},
        {"5.", 5.0},
        {"+3", 3.0},
        {"1e2", 100.0},
        {"1E2", 100.0},
        {"1d2", 100.0},
        {"1D2", 100.0},
        {"1.5e-3", 0.0015},
        {"1.7e308", 1.7e308},
        {"-1.7e308", -1.7e308},
        {"-0.333333333333", -0.333333333333},
    };
    int caseNumber = 0;
    for (const auto& c : cases) {
        // Spread the cases over the grid so that every row and column takes part.
        const int map = caseNumber % kMapCount;
        const int index = (caseNumber * 5) % 6;
        ++caseNumber;
        ParameterBlock block = defaultParameters();
        MessageLog messages;
        const int result = runDialog(block, [&](CParamsDlg& dialog) {
            retype(edit(dialog, coefficientId(map, index)), c.typed);
            pressOk(dialog);
        });
        EXPECT_EQ(result, QDialog::Accepted) << c.typed;
        EXPECT_EQ(coefficient(block, map, index), c.value) << c.typed;
        EXPECT_TRUE(messages.texts.isEmpty()) << c.typed;
    }
}

TEST(ParamsDlgCoefficients, TabsAroundAPastedNumberAreAccepted) {
    ParameterBlock block = defaultParameters();
    const int result = runDialog(block, [](CParamsDlg& dialog) {
        QLineEdit* target = edit(dialog, coefficientId(3, 2));
        retype(target, "");
        paste(target, "\t-2.5 \t");
        pressOk(dialog);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(block.maps[3].c, -2.5);
}

TEST(ParamsDlgCoefficients, RefusedTexts) {
    const struct {
        const char* typed;
        const QString& message;
        double stored;  // what the block holds afterwards
    } cases[] = {
        {"", kNumberMessage, 7.0},
        {"-0", kNumberMessage, 7.0},
        {"+0", kNumberMessage, 7.0},
        {".0", kNumberMessage, 7.0},
        {"0,5", kNumberMessage, 7.0},
        {"1e", kNumberMessage, 7.0},
        {"1 2", kNumberMessage, 7.0},
        {"abc", kNumberMessage, 7.0},
        {"inf", kNumberMessage, 7.0},
        {"nan", kNumberMessage, 7.0},
        {"0x10", kNumberMessage, 7.0},
        {"1e-400", kNumberMessage, 7.0},
        {"1e400", kCoefficientRangeMessage, kInfinity},
        {"-1e400", kCoefficientRangeMessage, -kInfinity},
        {"1.75e308", kCoefficientRangeMessage, 1.75e308},
        {"-1.71e308", kCoefficientRangeMessage, -1.71e308},
    };
    for (const auto& c : cases) {
        ParameterBlock block = defaultParameters();
        block.maps[4].c = 7.0;
        MessageLog messages;
        const int result = runDialog(block, [&](CParamsDlg& dialog) {
            retype(edit(dialog, coefficientId(4, 2)), c.typed);
            pressOk(dialog);
            expectRefusedAt(dialog, coefficientId(4, 2));
            EXPECT_EQ(text(dialog, coefficientId(4, 2)), c.typed) << "the typed text stays";
        });
        EXPECT_EQ(result, QDialog::Rejected) << c.typed;
        EXPECT_EQ(messages.texts, QStringList{c.message}) << c.typed;
        EXPECT_EQ(block.maps[4].c, c.stored) << c.typed;
    }
}

// Each field is written as soon as its control has been read, so a refusal leaves the fields
// before it (in exchange order) written and those after it as they were.
TEST(ParamsDlgRefusals, FieldsBeforeTheRefusalAreWrittenAndLaterOnesAreNot) {
    ParameterBlock block = defaultParameters();
    MessageLog messages;
    runDialog(block, [](CParamsDlg& dialog) {
        QTest::mouseClick(control(dialog, kAutoIterations), Qt::LeftButton);
        retype(edit(dialog, kIterationCount), "5");
        QTest::mouseClick(control(dialog, 1049), Qt::LeftButton);
        retype(edit(dialog, coefficientId(0, 0)), "2");
        QTest::mouseClick(control(dialog, enabledId(1)), Qt::LeftButton);
        retype(edit(dialog, coefficientId(1, 0)), "3");
        retype(edit(dialog, coefficientId(1, 1)), "4");
        retype(edit(dialog, coefficientId(1, 2)), "x");  // refused
        retype(edit(dialog, coefficientId(1, 3)), "6");
        QTest::mouseClick(control(dialog, enabledId(2)), Qt::LeftButton);
        retype(edit(dialog, coefficientId(5, 5)), "8");
        pressOk(dialog);
    });
    EXPECT_EQ(messages.texts, QStringList{kNumberMessage});
    EXPECT_EQ(block.autoIterations, 0);
    EXPECT_EQ(block.iterationCount, 5);
    EXPECT_EQ(block.sizeIndex, 4);
    EXPECT_EQ(block.maps[0].a, 2.0);
    EXPECT_EQ(block.enabled[1], 1);
    EXPECT_EQ(block.maps[1].a, 3.0);
    EXPECT_EQ(block.maps[1].b, 4.0);
    EXPECT_EQ(block.maps[1].c, 0.0);
    EXPECT_EQ(block.maps[1].d, 0.0);
    EXPECT_EQ(block.enabled[2], 0);
    EXPECT_EQ(block.maps[5].f, 0.0);
}

TEST(ParamsDlgRefusals, OnlyTheFirstRefusalInExchangeOrderIsReported) {
    struct Entry {
        int id;
        const char* typed;
    };
    const struct {
        const char* what;
        std::vector<Entry> entries;
        int refusedId;
        const QString& message;
    } cases[] = {
        {"count before coefficients",
         {{coefficientId(0, 0), "x"}, {kIterationCount, "0"}},
         kIterationCount,
         kCountRangeMessage},
        {"count text before coefficients",
         {{coefficientId(0, 0), "1e999"}, {kIterationCount, ""}},
         kIterationCount,
         kIntegerMessage},
        {"row 1 before row 2",
         {{coefficientId(1, 0), "x"}, {coefficientId(0, 5), "y"}},
         coefficientId(0, 5),
         kNumberMessage},
        {"a before f",
         {{coefficientId(2, 5), "x"}, {coefficientId(2, 0), "1e400"}},
         coefficientId(2, 0),
         kCoefficientRangeMessage},
        {"range of an earlier field before the text of a later one",
         {{coefficientId(3, 1), "2e308"}, {coefficientId(3, 2), "z"}},
         coefficientId(3, 1),
         kCoefficientRangeMessage},
    };
    for (const auto& c : cases) {
        ParameterBlock block = defaultParameters();
        block.autoIterations = 0;  // so that the count edit can be typed into and focused
        MessageLog messages;
        runDialog(block, [&](CParamsDlg& dialog) {
            for (const Entry& entry : c.entries) {
                retype(edit(dialog, entry.id), entry.typed);
            }
            pressOk(dialog);
            expectRefusedAt(dialog, c.refusedId);
        });
        EXPECT_EQ(messages.texts, QStringList{c.message}) << c.what;
    }
}

TEST(ParamsDlgRefusals, OkSucceedsOnceTheRefusedTextIsCorrected) {
    ParameterBlock block = defaultParameters();
    MessageLog messages;
    const int result = runDialog(block, [](CParamsDlg& dialog) {
        QLineEdit* target = edit(dialog, coefficientId(0, 3));
        retype(target, "1,5");
        pressOk(dialog);
        ASSERT_TRUE(dialog.isVisible());
        // The text is selected, so typing replaces it.
        QTest::keyClicks(target, "1.5");
        EXPECT_EQ(target->text(), "1.5");
        pressOk(dialog);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(block.maps[0].d, 1.5);
    EXPECT_EQ(messages.texts, QStringList{kNumberMessage});
}

TEST(ParamsDlgCount, Texts) {
    const struct {
        const char* text;
        bool pasted;  // blanks cannot be typed into the count edit
        const QString* message;
        std::int32_t stored;  // the block's count afterwards; it was 3
    } cases[] = {
        {"1", false, nullptr, 1},
        {"32", false, nullptr, 32},
        {"07", false, nullptr, 7},
        {" 7 ", true, nullptr, 7},
        {"\t7", true, nullptr, 7},
        {"0", false, &kCountRangeMessage, 0},
        {"33", false, &kCountRangeMessage, 33},
        {"12345678901", false, &kCountRangeMessage, 2147483647},
        {"-5", true, &kCountRangeMessage, -5},
        {"", false, &kIntegerMessage, 3},
        {"-0", true, &kIntegerMessage, 3},
        {"7a", true, &kIntegerMessage, 3},
        {"1.0", true, &kIntegerMessage, 3},
        // Only the first 31 characters are read.
        {"7                              x", true, nullptr, 7},
        {"7                             x", true, &kIntegerMessage, 3},
    };
    for (const auto& c : cases) {
        ParameterBlock block = defaultParameters();
        block.autoIterations = 0;
        block.iterationCount = 3;
        MessageLog messages;
        const int result = runDialog(block, [&](CParamsDlg& dialog) {
            QLineEdit* count = edit(dialog, kIterationCount);
            retype(count, "");
            if (c.pasted) {
                paste(count, c.text);
            } else {
                QTest::keyClicks(count, c.text);
            }
            ASSERT_EQ(count->text(), c.text);
            pressOk(dialog);
            if (c.message != nullptr) {
                expectRefusedAt(dialog, kIterationCount);
            }
        });
        EXPECT_EQ(result, c.message == nullptr ? QDialog::Accepted : QDialog::Rejected) << c.text;
        EXPECT_EQ(messages.texts, c.message == nullptr ? QStringList() : QStringList{*c.message})
            << c.text;
        EXPECT_EQ(block.iterationCount, c.stored) << c.text;
        EXPECT_EQ(block.autoIterations, 0) << c.text;
    }
}

// The count comes second in the exchange: a refused count has the automatic flag written and
// everything after it untouched.
TEST(ParamsDlgCount, ARefusedCountFollowsTheAutomaticFlagAndPrecedesTheRest) {
    ParameterBlock block = defaultParameters();
    block.autoIterations = 0;
    MessageLog messages;
    runDialog(block, [](CParamsDlg& dialog) {
        retype(edit(dialog, kIterationCount), "40");
        QTest::mouseClick(control(dialog, kAutoIterations), Qt::LeftButton);
        QTest::mouseClick(control(dialog, 1050), Qt::LeftButton);
        QTest::mouseClick(control(dialog, enabledId(0)), Qt::LeftButton);
        retype(edit(dialog, coefficientId(0, 0)), "5");
        pressOk(dialog);
    });
    EXPECT_EQ(messages.texts, QStringList{kCountRangeMessage});
    EXPECT_EQ(block.autoIterations, 1);
    EXPECT_EQ(block.iterationCount, 40);
    EXPECT_EQ(block.sizeIndex, 1);
    EXPECT_EQ(block.enabled[0], 1);
    EXPECT_EQ(block.maps[0].a, 1.0);
}

// The automatic count does not excuse a bad explicit one. The refusal enables the edit (see
// the next test), but clearing the box, mending the count and setting the box again works as
// well: the box's clicks govern the edit as before.
TEST(ParamsDlgCount, AnInvalidCountRefusesOkWhileItsEditIsDisabled) {
    ParameterBlock block = defaultParameters();
    block.iterationCount = 0;
    MessageLog messages;
    const int result = runDialog(block, [&](CParamsDlg& dialog) {
        QLineEdit* count = edit(dialog, kIterationCount);
        EXPECT_FALSE(count->isEnabled());
        pressOk(dialog);
        ASSERT_TRUE(dialog.isVisible());
        EXPECT_EQ(messages.texts, QStringList{kCountRangeMessage});
        QTest::mouseClick(control(dialog, kAutoIterations), Qt::LeftButton);
        ASSERT_TRUE(count->isEnabled());
        retype(count, "12");
        QTest::mouseClick(control(dialog, kAutoIterations), Qt::LeftButton);
        EXPECT_FALSE(count->isEnabled());
        pressOk(dialog);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(block.autoIterations, 1);
    EXPECT_EQ(block.iterationCount, 12);
    EXPECT_EQ(messages.texts, QStringList{kCountRangeMessage});
}

// The focus cannot reach a disabled edit, so a refusal enables the one it points at; the box
// keeps its state (and its clicks still rule the edit: the test above). Keys only.
TEST(ParamsDlgCount, ARefusalEnablesTheDisabledCountEditAndTheBoxStaysSet) {
    ParameterBlock block = defaultParameters();
    block.iterationCount = 0;
    MessageLog messages;
    const int result = runDialog(block, [&](CParamsDlg& dialog) {
        QLineEdit* count = edit(dialog, kIterationCount);
        ASSERT_FALSE(count->isEnabled());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // on OK
        ASSERT_TRUE(dialog.isVisible());
        EXPECT_TRUE(count->isEnabled());
        expectRefusedAt(dialog, kIterationCount);
        EXPECT_TRUE(isChecked(dialog, kAutoIterations));
        QTest::keyClicks(QApplication::focusWidget(), "5");
        EXPECT_EQ(count->text(), "5");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(messages.texts, QStringList{kCountRangeMessage});
    EXPECT_EQ(block.iterationCount, 5);
    EXPECT_EQ(block.autoIterations, 1);
}

// The dialog keeps no copy: what a refused OK wrote stays in the block, and the next run starts
// from it and refuses it again, by range, since the edit shows it untouched. (The second
// refusal used to be "Please enter a number.", from reading back the infinity's word.)
TEST(ParamsDlgRun, ANewRunStartsFromWhatARefusedOkWrote) {
    ParameterBlock block = defaultParameters();
    MessageLog messages;
    runDialog(block, [](CParamsDlg& dialog) {
        retype(edit(dialog, coefficientId(0, 1)), "1e400");
        pressOk(dialog);
    });
    ASSERT_EQ(block.maps[0].b, kInfinity);
    QString shown;
    const int result = runDialog(block, [&](CParamsDlg& dialog) {
        shown = text(dialog, coefficientId(0, 1));
        pressOk(dialog);
        expectRefusedAt(dialog, coefficientId(0, 1));
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(shown, QString::fromStdString(formatDouble(kInfinity)));
    EXPECT_EQ(messages.texts, (QStringList{kCoefficientRangeMessage, kCoefficientRangeMessage}));
    EXPECT_EQ(block.maps[0].b, kInfinity);
}

TEST(ParamsDlgRun, OneDialogObjectCanRunAgain) {
    ParameterBlock block = defaultParameters();
    CParamsDlg dialog(block);
    QTimer::singleShot(0, &dialog, [&] {
        retype(edit(dialog, coefficientId(0, 0)), "0.5");
        pressOk(dialog);
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    block.maps[0].a = 0.25;
    block.maps[4].b = -1.0 / 3.0;
    block.sizeIndex = 2;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(text(dialog, coefficientId(0, 0)), "0.25");
        EXPECT_EQ(text(dialog, coefficientId(4, 1)), "-0.333333333333333")
            << "the second run's texts are not cut by the first run's input limit";
        EXPECT_EQ(checkedSizePosition(dialog), 2);
        EXPECT_EQ(dialog.focusWidget(), control(dialog, kOk));
        dialog.reject();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
}

}  // namespace
}  // namespace orv::test::params
