#pragma once

#include "dsp/CurveTable.h"

#include <array>

namespace brimtone {

// The self-biasing network of a flavour stage's tube: a 47 kΩ / 1 µF low-pass (pole at
// −21.2766 rad/s, about 3.4 Hz) charged by the grid current. Its state z integrates the
// current that the bias-current curve returns for the stage output and z itself; the
// stage shifts the input of its main curve by z. The curve solves the grid diode's
// implicit equation with the network's direct resistance K, so the per-sample work is
// one look-up.
class FlavorBias {
public:
    static constexpr int kCurvePoints = 1001;

    // The curve's grid only; the owning stage's first update computes everything.
    FlavorBias();
    FlavorBias(const FlavorBias&) = delete;
    FlavorBias& operator=(const FlavorBias&) = delete;

    // The trapezoidal coefficients for the period T and a rebuilt bias-current curve.
    void setSamplePeriod(double T);

    // The next bias state after the stage produced `out` with the bias state z (double for
    // one channel, DoublePair for both).
    template <class V>
    V next(V out, V z) const
    {
        const V i = current_.lookup(kOutputFactor * out + c_ * z);
        return b_ * i + a_ * z;
    }

    // Grid current of the grid-cathode diode (negative when it conducts) for the node
    // voltage v, from the curve.
    const CurveTable& currentCurve() const { return current_; }
    double resistance() const { return K_; }

private:
    static constexpr Coefficient kOutputFactor{-1.0};

    void buildCurrentCurve();

    CurveSamples<kCurvePoints> samples_{};
    CurveTable current_;
    Coefficient a_;
    Coefficient b_;
    Coefficient c_;
    double K_ = 0.0; // resistance seen by the grid current: 10 kΩ plus the discretised network's
};

} // namespace brimtone
