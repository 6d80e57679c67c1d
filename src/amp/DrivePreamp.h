#pragma once

#include "amp/OpAmpStage.h"

namespace brimtone {

// First stage of the Drive and Lead channels: an op-amp with a four-state feedback
// network that depends on the Lead switch and on whether the flavour is 1994.
class DrivePreamp : public OpAmpStage<4> {
public:
    DrivePreamp();

    // lead: Channel is Lead; notMode1994: flavour 2000 or 2002; T: amplifier-path period.
    void setCoefficients(bool lead, bool notMode1994, double T);
};

} // namespace brimtone
