#pragma once

#include <QGroupBox>

namespace orv::ui {

// A dialog's group frame in the classic look: an etched rectangle whose top line runs through
// the middle of the title, the title breaking the line near the left corner. The styles put
// the line below the whole title instead, a good half line lower, which the dialogs' layouts
// do not leave room for: there it runs into the controls placed just under the title.
// The frame only draws; the controls it surrounds are the dialog's, not its children.
class GroupFrame : public QGroupBox {
    Q_OBJECT
public:
    GroupFrame(const QString& title, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace orv::ui
