#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace orv {
class COrvDoc;
}

namespace orv::ui {

// How an open by path ended.
enum class OpenOutcome {
    opened,    // the document shows the file (or already did)
    declined,  // the user said no: at the save question, or by stopping the render
    failed,    // the file could not be opened or read; that has been reported
};

// The document's file commands: New, Open, Save, Save As, and the question about unsaved
// changes that guards them. The document keeps its file state (path name, title, modified
// flag); this is where that state meets the file dialogs, the message boxes and the disk.
// Failures are reported here, once, in a message box over `owner`.
class DocumentFileCommands {
public:
    DocumentFileCommands(orv::COrvDoc& doc, QWidget* owner);

    // Told the full path each time the document gets one, by a load or a store.
    void setRecentFileAdder(std::function<void(const QString&)> add) {
        addRecent_ = std::move(add);
    }

    // "Save changes to <name>?" for a modified document; true when what asked may go ahead
    // (No, or Yes and the save succeeded).
    bool SaveModified();

    // A new untitled document with the default parameters; false when the question refused.
    bool OnFileNew();

    // The Open dialog, then OpenDocumentFile; a cancelled dialog asks nothing.
    void OnFileOpen();

    // Opens the file `text` names (double quotes around it allowed; symbolic links followed).
    // The document's own file is not read again.
    OpenOutcome OpenDocumentFile(const QString& text);

    // Save: to the document's file, or through Save As when it has none or may not be written.
    bool OnFileSave();
    bool OnFileSaveAs();

    // The full path `text` names: quotes dropped, made absolute, symbolic links resolved.
    static QString fullPath(const QString& text);

private:
    enum class LoadOutcome { loaded, notOpened, stopped, readFailed };

    LoadOutcome load(const QString& path);
    bool store(const QString& path);
    // Stores under `path`, or under a name asked for when it is empty, and names the document
    // after the file.
    bool DoSave(QString path);
    void setPathName(const QString& path);
    QString proposedName() const;
    void report(const std::exception& failure, const QString& path, const char* defaultMessage);

    orv::COrvDoc& doc_;
    QWidget* owner_;
    std::function<void(const QString&)> addRecent_;
};

}  // namespace orv::ui
