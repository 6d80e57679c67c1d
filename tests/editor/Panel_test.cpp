// One of each control on a panel, painted through the view host; the picture is
// written to the build directory (editor_panel.png) for people to look at.

#include "FakeImages.h"
#include "editor/CLabel.h"
#include "editor/CLedButton.h"
#include "editor/CLedDial.h"
#include "editor/CLedIcon.h"
#include "editor/CSlider.h"
#include "editor/ViewHost.h"

#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <cmath>
#include <string>

using namespace brimtone::editor;
using namespace brimtone::editor::test;

namespace {

constexpr int panelW = 420;
constexpr int panelH = 200;

// Dark brushed panel, LED dots for the dial, a round button, a striped meter.
void drawArtwork(FakeImages& images)
{
    images.add(123, panelW, panelH, [](int x, int y) {
        unsigned v = 40 + (x * 13 + y * 7) % 9 + (y % 3);
        return pixelFromBgra(v, v, v + 4, 255);
    });
    auto dot = [](int x, int y, Pixel on) {
        double dx = x - 31.5, dy = y - 31.5, r = std::hypot(dx, dy);
        double angle = std::atan2(dy, dx);
        double ring = std::abs(r - 26.5);
        double phase = std::remainder(angle * 25 / (2 * M_PI * 280 / 360), 1.0);
        return ring < 3.0 && std::abs(phase) < 0.3 ? on : Pixel{0};
    };
    images.add(130, 64, 58, [&](int x, int y) { return dot(x, y, pixelFromBgra(30, 20, 70, 255)); });
    images.add(131, 64, 58, [&](int x, int y) { return dot(x, y, pixelFromBgra(40, 40, 255, 255)); });
    images.add(135, 28, 56, [](int x, int y) {
        double r = std::hypot(x - 13.5, y % 28 - 13.5);
        unsigned a = r < 8 ? 255 : (r < 9 ? 128 : 0);
        unsigned c = y >= 28 ? 230 : 70;
        return pixelFromBgra(div255(c * a), div255(c * a), div255(40 * a), a);
    });
    auto meter = [](int x, int y, bool lit) {
        bool led = (x % 15) < 8 && y >= 1 && y < 175 && (y - 1) % 6 < 4;
        unsigned b = lit ? (y < 40 ? 40 : 255) : 60, r = lit ? (y < 40 ? 255 : 40) : 30;
        return led ? pixelFromBgra(b, lit ? 60 : 30, r, 255) : Pixel{0};
    };
    images.add(153, 23, 175, [&](int x, int y) { return meter(x, y, false); });
    images.add(154, 23, 175, [&](int x, int y) { return meter(x, y, true); });
    images.add(159, 120, 30, [](int x, int y) {
        unsigned a = (x / 6 + y / 6) % 2 ? 200 : 90;
        return pixelFromBgra(div255(180 * a), div255(150 * a), div255(90 * a), a);
    });
}

} // namespace

