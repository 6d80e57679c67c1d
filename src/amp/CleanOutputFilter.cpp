#include "amp/CleanOutputFilter.h"

namespace brimtone {

void CleanOutputFilter::setCoefficients(double level, bool notMode1994, bool bright, double T)
{
    if (level == level_ && notMode1994 == notMode1994_ && bright == bright_ && T == samplePeriod())
        return;
    level_ = level;
    notMode1994_ = notMode1994;
    bright_ = bright;
    setContinuous(notMode1994 ? highPass(level) : network1994(level, bright), T);
}

// Flavours 2000/2002: g·s/(s − p), a first-order high-pass whose corner and gain follow
// the level potentiometer (the second state is unused).
StateSpace<2> CleanOutputFilter::highPass(double level)
{
    const double L = level;
    const double v = 1.0 / (L * 147.040366 + 6.2841439);
    const double g = (L * 0.0006225429304 - 1.62283959e-14) * 4.545454545 * v;
    const double p = -(L * 146.6866486 + 69.1255829) * 8.79198347 * v;
    StateSpace<2> s;
    s.A = {{{p, 0.0}, {0.0, 0.0}}};
    s.B = {p, 0.0};
    s.C = {g, 0.0};
    s.D = g;
    return s;
}

// Flavour 1994: level potentiometer and the treble-bypass resistor R (125 Ω with Bright,
// otherwise an effectively open 1 MΩ) solved symbolically into a two-state network.
StateSpace<2> CleanOutputFilter::network1994(double level, bool bright)
{
    constexpr double kBrightResistor = 125.0;
    constexpr double kNoBrightResistor = 1e6;
    const double L = level;
    const double R = bright ? kBrightResistor : kNoBrightResistor;
    const double K = R * 3223724049.0 + 2.22437e14;
    const double w
        = 1.0
          / ((R * 7.166608058e+24 + 1.890221093e+29) * (3.0 * L) + (R * 1.837698706e+20 + 4.065760088e+24) * 50000.0);
    const double a11 = -1.06383e7 * w * (L * 1.209678e10 * K + R * 1.837698706e+20 + 4.065760088e+24);
    const double a12 = -1.94983403e+31 * L * w;
    const double a21 = -8.862881954e+33 * L * w;
    const double a22 = -4.132227272e13 * w * (L * 2.364983024e+20 + 1.010735299e+20);
    const double c1 = 64344587330.0 * L * K * w;
    const double c2 = 9.164218108e+19 * w * (L * 106383.0 + 50000.0);
    StateSpace<2> s;
    s.A = {{{a11, a12}, {a21, a22}}};
    s.B = {a11, a21};
    s.C = {c1, c2};
    s.D = c1;
    return s;
}

} // namespace brimtone
