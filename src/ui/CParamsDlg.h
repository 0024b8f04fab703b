#pragma once

#include <QDialog>

#include "document/ParameterBlock.h"
#include "ui/DialogUnits.h"

namespace orv::ui {

struct ExchangeContext;

// The Parameters dialog, "Параметры СИФ": the only place where the user edits the block.
class CParamsDlg : public QDialog {
    Q_OBJECT
public:
    // Edits `block` in place: the dialog's exchange variables are the block itself.
    explicit CParamsDlg(orv::ParameterBlock& block, QWidget* parent = nullptr);

    // exec() returns QDialog::Accepted after a complete save pass, QDialog::Rejected on
    // Cancel/Escape/close box, -1 if the opening pass fails. Each run starts from the block as
    // it then is, including whatever an earlier refused OK wrote into it. Run the dialog with
    // exec(): that is where the controls are filled, before the dialog is shown.
    int exec() override;

    // OK and Enter: a save pass, and the dialog ends only when the pass completes.
    void accept() override;

    // The block as the opening pass left it (flags outside 0..2 already cleared). A run that
    // does not end with OK restores this, undoing whatever a refused OK wrote.
    const orv::ParameterBlock& openedBlock() const { return opened_; }

    // The control with this template id, or null.
    QWidget* control(int id) const;

    // The pixels per dialog unit the layout was made with.
    DialogBaseUnits baseUnits() const { return baseUnits_; }

    // One pass over the whole block in the context's direction; throws ExchangeFailed (after
    // telling the user) at the first refusal.
    void ExchangeParameters(ExchangeContext& context);

    // Runs once the controls exist, before the dialog is shown: fills them from the block and
    // sets the enabling and the input limits. False when the opening pass failed.
    bool InitControls();

private slots:
    void OnAutoIterationsClicked();

private:
    void createControls();
    // True when the pass completed; a failure has been reported to the user by then.
    bool runExchange(bool saving);
    void centreOnScreen();

    orv::ParameterBlock& block_;
    orv::ParameterBlock opened_;
    DialogBaseUnits baseUnits_;
};

}  // namespace orv::ui
