#pragma once

#include <memory>

#include "document/COrvDoc.h"

namespace orv::ui {
class CMainFrame;
}

namespace orv::app {

// The application object: owns the one document and the main frame. A QApplication must exist
// before InitInstance.
class COrvApp {
public:
    COrvApp();
    ~COrvApp();

    // Start-up: names the program, makes a new document and shows the main frame.
    bool InitInstance();

    orv::COrvDoc& document() { return doc_; }
    orv::ui::CMainFrame* mainFrame() const { return frame_.get(); }

private:
    orv::COrvDoc doc_;  // declared first: the frame holds on to it until it goes
    std::unique_ptr<orv::ui::CMainFrame> frame_;
};

}  // namespace orv::app
