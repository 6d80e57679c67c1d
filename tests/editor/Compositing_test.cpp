#include "FakeImages.h"
#include "editor/Compositing.h"
#include "editor/Png.h"

#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

using namespace brimtone::editor;
using namespace brimtone::editor::test;

namespace {

// A two-frame 10 × 8 button image: frame 0 transparent, frame 1 a half-covering
// green (premultiplied).
Image buttonStrip(int height)
{
    Image strip(10, height);
    for (int y = height / 2; y < height; ++y)
        for (int x = 0; x < 10; ++x)
            strip.at(x, y) = pixelFromBgra(0, 128, 0, 128);
    return strip;
}

} // namespace

TEST(Compositing, StripFramesShareOneBackgroundPatchAndAlphaZeroIsTheBarePatch)
{
    Image panel = patternPanel(64, 40);
    Image image = buttonStrip(16);
    Image strip = ComposeOverBackground(&panel, &image, 20, 7, 10, 8, 2, 255);
    ASSERT_EQ(strip.width(), 10);
    ASSERT_EQ(strip.height(), 16);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            Pixel bg = panel.at(20 + x, 7 + y);
            EXPECT_EQ(strip.at(x, y), bg);
            // Frame 1: the same panel pixel under the green, blended as source over.
            Pixel expected = blendPixel(bg, pixelFromBgra(0, 128, 0, 128), 255);
            EXPECT_EQ(strip.at(x, y + 8), expected);
            EXPECT_NE(expected, bg);
        }
    }
    Image bare = ComposeOverBackground(&panel, &image, 20, 7, 10, 8, 2, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(bare.at(x, y), panel.at(20 + x, 7 + y % 8));
}

TEST(Png, DecodesToPremultipliedBgraAndReportsOnlyRealFailures)
{
    const unsigned char rgba[] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 200, 100, 50, 51};
    std::vector<std::uint8_t> png;
    stbi_write_png_to_func(
        [](void* ctx, void* data, int size) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(ctx);
            out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
        },
        &png, 2, 2, 4, rgba, 8);
    TraceRecorder trace;
    auto image = decodePng(png);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), 2);
    ASSERT_EQ(image->height(), 2);
    EXPECT_EQ(image->at(0, 0), pixelFromBgra(0, 0, 255, 255));
    EXPECT_EQ(image->at(1, 0), pixelFromBgra(0, 128, 0, 128));
    EXPECT_EQ(image->at(0, 1), 0u);
    EXPECT_EQ(image->at(1, 1), pixelFromBgra(10, 20, 40, 51));
    EXPECT_TRUE(trace.reports().empty());

    // A resource that does not exist is no decoding failure.
    EXPECT_FALSE(decodePng({}));
    EXPECT_TRUE(trace.reports().empty());

    // A truncated file and a header claiming zero width both fail and report.
    std::vector<std::uint8_t> truncated(png.begin(), png.begin() + 30);
    EXPECT_FALSE(decodePng(truncated));
    std::vector<std::uint8_t> zeroWidth = png;
    for (int i = 16; i < 20; ++i) // IHDR width
        zeroWidth[i] = 0;
    EXPECT_FALSE(decodePng(zeroWidth));
    ASSERT_EQ(trace.reports().size(), 2u);
    EXPECT_EQ(trace.reports()[0], "PNGLOAD @ LoadBitmapFromStream");
}
