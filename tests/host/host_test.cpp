// Loads the built plug-in through its exported entry point and checks what a
// host sees: the descriptor, the dispatcher's answers, names and texts,
// programs and their files, routing and the level path.
#include "PluginUnderTest.h"
#include "Preset.h"
#include "shell/Parameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <functional>

using namespace brimtone;
using namespace brimtone::host;

namespace {

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
// stage, reverb, cabinet, oversampling or limiter, input at 0 dB, master at
// 0 dB: the channel's fixed +12 dB and the input taper's middle step remain.
const double plainGain
    = 0.5 * (std::pow(10.0, (24.0 * 14 / 29.0 - 12.0) / 20.0) + std::pow(10.0, (24.0 * 15 / 29.0 - 12.0) / 20.0))
      * std::pow(10.0, 12.0 / 20.0);

void selectPlainGainPath(Instance& plugin)
{
    const int ids[] = {Enable, Channel, TubeMode, RevMode, SpkSim, Oversmpl, Input, Master, Limiter};
    const float values[] = {1, 0, 0, 0, 0, 0, 0.5f, 1, 0};
    for (int i = 0; i < 9; ++i)
        plugin.set(ids[i], values[i]);
}

std::string tempFile(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("brimtone_preset_test_" + name)).string();
}

void putWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) // big-endian
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::string refusal(const std::function<void()>& load)
{
    try {
        load();
    } catch (const PresetError& error) {
        return error.what();
    }
    return "accepted";
}

// A right channel unlike the left, so that a mix-up shows.
std::vector<float> mirrored(std::vector<float> x)
{
    for (float& v : x)
        v *= -0.5f;
    return x;
}

} // namespace

TEST_F(HostTest, EntryPointDescriptorAndDispatcherAnswers)
{
    PluginModule::Entry main = module().entry("VSTPluginMain");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(main), reinterpret_cast<void*>(module().entry("main")));
    EXPECT_EQ(main(nullptr), nullptr);
    hostRecord().versionAnswer = 0; // a host without a version is refused
    EXPECT_EQ(main(hostCallback), nullptr);
    hostRecord().versionAnswer = 2400;

    Instance plugin(module());
    const vst::AEffect* e = plugin.effect();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, vst::fourCC('V', 's', 't', 'P'));
    EXPECT_EQ(e->numPrograms, 20);
    EXPECT_EQ(e->numParams, 20);
    EXPECT_EQ(e->numInputs * 10 + e->numOutputs, 22);
    EXPECT_EQ(e->flags, vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing | vst::effFlagsHasEditor);
    EXPECT_EQ(e->uniqueID, 0x51425254); // "QBRT"
    EXPECT_EQ(e->version, 1);

    char query[] = "receiveVstMidiEvent";
    vst::ERect* rect = nullptr;
    const std::pair<std::intptr_t, std::intptr_t> answers[] = {
        {plugin.dispatch(vst::effIdentify), vst::fourCC('N', 'v', 'E', 'f')},
        {plugin.dispatch(vst::effGetVstVersion), 2400},
        {plugin.dispatch(vst::effGetVendorVersion), 1000},
        {plugin.dispatch(vst::effGetPlugCategory), 0},
        {plugin.dispatch(vst::effCanDo, 0, 0, query), 0},
        {plugin.dispatch(vst::effCanBeAutomated, 7), 1},
        {plugin.dispatch(vst::effSetBypass, 0, 1), 0},
        {plugin.dispatch(200), 0},
        {plugin.dispatch(vst::effEditOpen), 0}, // no parent window
        {plugin.dispatch(vst::effEditGetRect, 0, 0, &rect), 1},
        {plugin.dispatch(vst::effEditKeyDown, 0, ' '), 0}, // keys stay with the host
        {plugin.dispatch(vst::effGetEffectName), 0},       // null buffers
        {plugin.dispatch(vst::effGetVendorString), 0},
    };
    for (std::size_t i = 0; i < std::size(answers); ++i)
        EXPECT_EQ(answers[i].first, answers[i].second) << "answer " << i;
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 1024);
    EXPECT_EQ(rect->bottom - rect->top, 362);

    EXPECT_EQ(plugin.text(vst::effGetEffectName), "Brimtone");
    EXPECT_EQ(plugin.text(vst::effGetVendorString), "QIV");
    EXPECT_EQ(plugin.text(vst::effGetProductString), "QIV Brimtone RX14");
    const char* names[20] = {"Enable", "Channel",  "Input",    "Gain",     "Level",    "Low",    "Mid",
                             "High",   "Shape",    "Reverb",   "Ambience", "Master",   "Stereo", "Oversmpl",
                             "SpkSim", "Rev Mode", "Amp Mode", "Bright",   "Tube Mod", "Limiter"};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(plugin.text(vst::effGetParamName, i) + plugin.text(vst::effGetParamLabel, i), names[i]);
    EXPECT_EQ(plugin.text(vst::effGetParamName, 20), "Unknown");
    EXPECT_EQ(plugin.close(), 1);
    EXPECT_EQ(plugin.effect(), nullptr);
}

