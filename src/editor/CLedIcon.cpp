#include "editor/CLedIcon.h"

namespace brimtone::editor {

void CLedIcon::create(const ControlContext& context, int imageId, int x, int y)
{
    if (hasView())
        return;
    icon_ = context.images.image(imageId & 0xFFFF); // a 16-bit resource id
    int w = icon_ ? icon_->width() : 0;
    int h = icon_ ? icon_->height() : 0;
    if (place(x, y, w, h, "CLedIcon::LoadBitmaps"))
        patch_ = ComposeOverBackground(context.background, nullptr, x, y, w, h, 1, 0);
}

void CLedIcon::onPaint(const Canvas& canvas)
{
    copyPixels(canvas, 0, 0, patch_, patch_.bounds());
    blendPixels(canvas, 0, 0, *icon_, icon_->bounds(), opacity_);
}

void CLedIcon::releasePictures()
{
    icon_.reset();
    patch_ = {};
}

} // namespace brimtone::editor
