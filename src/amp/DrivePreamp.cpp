#include "amp/DrivePreamp.h"

namespace brimtone {

namespace {

// Lead switches a 125 Ω path into the network; otherwise it is an open 10 MΩ.
constexpr double kLeadResistor = 125.0;
constexpr double kNoLeadResistor = 1e7;

} // namespace

DrivePreamp::DrivePreamp() { setCoefficients(false, false, 1.0 / 44100.0); }

void DrivePreamp::setCoefficients(bool lead, bool notMode1994, double T)
{
    // V scales the fourth state (a capacitor that differs between the flavours).
    const double V = notMode1994 ? 1e7 : 66666666.66666667;
    const double Q = 1561.499 / (lead ? kLeadResistor : kNoLeadResistor);

    StateSpace<4> s;
    s.A[0] = {-215393.4365, 202020.303, 12972.1763, 214992.4793};
    s.A[1] = {3030.304544, -3030.304544, 0.0, -3030.304544};
    s.A[2] = {2853.87879, 0.0, -5707.75758, -5707.75758};
    s.A[3] = {0.0007094751818 * V, -0.000666667 * V, -8.56163637e-05 * V, -0.0006404102724 * V * (Q + 1.176251219)};
    s.B = {214992.4793, -3030.304544, -5707.75758, -0.0007522833637 * V};
    s.C = {-1.0, 0.0, 0.0, 0.0};
    s.D = 1.0;
    setNetwork(s, T);
}

} // namespace brimtone
