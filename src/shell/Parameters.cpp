#include "shell/Parameters.h"

#include "engine/AmpEngine.h"
#include "engine/ValueConventions.h"
#include "shell/PluginIdentity.h"
#include "vst/Vst2.h"

#include <cstdio>

namespace brimtone {
namespace {

using G = std::uint32_t;
namespace U = UpdateGroup;

const char* const offOn[] = {"Off", "On"};
const char* const channels[] = {"Bypass", "Clean", "Drive", "Lead"};
const char* const oversamplingFactors[] = {"1x", "4x", "16x"};
const char* const speakers[] = {"Off", "1x12\"", "4x12\""};
const char* const reverbModes[] = {"Off", "Hall", "Spring"};
const char* const ampModes[] = {"1994", "2000", "2002"};
const char* const tubeModes[] = {"Off", "Pre-EQ", "Post-EQ"};

constexpr Parameter switchParameter(ParamId id, const char* name, bool (*apply)(ParameterTargets&, float), G groups)
{
    return {id, name, DisplayKind::Switch, offOn, 0.0, 0.0, apply, groups};
}

constexpr Parameter selector(ParamId id, const char* name, std::span<const char* const> options,
                             bool (*apply)(ParameterTargets&, float), G groups)
{
    return {id, name, DisplayKind::Selector, options, 0.0, 0.0, apply, groups};
}

constexpr Parameter knob(ParamId id, const char* name, bool (*apply)(ParameterTargets&, float), G groups)
{
    return {id, name, DisplayKind::Knob, {}, 0.0, 0.0, apply, groups};
}

constexpr Parameter level(ParamId id, const char* name, double bottomDb, double spanDb,
                          bool (*apply)(ParameterTargets&, float))
{
    return {id, name, DisplayKind::Level, {}, bottomDb, spanDb, apply, 0};
}

} // namespace

// The hand-off order: switches, then the selectors that choose the runner and the groups,
// then the knobs (their tapers depend on the channel and flavour already set), the gains
// and the driver's stereo mode.
const Parameter parameterTable[kNumParams] = {
    switchParameter(
        Enable, "Enable", [](ParameterTargets& t, float v) { return t.engine.setEnabled(switchOn(v)); }, 0),
    switchParameter(
        Bright, "Bright", [](ParameterTargets& t, float v) { return t.engine.setBright(switchOn(v)); },
        U::CleanOutputFilter),
    switchParameter(
        Limiter, "Limiter", [](ParameterTargets& t, float v) { return t.engine.setLimiter(switchOn(v)); }, 0),
    selector(
        Oversmpl, "Oversmpl", oversamplingFactors,
        [](ParameterTargets& t, float v) { return t.engine.setOversampling(v); }, U::AmplifierPath),
    selector(
        Channel, "Channel", channels, [](ParameterTargets& t, float v) { return t.engine.setChannel(v); },
        U::ChannelGroups),
    selector(
        SpkSim, "SpkSim", speakers, [](ParameterTargets& t, float v) { return t.engine.setSpeaker(v); },
        U::SpeakerCabinet),
    selector(
        TubeMode, "Tube Mode", tubeModes, [](ParameterTargets& t, float v) { return t.engine.setTubeMode(v); }, 0),
    knob(
        Gain, "Gain", [](ParameterTargets& t, float v) { return t.engine.setGain(v); }, U::FlavorGain),
    knob(
        Level, "Level", [](ParameterTargets& t, float v) { return t.engine.setLevel(v); }, U::LevelGroups),
    knob(
        Low, "Low", [](ParameterTargets& t, float v) { return t.engine.setLow(v); }, U::Tonestack),
    knob(
        Mid, "Mid", [](ParameterTargets& t, float v) { return t.engine.setMid(v); }, U::Tonestack),
    knob(
        High, "High", [](ParameterTargets& t, float v) { return t.engine.setHigh(v); }, U::Tonestack),
    knob(
        Shape, "Shape", [](ParameterTargets& t, float v) { return t.engine.setShape(v); }, U::DriveOutputFilter),
    // An Amp Mode change also marks CleanLevelAmp: its level taper differs between the
    // flavours, and the Clean channel should not keep the previous flavour's level until
    // some other control happens to move.
    selector(
        AmpMode, "Amp Mode", ampModes, [](ParameterTargets& t, float v) { return t.engine.setAmpMode(v); },
        U::AmpModeGroups | U::CleanLevelAmp),
    level(Reverb, "Reverb", -40.0, 40.0, [](ParameterTargets& t, float v) { return t.engine.setReverb(v); }),
    selector(
        RevMode, "Rev Mode", reverbModes, [](ParameterTargets& t, float v) { return t.engine.setReverbMode(v); },
        U::Reverb),
    level(Ambience, "Ambience", -40.0, 40.0, [](ParameterTargets& t, float v) { return t.engine.setAmbience(v); }),
    level(Input, "Input", -12.0, 24.0, [](ParameterTargets& t, float v) { return t.engine.setInputGain(v); }),
    level(Master, "Master", -40.0, 40.0, [](ParameterTargets& t, float v) { return t.engine.setMaster(v); }),
    switchParameter(
        Stereo, "Stereo",
        [](ParameterTargets& t, float v) {
            t.stereoMode = switchOn(v) ? 2 : 1;
            return false;
        },
        0),
};

const Parameter& parameter(int index)
{
    const Parameter* row = parameterTable;
    while (row->id != index)
        ++row;
    return *row;
}

void parameterName(int index, char* text)
{
    const bool known = index >= 0 && index < kNumParams;
    // Names are cut to the interface's 8 characters and terminated after them,
    // as hosts have long read them ("Tube Mode" shows as "Tube Mod").
    copyBounded(text, known ? parameter(index).name : "Unknown", vst::kVstMaxParamStrLen + 1);
}

void parameterDisplay(int index, float value, char* text)
{
    constexpr std::size_t kTextBytes = 8;
    const Parameter& p = parameter(index);
    const double limited = limitUnit(value);
    switch (p.kind) {
    case DisplayKind::Switch:
        std::snprintf(text, kTextBytes, "%s", p.options[switchOn(value) ? 1 : 0]);
        break;
    case DisplayKind::Selector:
        std::snprintf(text, kTextBytes, "%s", p.options[selectWay(value, static_cast<int>(p.options.size()))]);
        break;
    case DisplayKind::Knob:
        std::snprintf(text, kTextBytes, "%.2f", limited);
        break;
    case DisplayKind::Level:
        std::snprintf(text, kTextBytes, "%+.1fdB", limited * p.spanDb + p.bottomDb);
        break;
    }
}

} // namespace brimtone
