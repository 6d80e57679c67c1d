#pragma once
// Bar controls with one or two bars. A slider draws a thumb over a track; a meter
// (CMeter) reveals the lit picture segment by segment over the unlit one.

#include "editor/CDlgElem.h"

#include <array>
#include <memory>

namespace brimtone::editor {

struct SliderBarSettings {
    int left = 0; // pixels inside the control
    int right = 0;
    int top = 0;
    int bottom = 0;
    bool fill = false; // meter: from the bar's start to the value, else only the segment at the value
    int steps = 0;
    bool mouseDisabled = false;
};

class CSlider : public CDlgElem {
public:
    // Bar 1 exists unless its left and right are both 0.
    void create(const ControlContext& context, int x, int y, int firstImageId, int secondImageId, bool horizontal,
                const SliderBarSettings& bar0, const SliderBarSettings& bar1);

    int barValue(int bar) const { return bars_[bar].value; }
    void setBarValue(int bar, int v) { bars_[bar].value = clampPercent(v); }
    int barCount() const { return barCount_; }
    // Repaints when a bar's value differs from the one last painted.
    void refresh();

    const char* className() const override { return "CQIVSliderClass"; }

protected:
    struct Bar {
        SliderBarSettings settings;
        int value = 0;
        int paintedValue = 0;
        int anchor = -1;
    };

    // The lit segment count of a bar: 0 .. steps.
    static int segmentIndex(const Bar& bar);
    static float segmentLength(const Bar& bar, bool horizontal);

    // Makes the two pictures; returns false when the control cannot be measured.
    virtual bool loadPictures(const ControlContext& context, int firstImageId, int secondImageId, int x, int y);
    void onPaint(const Canvas& canvas) override;
    void onMouse(const MouseEvent& event, MouseCapture& capture) override;
    void releasePictures() override;

    bool horizontal_ = false;
    int barCount_ = 1;
    std::array<Bar, 2> bars_;
    Image first_;  // slider: track over the panel; meter: unlit picture
    Image second_; // slider: thumb; meter: lit picture

private:
    void startDrag(int bar, int pos, MouseCapture& capture);
    void dragTo(const MouseEvent& event);

    int dragShift_ = 1;
};

class CMeter final : public CSlider {
private:
    bool loadPictures(const ControlContext& context, int firstImageId, int secondImageId, int x, int y) override;
    void onPaint(const Canvas& canvas) override;
};

// The editor's level meters: two vertical bars of 31 segments, left and right channel.
SliderBarSettings editorMeterBar(int bar);

} // namespace brimtone::editor
