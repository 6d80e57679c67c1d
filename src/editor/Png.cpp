#include "editor/Png.h"

#include "editor/Compositing.h"
#include "editor/DebugTrace.h"

#include <climits>

#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace brimtone::editor {

std::optional<Image> decodePng(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return std::nullopt;
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* rgba = nullptr;
    if (bytes.size() <= INT_MAX)
        rgba = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (!rgba || width <= 0 || height <= 0) {
        stbi_image_free(rgba);
        DebugTrace("PNGLOAD", "LoadBitmapFromStream");
        return std::nullopt;
    }
    Image image(width, height);
    const stbi_uc* in = rgba;
    for (int y = 0; y < height; ++y) {
        Pixel* out = image.row(y);
        for (int x = 0; x < width; ++x, in += 4) {
            unsigned a = in[3];
            out[x] = pixelFromBgra(div255(in[2] * a), div255(in[1] * a), div255(in[0] * a), a);
        }
    }
    stbi_image_free(rgba);
    return image;
}

ImageSize pngSize(std::span<const std::uint8_t> bytes)
{
    int width = 0;
    int height = 0;
    int channels = 0;
    if (bytes.empty() || bytes.size() > INT_MAX
        || !stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels))
        return {};
    return {width, height};
}

} // namespace brimtone::editor
