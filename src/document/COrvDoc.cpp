#include "document/COrvDoc.h"

#include "document/ParameterFile.h"
#include "render/RasterIteration.h"

namespace orv {

COrvDoc::COrvDoc() : block_(defaultParameters()) {}

bool COrvDoc::ResetToDefaults() {
    pathName_.clear();
    modified_ = false;
    block_ = defaultParameters();
    picture_.reset();
    updateAllViews();
    return true;
}

RenderOutcome COrvDoc::TransferParameters(Archive& archive) {
    if (archive.isStoring()) {
        storeParameters(block_, archive);
        return RenderOutcome::completed;
    }
    loadParameters(block_, archive);
    return Render();
}

RenderOutcome COrvDoc::Render() {
    RenderProgress silent;
    auto picture = renderPicture(block_, progress_ ? *progress_ : silent);
    if (!picture) {
        return RenderOutcome::stopped;
    }
    picture_ = std::make_unique<MonochromePicture>(std::move(*picture));
    side_ = picture_->side();
    shift_ = shiftForSizeIndex(block_.sizeIndex);
    updateAllViews();
    return RenderOutcome::completed;
}

void COrvDoc::setTitle(std::string title) {
    title_ = std::move(title);
    if (updateTitle_) {
        updateTitle_();
    }
}

void COrvDoc::updateAllViews() const {
    if (updateViews_) {
        updateViews_();
    }
}

}  // namespace orv
