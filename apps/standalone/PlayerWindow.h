#pragma once
// The standalone's top-level X11 window. With an editor the plug-in draws
// into it (effEditOpen gets the window); without one it shows the program
// and the keys. Either way PageUp/PageDown and the arrow keys step programs.

#include <memory>
#include <string>

namespace brimtone::standalone {

class PlayerWindow {
public:
    // Connects to the X display; nothing and the reason when there is none.
    static std::unique_ptr<PlayerWindow> open(int width, int height, std::string& error);
    ~PlayerWindow();
    PlayerWindow(const PlayerWindow&) = delete;
    PlayerWindow& operator=(const PlayerWindow&) = delete;

    unsigned long windowId() const;
    void show(const std::string& title, const std::string& status);

    enum class Action { Nothing, NextProgram, PreviousProgram, Close };
    // Waits up to `timeoutMs` for the window's next event; handles redraws itself.
    Action wait(int timeoutMs);

private:
    struct State;
    explicit PlayerWindow(std::unique_ptr<State> state);
    void draw();
    std::unique_ptr<State> state_;
};

} // namespace brimtone::standalone
