#pragma once
// Copying and alpha blending of premultiplied images, and the composition of a
// control's frames over the panel background.

#include "editor/Image.h"

#include <cstdint>

namespace brimtone::editor {

// Exact rounded x / 255 for x in 0 .. 255·255.
constexpr unsigned div255(unsigned x)
{
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// Source over with per-pixel alpha: src scaled by constantAlpha / 255, then laid over
// dst. Constant alpha 255 blends src as it is; 0 leaves dst unchanged.
inline Pixel blendPixel(Pixel dst, Pixel src, unsigned constantAlpha)
{
    unsigned srcAlpha = div255(pixelAlpha(src) * constantAlpha);
    unsigned keep = 255 - srcAlpha;
    Pixel out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        unsigned s = shift == 24 ? srcAlpha : div255(((src >> shift) & 0xFF) * constantAlpha);
        unsigned v = s + div255(((dst >> shift) & 0xFF) * keep);
        out |= Pixel(v > 255 ? 255 : v) << shift;
    }
    return out;
}

// A target image seen through a clip rectangle, with its origin moved to (originX,
// originY) of the image: a control draws in its own coordinates.
struct Canvas {
    Image& image;
    Rect clip;
    int originX = 0;
    int originY = 0;

    // Clipped to the image as well.
    static Canvas of(Image& image) { return {image, image.bounds()}; }
    Canvas translated(int x, int y, const Rect& area) const;
};

// Copies the area `from` of src to (x, y) of the canvas.
void copyPixels(const Canvas& dst, int x, int y, const Image& src, const Rect& from);
// Blends the area `from` of src onto (x, y) of the canvas with blendPixel.
void blendPixels(const Canvas& dst, int x, int y, const Image& src, const Rect& from, unsigned constantAlpha);

// A control's strip: `frames` frames of w × h, each first receiving the panel patch
// (x, y, w, h) of the background, then the image (or nothing) blended over the whole
// strip with constantAlpha. Frames beyond the image, and background outside the panel,
// stay transparent black.
Image ComposeOverBackground(const Image* background, const Image* image, int x, int y, int w, int h, int frames,
                            unsigned constantAlpha);

} // namespace brimtone::editor
