// Loads the built plug-in through its exported entry point and checks what a
// host sees: the descriptor, the dispatcher's answers, names and texts,
// programs, routing and the level path.

#include "PluginUnderTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace brimtone::host;

namespace {

enum : int {
    Enable,
    Channel,
    Input,
    Gain,
    Level,
    Low,
    Mid,
    High,
    Shape,
    Reverb,
    Ambience,
    Master,
    Stereo,
    Oversmpl,
    SpkSim,
    RevMode,
    AmpMode,
    Bright,
    TubeMode,
    Limiter
};

const PluginModule& module() { return pluginUnderTest(); }

class HostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module().loaded()) << "cannot load " << pluginPath();
        hostRecord() = HostRecord{};
    }
};

// The amplifier reduced to its plain gain stage: Bypass channel, no tube
// stage, reverb, cabinet or oversampling, master at 0 dB.
void selectPlainGainPath(Instance& plugin)
{
    plugin.set(Enable, 1.0f);
    plugin.set(Channel, 0.0f);
    plugin.set(TubeMode, 0.0f);
    plugin.set(RevMode, 0.0f);
    plugin.set(SpkSim, 0.0f);
    plugin.set(Oversmpl, 0.0f);
    plugin.set(Input, 0.5f);
    plugin.set(Master, 1.0f);
    plugin.set(Limiter, 0.0f);
}

double inputGainAtHalf()
{
    auto point = [](int i) { return std::pow(10.0, (24.0 * i / 29.0 - 12.0) * 0.05); };
    return 0.5 * (point(14) + point(15));
}

std::vector<float> sine(std::size_t frames, double amplitude, double cycles)
{
    std::vector<float> x(frames);
    for (std::size_t i = 0; i < frames; ++i)
        x[i] = static_cast<float>(
            amplitude
            * std::sin(2.0 * 3.141592653589793 * cycles * static_cast<double>(i) / static_cast<double>(frames)));
    return x;
}

} // namespace

TEST_F(HostTest, EntryPointsAreOneFunctionAndRefuseAHostWithoutVersion)
{
    PluginModule::Entry main = module().entry("VSTPluginMain");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(main), reinterpret_cast<void*>(module().entry("main")));

    hostRecord().versionAnswer = 0;
    EXPECT_EQ(main(hostCallback), nullptr);
    EXPECT_EQ(main(nullptr), nullptr);
}

TEST_F(HostTest, DescriptorReportsIdentityAndCapabilities)
{
    Instance plugin(module());
    const vst::AEffect* e = plugin.effect();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, vst::fourCC('V', 's', 't', 'P'));
    EXPECT_EQ(e->numPrograms, 20);
    EXPECT_EQ(e->numParams, 20);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing | vst::effFlagsHasEditor);
    EXPECT_EQ(e->uniqueID, 0x51425254); // "QBRT"
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    for (char byte : e->future)
        EXPECT_EQ(byte, 0);
}

