#pragma once

#include "dsp/Lanes.h"
#include "dsp/StateSpace.h"

namespace brimtone {

// Discrete two-state recurrence shared by InputFilter and CleanOutputFilter:
//   y = c1·x1 + c2·x2 + d·u,  x1 ← a11·x1 + a12·x2 + b1·u,  x2 ← a21·x1 + a22·x2 + b2·u
// (both updates from the old state). Coefficients are shared by the two channels; each
// channel keeps its own state.
class TwoStateFilter {
public:
    // Starts with the 1994 input-filter response at 44.1 kHz and zero state.
    TwoStateFilter();

    double process(double u, int channel) { return process(u, OneChannel{channel}); }

    template <class Lanes>
    LaneValue<Lanes> process(LaneValue<Lanes> u, Lanes lanes)
    {
        using V = LaneValue<Lanes>;
        const V x1 = lanes.load(x1_);
        const V x2 = lanes.load(x2_);
        const V y = c1_ * x1 + c2_ * x2 + d_ * u;
        lanes.store(x1_, a11_ * x1 + a12_ * x2 + b1_ * u);
        lanes.store(x2_, a21_ * x1 + a22_ * x2 + b2_ * u);
        return y;
    }

    // The discrete coefficients (A_d, B_d, C_d, D_d) in use.
    StateSpace<2> discrete() const;
    double samplePeriod() const { return T_; }

protected:
    // Forward Euler discretisation of a continuous system for the period T.
    void setContinuous(const StateSpace<2>& continuous, double T);

private:
    double T_;
    Coefficient a11_, a12_, a21_, a22_;
    Coefficient b1_, b2_;
    Coefficient c1_, c2_, d_;
    DoublePair x1_{}; // one lane per channel
    DoublePair x2_{};
};

} // namespace brimtone
