#include "amp/CleanLevelAmp.h"

namespace brimtone {

CleanLevelAmp::CleanLevelAmp() { setCoefficients(0.5, 1.0 / 44100.0); }

void CleanLevelAmp::setCoefficients(double level, double T)
{
    const double L = level;
    const double r = 1.0 / (101.0 - 100.0 * L);
    StateSpace<2> s;
    s.A = {{{(L * 6.66667e7 - 167333367.0) * 0.1785714285 * r, 17857142.85 * r}, {454.5454545 * r, -454.5454545 * r}}};
    s.B = {17857142.85 * r, -454.5454545 * r};
    s.C = {-1.0, 0.0};
    s.D = 1.0;
    setNetwork(s, T);
}

} // namespace brimtone
