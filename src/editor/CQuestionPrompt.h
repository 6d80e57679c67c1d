#pragma once
// A yes/no question asked inside the editor, for systems without a message
// box of their own to put over a plug-in window (X11): a dark box with a
// light rim over the middle of the panel, the question centred in it and two
// buttons, "Yes" and "No". A press on either answers and hides the box; the
// editor routes the mouse to the prompt alone while it shows.

#include "editor/CDlgElem.h"
#include "editor/Text.h"

#include <string>

namespace brimtone::editor {

class QuestionListener {
public:
    virtual void answered(bool yes) = 0;

protected:
    ~QuestionListener() = default;
};

class CQuestionPrompt final : public CDlgElem {
public:
    static constexpr int boxWidth = 380;
    static constexpr int boxHeight = 110;

    // Centres the box in a window of windowWidth x windowHeight; hidden until ask.
    void create(int windowWidth, int windowHeight);

    // Shows `question`; the answer goes to `listener`, once.
    void ask(std::string question, QuestionListener& listener);
    bool asking() const { return listener_ != nullptr; }

    // The buttons, in the prompt's own coordinates.
    static constexpr Rect yesButton{90, 70, 170, 96};
    static constexpr Rect noButton{210, 70, 290, 96};

    const char* className() const override { return "CQuestionPromptWindowClass"; }

private:
    void onPaint(const Canvas& canvas) override;
    void onMouse(const MouseEvent& event, MouseCapture& capture) override;
    void releasePictures() override {}

    std::string question_;
    QuestionListener* listener_ = nullptr;
};

} // namespace brimtone::editor
