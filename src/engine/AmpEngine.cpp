#include "engine/AmpEngine.h"

#include "analysis/ResponseMath.h"
#include "engine/ValueConventions.h"

#include <algorithm>
#include <cmath>

namespace brimtone {
namespace {

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

// Stores the n-way selection of `value` in `setting`; true when it changed.
template <class Setting>
bool select(Setting& setting, double value, int ways)
{
    const Setting way = static_cast<Setting>(selectWay(value, ways));
    if (way == setting)
        return false;
    setting = way;
    return true;
}

} // namespace

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

    amplifier_.select(settings_);
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
    amplifier_.transferCapture().reset();
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

bool AmpEngine::setEnabled(bool on)
{
    settings_.enabled = on ? 1 : 0;
    return false;
}

// Bright, Gain and Level have their groups recomputed even when unchanged.
bool AmpEngine::setBright(bool on)
{
    settings_.bright = on ? 1 : 0;
    return true;
}

bool AmpEngine::setLimiter(bool on)
{
    settings_.limiter = on ? 1 : 0;
    return false;
}

bool AmpEngine::setOversampling(double value)
{
    const int way = selectWay(value, 3);
    if (way == oversampling())
        return false;
    amplifier_.setOversampling(way);
    return true;
}

bool AmpEngine::setChannel(double value)
{
    if (!select(settings_.channel, value, 4))
        return false;
    amplifier_.select(settings_);
    return true;
}

bool AmpEngine::setSpeaker(double value) { return select(settings_.speaker, value, 3); }

// A new tube placement starts the stage from its operating point; no coefficient depends on it.
bool AmpEngine::setTubeMode(double value)
{
    if (select(settings_.tubeMode, value, 3)) {
        amplifier_.resetTubeStage();
        amplifier_.select(settings_);
    }
    return false;
}

bool AmpEngine::setGain(double value)
{
    settings_.gain = limitUnit(value);
    return true;
}

bool AmpEngine::setLevel(double value)
{
    settings_.level = limitUnit(value);
    return true;
}

// Stores a knob's limited value; true when it changed.
bool AmpEngine::setKnob(double& knob, double value)
{
    const double limited = limitUnit(value);
    if (limited == knob)
        return false;
    knob = limited;
    return true;
}

bool AmpEngine::setLow(double value) { return setKnob(settings_.low, value); }
bool AmpEngine::setMid(double value) { return setKnob(settings_.mid, value); }
bool AmpEngine::setHigh(double value) { return setKnob(settings_.high, value); }
bool AmpEngine::setShape(double value) { return setKnob(settings_.shape, value); }

bool AmpEngine::setAmpMode(double value)
{
    if (!select(settings_.ampMode, value, 3))
        return false;
    amplifier_.select(settings_);
    return true;
}

bool AmpEngine::setReverb(double value)
{
    settings_.reverbGain = curveLookup(reverbCurve_, 30, value);
    return false;
}

bool AmpEngine::setReverbMode(double value) { return select(settings_.reverbMode, value, 3); }

bool AmpEngine::setAmbience(double value)
{
    settings_.ambienceGain = curveLookup(reverbCurve_, 30, value);
    speakerCabinet_.setAmbience(settings_.ambienceGain);
    return false;
}

bool AmpEngine::setInputGain(double value)
{
    settings_.inputGain = curveLookup(inputGainCurve_, 30, value);
    return false;
}

bool AmpEngine::setMaster(double value)
{
    settings_.masterGain = curveLookup(masterCurve_, 30, value);
    return false;
}

// ---- coefficient update ----------------------------------------------------

void AmpEngine::applyUpdates()
{
    const EngineSettings& s = settings_;
    const double period = samplePeriod();
    const std::uint32_t mask = updateMask_;

    if ((mask & UpdateGroup::All) == UpdateGroup::All)
        peakCoeff_ = 1.0 - std::exp(-period * 3.3333333333333335);
    amplifier_.updateCoefficients(mask, s, period);
    analysisMask_ |= mask & UpdateGroup::ResponseCurves;
    // Selecting a reverb (or a new rate while one is selected) starts it from
    // silence; switching it off leaves its state as it was.
    if (mask & UpdateGroup::Reverb) {
        if (s.reverbMode == ReverbMode::Hall) {
            hallReverb_.setSamplePeriod(period);
            hallReverb_.clear();
        } else if (s.reverbMode == ReverbMode::Spring) {
            springReverb_.setSamplePeriod(period);
            springReverb_.reset();
        }
    }
    if (mask & UpdateGroup::SpeakerCabinet) {
        speakerCabinet_.setSamplePeriod(period);
        if (s.speaker != Speaker::Off)
            speakerCabinet_.setSecondType(s.speaker == Speaker::FourBy12 ? 1 : 0);
    }

    updateMask_ = 0;
}

bool AmpEngine::refreshResponseSnapshot()
{
    if (analysisMask_ == 0 || !analysisLock_.tryEnter())
        return false;
    if (analysisMask_ & UpdateGroup::Tonestack)
        amplifier_.tonestack().refreshDisplayBlock();
    if (analysisMask_ & UpdateGroup::CleanOutputFilter)
        amplifier_.cleanOutputFilter().refreshDisplayBlock();
    if (analysisMask_ & UpdateGroup::DriveOutputFilter)
        amplifier_.driveOutputFilter().refreshDisplayBlock();
    // A Channel change always marks the filters, so the channel the curve is
    // drawn for travels with the blocks, under the same lock.
    responseChannel_ = settings_.channel;
    analysisMask_ = 0;
    analysisLock_.leave();
    return true;
}

float AmpEngine::responseAt(std::complex<float> z) const
{
    return toneResponseAt(indexOf(responseChannel_), amplifier_.tonestack().displayBlock(),
                          amplifier_.cleanOutputFilter().displayBlock(), amplifier_.driveOutputFilter().displayBlock(),
                          z);
}

// ---- per-sample chain ------------------------------------------------------

void AmpEngine::processPost(SampleFrame& frame)
{
    // The reverb is added in parallel; the dry signal passes at unity.
    if (settings_.reverbMode == ReverbMode::Hall) {
        double wet = frame.out;
        hallReverb_.process(wet, frame.channel);
        frame.out += wet * settings_.reverbGain;
    } else if (settings_.reverbMode == ReverbMode::Spring) {
        frame.out += springReverb_.process(frame.out, frame.channel) * settings_.reverbGain;
    }
    if (settings_.speaker != Speaker::Off)
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
inline void AmpEngine::amplify(LaneValue<Lanes>* values, int count, Lanes lanes)
{
    // Switched off, the signal still passes the oversampling filter pair.
    if (settings_.enabled)
        amplifier_.run(values, count, lanes);
    else
        amplifier_.runFiltersOnly(values, count, lanes);
    meters_.preampBias = amplifier_.preampBias();
    meters_.powerBias = amplifier_.powerBias();
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

} // namespace brimtone
