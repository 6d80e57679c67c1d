#pragma once
// The whole signal processor of one plug-in instance. The audio driver calls
// the setters once per block when parameters change, applyUpdates after them,
// and processSample once per sample and channel. Everything the per-sample
// path touches is a member: constructing the engine builds the whole path.

#include "amp/CleanLevelAmp.h"
#include "amp/CleanOutputFilter.h"
#include "amp/DriveOutputFilter.h"
#include "amp/DrivePreamp.h"
#include "amp/FlavorStage1994.h"
#include "amp/FlavorStage2000.h"
#include "amp/InputFilter.h"
#include "amp/OversamplingFilter.h"
#include "amp/Tonestack.h"
#include "amp/TubeStage.h"
#include "analysis/MeterSnapshot.h"
#include "analysis/TransferCapture.h"
#include "engine/SampleFrame.h"
#include "fx/HallReverb.h"
#include "fx/SpeakerCabinet.h"
#include "fx/SpringReverb.h"
#include "platform/ProcessorFeatures.h"
#include "platform/Sync.h"

#include <atomic>
#include <complex>
#include <cstdint>

namespace brimtone {

// Settings as the setters left them; the stages' coefficient groups read them.
struct EngineSettings {
    std::int32_t enabled = 1;
    std::uint8_t bright = 0;
    std::uint8_t limiter = 0;
    std::int32_t channel = 0;    // 0 Bypass, 1 Clean, 2 Drive, 3 Lead
    std::int32_t ampMode = 0;    // flavour 0 "1994", 1 "2000", 2 "2002"
    std::int32_t speaker = 0;    // 0 off, 1 one 12-inch, 2 four 12-inch
    std::int32_t tubeMode = 0;   // 0 off, 1 Pre-EQ, 2 Post-EQ
    std::int32_t reverbMode = 0; // 0 off, 1 hall, 2 spring
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
};

// Coefficient groups of updateMask.
namespace UpdateGroup {
constexpr std::uint32_t Rate = 0x001; // no group of its own: marks "everything"
constexpr std::uint32_t InputFilter = 0x002;
constexpr std::uint32_t DrivePreamp = 0x004;
constexpr std::uint32_t FlavorGain = 0x008;
constexpr std::uint32_t Tonestack = 0x010;
constexpr std::uint32_t CleanLevelAmp = 0x020;
constexpr std::uint32_t CleanOutputFilter = 0x040;
constexpr std::uint32_t DriveOutputFilter = 0x080;
constexpr std::uint32_t TubeStage = 0x100;
constexpr std::uint32_t Reverb = 0x200;
constexpr std::uint32_t SpeakerCabinet = 0x400;
constexpr std::uint32_t All = 0x7ff;
constexpr std::uint32_t AmplifierPath = 0x1fe; // groups 1..8: what the oversampled period feeds
constexpr std::uint32_t ChannelGroups = 0x0fc;
constexpr std::uint32_t AmpModeGroups = 0x0ce;
constexpr std::uint32_t LevelGroups = 0x0e0;
} // namespace UpdateGroup

class AmpEngine {
public:
    // Whether the runners were compiled for the wider instruction sets (the build's
    // BRIMTONE_WIDE_BUILDS option).
    static constexpr bool kWideBuilds = BRIMTONE_WIDE_BUILDS != 0;

    // Output compensation gain of the amplifier model, by channel + 4 x ampMode.
    static double outputGain(int channel, int ampMode);

    AmpEngine();
    virtual ~AmpEngine();
    AmpEngine(const AmpEngine&) = delete;
    AmpEngine& operator=(const AmpEngine&) = delete;

    // Setters: audio thread, between samples. Each limits its value, stores it
    // and marks the coefficient groups that depend on it.
    void setRate(double rate);
    void setEnabled(bool on);
    void setBright(bool on);
    void setLimiter(bool on);
    void setOversampling(double value);
    void setChannel(double value);
    void setSpeaker(double value);
    void setTubeMode(double value);
    void setGain(double value);
    void setLevel(double value);
    void setLow(double value);
    void setMid(double value);
    void setHigh(double value);
    void setShape(double value);
    void setAmpMode(double value);
    void setReverb(double value);
    void setReverbMode(double value);
    void setAmbience(double value);
    void setInputGain(double value);
    void setMaster(double value);

    // Recomputes every marked coefficient group once and clears the mask.
    void applyUpdates();
    std::uint32_t updateMask() const { return updateMask_; }
    std::uint32_t analysisMask() const { return analysisMask_; }

