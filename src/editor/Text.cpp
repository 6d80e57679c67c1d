#include "editor/Text.h"

namespace brimtone::editor {

int textWidth(const FontAtlas& font, std::string_view text)
{
    int width = 0;
    for (char c : text)
        width += font.glyph(c).advance;
    return width;
}

void drawText(const Canvas& canvas, const FontAtlas& font, int x, int y, std::string_view text, Rgb colour)
{
    Rect clip = intersect(canvas.clip, canvas.image.bounds());
    unsigned r = colour >> 16 & 0xFF;
    unsigned g = colour >> 8 & 0xFF;
    unsigned b = colour & 0xFF;
    int penX = canvas.originX + x;
    int cellY = canvas.originY + y;
    for (char c : text) {
        const Glyph& glyph = font.glyph(c);
        const std::uint8_t* coverage = font.coverage + glyph.offset;
        for (int row = 0; row < glyph.height; ++row) {
            int py = cellY + glyph.top + row;
            if (py < clip.top || py >= clip.bottom)
                continue;
            Pixel* out = canvas.image.row(py);
            for (int col = 0; col < glyph.width; ++col) {
                int px = penX + glyph.left + col;
                unsigned a = coverage[row * glyph.width + col];
                if (a == 0 || px < clip.left || px >= clip.right)
                    continue;
                out[px] = blendPixel(out[px], pixelFromBgra(div255(b * a), div255(g * a), div255(r * a), a), 255);
            }
        }
        penX += glyph.advance;
    }
}

namespace {

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// The end of the line that starts at `start`: a line end, or with wordBreak the last
// word boundary before the line gets wider than maxWidth.
std::size_t lineEnd(const FontAtlas& font, std::string_view text, std::size_t start, int maxWidth, bool wordBreak)
{
    std::size_t end = start;
    while (end < text.size() && !isLineEnd(text[end]))
        ++end;
    if (!wordBreak)
        return end;
    std::size_t fits = start;
    for (std::size_t i = start; i <= end; ++i) {
        if (i < end && text[i] != ' ')
            continue;
        if (fits != start && textWidth(font, text.substr(start, i - start)) > maxWidth)
            return fits;
        fits = i;
    }
    return end;
}

std::string_view trimTrailingSpaces(std::string_view line)
{
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    return line;
}

} // namespace

void drawTextBlock(const Canvas& canvas, const FontAtlas& font, const Rect& box, std::string_view text, Rgb colour,
                   bool wordBreak)
{
    Canvas clipped = canvas.translated(0, 0, box);
    int y = box.top;
    std::size_t start = 0;
    while (start < text.size() && y < box.bottom) {
        std::size_t end = lineEnd(font, text, start, box.width(), wordBreak);
        std::string_view line = trimTrailingSpaces(text.substr(start, end - start));
        drawText(clipped, font, box.left + (box.width() - textWidth(font, line)) / 2, y, line, colour);
        y += font.cellHeight;
        start = end;
        if (start < text.size() && isLineEnd(text[start])) {
            char first = text[start++];
            if (start < text.size() && isLineEnd(text[start]) && text[start] != first)
                ++start;
        } else {
            while (start < text.size() && text[start] == ' ')
                ++start;
        }
    }
}

} // namespace brimtone::editor
