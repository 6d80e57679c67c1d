// Controls painted through the view host: the status label centres its text,
// and only what changed is drawn again.

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
