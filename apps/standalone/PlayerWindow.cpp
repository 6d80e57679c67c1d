#include "PlayerWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>

#include <poll.h>

namespace brimtone::standalone {

struct PlayerWindow::State {
    Display* display = nullptr;
    Window window = 0;
    Atom deleteWindow = 0;
    bool destroyed = false; // by someone else, e.g. a window manager's kill
    std::string status;
};

namespace {

// Xlib's default handler ends the program on any error. A window destroyed from
// outside is still drawn to until its DestroyNotify arrives: that one is expected.
int reportXError(Display* display, XErrorEvent* error)
{
    if (error->error_code != BadWindow && error->error_code != BadDrawable) {
        char text[256];
        XGetErrorText(display, error->error_code, text, sizeof text);
        std::fprintf(stderr, "brimtone-standalone: X error: %s\n", text);
    }
    return 0;
}

} // namespace

std::unique_ptr<PlayerWindow> PlayerWindow::open(int width, int height, std::string& error)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        error = name != nullptr && name[0] != '\0' ? std::string("cannot open the display '") + name + "'"
                                                   : std::string("no display (DISPLAY is not set)");
        return nullptr;
    }
    XSetErrorHandler(reportXError);
    auto state = std::make_unique<State>();
    state->display = display;
    const int screen = DefaultScreen(display);
    state->window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                        BlackPixel(display, screen));
    XSelectInput(display, state->window, KeyPressMask | ExposureMask | StructureNotifyMask);
    state->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, state->window, &state->deleteWindow, 1);
    // A fixed size: the editor panel does not scale.
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(display, state->window, &hints);
    return std::unique_ptr<PlayerWindow>(new PlayerWindow(std::move(state)));
}

PlayerWindow::PlayerWindow(std::unique_ptr<State> state) : state_(std::move(state)) {}

PlayerWindow::~PlayerWindow()
{
    if (!state_->destroyed)
        XDestroyWindow(state_->display, state_->window);
    XCloseDisplay(state_->display);
}

unsigned long PlayerWindow::windowId() const { return state_->window; }

void PlayerWindow::show(const std::string& title, const std::string& status)
{
    XStoreName(state_->display, state_->window, title.c_str());
    state_->status = status;
    XMapRaised(state_->display, state_->window);
    draw();
    XFlush(state_->display);
}

void PlayerWindow::draw()
{
    if (state_->status.empty())
        return;
    Display* display = state_->display;
    GC gc = DefaultGC(display, DefaultScreen(display));
    XClearWindow(display, state_->window);
    XSetForeground(display, gc, WhitePixel(display, DefaultScreen(display)));
    int y = 30;
    std::size_t start = 0;
    while (start <= state_->status.size()) {
        std::size_t end = state_->status.find('\n', start);
        if (end == std::string::npos)
            end = state_->status.size();
        XDrawString(display, state_->window, gc, 20, y, state_->status.data() + start, static_cast<int>(end - start));
        y += 20;
        start = end + 1;
    }
}

PlayerWindow::Action PlayerWindow::wait(int timeoutMs)
{
    Display* display = state_->display;
    if (XPending(display) == 0) {
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, timeoutMs);
        if (XPending(display) == 0)
            return Action::Nothing;
    }
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0)
            draw();
        return Action::Nothing;
    case ClientMessage:
        return static_cast<Atom>(event.xclient.data.l[0]) == state_->deleteWindow ? Action::Close : Action::Nothing;
    case DestroyNotify:
        state_->destroyed = true;
        return Action::Close;
    case KeyPress:
        switch (XLookupKeysym(&event.xkey, 0)) {
        case XK_Page_Down:
        case XK_Down:
        case XK_Right:
            return Action::NextProgram;
        case XK_Page_Up:
        case XK_Up:
        case XK_Left:
            return Action::PreviousProgram;
        default:
            return Action::Nothing;
        }
    default:
        return Action::Nothing;
    }
}

} // namespace brimtone::standalone
