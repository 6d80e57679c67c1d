#include "editor/Image.h"

#include <algorithm>

namespace brimtone::editor {

Rect intersect(const Rect& a, const Rect& b)
{
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return r.empty() ? Rect{} : r;
}

Rect unite(const Rect& a, const Rect& b)
{
    if (a.empty())
        return b.empty() ? Rect{} : b;
    if (b.empty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

Image::Image(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * height_, Pixel{0})
{}

} // namespace brimtone::editor
