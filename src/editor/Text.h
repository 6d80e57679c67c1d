#pragma once
// Anti-aliased text from a glyph atlas, blended in one colour.

#include "editor/Compositing.h"
#include "editor/GlyphAtlas.h"

#include <cstdint>
#include <string_view>

namespace brimtone::editor {

// A text colour as 0xRRGGBB.
using Rgb = std::uint32_t;

int textWidth(const FontAtlas& font, std::string_view text);

// One line with the top-left corner of its character cell at (x, y).
void drawText(const Canvas& canvas, const FontAtlas& font, int x, int y, std::string_view text, Rgb colour);

// Lines centred in `box`, from its top down, one cell height apart, clipped to `box`.
// CR, LF and the pairs CR LF and LF CR end a line; with wordBreak, a line that would
// be wider than the box is also broken between words (a single word wider than the
// box stays whole and is clipped).
void drawTextBlock(const Canvas& canvas, const FontAtlas& font, const Rect& box, std::string_view text, Rgb colour,
                   bool wordBreak);

} // namespace brimtone::editor
