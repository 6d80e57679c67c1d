#pragma once
// The base of every editor control: a lightweight view inside the editor's one
// window, drawn from images into the editor's framebuffer.
//
// A control has a rectangle, a visible flag and an invalid flag. Its size comes from
// its images when it is created; a control whose image is missing or cannot be measured
// keeps size 0, has no view, ignores every call that would draw or react, and reports
// the failure to DebugTrace.

#include "editor/Compositing.h"
#include "editor/ImageSource.h"

namespace brimtone::editor {

enum class MouseButton { None, Left, Right };
enum class MouseAction { Press, Release, Move, DoubleClick, Wheel };

// A mouse event with the pointer position in the receiver's coordinates. A double
// click arrives in place of the second press; wheelNotches is positive away from the
// player.
struct MouseEvent {
    MouseAction action = MouseAction::Move;
    MouseButton button = MouseButton::None;
    int x = 0;
    int y = 0;
    bool ctrl = false;
    bool shift = false;
    int wheelNotches = 0;
};

class CDlgElem;

// Mouse capture: while a control holds it, it receives every mouse event, wherever the
// pointer is.
class MouseCapture {
public:
    virtual void setCapture(CDlgElem& control) = 0;
    virtual void releaseCapture() = 0;

protected:
    ~MouseCapture() = default;
};

// What a control tells the editor at once, by a direct call on the editor's thread.
class EditorNotifications {
public:
    // A push button went to newState through the mouse.
    virtual void buttonChanged(int controlId, int newState) = 0;

protected:
    ~EditorNotifications() = default;
};

// What every control is created with: its images, the panel background that its
// pictures are composed over, and the editor to notify (may be null).
struct ControlContext {
    ImageSource& images;
    const Image* background;
    EditorNotifications* notifications;
};

class CDlgElem {
public:
    virtual ~CDlgElem() = default;
    CDlgElem(const CDlgElem&) = delete;
    CDlgElem& operator=(const CDlgElem&) = delete;

    bool hasView() const { return width_ >= 1 && height_ >= 1; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Position and size in the editor window.
    Rect rect() const { return {x_, y_, x_ + width_, y_ + height_}; }

    bool visible() const { return visible_; }
    void setVisible(bool visible) { visible_ = visible; }

    // Asks for a repaint; without a view nothing happens.
    void invalidate() { invalid_ = hasView(); }
    bool invalid() const { return invalid_; }

    // Draws the control at its position into a canvas in window coordinates.
    void paint(const Canvas& window);
    // `event` in the control's own coordinates.
    void mouse(const MouseEvent& event, MouseCapture& capture);

    // Removes the view and releases the pictures; values and settings stay, and a later
    // create makes the view again.
    void destroy();

    // The window-class suffix of the control's class ("CLedButtonWindowClass", ...).
    virtual const char* className() const = 0;

protected:
    CDlgElem() = default;

    // Sets the position and the size found by loading; a size below 1 × 1 reports
    // (className, location) and leaves the control without a view. Returns hasView().
    bool place(int x, int y, int width, int height, const char* location);
    // Places the control with the size of one of the `frames` frames of `image` (no
    // image: no view) and returns that strip composed over the panel (empty without a view).
    Image placeOver(const ControlContext& context, const Image* image, int x, int y, int frames, const char* location);

    // `canvas` has its origin at the control's top-left corner and clips to its rectangle.
    virtual void onPaint(const Canvas& canvas) = 0;
    virtual void onMouse(const MouseEvent&, MouseCapture&) {}
    virtual void releasePictures() = 0;

private:
    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool visible_ = true;
    bool invalid_ = false;
};

// Two-value bookkeeping shared by the dial and the slider: values are percentages
// 0 .. 100; setters clamp.
constexpr int clampPercent(int v) { return v >= 100 ? 100 : (v <= 0 ? 0 : v); }

} // namespace brimtone::editor
