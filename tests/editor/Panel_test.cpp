// Controls painted through the view host: the status label centres its text,
// only what changed is drawn again, and text blocks break between words.

#include "FakeImages.h"
#include "editor/CLabel.h"
#include "editor/CLedButton.h"
#include "editor/ViewHost.h"

#include <gtest/gtest.h>

#include <string>

using namespace brimtone::editor;
using namespace brimtone::editor::test;

TEST(EditorPanel, TheLabelCentresItsTextAndOnlyWhatChangedIsDrawnAgain)
{
    FakeImages images;
    images.addSolid(135, 28, 56, pixelFromBgra(0, 200, 0, 255));
    Image panel = patternPanel(420, 200);
    ControlContext context{images, &panel, nullptr};
    ViewHost host(420, 200);
    host.setBackground(&panel);
    CLedButton button;
    CLabel label;
    button.create(context, 150, 40, 135, 12, 2);
    label.create(context, 60, 150, 265, 20, 0xFF281E);
    host.add(button);
    host.add(label);
    label.setText("Gain = 6.2  (Shift: steps of 10)");
    EXPECT_EQ(host.paint(), host.framebuffer().bounds());
    const Framebuffer& fb = host.framebuffer();

    // The status text: red-dominant anti-aliased pixels, centred on the box.
    Rect inked{1000, 1000, -1, -1};
    int partial = 0;
    for (int y = 150; y < 170; ++y) {
        for (int x = 60; x < 325; ++x) {
            Pixel p = fb.at(x, y);
            if (p == panel.at(x, y))
                continue;
            inked = {std::min(inked.left, x), std::min(inked.top, y), std::max(inked.right, x + 1),
                     std::max(inked.bottom, y + 1)};
            partial += (p >> 16 & 0xFF) < 200;
        }
    }
    ASSERT_FALSE(inked.empty());
    EXPECT_NEAR((inked.left + inked.right) / 2.0, 60 + 265 / 2.0, 2.0);
    EXPECT_NEAR((inked.top + inked.bottom) / 2.0, 160, 3.0);
    EXPECT_GE(inked.height(), 9); // 12-pixel characters with descenders
    EXPECT_LE(inked.height(), 15);
    EXPECT_GT(partial, 20); // anti-aliased edges

    label.setText(std::string(100, 'x').c_str());
    EXPECT_EQ(std::string(label.text()).size(), 63u);
    EXPECT_EQ(host.paint(), label.rect());
    EXPECT_EQ(host.paint(), Rect{});
    // Hiding a control shows the panel where it was.
    EXPECT_NE(fb.at(163, 53), panel.at(163, 53));
    button.setVisible(false);
    EXPECT_EQ(host.paint(), button.rect());
    EXPECT_EQ(fb.at(163, 53), panel.at(163, 53));
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
