#pragma once
// A small raster display: a canvas the size of its face image, three drawing
// primitives and a present step that shows the canvas and prepares the next frame
// (reset to the face, or a fade a quarter of the way toward it).
//
// Canvas pixels are 0x00RRGGBB words (the top byte is not shown); the face is the
// image composed over the panel, which is opaque.

#include "editor/CDlgElem.h"

#include <array>
#include <cstdint>
#include <vector>

namespace brimtone::editor {

class CScopeXY final : public CDlgElem {
public:
    static constexpr Pixel markerBright = 0xFFFFA045;
    static constexpr Pixel markerDim = 0xFF7F5022;

    // The image gives the size; the plot area is centred in it. persistence 255
    // resets the canvas to the face after each present, below 255 it fades.
    void create(const ControlContext& context, int imageId, int x, int y, int plotWidth, int plotHeight, float scale,
                int persistence);

    // (a, b) in plot units: -1 .. +1 spans the plot at scale 1, b grows downwards.
    // The colour is OR-ed in; a dot above or below the plot raises the two-row
    // overflow marker along that edge; left or right of it, it sits on the edge.
    void plotDot(float a, float b, Pixel colour);
    // A dot blended over three rows by its fractional row; the column rounds.
    void plotSmooth(float a, float b, Pixel colour);
    // An anti-aliased line in canvas pixels, without its end point and unclipped:
    // callers keep it inside the canvas.
    void drawLine(float x0, float y0, float x1, float y1, Pixel colour);
    // Shows the canvas and prepares the next frame.
    void present();

    // The working canvas, for tests; empty without a view.
    Pixel canvasAt(int x, int y) const { return canvas_[static_cast<std::size_t>(y) * width() + x]; }
    Pixel shownAt(int x, int y) const { return shown_.at(x, y); }
    struct Clip {
        int left, right, top, bottom; // inclusive
    };
    const Clip& clip() const { return clip_; }

    const char* className() const override { return "CScopeXYWindowClass"; }

private:
    void onPaint(const Canvas& canvas) override;
    void releasePictures() override;
    bool ready() const { return !canvas_.empty(); }
    void column(float a, float b, float& x, float& y) const;
    void brush(long index, float distance, Pixel colour);

    int plotWidth_ = 0;
    int plotHeight_ = 0;
    float scale_ = 1;
    int persistence_ = 255;
    Clip clip_{};
    std::vector<Pixel> canvas_;
    std::vector<Pixel> face_;
    Image shown_; // what the last present showed
};

// Moves each of red, green and blue a weight/256 part of the way from `pixel` to
// `colour` (weight 0 .. 256), two channels per 32-bit operation.
Pixel blendToward(Pixel pixel, Pixel colour, std::uint32_t weight);

// The 64 needle positions of the bias meters: offsets of the tip from the pivot,
// 52 pixels long, from 55 degrees (value 0, up and left) to 125 degrees.
struct NeedleTable {
    std::array<float, 64> sine{};   // 52 · sin θ
    std::array<float, 64> cosine{}; // 52 · cos θ

    static const NeedleTable& instance();
};

} // namespace brimtone::editor
