#include "ui/FileDialog.h"

#include <QFileDialog>

namespace orv::ui {

namespace {
FileDialog::Answerer& answerer() {
    static FileDialog::Answerer instance;
    return instance;
}
}  // namespace

QString FileDialog::getSaveFileName(QWidget* parent, const QStringList& nameFilters,
                                    const QString& defaultSuffix) {
    return ask(parent, {Mode::save, nameFilters, defaultSuffix});
}

QString FileDialog::getOpenFileName(QWidget* parent, const QStringList& nameFilters,
                                    const QString& defaultSuffix) {
    return ask(parent, {Mode::open, nameFilters, defaultSuffix});
}

void FileDialog::setAnswerer(Answerer newAnswerer) {
    answerer() = std::move(newAnswerer);
}

QString FileDialog::ask(QWidget* parent, const Request& request) {
    if (answerer()) {
        return answerer()(request);
    }
    // Not the static QFileDialog helpers: they ignore the default suffix.
    QFileDialog dialog(parent);
    const bool saving = request.mode == Mode::save;
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(request.nameFilters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace orv::ui
