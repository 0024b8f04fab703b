#include "ui/ExchangeContext.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <stdexcept>
#include <utility>
#include <vector>

#include "document/NumberText.h"
#include "ui/EditLengthLimit.h"
#include "ui/MessageBox.h"

namespace orv::ui {

namespace {

QList<QWidget*> templateOrder(const QWidget* dialog) {
    QList<QWidget*> controls;
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property(kControlIdProperty).isValid()) {
            controls.append(child);
        }
    }
    return controls;
}

template <typename Control>
Control* controlAs(QWidget* widget, int id) {
    auto* control = qobject_cast<Control*>(widget);
    if (control == nullptr) {
        throw std::logic_error("control " + std::to_string(id) + " has the wrong kind");
    }
    return control;
}

// The dialog reads at most kFieldTextLimit characters of an edit; the rest is never seen.
std::string fieldText(const QLineEdit* edit) {
    return edit->text().left(static_cast<qsizetype>(kFieldTextLimit)).toStdString();
}

}  // namespace

QWidget* findControl(const QWidget* dialog, int id) {
    for (QWidget* control : templateOrder(dialog)) {
        if (control->property(kControlIdProperty).toInt() == id) {
            return control;
        }
    }
    return nullptr;
}

QWidget* ExchangeContext::PrepareControl(int id) {
    QWidget* control = findControl(dialog, id);
    if (control == nullptr) {
        throw std::logic_error("the dialog has no control " + std::to_string(id));
    }
    lastControl = control;
    lastWasEdit = false;
    return control;
}

QLineEdit* ExchangeContext::PrepareEdit(int id) {
    auto* edit = controlAs<QLineEdit>(PrepareControl(id), id);
    lastWasEdit = true;
    return edit;
}

void ExchangeContext::FailExchange(const QString& message) {
    MessageBox::show(dialog, message, QMessageBox::Ok, QMessageBox::Warning);
    if (lastControl != nullptr) {
        if (!lastControl->isEnabled()) {
            // Only until its own enabling rule next runs (the count edit: a click on the
            // automatic box); whatever made it disabled keeps its state.
            lastControl->setEnabled(true);
        }
        lastControl->setFocus(Qt::OtherFocusReason);
        if (lastWasEdit) {
            static_cast<QLineEdit*>(lastControl)->selectAll();
        }
    }
    throw ExchangeFailed{};
}

void ExchangeCheck(ExchangeContext& context, int id, std::int32_t& value) {
    auto* box = controlAs<QCheckBox>(context.PrepareControl(id), id);
    if (context.saving) {
        value = box->isChecked() ? 1 : 0;
        return;
    }
    if (value < 0 || value > 2) {
        value = 0;
    }
    // A two-state box has no third state to show for 2; it shows it as set.
    box->setChecked(value != 0);
}

void ExchangeInt(ExchangeContext& context, int id, std::int32_t& value) {
    QLineEdit* edit = context.PrepareEdit(id);
    if (!context.saving) {
        EditLengthLimit::setTextUnlimited(edit, QString::fromStdString(formatInt(value)));
        return;
    }
    const auto parsed = parseIntField(fieldText(edit));
    if (!parsed) {
        context.FailExchange(QStringLiteral("Please enter an integer."));
    }
    value = *parsed;
}

void ExchangeDouble(ExchangeContext& context, int id, double& value) {
    QLineEdit* edit = context.PrepareEdit(id);
    if (!context.saving) {
        const QString text = QString::fromStdString(formatDouble(value));
        EditLengthLimit::setTextUnlimited(edit, text);
        edit->setProperty(kOpenedTextProperty, text);
        edit->setProperty(kOpenedValueProperty, value);
        return;
    }
    if (const QVariant opened = edit->property(kOpenedTextProperty);
        opened.isValid() && edit->text() == opened.toString()) {
        value = edit->property(kOpenedValueProperty).toDouble();
        return;
    }
    const auto parsed = parseDoubleField(fieldText(edit));
    if (!parsed) {
        context.FailExchange(QStringLiteral("Please enter a number."));
    }
    value = *parsed;
}

void ExchangeRadio(ExchangeContext& context, int id, std::int32_t& value) {
    QWidget* first = context.PrepareControl(id);
    const QList<QWidget*> controls = templateOrder(context.dialog);
    std::vector<QRadioButton*> group;
    for (qsizetype i = controls.indexOf(first); i < controls.size(); ++i) {
        if (controls[i] != first && controls[i]->property(kGroupStartProperty).toBool()) {
            break;
        }
        if (auto* button = qobject_cast<QRadioButton*>(controls[i])) {
            group.push_back(button);
        }
    }
    if (context.saving) {
        for (std::size_t position = 0; position < group.size(); ++position) {
            if (group[position]->isChecked()) {
                value = static_cast<std::int32_t>(position);
            }
        }
        return;
    }
    // Exclusive buttons refuse to be cleared, and a field outside the group clears them all.
    for (std::size_t position = 0; position < group.size(); ++position) {
        QRadioButton* button = group[position];
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(std::cmp_equal(position, value));
        button->setAutoExclusive(exclusive);
    }
}

void CheckIntRange(ExchangeContext& context, std::int32_t value, std::int32_t min,
                   std::int32_t max) {
    if (context.saving && (value < min || value > max)) {
        context.FailExchange(QStringLiteral("Please enter an integer between %1 and %2.")
                                 .arg(QString::fromStdString(formatInt(min)),
                                      QString::fromStdString(formatInt(max))));
    }
}

void CheckDoubleRange(ExchangeContext& context, double value, double min, double max) {
    // Written so that a NaN, which compares false with everything, is refused as well.
    if (context.saving && !(min <= value && value <= max)) {
        context.FailExchange(QStringLiteral("Please enter a number between %1 and %2.")
                                 .arg(QString::fromStdString(formatDouble(min)),
                                      QString::fromStdString(formatDouble(max))));
    }
}

}  // namespace orv::ui
