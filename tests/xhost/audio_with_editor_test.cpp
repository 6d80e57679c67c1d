// The audio thread's contract with the editor open: while the host's main thread
// idles the editor in a real X window, switches it through its display views and
// drags a dial, processing neither allocates nor waits on a lock. Under
// ThreadSanitizer the counters step aside and the same run is what the race
// detector watches.

#include "../host/AudioThreadCounters.h"
#include "../host/PluginUnderTest.h"
#include "shell/Parameters.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

// Last: Xlib's macros (None, Bool, Status) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

using namespace brimtone;
using namespace brimtone::host;
using namespace std::chrono_literals;

namespace {

constexpr int kFrames = 128;
constexpr double kRate = 48000.0;

// Panel coordinates: the Off, Bias, Tonestack and XY display buttons (50 × 40), the
// Volume dial, and the area the views draw in.
constexpr int kDisplayButtonX[] = {415, 471, 526, 582};
constexpr int kDisplayButtonY = 223;
constexpr int kVolumeX = 325 + 32, kVolumeY = 30 + 29;
constexpr int kViewsX = 436, kViewsY = 138, kViewsWidth = 172, kViewsHeight = 80;

class XInput {
public:
    XInput(Display* display, Window window) : display_(display), window_(window) {}
    void moveTo(int x, int y)
    {
        int rootX, rootY;
        Window child;
        XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, 0);
        XSync(display_, False);
    }
    void button(bool down)
    {
        XTestFakeButtonEvent(display_, 1, down ? True : False, 0);
        XSync(display_, False);
    }
    std::vector<unsigned long> viewPixels()
    {
        std::vector<unsigned long> pixels;
        if (XImage* image
            = XGetImage(display_, window_, kViewsX, kViewsY, kViewsWidth, kViewsHeight, AllPlanes, ZPixmap)) {
            for (int y = 0; y < kViewsHeight; ++y)
                for (int x = 0; x < kViewsWidth; ++x)
                    pixels.push_back(XGetPixel(image, x, y));
            XDestroyImage(image);
        }
        return pixels;
    }

private:
    Display* display_;
    Window window_;
};

} // namespace

TEST(AudioWithEditor, AudioThreadNeitherAllocatesNorBlocksWhileTheEditorRuns)
{
    const PluginModule& module = pluginUnderTest();
    ASSERT_TRUE(module.loaded()) << module.loadError();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        GTEST_SKIP() << "no X server (run under xvfb-run)";
    int event, error, major, minor;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
        GTEST_SKIP() << "the X server has no XTest extension";
    const std::string countersMissing = counters::unavailableReason();

    Instance plugin(module, kRate, kFrames);
    plugin.set(Channel, 1.0f); // Lead: the busiest amplifier
    plugin.set(SpkSim, 1.0f);  // cabinet and spring: the convolvers' hand-offs
    plugin.set(RevMode, 1.0f);
    Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1024, 362, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    ASSERT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
    Window root, up, *list = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(display, parent, &root, &up, &list, &count) && count == 1);
    XInput input(display, list[0]);
    XFree(list);

    // The audio thread plays a plucked string over and over, loud enough to drive the
    // meters and the views, while the host thread works the editor.
    counters::Counts audio;
    std::atomic<bool> playing{true};
    std::atomic<long> blocks{0};
    std::thread audioThread([&] {
        const std::vector<float> guitar = pluckedLowE(kRate, 1.0);
        std::vector<float> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        std::size_t position = 0;
        counters::AudioThreadScope scope(audio);
        while (playing.load()) {
            for (int i = 0; i < kFrames; ++i, position = (position + 1) % guitar.size())
                left[i] = right[i] = 4.0f * guitar[position];
            plugin.effect()->processReplacing(plugin.effect(), ins, outs, kFrames);
            blocks.fetch_add(1);
            std::this_thread::sleep_for(1ms); // about real time for 128 frames at 48 kHz
        }
    });
    auto idleFor = [&](std::chrono::milliseconds duration) {
        for (auto end = std::chrono::steady_clock::now() + duration; std::chrono::steady_clock::now() < end;) {
            plugin.dispatch(vst::effEditIdle);
            std::this_thread::sleep_for(16ms);
        }
    };

    hostRecord().edits.clear();
    hostRecord().recordEdits = true;
    idleFor(200ms);
    const auto displayOff = input.viewPixels();
    int viewsDrawn = 0, phasesWithAudio = 0;
    for (int view = 1; view <= 3; ++view) {
        const long blocksBefore = blocks.load();
        input.moveTo(kDisplayButtonX[view] + 25, kDisplayButtonY + 10);
        input.button(true);
        input.button(false);
        idleFor(300ms);
        viewsDrawn += input.viewPixels() != displayOff;
        // A drag on Volume: the engine picks up each edit at its next block.
        input.moveTo(kVolumeX, kVolumeY);
        input.button(true);
        for (int step = 1; step <= 5; ++step) {
            input.moveTo(kVolumeX, kVolumeY + (view % 2 ? -8 : 8) * step);
            idleFor(50ms);
        }
        input.button(false);
        idleFor(100ms);
        phasesWithAudio += blocks.load() - blocksBefore >= 10;
    }
    playing = false;
    audioThread.join();
    hostRecord().recordEdits = false;
    plugin.dispatch(vst::effEditClose);
    XDestroyWindow(display, parent);
    XCloseDisplay(display);

    // The run did what it claims: the audio ran throughout, each view drew, and the
    // player's drags reached the host.
    EXPECT_EQ(phasesWithAudio, 3);
    EXPECT_EQ(viewsDrawn, 3);
    int automated = 0;
    for (const auto& edit : hostRecord().edits)
        automated += edit.opcode == vst::audioMasterAutomate && edit.index == Level;
    EXPECT_GE(automated, 3);
    if (!countersMissing.empty()) {
        std::printf("allocation and lock counters not available here: %s\n", countersMissing.c_str());
        return;
    }
    EXPECT_EQ(audio.allocations, 0);
    EXPECT_EQ(audio.blockingLocks, 0);
}
