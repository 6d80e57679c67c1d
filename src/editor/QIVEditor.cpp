#include "editor/QIVEditor.h"

#include "editor/AboutPanel.h"
#include "editor/DebugTrace.h"
#include "editor/DisplayViews.h"
#include "editor/Png.h"
#include "platform/AskYesNo.h"
#include "platform/Module.h"
#include "platform/OpenUrl.h"

#include <cmath>
#include <optional>
#include <string>

namespace brimtone::editor {

namespace {

constexpr int kPanelImage = 123;
constexpr int kAboutImage = 124;

struct DialPlace {
    int x, y, unlit, param;
};
// Dials 0-9: Gain, Shape, Volume, Low, Mid, High, Reverb, Ambience, Input, Master.
constexpr DialPlace kDials[10] = {
    {191, 30, 130, 3},  {258, 30, 130, 8},  {325, 30, 130, 4},   {191, 158, 130, 5}, {258, 158, 130, 6},
    {325, 158, 130, 7}, {658, 158, 128, 9}, {769, 158, 128, 10}, {80, 158, 132, 2},  {880, 158, 132, 11},
};

struct ButtonPlace {
    int x, y, image;
};
// Buttons 12-40.
constexpr ButtonPlace kButtons[29] = {
    {98, 71, 135},   {898, 71, 135},  {758, 293, 135}, {800, 293, 135}, {842, 293, 135}, {258, 30, 125},
    {884, 293, 135}, {926, 293, 135}, {968, 293, 135}, {87, 285, 139},  {199, 285, 137}, {266, 285, 137},
    {332, 285, 137}, {437, 58, 144},  {437, 77, 142},  {437, 96, 143},  {547, 58, 148},  {547, 77, 149},
    {547, 96, 150},  {657, 58, 148},  {657, 77, 151},  {657, 96, 152},  {767, 58, 148},  {767, 77, 140},
    {767, 96, 141},  {415, 223, 163}, {471, 223, 164}, {526, 223, 165}, {582, 223, 166},
};

struct RadioGroup {
    int first, count, param;
};
constexpr RadioGroup kRadioGroups[6] = {{25, 3, 16}, {28, 3, 18}, {31, 3, 15}, {34, 3, 14}, {18, 3, 13}, {21, 4, 1}};

struct OnOff {
    int id, param;
};
constexpr OnOff kOnOffButtons[4] = {{12, 0}, {13, 19}, {16, 12}, {17, 17}};

// The value a group of `count` buttons sends for button k: thirds for three, quarters
// for four, and the last one always 1.
float groupValue(int k, int count)
{
    if (k == count - 1)
        return 1.0f;
    return count == 4 ? static_cast<float>(k) * 0.25f : static_cast<float>(k) * 0.33333334f;
}

// A host value held to 0 .. 1 (NaN to 0).
float limited(float v) { return v >= 0.0f ? (v > 1.0f ? 1.0f : v) : 0.0f; }

// Meter percentage: -52 dB is 0 %, +10 dB is 100 %. (The factor is 100/62 exactly:
// its rounded decimal form would leave +10 dB one short of the top.)
int meterLevel(double peak)
{
    double db = peak > 0.0 ? 20.0 * std::log10(peak) : -100.0;
    double percent = (db + 52.0) * (100.0 / 62.0);
    return percent >= 101.0 ? 101 : (percent <= -1.0 ? -1 : static_cast<int>(percent));
}

vst::ERect panelRect(ResourceImages::Finder finder)
{
    ImageSize size = pngSize(finder(kPanelImage, "PNG"));
    return {0, 0, static_cast<std::int16_t>(size.height), static_cast<std::int16_t>(size.width)};
}

// Image 124 with the credits and the version drawn onto it; null without the image.
std::shared_ptr<Image> aboutPanelWithText(ResourceImages::Finder finder, const PluginIdentity& identity)
{
    std::optional<Image> panel = decodePng(finder(kAboutImage, "PNG"));
    if (!panel)
        return nullptr;
    // The site is the download page's scheme and host; the mail address is at the host.
    const std::string_view page = identity.downloadUrl;
    const std::size_t scheme = page.find("://");
    const std::size_t hostStart = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::string_view site = page.substr(0, page.find('/', hostStart));
    const std::string mail = "dev@" + std::string(site.substr(hostStart));
    drawAboutText(*panel, {identity.product, site, mail, identity.versionCode, platform::systemName(), __DATE__});
    return std::make_shared<Image>(std::move(*panel));
}

} // namespace

QIVEditor::QIVEditor(std::unique_ptr<EditorEffect> effect, WindowOpener opener, ResourceImages::Finder finder)
    : effect_(std::move(effect)), opener_(opener), finder_(finder), rect_(panelRect(finder)),
      host_(rect_.right, rect_.bottom)
{
    for (int id = 0; id < 10; ++id)
        controls_[id] = &dials_[id];
    controls_[10] = &meters_[0];
    controls_[11] = &meters_[1];
    for (int id = 12; id <= 40; ++id)
        controls_[id] = &buttons_[id - 12];
    for (int id = 41; id <= 45; ++id)
        controls_[id] = &scopes_[id - 41];
    controls_[46] = &status_;
    for (int id = 47; id <= 50; ++id)
        controls_[id] = &icons_[id - 47];
    NeedleTable::instance();
    aboutPanel_ = aboutPanelWithText(finder_, effect_->identity());
    effect_->attach(this);
}

QIVEditor::~QIVEditor()
{
    effect_->attach(nullptr);
    close();
}

bool QIVEditor::getRect(vst::ERect** rect)
{
    if (rect == nullptr)
        return false;
    *rect = &rect_;
    return true;
}

bool QIVEditor::open(void* parentWindow)
{
    if (parentWindow == nullptr)
        return false;
    close(); // a second open replaces the first
    std::lock_guard hold(windowLock_);
    aboutShown_ = false;
    images_ = std::make_unique<ResourceImages>(finder_);
    panel_ = images_->image(kPanelImage);
    parentWindow_ = parentWindow;
    window_ = opener_ ? opener_(parentWindow, rect_.right, rect_.bottom, *this) : nullptr;
    if (!window_) {
        DebugTrace("QIVBrimtoneWndClass", "QIVEditor::open");
        images_.reset();
        return false;
    }
    createControls();
    question_.create(rect_.right, rect_.bottom);
    host_.add(question_); // last: over everything else
    button(37).setState(1);
    for (int id = 38; id <= 40; ++id)
        button(id).setState(0);
    // The buttons follow the host first, so that the panel shows what the host has
    // from the first frame; then the dials and the display.
    refreshVisibility();
    mirrorParameters();
    onTimer();
    refreshVisibility();
    host_.invalidateAll();
    return true;
}

void QIVEditor::close()
{
    std::lock_guard hold(windowLock_);
    updateChecker_.cancel(); // no answer, and no question, for a closed editor
    window_.reset();
    endDrag();
    host_.remove(question_);
    question_.destroy();
    destroyControls();
    images_.reset();
}

void QIVEditor::idle()
{
    if (idling_.exchange(true))
        return; // re-entered from a host callback, or another thread is idling
    {
        std::unique_lock hold(windowLock_, std::try_to_lock);
        if (hold.owns_lock() && window_)
            window_->idle();
    }
    idling_.store(false);
}

void QIVEditor::createControls()
{
    ControlContext context{*images_, panel_.get(), this};
    auto addDial = [&](int id) {
        const DialPlace& d = kDials[id];
        float centreY = d.unlit == 132 ? 31.0f : 31.5f;
        dials_[id].create(context, d.x, d.y, d.unlit, 31.5f, centreY, CLedDial::editorRing(d.unlit + 1), {});
        host_.add(dials_[id]);
    };
    auto addButton = [&](int id) {
        const ButtonPlace& b = kButtons[id - 12];
        button(id).create(context, b.x, b.y, b.image, id, 2);
        host_.add(button(id));
    };
    auto addButtons = [&](int first, int last) {
        for (int id = first; id <= last; ++id)
            addButton(id);
    };
    for (int id = 0; id <= 7; ++id)
        addDial(id);
    addButton(17);
    addDial(8);
    addDial(9);
    addButtons(12, 16);
    addButtons(18, 24);
    addButtons(37, 40);
    addButtons(25, 27);
    for (int id : {30, 29, 28})
        addButton(id);
    addButtons(31, 33);
    for (int id : {36, 35, 34})
        addButton(id);
    status_.create(context, 446, 339, 265, 20, 0xFF281E);
    host_.add(status_);
    for (int m = 0; m < 2; ++m) {
        meters_[m].create(context, m == 0 ? 24 : 977, 52, 153, 154, false, editorMeterBar(0), editorMeterBar(1));
        host_.add(meters_[m]);
    }
    // The response face is 174 pixels wide for 172 columns of curve; the other
    // faces are 82 × 82 around an 80 × 80 plot. The XY traces fade, the rest redraw.
    scope(41).create(context, 134, 436, 138, 172, 80, 1.0f, 255);
    scope(42).create(context, 156, 436, 138, 80, 80, 1.0f, 255);
    scope(43).create(context, 157, 528, 138, 80, 80, 1.0f, 255);
    scope(44).create(context, 155, 436, 138, 80, 80, 1.0f, 0);
    scope(45).create(context, 158, 528, 138, 80, 80, 1.0f, 0);
    for (int id = 41; id <= 45; ++id)
        host_.add(scope(id));
    constexpr int nameplates[4] = {159, 160, 162, 161};
    for (int i = 0; i < 4; ++i) {
        icons_[i].create(context, nameplates[i], 191, 97);
        host_.add(icons_[i]);
    }
    host_.setBackground(panel_.get());
}

void QIVEditor::destroyControls()
{
    for (CDlgElem* c : controls_) {
        host_.remove(*c);
        c->destroy();
    }
    host_.setBackground(nullptr);
}

int QIVEditor::selectedIn(int first, int count) const
{
    for (int k = 0; k < count; ++k)
        if (buttons_[first - 12 + k].state() == 1)
            return k;
    return -1;
}

void QIVEditor::selectInGroup(int first, int count, int k)
{
    for (int i = 0; i < count; ++i)
        button(first + i).setState(i == k ? 1 : 0);
}

void QIVEditor::sendEdit(int parameter, float value)
{
    if (parameter == dragParameter_) {
        if (!gestureOpen_) {
            effect_->beginEdit(parameter);
            gestureOpen_ = true;
        }
        effect_->setAutomated(parameter, value);
        return;
    }
    effect_->beginEdit(parameter);
    effect_->setAutomated(parameter, value);
    effect_->endEdit(parameter);
}

void QIVEditor::sendDialEdit(int id)
{
    int param = kDials[id].param;
    sendEdit(param, static_cast<float>(dials_[id].value(0)) * 0.01f);
    syncedDial_[id] = dials_[id].value(0);
    updateStatus(-1, param);
}

void QIVEditor::endDrag()
{
    if (dragParameter_ < 0)
        return;
    // The last movement of the drag reaches the host before its gesture ends.
    for (int id = 0; id < 10; ++id)
        if (kDials[id].param == dragParameter_ && showFlags_[id] && dials_[id].value(0) != syncedDial_[id])
            sendDialEdit(id);
    if (gestureOpen_)
        effect_->endEdit(dragParameter_);
    dragParameter_ = -1;
    gestureOpen_ = false;
}

void QIVEditor::mouse(const MouseEvent& event)
{
    if (!window_ && !images_)
        return;
    if (question_.asking()) { // the question takes the mouse until it is answered
        if (question_.rect().contains(event.x, event.y))
            host_.mouse(event);
        return;
    }
    if (event.action == MouseAction::DoubleClick && event.button == MouseButton::Left) {
        // A double click on a dial returns it to the selected program's factory value.
        for (int id = 0; id < 10; ++id) {
            CLedDial& d = dials_[id];
            if (!showFlags_[id] || !d.hasView() || !d.rect().contains(event.x, event.y))
                continue;
            int param = kDials[id].param;
            float value = limited(effect_->factoryValue(param));
            sendEdit(param, value);
            d.setValue(0, static_cast<int>(std::lround(value * 100.0f)));
            syncedDial_[id] = d.value(0);
            updateStatus(-1, param);
            d.refresh();
            return;
        }
    }
    host_.mouse(event);
    if (event.action == MouseAction::Press && dragParameter_ < 0) {
        for (int id = 0; id < 10; ++id)
            if (host_.captured() == &dials_[id])
                dragParameter_ = kDials[id].param;
    } else if (event.action == MouseAction::Release && dragParameter_ >= 0) {
        bool stillDragging = false;
        for (CLedDial& d : dials_)
            stillDragging |= host_.captured() == &d;
        if (!stillDragging)
            endDrag();
    }
}

void QIVEditor::buttonChanged(int id, int newState)
{
    const int bit = newState & 1;
    const float value = bit ? 1.0f : 0.0f;
    switch (id) {
    case 12:
        sendEdit(0, value);
        refreshVisibility();
        break;
    case 13:
        sendEdit(19, value);
        break;
    case 14:
        aboutShown_ = bit != 0;
        refreshVisibility();
        host_.setBackground(aboutShown_ && aboutPanel_ ? aboutPanel_.get() : panel_.get());
        break;
    case 15:
        // The button springs back; a press while a check runs does nothing more.
        button(15).setState(0);
        if (updateChecker_.start(effect_->identity()))
            status_.setText(kCheckingForUpdatesText);
        break;
    case 16:
        sendEdit(12, value);
        break;
    case 17:
        sendEdit(17, value);
        break;
    default:
        for (const RadioGroup& g : kRadioGroups) {
            if (id >= g.first && id < g.first + g.count) {
                int k = id - g.first;
                selectInGroup(g.first, g.count, k);
                sendEdit(g.param, groupValue(k, g.count));
                if (g.param == 1 || g.param == 16)
                    refreshVisibility();
            }
        }
        if (id >= 37 && id <= 40) {
            selectInGroup(37, 4, id - 37);
            refreshVisibility();
        }
        break;
    }
    updateStatus(id, -1);
}

void QIVEditor::drawDisplay()
{
    const int mode = displayMode();
    const DisplayView view = mode == 1   ? DisplayView::DynamicBias
                             : mode == 2 ? DisplayView::TonestackResponse
                             : mode == 3 ? DisplayView::TubeSaturation
                                         : DisplayView::MetersOnly;
    const bool fresh = effect_->readDisplay(view);
    const MeterSnapshot& m = effect_->meters();
    if (mode == 1) {
        drawBiasNeedle(scope(42), m.preampBias * -0.5);
        drawBiasNeedle(scope(43), m.powerBias * -1.0);
    } else if (mode == 2 && fresh) {
        drawToneResponse(scope(41), effect_->responseDb());
    } else if (mode == 3) {
        drawTransfer(scope(44), scope(45), effect_->trace(0), effect_->trace(1), effect_->parameter(12) >= 0.5f);
    }
    for (int c = 0; c < 2; ++c) {
        meters_[0].setBarValue(c, meterLevel(m.inPeak[c]));
        meters_[1].setBarValue(c, meterLevel(m.outPeak[c]));
    }
    meters_[0].refresh();
    meters_[1].refresh();
}

void QIVEditor::mirrorParameters()
{
    for (int id = 0; id < 10; ++id) {
        if (!showFlags_[id])
            continue;
        CLedDial& d = dials_[id];
        if (d.value(0) != syncedDial_[id]) {
            sendDialEdit(id);
        } else {
            d.setValue(0, static_cast<int>(std::lround(limited(effect_->parameter(kDials[id].param)) * 100.0f)));
            syncedDial_[id] = d.value(0);
        }
        d.refresh();
    }
    for (const OnOff& b : kOnOffButtons) {
        if (!showFlags_[b.id])
            continue;
        int s = limited(effect_->parameter(b.param)) >= 0.5f ? 1 : 0;
        if ((button(b.id).state() == 1 ? 1 : 0) != s) {
            button(b.id).setState(s);
            if (b.param == 0)
                refreshVisibility();
        }
    }
    for (const RadioGroup& g : kRadioGroups) {
        if (!showFlags_[g.first])
            continue;
        int k = static_cast<int>(limited(effect_->parameter(g.param)) * static_cast<float>(g.count));
        if (k > g.count - 1)
            k = g.count - 1;
        if (button(g.first + k).state() != 1) {
            selectInGroup(g.first, g.count, k);
            refreshVisibility();
        }
    }
}

void QIVEditor::takeUpdateResult()
{
    const std::optional<UpdateResult> result = updateChecker_.poll();
    if (!result)
        return;
    status_.setText(result->statusText());
    if (!result->offersDownload())
        return;
    if (const std::optional<bool> yes
        = platform::askYesNo(parentWindow_, kDownloadQuestionText, effect_->identity().product))
        answered(*yes);
    else
        question_.ask(kDownloadQuestionText, *this);
}

// The download page is the plug-in's own address, never one from the server.
void QIVEditor::answered(bool yes)
{
    if (yes)
        platform::openUrl(effect_->identity().downloadUrl);
}

void QIVEditor::onTimer()
{
    if (!images_)
        return;
    takeUpdateResult();
    if (aboutShown_)
        return;
    drawDisplay();
    mirrorParameters();
}

void QIVEditor::refreshVisibility()
{
    auto& f = showFlags_;
    f.fill(false);
    auto show = [&](int first, int last) {
        for (int id = first; id <= last; ++id)
            f[id] = true;
    };
    if (button(12).state() != 1 || aboutShown_) {
        show(8, 16);
        show(18, 24);
        f[46] = true;
    } else {
        show(6, 40);
        f[17] = false;
        f[46] = true;
        switch (displayMode()) {
        case 1:
            show(42, 43);
            break;
        case 2:
            f[41] = true;
            break;
        case 3:
            show(44, 45);
            break;
        default:
            break;
        }
        switch (selectedIn(21, 4)) {
        case 1:
            show(2, 5);
            if (selectedIn(25, 3) == 0) {
                f[47] = true;
                f[17] = true;
            } else {
                f[48] = true;
            }
            break;
        case 2:
            f[0] = true;
            show(2, 5);
            f[49] = true;
            break;
        case 3:
            show(0, 5);
            f[50] = true;
            break;
        default: // Bypass: no flavour to choose
            for (int id = 25; id <= 27; ++id)
                f[id] = false;
            break;
        }
    }
    for (int id = 0; id < kControlCount; ++id)
        controls_[id]->setVisible(f[id]);
}

void QIVEditor::updateStatus(int controlId, int parameter)
{
    if (!status_.hasView())
        return;
    ParamText name{};
    ParamText display{};
    auto text = [&](int p) -> const char* {
        effect_->parameterDisplay(p, display);
        return display;
    };
    if (parameter >= 0) {
        switch (parameter) {
        case 2:
            status_.formatText("Input Gain = %s", text(2));
            break;
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
            effect_->parameterName(parameter, name);
            status_.formatText("%s = %s", name, text(parameter));
            break;
        case 9:
            status_.formatText("Reverb Amount = %s", text(9));
            break;
        case 10:
            status_.formatText("Room Ambience = %s", text(10));
            break;
        case 11:
            status_.formatText("Output Gain = %s", text(11));
            break;
        case 17:
            status_.formatText("Bright = %s", text(17));
            break;
        default:
            break;
        }
    } else if (controlId >= 0) {
        static constexpr const char* displays[4]
            = {"Display = Off", "Display = Dynamic Bias", "Display = Tonestack Response", "Display = Tube Saturation"};
        if (controlId == 12)
            status_.formatText("Effect Enable = %s", text(0));
        else if (controlId == 13)
            status_.formatText("Output Limiter = %s", text(19));
        else if (controlId == 14)
            status_.setText(aboutShown_ ? "About Brimtone..." : "");
        else if (controlId == 16)
            status_.formatText("Stereo Mode = %s", text(12));
        else if (controlId == 17)
            status_.formatText("Bright = %s", text(17));
        else if (controlId >= 18 && controlId <= 20)
            status_.formatText("Oversampling = %s", text(13));
        else if (controlId >= 21 && controlId <= 24)
            status_.formatText("Preamp Channel = %s", text(1));
        else if (controlId >= 25 && controlId <= 27)
            status_.formatText("Preamp Flavor = %s", text(16));
        else if (controlId >= 28 && controlId <= 30)
            status_.formatText("Tube = %s", text(18));
        else if (controlId >= 31 && controlId <= 33)
            status_.formatText("Reverb Mode = %s", text(15));
        else if (controlId >= 34 && controlId <= 36)
            status_.formatText("Speaker Sim = %s", text(14));
        else if (controlId >= 37 && controlId <= 40)
            status_.setText(displays[controlId - 37]);
    } else {
        status_.setText("");
    }
    status_.invalidate();
}

} // namespace brimtone::editor
