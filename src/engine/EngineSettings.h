#pragma once
// The settings the engine's setters store, and the coefficient groups that depend on them.

#include <cstdint>

namespace brimtone {

enum class AmpChannel : std::int32_t { Bypass, Clean, Drive, Lead };
// The amplifier flavour, shown by the year of the circuit it follows.
enum class AmpFlavor : std::int32_t { Y1994, Y2000, Y2002 };
// Where the triode stage sits: not at all, before the tonestack, or after the channel.
enum class TubePlacement : std::int32_t { Off, PreEq, PostEq };
enum class ReverbMode : std::int32_t { Off, Hall, Spring };
// The speaker simulation: off, one 12-inch speaker or four.
enum class Speaker : std::int32_t { Off, OneBy12, FourBy12 };

// The position of a setting in the tables indexed by it.
template <class Setting>
constexpr int indexOf(Setting setting)
{
    return static_cast<int>(setting);
}

// Settings as the setters left them; the stages' coefficient groups read them.
struct EngineSettings {
    std::int32_t enabled = 1;
    std::uint8_t bright = 0;
    std::uint8_t limiter = 0;
    AmpChannel channel = AmpChannel::Bypass;
    AmpFlavor ampMode = AmpFlavor::Y1994;
    Speaker speaker = Speaker::Off;
    TubePlacement tubeMode = TubePlacement::Off;
    ReverbMode reverbMode = ReverbMode::Off;
    double inputGain = 1.0;
    double gain = 0.5;
    double level = 0.5;
    double low = 0.5;
    double mid = 0.5;
    double high = 0.5;
    double shape = 0.5;
    double masterGain = 1.0;
    double reverbGain = 0.01;
    double ambienceGain = 0.01;

    bool driveChannel() const { return channel == AmpChannel::Drive || channel == AmpChannel::Lead; }
    bool lead() const { return channel == AmpChannel::Lead; }
    bool flavor2000() const { return ampMode != AmpFlavor::Y1994; }
};

// Coefficient groups of the engine's update mask, one bit each.
namespace UpdateGroup {
constexpr std::uint32_t Rate = 1u << 0; // no group of its own: with every other bit it means "the rate changed"
constexpr std::uint32_t InputFilter = 1u << 1;
constexpr std::uint32_t DrivePreamp = 1u << 2;
constexpr std::uint32_t FlavorGain = 1u << 3;
constexpr std::uint32_t Tonestack = 1u << 4;
constexpr std::uint32_t CleanLevelAmp = 1u << 5;
constexpr std::uint32_t CleanOutputFilter = 1u << 6;
constexpr std::uint32_t DriveOutputFilter = 1u << 7;
constexpr std::uint32_t TubeStage = 1u << 8;
constexpr std::uint32_t Reverb = 1u << 9;
constexpr std::uint32_t SpeakerCabinet = 1u << 10;

// What the oversampled period feeds: every group of the amplifier.
constexpr std::uint32_t AmplifierPath = InputFilter | DrivePreamp | FlavorGain | Tonestack | CleanLevelAmp
                                        | CleanOutputFilter | DriveOutputFilter | TubeStage;
constexpr std::uint32_t All = Rate | AmplifierPath | Reverb | SpeakerCabinet;
// The groups whose coefficients a Channel, Amp Mode or Level change alters.
constexpr std::uint32_t ChannelGroups
    = DrivePreamp | FlavorGain | Tonestack | CleanLevelAmp | CleanOutputFilter | DriveOutputFilter;
constexpr std::uint32_t AmpModeGroups = InputFilter | DrivePreamp | FlavorGain | CleanOutputFilter | DriveOutputFilter;
constexpr std::uint32_t LevelGroups = CleanLevelAmp | CleanOutputFilter | DriveOutputFilter;
// The filters whose display copies the tonestack response view reads.
constexpr std::uint32_t ResponseCurves = Tonestack | CleanOutputFilter | DriveOutputFilter;
} // namespace UpdateGroup

} // namespace brimtone
