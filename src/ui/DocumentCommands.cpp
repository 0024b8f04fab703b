#include "ui/DocumentCommands.h"

#include <QFile>
#include <QStringList>
#include <new>

#include "document/COrvDoc.h"
#include "document/DocumentError.h"
#include "document/ParameterComparison.h"
#include "export/BmpWriter.h"
#include "resources/Strings.h"
#include "ui/CParamsDlg.h"
#include "ui/FileDialog.h"
#include "ui/FileStore.h"
#include "ui/MessageBox.h"

namespace orv::ui {

DocumentCommands::DocumentCommands(orv::COrvDoc& doc, QWidget* owner) : doc_(doc), owner_(owner) {}

void DocumentCommands::OnParameters() {
    orv::ParameterBlock& block = doc_.parameters();
    const orv::ParameterBlock snapshot = block;
    int result = QDialog::Rejected;
    {  // the dialog is off the screen before the render starts
        CParamsDlg dialog(block, owner_);
        result = dialog.exec();
        if (result != QDialog::Accepted) {
            // A refused OK has already written the fields before the refusal (and the refused
            // value) into the block; a cancelled run leaves the block as the dialog opened it.
            block = result == -1 ? snapshot : dialog.openedBlock();
            return;
        }
    }
    const bool wasModified = doc_.isModified();
    if (orv::parametersChanged(snapshot, block)) {
        doc_.setModified(true);
    }
    // The parameters and the picture go together: a render that does not finish takes back
    // what the dialog accepted, so the picture shown (and exported) is always the block's.
    const auto takeBack = [&] {
        block = snapshot;
        doc_.setModified(wasModified);
    };
    try {
        if (doc_.Render() == orv::RenderOutcome::stopped) {
            takeBack();
        }
    } catch (const std::bad_alloc&) {
        takeBack();
        MessageBox::show(owner_, QString::fromUtf8(orv::res::kOutOfMemory));
    } catch (const std::exception&) {
        takeBack();
        MessageBox::show(owner_, QString::fromUtf8(orv::res::kInternalError));
    }
}

void DocumentCommands::OnSaveAsBmp() {
    const orv::MonochromePicture* picture = doc_.picture();
    if (picture == nullptr) {
        return;
    }
    const QString path = FileDialog::ask(owner_, {FileDialog::Mode::save,
                                                  {QString::fromUtf8(orv::res::kBmpFilter),
                                                   QString::fromUtf8(orv::res::kAllFilesFilter)},
                                                  QString::fromUtf8(orv::res::kBmpSuffix),
                                                  {},
                                                  {}});
    if (path.isEmpty()) {
        return;
    }
    try {
        storeFile(path, orv::encodeBmp(*picture));
    } catch (const orv::FileError& failure) {
        MessageBox::show(owner_, QFile::decodeName(failure.what()));
    } catch (const std::bad_alloc&) {
        MessageBox::show(owner_, QString::fromUtf8(orv::res::kOutOfMemory));
    }
}

}  // namespace orv::ui
