#pragma once
// What the Windows GUI tests need of a host: a top-level window to be the parent,
// a message loop run for a while, and the pixels a window shows.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace wintest {

// A visible top-level window whose client area is width x height, at (x, y) on screen.
inline HWND createParent(int width, int height, int x = 40, int y = 40)
{
    static const ATOM registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "WinTestHostParent";
        return RegisterClassA(&wc);
    }();
    if (registered == 0)
        return nullptr;
    constexpr DWORD parentStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, parentStyle, FALSE);
    HWND hwnd = CreateWindowExA(0, "WinTestHostParent", "test host", parentStyle, x, y, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (hwnd != nullptr) {
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

// Dispatches this thread's messages for `ms` milliseconds.
inline void pump(DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

inline HWND firstChild(HWND parent) { return FindWindowExA(parent, nullptr, nullptr, nullptr); }

// The window's client area as 0x00RRGGBB words, rows top-down.
inline std::vector<std::uint32_t> grab(HWND hwnd, int width, int height)
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    BITMAPINFO info{};
    // 32-bit rows, top row first (a negative height).
    info.bmiHeader = {static_cast<DWORD>(sizeof(BITMAPINFOHEADER)), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC window = GetDC(hwnd), memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    for (auto& p : pixels)
        p &= 0xFFFFFFu;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, window);
    return pixels;
}

} // namespace wintest
