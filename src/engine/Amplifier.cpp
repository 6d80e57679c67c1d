#include "engine/Amplifier.h"

#include "amp/StagePipeline.h"
#include "engine/TaperTables.h"
#include "engine/ValueConventions.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace brimtone {
namespace {

// Gain that brings each channel and flavour back to a common output level, in
// dB by channel (Bypass, Clean, Drive, Lead) and flavour (rows).
const std::array<double, 12> outputGainTable = [] {
    constexpr double decibels[12] = {
        12.0, 86.26, 81.15, 82.35, // "1994"
        12.0, 77.71, 88.34, 92.59, // "2000"
        12.0, 77.71, 87.71, 87.6,  // "2002"
    };
    std::array<double, 12> gains{};
    for (int i = 0; i < 12; ++i)
        gains[i] = std::pow(10.0, 0.05 * decibels[i]);
    return gains;
}();

// The taper curves are selected by channel and flavour; the gain tapers exist for Drive and
// Lead only.
int curveIndex(const EngineSettings& s) { return indexOf(s.channel) + 4 * indexOf(s.ampMode); }
int gainCurveIndex(const EngineSettings& s)
{
    return (indexOf(s.channel) - indexOf(AmpChannel::Drive)) + 2 * indexOf(s.ampMode);
}

double toneTaper(const double (&tapers)[12][20], const EngineSettings& s, double position)
{
    return curveLookup(tapers[curveIndex(s)], 20, position);
}

} // namespace

double Amplifier::outputGain(AmpChannel channel, AmpFlavor flavor)
{
    return outputGainTable[indexOf(channel) + 4 * indexOf(flavor)];
}

Amplifier::Amplifier() { selectRunners(); }

void Amplifier::updateCoefficients(std::uint32_t mask, const EngineSettings& s, double period)
{
    const double oversampledPeriod = period / oversamplingFactor(oversampling());
    const bool flavour2000 = s.flavor2000();
    const bool lead = s.lead();
    const double level = curveLookup(tapers::levelTapers[curveIndex(s)], 30, s.level);

    if ((mask & UpdateGroup::AmplifierPath) == UpdateGroup::AmplifierPath)
        biasCoeff_ = 1.0 - std::exp(-oversampledPeriod * 10.0);
    if (mask & UpdateGroup::InputFilter)
        inputFilter_.setCoefficients(flavour2000, oversampledPeriod);
    if (mask & UpdateGroup::DrivePreamp)
        drivePreamp_.setCoefficients(lead, flavour2000, oversampledPeriod);
    if ((mask & UpdateGroup::FlavorGain) && s.driveChannel()) {
        const double g = curveLookup(tapers::gainTapers[gainCurveIndex(s)], 30, s.gain);
        if (flavour2000)
            flavorStage2000_.setCoefficients(g, lead, oversampledPeriod);
        else
            flavorStage1994_.setCoefficients(g, oversampledPeriod);
    }
    if (mask & UpdateGroup::Tonestack)
        tonestack_.setCoefficients(toneTaper(tapers::lowTapers, s, s.low), toneTaper(tapers::midTapers, s, s.mid),
                                   toneTaper(tapers::highTapers, s, s.high), s.driveChannel(), oversampledPeriod);
    if (mask & UpdateGroup::CleanLevelAmp)
        cleanLevelAmp_.setCoefficients(level, oversampledPeriod);
    if (mask & UpdateGroup::CleanOutputFilter)
        cleanOutputFilter_.setCoefficients(level, flavour2000, s.bright != 0, oversampledPeriod);
    if (mask & UpdateGroup::DriveOutputFilter)
        driveOutputFilter_.setCoefficients(indexOf(s.ampMode), lead, toneTaper(tapers::shapeTapers, s, s.shape), level,
                                           oversampledPeriod);
    if (mask & UpdateGroup::TubeStage) {
        tubeStage_.setCoefficients(6.0, 0.5, oversampledPeriod);
        capture_.setCaptureRate(oversampledPeriod);
    }
}

