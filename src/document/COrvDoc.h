#pragma once

#include <functional>
#include <memory>
#include <string>

#include "document/Archive.h"
#include "document/ParameterBlock.h"
#include "render/MonochromePicture.h"
#include "render/RenderProgress.h"

namespace orv {

enum class RenderOutcome { completed, stopped };

// The document: the parameter block, the picture last rendered from it, and the file state the
// document commands keep (path name, title, modified flag). There is one per program; New and
// Open reuse it.
class COrvDoc {
public:
    COrvDoc();

    ParameterBlock& parameters() { return block_; }
    const ParameterBlock& parameters() const { return block_; }

    // The side and log2 side of the current picture. They describe the last render, not the
    // block (whose sizeIndex may have changed since); 0 before the first render.
    int side() const { return side_; }
    int shift() const { return shift_; }
    const MonochromePicture* picture() const { return picture_.get(); }

    // New document: empty path name, not modified, default parameters, no picture.
    bool ResetToDefaults();

    // Stores the block, or loads it and renders. A load failure leaves the block as far as it
    // was overwritten and raises ArchiveError (see loadParameters).
    RenderOutcome TransferParameters(Archive& archive);

    // Renders the block and replaces the picture. When the render is stopped, or cannot get its
    // memory (std::bad_alloc propagates), the document keeps its old picture, side and shift.
    // Ends by telling the views to update.
    RenderOutcome Render();

    // Where renders report progress; none by default. Not owned.
    void setRenderProgress(RenderProgress* progress) { progress_ = progress; }
    // Called whenever the picture changes or goes (the views' redraw).
    void setViewUpdater(std::function<void()> updater) { updateViews_ = std::move(updater); }
    // Called whenever the title is set (the frame's caption).
    void setTitleUpdater(std::function<void()> updater) { updateTitle_ = std::move(updater); }

    // The file the document was last loaded from or stored to, as the file system names it
    // (bytes, not necessarily UTF-8); empty when there is none.
    const std::string& pathName() const { return pathName_; }
    void setPathName(std::string path) { pathName_ = std::move(path); }
    // What the caption and the save question call the document (UTF-8): "Untitled" or the
    // file's name.
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    bool isModified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }

private:
    void updateAllViews() const;

    ParameterBlock block_;
    int side_ = 0;
    int shift_ = 0;
    std::unique_ptr<MonochromePicture> picture_;

    std::string pathName_;
    std::string title_;
    bool modified_ = false;

    RenderProgress* progress_ = nullptr;
    std::function<void()> updateViews_;
    std::function<void()> updateTitle_;
};

}  // namespace orv
