#pragma once
// One line of bold text centred in a box over the panel: the editor's status line.

#include "editor/CDlgElem.h"
#include "editor/Text.h"

#include <array>

namespace brimtone::editor {

class CLabel final : public CDlgElem {
public:
    static constexpr int maxLength = 63;

    // colour as 0xRRGGBB.
    void create(const ControlContext& context, int x, int y, int width, int height, Rgb colour);

    // Keeps at most maxLength characters; repaints when the label has a view.
    void setText(const char* text);
    // printf-style into the text, without a repaint (call invalidate() afterwards).
    [[gnu::format(printf, 2, 3)]] void formatText(const char* format, ...);
    const char* text() const { return text_.data(); }

    const char* className() const override { return "CLabelWindowClass"; }

private:
    void onPaint(const Canvas& canvas) override;
    void releasePictures() override { patch_ = {}; }

    Image patch_;
    std::array<char, maxLength + 1> text_{};
    Rgb colour_ = 0xFFFFFF;
};

} // namespace brimtone::editor
