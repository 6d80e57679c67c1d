#include "editor/CSlider.h"

#include <algorithm>

namespace brimtone::editor {

void CSlider::create(const ControlContext& context, int x, int y, int firstImageId, int secondImageId, bool horizontal,
                     const SliderBarSettings& bar0, const SliderBarSettings& bar1)
{
    if (hasView())
        return;
    horizontal_ = horizontal;
    bars_[0].settings = bar0;
    bars_[1].settings = bar1;
    barCount_ = bar1.left == 0 && bar1.right == 0 ? 1 : 2;
    loadPictures(context, firstImageId, secondImageId, x, y);
}

bool CSlider::loadPictures(const ControlContext& context, int firstImageId, int secondImageId, int x, int y)
{
    first_ = placeOver(context, context.images.image(firstImageId).get(), x, y, 1, "CSlider::LoadBitmaps");
    if (!hasView())
        return false;
    if (auto thumb = context.images.image(secondImageId))
        second_ = *thumb;
    return true;
}

void CSlider::releasePictures()
{
    first_ = {};
    second_ = {};
}

void CSlider::refresh()
{
    for (int b = 0; b < barCount_; ++b) {
        if (bars_[b].value != bars_[b].paintedValue)
            invalidate();
    }
}

int CSlider::segmentIndex(const Bar& bar)
{
    int steps = bar.settings.steps;
    return std::min(static_cast<int>(bar.value * 0.01 * (steps + 1)), steps);
}

float CSlider::segmentLength(const Bar& bar, bool horizontal)
{
    const SliderBarSettings& s = bar.settings;
    if (s.steps <= 0)
        return 0;
    return static_cast<float>(horizontal ? s.right - s.left : s.bottom - s.top) / static_cast<float>(s.steps);
}

void CSlider::onPaint(const Canvas& canvas)
{
    if (!second_.empty()) {
        copyPixels(canvas, 0, 0, first_, first_.bounds());
        for (int b = 0; b < barCount_; ++b) {
            const SliderBarSettings& s = bars_[b].settings;
            float offset = static_cast<float>(segmentIndex(bars_[b])) * segmentLength(bars_[b], horizontal_);
            int tx = horizontal_ ? static_cast<int>(offset + static_cast<float>(s.left)) : s.left;
            int ty = horizontal_ ? s.top : static_cast<int>(static_cast<float>(s.bottom) - offset);
            blendPixels(canvas, tx, ty, second_, second_.bounds(), 255);
        }
    }
    for (Bar& bar : bars_)
        bar.paintedValue = bar.value;
}

void CSlider::startDrag(int bar, int pos, MouseCapture& capture)
{
    Bar& other = bars_[1 - bar];
    if (other.anchor != -1) {
        bars_[bar].anchor = other.anchor;
        return;
    }
    capture.setCapture(*this);
    bars_[bar].anchor = bars_[bar].value - (pos >> dragShift_);
}

void CSlider::dragTo(const MouseEvent& event)
{
    for (int b = 0; b < barCount_; ++b) {
        Bar& bar = bars_[b];
        const SliderBarSettings& s = bar.settings;
        if (s.mouseDisabled || bar.anchor == -1)
            continue;
        // The position sets the value absolutely, the thumb centred on the pointer;
        // vertical bars count up from the bottom.
        int next = horizontal_ ? (event.x - second_.width() / 2) * 100 / std::max(s.right - s.left, 1)
                               : (s.bottom - event.y - second_.height() / 2) * 100 / std::max(s.bottom - s.top, 1);
        if (!event.shift || next % 10 == 0)
            bar.value = clampPercent(next);
    }
}

void CSlider::onMouse(const MouseEvent& event, MouseCapture& capture)
{
    int bar = event.button == MouseButton::Right ? 1 : 0;
    int pos = horizontal_ ? event.x : -event.y;
    switch (event.action) {
    case MouseAction::Press:
        if (event.ctrl) {
            setBarValue(bar, 50);
            if (bar == 0)
                return;
        }
        startDrag(bar, pos, capture);
        break;
    case MouseAction::DoubleClick:
        if (bar != 0)
            return;
        if (event.ctrl)
            setBarValue(0, 50);
        else
            bars_[0].anchor = 0;
        dragTo(event);
        break;
    case MouseAction::Move:
        dragTo(event);
        break;
    case MouseAction::Release:
        if (event.button == MouseButton::None)
            return;
        bars_[bar].anchor = -1;
        if (bars_[1 - bar].anchor == -1)
            capture.releaseCapture();
        break;
    case MouseAction::Wheel:
        break;
    }
}

bool CMeter::loadPictures(const ControlContext& context, int firstImageId, int secondImageId, int x, int y)
{
    first_ = placeOver(context, context.images.image(firstImageId).get(), x, y, 1, "CMeter::LoadBitmaps");
    if (!hasView())
        return false;
    second_ = ComposeOverBackground(context.background, context.images.image(secondImageId).get(), x, y, width(),
                                    height(), 1, 255);
    return true;
}

void CMeter::onPaint(const Canvas& canvas)
{
    copyPixels(canvas, 0, 0, first_, first_.bounds());
    for (int b = 0; b < barCount_; ++b) {
        const SliderBarSettings& s = bars_[b].settings;
        float step = segmentLength(bars_[b], horizontal_);
        float offset = static_cast<float>(segmentIndex(bars_[b])) * step;
        Rect litArea;
        if (horizontal_) {
            float pos = offset + static_cast<float>(s.left);
            litArea = {s.fill ? s.left : static_cast<int>(pos - step), s.top, static_cast<int>(pos), s.bottom};
        } else {
            float pos = static_cast<float>(s.bottom) - offset;
            litArea = {s.left, static_cast<int>(pos), s.right, s.fill ? s.bottom : static_cast<int>(pos + step)};
        }
        if (!litArea.empty())
            copyPixels(canvas, litArea.left, litArea.top, second_, litArea);
    }
    for (Bar& bar : bars_)
        bar.paintedValue = bar.value;
}

SliderBarSettings editorMeterBar(int bar) { return {bar == 0 ? 0 : 15, bar == 0 ? 8 : 23, 1, 175, true, 31, true}; }

} // namespace brimtone::editor
