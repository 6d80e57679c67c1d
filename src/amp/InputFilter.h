#pragma once

#include "amp/TwoStateFilter.h"

namespace brimtone {

// The input coupling network every channel except Bypass applies first: a second-order
// high-pass with a pass-band gain of about 3.88 (flavour 1994) or 4.14 (2000 and 2002),
// discretised by forward Euler.
class InputFilter : public TwoStateFilter {
public:
    InputFilter() = default;

    // notMode1994: the amplifier flavour is 2000 or 2002. T: the amplifier-path period.
    void setCoefficients(bool notMode1994, double T);
};

} // namespace brimtone