// ---- runner selection --------------------------------------------------------

template <platform::VectorLevel Level, Amplifier::ChannelPath Path, TubePlacement Tube, class Lanes>
constexpr Amplifier::Runner<Lanes> Amplifier::runnerBuild()
{
    if constexpr (kWideBuilds && Level == platform::VectorLevel::Avx512)
        return &Amplifier::runAmpAvx512<Path, Tube, Lanes>;
    else if constexpr (kWideBuilds && Level == platform::VectorLevel::Avx2)
        return &Amplifier::runAmpAvx2<Path, Tube, Lanes>;
    else
        return &Amplifier::runAmp<Path, Tube, Lanes>;
}

template <platform::VectorLevel Level, class Lanes>
Amplifier::Runner<Lanes> Amplifier::runnerTable(ChannelPath path, TubePlacement tubeMode)
{
    using P = ChannelPath;
    using T = TubePlacement;
    static constexpr Runner<Lanes> runners[4][3] = {
        {runnerBuild<Level, P::Bypass, T::Off, Lanes>(), runnerBuild<Level, P::Bypass, T::PreEq, Lanes>(),
         runnerBuild<Level, P::Bypass, T::PostEq, Lanes>()},
        {runnerBuild<Level, P::Clean, T::Off, Lanes>(), runnerBuild<Level, P::Clean, T::PreEq, Lanes>(),
         runnerBuild<Level, P::Clean, T::PostEq, Lanes>()},
        {runnerBuild<Level, P::Drive1994, T::Off, Lanes>(), runnerBuild<Level, P::Drive1994, T::PreEq, Lanes>(),
         runnerBuild<Level, P::Drive1994, T::PostEq, Lanes>()},
        {runnerBuild<Level, P::Drive2000, T::Off, Lanes>(), runnerBuild<Level, P::Drive2000, T::PreEq, Lanes>(),
         runnerBuild<Level, P::Drive2000, T::PostEq, Lanes>()},
    };
    return runners[static_cast<int>(path)][indexOf(tubeMode)];
}

template <class Lanes>
Amplifier::Runner<Lanes> Amplifier::runnerOf(ChannelPath path, TubePlacement tubeMode) const
{
    switch (vectorLevel_) {
    case platform::VectorLevel::Avx512:
        return runnerTable<platform::VectorLevel::Avx512, Lanes>(path, tubeMode);
    case platform::VectorLevel::Avx2:
        return runnerTable<platform::VectorLevel::Avx2, Lanes>(path, tubeMode);
    case platform::VectorLevel::Sse2:
        break;
    }
    return runnerTable<platform::VectorLevel::Sse2, Lanes>(path, tubeMode);
}

void Amplifier::setVectorLevel(platform::VectorLevel level)
{
    vectorLevel_ = std::min(level, widestVectorLevel());
    selectRunners();
}

void Amplifier::select(const EngineSettings& s)
{
    using P = ChannelPath;
    switch (s.channel) {
    case AmpChannel::Bypass:
        path_ = P::Bypass;
        break;
    case AmpChannel::Clean:
        path_ = P::Clean;
        break;
    case AmpChannel::Drive:
    case AmpChannel::Lead:
        path_ = s.ampMode == AmpFlavor::Y1994 ? P::Drive1994 : P::Drive2000;
        break;
    }
    tubeMode_ = s.tubeMode;
    outputGain_ = outputGain(s.channel, s.ampMode);
    selectRunners();
}

void Amplifier::selectRunners()
{
    oneChannelRunner_ = runnerOf<OneChannel>(path_, tubeMode_);
    bothChannelsRunner_ = runnerOf<BothChannels>(path_, tubeMode_);
}

// ---- the chain -----------------------------------------------------------------

