// The editor of the built plug-in in a real X server (run under xvfb-run): a host
// window, the editor opened in it through the dispatcher, idled as hosts idle it,
// clicked with XTest; checks the automation the host receives and compares the
// window's pixels with the editor's headless rendering.

#include "../host/AudioThreadCounters.h"
#include "../host/PluginUnderTest.h"
#include "editor/QIVEditor.h"
#include "shell/Parameters.h"
#include "shell/PluginIdentity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

// Last: Xlib's macros (None, Bool, Status) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

using namespace brimtone;
using namespace brimtone::host;
using namespace std::chrono_literals;

namespace {

const PluginModule& module() { return pluginUnderTest(); }

// The headless editor with the plug-in's parameter values and no signal: what the
// window must show with the display off and the status line empty.
class MirroredValues final : public editor::EditorEffect {
public:
    explicit MirroredValues(Instance& plugin) : plugin_(plugin) {}
    void attach(EffectEditor*) override {}
    const PluginIdentity& identity() const override { return pluginIdentity; }
    float parameter(int index) override { return plugin_.get(index); }
    void parameterName(int, editor::ParamText& text) override { text[0] = '\0'; }
    void parameterDisplay(int, editor::ParamText& text) override { text[0] = '\0'; }
    float factoryValue(int) override { return 0.0f; }
    void beginEdit(int) override {}
    void setAutomated(int, float) override {}
    void endEdit(int) override {}
    bool readDisplay(editor::DisplayView) override { return false; }
    const MeterSnapshot& meters() const override { return meters_; }
    const std::array<float, FrequencyGrid::kPoints>& responseDb() const override { return levels_; }
    const TransferCapture::Point* trace(int) const override { return points_; }

private:
    Instance& plugin_;
    MeterSnapshot meters_;
    std::array<float, FrequencyGrid::kPoints> levels_{};
    TransferCapture::Point points_[TransferCapture::kPoints]{};
};

// Editor control ids.
constexpr int kVolumeDial = 2, kLeadButton = 24, kDisplayOffKey = 37;

struct NoWindow final : editor::NativeWindow {
    void idle() override {}
};

class XHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!module().loaded())
            GTEST_SKIP() << module().loadError();
        // One connection for the whole run: a server whose last client leaves resets,
        // and refuses connections for a moment while it does.
        static Display* const shared = XOpenDisplay(nullptr);
        display = shared;
        if (display == nullptr)
            GTEST_SKIP() << "no X server (run under xvfb-run)";
        int event, error, major, minor;
        hasXTest = XTestQueryExtension(display, &event, &error, &major, &minor);
        hostRecord().edits.clear();
        hostRecord().recordEdits = true;
    }
    void TearDown() override { hostRecord().recordEdits = false; }

    Window makeParent(int x = 0, int y = 0)
    {
        Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 1024, 362, 0, 0, 0);
        XMapWindow(display, w);
        XSync(display, False);
        return w;
    }
    std::vector<Window> children(Window parent)
    {
        Window root, up, *list = nullptr;
        unsigned n = 0;
        std::vector<Window> result;
        if (XQueryTree(display, parent, &root, &up, &list, &n)) {
            result.assign(list, list + n);
            XFree(list);
        }
        return result;
    }
    static void idleFor(Instance& plugin, double hz, std::chrono::milliseconds duration)
    {
        auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end) {
            plugin.dispatch(vst::effEditIdle);
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(1e6 / hz)));
        }
    }
    void pointerTo(Window w, int x, int y)
    {
        int rx, ry;
        Window child;
        XTranslateCoordinates(display, w, DefaultRootWindow(display), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(display, DefaultScreen(display), rx, ry, 0);
        XSync(display, False);
    }
    void button(unsigned b, bool down)
    {
        XTestFakeButtonEvent(display, b, down ? True : False, 0);
        XSync(display, False);
    }
    void click(unsigned b, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            button(b, true);
            button(b, false);
        }
    }
    std::vector<std::uint32_t> screenshot(Window w, int left = 0, int top = 0, int width = 1024, int height = 362)
    {
        std::vector<std::uint32_t> pixels;
        XImage* image = XGetImage(display, w, left, top, width, height, AllPlanes, ZPixmap);
        if (image == nullptr)
            return pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF);
        XDestroyImage(image);
        return pixels;
    }
    // The editor without a window, showing the plug-in's values.
    static std::unique_ptr<editor::QIVEditor> headlessEditor(Instance& plugin)
    {
        auto headless = std::make_unique<editor::QIVEditor>(
            std::make_unique<MirroredValues>(plugin),
            [](void*, int, int, editor::WindowClient&) { return std::unique_ptr<editor::NativeWindow>(new NoWindow); });
        int dummy = 0;
        EXPECT_TRUE(headless->open(&dummy));
        return headless;
    }
    // The pointer to the middle of control `id`, placed by the editor's own layout
    // (`layout`, a headless editor); returns that point.
    std::pair<int, int> pointerToControl(editor::QIVEditor& layout, Window child, int id)
    {
        const editor::Rect r = layout.control(id).rect();
        const int x = r.left + r.width() / 2, y = r.top + r.height() / 2;
        pointerTo(child, x, y);
        return {x, y};
    }
    // How many pixels differ from the headless rendering of the same values.
    int differences(Instance& plugin, Window child)
    {
        const auto headless = headlessEditor(plugin);
        headless->paint();
        auto shot = screenshot(child);
        if (shot.size() != 1024u * 362u)
            return -1;
        int differ = 0;
        for (int y = 0; y < 362; ++y)
            for (int x = 0; x < 1024; ++x)
                differ += shot[static_cast<std::size_t>(y) * 1024 + x] != (headless->framebuffer().at(x, y) & 0xFFFFFF);
        return differ;
    }
    std::vector<EditReport> takeEdits()
    {
        auto e = hostRecord().edits;
        hostRecord().edits.clear();
        return e;
    }

    Display* display = nullptr;
    bool hasXTest = false;
};

} // namespace

