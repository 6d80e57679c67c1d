#pragma once

#include "amp/StateSpace.h"

namespace brimtone {

// Discrete two-state recurrence shared by InputFilter and CleanOutputFilter:
//   y = c1·x1 + c2·x2 + d·u,  x1 ← a11·x1 + a12·x2 + b1·u,  x2 ← a21·x1 + a22·x2 + b2·u
// (both updates from the old state). Coefficients are shared by the two channels; each
// channel keeps its own state.
class TwoStateFilter {
public:
    // Starts with the 1994 input-filter response at 44.1 kHz and zero state.
    TwoStateFilter();

    double process(double u, int channel)
    {
        double& x1 = x1_[channel];
        double& x2 = x2_[channel];
        const double y = c1_ * x1 + c2_ * x2 + d_ * u;
        const double n1 = a11_ * x1 + a12_ * x2 + b1_ * u;
        const double n2 = a21_ * x1 + a22_ * x2 + b2_ * u;
        x1 = n1;
        x2 = n2;
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
    double a11_, a12_, a21_, a22_;
    double b1_, b2_;
    double c1_, c2_, d_;
    double x1_[2] = {0.0, 0.0};
    double x2_[2] = {0.0, 0.0};
};

} // namespace brimtone
