#pragma once
// Pixel rectangles and 32-bit images: premultiplied alpha, bytes B, G, R, A in memory
// (a little-endian word 0xAARRGGBB), rows top-down without padding.

#include <cstdint>
#include <vector>

namespace brimtone::editor {

// A rectangle of pixels; right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

Rect intersect(const Rect& a, const Rect& b);
// The smallest rectangle holding both; an empty rectangle adds nothing.
Rect unite(const Rect& a, const Rect& b);

using Pixel = std::uint32_t;

constexpr Pixel pixelFromBgra(unsigned b, unsigned g, unsigned r, unsigned a)
{
    return Pixel(b) | Pixel(g) << 8 | Pixel(r) << 16 | Pixel(a) << 24;
}
constexpr unsigned pixelAlpha(Pixel p) { return p >> 24; }

class Image {
public:
    Image() = default;
    // Transparent black.
    Image(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    Rect bounds() const { return {0, 0, width_, height_}; }

    Pixel* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    const Pixel* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    Pixel& at(int x, int y) { return row(y)[x]; }
    Pixel at(int x, int y) const { return row(y)[x]; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Pixel> pixels_;
};

// The editor's one drawing surface, with the union of the areas drawn since the
// native window last presented it.
class Framebuffer : public Image {
public:
    using Image::Image;

    void markDirty(const Rect& r) { dirty_ = unite(dirty_, intersect(r, bounds())); }
    const Rect& dirty() const { return dirty_; }
    // The dirty area, cleared: what the native window presents next.
    Rect takeDirty()
    {
        Rect r = dirty_;
        dirty_ = {};
        return r;
    }

private:
    Rect dirty_;
};

} // namespace brimtone::editor