TEST_F(XHostTest, OpensInTheHostWindowAndShowsTheHeadlessPictureAtEveryIdleRate)
{
    Instance plugin(module());
    ASSERT_TRUE(plugin.effect()->flags & vst::effFlagsHasEditor);
    plugin.dispatch(vst::effEditIdle); // before open: nothing
    Window parent = makeParent();
    ASSERT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
    ASSERT_EQ(children(parent).size(), 1u);
    Window child = children(parent)[0];
    XWindowAttributes a;
    XGetWindowAttributes(display, child, &a);
    EXPECT_EQ(a.width, 1024);
    EXPECT_EQ(a.height, 362);

    // Host automation reaches the window at 15, 25 and 60 idles per second, from
    // the main thread and from another one.
    const struct {
        double hz;
        bool otherThread;
        float volume;
    } runs[] = {{15, false, 0.2f}, {25, false, 0.9f}, {60, false, 0.5f}, {25, true, 0.7f}, {60, true, 0.3f}};
    for (const auto& run : runs) {
        plugin.set(4, run.volume);
        if (run.otherThread)
            std::thread([&] { idleFor(plugin, run.hz, 300ms); }).join();
        else
            idleFor(plugin, run.hz, 300ms);
        XSync(display, False);
        EXPECT_EQ(differences(plugin, child), 0) << run.hz << " Hz";
    }
    EXPECT_TRUE(takeEdits().empty()) << "following the host sends nothing back";

    // A second instance open at once, in its own window.
    Instance second(module());
    Window b = makeParent(0, 400);
    ASSERT_EQ(second.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(b)), 1);
    second.set(4, 0.8f);
    for (int i = 0; i < 10; ++i) {
        plugin.dispatch(vst::effEditIdle);
        second.dispatch(vst::effEditIdle);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(differences(plugin, child), 0);
    EXPECT_EQ(differences(second, children(b).at(0)), 0);
    second.dispatch(vst::effEditClose);
    plugin.dispatch(vst::effEditClose);
    EXPECT_TRUE(children(parent).empty());
    plugin.dispatch(vst::effEditClose);
    XDestroyWindow(display, parent);
    XDestroyWindow(display, b);
}