    // The longest run of host samples the process calls take. A run's oversampled values go
    // through the amplifier as one block, so the chain's pipeline fills and drains once per
    // run rather than once per host sample.
    static constexpr int kMaxRun = 8;
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

    // The instruction set the amplifier runs with: the widest the processor
    // offers unless lowered here (never above what it offers). Every level gives the same
    // results.
    platform::VectorLevel vectorLevel() const { return vectorLevel_; }
    void setVectorLevel(platform::VectorLevel level);
    // The widest level this processor and this build offer.
    static platform::VectorLevel widestVectorLevel()
    {
        return kWideBuilds ? platform::vectorLevel() : platform::VectorLevel::Sse2;
    }

    // Copies the changed filters' coefficients into their display blocks when
    // analysisLock is free; true when it did. Audio thread, once per block.
    bool refreshResponseSnapshot();

    // |H(z)|^2 of the current channel's tone shaping (tonestack and output
    // filter), from the display blocks. Editor thread, inside analysisLock.
    float responseAt(std::complex<float> z) const;

    const EngineSettings& settings() const { return settings_; }

    // Read by the editor without a lock: the oversampled rate follows them.
    double samplePeriod() const { return samplePeriod_.load(std::memory_order_relaxed); }
    int oversampling() const { return oversampling_.load(std::memory_order_relaxed); }
    static int oversamplingFactor(int oversampling) { return oversampling == 2 ? 16 : oversampling == 1 ? 4 : 1; }

    // Editor side: a copy of the published meters, taken under meterLock.
    MeterSnapshot readMeterSnapshot();
    // For readers that nest another display lock inside meterLock: hold the
    // lock while reading publishedMeters().
    platform::CriticalSection& meterLock() { return meterLock_; }
    const MeterSnapshot& publishedMeters() const { return publishedMeters_; }

    TransferCapture& transferCapture() { return capture_; }
    platform::CriticalSection& analysisLock() { return analysisLock_; }

    // The stages whose display blocks the tonestack response view reads
    // (under analysisLock).
    const Tonestack& tonestack() const { return tonestack_; }
    const CleanOutputFilter& cleanOutputFilter() const { return cleanOutputFilter_; }
    const DriveOutputFilter& driveOutputFilter() const { return driveOutputFilter_; }

private:
    friend struct AmpEngineProbe; // tests run the amplifier alone, without the dither

    // The amplifier model runs as one of these specialisations, chosen when
    // Channel, Amp Mode or Tube Mode change, so the sub-sample loop carries
    // no branch on settings. Each runs one channel or both in lockstep (the
    // lane selectors of dsp/Lanes.h).
    enum class ChannelPath { Bypass, Clean, Drive1994, Drive2000 };
    template <class Lanes>
    using AmpRunner = void (AmpEngine::*)(LaneValue<Lanes>* values, int count, Lanes lanes);
    // A run of host samples in place: up-sampled, through the chain, down-sampled.
    template <ChannelPath Path, int Tube, class Lanes>
    void runAmp(LaneValue<Lanes>* values, int count, Lanes lanes);
    // The chain over `count` samples at the amplifier's rate, in place.
    template <ChannelPath Path, int Tube, class Lanes>
    void runChain(LaneValue<Lanes>* samples, int count, Lanes lanes);
    // The oversampling filter pair (os 1: 4x, 2: 16x) for a run of host samples: from
    // `values` to the sub-samples, and back.
    template <class Lanes>
    void upsampleRun(int os, const LaneValue<Lanes>* values, int count, LaneValue<Lanes>* subSamples, Lanes lanes);
    template <class Lanes>
    void downsampleRun(int os, const LaneValue<Lanes>* subSamples, int count, LaneValue<Lanes>* values, Lanes lanes);
    // The same runner compiled for wider instruction sets: the same operations in the same
    // order (no contraction into fused multiply-adds), so the same results, with
    // three-operand instructions that need no register copies, and with AVX-512 twice the
    // registers and single-instruction lane selects.
    template <ChannelPath Path, int Tube, class Lanes>
    void runAmpAvx2(LaneValue<Lanes>* values, int count, Lanes lanes);
    template <ChannelPath Path, int Tube, class Lanes>
    void runAmpAvx512(LaneValue<Lanes>* values, int count, Lanes lanes);
    // What the displays follow during one block of sub-samples: recorded in sample order by
    // the stages' groups of the pipeline and taken, a few samples later, by its last group,
    // which feeds the bias meters and the XY capture. The meters' smoothing loops so run
    // alongside the amplifier's loops rather than after them.
    static constexpr int kMaxSubSamples = 16 * kMaxRun;
    template <class V>
    struct BlockTrace {
        V preampBias[kMaxSubSamples];
        V tubeIn[kMaxSubSamples];
        V tubeOut[kMaxSubSamples];
        V powerBias[kMaxSubSamples];
        int preampCount = 0;
        int tubeCount = 0;
        int displayCount = 0;
        double preampBiasMeter = 0.0;
        double powerBiasMeter = 0.0;
    };
    template <int Tube, class Lanes>
    LaneValue<Lanes> tubeSlot(LaneValue<Lanes> in, BlockTrace<LaneValue<Lanes>>& trace, Lanes lanes);
    template <ChannelPath Path, int Tube, class Lanes>
    void followDisplays(BlockTrace<LaneValue<Lanes>>& trace, Lanes lanes);
    // The runner of a channel path (0 Bypass .. 3 Drive2000) and tube mode, in the build
    // for the engine's vector level.
    template <class Lanes>
    AmpRunner<Lanes> ampRunner(int path, int tubeMode) const;
    template <platform::VectorLevel Level, class Lanes>
    static AmpRunner<Lanes> runnerTable(int path, int tubeMode);
    template <platform::VectorLevel Level, ChannelPath Path, int Tube, class Lanes>
    static constexpr AmpRunner<Lanes> runnerBuild();
    void selectAmpRunner();
    AmpRunner<OneChannel> runnerFor(OneChannel) const { return oneChannelRunner_; }
    AmpRunner<BothChannels> runnerFor(BothChannels) const { return bothChannelsRunner_; }

