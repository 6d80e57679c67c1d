#pragma once
// A bold sans font pre-rendered at one pixel size: per character an 8-bit coverage
// box placed relative to the pen position and the top of the character cell.

#include <cstdint>

namespace brimtone::editor {

struct Glyph {
    std::int16_t left;  // box offset from the pen position
    std::int16_t top;   // box offset from the top of the character cell
    std::uint8_t width; // box size; 0 for blank characters
    std::uint8_t height;
    std::uint8_t advance; // pen movement to the next character
    std::uint32_t offset; // first coverage byte of the box, rows top-down
};

struct FontAtlas {
    int pixelSize;
    int ascent;
    int descent;
    int cellHeight; // ascent + descent: the height of one line
    int firstChar;
    int charCount;
    const Glyph* glyphs;
    const std::uint8_t* coverage;

    // The glyph of c; characters outside the atlas are drawn as '?'.
    const Glyph& glyph(char c) const
    {
        int index = static_cast<unsigned char>(c) - firstChar;
        if (index < 0 || index >= charCount)
            index = '?' - firstChar;
        return glyphs[index];
    }
};

// Status line and About panel texts (12-pixel characters), About panel title (20).
extern const FontAtlas boldSans12;
extern const FontAtlas boldSans20;

} // namespace brimtone::editor
