#include "ui/TypedDigitsOnly.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

namespace orv::ui {

namespace {

// Control characters (Backspace, Enter, shortcuts) are not typed text and pass through.
bool typesNonDigit(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.isPrint() && !(c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    });
}

}  // namespace

TypedDigitsOnly::TypedDigitsOnly(QLineEdit* edit) : QObject(edit) {
    edit->installEventFilter(this);
}

bool TypedDigitsOnly::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool shortcut =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!shortcut && typesNonDigit(key->text())) {
            return true;
        }
    } else if (event->type() == QEvent::InputMethod) {
        if (typesNonDigit(static_cast<QInputMethodEvent*>(event)->commitString())) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace orv::ui
