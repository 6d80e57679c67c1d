#pragma once

#include "amp/CurveTable.h"
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

    double process(double u, int channel)
    {
        const double a = std::fabs(u);
        const double v = sign(u) * clipper_.lookup(a < kClipperLimit ? a : kClipperLimit);
        const double h = highPassD_ * v + highPassC_ * w_[channel];
        w_[channel] = highPassB_ * v + highPassA_ * w_[channel];
        // The bias state over 47 kΩ shifts the device stage's input.
        const double out = transfer_.lookup(z_[channel] * kBiasToInput + h);
        lastOutput_[channel] = out;
        z_[channel] = bias_.next(out, z_[channel]);
        return out;
    }

    // Bias state z of a channel (the preamp bias display).
    double biasState(int channel) const { return z_[channel]; }
    double lastOutput(int channel) const { return lastOutput_[channel]; }

    const CurveTable& clipperCurve() const { return clipper_; }
    const CurveTable& transferCurve() const { return transfer_; }
    const FlavorBias& bias() const { return bias_; }

private:
    static constexpr double kClipperLimit = 16.0;
    static constexpr double kBiasToInput = 0.02127659574468085; // 1/47

    static double sign(double v) { return static_cast<double>((v > 0.0) - (v < 0.0)); }

    void buildTransfer();

    CurveTable device_;   // U1, stored
    CurveTable clipper_;  // U3, shared by all instances
    CurveTable transfer_; // U4, computed
    std::array<double, kTransferPoints> transferSamples_{};
    FlavorBias bias_;     // with U2

    double loadInput_ = 0.0;  // −250·g
    double loadDevice_ = 0.0; // −250000·g
    double lastOutput_[2] = {};

    double T_ = -1.0;
    double g_ = -1.0;

    double highPassA_ = 0.0;
    double highPassB_ = 0.0;
    double highPassC_ = 0.0;
    double highPassD_ = 0.0;

    double z_[2] = {};
    double w_[2] = {};
};

} // namespace brimtone
