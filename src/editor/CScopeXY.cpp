#include "editor/CScopeXY.h"

#include <cmath>
#include <cstdlib>

namespace brimtone::editor {

Pixel blendToward(Pixel pixel, Pixel colour, std::uint32_t weight)
{
    std::uint32_t rb = pixel & 0x00FF00FFu;
    std::uint32_t g = pixel & 0x0000FF00u;
    rb = (rb + (((colour & 0x00FF00FFu) - rb) * weight >> 8)) & 0x00FF00FFu;
    g = (g + (((colour & 0x0000FF00u) - g) * weight >> 8)) & 0x0000FF00u;
    return (pixel & 0xFF000000u) | rb | g;
}

void CScopeXY::create(const ControlContext& context, int imageId, int x, int y, int plotWidth, int plotHeight,
                      float scale, int persistence)
{
    if (hasView())
        return;
    plotWidth_ = plotWidth;
    plotHeight_ = plotHeight;
    scale_ = scale;
    persistence_ = persistence & 0xFF;
    shown_ = placeOver(context, context.images.image(imageId).get(), x, y, 1, "CScopeXY::LoadBitmaps");
    if (!hasView())
        return;
    const int w = width();
    const int h = height();
    face_.resize(static_cast<std::size_t>(w) * h);
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
            face_[static_cast<std::size_t>(row) * w + col] = shown_.at(col, row);
    canvas_ = face_;
    clip_ = {(w - plotWidth) / 2, (plotWidth + w) / 2 - 1, (h - plotHeight) / 2, (plotHeight + h) / 2 - 1};
    present();
}

void CScopeXY::releasePictures()
{
    canvas_ = {};
    face_ = {};
    shown_ = {};
}

void CScopeXY::column(float a, float b, float& x, float& y) const
{
    x = (scale_ * a * static_cast<float>(plotWidth_) + static_cast<float>(width())) * 0.5f;
    y = (scale_ * b * static_cast<float>(plotHeight_) + static_cast<float>(height())) * 0.5f;
}

void CScopeXY::plotDot(float a, float b, Pixel colour)
{
    if (!ready())
        return;
    float xf, yf;
    column(a, b, xf, yf);
    if (xf != xf || yf != yf)
        return; // not a number: nowhere to draw
    // Far-off values are held to a range that truncates safely; they land beyond
    // the clip rectangle either way.
    int col = static_cast<int>(std::fmax(-1e6f, std::fmin(1e6f, xf)));
    int row = static_cast<int>(std::fmax(-1e6f, std::fmin(1e6f, yf)));
    col = col < clip_.left ? clip_.left : (col > clip_.right ? clip_.right : col);
    const int w = width();
    auto markRow = [&](int r, Pixel p) {
        for (int c = clip_.left; c <= clip_.right; ++c)
            canvas_[static_cast<std::size_t>(r) * w + c] = p;
    };
    if (row < clip_.top) {
        markRow(clip_.top, markerBright);
        markRow(clip_.top + 1, markerDim);
    } else if (row > clip_.bottom) {
        markRow(clip_.bottom, markerBright);
        markRow(clip_.bottom - 1, markerDim);
    } else {
        canvas_[static_cast<std::size_t>(row) * w + col] |= colour;
    }
}

void CScopeXY::plotSmooth(float a, float b, Pixel colour)
{
    if (!ready())
        return;
    float xf, yf;
    column(a, b, xf, yf);
    if (!(xf > -1e6f && xf < 1e6f))
        return;
    int col = static_cast<int>(std::lround(xf));
    if (col < clip_.left || col > clip_.right)
        return;
    if (!(static_cast<float>(clip_.top) + 1.001f <= yf && yf <= static_cast<float>(clip_.bottom) - 1.999f))
        return;
    const int first = static_cast<int>(yf - 1.001f);
    const int last = static_cast<int>(yf + 1.999f);
    for (int r = first; r <= last; ++r) {
        float w = std::round((1.0f - std::fabs(yf - static_cast<float>(r)) * 0.5f) * 256.0f);
        auto weight = static_cast<std::uint32_t>(static_cast<int>(w) & 0xFFFF);
        Pixel& p = canvas_[static_cast<std::size_t>(r) * width() + col];
        p = blendToward(p, colour, weight);
    }
}

void CScopeXY::brush(long index, float distance, Pixel colour)
{
    float d = std::fabs(distance);
    if (d > 1.5f)
        return;
    float f = 1.0f - d * (2.0f / 3.0f);
    auto weight = static_cast<std::uint32_t>(static_cast<int>(f * f * 255.0f) & 0xFFFF);
    Pixel& p = canvas_[static_cast<std::size_t>(index)];
    p = blendToward(p, colour, weight);
}

void CScopeXY::drawLine(float x0, float y0, float x1, float y1, Pixel colour)
{
    if (!ready())
        return;
    const long w = width();
    long p = static_cast<long>(static_cast<float>(w) * y0 + x0);
    const int dx = static_cast<int>(x1 - x0);
    const int dy = static_cast<int>(y1 - y0);
    int major, minor;
    long majorStep, minorStep;
    if (std::abs(dx) > std::abs(dy)) {
        major = std::abs(dx);
        minor = std::abs(dy);
        majorStep = dx < 0 ? -1 : 1;
        minorStep = dy < 0 ? -w : w;
    } else {
        major = std::abs(dy);
        minor = std::abs(dx);
        majorStep = dy < 0 ? -w : w;
        minorStep = dx < 0 ? -1 : 1;
    }
    const float invDenom = 1.0f / (2.0f * std::sqrt(static_cast<float>(major * major + minor * minor)));
    const float twoMajorInv = 2.0f * static_cast<float>(major) * invDenom;
    int d = 2 * minor - major;
    int v = 0;
    for (int i = 0; i < major; ++i) {
        const float vd = static_cast<float>(v) * invDenom;
        brush(p, vd, colour);
        brush(p + minorStep, twoMajorInv - vd, colour);
        brush(p - minorStep, twoMajorInv + vd, colour);
        if (d < 0) {
            v = d + major;
            d += 2 * minor;
        } else {
            v = d - major;
            p += minorStep;
            d += 2 * (minor - major);
        }
        p += majorStep;
    }
}

void CScopeXY::present()
{
    if (!ready())
        return;
    const int w = width();
    const int h = height();
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
            shown_.at(col, row) = canvas_[static_cast<std::size_t>(row) * w + col] | 0xFF000000u;
    if (persistence_ == 255) {
        canvas_ = face_;
    } else {
        const std::size_t begin = static_cast<std::size_t>((h - plotHeight_) / 2) * w + (w - plotWidth_) / 2;
        const std::size_t end = static_cast<std::size_t>((plotHeight_ + h) / 2) * w + (plotWidth_ + w) / 2;
        for (std::size_t i = begin; i < end && i < canvas_.size(); ++i) {
            const std::uint32_t old = canvas_[i];
            const std::uint32_t face = face_[i];
            std::uint32_t rb = old & 0x00FF00FFu;
            std::uint32_t g = old & 0x0000FF00u;
            rb = (rb + (((face & 0x00FF00FFu) - rb) >> 2)) & 0x00FF00FFu;
            g = (g + (((face & 0x0000FF00u) - g) >> 2)) & 0x0000FF00u;
            canvas_[i] = (old & 0xFF000000u) | rb | g;
        }
    }
    invalidate();
}

void CScopeXY::onPaint(const Canvas& canvas) { copyPixels(canvas, 0, 0, shown_, shown_.bounds()); }

const NeedleTable& NeedleTable::instance()
{
    static const NeedleTable table = [] {
        NeedleTable t;
        constexpr double halfSweep = 0.61086524; // 35 degrees either side of straight up
        for (int i = 0; i < 64; ++i) {
            double theta = i * (1.0 / 63.0) * 2.0 * halfSweep - halfSweep + 1.5707963267948966;
            t.sine[i] = static_cast<float>(52.0 * std::sin(theta));
            t.cosine[i] = static_cast<float>(52.0 * std::cos(theta));
        }
        return t;
    }();
    return table;
}

} // namespace brimtone::editor
