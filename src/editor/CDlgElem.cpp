#include "editor/CDlgElem.h"

#include "editor/DebugTrace.h"

namespace brimtone::editor {

void CDlgElem::paint(const Canvas& window)
{
    if (!hasView())
        return;
    onPaint(window.translated(x_, y_, {0, 0, width_, height_}));
    invalid_ = false;
}

void CDlgElem::mouse(const MouseEvent& event, MouseCapture& capture)
{
    if (hasView())
        onMouse(event, capture);
}

void CDlgElem::destroy()
{
    width_ = 0;
    height_ = 0;
    invalid_ = false;
    releasePictures();
}

Image CDlgElem::placeOver(const ControlContext& context, const Image* image, int x, int y, int frames,
                          const char* location)
{
    const int w = image ? image->width() : 0;
    const int h = image ? image->height() / frames : 0;
    if (!place(x, y, w, h, location))
        return {};
    return ComposeOverBackground(context.background, image, x, y, w, h, frames, 255);
}

bool CDlgElem::place(int x, int y, int width, int height, const char* location)
{
    x_ = x;
    y_ = y;
    if (width < 1 || height < 1) {
        width_ = 0;
        height_ = 0;
        DebugTrace(className(), location);
        releasePictures();
        return false;
    }
    width_ = width;
    height_ = height;
    invalid_ = true;
    return true;
}

} // namespace brimtone::editor
