#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

namespace orv::ui {

// A limit on what the user may put into a line edit, as a classic edit control's text limit
// behaves: an insertion (typed or pasted) is cut to the room left under the limit and refused
// when none of it fits; deleting is always allowed. Text the program sets through
// setTextUnlimited is kept whole, however long, which QLineEdit::setMaxLength would not do.
class EditLengthLimit : public QValidator {
    Q_OBJECT
public:
    // Installs itself as the edit's validator; owned by the edit.
    EditLengthLimit(QLineEdit* edit, int limit);

    State validate(QString& input, int& pos) const override;

    // Sets the text as the program rather than the user: whatever validator the edit has is not
    // consulted.
    static void setTextUnlimited(QLineEdit* edit, const QString& text);

private:
    int limit_;
    QString current_;  // the text before the change being validated
};

}  // namespace orv::ui
