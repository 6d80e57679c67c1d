#pragma once
// The rotary control: LED dots around a centre, lit from the start of the scale up to
// the value (fill mode) or only at the value (single mode), operated by vertical drags.
// The unlit picture is fixed; the lit picture is revealed pixel by pixel inside an
// annulus and an angular sector. Two concentric rings carry separate values.

#include "editor/CDlgElem.h"

#include <array>
#include <vector>

namespace brimtone::editor {

struct DialRingSettings {
    int litImageId = 0; // 0: no picture
    int innerRadius = 0;
    int outerRadius = 0;
    int steps = 0;
    float startAngle = 0; // radians from +x, y down (clockwise on screen)
    float endAngle = 0;
    bool fill = false;
};

// The tangents that bound the segments of one ring: entry i is tan of the angle of the
// i-th segment boundary when that angle is at or left of straight up, otherwise the
// largest float. The sector test reads the right half of a scale that is symmetric
// about straight up from the mirrored entries of its left half.
class DialSectorTable {
public:
    DialSectorTable() = default;
    DialSectorTable(int steps, float startAngle, float endAngle);

    // Whether the pixel offset (dx, dy) from the centre lies within the first n segments.
    bool inSector(float dx, float dy, int n) const;
    int steps() const { return static_cast<int>(tangents_.size()) - 1; }

private:
    std::vector<float> tangents_;
};

class CLedDial final : public CDlgElem {
public:
    // The unlit image gives the size; (centreX, centreY) in the control's pixels.
    void create(const ControlContext& context, int x, int y, int unlitImageId, float centreX, float centreY,
                const DialRingSettings& ring0, const DialRingSettings& ring1);

    int value(int ring) const { return rings_[ring].value; }
    void setValue(int ring, int v) { rings_[ring].value = clampPercent(v); }
    // The value differs from the one last painted: the player turned the dial.
    bool changed(int ring) const { return rings_[ring].value != rings_[ring].paintedValue; }
    void refresh();

    const char* className() const override { return "CLedDialWindowClass"; }

    // Ring 0 dials of the editor: 25 segments from -230 to 50 degrees, fill mode.
    static DialRingSettings editorRing(int litImageId);

private:
    struct Ring {
        DialRingSettings settings;
        DialSectorTable table;
        int innerSquared = 0;
        int outerSquared = 0;
        int value = 0;
        int paintedValue = 0;
        int anchor = -1;
        Image lit;
    };

    void onPaint(const Canvas& canvas) override;
    void onMouse(const MouseEvent& event, MouseCapture& capture) override;
    void releasePictures() override;
    void startDrag(int ring, int y, MouseCapture& capture);
    bool lit(const Ring& ring, float dx, float dy) const;

    int dragShift_ = 1;
    float centreX_ = 0;
    float centreY_ = 0;
    std::array<Ring, 2> rings_;
    Image unlit_;
    Image frame_; // the picture being painted
};

} // namespace brimtone::editor
