#pragma once
// The whole signal processor of one plug-in instance. The audio driver calls
// the setters once per block when parameters change, marks the coefficient
// groups that depend on what changed, calls applyUpdates, and then drives the
// engine in runs of up to kMaxRun host samples. The engine holds the host-rate
// frame around the oversampled amplifier (input gain, dither, reverb, cabinet,
// master, limiter), the meters and the display hand-off. Everything the
// per-sample path touches is a member: constructing the engine builds the
// whole path.

#include "analysis/MeterSnapshot.h"
#include "analysis/TransferCapture.h"
#include "engine/Amplifier.h"
#include "engine/EngineSettings.h"
#include "engine/SampleFrame.h"
#include "fx/HallReverb.h"
#include "fx/SpeakerCabinet.h"
#include "fx/SpringReverb.h"
#include "platform/Sync.h"

#include <atomic>
#include <complex>
#include <cstdint>

namespace brimtone {

class AmpEngine {
public:
    AmpEngine();
    virtual ~AmpEngine();
    AmpEngine(const AmpEngine&) = delete;
    AmpEngine& operator=(const AmpEngine&) = delete;

    // A new host rate marks every coefficient group.
    void setRate(double rate);
    // Setters of the parameters: audio thread, between runs. Each limits its
    // value and stores it; true when the groups that depend on it are to be
    // recomputed (markUpdates), which for most means the setting changed.
    bool setEnabled(bool on);
    bool setBright(bool on);
    bool setLimiter(bool on);
    bool setOversampling(double value);
    bool setChannel(double value);
    bool setSpeaker(double value);
    bool setTubeMode(double value);
    bool setGain(double value);
    bool setLevel(double value);
    bool setLow(double value);
    bool setMid(double value);
    bool setHigh(double value);
    bool setShape(double value);
    bool setAmpMode(double value);
    bool setReverb(double value);
    bool setReverbMode(double value);
    bool setAmbience(double value);
    bool setInputGain(double value);
    bool setMaster(double value);

    void markUpdates(std::uint32_t groups) { updateMask_ |= groups; }
    // Recomputes every marked coefficient group once and clears the mask.
    void applyUpdates();
    std::uint32_t updateMask() const { return updateMask_; }
    std::uint32_t analysisMask() const { return analysisMask_; }

    static constexpr int kMaxRun = Amplifier::kMaxRun;
    // Input samples are held within +-kInputCeiling (+40 dBFS).
    static constexpr double kInputCeiling = 100.0;

    // count (1..kMaxRun) consecutive host-rate samples of one channel (all frames carry the
    // same channel).
    void processSamples(SampleFrame* frames, int count);
    void processSample(SampleFrame& frame) { processSamples(&frame, 1); }
    // count (1..kMaxRun) consecutive host-rate samples of each channel (left frames channel
    // 0, right frames channel 1), run in lockstep through the amplifier. Each output is the
    // one processSample gives that frame (the dither is drawn left then right, sample by
    // sample, as single calls draw it); only the order in which the two channels feed the
    // shared display values (bias meters, XY capture) differs.
    void processStereo(SampleFrame* left, SampleFrame* right, int count);

    Amplifier& amplifier() { return amplifier_; }

    // Copies the changed filters' coefficients into their display blocks when
    // analysisLock is free; true when it did. Audio thread, once per block.
    bool refreshResponseSnapshot();

    // |H(z)|^2 of the current channel's tone shaping (tonestack and output
    // filter), from the display blocks. Editor thread, inside analysisLock.
    float responseAt(std::complex<float> z) const;

    const EngineSettings& settings() const { return settings_; }

    // Read by the editor without a lock: the oversampled rate follows them.
    double samplePeriod() const { return samplePeriod_.load(std::memory_order_relaxed); }
    int oversampling() const { return amplifier_.oversampling(); }
    static int oversamplingFactor(int oversampling) { return Amplifier::oversamplingFactor(oversampling); }

    // Editor side: a copy of the published meters, taken under meterLock.
    MeterSnapshot readMeterSnapshot();
    // For readers that nest another display lock inside meterLock: hold the
    // lock while reading publishedMeters().
    platform::CriticalSection& meterLock() { return meterLock_; }
    const MeterSnapshot& publishedMeters() const { return publishedMeters_; }

    TransferCapture& transferCapture() { return amplifier_.transferCapture(); }
    platform::CriticalSection& analysisLock() { return analysisLock_; }

private:
    // The steps of a host sample before the amplifier (input gain, input
    // meter, dither) and after it (reverb, cabinet, master, limiter, output
    // meter, snapshot); in between the oversampled amplifier, or with Enable
    // off the bare oversampling filters.
    void beginSample(SampleFrame& frame);
    // In place, `count` host samples (at most kMaxRun).
    template <class Lanes>
    void amplify(LaneValue<Lanes>* values, int count, Lanes lanes);
    void endSample(SampleFrame& frame);

    bool setKnob(double& knob, double value);
    void buildGainCurves();
    void resetDisplays();
    void processPost(SampleFrame& frame);
    void publishSnapshot();

    std::uint32_t updateMask_ = 0;
    std::uint32_t analysisMask_ = 0;
    double inputGainCurve_[30] = {};
    double masterCurve_[30] = {};
    double reverbCurve_[30] = {};
    EngineSettings settings_;
    std::atomic<double> samplePeriod_{1.0};

    Amplifier amplifier_;
    SpringReverb springReverb_;
    SpeakerCabinet speakerCabinet_;
    HallReverb hallReverb_;

    double peakCoeff_ = 0.0;

    platform::CriticalSection meterLock_;
    MeterSnapshot publishedMeters_;
    MeterSnapshot meters_; // working copy, audio thread only
    platform::CriticalSection analysisLock_;
    AmpChannel responseChannel_ = AmpChannel::Bypass; // the channel of the display blocks, under analysisLock_
};

} // namespace brimtone
