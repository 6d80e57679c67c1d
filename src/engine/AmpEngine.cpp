#include "engine/AmpEngine.h"

#include "amp/StagePipeline.h"
#include "analysis/ResponseMath.h"
#include "engine/TaperTables.h"
#include "engine/ValueConventions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <type_traits>

namespace brimtone {
namespace {

// Gain that brings each channel and flavour back to a common output level, in
// dB by channel (Bypass, Clean, Drive, Lead) and ampMode (rows).
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

// The tiny positive offset added before the amplifier keeps its filters out of
// denormal territory in silence. The seeds are shared by every instance; the
// sequence needs no particular order, so concurrent instances may interleave.
std::atomic<std::uint32_t> ditherSeed[3] = {0u, 0u, 0u};
enum DitherSeed { EnabledPath = 0, Disabled4x = 1, Disabled16x = 2 };

inline double ditherOffset(DitherSeed which)
{
    std::atomic<std::uint32_t>& seed = ditherSeed[which];
    const std::uint32_t next = seed.load(std::memory_order_relaxed) * 1664525u + 1013904223u;
    seed.store(next, std::memory_order_relaxed);
    return next * 1e-21;
}

// Peak follower: instant attack, exponential release.
inline void followPeak(double& peak, double value, double releaseCoeff)
{
    if (value >= peak)
        peak = value;
    else
        peak += (value - peak) * releaseCoeff;
}

inline int threeWay(double value) { return selectWay(value, 3); }

} // namespace

double AmpEngine::outputGain(int channel, int ampMode) { return outputGainTable[channel + 4 * ampMode]; }

AmpEngine::AmpEngine()
{
    buildGainCurves();
    resetDisplays();

    samplePeriod_.store(1.0 / 44100.0);
    settings_.inputGain = curveLookup(inputGainCurve_, 30, 0.5);
    settings_.reverbGain = reverbCurve_[0];
    settings_.ambienceGain = reverbCurve_[0];
    speakerCabinet_.setAmbience(settings_.ambienceGain);
    settings_.masterGain = curveLookup(masterCurve_, 30, 0.5);

    selectAmpRunner();
    updateMask_ = UpdateGroup::All;
    applyUpdates();
}

AmpEngine::~AmpEngine() = default;

void AmpEngine::buildGainCurves()
{
    for (int i = 0; i < 30; ++i) {
        const double x = i / 29.0;
        inputGainCurve_[i] = std::pow(10.0, (24.0 * x - 12.0) * 0.05);
        masterCurve_[i] = std::pow(10.0, (40.0 * x - 40.0) * 0.05);
        reverbCurve_[i] = masterCurve_[i];
    }
}

void AmpEngine::resetDisplays()
{
    meters_ = MeterSnapshot{};
    {
        platform::ScopedLock hold(meterLock_);
        publishedMeters_ = meters_;
    }
    capture_.reset();
}

MeterSnapshot AmpEngine::readMeterSnapshot()
{
    platform::ScopedLock hold(meterLock_);
    return publishedMeters_;
}

// ---- setters ---------------------------------------------------------------

void AmpEngine::setRate(double rate)
{
    if (!(rate > 0.0 && rate < 1000000.0))
        return;
    const double period = 1.0 / rate;
    if (period != samplePeriod()) {
        samplePeriod_.store(period, std::memory_order_relaxed);
        updateMask_ |= UpdateGroup::All;
    }
}

void AmpEngine::setEnabled(bool on) { settings_.enabled = on ? 1 : 0; }

void AmpEngine::setBright(bool on)
{
    settings_.bright = on ? 1 : 0;
    updateMask_ |= UpdateGroup::CleanOutputFilter;
}

void AmpEngine::setLimiter(bool on) { settings_.limiter = on ? 1 : 0; }

void AmpEngine::setOversampling(double value)
{
    const int way = threeWay(value);
    if (way != oversampling()) {
        oversampling_.store(way, std::memory_order_relaxed);
        updateMask_ |= UpdateGroup::AmplifierPath;
    }
}

void AmpEngine::setChannel(double value)
{
    const int way = selectWay(value, 4);
    if (way != settings_.channel) {
        settings_.channel = way;
        updateMask_ |= UpdateGroup::ChannelGroups;
        selectAmpRunner();
    }
}

void AmpEngine::setSpeaker(double value)
{
    const int way = threeWay(value);
    if (way != settings_.speaker) {
        settings_.speaker = way;
        updateMask_ |= UpdateGroup::SpeakerCabinet;
    }
}

void AmpEngine::setTubeMode(double value)
{
    const int way = threeWay(value);
    if (way != settings_.tubeMode) {
        settings_.tubeMode = way;
        tubeStage_.resetToOperatingPoint();
        selectAmpRunner();
    }
}

void AmpEngine::setGain(double value)
{
    settings_.gain = limitUnit(value);
    updateMask_ |= UpdateGroup::FlavorGain;
}

void AmpEngine::setLevel(double value)
{
    settings_.level = limitUnit(value);
    updateMask_ |= UpdateGroup::LevelGroups;
}

// Stores a knob's limited value and marks `groups` only when it changed.
void AmpEngine::setKnob(double& knob, double value, std::uint32_t groups)
{
    const double limited = limitUnit(value);
    if (limited != knob) {
        knob = limited;
        updateMask_ |= groups;
    }
}

void AmpEngine::setLow(double value) { setKnob(settings_.low, value, UpdateGroup::Tonestack); }
void AmpEngine::setMid(double value) { setKnob(settings_.mid, value, UpdateGroup::Tonestack); }
void AmpEngine::setHigh(double value) { setKnob(settings_.high, value, UpdateGroup::Tonestack); }
void AmpEngine::setShape(double value) { setKnob(settings_.shape, value, UpdateGroup::DriveOutputFilter); }

// An Amp Mode change also marks CleanLevelAmp: its level taper differs between
// the flavours, and the Clean channel should not keep the previous flavour's
// level until some other control happens to move.
void AmpEngine::setAmpMode(double value)
{
    const int way = threeWay(value);
    if (way != settings_.ampMode) {
        settings_.ampMode = way;
        updateMask_ |= UpdateGroup::AmpModeGroups | UpdateGroup::CleanLevelAmp;
        selectAmpRunner();
    }
}

void AmpEngine::setReverb(double value) { settings_.reverbGain = curveLookup(reverbCurve_, 30, value); }

void AmpEngine::setReverbMode(double value)
{
    const int way = threeWay(value);
    if (way != settings_.reverbMode) {
        settings_.reverbMode = way;
        updateMask_ |= UpdateGroup::Reverb;
    }
}

void AmpEngine::setAmbience(double value)
{
    settings_.ambienceGain = curveLookup(reverbCurve_, 30, value);
    speakerCabinet_.setAmbience(settings_.ambienceGain);
}

void AmpEngine::setInputGain(double value) { settings_.inputGain = curveLookup(inputGainCurve_, 30, value); }

void AmpEngine::setMaster(double value) { settings_.masterGain = curveLookup(masterCurve_, 30, value); }

// ---- coefficient update ----------------------------------------------------

double AmpEngine::levelTaper() const { return curveLookup(tapers::levelTapers[curveIndex()], 30, settings_.level); }

double AmpEngine::toneTaper(const double (&tapers)[12][20], double position) const
{
    return curveLookup(tapers[curveIndex()], 20, position);
}

void AmpEngine::applyUpdates()
{
    const EngineSettings& s = settings_;
    const double period = samplePeriod();
    const double oversampledPeriod = period / oversamplingFactor(oversampling());
    const std::uint32_t mask = updateMask_;
    const bool flavour2000 = s.ampMode != 0;
    const bool lead = s.channel == 3;
    const bool driveChannel = s.channel == 2 || s.channel == 3;
    const double level = levelTaper();

    if ((mask & UpdateGroup::All) == UpdateGroup::All)
        peakCoeff_ = 1.0 - std::exp(-period * 3.3333333333333335);
    if ((mask & UpdateGroup::AmplifierPath) == UpdateGroup::AmplifierPath)
        biasCoeff_ = 1.0 - std::exp(-oversampledPeriod * 10.0);

    if (mask & UpdateGroup::InputFilter)
        inputFilter_.setCoefficients(flavour2000, oversampledPeriod);
    if (mask & UpdateGroup::DrivePreamp)
        drivePreamp_.setCoefficients(lead, flavour2000, oversampledPeriod);
    if ((mask & UpdateGroup::FlavorGain) && driveChannel) {
        const double g = curveLookup(tapers::gainTapers[(s.channel - 2) + 2 * s.ampMode], 30, s.gain);
        if (flavour2000)
            flavorStage2000_.setCoefficients(g, lead, oversampledPeriod);
        else
            flavorStage1994_.setCoefficients(g, oversampledPeriod);
    }
    if (mask & UpdateGroup::Tonestack) {
        tonestack_.setCoefficients(toneTaper(tapers::lowTapers, s.low), toneTaper(tapers::midTapers, s.mid),
                                   toneTaper(tapers::highTapers, s.high), driveChannel, oversampledPeriod);
        analysisMask_ |= UpdateGroup::Tonestack;
    }
    if (mask & UpdateGroup::CleanLevelAmp)
        cleanLevelAmp_.setCoefficients(level, oversampledPeriod);
    if (mask & UpdateGroup::CleanOutputFilter) {
        cleanOutputFilter_.setCoefficients(level, flavour2000, s.bright != 0, oversampledPeriod);
        analysisMask_ |= UpdateGroup::CleanOutputFilter;
    }
    if (mask & UpdateGroup::DriveOutputFilter) {
        driveOutputFilter_.setCoefficients(s.ampMode, lead, toneTaper(tapers::shapeTapers, s.shape), level,
                                           oversampledPeriod);
        analysisMask_ |= UpdateGroup::DriveOutputFilter;
    }
    if (mask & UpdateGroup::TubeStage) {
        tubeStage_.setCoefficients(6.0, 0.5, oversampledPeriod);
        capture_.setCaptureRate(oversampledPeriod);
    }
    // Selecting a reverb (or a new rate while one is selected) starts it from
    // silence; switching it off leaves its state as it was.
    if (mask & UpdateGroup::Reverb) {
        if (s.reverbMode == 1) {
            hallReverb_.setSamplePeriod(period);
            hallReverb_.clear();
        } else if (s.reverbMode == 2) {
            springReverb_.setSamplePeriod(period);
            springReverb_.reset();
        }
    }
    if (mask & UpdateGroup::SpeakerCabinet) {
        speakerCabinet_.setSamplePeriod(period);
        if (s.speaker != 0)
            speakerCabinet_.setSecondType(s.speaker == 2 ? 1 : 0);
    }

    updateMask_ = 0;
}

bool AmpEngine::refreshResponseSnapshot()
{
    if (analysisMask_ == 0 || !analysisLock_.tryEnter())
        return false;
    if (analysisMask_ & UpdateGroup::Tonestack)
        tonestack_.refreshDisplayBlock();
    if (analysisMask_ & UpdateGroup::CleanOutputFilter)
        cleanOutputFilter_.refreshDisplayBlock();
    if (analysisMask_ & UpdateGroup::DriveOutputFilter)
        driveOutputFilter_.refreshDisplayBlock();
    // A Channel change always marks the filters, so the channel the curve is
    // drawn for travels with the blocks, under the same lock.
    responseChannel_ = settings_.channel;
    analysisMask_ = 0;
    analysisLock_.leave();
    return true;
}

float AmpEngine::responseAt(std::complex<float> z) const
{
    return toneResponseAt(responseChannel_, tonestack_.displayBlock(), cleanOutputFilter_.displayBlock(),
                          driveOutputFilter_.displayBlock(), z);
}

// ---- per-sample chain ------------------------------------------------------

template <platform::VectorLevel Level, AmpEngine::ChannelPath Path, int Tube, class Lanes>
constexpr AmpEngine::AmpRunner<Lanes> AmpEngine::runnerBuild()
{
    if constexpr (kWideBuilds && Level == platform::VectorLevel::Avx512)
        return &AmpEngine::runAmpAvx512<Path, Tube, Lanes>;
    else if constexpr (kWideBuilds && Level == platform::VectorLevel::Avx2)
        return &AmpEngine::runAmpAvx2<Path, Tube, Lanes>;
    else
        return &AmpEngine::runAmp<Path, Tube, Lanes>;
}

template <platform::VectorLevel Level, class Lanes>
AmpEngine::AmpRunner<Lanes> AmpEngine::runnerTable(int path, int tubeMode)
{
    using P = ChannelPath;
    static constexpr AmpRunner<Lanes> runners[4][3] = {
        {runnerBuild<Level, P::Bypass, 0, Lanes>(), runnerBuild<Level, P::Bypass, 1, Lanes>(),
         runnerBuild<Level, P::Bypass, 2, Lanes>()},
        {runnerBuild<Level, P::Clean, 0, Lanes>(), runnerBuild<Level, P::Clean, 1, Lanes>(),
         runnerBuild<Level, P::Clean, 2, Lanes>()},
        {runnerBuild<Level, P::Drive1994, 0, Lanes>(), runnerBuild<Level, P::Drive1994, 1, Lanes>(),
         runnerBuild<Level, P::Drive1994, 2, Lanes>()},
        {runnerBuild<Level, P::Drive2000, 0, Lanes>(), runnerBuild<Level, P::Drive2000, 1, Lanes>(),
         runnerBuild<Level, P::Drive2000, 2, Lanes>()},
    };
    return runners[path][tubeMode];
}

template <class Lanes>
AmpEngine::AmpRunner<Lanes> AmpEngine::ampRunner(int path, int tubeMode) const
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

void AmpEngine::setVectorLevel(platform::VectorLevel level)
{
    vectorLevel_ = std::min(level, widestVectorLevel());
    selectAmpRunner();
}

void AmpEngine::selectAmpRunner()
{
    const int channel = settings_.channel;
    const int path = channel == 0 ? 0 : channel == 1 ? 1 : settings_.ampMode == 0 ? 2 : 3;
    oneChannelRunner_ = ampRunner<OneChannel>(path, settings_.tubeMode);
    bothChannelsRunner_ = ampRunner<BothChannels>(path, settings_.tubeMode);
    outputGain_ = outputGainTable[channel + 4 * settings_.ampMode];
}

// The tube slot: the triode stage when Tube Mode is on (its output inverted
// and scaled by 0.28); the display records the pair (slot input, slot output)
// for the XY capture and the stage's first state (0 when off) for the power
// bias.
template <int Tube, class Lanes>
LaneValue<Lanes> AmpEngine::tubeSlot(LaneValue<Lanes> in, BlockTrace<LaneValue<Lanes>>& trace, Lanes lanes)
{
    using V = LaneValue<Lanes>;
    V out = in;
    V bias{};
    if constexpr (Tube != 0) {
        out = -0.28 * tubeStage_.process(in, lanes);
        bias = tubeStage_.biasState(lanes);
    }
    const int k = trace.tubeCount++;
    trace.tubeIn[k] = in;
    trace.tubeOut[k] = out;
    trace.powerBias[k] = bias;
    return out;
}

// The channel paths as groups of stages for the pipelined runner (amp/StagePipeline.h):
// each group holds at most one long feedback loop (op-amp, half of the flavour stage, tube).
template <AmpEngine::ChannelPath Path, int Tube, class Lanes>
__attribute__((flatten)) void AmpEngine::runAmp(LaneValue<Lanes>* values, int count, Lanes lanes)
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

template <AmpEngine::ChannelPath Path, int Tube, class Lanes>
inline void AmpEngine::runChain(LaneValue<Lanes>* samples, int count, Lanes lanes)
{
    using V = LaneValue<Lanes>;
    constexpr bool preEq = Tube == 1;
    BlockTrace<V> trace;
    trace.preampBiasMeter = meters_.preampBias;
    trace.powerBiasMeter = meters_.powerBias;
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
    meters_.preampBias = trace.preampBiasMeter;
    meters_.powerBias = trace.powerBiasMeter;
}

// The whole chain, and everything it calls, compiled into one function with the wider
// instruction set enabled.
template <AmpEngine::ChannelPath Path, int Tube, class Lanes>
__attribute__((target("avx2"), flatten)) void AmpEngine::runAmpAvx2(LaneValue<Lanes>* values, int count, Lanes lanes)
{
    runAmp<Path, Tube, Lanes>(values, count, lanes);
}

template <AmpEngine::ChannelPath Path, int Tube, class Lanes>
__attribute__((target("avx2,avx512f,avx512vl,avx512dq"), flatten)) void
AmpEngine::runAmpAvx512(LaneValue<Lanes>* values, int count, Lanes lanes)
{
    runAmp<Path, Tube, Lanes>(values, count, lanes);
}

// The displays for the next sample of the trace, channel by channel: the preamp bias
// follows the flavour stage's bias state (and decays while Clean runs), the power bias
// the tube slot's, and the XY capture takes the slot's pair.
template <AmpEngine::ChannelPath Path, int Tube, class Lanes>
void AmpEngine::followDisplays(BlockTrace<LaneValue<Lanes>>& trace, Lanes lanes)
{
    constexpr bool driveChannel = Path == ChannelPath::Drive1994 || Path == ChannelPath::Drive2000;
    constexpr bool slotRuns = Path != ChannelPath::Bypass || Tube != 1;
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

void AmpEngine::processPost(SampleFrame& frame)
{
    // The reverb is added in parallel; the dry signal passes at unity.
    if (settings_.reverbMode == 1) {
        double wet = frame.out;
        hallReverb_.process(wet, frame.channel);
        frame.out += wet * settings_.reverbGain;
    } else if (settings_.reverbMode == 2) {
        frame.out += springReverb_.process(frame.out, frame.channel) * settings_.reverbGain;
    }
    if (settings_.speaker != 0)
        speakerCabinet_.process(frame.out, frame.channel);
    frame.out *= settings_.masterGain;
}

void AmpEngine::publishSnapshot()
{
    if (meterLock_.tryEnter()) {
        publishedMeters_ = meters_;
        meterLock_.leave();
    }
}

void AmpEngine::beginSample(SampleFrame& frame)
{
    // What enters the engine is bounded. A host that sends NaN or infinity
    // must not leave the filters' state poisoned for good: such a sample
    // counts as silence. A huge finite value (a broken plug-in earlier in the
    // chain) must not drive the stages so far that they need seconds to come
    // back: it is held at +-kInputCeiling, far above anything an instrument
    // and an interface deliver, so ordinary input passes untouched.
    frame.in
        = std::isfinite(frame.in) ? std::clamp(frame.in, -kInputCeiling, kInputCeiling) * settings_.inputGain : 0.0;
    followPeak(meters_.inPeak[frame.channel], std::fabs(frame.in), peakCoeff_);

    const int os = oversampling();
    if (settings_.enabled)
        frame.in += ditherOffset(EnabledPath);
    else if (os == 1)
        frame.in += ditherOffset(Disabled4x);
    else if (os == 2)
        frame.in += ditherOffset(Disabled16x);
}

template <class Lanes>
inline void AmpEngine::upsampleRun(int os, const LaneValue<Lanes>* values, int count, LaneValue<Lanes>* subSamples,
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
inline void AmpEngine::downsampleRun(int os, const LaneValue<Lanes>* subSamples, int count, LaneValue<Lanes>* values,
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
void AmpEngine::amplify(LaneValue<Lanes>* values, int count, Lanes lanes)
{
    if (settings_.enabled) {
        (this->*runnerFor(lanes))(values, count, lanes);
        return;
    }
    // Switched off, the signal still passes the oversampling filter pair.
    const int os = oversampling();
    if (os == 0)
        return;
    LaneValue<Lanes> subSamples[kMaxSubSamples];
    upsampleRun(os, values, count, subSamples, lanes);
    downsampleRun(os, subSamples, count, values, lanes);
}

void AmpEngine::endSample(SampleFrame& frame)
{
    if (settings_.enabled) {
        processPost(frame);
        if (settings_.limiter) {
            if (!(frame.out >= -0.999))
                frame.out = -0.999;
            else if (frame.out > 0.999)
                frame.out = 0.999;
        }
    }
    followPeak(meters_.outPeak[frame.channel], std::fabs(frame.out), peakCoeff_);
    publishSnapshot();
}

void AmpEngine::processSamples(SampleFrame* frames, int count)
{
    double values[kMaxRun];
    for (int i = 0; i < count; ++i) {
        beginSample(frames[i]);
        values[i] = frames[i].in;
    }
    amplify(values, count, OneChannel{frames[0].channel});
    for (int i = 0; i < count; ++i) {
        frames[i].out = values[i];
        endSample(frames[i]);
    }
}

void AmpEngine::processStereo(SampleFrame* left, SampleFrame* right, int count)
{
    DoublePair values[kMaxRun];
    for (int i = 0; i < count; ++i) {
        beginSample(left[i]);
        beginSample(right[i]);
        values[i] = DoublePair{left[i].in, right[i].in};
    }
    amplify(values, count, BothChannels{});
    for (int i = 0; i < count; ++i) {
        left[i].out = values[i][0];
        right[i].out = values[i][1];
        endSample(left[i]);
        endSample(right[i]);
    }
}

template void AmpEngine::amplify<OneChannel>(double*, int, OneChannel);
template void AmpEngine::amplify<BothChannels>(DoublePair*, int, BothChannels);

} // namespace brimtone
