#pragma once
// A push button of 1 to 4 states drawn from a frame strip. It changes state when the
// left button goes down and tells the editor at once; the release may change it again
// (4 states) without a notification. A button with control id 0 is inert.

#include "editor/CDlgElem.h"

#include <array>

namespace brimtone::editor {

class CLedButton final : public CDlgElem {
public:
    // states outside 1 .. 4 are limited to that range; the frame height is the image
    // height / states (integer division).
    void create(const ControlContext& context, int x, int y, int imageId, int controlId, int states);

    // 4 states keep the pressed bit (bit 1) and take bit 0 from v; others take v & 1.
    void setState(int v);
    int state() const { return state_; }
    int controlId() const { return controlId_; }

    const char* className() const override { return "CLedButtonWindowClass"; }

private:
    void onPaint(const Canvas& canvas) override;
    void onMouse(const MouseEvent& event, MouseCapture& capture) override;
    void releasePictures() override { strip_ = {}; }

    int controlId_ = 0;
    int state_ = 0;
    int states_ = 1;
    std::array<int, 4> pressNext_{};
    std::array<int, 4> releaseNext_{};
    Image strip_;
    EditorNotifications* notifications_ = nullptr;
};

} // namespace brimtone::editor
