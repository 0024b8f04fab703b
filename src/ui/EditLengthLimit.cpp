#include "ui/EditLengthLimit.h"

#include <QLineEdit>
#include <QPointer>
#include <algorithm>

namespace orv::ui {

EditLengthLimit::EditLengthLimit(QLineEdit* edit, int limit)
    : QValidator(edit), limit_(limit), current_(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { current_ = text; });
    edit->setValidator(this);
}

QValidator::State EditLengthLimit::validate(QString& input, int& pos) const {
    if (input.size() <= limit_) {
        return Acceptable;
    }
    // Find what the change inserted and what it kept. After typing or pasting the cursor
    // stands right behind the inserted text, so what follows it was there before; when that
    // does not hold (undo, for one) fall back to the longest common tail.
    qsizetype tail = input.size() - pos;
    if (tail < 0 || tail > current_.size() || current_.right(tail) != input.right(tail)) {
        tail = 0;
        while (tail < current_.size() && tail < input.size() &&
               current_[current_.size() - 1 - tail] == input[input.size() - 1 - tail]) {
            ++tail;
        }
    }
    const qsizetype headLimit = std::min(current_.size(), input.size()) - tail;
    qsizetype head = 0;
    while (head < headLimit && current_[head] == input[head]) {
        ++head;
    }
    const qsizetype inserted = input.size() - tail - head;
    const qsizetype kept = head + tail;
    const qsizetype room = std::max<qsizetype>(0, limit_ - kept);
    if (inserted <= room) {
        return Acceptable;  // a deletion, or an insertion that fits
    }
    if (room == 0) {
        return Invalid;
    }
    input.remove(head + room, inserted - room);
    pos = static_cast<int>(head + room);
    return Acceptable;
}

void EditLengthLimit::setTextUnlimited(QLineEdit* edit, const QString& text) {
    const QPointer<const QValidator> validator = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(text);
    // A text longer than the box shows its beginning, as a freshly filled edit does, not its
    // end where setText leaves the cursor.
    edit->setCursorPosition(0);
    edit->setValidator(validator);
}

}  // namespace orv::ui