// The tube slot: the triode stage when Tube Mode is on (its output inverted
// and scaled by 0.28); the display records the pair (slot input, slot output)
// for the XY capture and the stage's first state (0 when off) for the power
// bias.
template <TubePlacement Tube, class Lanes>
LaneValue<Lanes> Amplifier::tubeSlot(LaneValue<Lanes> in, BlockTrace<LaneValue<Lanes>>& trace, Lanes lanes)
{
    using V = LaneValue<Lanes>;
    V out = in;
    V bias{};
    if constexpr (Tube != TubePlacement::Off) {
        out = -0.28 * tubeStage_.process(in, lanes);
        bias = tubeStage_.biasState(lanes);
    }
    const int k = trace.tubeCount++;
    trace.tubeIn[k] = in;
    trace.tubeOut[k] = out;
    trace.powerBias[k] = bias;
    return out;
}

template <Amplifier::ChannelPath Path, TubePlacement Tube, class Lanes>
__attribute__((flatten)) void Amplifier::runAmp(LaneValue<Lanes>* values, int count, Lanes lanes)
{
    const int os = oversampling();
    if (os == 0) {
        runChain<Path, Tube>(values, count, lanes);
        return;
    }
    LaneValue<Lanes> subSamples[kMaxSubSamples];
    upsampleRun(os, values, count, subSamples, lanes);
    runChain<Path, Tube>(subSamples, count * oversamplingFactor(os), lanes);
    downsampleRun(os, subSamples, count, values, lanes);
}

// The channel paths as groups of stages for the pipelined runner (amp/StagePipeline.h):
// each group holds at most one long feedback loop (op-amp, half of the flavour stage, tube).
template <Amplifier::ChannelPath Path, TubePlacement Tube, class Lanes>
inline void Amplifier::runChain(LaneValue<Lanes>* samples, int count, Lanes lanes)
{
    using V = LaneValue<Lanes>;
    constexpr bool preEq = Tube == TubePlacement::PreEq;
    BlockTrace<V> trace;
    trace.preampBiasMeter = preampBias_;
    trace.powerBiasMeter = powerBias_;
    const auto displays = [&](V v) {
        followDisplays<Path, Tube>(trace, lanes);
        return v;
    };
    // The output compensation gain, and the tube slot after the channel unless it runs
    // before the tonestack (with Pre-EQ in Bypass it does not run at all).
    const auto gain = [&](V v) { return v * outputGain_; };
    const auto slot = [&](V v) { return tubeSlot<Tube>(v, trace, lanes); };
    const auto input = [&](V u) { return inputFilter_.process(u, lanes); };

    if constexpr (Path == ChannelPath::Bypass) {
        if constexpr (preEq)
            runPipelined(samples, count, gain, displays);
        else
            runPipelined(samples, count, gain, slot, displays);
    } else if constexpr (Path == ChannelPath::Clean) {
        const auto tone = [&](V v) { return cleanLevelAmp_.process(tonestack_.process(v, lanes), lanes); };
        const auto output = [&](V v) { return gain(cleanOutputFilter_.process(v, lanes)); };
        if constexpr (preEq)
            runPipelined(
                samples, count, input, [&](V v) { return 1.8 * slot(0.4 * v); }, tone, output, displays);
        else
            runPipelined(samples, count, input, tone, output, slot, displays);
    } else {
        const auto preamp = [&](V u) { return drivePreamp_.process(input(u), lanes); };
        // The flavour stage in its two halves: its bias loop is the longest feedback loop of
        // the chain, and split, each half overlaps with other groups' work.
        auto& flavorStage = [this]() -> auto&
        {
            if constexpr (Path == ChannelPath::Drive2000)
                return flavorStage2000_;
            else
                return flavorStage1994_;
        }
        ();
        const auto flavor = [&](V v) { return flavorStage.transfer(v, lanes); };
        const auto flavorBias = [&](V out) {
            flavorStage.updateBias(out, lanes);
            trace.preampBias[trace.preampCount++] = flavorStage.biasState(lanes);
            return out;
        };
        const auto tone = [&](V v) { return gain(driveOutputFilter_.process(tonestack_.process(v, lanes), lanes)); };
        if constexpr (preEq)
            runPipelined(
                samples, count, preamp, flavor, flavorBias, [&](V v) { return 3.571428571428571 * slot(0.4 * v); },
                tone, displays);
        else
            runPipelined(samples, count, preamp, flavor, flavorBias, tone, slot, displays);
    }
    preampBias_ = trace.preampBiasMeter;
    powerBias_ = trace.powerBiasMeter;
}

