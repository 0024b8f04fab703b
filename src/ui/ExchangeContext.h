#pragma once

#include <QString>
#include <cstdint>

class QLineEdit;
class QWidget;

namespace orv::ui {

// Dialog controls are the dialog's direct children carrying their template id in this property
// (-1 for frames and labels that have none). Their creation order is the template order, which
// is what the radio exchange walks.
inline constexpr char kControlIdProperty[] = "controlId";
// Set on the control that opens a group; a radio group runs up to the next one.
inline constexpr char kGroupStartProperty[] = "groupStart";
// What the opening pass wrote into a number edit, and the value it came from (see
// ExchangeDouble).
inline constexpr char kOpenedTextProperty[] = "openedText";
inline constexpr char kOpenedValueProperty[] = "openedValue";

QWidget* findControl(const QWidget* dialog, int id);

// Ends an exchange pass once the refusal has been reported to the user.
struct ExchangeFailed {};

// One exchange pass between a dialog's controls and its fields.
struct ExchangeContext {
    bool saving = false;  // controls to fields (OK) rather than fields to controls (opening)
    QWidget* dialog = nullptr;
    QWidget* lastControl = nullptr;  // where a refusal sends the focus
    bool lastWasEdit = false;        // then its text is selected too

    // Looks the control up and makes it the one a refusal points at. A missing id is a
    // programming error and ends the pass with std::logic_error.
    QWidget* PrepareControl(int id);
    QLineEdit* PrepareEdit(int id);

    // Shows `message`, focuses the last prepared control (selecting its text when it is an edit)
    // and abandons the pass by throwing ExchangeFailed. A disabled control is enabled first:
    // otherwise neither the focus nor the user could reach what has to be mended.
    [[noreturn]] void FailExchange(const QString& message);
};

// The exchange primitives. In the saving direction each writes its field as soon as the control
// is read and parsed, before any range check, so a refused value is already in the field.
void ExchangeCheck(ExchangeContext& context, int id, std::int32_t& value);
void ExchangeInt(ExchangeContext& context, int id, std::int32_t& value);
// Numbers are shown with 15 significant digits, so reading the text back would round a value
// that needs more (1/3, 0.1 + 0.2). An edit still holding exactly the text the opening pass
// wrote therefore gives back the value it was opened with, whatever a refused OK has written
// into the field since; any other text is parsed.
void ExchangeDouble(ExchangeContext& context, int id, double& value);
// `id` is the group's first button; the field is the position of the checked button among the
// group's radio buttons in template order. With no button checked (only when the field came in
// naming none) the field is left as it is rather than set to -1.
void ExchangeRadio(ExchangeContext& context, int id, std::int32_t& value);
// Range checks refer to the last prepared control and do nothing when opening, so values out of
// range are shown as they are.
void CheckIntRange(ExchangeContext& context, std::int32_t value, std::int32_t min,
                   std::int32_t max);
void CheckDoubleRange(ExchangeContext& context, double value, double min, double max);

}  // namespace orv::ui
