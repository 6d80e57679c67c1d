#pragma once

#include "dsp/CurveTable.h"
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
        if (lead_) {
            const V w = lanes.load(w_);
            const V v = leadD_ * u + leadC_ * w;
            lanes.store(w_, leadB_ * u + leadA_ * w);
            u = sign(v) * leadClipper_.lookup(absolute(v));
        }
        const V y1 = lanes.load(y1_);
        const V s = gainD_ * u + gainC_ * y1;
        lanes.store(y1_, gainB_ * u + gainA_ * y1);

        // The bias state over 47 kΩ, scaled to the curve's millivolt grid.
        const V x = (lanes.load(z_) * kBiasToGrid + s) * kGridScale;
        return transferCurve(x, lanes);
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

    // The tube's transfer curve: T1 on [−3, 3], quadratic continuations outside.
    double transferCurve(double x) const
    {
        if (x <= -3.0)
            return 0.004304433 * x * x - 0.2419308 * x + 3.582947;
        if (x >= 3.0)
            return -0.004140866 * x * x - 0.1694417 * x - 1.682681;
        return transfer_.lookupClamped(x);
    }

    // The same for one channel or both; inside (−3, 3) in every lane only the table is read.
    template <class Lanes>
    LaneValue<Lanes> transferCurve(LaneValue<Lanes> x, Lanes lanes) const
    {
        using V = LaneValue<Lanes>;
        if (allOf(bothOf(x > broadcast<V>(-3.0), x < broadcast<V>(3.0))))
            return transfer_.lookupInside(x);
        return eachLane(x, lanes, [this](double lane, int) { return transferCurve(lane); });
    }

    // Lead clipper output for a pre-section output v >= 0 (T3); built only with Lead on.
    const CurveTable& leadClipperCurve() const { return leadClipper_; }
    const FlavorBias& bias() const { return bias_; }

private:
    static constexpr Coefficient kBiasToGrid{2.1276595744680852e-05}; // 1/47000
    static constexpr Coefficient kGridScale{1000.0};                  // volts to millivolts

    void setGainSection(double g, bool lead, double T);
    void buildLeadClipper(double g);

    CurveTable transfer_;    // T1, stored
    CurveTable leadClipper_; // T3, computed
    CurveTable clipNetwork_; // T4, stored
    CurveSamples<kLeadClipperPoints> leadClipperSamples_{};
    FlavorBias bias_; // with T2

    double T_ = -1.0;
    double g_ = -1.0;
    bool lead_ = false;

    Coefficient leadA_;
    Coefficient leadB_;
    Coefficient leadC_;
    Coefficient leadD_;
    Coefficient gainA_;
    Coefficient gainB_;
    Coefficient gainC_;
    Coefficient gainD_;

    // One lane per channel.
    DoublePair z_{};
    DoublePair w_{};
    DoublePair y1_{};
};

} // namespace brimtone