TEST_F(HostTest, DisplayTexts)
{
    Instance plugin(module());
    const std::tuple<int, float, const char*> shown[] = {
        {Channel, 0.25f, "Clean"}, {Channel, 0.2499f, "Bypass"}, {Channel, 1.0f, "Lead"},   {Input, 0.5f, "+0.0dB"},
        {Input, 0.0f, "-12.0dB"},  {Input, 1.0f, "+12.0dB"},     {Master, 0.0f, "-40.0dB"}, {Master, -1e30f, "-40.0dB"},
        {Gain, 0.333f, "0.33"},    {Gain, 1e30f, "1.00"},        {SpkSim, 0.5f, "1x12\""},  {SpkSim, 1.0f, "4x12\""},
        {Oversmpl, 0.5f, "4x"},    {RevMode, 1.0f, "Spring"},    {AmpMode, 0.0f, "1994"},   {TubeMode, 0.9f, "Post-EQ"},
        {Enable, 0.49f, "Off"},    {Enable, 0.5f, "On"},
    };
    for (auto [index, value, text] : shown) {
        plugin.set(index, value);
        EXPECT_EQ(plugin.text(vst::effGetParamDisplay, index), text) << index << " at " << value;
        EXPECT_EQ(plugin.get(index), value) << "the host gets back exactly what it sent";
    }
}

TEST_F(HostTest, ProgramsSwitchAndKeepEdits)
{
    Instance plugin(module());
    const char* names[14]
        = {"Vintage Tube Amp",  "Clean 2000",   "Clean 94",     "Boosted Clean", "Cleanest",
           "Transparent Drive", "Slight Drive", "Medium Drive", "Hybrid Drive",  "Solid-State Hi-Gain",
           "Hybrid Hi-Gain",    "Cranked Up",   "Hi-Gain Lead", "Mid-Gain Lead"};
    EXPECT_EQ(plugin.dispatch(vst::effGetProgram), 0);
    for (int p = 0; p < 20; ++p) {
        plugin.dispatch(vst::effSetProgram, 0, p);
        EXPECT_EQ(plugin.dispatch(vst::effGetProgram), p);
        const std::string name = plugin.text(vst::effGetProgramName);
        EXPECT_EQ(name, p < 14 ? names[p] : "Init" + std::to_string(p - 13));
        EXPECT_EQ(plugin.text(vst::effGetParamDisplay, Oversmpl), "16x");
        EXPECT_EQ(plugin.text(vst::effGetParamDisplay, Stereo), "On");
        EXPECT_EQ(plugin.text(vst::effGetParamDisplay, Limiter), p == 4 ? "Off" : "On") << name;
    }
    plugin.dispatch(vst::effSetProgram, 0, 3);
    // Program numbers out of range, in any width, are ignored.
    const std::int64_t outOfRange[] = {-1, 20, -(1ll << 40), 1ll << 32, -(1ll << 32) + 5, INT64_MAX, INT64_MIN};
    for (std::int64_t value : outOfRange) {
        plugin.dispatch(vst::effSetProgram, 0, static_cast<std::intptr_t>(value));
        EXPECT_EQ(plugin.dispatch(vst::effGetProgram), 3) << "value " << value;
    }
    EXPECT_FLOAT_EQ(plugin.get(Input), 1.0f);
    plugin.set(Gain, 0.42f);
    plugin.dispatch(vst::effSetProgram, 0, 5);
    EXPECT_FLOAT_EQ(plugin.get(Gain), 0.48f);
    plugin.dispatch(vst::effSetProgram, 0, 3);
    EXPECT_FLOAT_EQ(plugin.get(Gain), 0.42f);
    plugin.set(Gain, 0.9f);
    plugin.dispatch(vst::effSetProgram, 0, 3); // the current program again: not reloaded
    EXPECT_FLOAT_EQ(plugin.get(Gain), 0.9f);
}

