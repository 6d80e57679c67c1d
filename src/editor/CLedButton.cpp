#include "editor/CLedButton.h"

#include <algorithm>

namespace brimtone::editor {

void CLedButton::create(const ControlContext& context, int x, int y, int imageId, int controlId, int states)
{
    if (hasView())
        return;
    controlId_ = controlId;
    notifications_ = context.notifications;
    states_ = std::clamp(states, 1, 4);
    // Two states toggle on the press; four are off, on, on-pressed-going-off and
    // off-pressed-going-on, bit 0 the state after the release; three have no table.
    pressNext_ = {};
    releaseNext_ = {};
    if (states_ == 2) {
        pressNext_ = {1, 0, 0, 0};
        releaseNext_ = {0, 1, 0, 0};
    } else if (states_ == 4) {
        pressNext_ = {3, 2, 2, 3};
        releaseNext_ = {0, 1, 0, 1};
    }
    strip_ = placeOver(context, context.images.image(imageId).get(), x, y, states_, "CLedButton::LoadBitmaps");
}

void CLedButton::setState(int v)
{
    state_ = states_ == 4 ? (state_ & 2) | (v & 1) : v & 1;
    invalidate();
}

void CLedButton::onPaint(const Canvas& canvas)
{
    copyPixels(canvas, 0, 0, strip_, {0, state_ * height(), width(), (state_ + 1) * height()});
}

void CLedButton::onMouse(const MouseEvent& event, MouseCapture& capture)
{
    // Double clicks are not handled: a quick second press leaves the state alone.
    if (controlId_ == 0 || event.button != MouseButton::Left)
        return;
    if (event.action == MouseAction::Press) {
        int next = pressNext_[state_];
        if (next != state_) {
            state_ = next;
            if (notifications_)
                notifications_->buttonChanged(controlId_, next);
        }
        capture.setCapture(*this);
        invalidate();
    } else if (event.action == MouseAction::Release) {
        state_ = releaseNext_[state_];
        capture.releaseCapture();
        invalidate();
    }
}

} // namespace brimtone::editor
