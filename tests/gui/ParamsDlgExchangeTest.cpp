#include <QLineEdit>
#include <QWidget>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "ParamsDlgHarness.h"
#include "ui/ExchangeContext.h"

namespace orv::test::params {
namespace {

using orv::ui::ExchangeContext;
using orv::ui::ExchangeFailed;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A form with one edit, id 10, for the primitives on their own: the dialog itself can never
// hand CheckDoubleRange a NaN or a bound other than its own.
struct OneEditForm {
    OneEditForm() {
        field->setProperty(orv::ui::kControlIdProperty, 10);
        context.saving = true;
        context.dialog = &form;
    }
    QWidget form;
    QLineEdit* field = new QLineEdit(&form);
    ExchangeContext context;
};

TEST(ParamsDlgExchange, DoubleRangeIsInclusiveAndRefusesNaN) {
    const struct {
        double value;
        bool refused;
    } cases[] = {{-1.5, false},     {0.0, false},      {2.5, false},       {-1.5000001, true},
                 {2.5000001, true}, {kInfinity, true}, {-kInfinity, true}, {kNaN, true}};
    for (const auto& c : cases) {
        OneEditForm form;
        MessageLog messages;
        form.context.PrepareEdit(10);
        bool refused = false;
        try {
            orv::ui::CheckDoubleRange(form.context, c.value, -1.5, 2.5);
        } catch (const ExchangeFailed&) {
            refused = true;
        }
        EXPECT_EQ(refused, c.refused) << c.value;
        EXPECT_EQ(messages.texts, c.refused
                                      ? QStringList{"Please enter a number between -1.5 and 2.5."}
                                      : QStringList())
            << c.value;
    }
}

TEST(ParamsDlgExchange, RangeMessagesWriteTheirBoundsAsNumbersAreShown) {
    const struct {
        std::function<void(ExchangeContext&)> check;
        QString message;
    } cases[] = {
        {[](ExchangeContext& c) { orv::ui::CheckIntRange(c, 0, -5, -1); },
         "Please enter an integer between -5 and -1."},
        {[](ExchangeContext& c) {
             orv::ui::CheckIntRange(c, 0, std::numeric_limits<std::int32_t>::min() + 1, -1);
         },
         "Please enter an integer between -2147483647 and -1."},
        {[](ExchangeContext& c) { orv::ui::CheckDoubleRange(c, 1.0, 1e-5, 0.5); },
         "Please enter a number between 1e-005 and 0.5."},
        {[](ExchangeContext& c) { orv::ui::CheckDoubleRange(c, 0.0, 1.0 / 3.0, 1e15); },
         "Please enter a number between 0.333333333333333 and 1e+015."},
    };
    for (const auto& c : cases) {
        OneEditForm form;
        MessageLog messages;
        form.context.PrepareEdit(10);
        EXPECT_THROW(c.check(form.context), ExchangeFailed);
        EXPECT_EQ(messages.texts, QStringList{c.message});
    }
}

TEST(ParamsDlgExchange, RangeChecksDoNothingWhileOpening) {
    OneEditForm form;
    MessageLog messages;
    form.context.saving = false;
    form.context.PrepareEdit(10);
    EXPECT_NO_THROW(orv::ui::CheckIntRange(form.context, 99, 1, 32));
    EXPECT_NO_THROW(orv::ui::CheckDoubleRange(form.context, kNaN, -1.0, 1.0));
    EXPECT_TRUE(messages.texts.isEmpty());
}

// An id the form does not have is a programming error, not the user's: it ends the pass
// without a message of its own.
TEST(ParamsDlgExchange, AMissingControlEndsThePassAsAnInternalError) {
    OneEditForm form;
    MessageLog messages;
    std::int32_t value = 1;
    EXPECT_THROW(orv::ui::ExchangeInt(form.context, 11, value), std::logic_error);
    EXPECT_THROW(orv::ui::ExchangeCheck(form.context, 10, value), std::logic_error)
        << "an edit is not a check box";
    EXPECT_TRUE(messages.texts.isEmpty());
}

}  // namespace
}  // namespace orv::test::params
