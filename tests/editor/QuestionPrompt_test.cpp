#include "editor/CQuestionPrompt.h"
#include "editor/ViewHost.h"

#include <gtest/gtest.h>

#include <vector>

namespace brimtone::editor {
namespace {

struct Answers : QuestionListener {
    void answered(bool yes) override { given.push_back(yes); }
    std::vector<bool> given;
};

MouseEvent press(int x, int y) { return {MouseAction::Press, MouseButton::Left, x, y}; }

} // namespace

// The question shows in the middle of the panel; only a press on a button
// answers, once, and hides the box again.
TEST(QuestionPrompt, AnswersOnceFromItsButtons)
{
    ViewHost host(1024, 362);
    CQuestionPrompt prompt;
    prompt.create(1024, 362);
    host.add(prompt);
    Answers answers;
    const Rect box = prompt.rect();
    EXPECT_EQ(box, (Rect{322, 126, 702, 236}));

    host.paint();
    EXPECT_EQ(host.framebuffer().at(box.left, box.top), 0u); // hidden until asked
    prompt.ask("New version is available. Proceed to download page?", answers);
    EXPECT_EQ(host.paint(), box);
    EXPECT_NE(host.framebuffer().at(box.left, box.top), 0u);

    host.mouse(press(box.left + 5, box.top + 5)); // beside the buttons
    host.mouse(press(box.left + CQuestionPrompt::noButton.left + 4, box.top + CQuestionPrompt::noButton.top + 4));
    host.mouse(press(box.left + CQuestionPrompt::yesButton.left + 4, box.top + CQuestionPrompt::yesButton.top + 4));
    EXPECT_EQ(answers.given, std::vector<bool>{false});
    EXPECT_FALSE(prompt.asking());
    EXPECT_FALSE(prompt.visible());
    host.paint();
    EXPECT_EQ(host.framebuffer().at(box.left, box.top), 0u);

    prompt.ask("Again?", answers);
    host.mouse(press(box.left + CQuestionPrompt::yesButton.left + 4, box.top + CQuestionPrompt::yesButton.top + 4));
    EXPECT_EQ(answers.given, (std::vector<bool>{false, true}));
}

} // namespace brimtone::editor
