#pragma once

#include "dsp/CurveTable.h"
#include "amp/FlavorBias.h"

#include <array>
#include <cmath>

namespace brimtone {

// The preamp stage of the 1994 flavour (Drive and Lead channels): a symmetric diode
// clipper (U3), a one-state high-pass, then the device stage whose transfer curve U4
// follows from the stored device curve U1 under a load set by the Gain value, with its
// input shifted by the self-bias state.
class FlavorStage1994 {
public:
    static constexpr int kTransferPoints = 1001;

    // g = 0.5, T = 1/44100 s. The first instance in the process also computes the
    // shared diode-clipper curve.
    FlavorStage1994();
    FlavorStage1994(const FlavorStage1994&) = delete;
    FlavorStage1994& operator=(const FlavorStage1994&) = delete;

    // g: Gain curve value 0..1; T: the amplifier-path period. Recomputes only what the
    // changed inputs affect.
    void setCoefficients(double g, double T);

    double process(double u, int channel) { return process(u, OneChannel{channel}); }

    template <class Lanes>
    LaneValue<Lanes> process(LaneValue<Lanes> u, Lanes lanes)
    {
        return updateBias(transfer(u, lanes), lanes);
    }

    // The two halves of process, which the engine runs as separate groups of its pipeline
    // (amp/StagePipeline.h): the signal path up to the transfer curve, which reads the bias
    // state, then the bias loop's update for the output it produced.
    template <class Lanes>
    LaneValue<Lanes> transfer(LaneValue<Lanes> u, Lanes lanes)
    {
        using V = LaneValue<Lanes>;
        // |u| limited to 16 lies within the clipper's grid.
        const V v = sign(u) * clipper_.lookupInside(atMost(absolute(u), broadcast<V>(kClipperLimit)));
        const V w = lanes.load(w_);
        const V h = highPassD_ * v + highPassC_ * w;
        lanes.store(w_, highPassB_ * v + highPassA_ * w);
        // The bias state over 47 kΩ shifts the device stage's input.
        const V out = transfer_.lookup(lanes.load(z_) * kBiasToInput + h);
        lanes.store(lastOutput_, out);
        return out;
    }

    template <class Lanes>
    LaneValue<Lanes> updateBias(LaneValue<Lanes> out, Lanes lanes)
    {
        lanes.store(z_, bias_.next(out, lanes.load(z_)));
        return out;
    }

    // Bias state z of one channel, or of both (the preamp bias display).
    double biasState(int channel) const { return z_[channel]; }
    template <class Lanes>
    LaneValue<Lanes> biasState(Lanes lanes) const
    {
        return lanes.load(z_);
    }
    double lastOutput(int channel) const { return lastOutput_[channel]; }

    const CurveTable& clipperCurve() const { return clipper_; }
    const CurveTable& transferCurve() const { return transfer_; }
    const FlavorBias& bias() const { return bias_; }

private:
    static constexpr double kClipperLimit = 16.0;
    static constexpr Coefficient kBiasToInput{0.02127659574468085}; // 1/47

    void buildTransfer();

    CurveTable device_;   // U1, stored
    CurveTable clipper_;  // U3, shared by all instances
    CurveTable transfer_; // U4, computed
    CurveSamples<kTransferPoints> transferSamples_{};
    FlavorBias bias_; // with U2

    double loadInput_ = 0.0;  // −250·g
    double loadDevice_ = 0.0; // −250000·g
    DoublePair lastOutput_{};

    double T_ = -1.0;
    double g_ = -1.0;

    Coefficient highPassA_;
    Coefficient highPassB_;
    Coefficient highPassC_;
    Coefficient highPassD_;

    // One lane per channel.
    DoublePair z_{};
    DoublePair w_{};
};

} // namespace brimtone
