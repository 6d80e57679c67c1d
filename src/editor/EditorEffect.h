#pragma once
// What the editor asks of the plug-in: parameter values and texts, edits that
// reach the host as automation, the factory settings of the selected program and
// the display data of each frame. The plug-in shell implements it over the
// effect; tests drive the editor through a recording one.

#include "analysis/FrequencyGrid.h"
#include "analysis/MeterSnapshot.h"
#include "analysis/TransferCapture.h"

#include <array>

namespace brimtone {
class EffectEditor;
struct PluginIdentity;
} // namespace brimtone

namespace brimtone::editor {

enum class DisplayView { MetersOnly, DynamicBias, TonestackResponse, TubeSaturation };

using ParamText = char[16];

class EditorEffect {
public:
    virtual ~EditorEffect() = default;

    // setEditor on the effect (null detaches).
    virtual void attach(EffectEditor* editor) = 0;
    // Who the plug-in is: the About panel's product and addresses, the update check.
    virtual const PluginIdentity& identity() const = 0;

    virtual float parameter(int index) = 0;
    virtual void parameterName(int index, ParamText& text) = 0;
    virtual void parameterDisplay(int index, ParamText& text) = 0;
    // The value in the factory settings of the program selected now.
    virtual float factoryValue(int index) = 0;

    // An edit by the player: stores the value and tells the host. beginEdit and
    // endEdit bracket one gesture (a drag) of one or more edits.
    virtual void beginEdit(int index) = 0;
    virtual void setAutomated(int index, float value) = 0;
    virtual void endEdit(int index) = 0;

    // Copies one frame of display data: the meters always, and the data of `view`.
    // False when the view has nothing new (the response curve between changes).
    virtual bool readDisplay(DisplayView view) = 0;
    virtual const MeterSnapshot& meters() const = 0;
    virtual const std::array<float, FrequencyGrid::kPoints>& responseDb() const = 0;
    virtual const TransferCapture::Point* trace(int channel) const = 0; // kPoints pairs
};

} // namespace brimtone::editor
