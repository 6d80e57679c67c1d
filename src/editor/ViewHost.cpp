#include "editor/ViewHost.h"

#include <algorithm>

namespace brimtone::editor {

namespace {

bool onScreen(const CDlgElem& control) { return control.hasView() && control.visible(); }

} // namespace

ViewHost::ViewHost(int width, int height) : framebuffer_(width, height) {}

void ViewHost::setBackground(const Image* background)
{
    background_ = background;
    repaintAll_ = true;
}

void ViewHost::add(CDlgElem& control) { views_.push_back({&control, {}}); }

void ViewHost::remove(CDlgElem& control)
{
    auto found = std::find_if(views_.begin(), views_.end(), [&](const View& v) { return v.control == &control; });
    if (found == views_.end())
        return;
    damage_.push_back(found->shown);
    views_.erase(found);
    if (capture_ == &control)
        capture_ = nullptr;
}

CDlgElem* ViewHost::controlAt(int x, int y) const
{
    for (auto it = views_.rbegin(); it != views_.rend(); ++it) {
        if (onScreen(*it->control) && it->control->rect().contains(x, y))
            return it->control;
    }
    return nullptr;
}

void ViewHost::mouse(const MouseEvent& event)
{
    // A control that lost its view while holding the capture gives it up.
    if (capture_ && !capture_->hasView())
        capture_ = nullptr;
    CDlgElem* target = capture_ ? capture_ : controlAt(event.x, event.y);
    if (!target)
        return;
    MouseEvent local = event;
    local.x -= target->rect().left;
    local.y -= target->rect().top;
    target->mouse(local, *this);
}

void ViewHost::repaint(const Rect& area)
{
    Canvas canvas{framebuffer_, intersect(area, framebuffer_.bounds())};
    if (canvas.clip.empty())
        return;
    if (background_) {
        copyPixels(canvas, canvas.clip.left, canvas.clip.top, *background_, canvas.clip);
    } else {
        for (int y = canvas.clip.top; y < canvas.clip.bottom; ++y)
            std::fill(framebuffer_.row(y) + canvas.clip.left, framebuffer_.row(y) + canvas.clip.right, Pixel{0});
    }
    for (const View& view : views_) {
        if (onScreen(*view.control) && !intersect(view.control->rect(), canvas.clip).empty())
            view.control->paint(canvas);
    }
    framebuffer_.markDirty(canvas.clip);
}

Rect ViewHost::paint()
{
    if (repaintAll_) {
        damage_.assign(1, framebuffer_.bounds());
        repaintAll_ = false;
    }
    for (View& view : views_) {
        Rect wanted = onScreen(*view.control) ? view.control->rect() : Rect{};
        if (wanted != view.shown) {
            damage_.push_back(view.shown);
            damage_.push_back(wanted);
            view.shown = wanted;
        } else if (view.control->invalid()) {
            damage_.push_back(wanted);
        }
    }
    Rect drawn;
    for (const Rect& area : damage_) {
        if (area.empty())
            continue;
        repaint(area);
        drawn = unite(drawn, intersect(area, framebuffer_.bounds()));
    }
    damage_.clear();
    return drawn;
}

} // namespace brimtone::editor
