#pragma once

#include "amp/OpAmpStage.h"

namespace brimtone {

// The Clean channel's level amplifier after the tonestack: an op-amp whose two-state
// feedback network contains the Level potentiometer.
class CleanLevelAmp : public OpAmpStage<2> {
public:
    CleanLevelAmp();

    // level: Level taper value 0..1; T: amplifier-path period.
    void setCoefficients(double level, double T);
};

} // namespace brimtone
