#pragma once
// The 20 automatable parameters: their indices, names and display texts.

#include <cstdint>

namespace brimtone {

enum ParamId : std::int32_t {
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
    Limiter,
};

constexpr int kNumParams = 20;

// The name as the host sees it: at most 8 characters ("Tube Mod" for TubeMode).
// Writes 9 bytes: the name, zero-padded, and a terminator at position 8.
void parameterName(int index, char* text);

// The display text of `value` for parameter `index`, at most 8 bytes with the
// terminator. Values outside 0..1 show what the engine makes of them (the
// limited value), so the text always fits.
void parameterDisplay(int index, float value, char* text);

// The option texts of a switch or selector, or nullptr for knobs and levels.
// `ways` receives the number of options.
const char* const* parameterOptions(int index, int* ways);

} // namespace brimtone
