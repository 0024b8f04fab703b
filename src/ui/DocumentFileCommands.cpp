#include "ui/DocumentFileCommands.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "document/Archive.h"
#include "document/COrvDoc.h"
#include "document/DocumentError.h"
#include "document/ParameterFile.h"
#include "resources/Strings.h"
#include "ui/FileDialog.h"
#include "ui/FileStore.h"
#include "ui/MessageBox.h"

namespace orv::ui {

namespace {

QString documentPath(const orv::COrvDoc& doc) {
    return QFile::decodeName(QByteArray::fromStdString(doc.pathName()));
}

// Not through QFileInfo: to Qt a name starting with ':' is a resource and already absolute,
// where here it is a file in the current folder like any other.
QString absoluteCleanPath(const QString& path) {
    return QDir::cleanPath(
        path.startsWith(QLatin1Char('/')) ? path : QDir::currentPath() + QLatin1Char('/') + path);
}

// The name the caption, the question and the recent files show for a file.
QString displayTitle(const QString& path) {
    return QFileInfo(path).fileName();
}

FileDialog::Request documentRequest(FileDialog::Mode mode, const char* title) {
    return {mode,
            {QString::fromUtf8(orv::res::kDocumentFilter), QString::fromUtf8(orv::res::kAllFiles)},
            QString::fromUtf8(orv::res::kDocumentSuffix),
            QString::fromUtf8(title),
            {}};
}

// Shown while the disk is busy; gone before any message appears.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

DocumentFileCommands::DocumentFileCommands(orv::COrvDoc& doc, QWidget* owner)
    : doc_(doc), owner_(owner) {}

QString DocumentFileCommands::fullPath(const QString& text) {
    QString name = text;
    if (name.startsWith(QLatin1Char('"'))) {
        name.remove(0, 1);
    }
    if (const qsizetype quote = name.lastIndexOf(QLatin1Char('"')); quote >= 0) {
        name.truncate(quote);
    }
    const QString absolute = absoluteCleanPath(name);
    // A symbolic link stands for the file it points to, as a shortcut would; one that points
    // nowhere keeps its own name, for the error to show.
    const QString resolved = QFileInfo(absolute).canonicalFilePath();
    return resolved.isEmpty() ? absolute : resolved;
}

bool DocumentFileCommands::SaveModified() {
    if (!doc_.isModified()) {
        return true;
    }
    const QString path = documentPath(doc_);
    QString name = path.isEmpty() ? QString::fromStdString(doc_.title()) : displayTitle(path);
    if (name.isEmpty()) {
        name = QString::fromUtf8(orv::res::kUntitled);
    }
    const auto answer =
        MessageBox::show(owner_, QString::fromUtf8(orv::res::kSaveChangesQuestion).arg(name),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    switch (answer) {
        case QMessageBox::Yes:
            return OnFileSave();
        case QMessageBox::No:
            return true;
        default:
            return false;
    }
}

bool DocumentFileCommands::OnFileNew() {
    if (!SaveModified()) {
        return false;
    }
    doc_.setTitle(orv::res::kUntitled);
    doc_.ResetToDefaults();
    return true;
}

void DocumentFileCommands::OnFileOpen() {
    const QString chosen =
        FileDialog::ask(owner_, documentRequest(FileDialog::Mode::open, orv::res::kOpenTitle));
    if (!chosen.isEmpty()) {
        OpenDocumentFile(chosen);
    }
}

OpenOutcome DocumentFileCommands::OpenDocumentFile(const QString& text) {
    const QString path = fullPath(text);
    if (!doc_.pathName().empty() && path == documentPath(doc_)) {
        if (QWidget* frame = owner_->window(); frame->isVisible()) {
            frame->raise();
            frame->activateWindow();
        }
        return OpenOutcome::opened;
    }
    if (!SaveModified()) {
        return OpenOutcome::declined;
    }
    // Taken after the question, whose Yes may have saved the document under a new name.
    const bool wasModified = doc_.isModified();
    doc_.setModified(false);
    switch (load(path)) {
        case LoadOutcome::loaded:
            break;
        case LoadOutcome::notOpened:
            doc_.setModified(wasModified);
            return OpenOutcome::failed;
        case LoadOutcome::stopped:
            doc_.setModified(wasModified);
            return OpenOutcome::declined;
        case LoadOutcome::readFailed:
            // The block is partly overwritten: nothing of the old document is left to keep.
            doc_.setTitle(orv::res::kUntitled);
            doc_.ResetToDefaults();
            return OpenOutcome::failed;
    }
    setPathName(path);
    return OpenOutcome::opened;
}

DocumentFileCommands::LoadOutcome DocumentFileCommands::load(const QString& path) {
    std::vector<std::uint8_t> bytes;
    try {
        WaitCursor busy;
        // Everything the document needs is read before any of it is touched, so a file that
        // cannot be read leaves the document as it was.
        bytes = orv::readParameterFileBytes(QFile::encodeName(path).toStdString());
    } catch (const std::exception& failure) {
        report(failure, path, orv::kFailedToOpenDocument);
        return LoadOutcome::notOpened;
    }
    doc_.setModified(true);
    if (!bytes.empty()) {  // a zero-length file is taken as it is: nothing to read
        const orv::ParameterBlock before = doc_.parameters();
        try {
            orv::Archive archive = orv::Archive::forLoading(bytes);
            if (doc_.TransferParameters(archive) == orv::RenderOutcome::stopped) {
                doc_.parameters() = before;
                return LoadOutcome::stopped;
            }
        } catch (const std::exception& failure) {
            report(failure, path, orv::kFailedToOpenDocument);
            return LoadOutcome::readFailed;
        }
    }
    doc_.setModified(false);
    return LoadOutcome::loaded;
}

bool DocumentFileCommands::OnFileSave() {
    const QString path = documentPath(doc_);
    if (path.isEmpty() || isReadOnlyFile(path)) {
        return DoSave({});
    }
    return DoSave(path);
}

bool DocumentFileCommands::OnFileSaveAs() {
    return DoSave({});
}

bool DocumentFileCommands::DoSave(QString path) {
    if (path.isEmpty()) {
        FileDialog::Request request =
            documentRequest(FileDialog::Mode::save, orv::res::kSaveAsTitle);
        request.initialPath = proposedName();
        path = FileDialog::ask(owner_, request);
        if (path.isEmpty()) {
            return false;
        }
    }
    if (!store(path)) {
        return false;
    }
    setPathName(path);
    return true;
}

bool DocumentFileCommands::store(const QString& path) {
    orv::Archive archive = orv::Archive::forStoring();
    doc_.TransferParameters(archive);
    try {
        WaitCursor busy;
        storeFile(path, archive.bytes());
    } catch (const std::exception& failure) {
        report(failure, path, orv::kFailedToSaveDocument);
        return false;
    }
    doc_.setModified(false);
    return true;
}

void DocumentFileCommands::setPathName(const QString& path) {
    const QString full = absoluteCleanPath(path);
    doc_.setPathName(QFile::encodeName(full).toStdString());
    doc_.setTitle(displayTitle(full).toStdString());
    if (addRecent_) {
        addRecent_(full);
    }
}

QString DocumentFileCommands::proposedName() const {
    const QString path = documentPath(doc_);
    if (!path.isEmpty()) {
        return path;
    }
    // The title up to the first character a file name should not start a suffix with.
    QString name = QString::fromStdString(doc_.title());
    static const QString kStops = QStringLiteral(" #%;/\\");
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (kStops.contains(name[i])) {
            name.truncate(i);
            break;
        }
    }
    return name + QLatin1Char('.') + QString::fromUtf8(orv::res::kDocumentSuffix);
}

void DocumentFileCommands::report(const std::exception& failure, const QString& path,
                                  const char* defaultMessage) {
    try {
        const std::string message =
            orv::failureMessage(failure, QFile::encodeName(path).toStdString(), defaultMessage);
        MessageBox::show(owner_, QFile::decodeName(QByteArray::fromStdString(message)));
    } catch (...) {
        // Nothing more can be said when saying it fails.
    }
}

}  // namespace orv::ui