    // The steps of a host sample before the amplifier (input gain, input
    // meter, dither) and after it (reverb, cabinet, master, limiter, output
    // meter, snapshot); in between the oversampled amplifier, or with Enable
    // off the bare oversampling filters.
    void beginSample(SampleFrame& frame);
    // In place, `count` host samples (at most kMaxRun).
    template <class Lanes>
    void amplify(LaneValue<Lanes>* values, int count, Lanes lanes);
    void endSample(SampleFrame& frame);

    void setKnob(double& knob, double value, std::uint32_t groups);
    void buildGainCurves();
    void resetDisplays();
    void processPost(SampleFrame& frame);
    void publishSnapshot();
    double levelTaper() const;
    int curveIndex() const { return settings_.channel + 4 * settings_.ampMode; }
    double toneTaper(const double (&tapers)[12][20], double position) const;

    std::uint32_t updateMask_ = 0;
    std::uint32_t analysisMask_ = 0;
    double inputGainCurve_[30] = {};
    double masterCurve_[30] = {};
    double reverbCurve_[30] = {};
    EngineSettings settings_;
    std::atomic<int> oversampling_{0};
    std::atomic<double> samplePeriod_{1.0};

    // Stages, in construction order; coefficients shared by both channels.
    InputFilter inputFilter_;
    DrivePreamp drivePreamp_;
    FlavorStage2000 flavorStage2000_;
    FlavorStage1994 flavorStage1994_;
    Tonestack tonestack_;
    CleanLevelAmp cleanLevelAmp_;
    CleanOutputFilter cleanOutputFilter_;
    DriveOutputFilter driveOutputFilter_;
    TubeStage tubeStage_;
    SpringReverb springReverb_;
    SpeakerCabinet speakerCabinet_;
    HallReverb hallReverb_;
    // Each with both channels' histories.
    OversamplingFilter upsampler16_;
    OversamplingFilter downsampler16_;
    OversamplingFilter upsampler4_;
    OversamplingFilter downsampler4_;

    platform::VectorLevel vectorLevel_ = widestVectorLevel();
    AmpRunner<OneChannel> oneChannelRunner_ = nullptr;
    AmpRunner<BothChannels> bothChannelsRunner_ = nullptr;
    Coefficient outputGain_{1.0};
    double peakCoeff_ = 0.0;
    double biasCoeff_ = 0.0;

    platform::CriticalSection meterLock_;
    MeterSnapshot publishedMeters_;
    MeterSnapshot meters_; // working copy, audio thread only
    platform::CriticalSection analysisLock_;
    int responseChannel_ = 0; // the channel of the display blocks, under analysisLock_
    TransferCapture capture_;
};

} // namespace brimtone
