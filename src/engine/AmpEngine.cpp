#include "engine/AmpEngine.h"

#include "analysis/ResponseMath.h"
#include "engine/TaperTables.h"
#include "engine/ValueConventions.h"

#include <array>
#include <cmath>

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

void AmpEngine::selectAmpRunner()
{
    static constexpr AmpRunner runners[4][3] = {
        {&AmpEngine::runAmp<ChannelPath::Bypass, 0>, &AmpEngine::runAmp<ChannelPath::Bypass, 1>,
         &AmpEngine::runAmp<ChannelPath::Bypass, 2>},
        {&AmpEngine::runAmp<ChannelPath::Clean, 0>, &AmpEngine::runAmp<ChannelPath::Clean, 1>,
         &AmpEngine::runAmp<ChannelPath::Clean, 2>},
        {&AmpEngine::runAmp<ChannelPath::Drive1994, 0>, &AmpEngine::runAmp<ChannelPath::Drive1994, 1>,
         &AmpEngine::runAmp<ChannelPath::Drive1994, 2>},
        {&AmpEngine::runAmp<ChannelPath::Drive2000, 0>, &AmpEngine::runAmp<ChannelPath::Drive2000, 1>,
         &AmpEngine::runAmp<ChannelPath::Drive2000, 2>},
    };
    const int channel = settings_.channel;
    const int path = channel == 0 ? 0 : channel == 1 ? 1 : settings_.ampMode == 0 ? 2 : 3;
    ampRunner_ = runners[path][settings_.tubeMode];
    outputGain_ = outputGainTable[channel + 4 * settings_.ampMode];
}

// The tube slot: the triode stage when Tube Mode is on (its output inverted
// and scaled by 0.28), the pair offered to the XY capture, and the power-bias
// display following the stage's first state (towards 0 when off).
template <int Tube>
double AmpEngine::tubeSlot(double in, int channel)
{
    double out = in;
    double bias = 0.0;
    if constexpr (Tube != 0) {
        out = -0.28 * tubeStage_.process(in, channel);
        bias = tubeStage_.biasState(channel);
    }
    capture_.capturePoint(in, out, channel);
    meters_.powerBias += (bias - meters_.powerBias) * biasCoeff_;
    return out;
}

template <AmpEngine::ChannelPath Path, int Tube>
double AmpEngine::processChannel(double u, int channel)
{
    constexpr bool preEq = Tube == 1;
    if constexpr (Path == ChannelPath::Bypass) {
        return u;
    } else if constexpr (Path == ChannelPath::Clean) {
        double v = inputFilter_.process(u, channel);
        if constexpr (preEq)
            v = 1.8 * tubeSlot<Tube>(0.4 * v, channel);
        v = tonestack_.process(v, channel);
        v = cleanLevelAmp_.process(v, channel);
        const double out = cleanOutputFilter_.process(v, channel);
        meters_.preampBias -= meters_.preampBias * biasCoeff_; // the bias display decays while Clean runs
        return out;
    } else {
        double v = inputFilter_.process(u, channel);
        v = drivePreamp_.process(v, channel);
        double bias;
        if constexpr (Path == ChannelPath::Drive2000) {
            v = flavorStage2000_.process(v, channel);
            bias = flavorStage2000_.biasState(channel);
        } else {
            v = flavorStage1994_.process(v, channel);
            bias = flavorStage1994_.biasState(channel);
        }
        meters_.preampBias += (bias - meters_.preampBias) * biasCoeff_;
        if constexpr (preEq)
            v = 3.571428571428571 * tubeSlot<Tube>(0.4 * v, channel);
        v = tonestack_.process(v, channel);
        return driveOutputFilter_.process(v, channel);
    }
}

template <AmpEngine::ChannelPath Path, int Tube>
void AmpEngine::runAmp(double* samples, int count, int channel)
{
    for (int k = 0; k < count; ++k) {
        double out = processChannel<Path, Tube>(samples[k], channel) * outputGain_;
        // With Tube Mode Pre-EQ the slot already ran inside the channel; in
        // Bypass it does not run at all then.
        if constexpr (Tube != 1)
            out = tubeSlot<Tube>(out, channel);
        samples[k] = out;
    }
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

void AmpEngine::processSample(SampleFrame& frame)
{
    const int c = frame.channel;
    // A host that sends NaN or infinity must not leave the filters' state
    // poisoned for good: such a sample counts as silence.
    frame.in = std::isfinite(frame.in) ? frame.in * settings_.inputGain : 0.0;
    followPeak(meters_.inPeak[c], std::fabs(frame.in), peakCoeff_);

    const int os = oversampling();
    if (settings_.enabled) {
        frame.in += ditherOffset(EnabledPath);
        if (os == 0) {
            double sample = frame.in;
            (this->*ampRunner_)(&sample, 1, c);
            frame.out = sample;
        } else if (os == 1) {
            upsampler4_[c].upsample4(frame.in, subSamples_);
            (this->*ampRunner_)(subSamples_, 4, c);
            frame.out = downsampler4_[c].downsample4(subSamples_);
        } else {
            upsampler16_[c].upsample16(frame.in, subSamples_);
            (this->*ampRunner_)(subSamples_, 16, c);
            frame.out = downsampler16_[c].downsample16(subSamples_);
        }
        processPost(frame);
        if (settings_.limiter) {
            if (!(frame.out >= -0.999))
                frame.out = -0.999;
            else if (frame.out > 0.999)
                frame.out = 0.999;
        }
    } else if (os == 0) {
        frame.out = frame.in;
    } else if (os == 1) {
        // Switched off, the signal still passes the oversampling filter pair.
        frame.in += ditherOffset(Disabled4x);
        upsampler4_[c].upsample4(frame.in, subSamples_);
        frame.out = downsampler4_[c].downsample4(subSamples_);
    } else {
        frame.in += ditherOffset(Disabled16x);
        upsampler16_[c].upsample16(frame.in, subSamples_);
        frame.out = downsampler16_[c].downsample16(subSamples_);
    }

    followPeak(meters_.outPeak[c], std::fabs(frame.out), peakCoeff_);
    publishSnapshot();
}

} // namespace brimtone