TEST_F(HostTest, DispatcherAnswers)
{
    Instance plugin(module());
    char query[] = "receiveVstMidiEvent";
    EXPECT_EQ(plugin.dispatch(vst::effIdentify), vst::fourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(plugin.dispatch(vst::effGetVstVersion), 2400);
    EXPECT_EQ(plugin.dispatch(vst::effGetVendorVersion), 1000);
    EXPECT_EQ(plugin.dispatch(vst::effGetPlugCategory), 0);
    EXPECT_EQ(plugin.dispatch(vst::effCanDo, 0, 0, query), 0);
    EXPECT_EQ(plugin.dispatch(vst::effCanBeAutomated, 7), 1);
    EXPECT_EQ(plugin.dispatch(vst::effGetCurrentMidiProgram), -1);
    EXPECT_EQ(plugin.dispatch(vst::effSetTotalSampleToProcess, 0, 4321), 4321);
    EXPECT_EQ(plugin.dispatch(vst::effGetTailSize), 0);
    EXPECT_EQ(plugin.dispatch(vst::effGetChunk), 0);
    EXPECT_EQ(plugin.dispatch(vst::effSetBypass, 0, 1), 0);
    EXPECT_EQ(plugin.dispatch(200), 0);
    // Without a parent window the editor does not open; its size is known before.
    EXPECT_EQ(plugin.dispatch(vst::effEditOpen), 0);
    vst::ERect* rect = nullptr;
    EXPECT_EQ(plugin.dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 1024);
    EXPECT_EQ(rect->bottom - rect->top, 362);
    EXPECT_EQ(plugin.dispatch(vst::effEditIdle), 0);
    EXPECT_EQ(plugin.dispatch(vst::effEditKeyDown, 0, ' '), 0) << "keys stay with the host";

    vst::VstSpeakerArrangement dummy{};
    vst::VstSpeakerArrangement* in = &dummy;
    vst::VstSpeakerArrangement* out = &dummy;
    EXPECT_EQ(plugin.dispatch(vst::effGetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST_F(HostTest, IdentityStrings)
{
    Instance plugin(module());
    EXPECT_EQ(plugin.text(vst::effGetEffectName), "Brimtone");
    EXPECT_EQ(plugin.text(vst::effGetVendorString), "QIV");
    EXPECT_EQ(plugin.text(vst::effGetProductString), "QIV Brimtone RX14");
    EXPECT_EQ(plugin.dispatch(vst::effGetEffectName), 0); // null buffer
    EXPECT_EQ(plugin.dispatch(vst::effGetVendorString), 0);
}

TEST_F(HostTest, ParameterNamesAndLabels)
{
    Instance plugin(module());
    const char* expected[20] = {"Enable", "Channel",  "Input",    "Gain",     "Level",    "Low",    "Mid",
                                "High",   "Shape",    "Reverb",   "Ambience", "Master",   "Stereo", "Oversmpl",
                                "SpkSim", "Rev Mode", "Amp Mode", "Bright",   "Tube Mod", "Limiter"};
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(plugin.text(vst::effGetParamName, i), expected[i]);
        EXPECT_EQ(plugin.text(vst::effGetParamLabel, i), "");
    }
    EXPECT_EQ(plugin.text(vst::effGetParamName, 20), "Unknown");
}

TEST_F(HostTest, DisplayTexts)
{
    Instance plugin(module());
    auto show = [&](int index, float value) {
        plugin.set(index, value);
        return plugin.text(vst::effGetParamDisplay, index);
    };
    EXPECT_EQ(show(Channel, 0.25f), "Clean");
    EXPECT_EQ(show(Channel, 0.2499f), "Bypass");
    EXPECT_EQ(show(Channel, 1.0f), "Lead");
    EXPECT_EQ(show(Input, 0.5f), "+0.0dB");
    EXPECT_EQ(show(Input, 0.0f), "-12.0dB");
    EXPECT_EQ(show(Input, 1.0f), "+12.0dB");
    EXPECT_EQ(show(Master, 0.0f), "-40.0dB");
    EXPECT_EQ(show(Master, 1.0f), "+0.0dB");
    EXPECT_EQ(show(Gain, 0.333f), "0.33");
    EXPECT_EQ(show(SpkSim, 0.5f), "1x12\"");
    EXPECT_EQ(show(SpkSim, 1.0f), "4x12\"");
    EXPECT_EQ(show(Oversmpl, 0.5f), "4x");
    EXPECT_EQ(show(RevMode, 1.0f), "Spring");
    EXPECT_EQ(show(AmpMode, 0.0f), "1994");
    EXPECT_EQ(show(TubeMode, 0.9f), "Post-EQ");
    EXPECT_EQ(show(Enable, 0.49f), "Off");
    EXPECT_EQ(show(Enable, 0.5f), "On");
}

TEST_F(HostTest, DisplayTextNeverPassesEightBytes)
{
    Instance plugin(module());
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             1e30f,
                             -1e30f,
                             123456.0f,
                             -0.75f};
    for (int index = 0; index < 20; ++index) {
        for (float value : hostile) {
            plugin.set(index, value);
            char buffer[32];
            std::memset(buffer, 'Z', sizeof buffer);
            plugin.dispatch(vst::effGetParamDisplay, index, 0, buffer);
            EXPECT_NE(std::memchr(buffer, '\0', 8), nullptr) << "index " << index << " value " << value;
            for (int i = 8; i < 32; ++i)
                EXPECT_EQ(buffer[i], 'Z') << "index " << index << " value " << value;
        }
    }
    plugin.set(Gain, 1e30f);
    EXPECT_EQ(plugin.text(vst::effGetParamDisplay, Gain), "1.00");
    plugin.set(Master, -1e30f);
    EXPECT_EQ(plugin.text(vst::effGetParamDisplay, Master), "-40.0dB");
    // The host gets back exactly what it sent.
    plugin.set(Gain, 1e30f);
    EXPECT_EQ(plugin.get(Gain), 1e30f);
}

TEST_F(HostTest, ProgramsSwitchAndKeepEdits)
{
    Instance plugin(module());
    EXPECT_EQ(plugin.dispatch(vst::effGetProgram), 0);
    EXPECT_EQ(plugin.text(vst::effGetProgramName), "Vintage Tube Amp");

    const char* names[14]
        = {"Vintage Tube Amp",  "Clean 2000",   "Clean 94",     "Boosted Clean", "Cleanest",
           "Transparent Drive", "Slight Drive", "Medium Drive", "Hybrid Drive",  "Solid-State Hi-Gain",
           "Hybrid Hi-Gain",    "Cranked Up",   "Hi-Gain Lead", "Mid-Gain Lead"};
    for (int p = 0; p < 20; ++p) {
        plugin.dispatch(vst::effSetProgram, 0, p);
        EXPECT_EQ(plugin.dispatch(vst::effGetProgram), p);
        const std::string name = plugin.text(vst::effGetProgramName);
        if (p < 14)
            EXPECT_EQ(name, names[p]);
        else
            EXPECT_EQ(name, "Init" + std::to_string(p - 13));
        EXPECT_EQ(plugin.text(vst::effGetParamDisplay, Oversmpl), "16x");
        EXPECT_EQ(plugin.text(vst::effGetParamDisplay, Stereo), "On");
        EXPECT_EQ(plugin.text(vst::effGetParamDisplay, Limiter), p == 4 ? "Off" : "On") << name;
    }

    plugin.dispatch(vst::effSetProgram, 0, 20); // out of range: ignored
    EXPECT_EQ(plugin.dispatch(vst::effGetProgram), 19);
    plugin.dispatch(vst::effSetProgram, 0, -1);
    EXPECT_EQ(plugin.dispatch(vst::effGetProgram), 19);

    plugin.dispatch(vst::effSetProgram, 0, 3);
    EXPECT_FLOAT_EQ(plugin.get(Input), 1.0f);
    plugin.set(Gain, 0.42f);
    plugin.dispatch(vst::effSetProgram, 0, 5);
    EXPECT_FLOAT_EQ(plugin.get(Gain), 0.48f);
    plugin.dispatch(vst::effSetProgram, 0, 3);
    EXPECT_FLOAT_EQ(plugin.get(Gain), 0.42f);
    // Selecting the current program again does not reload it.
    plugin.set(Gain, 0.9f);
    plugin.dispatch(vst::effSetProgram, 0, 3);
    EXPECT_FLOAT_EQ(plugin.get(Gain), 0.9f);
}

TEST_F(HostTest, BypassPathIsAPlainGainInBothPrecisions)
{
    Instance plugin(module());
    selectPlainGainPath(plugin);
    std::vector<float> left = sine(4096, 0.1, 37.0), right = sine(4096, 0.05, 11.0), outLeft, outRight;
    plugin.process(left, right, outLeft, outRight);
    const double gain = inputGainAtHalf() * std::pow(10.0, 12.0 / 20.0);
    for (std::size_t i = 0; i < left.size(); ++i) {
        EXPECT_NEAR(outLeft[i], left[i] * gain, 1e-7 + 1e-6 * std::fabs(left[i]));
        EXPECT_NEAR(outRight[i], right[i] * gain, 1e-7 + 1e-6 * std::fabs(right[i]));
    }

    std::vector<double> dl(left.begin(), left.end()), dr(right.begin(), right.end()), dol, dor;
    plugin.processDouble(dl, dr, dol, dor);
    for (std::size_t i = 0; i < dl.size(); ++i)
        EXPECT_NEAR(dol[i], dl[i] * gain, 1e-10);
}

TEST_F(HostTest, LimiterBoundsTheOutput)
{
    Instance plugin(module());
    selectPlainGainPath(plugin);
    plugin.set(Limiter, 1.0f);
    std::vector<float> left = {1.5f, -2.0f, 0.1f, 0.0f}, right = left, outLeft, outRight;
    plugin.process(left, right, outLeft, outRight);
    EXPECT_FLOAT_EQ(outLeft[0], 0.999f);
    EXPECT_FLOAT_EQ(outLeft[1], -0.999f);
    EXPECT_NEAR(outLeft[2], 0.1 * inputGainAtHalf() * std::pow(10.0, 0.6), 1e-6);

    plugin.set(Limiter, 0.0f);
    plugin.process(left, right, outLeft, outRight);
    EXPECT_GT(outLeft[0], 5.0f);
}

TEST_F(HostTest, StereoMonoAndBusRouting)
{
    Instance plugin(module());
    selectPlainGainPath(plugin);
    std::vector<float> left = sine(512, 0.2, 5.0), right = sine(512, 0.3, 9.0), outLeft, outRight;

    plugin.set(Stereo, 1.0f);
    plugin.process(left, right, outLeft, outRight);
    EXPECT_NEAR(outRight[100], right[100] * inputGainAtHalf() * std::pow(10.0, 0.6), 1e-6);
    EXPECT_GT(std::fabs(outLeft[100] - outRight[100]), 0.01f);

    // Stereo off: the right input never reaches the engine.
    plugin.set(Stereo, 0.0f);
    plugin.process(left, right, outLeft, outRight);
    EXPECT_EQ(outLeft, outRight);
    EXPECT_NEAR(outLeft[100], left[100] * inputGainAtHalf() * std::pow(10.0, 0.6), 1e-6);

    // Stereo on, but the host agreed on a mono bus.
    plugin.set(Stereo, 1.0f);
    vst::VstSpeakerArrangement mono{}, stereo{};
    mono.numChannels = 1;
    stereo.numChannels = 2;
    EXPECT_EQ(plugin.dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&mono), &stereo), 1);
    EXPECT_EQ(plugin.dispatch(vst::effSetSpeakerArrangement, 0, 0, &stereo), 0);
    plugin.process(left, right, outLeft, outRight);
    EXPECT_EQ(outLeft, outRight);
    EXPECT_EQ(plugin.effect()->numInputs, 2);

    // A host with one output channel: the second is never written.
    EXPECT_EQ(plugin.dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&stereo), &stereo), 1);
    float in0[4] = {0.1f, 0.2f, 0.3f, 0.4f}, out0[4] = {};
    float* inputs[2] = {in0, nullptr};
    float* outputs[2] = {out0, nullptr};
    plugin.effect()->processReplacing(plugin.effect(), inputs, outputs, 4);
    EXPECT_NEAR(out0[3], 0.4 * inputGainAtHalf() * std::pow(10.0, 0.6), 1e-6);
}

TEST_F(HostTest, NullBuffersAndClosedInstancesAreSafe)
{
    Instance plugin(module());
    plugin.effect()->processReplacing(plugin.effect(), nullptr, nullptr, 64);
    plugin.effect()->processDoubleReplacing(plugin.effect(), nullptr, nullptr, 64);
    EXPECT_EQ(plugin.close(), 1);
    EXPECT_EQ(plugin.effect(), nullptr);
}
