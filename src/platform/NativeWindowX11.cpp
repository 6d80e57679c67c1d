// The editor window on Linux: a child of the host's X11 window, drawn and driven
// through XCB.
//
// The X client library is loaded with dlopen when the first editor opens, so the
// module loads and renders on machines without any X library. XCB rather than
// Xlib: XCB reports errors per connection (as events, or to the request that asked
// to check), where Xlib's error handler is one for the whole process, shared with
// the host. Each open editor has its own connection; it runs no thread of its own:
// the host's effEditIdle drains the events and runs the 33 ms frame tick, scheduled
// by elapsed time.

#include "editor/NativeWindow.h"

#include <xcb/xcb.h> // types and constants only; the functions come through dlopen

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace brimtone::editor {

namespace {

// The XCB entry points the window uses, resolved once per process.
struct Xcb {
#define BRIMTONE_XCB_FUNCTIONS(X)                                                                                      \
    X(xcb_connect)                                                                                                     \
    X(xcb_connection_has_error)                                                                                        \
    X(xcb_disconnect)                                                                                                  \
    X(xcb_get_setup)                                                                                                   \
    X(xcb_setup_roots_iterator)                                                                                        \
    X(xcb_screen_next)                                                                                                 \
    X(xcb_screen_allowed_depths_iterator)                                                                              \
    X(xcb_depth_next)                                                                                                  \
    X(xcb_depth_visuals_iterator)                                                                                      \
    X(xcb_visualtype_next)                                                                                             \
    X(xcb_setup_pixmap_formats)                                                                                        \
    X(xcb_setup_pixmap_formats_length)                                                                                 \
    X(xcb_get_maximum_request_length)                                                                                  \
    X(xcb_generate_id)                                                                                                 \
    X(xcb_create_window_checked)                                                                                       \
    X(xcb_request_check)                                                                                               \
    X(xcb_map_window)                                                                                                  \
    X(xcb_destroy_window)                                                                                              \
    X(xcb_create_gc)                                                                                                   \
    X(xcb_free_gc)                                                                                                     \
    X(xcb_put_image)                                                                                                   \
    X(xcb_poll_for_event)                                                                                              \
    X(xcb_flush)
#define BRIMTONE_XCB_POINTER(name) decltype(&::name) name = nullptr;
    BRIMTONE_XCB_FUNCTIONS(BRIMTONE_XCB_POINTER)
#undef BRIMTONE_XCB_POINTER

    bool loaded = false;

    static const Xcb& instance()
    {
        static const Xcb xcb = [] {
            Xcb x;
            void* library = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
            if (library == nullptr)
                return x;
            bool all = true;
#define BRIMTONE_XCB_RESOLVE(name)                                                                                     \
    x.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                                               \
    all = all && x.name != nullptr;
            BRIMTONE_XCB_FUNCTIONS(BRIMTONE_XCB_RESOLVE)
#undef BRIMTONE_XCB_RESOLVE
            // The library stays loaded for the life of the process: the host may
            // use it too, and its state outlives our windows.
            x.loaded = all;
            return x;
        }();
        return xcb;
    }
};

// How the screen wants its pixels: bits per pixel, row padding, byte order and the
// channel masks of the visual.
struct PixelFormat {
    int bitsPerPixel = 0;
    int scanlinePad = 32;
    bool msbFirst = false;
    std::uint32_t red = 0, green = 0, blue = 0;

    static int shiftOf(std::uint32_t mask)
    {
        int s = 0;
        while (mask != 0 && (mask & 1u) == 0) {
            mask >>= 1;
            ++s;
        }
        return s;
    }
    // One opaque 0x??RRGGBB pixel in the visual's layout.
    std::uint32_t convert(std::uint32_t p) const
    {
        auto channel = [](std::uint32_t value8, std::uint32_t mask) {
            std::uint32_t max = mask >> shiftOf(mask);
            return ((value8 * max + 127) / 255) << shiftOf(mask);
        };
        return channel(p >> 16 & 0xFF, red) | channel(p >> 8 & 0xFF, green) | channel(p & 0xFF, blue);
    }
    bool native() const
    {
        return bitsPerPixel == 32 && !msbFirst && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF;
    }
};

class X11Window final : public NativeWindow {
public:
    X11Window(const Xcb& xcb, WindowClient& client) : xcb_(xcb), client_(client) {}
    ~X11Window() override;

    bool create(xcb_window_t parent, int width, int height);
    void idle() override;

private:
    using Clock = std::chrono::steady_clock;

    void handle(const xcb_generic_event_t& event, Rect& exposed);
    void button(const xcb_button_press_event_t& event, bool press);
    void present(const Rect& area);

    const Xcb& xcb_;
    WindowClient& client_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t window_ = 0;
    xcb_gcontext_t gc_ = 0;
    std::uint8_t depth_ = 0;
    PixelFormat format_;
    int width_ = 0;
    int height_ = 0;
    Clock::time_point nextTick_;
    std::vector<std::uint8_t> rows_; // one put request's pixels
    // The last left press, for telling a double click (X has none of its own).
    xcb_timestamp_t lastPressTime_ = 0;
    int lastPressX_ = -1000;
    int lastPressY_ = -1000;
};

constexpr auto kTickPeriod = std::chrono::milliseconds(33);
constexpr xcb_timestamp_t kDoubleClickMs = 400;
constexpr int kDoubleClickSlop = 4;

bool X11Window::create(xcb_window_t parent, int width, int height)
{
    int screenNumber = 0;
    connection_ = xcb_.xcb_connect(nullptr, &screenNumber);
    if (connection_ == nullptr || xcb_.xcb_connection_has_error(connection_))
        return false;
    const xcb_setup_t* setup = xcb_.xcb_get_setup(connection_);
    xcb_screen_iterator_t screens = xcb_.xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_.xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return false;
    const xcb_screen_t* screen = screens.data;
    depth_ = screen->root_depth;

    // The root visual's channel masks; only true-colour screens are supported.
    bool trueColour = false;
    for (auto d = xcb_.xcb_screen_allowed_depths_iterator(screen); d.rem > 0; xcb_.xcb_depth_next(&d)) {
        for (auto v = xcb_.xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_.xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual) {
                trueColour = v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR;
                format_.red = v.data->red_mask;
                format_.green = v.data->green_mask;
                format_.blue = v.data->blue_mask;
            }
        }
    }
    const xcb_format_t* formats = xcb_.xcb_setup_pixmap_formats(setup);
    for (int i = 0; i < xcb_.xcb_setup_pixmap_formats_length(setup); ++i) {
        if (formats[i].depth == depth_) {
            format_.bitsPerPixel = formats[i].bits_per_pixel;
            format_.scanlinePad = formats[i].scanline_pad;
        }
    }
    format_.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    if (!trueColour || (format_.bitsPerPixel != 16 && format_.bitsPerPixel != 24 && format_.bitsPerPixel != 32))
        return false;

    // The root visual with its own colormap, so that a parent of another visual
    // (an ARGB host window) still takes the child.
    window_ = xcb_.xcb_generate_id(connection_);
    const std::uint32_t values[] = {0, // border pixel
                                    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS
                                        | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_BUTTON_MOTION,
                                    screen->default_colormap};
    xcb_void_cookie_t made = xcb_.xcb_create_window_checked(
        connection_, depth_, window_, parent, 0, 0, static_cast<std::uint16_t>(width),
        static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
        XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
    if (xcb_generic_error_t* error = xcb_.xcb_request_check(connection_, made)) {
        std::free(error); // no such parent, or one that cannot hold our visual
        window_ = 0;
        return false;
    }
    gc_ = xcb_.xcb_generate_id(connection_);
    xcb_.xcb_create_gc(connection_, gc_, window_, 0, nullptr);
    xcb_.xcb_map_window(connection_, window_);
    xcb_.xcb_flush(connection_);
    width_ = width;
    height_ = height;
    nextTick_ = Clock::now() + kTickPeriod;
    return true;
}

X11Window::~X11Window()
{
    if (connection_ == nullptr)
        return;
    // When the host has destroyed its window already, ours went with it; the
    // errors these requests then cause come back on our connection, which is
    // closed unread.
    if (window_ != 0) {
        xcb_.xcb_free_gc(connection_, gc_);
        xcb_.xcb_destroy_window(connection_, window_);
        xcb_.xcb_flush(connection_);
    }
    xcb_.xcb_disconnect(connection_);
}

void X11Window::idle()
{
    Rect exposed;
    while (xcb_generic_event_t* event = xcb_.xcb_poll_for_event(connection_)) {
        handle(*event, exposed);
        std::free(event);
    }
    const Clock::time_point now = Clock::now();
    if (now >= nextTick_) {
        client_.onTimer();
        // A late tick is not caught up: the next one is a period after this one.
        nextTick_ += kTickPeriod;
        if (nextTick_ <= now)
            nextTick_ = now + kTickPeriod;
    }
    present(unite(client_.paint(), exposed));
}

void X11Window::handle(const xcb_generic_event_t& event, Rect& exposed)
{
    switch (event.response_type & 0x7F) {
    case 0: // an error of one of our requests: nothing to do about it
        break;
    case XCB_EXPOSE: {
        const auto& e = reinterpret_cast<const xcb_expose_event_t&>(event);
        exposed = unite(exposed, {e.x, e.y, e.x + e.width, e.y + e.height});
        break;
    }
    case XCB_BUTTON_PRESS:
        button(reinterpret_cast<const xcb_button_press_event_t&>(event), true);
        break;
    case XCB_BUTTON_RELEASE:
        button(reinterpret_cast<const xcb_button_press_event_t&>(event), false);
        break;
    case XCB_MOTION_NOTIFY: {
        const auto& e = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
        MouseEvent m;
        m.action = MouseAction::Move;
        m.x = e.event_x;
        m.y = e.event_y;
        m.ctrl = (e.state & XCB_MOD_MASK_CONTROL) != 0;
        m.shift = (e.state & XCB_MOD_MASK_SHIFT) != 0;
        client_.mouse(m);
        break;
    }
    default:
        break;
    }
}

void X11Window::button(const xcb_button_press_event_t& e, bool press)
{
    MouseEvent m;
    m.x = e.event_x;
    m.y = e.event_y;
    m.ctrl = (e.state & XCB_MOD_MASK_CONTROL) != 0;
    m.shift = (e.state & XCB_MOD_MASK_SHIFT) != 0;
    switch (e.detail) {
    case 1:
        m.button = MouseButton::Left;
        break;
    case 3:
        m.button = MouseButton::Right;
        break;
    case 4: // wheel away from the player
    case 5:
        if (!press)
            return;
        m.action = MouseAction::Wheel;
        m.wheelNotches = e.detail == 4 ? 1 : -1;
        client_.mouse(m);
        return;
    default:
        return;
    }
    // The press grabs the pointer implicitly: moves and the release keep coming to
    // this window while the button is down, wherever the pointer goes.
    m.action = press ? MouseAction::Press : MouseAction::Release;
    if (press && m.button == MouseButton::Left) {
        bool near = std::abs(m.x - lastPressX_) <= kDoubleClickSlop && std::abs(m.y - lastPressY_) <= kDoubleClickSlop;
        if (near && e.time - lastPressTime_ <= kDoubleClickMs) {
            m.action = MouseAction::DoubleClick;
            lastPressX_ = -1000; // a third press starts anew
        } else {
            lastPressX_ = m.x;
            lastPressY_ = m.y;
        }
        lastPressTime_ = e.time;
    }
    client_.mouse(m);
}

void X11Window::present(const Rect& area)
{
    const Framebuffer& fb = client_.framebuffer();
    const Rect r = intersect(area, intersect(fb.bounds(), {0, 0, width_, height_}));
    if (r.empty())
        return;
    const int bytesPerPixel = format_.bitsPerPixel / 8;
    const int pad = format_.scanlinePad / 8;
    const int stride = (r.width() * bytesPerPixel + pad - 1) / pad * pad;
    // Requests are limited in size: send the area in bands of whole rows.
    const std::size_t maxBytes = static_cast<std::size_t>(xcb_.xcb_get_maximum_request_length(connection_)) * 4 - 64;
    const int bandRows = std::max(1, static_cast<int>(maxBytes / static_cast<std::size_t>(stride)));
    const bool native = format_.native();
    for (int top = r.top; top < r.bottom; top += bandRows) {
        const int rows = std::min(bandRows, r.bottom - top);
        rows_.assign(static_cast<std::size_t>(stride) * rows, 0);
        for (int y = 0; y < rows; ++y) {
            const Pixel* in = fb.row(top + y) + r.left;
            std::uint8_t* out = rows_.data() + static_cast<std::size_t>(y) * stride;
            for (int x = 0; x < r.width(); ++x, out += bytesPerPixel) {
                std::uint32_t v = native ? in[x] : format_.convert(in[x]);
                for (int b = 0; b < bytesPerPixel; ++b)
                    out[format_.msbFirst ? bytesPerPixel - 1 - b : b] = static_cast<std::uint8_t>(v >> (8 * b));
            }
        }
        xcb_.xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<std::uint16_t>(r.width()),
                           static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(r.left),
                           static_cast<std::int16_t>(top), 0, depth_, static_cast<std::uint32_t>(rows_.size()),
                           rows_.data());
    }
    xcb_.xcb_flush(connection_);
}

} // namespace

std::unique_ptr<NativeWindow> openNativeWindow(void* parent, int width, int height, WindowClient& client)
{
    if (parent == nullptr || width < 1 || height < 1)
        return nullptr;
    const Xcb& xcb = Xcb::instance();
    if (!xcb.loaded)
        return nullptr;
    auto window = std::make_unique<X11Window>(xcb, client);
    if (!window->create(static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(parent)), width, height))
        return nullptr;
    return window;
}

} // namespace brimtone::editor
