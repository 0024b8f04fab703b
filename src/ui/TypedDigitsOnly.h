#pragma once

#include <QObject>

class QLineEdit;

namespace orv::ui {

// Makes a line edit refuse every typed character that is not a decimal digit, as a classic
// numeric edit does. Only typing is filtered: pasted or program-set text goes in unchecked, and
// the dialog's own parsing judges it.
class TypedDigitsOnly : public QObject {
    Q_OBJECT
public:
    // Installs the filter on `edit`, which owns it.
    explicit TypedDigitsOnly(QLineEdit* edit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace orv::ui
