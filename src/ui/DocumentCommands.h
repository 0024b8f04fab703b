#pragma once

class QWidget;

namespace orv {
class COrvDoc;
}

namespace orv::ui {

// The document's two GUI commands. The document itself stays free of Qt; this is where its
// commands meet the dialogs. `owner` is the window the dialogs and messages belong to.
class DocumentCommands {
public:
    DocumentCommands(orv::COrvDoc& doc, QWidget* owner);

    // Edits the parameters; after OK marks the document modified if they changed and renders.
    // Any other ending leaves the document exactly as it was.
    void OnParameters();

    // Exports the picture as a BMP file; does nothing while there is no picture.
    void OnSaveAsBmp();

private:
    orv::COrvDoc& doc_;
    QWidget* owner_;
};

}  // namespace orv::ui
