#include "editor/CLedDial.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brimtone::editor {

DialSectorTable::DialSectorTable(int steps, float startAngle, float endAngle)
{
    if (steps <= 0)
        return;
    tangents_.resize(static_cast<std::size_t>(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
        float t = static_cast<float>(i) / static_cast<float>(steps);
        float a = (1 - t) * startAngle + t * endAngle;
        tangents_[i] = a <= -1.5707964f ? std::tan(a) : std::numeric_limits<float>::max();
    }
}

bool DialSectorTable::inSector(float dx, float dy, int n) const
{
    // A pixel straight above or below the centre is judged as 0.1 pixel to its right.
    while (dx == 0)
        dx += 0.1f;
    float s = dy / dx;
    const int last = steps();
    if (dx > 0)
        return s <= -tangents_[last - n];
    if (dy >= 0)
        return tangents_[0] <= s && s <= tangents_[n];
    return s <= tangents_[n];
}

DialRingSettings CLedDial::editorRing(int litImageId)
{
    return {litImageId, 21, 32, 25, -4.0142574f, 0.87266463f, true};
}

void CLedDial::create(const ControlContext& context, int x, int y, int unlitImageId, float centreX, float centreY,
                      const DialRingSettings& ring0, const DialRingSettings& ring1)
{
    if (hasView())
        return;
    centreX_ = centreX;
    centreY_ = centreY;
    rings_[0].settings = ring0;
    rings_[1].settings = ring1;
    for (Ring& ring : rings_) {
        const DialRingSettings& s = ring.settings;
        ring.innerSquared = s.innerRadius * s.innerRadius;
        ring.outerSquared = s.outerRadius * s.outerRadius;
        ring.table = DialSectorTable(s.steps, s.startAngle, s.endAngle);
    }
    unlit_ = placeOver(context, context.images.image(unlitImageId).get(), x, y, 1, "CLedDial::LoadBitmaps");
    if (!hasView())
        return;
    const int w = width();
    const int h = height();
    // Ring 0 always has a lit picture (the bare patch if its image is missing); ring 1
    // only when it names an image.
    for (int r = 0; r < 2; ++r) {
        int id = rings_[r].settings.litImageId;
        if (r == 0 || id != 0)
            rings_[r].lit
                = ComposeOverBackground(context.background, context.images.image(id).get(), x, y, w, h, 1, 255);
    }
    frame_ = Image(w, h);
}

void CLedDial::releasePictures()
{
    unlit_ = {};
    frame_ = {};
    for (Ring& ring : rings_)
        ring.lit = {};
}

void CLedDial::refresh()
{
    if (changed(0) || changed(1))
        invalidate();
}

bool CLedDial::lit(const Ring& ring, float dx, float dy) const
{
    const int steps = ring.settings.steps;
    double v = ring.value * 0.01;
    if (ring.settings.fill) {
        int n = std::min(static_cast<int>(v * (steps + 1)), steps);
        return ring.table.inSector(dx, dy, n);
    }
    int n = std::min(static_cast<int>(v * steps), steps - 1);
    return ring.table.inSector(dx, dy, n + 1) && !ring.table.inSector(dx, dy, n);
}

void CLedDial::onPaint(const Canvas& canvas)
{
    for (int py = 0; py < height(); ++py) {
        const Pixel* unlitRow = unlit_.row(py);
        Pixel* out = frame_.row(py);
        for (int px = 0; px < width(); ++px) {
            out[px] = unlitRow[px];
            float dx = static_cast<float>(px) - centreX_;
            float dy = static_cast<float>(py) - centreY_;
            float r2 = dx * dx + dy * dy;
            for (const Ring& ring : rings_) {
                if (static_cast<float>(ring.innerSquared) <= r2 && r2 <= static_cast<float>(ring.outerSquared)) {
                    // A ring without steps has no table and lights nothing.
                    if (ring.settings.steps > 0 && !ring.lit.empty() && lit(ring, dx, dy))
                        out[px] = ring.lit.at(px, py);
                    break;
                }
            }
        }
    }
    copyPixels(canvas, 0, 0, frame_, frame_.bounds());
    for (Ring& ring : rings_)
        ring.paintedValue = ring.value;
}

void CLedDial::startDrag(int ring, int y, MouseCapture& capture)
{
    Ring& other = rings_[1 - ring];
    if (other.anchor != -1) {
        rings_[ring].anchor = other.anchor; // both rings follow the same drag
        return;
    }
    capture.setCapture(*this);
    rings_[ring].anchor = (y >> dragShift_) + rings_[ring].value;
}

void CLedDial::onMouse(const MouseEvent& event, MouseCapture& capture)
{
    int ring = event.button == MouseButton::Right ? 1 : 0;
    switch (event.action) {
    case MouseAction::Press:
        if (event.ctrl) {
            setValue(ring, 50);
            if (ring == 0)
                return; // the centre setting, no drag
        }
        startDrag(ring, event.y, capture);
        break;
    case MouseAction::Move:
        for (Ring& r : rings_) {
            if (r.anchor == -1)
                continue;
            int next = r.anchor - (event.y >> dragShift_);
            if (!event.shift || next % 10 == 0)
                r.value = clampPercent(next);
        }
        break;
    case MouseAction::Release:
        if (event.button == MouseButton::None)
            return;
        rings_[ring].anchor = -1;
        if (rings_[1 - ring].anchor == -1)
            capture.releaseCapture();
        break;
    case MouseAction::Wheel: {
        // One notch is one percent; with Shift, the next multiple of 10 that way, as a
        // Shift drag would land on. Like a drag, it leaves the repaint to the editor.
        int v = rings_[0].value;
        int notches = event.wheelNotches;
        if (event.shift)
            v = notches > 0 ? (v / 10 + notches) * 10 : ((v + 9) / 10 + notches) * 10;
        else
            v += notches;
        setValue(0, v);
        break;
    }
    case MouseAction::DoubleClick:
        break;
    }
}

} // namespace brimtone::editor
