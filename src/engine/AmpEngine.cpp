#include "engine/AmpEngine.h"

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
    settings_.masterGain = curveLookup(masterCurve_, 30, 0.5);

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

void AmpEngine::setLow(double value)
{
    const double limited = limitUnit(value);
    if (limited != settings_.low) {
        settings_.low = limited;
        updateMask_ |= UpdateGroup::Tonestack;
    }
}

void AmpEngine::setMid(double value)
{
    const double limited = limitUnit(value);
    if (limited != settings_.mid) {
        settings_.mid = limited;
        updateMask_ |= UpdateGroup::Tonestack;
    }
}

void AmpEngine::setHigh(double value)
{
    const double limited = limitUnit(value);
    if (limited != settings_.high) {
        settings_.high = limited;
        updateMask_ |= UpdateGroup::Tonestack;
    }
}

void AmpEngine::setShape(double value)
{
    const double limited = limitUnit(value);
    if (limited != settings_.shape) {
        settings_.shape = limited;
        updateMask_ |= UpdateGroup::DriveOutputFilter;
    }
}

// An Amp Mode change also marks CleanLevelAmp: its level taper differs between
// the flavours, and the Clean channel should not keep the previous flavour's
// level until some other control happens to move.
void AmpEngine::setAmpMode(double value)
{
    const int way = threeWay(value);
    if (way != settings_.ampMode) {
        settings_.ampMode = way;
        updateMask_ |= UpdateGroup::AmpModeGroups | UpdateGroup::CleanLevelAmp;
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

void AmpEngine::setAmbience(double value) { settings_.ambienceGain = curveLookup(reverbCurve_, 30, value); }

void AmpEngine::setInputGain(double value) { settings_.inputGain = curveLookup(inputGainCurve_, 30, value); }

void AmpEngine::setMaster(double value) { settings_.masterGain = curveLookup(masterCurve_, 30, value); }

// ---- coefficient update ----------------------------------------------------

double AmpEngine::levelTaper() const { return curveLookup(tapers::levelTapers[curveIndex()], 30, settings_.level); }

void AmpEngine::applyUpdates()
{
    const double period = samplePeriod();
    const double oversampledPeriod = period / oversamplingFactor(oversampling());
    const std::uint32_t mask = updateMask_;

    if ((mask & UpdateGroup::All) == UpdateGroup::All)
        peakCoeff_ = 1.0 - std::exp(-period * 3.3333333333333335);
    if ((mask & UpdateGroup::AmplifierPath) == UpdateGroup::AmplifierPath)
        biasCoeff_ = 1.0 - std::exp(-oversampledPeriod * 10.0);

    if (mask & UpdateGroup::TubeStage)
        capture_.setCaptureRate(oversampledPeriod);

    updateMask_ = 0;
}

// ---- per-sample chain ------------------------------------------------------

double AmpEngine::tubeSlot(double in, int channel)
{
    const double out = in;
    capture_.capturePoint(in, out, channel);
    meters_.powerBias += (0.0 - meters_.powerBias) * biasCoeff_;
    return out;
}

double AmpEngine::processAmp(double in, int channel)
{
    const int channelPath = settings_.channel;
    double out = in;
    out *= outputGainTable[channelPath + 4 * settings_.ampMode];
    if (settings_.tubeMode != 1)
        out = tubeSlot(out, channel);
    return out;
}

void AmpEngine::processPost(SampleFrame& frame) { frame.out *= settings_.masterGain; }

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

    if (settings_.enabled) {
        frame.in += ditherOffset(EnabledPath);
        frame.out = processAmp(frame.in, c);
        processPost(frame);
        if (settings_.limiter) {
            if (!(frame.out >= -0.999))
                frame.out = -0.999;
            else if (frame.out > 0.999)
                frame.out = 0.999;
        }
    } else {
        frame.out = frame.in;
    }

    followPeak(meters_.outPeak[c], std::fabs(frame.out), peakCoeff_);
    publishSnapshot();
}

} // namespace brimtone
