#pragma once
// The editor window's content: the controls as views over a background, one
// framebuffer they paint into, and the routing of mouse events to them.
//
// Controls are stacked in the order they were added, later ones on top. A mouse event
// goes to the control holding the capture, otherwise to the topmost visible control
// under the pointer; the position is passed on in that control's coordinates.

#include "editor/CDlgElem.h"

#include <vector>

namespace brimtone::editor {

class ViewHost final : public MouseCapture {
public:
    ViewHost(int width, int height);

    Framebuffer& framebuffer() { return framebuffer_; }
    const Framebuffer& framebuffer() const { return framebuffer_; }

    // The picture behind the controls (null: transparent black); repaints everything.
    void setBackground(const Image* background);
    // The control stays owned by the caller and must outlive the host or be removed.
    void add(CDlgElem& control);
    void remove(CDlgElem& control);
    void invalidateAll() { repaintAll_ = true; }

    // `event` in window coordinates.
    void mouse(const MouseEvent& event);
    CDlgElem* captured() const { return capture_; }
    void setCapture(CDlgElem& control) override { capture_ = &control; }
    void releaseCapture() override { capture_ = nullptr; }

    // Repaints what changed: invalid controls, and the areas of controls that appeared,
    // disappeared or moved. Returns the area drawn, which is also marked dirty in the
    // framebuffer.
    Rect paint();

private:
    struct View {
        CDlgElem* control;
        Rect shown; // where it was last drawn; empty while not on screen
    };

    CDlgElem* controlAt(int x, int y) const;
    void repaint(const Rect& area);

    Framebuffer framebuffer_;
    const Image* background_ = nullptr;
    std::vector<View> views_;
    std::vector<Rect> damage_;
    CDlgElem* capture_ = nullptr;
    bool repaintAll_ = true;
};

} // namespace brimtone::editor
