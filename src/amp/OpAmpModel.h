#pragma once

#include <cmath>

namespace brimtone {

// An operational amplifier with finite open-loop gain G whose output saturates softly
// before its rails: out(v) = S·sat((G/S)·v), where sat is the identity between the knees
// k1 < 0 < k2 and a rational curve outside them that keeps slope 1 at the knees and
// approaches ±1, so the output approaches ±S, S = (railHigh − railLow)/2 − 1.63 V.
class OpAmpModel {
public:
    // ±15 V rails, G = 1e6, knees ±0.432831.
    OpAmpModel();

    // Stores the rails and the open-loop gain; the swing S follows the rails.
    void setRails(double low, double high, double gain);
    void setKnees(double low, double high);

    double swing() const { return swing_; }
    double openLoopGain() const { return openLoopGain_; }

    // Open-loop output for the differential input v.
    double output(double v) const;

    // r = S/(K·G): the knee scale of the loop equation for a feedback gain K.
    double loopScale(double K) const { return swing_ / (K * openLoopGain_); }

    // The op-amp output y that satisfies y = out(p − K·y), for a part p of the
    // differential input that does not depend on y, a feedback gain K > 0 and
    // r = loopScale(K). Solved in closed form: with p′ = (p + inputOffset)/K the linear
    // region, the lower and the upper saturation each reduce to a linear or quadratic
    // equation whose root is accepted when it lies in that region. The linear root
    // p′ − y = p′·r/(S + r) crosses a knee exactly where the true solution does, so it
    // also tells which saturated region holds the solution.
    double solve(double p, double K, double r) const
    {
        const double S = swing_;
        const double pp = (p + inputOffset_) / K;

        const double linear = S * pp / (S + r);
        const double linearInput = pp - linear;
        if (kneeLow_ * r <= linearInput && linearInput <= kneeHigh_ * r)
            return linear;

        if (linearInput < kneeLow_ * r) {
            const double b = r * kneeLowTwicePlusOne_ + S - pp;
            const double s = std::sqrt(4.0 * S * (r * kneeLowSquared_ + pp) + b * b);
            const double y1 = (s - b) * 0.5;
            if (pp - y1 < kneeLow_ * r)
                return y1;
            const double y2 = -(s + b) * 0.5;
            if (pp - y2 < kneeLow_ * r)
                return y2;
            // Only on the knee itself, where rounding can put y1 a hair outside the
            // region: y1 is the root that continues the linear one.
            return y1;
        }

        const double b = r * kneeHighOneMinusTwice_ + S + pp;
        const double s = std::sqrt(4.0 * S * (r * kneeHighSquared_ - pp) + b * b);
        const double y1 = (s + b) * 0.5;
        if (pp - y1 > kneeHigh_ * r)
            return y1;
        return (b - s) * 0.5;
    }

private:
    double gainOverSwing_;
    double swing_;
    double kneeLow_;
    double kneeHigh_;
    double kneeLowSquared_;        // k1²
    double kneeLowTwicePlusOne_;   // 2·k1 + 1
    double kneeHighSquared_;       // k2²
    double kneeHighOneMinusTwice_; // 1 − 2·k2
    double railLow_;
    double railHigh_;
    double openLoopGain_;
    double inputOffset_ = 0.0;
};

} // namespace brimtone