TEST_F(XHostTest, OpenAndCloseSurviveWhatHostsDo)
{
    auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator{});
    };
    Instance plugin(module());
    Window parent = makeParent();
    void* p = reinterpret_cast<void*>(parent);
    // A second open replaces the first window.
    ASSERT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, p), 1);
    ASSERT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, p), 1);
    idleFor(plugin, 60, 50ms);
    EXPECT_EQ(children(parent).size(), 1u);
    plugin.dispatch(vst::effEditClose);

    // 100 openings leave no window and no connection behind.
    const auto files = openFiles();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, p), 1);
        plugin.dispatch(vst::effEditIdle);
        plugin.dispatch(vst::effEditClose);
    }
    EXPECT_TRUE(children(parent).empty());
    EXPECT_EQ(openFiles(), files);

    // The host destroys its window before closing the editor.
    ASSERT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, p), 1);
    idleFor(plugin, 60, 50ms);
    XDestroyWindow(display, parent);
    XSync(display, False);
    idleFor(plugin, 60, 50ms);
    plugin.dispatch(vst::effEditClose);
    plugin.dispatch(vst::effEditIdle);
    // A window id that does not exist is refused.
    EXPECT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, p), 0);
}

TEST_F(XHostTest, IdledOftenTheEditorTicksEvery33Milliseconds)
{
    // A host value reaches the window at the next tick: idled every millisecond,
    // the Input dial (on every panel) changes picture once per tick period.
    Instance plugin(module());
    Window parent = makeParent();
    ASSERT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
    const Window child = children(parent).at(0);
    auto dial = [&] { return screenshot(child, 80, 158, 64, 58); };
    std::vector<double> periods;
    plugin.set(2, 0.05f);
    auto shown = dial();
    auto last = std::chrono::steady_clock::now();
    for (int changes = 0; changes < 12 && std::chrono::steady_clock::now() - last < 1s;) {
        plugin.dispatch(vst::effEditIdle);
        XSync(display, False);
        auto now = dial();
        if (now == shown) {
            std::this_thread::sleep_for(1ms);
            continue;
        }
        const auto at = std::chrono::steady_clock::now();
        if (changes++ > 1)
            periods.push_back(std::chrono::duration<double, std::milli>(at - last).count());
        last = at;
        shown = now;
        plugin.set(2, changes % 2 ? 0.95f : 0.05f);
    }
    ASSERT_EQ(periods.size(), 10u);
    std::sort(periods.begin(), periods.end());
    EXPECT_NEAR(periods[5], 33.0, 4.0);
    plugin.dispatch(vst::effEditClose);
    XDestroyWindow(display, parent);
}

