#include "FakeImages.h"
#include "editor/CLedButton.h"
#include "editor/Compositing.h"
#include "editor/ImageSource.h"
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

TEST(Compositing, ConstantAlphaScalesLikeAPerPixelAlpha)
{
    const Pixel dst = pixelFromBgra(200, 100, 50, 255);
    // An opaque source at constant alpha a equals its premultiplied copy at alpha a.
    for (unsigned a : {1u, 64u, 128u, 200u, 254u}) {
        Pixel viaConstant = blendPixel(dst, pixelFromBgra(255, 0, 90, 255), a);
        Pixel viaPixel = blendPixel(dst, pixelFromBgra(div255(255 * a), 0, div255(90 * a), a), 255);
        EXPECT_EQ(viaConstant, viaPixel) << a;
    }
    // Half of white over black is mid grey; an opaque source replaces; a clear one keeps.
    EXPECT_EQ(blendPixel(pixelFromBgra(0, 0, 0, 255), pixelFromBgra(255, 255, 255, 255), 128),
              pixelFromBgra(128, 128, 128, 255));
    EXPECT_EQ(blendPixel(dst, pixelFromBgra(1, 2, 3, 255), 255), pixelFromBgra(1, 2, 3, 255));
    EXPECT_EQ(blendPixel(dst, 0, 255), dst);
}

TEST(Compositing, StripHeightNotAMultipleOfTheFramesDropsTheLastRows)
{
    FakeImages images;
    // 45 rows for 2 frames: frames of 22 rows; row 44 (bright red) is never shown.
    images.add(135, 10, 45, [](int, int y) {
        return y == 44 ? pixelFromBgra(0, 0, 255, 255) : (y >= 22 ? pixelFromBgra(0, 255, 0, 255) : 0);
    });
    Image panel = patternPanel(64, 64);
    CLedButton button;
    button.create({images, &panel, nullptr}, 3, 4, 135, 12, 2);
    ASSERT_EQ(button.height(), 22);
    Image window(64, 64);
    for (int state : {0, 1}) {
        button.setState(state);
        button.paint(Canvas::of(window));
        for (int y = 0; y < 22; ++y) {
            for (int x = 0; x < 10; ++x) {
                Pixel p = window.at(3 + x, 4 + y);
                ASSERT_EQ(p, state ? pixelFromBgra(0, 255, 0, 255) : panel.at(3 + x, 4 + y)) << x << "," << y;
            }
        }
    }
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

namespace {

int lookups = 0;
std::vector<std::uint8_t> embeddedPng;

std::span<const std::uint8_t> fakeResource(int id, const char* type)
{
    ++lookups;
    static const std::uint8_t garbage[] = {1, 2, 3, 4, 5, 6, 7, 8};
    if (std::string(type) != "PNG")
        return {};
    if (id == 135)
        return embeddedPng;
    if (id == 140)
        return garbage;
    return {};
}

} // namespace

TEST(ResourceImages, EachImageIsLookedUpAndDecodedOnce)
{
    const unsigned char rgba[] = {10, 20, 30, 255};
    embeddedPng.clear();
    stbi_write_png_to_func(
        [](void*, void* data, int size) {
            embeddedPng.insert(embeddedPng.end(), static_cast<std::uint8_t*>(data),
                               static_cast<std::uint8_t*>(data) + size);
        },
        nullptr, 1, 1, 4, rgba, 4);
    TraceRecorder trace;
    ResourceImages images(&fakeResource);
    lookups = 0;
    auto first = images.image(135);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->at(0, 0), pixelFromBgra(30, 20, 10, 255));
    EXPECT_EQ(images.image(135), first);
    EXPECT_FALSE(images.image(126)); // no such image: no report
    EXPECT_FALSE(images.image(126));
    EXPECT_FALSE(images.image(140)); // does not decode: one report
    EXPECT_FALSE(images.image(140));
    EXPECT_EQ(lookups, 3);
    EXPECT_EQ(trace.reports(), (std::vector<std::string>{"PNGLOAD @ LoadBitmapFromStream"}));
}
