#include "editor/CLabel.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace brimtone::editor {

void CLabel::create(const ControlContext& context, int x, int y, int width, int height, Rgb colour)
{
    if (hasView())
        return;
    colour_ = colour;
    if (place(x, y, width, height, "CLabel::LoadBitmaps")) {
        patch_ = ComposeOverBackground(context.background, nullptr, x, y, width, height, 1, 0);
        invalidate();
    }
}

void CLabel::setText(const char* text)
{
    std::size_t n = 0;
    while (n < maxLength && text[n] != '\0')
        ++n;
    std::memcpy(text_.data(), text, n);
    text_[n] = '\0';
    invalidate();
}

void CLabel::formatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(text_.data(), text_.size(), format, args);
    va_end(args);
}

void CLabel::onPaint(const Canvas& canvas)
{
    copyPixels(canvas, 0, 0, patch_, patch_.bounds());
    const FontAtlas& font = boldSans12;
    std::string_view line(text_.data());
    drawText(canvas, font, width() / 2 - textWidth(font, line) / 2, (height() - font.cellHeight) / 2, line, colour_);
}

} // namespace brimtone::editor