// While the main thread idles the editor and the mouse works it (Lead, the display
// keys, drags on Volume, the wheel, a double click), the audio thread (cabinet and
// spring on) plays throughout and neither allocates nor waits on a lock; each
// gesture reaches the host as one. Under a sanitizer the counters step aside.
TEST_F(XHostTest, MouseGesturesReachTheHostWhileTheAudioThreadNeitherAllocatesNorBlocks)
{
    if (!hasXTest)
        GTEST_SKIP() << "the X server has no XTEST extension";
    constexpr int kFrames = 128;
    Instance plugin(module(), 48000.0, kFrames);
    plugin.set(SpkSim, 1.0f);
    plugin.set(RevMode, 1.0f);
    plugin.set(Level, 0.5f);
    Window parent = makeParent();
    ASSERT_EQ(plugin.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
    const Window child = children(parent).at(0);
    const auto layout = headlessEditor(plugin);

    counters::Counts audio;
    std::atomic<bool> playing{true};
    std::atomic<long> blocks{0};
    std::thread audioThread([&] {
        const std::vector<float> guitar = pluckedLowE(48000.0, 1.0);
        std::vector<float> in(kFrames), outLeft(kFrames), outRight(kFrames);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        std::size_t position = 0;
        counters::AudioThreadScope scope(audio);
        while (playing.load()) {
            for (int i = 0; i < kFrames; ++i, position = (position + 1) % guitar.size())
                in[i] = 4.0f * guitar[position];
            plugin.effect()->processReplacing(plugin.effect(), ins, outs, kFrames);
            blocks.fetch_add(1);
            std::this_thread::sleep_for(1ms);
        }
    });
    auto settle = [&](std::chrono::milliseconds duration) { idleFor(plugin, 60, duration); };
    settle(200ms);
    takeEdits();
    pointerToControl(*layout, child, kLeadButton);
    click(1);
    settle(120ms);
    EXPECT_EQ(takeEdits().size(), 3u) << "begin, set, end";
    EXPECT_EQ(plugin.get(Channel), 1.0f);

    auto views = [&] { return screenshot(child, 436, 138, 172, 80); };
    const auto displayOff = views();
    int viewsDrawn = 0, phasesWithAudio = 0;
    for (int view = 1; view <= 3; ++view) {
        const long blocksBefore = blocks.load();
        pointerToControl(*layout, child, kDisplayOffKey + view);
        click(1);
        settle(300ms);
        viewsDrawn += views() != displayOff;
        // 40 pixels up or down: a fifth of the range, as one gesture.
        takeEdits();
        const float before = plugin.get(Level);
        const auto [x, y] = pointerToControl(*layout, child, kVolumeDial);
        button(1, true);
        for (int step = 1; step <= 4; ++step) {
            pointerTo(child, x, y + (view % 2 ? -10 : 10) * step);
            settle(50ms);
        }
        button(1, false);
        settle(100ms);
        phasesWithAudio += blocks.load() - blocksBefore >= 10;
        const auto edits = takeEdits();
        ASSERT_GE(edits.size(), 3u);
        EXPECT_EQ(edits.front().opcode, vst::audioMasterBeginEdit);
        EXPECT_EQ(edits.back().opcode, vst::audioMasterEndEdit);
        for (std::size_t i = 1; i + 1 < edits.size(); ++i)
            EXPECT_TRUE(edits[i].opcode == vst::audioMasterAutomate && edits[i].index == Level) << i;
        EXPECT_NEAR(plugin.get(Level), before + (view % 2 ? 0.2f : -0.2f), 0.011f);
    }
    // The wheel, two notches up; then a double click: program 0's factory value.
    const float dragged = plugin.get(Level);
    pointerToControl(*layout, child, kVolumeDial);
    click(4, 2);
    settle(120ms);
    EXPECT_NEAR(plugin.get(Level), dragged + 0.02f, 0.001f);
    click(1, 2);
    settle(120ms);
    EXPECT_FLOAT_EQ(plugin.get(Level), Instance(module()).get(Level));
    const auto edits = takeEdits();
    EXPECT_TRUE(!edits.empty() && edits.back().opcode == vst::audioMasterEndEdit);

    playing = false;
    audioThread.join();
    plugin.dispatch(vst::effEditClose);
    XDestroyWindow(display, parent);
    EXPECT_EQ(phasesWithAudio, 3);
    EXPECT_EQ(viewsDrawn, 3);
    if (const std::string missing = counters::unavailableReason(); !missing.empty())
        GTEST_SKIP() << "allocation and lock counters not available here: " << missing;
    EXPECT_EQ(audio.allocations, 0);
    EXPECT_EQ(audio.blockingLocks, 0);
}
