// The editor window on Windows: a child window of the host's HWND that shows the
// framebuffer with SetDIBitsToDevice, ticks from a window timer and turns mouse
// messages into MouseEvents.

#include "editor/NativeWindow.h"
#include "platform/Module.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace brimtone::editor {
namespace {

using Clock = std::chrono::steady_clock;
constexpr UINT_PTR frameTimerId = 0x1234;
constexpr UINT framePeriodMs = 33;
constexpr auto framePeriod = std::chrono::milliseconds(framePeriodMs);
// A timer message this much before its due time still ticks (timers are coarse);
// one that comes earlier is a duplicate and is dropped.
constexpr auto timerSlack = std::chrono::milliseconds(8);

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

HINSTANCE ownModule()
{
    if (void* stored = platform::moduleHandle())
        return static_cast<HINSTANCE>(stored);
    // Linked into a program rather than the plug-in: the module holding this code.
    HMODULE found = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&windowProc), &found);
    return found;
}

// The window class, registered while at least one editor window exists. Its name
// carries the module handle, so that two copies of the plug-in loaded from
// different files never share a class (and so a window procedure).
class WindowClass {
public:
    // The class name, or null when registration failed.
    const char* acquire()
    {
        std::lock_guard lock(mutex_);
        if (users_ == 0) {
            module_ = ownModule();
            std::snprintf(name_, sizeof name_, "BrimtoneEditor%p", static_cast<void*>(module_));
            WNDCLASSA wc{};
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = windowProc;
            wc.hInstance = module_;
            wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
            wc.lpszClassName = name_;
            if (RegisterClassA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
                return nullptr;
        }
        ++users_;
        return name_;
    }

    void release()
    {
        std::lock_guard lock(mutex_);
        if (users_ > 0 && --users_ == 0)
            UnregisterClassA(name_, module_);
    }

    HINSTANCE module() const { return module_; }

private:
    std::mutex mutex_;
    int users_ = 0;
    HINSTANCE module_ = nullptr;
    char name_[48] = {};
};

WindowClass windowClass;

// Marks a call into the client. A client that runs a modal loop (a message box)
// lets this window's messages through; they must not call it again meanwhile:
// nested ticks and mouse events are dropped, and a nested paint shows the
// framebuffer as it is.
class InClient {
public:
    explicit InClient(bool& flag) : flag_(flag) { flag_ = true; }
    ~InClient() { flag_ = false; }
    InClient(const InClient&) = delete;
    InClient& operator=(const InClient&) = delete;

private:
    bool& flag_;
};

class Win32Window final : public NativeWindow {
public:
    Win32Window(WindowClient& client, const char* className, HWND parent, int width, int height)
        : client_(client), nextTick_(Clock::now() + framePeriod)
    {
        CreateWindowExA(0, className, "BrimtoneWnd", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, width, height,
                        parent, nullptr, windowClass.module(), this);
        if (hwnd_ != nullptr && SetTimer(hwnd_, frameTimerId, framePeriodMs, nullptr) == 0)
            destroyWindow();
    }

    ~Win32Window() override
    {
        destroyWindow();
        windowClass.release();
    }

    bool created() const { return hwnd_ != nullptr; }

    void idle() override
    {
        if (hwnd_ != nullptr)
            tick();
    }

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void attach(HWND hwnd)
    {
        hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

private:
    // Clearing the user data first makes any message that still arrives go to
    // DefWindowProc, never to a client that is going away.
    void destroyWindow()
    {
        HWND hwnd = hwnd_;
        hwnd_ = nullptr;
        if (hwnd == nullptr || !IsWindow(hwnd))
            return; // the host destroyed its window, and ours with it
        KillTimer(hwnd, frameTimerId);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }

    void detached()
    {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
    }

    // A late timer message gives one tick, and the schedule starts again from
    // now: a stalled message loop never comes back with a burst of frames.
    void frameTimer()
    {
        const Clock::time_point now = Clock::now();
        if (now + timerSlack < nextTick_)
            return;
        nextTick_ = std::max(nextTick_ + framePeriod, now + framePeriod - timerSlack);
        tick();
    }

    void tick()
    {
        if (inClient_)
            return;
        const InClient guard(inClient_);
        client_.onTimer();
        if (hwnd_ == nullptr)
            return;
        const Rect dirty = client_.paint();
        if (dirty.empty())
            return;
        if (HDC dc = GetDC(hwnd_)) {
            present(dc, dirty);
            ReleaseDC(hwnd_, dc);
        }
    }

    void paintMessage()
    {
        Rect dirty;
        if (!inClient_) {
            const InClient guard(inClient_);
            dirty = client_.paint();
        }
        if (!dirty.empty()) {
            const RECT r{dirty.left, dirty.top, dirty.right, dirty.bottom};
            InvalidateRect(hwnd_, &r, FALSE);
        }
        PAINTSTRUCT ps;
        if (HDC dc = BeginPaint(hwnd_, &ps)) {
            present(dc, Rect{ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom});
            EndPaint(hwnd_, &ps);
        }
    }

    // Copies `area` of the framebuffer to the same place in the window. The rows
    // handed over are exactly the area's rows, as a top-down DIB of that height.
    void present(HDC dc, const Rect& area)
    {
        const Framebuffer& fb = client_.framebuffer();
        const Rect r = intersect(area, fb.bounds());
        if (r.empty())
            return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = fb.width();
        info.bmiHeader.biHeight = -r.height();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, r.left, r.top, r.width(), r.height(), r.left, 0, 0, r.height(), fb.row(r.top), &info,
                          DIB_RGB_COLORS);
    }

