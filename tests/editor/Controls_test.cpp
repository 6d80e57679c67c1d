#include "FakeImages.h"
#include "editor/CLabel.h"
#include "editor/CLedButton.h"
#include "editor/CLedDial.h"
#include "editor/CSlider.h"
#include "editor/ViewHost.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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
        images.addSolid(130, 64, 58, grey);
        images.addSolid(131, 64, 58, red);
        images.addSolid(135, 28, 56, 0);
        images.addSolid(153, 23, 175, grey);
        images.addSolid(154, 23, 175, red);
        host.setBackground(&panel);
    }
    void send(MouseAction action, MouseButton button, int x, int y, bool ctrl = false, bool shift = false)
    {
        host.mouse({action, button, x, y, ctrl, shift, 0});
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

void makeEditorDial(Bench& b, CLedDial& dial, int x, int y, float cx = 31.5f, float cy = 31.5f)
{
    dial.create(b.context, x, y, 130, cx, cy, CLedDial::editorRing(131), {});
    b.host.add(dial);
}

} // namespace

TEST(CLedDial, PixelsStraightAboveAndBelowTheCentre)
{
    Bench b;
    CLedDial dial;
    makeEditorDial(b, dial, 10, 10, 32.0f, 29.0f); // column 32 has dx = 0
    auto column = [&](int value) {
        dial.setValue(0, value);
        std::set<int> rows;
        for (auto [x, y] : b.litPixels(dial))
            if (x == 32)
                rows.insert(y);
        return rows;
    };
    EXPECT_TRUE(column(0).empty());
    // Judged 0.1 pixel to the right of straight up: lit once 13 of 25 segments are
    // (the 13th boundary is past the top), never in the bottom gap.
    EXPECT_TRUE(column(49).empty());
    EXPECT_EQ(column(50), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(column(100), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(CLedDial, MouseRules)
{
    Bench b;
    CLedDial dial;
    makeEditorDial(b, dial, 10, 10);
    // Ctrl+click: the centre setting, and no drag.
    dial.setValue(0, 20);
    b.send(MouseAction::Press, MouseButton::Left, 40, 40, true);
    EXPECT_EQ(dial.value(0), 50);
    EXPECT_EQ(b.host.captured(), nullptr);
    b.send(MouseAction::Move, MouseButton::None, 40, 12);
    EXPECT_EQ(dial.value(0), 50);
    b.send(MouseAction::Release, MouseButton::Left, 40, 12, true);

    // A drag far above stops at 100 (the rate is the editor test's); the release ends the capture.
    dial.setValue(0, 0);
    b.send(MouseAction::Press, MouseButton::Left, 40, 60);
    b.send(MouseAction::Move, MouseButton::None, 250, -400);
    EXPECT_EQ(dial.value(0), 100);
    b.send(MouseAction::Release, MouseButton::Left, 250, -400);
    EXPECT_EQ(b.host.captured(), nullptr);

    // With Shift only multiples of 10 are taken, each of them on the way.
    dial.setValue(0, 0);
    b.send(MouseAction::Press, MouseButton::Left, 40, 60);
    std::set<int> seen;
    for (int y = 60; y >= -200; --y) {
        b.send(MouseAction::Move, MouseButton::None, 40, y, false, true);
        seen.insert(dial.value(0));
    }
    b.send(MouseAction::Release, MouseButton::Left, 40, -200);
    EXPECT_EQ(seen, (std::set<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));

    // The wheel edits like a drag: one notch 1, with Shift to the next multiple of 10.
    dial.setValue(0, 47);
    b.host.paint();
    b.host.mouse({MouseAction::Wheel, MouseButton::None, 40, 40, false, false, 1});
    EXPECT_EQ(dial.value(0), 48);
    EXPECT_TRUE(dial.changed(0));
    b.host.mouse({MouseAction::Wheel, MouseButton::None, 40, 40, false, true, 1});
    EXPECT_EQ(dial.value(0), 50);
    b.host.mouse({MouseAction::Wheel, MouseButton::None, 40, 40, false, true, -2});
    EXPECT_EQ(dial.value(0), 30);
}

TEST(CLedButton, TogglesOnPressNotifiesAtOnceAndIgnoresDoubleClicks)
{
    Bench b;
    CLedButton button;
    button.create(b.context, 100, 100, 135, 12, 2);
    b.host.add(button);
    ASSERT_EQ(button.height(), 28);

    b.send(MouseAction::Press, MouseButton::Left, 110, 110);
    EXPECT_EQ(button.state(), 1);
    EXPECT_EQ(b.notices.sent, (std::vector<std::pair<int, int>>{{12, 1}}));
    b.send(MouseAction::Release, MouseButton::Left, 110, 110);
    EXPECT_EQ(button.state(), 1);
    // A double click: press, release, double click, release toggles once.
    b.send(MouseAction::Press, MouseButton::Left, 110, 110);
    b.send(MouseAction::Release, MouseButton::Left, 110, 110);
    b.send(MouseAction::DoubleClick, MouseButton::Left, 110, 110);
    b.send(MouseAction::Release, MouseButton::Left, 110, 110);
    EXPECT_EQ(button.state(), 0);
    EXPECT_EQ(b.notices.sent, (std::vector<std::pair<int, int>>{{12, 1}, {12, 0}}));
}

TEST(CMeter, SegmentsOfTheEditorsMeterBars)
{
    Bench b;
    CMeter meter;
    meter.create(b.context, 24, 52, 153, 154, false, editorMeterBar(0), editorMeterBar(1));
    b.host.add(meter);
    ASSERT_EQ(meter.barCount(), 2);
    auto rowsOfBar = [&](int left, int right) {
        std::set<int> rows;
        for (auto [x, y] : b.litPixels(meter)) {
            if (x >= left && x < right)
                rows.insert(y);
            EXPECT_TRUE((x >= 0 && x < 8) || (x >= 15 && x < 23)) << x;
        }
        return rows;
    };
    auto range = [](int first, int last) {
        std::set<int> r;
        for (int i = first; i <= last; ++i)
            r.insert(i);
        return r;
    };
    meter.setBarValue(0, 3);
    EXPECT_TRUE(rowsOfBar(0, 8).empty());
    meter.setBarValue(0, 4);
    EXPECT_EQ(rowsOfBar(0, 8), range(169, 174));
    meter.setBarValue(0, 100);
    meter.setBarValue(1, 0);
    EXPECT_EQ(rowsOfBar(0, 8), range(1, 174));
    EXPECT_TRUE(rowsOfBar(15, 23).empty());
    meter.setBarValue(1, 250); // clamps
    EXPECT_EQ(meter.barValue(1), 100);
    // The meter's bars ignore the mouse.
    b.send(MouseAction::Press, MouseButton::Left, 28, 100);
    b.send(MouseAction::Move, MouseButton::None, 28, 60);
    EXPECT_EQ(meter.barValue(0), 100);
}

// The status label centres its anti-aliased text; only what changed is drawn again.
TEST(CLabel, CentresItsTextAndRepaintsOnlyWhatChanged)
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
    int partial = 0;
    for (int y = 150; y < 170; ++y) {
        for (int x = 20; x < 285; ++x) {
            Pixel p = fb.at(x, y);
            if (p == b.panel.at(x, y))
                continue;
            inked = {std::min(inked.left, x), std::min(inked.top, y), std::max(inked.right, x + 1),
                     std::max(inked.bottom, y + 1)};
            partial += (p >> 16 & 0xFF) < 200;
        }
    }
    ASSERT_FALSE(inked.empty());
    EXPECT_NEAR((inked.left + inked.right) / 2.0, 20 + 265 / 2.0, 2.0);
    EXPECT_NEAR((inked.top + inked.bottom) / 2.0, 160, 3.0);
    EXPECT_GE(inked.height(), 9); // 12-pixel characters with descenders
    EXPECT_LE(inked.height(), 15);
    EXPECT_GT(partial, 20); // anti-aliased edges

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
