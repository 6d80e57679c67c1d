#include "FakeImages.h"
#include "editor/Compositing.h"
#include "editor/Png.h"

#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

using namespace brimtone::editor;
using namespace brimtone::editor::test;

TEST(Compositing, StripFramesShareOneBackgroundPatchAndAlphaZeroIsTheBarePatch)
{
    // A two-frame 10 × 8 button: frame 0 transparent, frame 1 a half-covering green (premultiplied).
    const Pixel green = pixelFromBgra(0, 128, 0, 128);
    Image panel = patternPanel(64, 40), image(10, 16);
    for (int y = 8; y < 16; ++y)
        for (int x = 0; x < 10; ++x)
            image.at(x, y) = green;
    Image strip = ComposeOverBackground(&panel, &image, 20, 7, 10, 8, 2, 255);
    Image bare = ComposeOverBackground(&panel, &image, 20, 7, 10, 8, 2, 0);
    ASSERT_EQ(strip.height(), 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 10; ++x) {
            Pixel bg = panel.at(20 + x, 7 + y % 8);
            EXPECT_EQ(strip.at(x, y), y < 8 ? bg : blendPixel(bg, green, 255));
            EXPECT_EQ(bare.at(x, y), bg);
        }
}

TEST(Png, DecodesToPremultipliedBgraAndReportsOnlyRealFailures)
{
    const unsigned char rgba[] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 200, 100, 50, 51};
    int size = 0;
    unsigned char* written = stbi_write_png_to_mem(rgba, 8, 2, 2, 4, &size);
    const std::vector<std::uint8_t> png(written, written + size);
    STBIW_FREE(written);
    TraceRecorder trace;
    auto image = decodePng(png);
    ASSERT_TRUE(image && image->width() == 2 && image->height() == 2);
    EXPECT_EQ(image->at(0, 0), pixelFromBgra(0, 0, 255, 255));
    EXPECT_EQ(image->at(1, 0), pixelFromBgra(0, 128, 0, 128));
    EXPECT_EQ(image->at(0, 1), 0u);
    EXPECT_EQ(image->at(1, 1), pixelFromBgra(10, 20, 40, 51));
    EXPECT_FALSE(decodePng({})) << "a resource that does not exist is no decoding failure";
    EXPECT_TRUE(trace.reports.empty());
    EXPECT_FALSE(decodePng(std::vector<std::uint8_t>(png.begin(), png.begin() + 30)));
    ASSERT_EQ(trace.reports.size(), 1u);
    EXPECT_EQ(trace.reports[0], "PNGLOAD @ LoadBitmapFromStream");
}
