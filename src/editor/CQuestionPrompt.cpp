#include "editor/CQuestionPrompt.h"

namespace brimtone::editor {
namespace {

// The panel's display well and the About title's light blue.
constexpr Pixel wellColour = pixelFromBgra(0x16, 0x12, 0x10, 255);
constexpr Pixel rimColour = pixelFromBgra(0xED, 0xB2, 0x72, 255);
constexpr Pixel buttonColour = pixelFromBgra(0x3A, 0x34, 0x30, 255);
constexpr Rgb textColour = 0xD4D4D4;

void fill(const Canvas& canvas, const Rect& area, Pixel colour)
{
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const int wx = x + canvas.originX;
            const int wy = y + canvas.originY;
            if (canvas.clip.contains(wx, wy))
                canvas.image.at(wx, wy) = colour;
        }
}

void frame(const Canvas& canvas, const Rect& area, Pixel colour)
{
    fill(canvas, {area.left, area.top, area.right, area.top + 1}, colour);
    fill(canvas, {area.left, area.bottom - 1, area.right, area.bottom}, colour);
    fill(canvas, {area.left, area.top, area.left + 1, area.bottom}, colour);
    fill(canvas, {area.right - 1, area.top, area.right, area.bottom}, colour);
}

void button(const Canvas& canvas, const Rect& area, std::string_view label)
{
    fill(canvas, area, buttonColour);
    frame(canvas, area, rimColour);
    drawTextBlock(canvas, boldSans12,
                  {area.left, area.top + (area.height() - boldSans12.cellHeight) / 2, area.right, area.bottom}, label,
                  textColour, false);
}

} // namespace

void CQuestionPrompt::create(int windowWidth, int windowHeight)
{
    place((windowWidth - boxWidth) / 2, (windowHeight - boxHeight) / 2, boxWidth, boxHeight, "CQuestionPrompt");
    setVisible(false);
    listener_ = nullptr;
}

void CQuestionPrompt::ask(std::string question, QuestionListener& listener)
{
    question_ = std::move(question);
    listener_ = &listener;
    setVisible(true);
    invalidate();
}

void CQuestionPrompt::onPaint(const Canvas& canvas)
{
    fill(canvas, {0, 0, width(), height()}, wellColour);
    frame(canvas, {0, 0, width(), height()}, rimColour);
    drawTextBlock(canvas, boldSans12, {16, 18, width() - 16, 66}, question_, textColour, true);
    button(canvas, yesButton, "Yes");
    button(canvas, noButton, "No");
}

void CQuestionPrompt::onMouse(const MouseEvent& event, MouseCapture&)
{
    if (listener_ == nullptr || event.action != MouseAction::Press || event.button != MouseButton::Left)
        return;
    const bool yes = yesButton.contains(event.x, event.y);
    if (!yes && !noButton.contains(event.x, event.y))
        return;
    QuestionListener* listener = listener_;
    listener_ = nullptr;
    setVisible(false);
    listener->answered(yes);
}

} // namespace brimtone::editor
