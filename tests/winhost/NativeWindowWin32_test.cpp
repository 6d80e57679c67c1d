// The Win32 editor window with a test client in a real top-level window: pixels,
// frame ticks, mouse events and capture. Its lifecycle as hosts drive it is in
// PluginEditor_test, through Brimtone.dll.

#include "WinTestHost.h"
#include "editor/NativeWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace brimtone::editor;
using wintest::pump;

namespace {

constexpr int W = 320;
constexpr int H = 200;

Pixel pattern(int x, int y) { return pixelFromBgra(x & 255, y & 255, (x * 7 + y * 3) & 255, 255); }

// Paints a fixed pattern, and on every tick a block whose colour counts the ticks.
class TestClient : public WindowClient {
public:
    TestClient() : fb_(W, H)
    {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                fb_.at(x, y) = pattern(x, y);
        fb_.markDirty(fb_.bounds());
    }
    const Framebuffer& framebuffer() const override { return fb_; }
    Rect paint() override { return fb_.takeDirty(); }
    void mouse(const MouseEvent& event) override
    {
        events.push_back(event);
        capturedAt.push_back(GetCapture());
        if (duringMouse)
            duringMouse();
    }
    void onTimer() override
    {
        ++ticks;
        for (int y = tickBlock.top; y < tickBlock.bottom; ++y)
            for (int x = tickBlock.left; x < tickBlock.right; ++x)
                fb_.at(x, y) = tickColour(ticks);
        fb_.markDirty(tickBlock);
    }
    static std::uint32_t tickColour(int n) { return 0xFF000000u | static_cast<std::uint32_t>(n * 2654435761u >> 8); }

