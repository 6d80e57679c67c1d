#include "FakeImages.h"
#include "editor/CLabel.h"
#include "editor/CLedButton.h"
#include "editor/CLedDial.h"
#include "editor/CSlider.h"
#include "editor/ViewHost.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

using namespace brimtone::editor;
using namespace brimtone::editor::test;

namespace {

const Pixel grey = pixelFromBgra(48, 48, 48, 255);
const Pixel red = pixelFromBgra(0, 0, 255, 255);

struct Notices final : EditorNotifications {
    std::vector<std::pair<int, int>> sent;
    void buttonChanged(int id, int state) override { sent.emplace_back(id, state); }
};

struct Bench {
    FakeImages images;
    Image panel = patternPanel(300, 240);
    Notices notices;
    ViewHost host{300, 240};
    ControlContext context{images, &panel, &notices};

    Bench()
    {
        for (auto [id, w, h, p] : {std::tuple{130, 64, 58, grey},
                                   {131, 64, 58, red},
                                   {135, 28, 56, Pixel{0}},
                                   {153, 23, 175, grey},
                                   {154, 23, 175, red}})
            images.addSolid(id, w, h, p);
        host.setBackground(&panel);
    }
    void send(MouseAction action, int x, int y, bool ctrl = false, bool shift = false, int notches = 0)
    {
        const bool none = action == MouseAction::Move || action == MouseAction::Wheel;
        host.mouse({action, none ? MouseButton::None : MouseButton::Left, x, y, ctrl, shift, notches});
    }
    // The pixels of `control` that show its lit picture, in control coordinates.
    std::set<std::pair<int, int>> litPixels(CDlgElem& control)
    {
        control.invalidate();
        host.paint();
        std::set<std::pair<int, int>> lit;
        Rect r = control.rect();
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (host.framebuffer().at(x, y) == red)
                    lit.emplace(x - r.left, y - r.top);
        return lit;
    }
};

std::set<int> range(int first, int last)
{
    std::set<int> r;
    for (int i = first; i <= last; ++i)
        r.insert(i);
    return r;
}

} // namespace

