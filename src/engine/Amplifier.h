#pragma once
// The oversampled amplifier model: the stages of the channel paths and the tube slot, the
// oversampling filter pairs around them, and the runners that take a run of host samples
// through them. The bias values and the XY capture the displays follow are traced here,
// at the rate the stages run.

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
#include "analysis/TransferCapture.h"
#include "engine/EngineSettings.h"
#include "platform/ProcessorFeatures.h"

#include <atomic>
#include <cstdint>

namespace brimtone {

class Amplifier {
public:
    // Whether the runners were compiled for the wider instruction sets (the build's
    // BRIMTONE_WIDE_BUILDS option).
    static constexpr bool kWideBuilds = BRIMTONE_WIDE_BUILDS != 0;
    // The longest run of host samples a runner takes. A run's oversampled values go through
    // the chain as one block, so the chain's pipeline fills and drains once per run rather
    // than once per host sample.
    static constexpr int kMaxRun = 8;

    // Output compensation gain of the amplifier model by channel and flavour.
    static double outputGain(AmpChannel channel, AmpFlavor flavor);
    static int oversamplingFactor(int oversampling) { return oversampling == 2 ? 16 : oversampling == 1 ? 4 : 1; }

    Amplifier();
    Amplifier(const Amplifier&) = delete;
    Amplifier& operator=(const Amplifier&) = delete;

    // Recomputes the amplifier's groups marked in `mask` (UpdateGroup) from the settings,
    // at the host sample period `period`.
    void updateCoefficients(std::uint32_t mask, const EngineSettings& settings, double period);
    // Chooses the runner and output gain for the settings' channel, flavour and tube mode.
    void select(const EngineSettings& settings);
    // 0 = 1x, 1 = 4x, 2 = 16x. Read by the editor without a lock.
    int oversampling() const { return oversampling_.load(std::memory_order_relaxed); }
    void setOversampling(int oversampling) { oversampling_.store(oversampling, std::memory_order_relaxed); }
    void resetTubeStage() { tubeStage_.resetToOperatingPoint(); }

    // count (1..kMaxRun) host samples in place: up-sampled, through the chain, down-sampled.
    template <class Lanes>
    void run(LaneValue<Lanes>* values, int count, Lanes lanes)
    {
        (this->*runnerFor(lanes))(values, count, lanes);
    }
    // The same run through the oversampling filter pair alone (the amplifier switched off).
    template <class Lanes>
    void runFiltersOnly(LaneValue<Lanes>* values, int count, Lanes lanes);

    // The instruction set the runners use: the widest the processor offers unless lowered
    // here (never above what it offers). Every level gives the same results.
    platform::VectorLevel vectorLevel() const { return vectorLevel_; }
    void setVectorLevel(platform::VectorLevel level);
    static platform::VectorLevel widestVectorLevel()
    {
        return kWideBuilds ? platform::vectorLevel() : platform::VectorLevel::Sse2;
    }

    // The smoothed bias values of the flavour stage and the tube stage, for the meters.
    double preampBias() const { return preampBias_; }
    double powerBias() const { return powerBias_; }
    TransferCapture& transferCapture() { return capture_; }

    // The stages whose display blocks the tonestack response view reads.
    Tonestack& tonestack() { return tonestack_; }
    CleanOutputFilter& cleanOutputFilter() { return cleanOutputFilter_; }
    DriveOutputFilter& driveOutputFilter() { return driveOutputFilter_; }
    const Tonestack& tonestack() const { return tonestack_; }
    const CleanOutputFilter& cleanOutputFilter() const { return cleanOutputFilter_; }
    const DriveOutputFilter& driveOutputFilter() const { return driveOutputFilter_; }

private:
    // The amplifier runs as one of these specialisations, chosen when Channel, Amp Mode or
    // Tube Mode change, so the sub-sample loop carries no branch on settings. Each runs one
    // channel or both in lockstep (the lane selectors of dsp/Lanes.h).
    enum class ChannelPath { Bypass, Clean, Drive1994, Drive2000 };
    template <class Lanes>
    using Runner = void (Amplifier::*)(LaneValue<Lanes>* values, int count, Lanes lanes);
    template <ChannelPath Path, TubePlacement Tube, class Lanes>
    void runAmp(LaneValue<Lanes>* values, int count, Lanes lanes);
    // The chain over `count` samples at the amplifier's rate, in place.
    template <ChannelPath Path, TubePlacement Tube, class Lanes>
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
    template <ChannelPath Path, TubePlacement Tube, class Lanes>
    void runAmpAvx2(LaneValue<Lanes>* values, int count, Lanes lanes);
    template <ChannelPath Path, TubePlacement Tube, class Lanes>
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
    template <TubePlacement Tube, class Lanes>
    LaneValue<Lanes> tubeSlot(LaneValue<Lanes> in, BlockTrace<LaneValue<Lanes>>& trace, Lanes lanes);
    template <ChannelPath Path, TubePlacement Tube, class Lanes>
    void followDisplays(BlockTrace<LaneValue<Lanes>>& trace, Lanes lanes);
    // The runner of a channel path and tube mode, in the build for the vector level.
    template <class Lanes>
    Runner<Lanes> runnerOf(ChannelPath path, TubePlacement tubeMode) const;
    template <platform::VectorLevel Level, class Lanes>
    static Runner<Lanes> runnerTable(ChannelPath path, TubePlacement tubeMode);
    template <platform::VectorLevel Level, ChannelPath Path, TubePlacement Tube, class Lanes>
    static constexpr Runner<Lanes> runnerBuild();
    void selectRunners();
    Runner<OneChannel> runnerFor(OneChannel) const { return oneChannelRunner_; }
    Runner<BothChannels> runnerFor(BothChannels) const { return bothChannelsRunner_; }

    std::atomic<int> oversampling_{0};

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
    // Each with both channels' histories.
    OversamplingFilter upsampler16_;
    OversamplingFilter downsampler16_;
    OversamplingFilter upsampler4_;
    OversamplingFilter downsampler4_;

    platform::VectorLevel vectorLevel_ = widestVectorLevel();
    ChannelPath path_ = ChannelPath::Bypass;
    TubePlacement tubeMode_ = TubePlacement::Off;
    Runner<OneChannel> oneChannelRunner_ = nullptr;
    Runner<BothChannels> bothChannelsRunner_ = nullptr;
    Coefficient outputGain_{1.0};
    double biasCoeff_ = 0.0;
    double preampBias_ = 0.0;
    double powerBias_ = 0.0;
    TransferCapture capture_;
};

} // namespace brimtone
