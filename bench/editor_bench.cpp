// The editor's drawing cost, headless: one full repaint of the panel, and one frame
// tick with the tube display running (its two scopes drawn and presented).

#include "editor/QIVEditor.h"
#include "shell/PluginIdentity.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace brimtone;
using namespace brimtone::editor;

namespace {

class SteadyEffect final : public EditorEffect {
public:
    SteadyEffect()
    {
        values[0] = 1.0f;
        values[1] = 1.0f;
        values[12] = 1.0f;
        for (int i = 0; i < TransferCapture::kPoints; ++i) {
            double in = -2.5 + 5.0 * i / (TransferCapture::kPoints - 1);
            points[i] = {in, 2.2 * std::tanh(in)};
        }
        snapshot.inPeak[0] = snapshot.inPeak[1] = 0.3;
        snapshot.outPeak[0] = snapshot.outPeak[1] = 0.5;
    }
    void attach(EffectEditor*) override {}
    const PluginIdentity& identity() const override { return pluginIdentity; }
    float parameter(int index) override { return values[index]; }
    void parameterName(int, ParamText& text) override { text[0] = '\0'; }
    void parameterDisplay(int, ParamText& text) override { text[0] = '\0'; }
    float factoryValue(int) override { return 0.5f; }
    void beginEdit(int) override {}
    void setAutomated(int index, float value) override { values[index] = value; }
    void endEdit(int) override {}
    bool readDisplay(DisplayView) override { return true; }
    const MeterSnapshot& meters() const override { return snapshot; }
    const std::array<float, FrequencyGrid::kPoints>& responseDb() const override { return levels; }
    const TransferCapture::Point* trace(int) const override { return points; }

    float values[20] = {};
    MeterSnapshot snapshot;
    std::array<float, FrequencyGrid::kPoints> levels{};
    TransferCapture::Point points[TransferCapture::kPoints];
};

struct NoWindow final : NativeWindow {
    void idle() override {}
};
std::unique_ptr<NativeWindow> openNoWindow(void*, int, int, WindowClient&) { return std::make_unique<NoWindow>(); }

void tubeDisplay(QIVEditor& editor)
{
    Rect r = editor.control(40).rect();
    MouseEvent e{MouseAction::Press, MouseButton::Left, r.left + 5, r.top + 5};
    editor.mouse(e);
    e.action = MouseAction::Release;
    editor.mouse(e);
}

void BM_FullRepaint(benchmark::State& state)
{
    QIVEditor editor(std::make_unique<SteadyEffect>(), &openNoWindow);
    int parent = 0;
    editor.open(&parent);
    editor.paint();
    for (auto _ : state) {
        editor.repaintAll();
        benchmark::DoNotOptimize(editor.paint());
    }
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMicrosecond);

void BM_FrameTickTubeDisplay(benchmark::State& state)
{
    QIVEditor editor(std::make_unique<SteadyEffect>(), &openNoWindow);
    int parent = 0;
    editor.open(&parent);
    tubeDisplay(editor);
    editor.paint();
    for (auto _ : state) {
        editor.onTimer();
        benchmark::DoNotOptimize(editor.paint());
    }
}
BENCHMARK(BM_FrameTickTubeDisplay)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
