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
