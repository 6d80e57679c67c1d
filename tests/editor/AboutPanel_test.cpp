#include "editor/AboutPanel.h"

#include <gtest/gtest.h>

namespace brimtone::editor {

TEST(AboutPanel, VersionLineNamesTheSystemAndTheBuildDate)
{
    EXPECT_EQ(aboutVersionText(1000, "Win64", "Jul 31 2014"), "ver. 1.0.00 / Win64\n\rJul 31 2014");
    EXPECT_EQ(aboutVersionText(1234, "Linux", "Dec  8 2026"), "ver. 1.2.34 / Linux\n\rDec  8 2026");
}

// The text lands inside its boxes only, each box gets some, and the title is drawn in its light blue.
TEST(AboutPanel, TextStaysInItsBoxes)
{
    Image panel(1024, 362);
    drawAboutText(
        panel, {"QIV Brimtone RX14", "https://brimtone.example", "dev@brimtone.example", 1000, "Linux", "Dec  8 2026"});
    const Rect boxes[] = {{378, 90, 697, 189}, {194, 97, 378, 174}, {697, 97, 860, 174}};
    Pixel title = 0;
    int lit[3] = {};
    for (int y = 0; y < panel.height(); ++y)
        for (int x = 0; x < panel.width(); ++x) {
            if (!boxes[0].contains(x, y) && !boxes[1].contains(x, y) && !boxes[2].contains(x, y)) {
                ASSERT_EQ(panel.at(x, y) >> 24, 0u) << x << ", " << y;
            }
            if (!title && y < 117 && boxes[0].contains(x, y) && panel.at(x, y) >> 24 == 255)
                title = panel.at(x, y);
            for (int k = 0; k < 3; ++k)
                lit[k] += boxes[k].contains(x, y) && panel.at(x, y) >> 24 > 128;
        }
    EXPECT_TRUE(lit[0] > 2800 && lit[1] > 1900 && lit[2] > 1500) << lit[0] << ", " << lit[1] << ", " << lit[2];
    EXPECT_EQ(title, pixelFromBgra(0xED, 0xB2, 0x72, 255));
}

} // namespace brimtone::editor
