#pragma once

#include <QStringList>
#include <memory>

#include "app/CRecentFileList.h"
#include "document/COrvDoc.h"

namespace orv::ui {
class CMainFrame;
}

namespace orv::app {

struct CCommandLineInfo;

// The application object: owns the one document, the main frame, the recent-file list and the
// profile settings, carries out the command line, and handles the commands that are not the
// document's (New, Open, the recent files, About). A QApplication must exist before
// InitInstance.
class COrvApp {
public:
    COrvApp();
    ~COrvApp();
    COrvApp(const COrvApp&) = delete;
    COrvApp& operator=(const COrvApp&) = delete;

    // Start-up: names the program, reads the profile, carries out the command line and shows
    // the main window. False when the program is to end at once (a file that failed to open,
    // the print and unregister switches); ExitInstance still runs then.
    bool InitInstance(const QStringList& arguments);

    // The exit steps: the profile is written back, unless the unregister switch removed it.
    // Returns the program's exit status.
    int ExitInstance();

    void OnFileNew();
    void OnFileOpen();
    // Opens recent file `index`; one that fails to open leaves the list.
    void OnOpenRecentFile(int index);
    void OnAppAbout();

    // The session is ending: true when the program may go. A modified document is asked about
    // when `mayAsk`; without that permission it is kept, and the program asks to stay.
    bool QueryEndSession(bool mayAsk);

    orv::COrvDoc& document() { return doc_; }
    orv::ui::CMainFrame* mainFrame() const { return frame_.get(); }
    const CRecentFileList& recentFiles() const { return recentFiles_; }

private:
    void LoadStdProfileSettings();
    void SaveStdProfileSettings() const;
    bool ProcessShellCommand(const CCommandLineInfo& info);
    // The frame and a new untitled document in it, not shown yet.
    void createFrame();
    void OnApplicationCommand(int commandId);

    orv::COrvDoc doc_;  // declared first: the frame holds on to it until it goes
    std::unique_ptr<orv::ui::CMainFrame> frame_;
    CRecentFileList recentFiles_;
    int previewPages_ = 0;
    bool unregistered_ = false;  // the profile is gone and must not be written again
    int exitStatus_ = 0;
};

}  // namespace orv::app