TEST(CLedDial, PixelsStraightAboveTheCentreAndMouseRules)
{
    Bench b;
    CLedDial dial;
    dial.create(b.context, 10, 10, 130, 32.0f, 29.0f, CLedDial::editorRing(131), {}); // column 32 has dx = 0
    b.host.add(dial);
    auto column = [&](int value) {
        dial.setValue(0, value);
        std::set<int> rows;
        for (auto [x, y] : b.litPixels(dial))
            if (x == 32)
                rows.insert(y);
        return rows;
    };
    // Judged 0.1 pixel to the right of straight up: lit once 13 of 25 segments are
    // (the 13th boundary is past the top), never in the bottom gap.
    EXPECT_TRUE(column(49).empty());
    EXPECT_EQ(column(50), range(0, 8));
    EXPECT_EQ(column(100), range(0, 8));

    // Ctrl+click: the centre setting, and no drag.
    dial.setValue(0, 20);
    b.send(MouseAction::Press, 40, 40, true);
    b.send(MouseAction::Move, 40, 12);
    EXPECT_EQ(dial.value(0), 50);
    EXPECT_EQ(b.host.captured(), nullptr);
    b.send(MouseAction::Release, 40, 12, true);
    // A drag far above stops at 100; the release ends the capture.
    dial.setValue(0, 0);
    b.send(MouseAction::Press, 40, 60);
    b.send(MouseAction::Move, 250, -400);
    EXPECT_EQ(dial.value(0), 100);
    b.send(MouseAction::Release, 250, -400);
    EXPECT_EQ(b.host.captured(), nullptr);
    // With Shift only multiples of 10 are taken, each of them on the way.
    dial.setValue(0, 0);
    b.send(MouseAction::Press, 40, 60);
    std::set<int> seen;
    for (int y = 60; y >= -200; --y) {
        b.send(MouseAction::Move, 40, y, false, true);
        seen.insert(dial.value(0));
    }
    b.send(MouseAction::Release, 40, -200);
    EXPECT_EQ(seen, (std::set<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    // The wheel: one notch 1, with Shift to the next multiple of 10.
    dial.setValue(0, 47);
    b.host.paint();
    for (auto [shift, notches, after] : {std::tuple{false, 1, 48}, {true, 1, 50}, {true, -2, 30}}) {
        b.send(MouseAction::Wheel, 40, 40, false, shift, notches);
        EXPECT_EQ(dial.value(0), after);
    }
    EXPECT_TRUE(dial.changed(0));
}

TEST(CMeter, SegmentsOfTheEditorsMeterBars)
{
    Bench b;
    CMeter meter;
    meter.create(b.context, 24, 52, 153, 154, false, editorMeterBar(0), editorMeterBar(1));
    b.host.add(meter);
    auto rowsOfBar = [&](int left) {
        std::set<int> rows;
        for (auto [x, y] : b.litPixels(meter)) {
            if (x >= left && x < left + 8)
                rows.insert(y);
            EXPECT_TRUE((x >= 0 && x < 8) || (x >= 15 && x < 23)) << x;
        }
        return rows;
    };
    meter.setBarValue(0, 3);
    EXPECT_TRUE(rowsOfBar(0).empty());
    meter.setBarValue(0, 4);
    EXPECT_EQ(rowsOfBar(0), range(169, 174));
    meter.setBarValue(0, 100);
    EXPECT_EQ(rowsOfBar(0), range(1, 174));
    EXPECT_TRUE(rowsOfBar(15).empty());
    meter.setBarValue(1, 250);
    EXPECT_EQ(meter.barValue(1), 100) << "clamped";
}

// The status label centres its text; only what changed is drawn again; a button toggles
// on press, notifies at once and ignores double clicks.
TEST(CLabelAndCLedButton, CentredTextRepaintsOnlyWhatChangedAndButtonsToggleOnPress)
{
    Bench b;
    CLedButton button;
    CLabel label;
    button.create(b.context, 150, 40, 131, 12, 2);
    label.create(b.context, 20, 150, 265, 20, 0xFF281E);
    b.host.add(button);
    b.host.add(label);
    label.setText("Gain = 6.2  (Shift: steps of 10)");
    EXPECT_EQ(b.host.paint(), b.host.framebuffer().bounds());
    const Framebuffer& fb = b.host.framebuffer();
    Rect inked{1000, 1000, -1, -1};
    for (int y = 150; y < 170; ++y)
        for (int x = 20; x < 285; ++x)
            if (fb.at(x, y) != b.panel.at(x, y))
                inked = {std::min(inked.left, x), std::min(inked.top, y), std::max(inked.right, x + 1),
                         std::max(inked.bottom, y + 1)};
    EXPECT_NEAR((inked.left + inked.right) / 2.0, 20 + 265 / 2.0, 2.0);
    EXPECT_NEAR((inked.top + inked.bottom) / 2.0, 160, 3.0);
    b.send(MouseAction::Press, 160, 50);
    EXPECT_EQ(b.notices.sent, (std::vector<std::pair<int, int>>{{12, 1}}));
    for (auto a : {MouseAction::Release, MouseAction::Press, MouseAction::Release, MouseAction::DoubleClick,
                   MouseAction::Release})
        b.send(a, 160, 50);
    EXPECT_EQ(button.state(), 0);
    EXPECT_EQ(b.notices.sent, (std::vector<std::pair<int, int>>{{12, 1}, {12, 0}}));
    b.host.paint();
    label.setText(std::string(100, 'x').c_str());
    EXPECT_EQ(std::string(label.text()).size(), 63u);
    EXPECT_EQ(b.host.paint(), label.rect());
    EXPECT_EQ(b.host.paint(), Rect{});
    // Hiding a control shows the panel where it was.
    EXPECT_EQ(fb.at(163, 53), red);
    button.setVisible(false);
    EXPECT_EQ(b.host.paint(), button.rect());
    EXPECT_EQ(fb.at(163, 53), b.panel.at(163, 53));
}
