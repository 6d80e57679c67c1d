#pragma once
// The editor's window as the operating system knows it: a child of the host's
// window that shows the editor's framebuffer, hands its mouse events to the
// editor and ticks its 33 ms frame timer. Everything inside the window is
// portable code behind WindowClient; the implementations (Xlib on Linux,
// Win32 on Windows) live in src/platform/ and are the only code that knows
// which windowing system runs.

#include "editor/CDlgElem.h"
#include "editor/Image.h"

#include <memory>

namespace brimtone::editor {

// What the window shows and whom it tells.
class WindowClient {
public:
    virtual ~WindowClient() = default;
    // The pixels to show, premultiplied BGRA, of the window's size.
    virtual const Framebuffer& framebuffer() const = 0;
    // Repaints what changed and returns the area to present (empty: nothing).
    virtual Rect paint() = 0;
    // A mouse event in window coordinates. While a button is held the window
    // keeps delivering moves, also outside its area (the drag goes on).
    virtual void mouse(const MouseEvent& event) = 0;
    // The frame tick, about every 33 ms while the window is open.
    virtual void onTimer() = 0;
};

class NativeWindow {
public:
    // Destroys the window. Safe when the host has destroyed its parent
    // window already.
    virtual ~NativeWindow() = default;
    // Called from effEditIdle: on Linux drains the window's events and runs
    // the frame tick when 33 ms have passed; on Windows, where a timer ticks,
    // one extra tick.
    virtual void idle() = 0;
};

// Opens a child window of `parent` (an HWND, or an X11 Window id cast to a
// pointer) of width x height, showing `client`, which must outlive it.
// Returns null when that fails (no parent, no display, no windowing library).
std::unique_ptr<NativeWindow> openNativeWindow(void* parent, int width, int height, WindowClient& client);

} // namespace brimtone::editor