    static constexpr Rect tickBlock{200, 120, 230, 140};
    int ticks = 0;
    std::vector<MouseEvent> events;
    std::vector<HWND> capturedAt;
    std::function<void()> duringMouse;

private:
    Framebuffer fb_;
};

struct Opened {
    HWND parent = wintest::createParent(W, H);
    TestClient client;
    std::unique_ptr<NativeWindow> window = openNativeWindow(parent, W, H, client);
    HWND child = wintest::firstChild(parent);
    ~Opened()
    {
        window.reset();
        if (IsWindow(parent))
            DestroyWindow(parent);
    }
};

int mismatches(HWND hwnd, const Framebuffer& fb)
{
    const std::vector<std::uint32_t> shown = wintest::grab(hwnd, W, H);
    int wrong = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            wrong += shown[y * W + x] != (fb.at(x, y) & 0xFFFFFFu);
    return wrong;
}

TEST(Win32Window, IsAChildOfTheHostWindowShowsTheFramebufferAndTicksThirtyTimesASecond)
{
    Opened o;
    ASSERT_NE(o.window, nullptr);
    ASSERT_NE(o.child, nullptr);
    EXPECT_EQ(GetParent(o.child), o.parent);
    RECT r;
    GetClientRect(o.child, &r);
    EXPECT_EQ(r.right, W);
    EXPECT_EQ(r.bottom, H);
    EXPECT_TRUE(GetClassLongPtrA(o.child, GCL_STYLE) & CS_DBLCLKS);

    pump(150);
    EXPECT_EQ(mismatches(o.child, o.client.framebuffer()), 0);
    // A region drawn over and invalidated is repainted from the framebuffer.
    RECT part{10, 10, 90, 70};
    HDC dc = GetDC(o.child);
    FillRect(dc, &part, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(o.child, dc);
    EXPECT_GT(mismatches(o.child, o.client.framebuffer()), 4000);
    InvalidateRect(o.child, &part, TRUE);
    UpdateWindow(o.child);
    EXPECT_EQ(mismatches(o.child, o.client.framebuffer()), 0);
    // What a tick drew is on screen after it, with no help from the host.
    ASSERT_GT(o.client.ticks, 0);
    const auto shown = wintest::grab(o.child, W, H);
    EXPECT_EQ(shown[125 * W + 210], TestClient::tickColour(o.client.ticks) & 0xFFFFFFu);

    // Thirty ticks a second, and one more for each idle.
    const int before = o.client.ticks;
    const ULONGLONG start = GetTickCount64();
    pump(1500);
    const double hz = (o.client.ticks - before) * 1000.0 / double(GetTickCount64() - start);
    EXPECT_GT(hz, 24.0);
    EXPECT_LT(hz, 34.0);

    const int t = o.client.ticks;
    o.window->idle();
    EXPECT_EQ(o.client.ticks, t + 1);

    // A stalled message loop comes back with one tick, not with the missed ones.
    pump(5);
    Sleep(400);
    const int stalled = o.client.ticks;
    pump(20);
    EXPECT_EQ(o.client.ticks, stalled + 1);
    // Timer messages crowding in right after a tick are dropped.
    for (int i = 0; i < 5; ++i)
        PostMessageA(o.child, WM_TIMER, 0x1234, 0);
    pump(2);
    EXPECT_LE(o.client.ticks, stalled + 2);
}

LPARAM at(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

TEST(Win32Window, MouseMessagesBecomeMouseEvents)
{
    Opened o;
    ASSERT_NE(o.window, nullptr);
    pump(50);
    auto& ev = o.client.events;
    SendMessageA(o.child, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, at(10, 20));
    SendMessageA(o.child, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, at(-30, 250));
    SendMessageA(o.child, WM_LBUTTONUP, 0, at(-31, 251));
    SendMessageA(o.child, WM_LBUTTONDBLCLK, MK_LBUTTON, at(11, 21));
    SendMessageA(o.child, WM_LBUTTONUP, 0, at(11, 21));
    SendMessageA(o.child, WM_RBUTTONDOWN, MK_RBUTTON | MK_SHIFT, at(5, 6));
    SendMessageA(o.child, WM_RBUTTONUP, MK_SHIFT, at(5, 6));
    POINT screen{40, 50};
    ClientToScreen(o.child, &screen);
    // A fine-grained wheel gives a notch once its pieces add up to one.
    for (auto [keys, delta] :
         {std::pair{MK_CONTROL, 2 * WHEEL_DELTA}, {0, WHEEL_DELTA / 2}, {0, WHEEL_DELTA / 2}, {0, -WHEEL_DELTA}})
        SendMessageA(o.child, WM_MOUSEWHEEL, MAKEWPARAM(keys, delta), at(screen.x, screen.y));

    ASSERT_EQ(ev.size(), 10u);
    auto check = [&](int i, MouseAction a, MouseButton b, int x, int y, bool ctrl, bool shift, int notches = 0) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ev[i].action, a);
        EXPECT_EQ(ev[i].button, b);
        EXPECT_EQ(ev[i].x, x);
        EXPECT_EQ(ev[i].y, y);
        EXPECT_EQ(ev[i].ctrl, ctrl);
        EXPECT_EQ(ev[i].shift, shift);
        EXPECT_EQ(ev[i].wheelNotches, notches);
    };
    using A = MouseAction;
    using B = MouseButton;
    check(0, A::Press, B::Left, 10, 20, true, false);
    check(1, A::Move, B::Left, -30, 250, false, true);
    check(2, A::Release, B::Left, -31, 251, false, false);
    check(3, A::DoubleClick, B::Left, 11, 21, false, false);
    check(4, A::Release, B::Left, 11, 21, false, false);
    check(5, A::Press, B::Right, 5, 6, false, true);
    check(6, A::Release, B::Right, 5, 6, false, true);
    check(7, A::Wheel, B::None, 40, 50, true, false, 2);
    check(8, A::Wheel, B::None, 40, 50, false, false, 1);
    check(9, A::Wheel, B::None, 40, 50, false, false, -1);
    // The press holds the capture for the drag; the release gives it back.
    const std::vector<HWND> captured{o.child, o.child, nullptr, o.child};
    EXPECT_EQ(std::vector<HWND>(o.client.capturedAt.begin(), o.client.capturedAt.begin() + 4), captured);
    EXPECT_EQ(GetCapture(), nullptr);

    // When another window takes the capture the drag ends with a release.
    SendMessageA(o.child, WM_LBUTTONDOWN, MK_LBUTTON, at(30, 40));
    SendMessageA(o.child, WM_MOUSEMOVE, MK_LBUTTON, at(35, 45));
    SetCapture(o.parent);
    ReleaseCapture();
    ASSERT_EQ(ev.size(), 13u);
    check(12, MouseAction::Release, MouseButton::Left, 35, 45, false, false);
}

// A modal loop run by the client (a message box from a button) dispatches the
// window's messages: no tick and no paint of the client may run inside it.
TEST(Win32Window, AModalLoopInsideTheClientIsNotReentered)
{
    Opened o;
    ASSERT_NE(o.window, nullptr);
    pump(50);
    int ticksInside = -1;
    o.client.duringMouse = [&] {
        o.client.duringMouse = nullptr;
        const int before = o.client.ticks;
        InvalidateRect(o.child, nullptr, FALSE);
        PostMessageA(o.child, WM_LBUTTONDOWN, MK_LBUTTON, at(1, 1));
        pump(200);
        o.window->idle();
        ticksInside = o.client.ticks - before;
    };
    SendMessageA(o.child, WM_LBUTTONDOWN, MK_LBUTTON, at(10, 20));
    EXPECT_EQ(ticksInside, 0);
    EXPECT_EQ(o.client.events.size(), 1u);
    EXPECT_EQ(mismatches(o.child, o.client.framebuffer()), 0) << "the window still shows the framebuffer";
    const int after = o.client.ticks;
    pump(200);
    EXPECT_GT(o.client.ticks, after + 3);
}

} // namespace
