#include "editor/Compositing.h"

namespace brimtone::editor {

namespace {

// The part of a copy that lands inside the canvas and comes from inside src: the
// destination rectangle in image coordinates, and the source's top-left corner.
struct Span {
    Rect to;
    int srcX = 0;
    int srcY = 0;
};

Span clipCopy(const Canvas& dst, int x, int y, const Image& src, const Rect& from)
{
    Rect source = intersect(from, src.bounds());
    int dx = dst.originX + x + (source.left - from.left);
    int dy = dst.originY + y + (source.top - from.top);
    Rect to = intersect({dx, dy, dx + source.width(), dy + source.height()}, intersect(dst.clip, dst.image.bounds()));
    return {to, source.left + (to.left - dx), source.top + (to.top - dy)};
}

} // namespace

Canvas Canvas::translated(int x, int y, const Rect& area) const
{
    int ox = originX + x;
    int oy = originY + y;
    return {image, intersect(clip, {ox + area.left, oy + area.top, ox + area.right, oy + area.bottom}), ox, oy};
}

void copyPixels(const Canvas& dst, int x, int y, const Image& src, const Rect& from)
{
    Span s = clipCopy(dst, x, y, src, from);
    for (int row = 0; row < s.to.height(); ++row) {
        const Pixel* in = src.row(s.srcY + row) + s.srcX;
        Pixel* out = dst.image.row(s.to.top + row) + s.to.left;
        for (int col = 0; col < s.to.width(); ++col)
            out[col] = in[col];
    }
}

void blendPixels(const Canvas& dst, int x, int y, const Image& src, const Rect& from, unsigned constantAlpha)
{
    if (constantAlpha == 0)
        return;
    Span s = clipCopy(dst, x, y, src, from);
    for (int row = 0; row < s.to.height(); ++row) {
        const Pixel* in = src.row(s.srcY + row) + s.srcX;
        Pixel* out = dst.image.row(s.to.top + row) + s.to.left;
        for (int col = 0; col < s.to.width(); ++col)
            out[col] = blendPixel(out[col], in[col], constantAlpha);
    }
}

Image ComposeOverBackground(const Image* background, const Image* image, int x, int y, int w, int h, int frames,
                            unsigned constantAlpha)
{
    Image strip(w, h * frames);
    Canvas canvas = Canvas::of(strip);
    if (background) {
        for (int k = 0; k < frames; ++k)
            copyPixels(canvas, 0, k * h, *background, {x, y, x + w, y + h});
    }
    if (image)
        blendPixels(canvas, 0, 0, *image, {0, 0, w, h * frames}, constantAlpha);
    return strip;
}

} // namespace brimtone::editor
