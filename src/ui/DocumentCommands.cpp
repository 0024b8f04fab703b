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
    if (orv::parametersChanged(snapshot, block)) {
        doc_.setModified(true);
    }
    try {
        doc_.Render();
    } catch (const std::bad_alloc&) {
        MessageBox::show(owner_, QString::fromUtf8(orv::res::kOutOfMemory));
    } catch (const std::exception&) {
        MessageBox::show(owner_, QString::fromUtf8(orv::res::kInternalError));
    }
}

void DocumentCommands::OnSaveAsBmp() {
    const orv::MonochromePicture* picture = doc_.picture();
    if (picture == nullptr) {
        return;
    }
    const QString path = FileDialog::getSaveFileName(
        owner_,
        {QString::fromUtf8(orv::res::kBmpFilter), QString::fromUtf8(orv::res::kAllFilesFilter)},
        QString::fromUtf8(orv::res::kBmpSuffix));
    if (path.isEmpty()) {
        return;
    }
    try {
        orv::writeBmp(*picture, QFile::encodeName(path).toStdString());
    } catch (const orv::FileError& failure) {
        MessageBox::show(owner_, QFile::decodeName(failure.what()));
    } catch (const std::bad_alloc&) {
        MessageBox::show(owner_, QString::fromUtf8(orv::res::kOutOfMemory));
    }
}

}  // namespace orv::ui
