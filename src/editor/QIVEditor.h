#pragma once
// The plug-in's editor: the 1024 × 362 panel with its 51 controls, the status line
// and the display, opened as a child of the host's window.
//
// Everything runs on the thread that opens, idles and closes the editor. A 33 ms
// frame tick (onTimer) mirrors the host's parameter values into the controls, sends
// the player's dial edits to the host, and refreshes the meters and the display;
// buttons send their edits at once. Controls are numbered by ControlId:
//   0-9 dials, 10-11 meters, 12-40 buttons, 41-45 scopes, 46 status line,
//   47-50 nameplates.

#include "editor/CLabel.h"
#include "editor/CLedButton.h"
#include "editor/CLedDial.h"
#include "editor/CLedIcon.h"
#include "editor/CQuestionPrompt.h"
#include "editor/CScopeXY.h"
#include "editor/CSlider.h"
#include "editor/EditorEffect.h"
#include "editor/ImageSource.h"
#include "editor/NativeWindow.h"
#include "editor/ViewHost.h"
#include "shell/EffectEditor.h"
#include "update/UpdateChecker.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

namespace brimtone::editor {

constexpr int kControlCount = 51;

class QIVEditor final : public EffectEditor,
                        public WindowClient,
                        private EditorNotifications,
                        private QuestionListener {
public:
    using WindowOpener = std::unique_ptr<NativeWindow> (*)(void* parent, int width, int height, WindowClient& client);

    // Attaches itself to the effect. The images come through `finder`; the window
    // through `opener`.
    explicit QIVEditor(std::unique_ptr<EditorEffect> effect, WindowOpener opener = &openNativeWindow,
                       ResourceImages::Finder finder = &platform::findResource);
    ~QIVEditor() override;

    // EffectEditor: the host's side.
    bool getRect(vst::ERect** rect) override;
    bool open(void* parentWindow) override;
    void close() override;
    // Drains the window's events and runs the frame tick when it is due; does
    // nothing while closed, and when re-entered or busy on another thread.
    void idle() override;
    bool isOpen() const { return window_ != nullptr; }

    // WindowClient: the window's side.
    const Framebuffer& framebuffer() const override { return host_.framebuffer(); }
    Rect paint() override { return host_.paint(); }
    void mouse(const MouseEvent& event) override;
    void onTimer() override;
    // Marks the whole panel for the next paint (a full repaint).
    void repaintAll() { host_.invalidateAll(); }

    // For tests and the window shells.
    CDlgElem& control(int id) { return *controls_[id]; }
    CLedButton& button(int id) { return buttons_[id - 12]; }
    CLedDial& dial(int id) { return dials_[id]; }
    CMeter& meter(int id) { return meters_[id - 10]; }
    CScopeXY& scope(int id) { return scopes_[id - 41]; }
    const CLabel& status() const { return status_; }
    bool shown(int id) const { return showFlags_[id]; }
    bool aboutShown() const { return aboutShown_; }
    const CQuestionPrompt& question() const { return question_; }
    int displayMode() const { return selectedIn(37, 4); }

private:
    void buttonChanged(int controlId, int newState) override;
    void answered(bool yes) override;
    // Shows the result of a finished update check and offers the download.
    void takeUpdateResult();
    void createControls();
    void destroyControls();
    void refreshVisibility();
    void updateStatus(int controlId, int parameter);
    void selectInGroup(int first, int count, int k);
    // The index of the first button of the group in state 1, or -1.
    int selectedIn(int first, int count) const;
    // One edit of the player: inside the drag's gesture when it belongs to the
    // dial being dragged, otherwise a gesture of its own.
    void sendEdit(int parameter, float value);
    void sendDialEdit(int dialId);
    void endDrag();
    void drawDisplay();
    void mirrorParameters();

    std::unique_ptr<EditorEffect> effect_;
    WindowOpener opener_;
    ResourceImages::Finder finder_;
    vst::ERect rect_{};
    std::shared_ptr<const Image> panel_;
    std::shared_ptr<Image> aboutPanel_;      // with its text, drawn once for the editor's life
    std::unique_ptr<ResourceImages> images_; // while open
    bool aboutShown_ = false;

    std::array<CLedDial, 10> dials_;
    std::array<CMeter, 2> meters_;
    std::array<CLedButton, 29> buttons_;
    std::array<CScopeXY, 5> scopes_;
    CLabel status_;
    CQuestionPrompt question_; // the download question where the system has no message box
    std::array<CLedIcon, 4> icons_;
    std::array<CDlgElem*, kControlCount> controls_{};
    std::array<bool, kControlCount> showFlags_{};
    // The value each dial last took from or gave to the host: a dial whose value
    // differs was turned by the player.
    std::array<int, 10> syncedDial_{};
    int dragParameter_ = -1; // the parameter of the dial being dragged
    bool gestureOpen_ = false;

    ViewHost host_;
    UpdateChecker updateChecker_;
    void* parentWindow_ = nullptr;
    std::unique_ptr<NativeWindow> window_;
    std::mutex windowLock_; // open, close and idle exclude each other
    std::atomic<bool> idling_{false};
};

} // namespace brimtone::editor