    void send(MouseAction action, MouseButton button, int x, int y, WPARAM keys, int notches = 0)
    {
        MouseEvent event;
        event.action = action;
        event.button = button;
        event.x = x;
        event.y = y;
        event.ctrl = (keys & MK_CONTROL) != 0;
        event.shift = (keys & MK_SHIFT) != 0;
        event.wheelNotches = notches;
        lastX_ = x;
        lastY_ = y;
        if (inClient_)
            return;
        const InClient guard(inClient_);
        client_.mouse(event);
    }

    // Press and double click take the capture, so that a drag keeps arriving
    // outside the window; the release of the held button gives it back.
    void press(MouseAction action, MouseButton button, LPARAM lParam, WPARAM keys)
    {
        if (held_ == MouseButton::None) {
            held_ = button;
            SetCapture(hwnd_);
        }
        send(action, button, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), keys);
    }

    void release(MouseButton button, LPARAM lParam, WPARAM keys)
    {
        if (held_ == button) {
            held_ = MouseButton::None;
            ReleaseCapture();
        }
        send(MouseAction::Release, button, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), keys);
    }

    // Another window took the capture (a menu, a task switch): the drag ends here.
    void captureLost()
    {
        if (held_ == MouseButton::None)
            return;
        const MouseButton button = held_;
        held_ = MouseButton::None;
        send(MouseAction::Release, button, lastX_, lastY_, 0);
    }

    // Wheel messages carry screen coordinates and deltas that high-resolution
    // wheels deliver in pieces of a notch; whole notches are passed on.
    void wheel(WPARAM wParam, LPARAM lParam)
    {
        wheelDelta_ += GET_WHEEL_DELTA_WPARAM(wParam);
        const int notches = wheelDelta_ / WHEEL_DELTA;
        if (notches == 0)
            return;
        wheelDelta_ -= notches * WHEEL_DELTA;
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hwnd_, &p);
        send(MouseAction::Wheel, MouseButton::None, p.x, p.y, GET_KEYSTATE_WPARAM(wParam), notches);
    }

    static MouseButton heldIn(WPARAM keys)
    {
        if (keys & MK_LBUTTON)
            return MouseButton::Left;
        if (keys & MK_RBUTTON)
            return MouseButton::Right;
        return MouseButton::None;
    }

    WindowClient& client_;
    HWND hwnd_ = nullptr;
    Clock::time_point nextTick_;
    MouseButton held_ = MouseButton::None;
    int lastX_ = 0;
    int lastY_ = 0;
    int wheelDelta_ = 0;
    bool inClient_ = false;
};

LRESULT Win32Window::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paintMessage();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        if (wParam != frameTimerId)
            break;
        frameTimer();
        return 0;
    case WM_LBUTTONDOWN:
        press(MouseAction::Press, MouseButton::Left, lParam, wParam);
        return 0;
    case WM_RBUTTONDOWN:
        press(MouseAction::Press, MouseButton::Right, lParam, wParam);
        return 0;
    case WM_LBUTTONDBLCLK:
        press(MouseAction::DoubleClick, MouseButton::Left, lParam, wParam);
        return 0;
    case WM_RBUTTONDBLCLK:
        press(MouseAction::DoubleClick, MouseButton::Right, lParam, wParam);
        return 0;
    case WM_LBUTTONUP:
        release(MouseButton::Left, lParam, wParam);
        return 0;
    case WM_RBUTTONUP:
        release(MouseButton::Right, lParam, wParam);
        return 0;
    case WM_MOUSEMOVE:
        send(MouseAction::Move, heldIn(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
        return 0;
    case WM_MOUSEWHEEL:
        wheel(wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd_)
            captureLost();
        return 0;
    case WM_NCDESTROY: {
        // The host destroyed its window and ours with it.
        const HWND hwnd = hwnd_;
        detached();
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        static_cast<Win32Window*>(create->lpCreateParams)->attach(hwnd);
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (window == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return window->handle(message, wParam, lParam);
}

} // namespace

std::unique_ptr<NativeWindow> openNativeWindow(void* parent, int width, int height, WindowClient& client)
{
    const HWND parentWindow = static_cast<HWND>(parent);
    if (parentWindow == nullptr || !IsWindow(parentWindow) || width <= 0 || height <= 0)
        return nullptr;
    const char* className = windowClass.acquire();
    if (className == nullptr)
        return nullptr;
    auto window = std::make_unique<Win32Window>(client, className, parentWindow, width, height);
    if (!window->created())
        return nullptr;
    return window;
}

} // namespace brimtone::editor
