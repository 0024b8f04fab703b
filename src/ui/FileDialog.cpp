#include "ui/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace orv::ui {

namespace {
FileDialog::Answerer& answerer() {
    static FileDialog::Answerer instance;
    return instance;
}
}  // namespace

void FileDialog::setAnswerer(Answerer newAnswerer) {
    answerer() = std::move(newAnswerer);
}

QString FileDialog::matchingFilter(const QString& displayed) {
    // The dialog matches the patterns in the last parentheses and, with its filter details
    // hidden, shows only what stands before them: so a second pair carries the patterns that
    // are really used while the text keeps its own.
    static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = patterns.match(displayed);
    if (!match.hasMatch()) {
        return displayed;
    }
    QStringList used = match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    used.replaceInStrings(QRegularExpression(QStringLiteral("^\\*\\.\\*$")), QStringLiteral("*"));
    return displayed + QStringLiteral(" (") + used.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString FileDialog::ask(QWidget* parent, const Request& request) {
    if (answerer()) {
        return answerer()(request);
    }
    // Not the static QFileDialog helpers: they ignore the default suffix. Qt's own dialog, so
    // that the titles and filters are shown exactly as given on every desktop.
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const bool saving = request.mode == Mode::save;
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.title.isEmpty()) {
        dialog.setWindowTitle(request.title);
    }
    QStringList filters;
    for (const QString& filter : request.nameFilters) {
        filters.append(matchingFilter(filter));
    }
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.initialPath.isEmpty()) {
        const QFileInfo proposed(request.initialPath);
        dialog.setDirectory(proposed.absolutePath());
        dialog.selectFile(proposed.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace orv::ui
