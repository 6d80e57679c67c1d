#pragma once

#include "amp/DisplayBlock.h"
#include "amp/TwoStateFilter.h"

namespace brimtone {

// The output network of the Clean channel, shaped by the Level control: a first-order
// high-pass for flavours 2000 and 2002; for 1994 a two-state network whose treble
// depends on the Bright switch. Discretised by forward Euler.
class CleanOutputFilter : public TwoStateFilter {
public:
    CleanOutputFilter() = default;

    // level: Level taper value 0..1; notMode1994: flavour 2000 or 2002; bright: the
    // Bright switch; T: the amplifier-path period. Nothing is recomputed when all four
    // equal those of the previous call.
    void setCoefficients(double level, bool notMode1994, bool bright, double T);

    // Copies the discrete coefficients into the display block (display analysis).
    void refreshDisplayBlock() { display_.assign(discrete()); }
    const DisplayBlock<2>& displayBlock() const { return display_; }

private:
    static StateSpace<2> highPass(double level);
    static StateSpace<2> network1994(double level, bool bright);

    // Inputs of the last computation (the period is the base's); the level starts out
    // of range so that the first call always computes.
    double level_ = -1.0;
    bool notMode1994_ = false;
    bool bright_ = false;

    DisplayBlock<2> display_;
};

} // namespace brimtone