TEST_F(HostTest, BypassPathIsAPlainGainInBothPrecisionsAndTheLimiterBoundsIt)
{
    Instance plugin(module());
    selectPlainGainPath(plugin);
    std::vector<float> left = pluckedLowE(44100.0, 0.1), right = mirrored(left), outLeft, outRight;
    plugin.process(left, right, outLeft, outRight);
    for (std::size_t i = 0; i < left.size(); ++i) {
        EXPECT_NEAR(outLeft[i], left[i] * plainGain, 1e-7 + 1e-6 * std::fabs(left[i]));
        EXPECT_NEAR(outRight[i], right[i] * plainGain, 1e-7 + 1e-6 * std::fabs(right[i]));
    }
    std::vector<double> dl(left.begin(), left.end()), dr(right.begin(), right.end()), dol, dor;
    plugin.processDouble(dl, dr, dol, dor);
    for (std::size_t i = 0; i < dl.size(); ++i)
        EXPECT_NEAR(dol[i], dl[i] * plainGain, 1e-10);

    left = {1.5f, -2.0f, 0.1f, 0.0f}, right = left;
    plugin.process(left, right, outLeft, outRight);
    EXPECT_GT(outLeft[0], 5.0f);
    plugin.set(Limiter, 1.0f);
    plugin.process(left, right, outLeft, outRight);
    EXPECT_EQ(outLeft[0], 0.999f);
    EXPECT_EQ(outLeft[1], -0.999f);
    EXPECT_NEAR(outLeft[2], 0.1 * plainGain, 1e-6);
    plugin.set(Enable, 0.0f); // off: the input gain alone, no limiter
    plugin.process(left, right, outLeft, outRight);
    EXPECT_NEAR(outLeft[0], 1.5 * plainGain / std::pow(10.0, 12.0 / 20.0), 1e-6);
    plugin.effect()->processReplacing(plugin.effect(), nullptr, nullptr, 64); // null buffers are safe
    plugin.effect()->processDoubleReplacing(plugin.effect(), nullptr, nullptr, 64);
}

TEST_F(HostTest, StereoMonoAndBusRouting)
{
    Instance plugin(module());
    selectPlainGainPath(plugin);
    std::vector<float> left = pluckedLowE(44100.0, 0.02), right = mirrored(left), outLeft, outRight;
    plugin.set(Stereo, 1.0f);
    plugin.process(left, right, outLeft, outRight);
    EXPECT_NEAR(outLeft[100], left[100] * plainGain, 1e-6);
    EXPECT_NEAR(outRight[100], right[100] * plainGain, 1e-6);

    plugin.set(Stereo, 0.0f); // the right input never reaches the engine
    plugin.process(left, right, outLeft, outRight);
    EXPECT_EQ(outLeft, outRight);
    EXPECT_NEAR(outLeft[100], left[100] * plainGain, 1e-6);

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
    EXPECT_NEAR(out0[3], 0.4 * plainGain, 1e-6);
}

