// The editor headless: a recording effect, a window never shown, synthetic mouse and ticks.

#include "editor/Compositing.h"
#include "editor/DisplayViews.h"
#include "editor/QIVEditor.h"
#include "platform/HttpGet.h"

#include "update/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace brimtone;
using namespace brimtone::editor;
using Log = std::vector<std::string>;

namespace {

class RecordingEffect final : public EditorEffect {
public:
    float values[20] = {}, factory[20] = {};
    Log log;
    EffectEditor* attached = nullptr;
    bool freshResponse = true;
    MeterSnapshot snapshot;
    std::array<float, FrequencyGrid::kPoints> levels{};
    TransferCapture::Point points[2][TransferCapture::kPoints]{};
    PluginIdentity id{
        "QIV", "Brimtone", "QIV Brimtone RX14", "https://brimtone.example/?q=audio-fx", "unused", {'Q', 'B', 'R', 'T'},
        1000};

    void attach(EffectEditor* editor) override { attached = editor; }
    const PluginIdentity& identity() const override { return id; }
    float parameter(int index) override { return values[index]; }
    void parameterName(int index, ParamText& text) override { std::snprintf(text, sizeof text, "P%d", index); }
    void parameterDisplay(int i, ParamText& text) override { std::snprintf(text, sizeof text, "%.2f", values[i]); }
    float factoryValue(int index) override { return factory[index]; }
    void beginEdit(int index) override { log.push_back("begin " + std::to_string(index)); }
    void setAutomated(int index, float value) override
    {
        char text[32];
        std::snprintf(text, sizeof text, "set %d %.4g", index, values[index] = value);
        log.push_back(text);
    }
    void endEdit(int index) override { log.push_back("end " + std::to_string(index)); }
    bool readDisplay(DisplayView view) override { return view != DisplayView::TonestackResponse || freshResponse; }
    const MeterSnapshot& meters() const override { return snapshot; }
    const std::array<float, FrequencyGrid::kPoints>& responseDb() const override { return levels; }
    const TransferCapture::Point* trace(int channel) const override { return points[channel]; }
};

struct QuietWindow final : NativeWindow {
    void idle() override {}
};

class EditorTest : public ::testing::Test {
protected:
    EditorTest()
    {
        auto owned = std::make_unique<RecordingEffect>();
        fx = owned.get();
        fx->values[0] = 1.0f; // a clean full panel: enabled, Clean channel, first flavour
        fx->values[1] = 0.25f;
        editor = std::make_unique<QIVEditor>(std::move(owned), [](void*, int, int, WindowClient&) {
            return std::unique_ptr<NativeWindow>(new QuietWindow);
        });
        EXPECT_TRUE(editor->open(&parent));
        editor->paint();
        fx->log.clear();
    }
    void click(int id)
    {
        Rect r = editor->control(id).rect();
        for (auto a : {MouseAction::Press, MouseAction::Release})
            mouseAt(a, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void mouseAt(MouseAction action, int x, int y, int notches = 0)
    {
        const bool none = action == MouseAction::Move || action == MouseAction::Wheel;
        editor->mouse({action, none ? MouseButton::None : MouseButton::Left, x, y, false, false, notches});
    }
    void tick()
    {
        editor->onTimer();
        editor->paint();
    }
    std::vector<int> shownIds() const
    {
        std::vector<int> ids;
        for (int id = 0; id < kControlCount; ++id)
            if (editor->shown(id))
                ids.push_back(id);
        return ids;
    }
    // The nameplate area shows image `plate` over the panel, pixel for pixel.
    bool nameplateIs(int plate)
    {
        ResourceImages images;
        auto panel = images.image(123), picture = images.image(plate);
        for (int y = 0; panel && picture && y < picture->height(); ++y)
            for (int x = 0; x < picture->width(); ++x)
                if (editor->framebuffer().at(191 + x, 97 + y)
                    != blendPixel(panel->at(191 + x, 97 + y), picture->at(x, y), 255))
                    return false;
        return panel && picture;
    }

    int parent = 0;
    RecordingEffect* fx = nullptr;
    std::unique_ptr<QIVEditor> editor;
};

Log edit(int param, const std::string& value)
{
    const std::string p = std::to_string(param);
    return {"begin " + p, "set " + p + " " + value, "end " + p};
}

std::vector<int> range(int first, int last, std::vector<int> tail = {})
{
    std::vector<int> ids;
    for (int id = first; id <= last; ++id)
        ids.push_back(id);
    ids.insert(ids.end(), tail.begin(), tail.end());
    return ids;
}

} // namespace

TEST_F(EditorTest, OpeningAttachesStartsWithDisplayOffAndAboutFreezesTheDials)
{
    EXPECT_EQ(fx->attached, editor.get());
    EXPECT_FALSE(editor->open(nullptr)) << "no parent window";
    click(40);
    EXPECT_EQ(editor->displayMode(), 3);
    click(14);
    EXPECT_STREQ(editor->status().text(), "About Brimtone...");
    fx->values[2] = 0.9f; // Input: its dial shows on every panel
    tick();
    EXPECT_NE(editor->dial(8).value(0), 90);
    click(14);
    tick();
    EXPECT_EQ(editor->dial(8).value(0), 90);
    click(14);
    ASSERT_TRUE(editor->aboutShown());
    ASSERT_TRUE(editor->open(&parent)); // the second open replaces the first
    EXPECT_EQ(editor->displayMode(), 0);
    EXPECT_FALSE(editor->aboutShown());
    EXPECT_TRUE(editor->shown(6)) << "the full panel again";
}

TEST_F(EditorTest, EnableChannelAndFlavourDecideDialsSwitchesAndNameplate)
{
    click(12);
    EXPECT_EQ(fx->log, edit(0, "0"));
    EXPECT_STREQ(editor->status().text(), "Effect Enable = 0.00");
    EXPECT_EQ(shownIds(), range(8, 16, range(18, 24, {46})));
    fx->values[0] = 1.0f;
    tick();
    // Clean with the first flavour: Bright in place of Shape, nameplate 159.
    EXPECT_EQ(shownIds(), range(2, 17, range(18, 40, {46, 47})));
    EXPECT_TRUE(nameplateIs(159));
    fx->log.clear();
    click(26); // second flavour
    EXPECT_EQ(fx->log, edit(16, "0.3333"));
    EXPECT_TRUE(!editor->shown(17) && editor->shown(48) && !editor->shown(47));
    click(23); // Drive: Gain
    EXPECT_TRUE(editor->shown(0) && !editor->shown(1) && editor->shown(49));
    click(24); // Lead: Gain and Shape, nameplate 161
    EXPECT_TRUE(editor->shown(0) && editor->shown(1) && editor->shown(50));
    tick();
    EXPECT_TRUE(nameplateIs(161));
    click(21); // Bypass: no flavour buttons, and they no longer follow the host
    EXPECT_FALSE(editor->shown(25) || editor->shown(26) || editor->shown(27));
    fx->values[16] = 0.0f;
    tick();
    EXPECT_EQ(editor->button(26).state(), 1);
}

TEST_F(EditorTest, RadioGroupsSendTheirValuesAndReadThemBack)
{
    Log expected;
    for (auto [id, v] : {std::pair{21, "0"}, {22, "0.25"}, {23, "0.5"}, {24, "1"}, {24, "1"}}) {
        click(id);
        for (const auto& line : edit(1, v))
            expected.push_back(line);
    }
    EXPECT_EQ(fx->log, expected) << "the selected button, clicked again, sends again";
    EXPECT_EQ(editor->button(24).state(), 1);
    EXPECT_STREQ(editor->status().text(), "Preamp Channel = 1.00");
    for (auto [param, v, id] : {std::tuple{1, 0.74f, 23}, {1, 1.0f, 24}, {13, 0.5f, 19}}) {
        fx->values[param] = v;
        tick();
        EXPECT_EQ(editor->button(id).state(), 1) << v;
        EXPECT_EQ(editor->button(id - 1).state(), 0) << v;
    }
}

TEST_F(EditorTest, DialsFollowTheHostAndADragIsOneGesture)
{
    fx->values[4] = 0.42f;
    fx->values[3] = 0.9f; // Gain: hidden in Clean
    tick();
    EXPECT_EQ(editor->dial(2).value(0), 42);
    EXPECT_EQ(editor->dial(0).value(0), 0) << "a hidden dial does not follow";
    // Drag Volume up by 20 pixels (10 percent), a tick during the drag, far outside at the end.
    Rect r = editor->dial(2).rect();
    int x = r.left + 30, y = r.top + 30;
    mouseAt(MouseAction::Press, x, y);
    mouseAt(MouseAction::Move, x, y - 10);
    tick();
    EXPECT_STREQ(editor->status().text(), "P4 = 0.47");
    mouseAt(MouseAction::Move, x + 300, y - 20);
    mouseAt(MouseAction::Release, x + 300, y - 20);
    tick();
    EXPECT_EQ(fx->log, (Log{"begin 4", "set 4 0.47", "set 4 0.52", "end 4"}));
    // A double click returns the dial to the program's factory value.
    fx->log.clear();
    fx->factory[4] = 0.625f;
    for (auto a : {MouseAction::Press, MouseAction::Release, MouseAction::DoubleClick, MouseAction::Release})
        mouseAt(a, x, y);
    tick();
    EXPECT_EQ(fx->log, edit(4, "0.625"));
    EXPECT_EQ(editor->dial(2).value(0), 63);
}

TEST_F(EditorTest, MetersSpanMinus52ToPlus10DecibelsAndBiasNeedlesStopAtTheirEnds)
{
    // -21 dB is 31 dB above the floor: 50 %; huge and NaN peaks pin the ends.
    const double peaks[][5] = {{-52, 10, -21, -400, 0}, {6000, NAN, -52, -52, 1}};
    for (auto& c : peaks) {
        for (int ch = 0; ch < 2; ++ch) {
            fx->snapshot.inPeak[ch] = std::pow(10.0, c[ch] / 20.0);
            fx->snapshot.outPeak[ch] = std::pow(10.0, c[2 + ch] / 20.0);
        }
        tick();
        EXPECT_EQ(editor->meter(10).barValue(0), c[4] ? 100 : 0);
        EXPECT_EQ(editor->meter(10).barValue(1), c[4] ? 0 : 100);
        EXPECT_EQ(editor->meter(11).barValue(0), c[4] ? 0 : 50);
    }
    click(38);
    EXPECT_STREQ(editor->status().text(), "Display = Dynamic Bias");
    EXPECT_TRUE(editor->shown(42) && editor->shown(43) && !editor->shown(41));
    // The tip of the needle lies 52 pixels from (41, 67) at 55 degrees (left stop)
    // or 125 degrees (right stop); the pixel one before the tip is lit.
    auto litNear = [&](int id, double degrees) {
        double t = degrees * M_PI / 180.0;
        int x = static_cast<int>(41 - 50 * std::cos(t)), y = static_cast<int>(67 - 50 * std::sin(t));
        return (editor->scope(id).shownAt(x, y) >> 16 & 0xFF) > 0xB0; // red of the display colour
    };
    const double cases[][2] = {{0.5, 1.0}, {-5.0, -2.0}, {std::nan(""), 3.0}};
    for (auto& c : cases) {
        fx->snapshot.preampBias = c[0]; // positive: left stop
        fx->snapshot.powerBias = c[1];
        tick();
        bool firstLeft = !(c[0] < -2.0), secondLeft = !(c[1] <= -1.0);
        EXPECT_EQ(litNear(42, 55), firstLeft) << c[0];
        EXPECT_EQ(litNear(42, 125), !firstLeft) << c[0];
        EXPECT_EQ(litNear(43, 55), secondLeft) << c[1];
        EXPECT_EQ(litNear(43, 125), !secondLeft) << c[1];
    }
}

TEST_F(EditorTest, TheResponseCurveSitsAroundItsMeanAndKeepsItsLastImage)
{
    click(39);
    // A step: the low half 30 dB above the high half, mean in between.
    for (std::size_t k = 0; k < fx->levels.size(); ++k)
        fx->levels[k] = k < 86 ? 15.0f : -15.0f;
    tick();
    CScopeXY& s = editor->scope(41);
    const float mean = (86 * 15.0f - 87 * 15.0f) / 173.0f;
    // The curve's row in a column: the centre of the red it added to the face.
    auto rowOf = [&](int column) {
        double sum = 0, weighted = 0;
        for (int y = 0; y < s.height(); ++y) {
            double red = (s.shownAt(column, y) >> 16 & 0xFF) - (s.canvasAt(column, y) >> 16 & 0xFF);
            sum += red;
            weighted += red * y;
        }
        return weighted / sum;
    };
    // Column 1 + k holds point k: row (mean − L) / 35 · 40 + 41.
    EXPECT_NEAR(rowOf(150), (mean + 15.0f) / 35.0f * 40.0f + 41.0f, 0.02);
    fx->freshResponse = false; // no new curve: the last image stays
    fx->levels.fill(0.0f);
    tick();
    EXPECT_NEAR(rowOf(11), (mean - 15.0f) / 35.0f * 40.0f + 41.0f, 0.02);
}

TEST_F(EditorTest, TheTransferTraceAndItsOverflowMarker)
{
    click(40);
    fx->values[12] = 0.0f; // mono: only the left scope gets dots
    for (int i = 0; i < TransferCapture::kPoints; ++i) {
        double in = -2.0 + 4.0 * i / 511.0;
        fx->points[0][i] = {in, std::tanh(in)};
        fx->points[1][i] = {in, -in};
    }
    fx->points[0][7] = {0.0, 3.5}; // output above the plot
    tick();
    CScopeXY& left = editor->scope(44);
    // in = 1.5 → column 41 + 1.5/3·40 = 61; out tanh(1.5) = 0.905 → row 41 − 12.07.
    Pixel dot = left.shownAt(61, static_cast<int>((-std::tanh(1.5) / 3.0 * 80 + 82) * 0.5));
    EXPECT_EQ(dot & 0xFF281E, 0xFF281Eu);
    EXPECT_EQ(left.shownAt(20, left.clip().top), CScopeXY::markerBright);
    EXPECT_EQ(left.shownAt(20, left.clip().top + 1), CScopeXY::markerDim);
    EXPECT_NE(editor->scope(45).shownAt(61, 61) & 0xFF0000, 0xFF0000u) << "mono: the right scope stays empty";
    // Stereo: the right trace appears (out = -1.5: row 41 + 20); the left marker fades.
    fx->values[12] = 1.0f;
    fx->points[0][7] = {0.0, 0.0};
    tick();
    EXPECT_EQ(editor->scope(45).shownAt(61, 61) & 0xFF281E, 0xFF281Eu);
    EXPECT_NE(left.shownAt(20, left.clip().top), CScopeXY::markerBright);
}

// One check at a time, its texts in the status line, and the download question in
// the panel (X11 has no message box) that takes the mouse until it is answered.
TEST_F(EditorTest, UpdateCheckReportsInTheStatusLineAndAsksInThePanel)
{
    platform::HttpCancel probe;
    if (platform::httpGet("http://127.0.0.1:1/", "probe", {}, probe).outcome == platform::HttpOutcome::clientMissing)
        GTEST_SKIP() << "no HTTP client here (libcurl.so.4)";
    // Our record says 999, older than ours: any other version offers the download.
    const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\n" + std::string("TRBQ\xE7\x03\0\0", 8);
    std::atomic<int> requests{0};
    LocalHttpServer server([&](LocalHttpServer::Connection& c) { c.send(reply), ++requests; });
    setenv("BRIMTONE_UPDATE_URL", server.url("/versions.dat").c_str(), 1);
    click(15);
    click(15); // ignored while the first check runs
    EXPECT_STREQ(editor->status().text(), "Checking for updates...");
    for (int i = 0; i < 400 && !editor->question().asking(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        tick();
    }
    unsetenv("BRIMTONE_UPDATE_URL");
    EXPECT_EQ(requests.load(), 1);
    EXPECT_STREQ(editor->status().text(), "New version is available");
    ASSERT_TRUE(editor->question().asking());
    click(24); // only the question hears the mouse
    EXPECT_TRUE(fx->log.empty());
    const Rect box = editor->question().rect();
    mouseAt(MouseAction::Press, box.left + CQuestionPrompt::noButton.left + 5,
            box.top + CQuestionPrompt::noButton.top + 5);
    EXPECT_FALSE(editor->question().asking());
    click(24);
    EXPECT_FALSE(fx->log.empty());
}
