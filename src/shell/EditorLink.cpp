#include "shell/EditorLink.h"

#include "editor/QIVEditor.h"
#include "shell/DisplayReader.h"
#include "shell/PluginEffect.h"
#include "shell/PluginIdentity.h"

namespace brimtone {

namespace {

struct ProgramTable {
    TProgram programs[kNumPrograms];
};

// The 20 programs as the plug-in starts with them.
const ProgramTable& factoryTable()
{
    static const ProgramTable table = [] {
        ProgramTable t;
        fillProgramTable(t.programs);
        return t;
    }();
    return table;
}

class PluginEditorLink final : public editor::EditorEffect {
public:
    explicit PluginEditorLink(PluginEffect& effect) : effect_(effect), reader_(effect) {}

    void attach(EffectEditor* editor) override { effect_.setEditor(editor); }
    const PluginIdentity& identity() const override { return pluginIdentity; }
    float parameter(int index) override { return effect_.getParameter(index); }
    void parameterName(int index, editor::ParamText& text) override { effect_.getParameterName(index, text); }
    void parameterDisplay(int index, editor::ParamText& text) override { effect_.getParameterDisplay(index, text); }
    float factoryValue(int index) override
    {
        int program = effect_.getProgram();
        if (program < 0 || program >= kNumPrograms || index < 0 || index >= kNumParams)
            return 0.0f;
        return factoryTable().programs[program].value[index];
    }
    void beginEdit(int index) override { effect_.beginEdit(index); }
    void setAutomated(int index, float value) override { effect_.setParameterAutomated(index, value); }
    void endEdit(int index) override { effect_.endEdit(index); }

    bool readDisplay(editor::DisplayView view) override
    {
        switch (view) {
        case editor::DisplayView::TonestackResponse:
            return reader_.readFrame(DisplayReader::View::TonestackResponse);
        case editor::DisplayView::TubeSaturation:
            return reader_.readFrame(DisplayReader::View::TubeSaturation);
        default: // the bias values come with the meters
            return reader_.readFrame(DisplayReader::View::DynamicBias);
        }
    }
    const MeterSnapshot& meters() const override { return reader_.meters(); }
    const std::array<float, FrequencyGrid::kPoints>& responseDb() const override { return reader_.responseDb(); }
    const TransferCapture::Point* trace(int channel) const override { return reader_.trace(channel).data(); }

private:
    PluginEffect& effect_;
    DisplayReader reader_;
};

} // namespace

void attachEditor(PluginEffect& effect)
{
    // The editor attaches itself to the effect, which owns it from then on.
    new editor::QIVEditor(std::make_unique<PluginEditorLink>(effect));
}

} // namespace brimtone