TEST_F(HostTest, PresetBankRoundTripsBetweenInstances)
{
    Instance source(pluginUnderTest()), copy(pluginUnderTest());
    const PresetTarget target = presetTarget(source);
    source.dispatch(vst::effSetProgram, 0, 3);
    source.set(3, 0.123456789f);
    char name[] = "My Crunch";
    source.dispatch(vst::effSetProgramName, 0, 0, name);
    const BankPreset bank = captureBank(source);
    const std::string fxb = tempFile("round.fxb");
    writePresetFile(fxb, encodeBank(target, bank));
    applyBank(copy, readBankFile(fxb, target));
    std::filesystem::remove(fxb);
    EXPECT_EQ(copy.text(vst::effGetProgramName), "My Crunch");
    const BankPreset again = captureBank(copy);
    EXPECT_EQ(again.currentProgram, 3);
    ASSERT_EQ(again.programs.size(), 20u);
    for (int p = 0; p < 20; ++p) {
        EXPECT_EQ(again.programs[p].name, bank.programs[p].name);
        EXPECT_EQ(again.programs[p].values, bank.programs[p].values) << "program " << p;
    }
    // A bank whose last value is a NaN is refused whole, before any program changes.
    BankPreset halves = bank;
    for (ProgramPreset& program : halves.programs)
        program.values.assign(20, 0.5f);
    std::vector<std::uint8_t> damaged = encodeBank(target, halves);
    putWord(damaged, damaged.size() - 4, 0x7fc00000);
    const std::string problem = refusal([&] { applyBank(copy, decodeBank(damaged, target)); });
    EXPECT_NE(problem.find("program 19 parameter 19"), std::string::npos) << problem;
    EXPECT_EQ(captureBank(copy).programs[0].values, bank.programs[0].values);
}

// The published layout, written field by field: no code of ours made these
// bytes. Then every kind of damage to it, each refused with its reason.
TEST_F(HostTest, PresetHandWrittenProgramLoadsAndDamagedOnesAreRefused)
{
    Instance plugin(pluginUnderTest());
    const PresetTarget target = presetTarget(plugin);
    constexpr int n = 20;
    std::vector<std::uint8_t> good(56 + 4 * n, 0);
    const char* const magic = "CcnK____FxCk";
    std::copy(magic, magic + 12, good.begin());
    for (auto [at, value] : {std::pair{4u, 48u + 4u * n}, {12u, 1u}, {16u, 0x51425254u}, {20u, 1u}, {24u, 20u}})
        putWord(good, at, value);
    const std::string name = "Hand Made";
    std::copy(name.begin(), name.end(), good.begin() + 28);
    for (int i = 0; i < n; ++i)
        putWord(good, 56 + 4 * i, std::bit_cast<std::uint32_t>(static_cast<float>(i) / n));
    applyProgram(plugin, decodeProgram(good, target));
    EXPECT_EQ(plugin.text(vst::effGetProgramName), "Hand Made");
    for (int i = 0; i < n; ++i)
        EXPECT_FLOAT_EQ(plugin.get(i), static_cast<float>(i) / n) << "parameter " << i;

    const std::pair<std::string, std::function<void(std::vector<std::uint8_t>&)>> cases[] = {
        {"no 'CcnK' magic", [](auto& b) { b[0] = 'R'; }},
        {"another plug-in (ID 'ABCD', this one is 'QBRT')", [](auto& b) { putWord(b, 16, 0x41424344); }},
        {"has 19 parameters, the plug-in has 20", [](auto& b) { putWord(b, 24, 19), b.resize(b.size() - 4); }},
        {"truncated", [](auto& b) { b.resize(b.size() - 2); }},
        {"truncated", [](auto& b) { b.resize(20); }},
        {"parameter 1 (Channel) has the value NaN", [](auto& b) { putWord(b, 60, 0x7fc00000); }},
        {"parameter 3 (Gain) has the value 1.5", [](auto& b) { putWord(b, 68, 0x3fc00000); }},
        {"parameter 0 (Enable) has the value -0.5", [](auto& b) { putWord(b, 56, 0xbf000000); }},
        {"opaque chunk", [](auto& b) { b[9] = 'P', b[10] = 'C', b[11] = 'h'; }},
        {"is a bank (.fxb)", [](auto& b) { b[10] = 'B'; }},
    };
    const std::string path = tempFile("bad.fxp");
    for (const auto& [what, damage] : cases) {
        std::vector<std::uint8_t> bytes = good;
        damage(bytes);
        writePresetFile(path, bytes);
        const std::string problem = refusal([&] { readProgramFile(path, target); });
        EXPECT_EQ(problem.find(path + ": "), 0u) << problem;
        EXPECT_NE(problem.find(what), std::string::npos) << problem;
    }
    std::filesystem::remove(path);
    EXPECT_NE(refusal([&] { readProgramFile(path, target); }), "accepted");
    EXPECT_EQ(plugin.text(vst::effGetProgramName), "Hand Made");
}
