#include "shell/Parameters.h"

#include "engine/ValueConventions.h"
#include "shell/PluginIdentity.h"
#include "vst/Vst2.h"

#include <cstdio>

namespace brimtone {
namespace {

const char* const parameterNames[kNumParams] = {
    "Enable",   "Channel", "Input",  "Gain",     "Level",  "Low",      "Mid",      "High",   "Shape",     "Reverb",
    "Ambience", "Master",  "Stereo", "Oversmpl", "SpkSim", "Rev Mode", "Amp Mode", "Bright", "Tube Mode", "Limiter",
};

const char* const offOn[] = {"Off", "On"};
const char* const channels[] = {"Bypass", "Clean", "Drive", "Lead"};
const char* const oversampling[] = {"1x", "4x", "16x"};
const char* const speakers[] = {"Off", "1x12\"", "4x12\""};
const char* const reverbModes[] = {"Off", "Hall", "Spring"};
const char* const ampModes[] = {"1994", "2000", "2002"};
const char* const tubeModes[] = {"Off", "Pre-EQ", "Post-EQ"};

// Decibel range (bottom, span) of the level parameters.
bool levelRange(int index, double* bottom, double* span)
{
    switch (index) {
    case Input:
        *bottom = -12.0;
        *span = 24.0;
        return true;
    case Reverb:
    case Ambience:
    case Master:
        *bottom = -40.0;
        *span = 40.0;
        return true;
    default:
        return false;
    }
}

} // namespace

const char* const* parameterOptions(int index, int* ways)
{
    switch (index) {
    case Enable:
    case Stereo:
    case Bright:
    case Limiter:
        *ways = 2;
        return offOn;
    case Channel:
        *ways = 4;
        return channels;
    case Oversmpl:
        *ways = 3;
        return oversampling;
    case SpkSim:
        *ways = 3;
        return speakers;
    case RevMode:
        *ways = 3;
        return reverbModes;
    case AmpMode:
        *ways = 3;
        return ampModes;
    case TubeMode:
        *ways = 3;
        return tubeModes;
    default:
        *ways = 0;
        return nullptr;
    }
}

void parameterName(int index, char* text)
{
    const bool known = index >= 0 && index < kNumParams;
    // Names are cut to the interface's 8 characters and terminated after them,
    // as hosts have long read them ("Tube Mode" shows as "Tube Mod").
    copyBounded(text, known ? parameterNames[index] : "Unknown", vst::kVstMaxParamStrLen + 1);
}

void parameterDisplay(int index, float value, char* text)
{
    constexpr std::size_t kTextBytes = 8;
    int ways = 0;
    if (const char* const* options = parameterOptions(index, &ways)) {
        const int option = ways == 2 ? (switchOn(value) ? 1 : 0) : selectWay(value, ways);
        std::snprintf(text, kTextBytes, "%s", options[option]);
        return;
    }
    const double limited = limitUnit(value);
    double bottom = 0.0;
    double span = 0.0;
    if (levelRange(index, &bottom, &span))
        std::snprintf(text, kTextBytes, "%+.1fdB", limited * span + bottom);
    else
        std::snprintf(text, kTextBytes, "%.2f", limited);
}

} // namespace brimtone
