#pragma once
// PNG decoding to the editor's pixel format.

#include "editor/Image.h"

#include <cstdint>
#include <optional>
#include <span>

namespace brimtone::editor {

// The image in `bytes`, converted to premultiplied BGRA. No bytes (a resource that
// does not exist) yields nothing without a report; bytes that do not decode to an
// image of at least 1 × 1 pixels yield nothing and report "PNGLOAD".
std::optional<Image> decodePng(std::span<const std::uint8_t> bytes);

// Width and height from the header alone, without decoding; 0 × 0 for bytes that are
// not a PNG image.
struct ImageSize {
    int width = 0;
    int height = 0;
};
ImageSize pngSize(std::span<const std::uint8_t> bytes);

} // namespace brimtone::editor
