#pragma once
// A static picture over the panel (the channel nameplates), blended at paint time.

#include "editor/CDlgElem.h"

#include <memory>

namespace brimtone::editor {

class CLedIcon final : public CDlgElem {
public:
    // The image gives the size.
    void create(const ControlContext& context, int imageId, int x, int y);

    const char* className() const override { return "CLedIconWindowClass"; }

private:
    void onPaint(const Canvas& canvas) override;
    void releasePictures() override;

    std::shared_ptr<const Image> icon_;
    Image patch_;
    unsigned opacity_ = 255;
};

} // namespace brimtone::editor