TEST(EditorPanel, EveryControlPaintsThroughTheHostAndTheLabelCentresItsText)
{
    FakeImages images;
    drawArtwork(images);
    auto panel = images.image(123);
    ControlContext context{images, panel.get(), nullptr};
    ViewHost host(panelW, panelH);
    host.setBackground(panel.get());

    CLedDial dial;
    CLedButton button;
    CMeter meter;
    CLedIcon icon;
    CLabel label;
    dial.create(context, 60, 20, 130, 31.5f, 31.5f, CLedDial::editorRing(131), {});
    button.create(context, 150, 40, 135, 12, 2);
    meter.create(context, 10, 10, 153, 154, false, editorMeterBar(0), editorMeterBar(1));
    icon.create(context, 159, 200, 30);
    label.create(context, 60, 150, 265, 20, 0xFF281E);
    for (CDlgElem* c : std::initializer_list<CDlgElem*>{&dial, &button, &meter, &icon, &label})
        host.add(*c);
    dial.setValue(0, 62);
    button.setState(1);
    meter.setBarValue(0, 80);
    meter.setBarValue(1, 45);
    label.setText("Gain = 6.2  (Shift: steps of 10)");
    EXPECT_EQ(host.paint(), host.framebuffer().bounds());

    const Framebuffer& fb = host.framebuffer();
    std::vector<unsigned char> rgba;
    for (int y = 0; y < fb.height(); ++y) {
        for (int x = 0; x < fb.width(); ++x) {
            Pixel p = fb.at(x, y);
            rgba.insert(rgba.end(), {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                     static_cast<unsigned char>(p), static_cast<unsigned char>(p >> 24)});
        }
    }
    std::string path = std::string(BRIMTONE_TEST_OUTPUT_DIR) + "/editor_panel.png";
    ASSERT_TRUE(stbi_write_png(path.c_str(), fb.width(), fb.height(), 4, rgba.data(), fb.width() * 4) != 0);

    // The status text: red-dominant anti-aliased pixels, centred on the box.
    Rect inked{1000, 1000, -1, -1};
    int partial = 0;
    for (int y = 150; y < 170; ++y) {
        for (int x = 60; x < 325; ++x) {
            Pixel p = fb.at(x, y), bg = panel->at(x, y);
            if (p == bg)
                continue;
            inked = {std::min(inked.left, x), std::min(inked.top, y), std::max(inked.right, x + 1),
                     std::max(inked.bottom, y + 1)};
            unsigned r = p >> 16 & 0xFF;
            partial += r < 200;
        }
    }
    ASSERT_FALSE(inked.empty());
    EXPECT_NEAR((inked.left + inked.right) / 2.0, 60 + 265 / 2.0, 2.0);
    EXPECT_NEAR((inked.top + inked.bottom) / 2.0, 160, 3.0);
    EXPECT_GE(inked.height(), 9); // 12-pixel characters with descenders
    EXPECT_LE(inked.height(), 15);
    EXPECT_GT(partial, 20); // anti-aliased edges

    // Only what changed is drawn again: the label alone.
    label.setText(std::string(100, 'x').c_str());
    EXPECT_EQ(std::string(label.text()).size(), 63u);
    EXPECT_EQ(host.paint(), label.rect());
    EXPECT_EQ(host.paint(), Rect{});
    // Hiding a control shows the panel where it was.
    button.setVisible(false);
    EXPECT_EQ(host.paint(), button.rect());
    EXPECT_EQ(fb.at(163, 53), panel->at(163, 53));
}

TEST(Text, BlocksBreakBetweenWordsAndCentreEachLine)
{
    Image canvasImage(200, 100);
    Canvas canvas = Canvas::of(canvasImage);
    // Wide enough for all but the last word.
    const Rect box{20, 10, 24 + textWidth(boldSans12, "DSP & UI programming"), 90};
    const std::string_view words = "DSP & UI programming by";
    ASSERT_GT(textWidth(boldSans12, words), box.width());
    drawTextBlock(canvas, boldSans12, box, words, 0xFFFFFF, true);
    drawTextBlock(canvas, boldSans12, {0, 60, 200, 100}, "ver. 1.0.00 / Win64\n\rJul 31 2014", 0xA4A4A4, false);
    // Ink per row band: two broken lines in the box, then two explicit ones below.
    auto inkRows = [&](int top, int bottom, Rect* extent) {
        int rows = 0;
        *extent = {1000, top, -1, top};
        for (int y = top; y < bottom; ++y) {
            bool any = false;
            for (int x = 0; x < 200; ++x) {
                if (canvasImage.at(x, y)) {
                    any = true;
                    extent->left = std::min(extent->left, x);
                    extent->right = std::max(extent->right, x + 1);
                }
            }
            rows += any;
        }
        return rows;
    };
    Rect first, second, rest;
    EXPECT_GT(inkRows(10, 10 + boldSans12.cellHeight, &first), 5);
    EXPECT_GT(inkRows(10 + boldSans12.cellHeight, 10 + 2 * boldSans12.cellHeight, &second), 5);
    EXPECT_EQ(inkRows(10 + 2 * boldSans12.cellHeight, 60, &rest), 0);
    EXPECT_GE(first.left, box.left);
    EXPECT_LE(first.right, box.right);
    EXPECT_NEAR((first.left + first.right) / 2.0, (box.left + box.right) / 2.0, 2.0);
    EXPECT_NEAR((second.left + second.right) / 2.0, (box.left + box.right) / 2.0, 2.0);
    Rect version, date;
    EXPECT_GT(inkRows(60, 60 + boldSans12.cellHeight, &version), 5);
    EXPECT_GT(inkRows(60 + boldSans12.cellHeight, 100, &date), 5);
    EXPECT_NEAR((date.left + date.right) / 2.0, 100, 2.0);
    EXPECT_GT(textWidth(boldSans20, "QIV Brimtone RX14"), textWidth(boldSans12, "QIV Brimtone RX14") * 3 / 2);
}
