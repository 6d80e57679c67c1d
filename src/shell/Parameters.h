#pragma once
// The 20 automatable parameters: their indices, and one table of what each is, how it
// shows, and how it reaches the engine. Names, display texts and the driver's hand-off
// all read the table.

#include <cstdint>
#include <span>

namespace brimtone {

class AmpEngine;

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
    ParamCount
};

constexpr int kNumParams = ParamCount;

// How a value shows: a switch or selector by its option texts, a knob as "%.2f", a level
// as decibels on the straight line from `bottomDb` over `spanDb`.
enum class DisplayKind { Switch, Selector, Knob, Level };

// What a parameter's setter reaches: the engine, and the driver's own stereo mode.
struct ParameterTargets {
    AmpEngine& engine;
    int& stereoMode;
};

struct Parameter {
    ParamId id;
    const char* name; // hosts see at most 8 characters of it
    DisplayKind kind;
    std::span<const char* const> options; // Switch and Selector: one text per way
    double bottomDb = 0.0;                // Level only
    double spanDb = 0.0;
    // Hands a value to its target; true when `updateGroups` are to be recomputed.
    bool (*apply)(ParameterTargets& targets, float value) = nullptr;
    std::uint32_t updateGroups = 0; // UpdateGroup bits of the engine
};

// Every parameter, in the order the driver hands changes to the engine.
extern const Parameter parameterTable[kNumParams];

// The table entry of a parameter index (0 <= index < kNumParams).
const Parameter& parameter(int index);

// The name as the host sees it: at most 8 characters ("Tube Mod" for TubeMode).
// Writes 9 bytes: the name, zero-padded, and a terminator at position 8.
void parameterName(int index, char* text);

// The display text of `value` for parameter `index`, at most 8 bytes with the
// terminator. Values outside 0..1 show what the engine makes of them (the
// limited value), so the text always fits.
void parameterDisplay(int index, float value, char* text);

} // namespace brimtone
