#pragma once

#include "dsp/Lanes.h"

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
    double solve(double p, double K, double r) const { return solve(p, loopConstants(K, r)); }

    // The constants of the loop equation for one K (and r), as `solve` uses them.
    struct Loop {
        Coefficient gain;      // K
        Coefficient swing;     // S
        Coefficient fourSwing; // 4·S
        Coefficient inputOffset;
        Coefficient swingPlusScale; // S + r
        Coefficient kneeLowScaled;  // k1·r
        Coefficient kneeHighScaled; // k2·r
        Coefficient lowerOffset;    // r·(2·k1 + 1) + S
        Coefficient lowerSquare;    // r·k1²
        Coefficient upperOffset;    // r·(1 − 2·k2) + S
        Coefficient upperSquare;    // r·k2²
    };

    Loop loopConstants(double K, double r) const
    {
        const double S = swing_;
        return {K,
                S,
                4.0 * S,
                inputOffset_,
                S + r,
                kneeLow_ * r,
                kneeHigh_ * r,
                r * kneeLowTwicePlusOne_ + S,
                r * kneeLowSquared_,
                r * kneeHighOneMinusTwice_ + S,
                r * kneeHighSquared_};
    }

    // p is double (one channel) or DoublePair (both channels): the linear root when it holds
    // in every lane, otherwise every case is computed and each lane takes its own.
    template <class V>
    V solve(V p, const Loop& loop) const
    {
        const V pp = (p + loop.inputOffset) / lanesOf<V>(loop.gain);
        const V linear = loop.swing * pp / lanesOf<V>(loop.swingPlusScale);
        const V linearInput = pp - linear;
        const V kneeLow = lanesOf<V>(loop.kneeLowScaled);
        const V kneeHigh = lanesOf<V>(loop.kneeHighScaled);
        const auto inLinear = bothOf(kneeLow <= linearInput, linearInput <= kneeHigh);
        if (allOf(inLinear))
            return linear;

        // Lower saturation: the root that continues the linear one, else the other; on the
        // knee itself, where rounding can put both a hair outside the region, the first.
        const V half = broadcast<V>(0.5);
        const V bLow = lanesOf<V>(loop.lowerOffset) - pp;
        const V sLow = squareRoot(loop.fourSwing * (pp + loop.lowerSquare) + bLow * bLow);
        const V y1Low = (sLow - bLow) * half;
        const V y2Low = -(sLow + bLow) * half;
        const V lower = select(pp - y1Low < kneeLow, y1Low, select(pp - y2Low < kneeLow, y2Low, y1Low));

        // Upper saturation (also where the linear root is not a number).
        const V bHigh = pp + loop.upperOffset;
        const V sHigh = squareRoot(loop.fourSwing * (lanesOf<V>(loop.upperSquare) - pp) + bHigh * bHigh);
        const V y1High = (sHigh + bHigh) * half;
        const V upper = select(pp - y1High > kneeHigh, y1High, (bHigh - sHigh) * half);

        return select(inLinear, linear, select(linearInput < kneeLow, lower, upper));
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