// The whole chain, and everything it calls, compiled into one function with the wider
// instruction set enabled.
template <Amplifier::ChannelPath Path, TubePlacement Tube, class Lanes>
__attribute__((target("avx2"), flatten)) void Amplifier::runAmpAvx2(LaneValue<Lanes>* values, int count, Lanes lanes)
{
    runAmp<Path, Tube, Lanes>(values, count, lanes);
}

template <Amplifier::ChannelPath Path, TubePlacement Tube, class Lanes>
__attribute__((target("avx2,avx512f,avx512vl,avx512dq"), flatten)) void
Amplifier::runAmpAvx512(LaneValue<Lanes>* values, int count, Lanes lanes)
{
    runAmp<Path, Tube, Lanes>(values, count, lanes);
}

// The displays for the next sample of the trace, channel by channel: the preamp bias
// follows the flavour stage's bias state (and decays while Clean runs), the power bias
// the tube slot's, and the XY capture takes the slot's pair.
template <Amplifier::ChannelPath Path, TubePlacement Tube, class Lanes>
void Amplifier::followDisplays(BlockTrace<LaneValue<Lanes>>& trace, Lanes lanes)
{
    constexpr bool driveChannel = Path == ChannelPath::Drive1994 || Path == ChannelPath::Drive2000;
    constexpr bool slotRuns = Path != ChannelPath::Bypass || Tube != TubePlacement::PreEq;
    const double k = biasCoeff_;
    const int i = trace.displayCount++;
    double& preampBias = trace.preampBiasMeter;
    double& powerBias = trace.powerBiasMeter;
    forEachChannel(lanes, [&](int lane, int channel) {
        if constexpr (driveChannel)
            preampBias += (laneOf(trace.preampBias[i], lane) - preampBias) * k;
        else if constexpr (Path == ChannelPath::Clean)
            preampBias -= preampBias * k;
        if constexpr (slotRuns) {
            capture_.capturePoint(laneOf(trace.tubeIn[i], lane), laneOf(trace.tubeOut[i], lane), channel);
            powerBias += (laneOf(trace.powerBias[i], lane) - powerBias) * k;
        }
    });
}

template <class Lanes>
inline void Amplifier::upsampleRun(int os, const LaneValue<Lanes>* values, int count, LaneValue<Lanes>* subSamples,
                                   Lanes lanes)
{
    for (int i = 0; i < count; ++i) {
        if (os == 1)
            upsampler4_.upsample4(values[i], subSamples + 4 * i, lanes);
        else
            upsampler16_.upsample16(values[i], subSamples + 16 * i, lanes);
    }
}

template <class Lanes>
inline void Amplifier::downsampleRun(int os, const LaneValue<Lanes>* subSamples, int count, LaneValue<Lanes>* values,
                                     Lanes lanes)
{
    for (int i = 0; i < count; ++i) {
        if (os == 1)
            values[i] = downsampler4_.downsample4(subSamples + 4 * i, lanes);
        else
            values[i] = downsampler16_.downsample16(subSamples + 16 * i, lanes);
    }
}

template <class Lanes>
void Amplifier::runFiltersOnly(LaneValue<Lanes>* values, int count, Lanes lanes)
{
    const int os = oversampling();
    if (os == 0)
        return;
    LaneValue<Lanes> subSamples[kMaxSubSamples];
    upsampleRun(os, values, count, subSamples, lanes);
    downsampleRun(os, subSamples, count, values, lanes);
}

template void Amplifier::runFiltersOnly<OneChannel>(double*, int, OneChannel);
template void Amplifier::runFiltersOnly<BothChannels>(DoublePair*, int, BothChannels);

} // namespace brimtone
