#pragma once

#include "amp/CurveTable.h"
#include "amp/FlavorBias.h"

#include <array>
#include <cmath>

namespace brimtone {

// The preamp tube stage of the 2000 and 2002 flavours (Drive and Lead channels): with
// Lead a one-state pre-section and a diode clipping network (T3, solved from the stored
// network curve T4), then a one-state gain section whose shape follows the Gain value,
// then the tube's transfer curve T1 whose input is shifted by the self-bias state.
class FlavorStage2000 {
public:
    static constexpr int kLeadClipperPoints = 513;

    // g = 0.5, Lead off, T = 1/44100 s.
    FlavorStage2000();
    FlavorStage2000(const FlavorStage2000&) = delete;
    FlavorStage2000& operator=(const FlavorStage2000&) = delete;

    // g: Gain curve value 0..1; lead: Channel is Lead; T: the amplifier-path period.
    // Recomputes only what the changed inputs affect.
    void setCoefficients(double g, bool lead, double T);

    double process(double u, int channel)
    {
        if (lead_) {
            const double v = leadD_ * u + leadC_ * w_[channel];
            w_[channel] = leadB_ * u + leadA_ * w_[channel];
            u = sign(v) * leadClipper_.lookup(std::fabs(v));
        }
        const double s = gainD_ * u + gainC_ * y1_[channel];
        y1_[channel] = gainB_ * u + gainA_ * y1_[channel];

        // The bias state over 47 kΩ, scaled to the curve's millivolt grid.
        const double x = (z_[channel] * kBiasToGrid + s) * 1000.0;
        const double out = transferCurve(x);
        z_[channel] = bias_.next(out, z_[channel]);
        return out;
    }

    // Bias state z of a channel (the preamp bias display).
    double biasState(int channel) const { return z_[channel]; }

    // The tube's transfer curve: T1 on [−3, 3], quadratic continuations outside.
    double transferCurve(double x) const
    {
        if (x <= -3.0)
            return 0.004304433 * x * x - 0.2419308 * x + 3.582947;
        if (x >= 3.0)
            return -0.004140866 * x * x - 0.1694417 * x - 1.682681;
        return transfer_.lookupClamped(x);
    }

    // Lead clipper output for a pre-section output v >= 0 (T3); built only with Lead on.
    const CurveTable& leadClipperCurve() const { return leadClipper_; }
    const FlavorBias& bias() const { return bias_; }

private:
    static constexpr double kBiasToGrid = 2.1276595744680852e-05; // 1/47000

    static double sign(double v) { return static_cast<double>((v > 0.0) - (v < 0.0)); }

    void setGainSection(double g, bool lead, double T);
    void buildLeadClipper(double g);

    CurveTable transfer_;    // T1, stored
    CurveTable leadClipper_; // T3, computed
    CurveTable clipNetwork_; // T4, stored
    std::array<double, kLeadClipperPoints> leadClipperSamples_{};
    FlavorBias bias_;        // with T2

    double T_ = -1.0;
    double g_ = -1.0;
    bool lead_ = false;

    double leadA_ = 0.0;
    double leadB_ = 0.0;
    double leadC_ = 0.0;
    double leadD_ = 0.0;
    double gainA_ = 0.0;
    double gainB_ = 0.0;
    double gainC_ = 0.0;
    double gainD_ = 0.0;

    double z_[2] = {};
    double w_[2] = {};
    double y1_[2] = {};
};

} // namespace brimtone
