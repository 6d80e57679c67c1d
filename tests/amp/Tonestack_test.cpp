#include "LinearResponse.h"
#include "amp/Tonestack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

namespace brimtone {
namespace {

constexpr double kT44k = 1.0 / 44100.0;

double gainAt(double low, double mid, double high, bool drive, double f)
{
    Tonestack t;
    t.setCoefficients(low, mid, high, drive, kT44k);
    return test::continuousGain<3>(t.network(), f);
}

// Gains of the continuous networks, a reference run of the closed formulas: a matrix entry
// off by 0.1 % moves at least one of them by far more than the tolerance.
TEST(Tonestack, NetworkResponses)
{
    const std::tuple<double, double, double, bool, double, double> cases[]
        = {// Drive/Lead network at noon: the mid scoop of a passive tone stack; each knob lifts its band.
           {0.5, 0.5, 0.5, true, 100.0, 0.657551796},    {0.5, 0.5, 0.5, true, 1000.0, 0.252670917},
           {0.5, 0.5, 0.5, true, 10000.0, 0.577554742},  {1.0, 0.0, 0.0, true, 100.0, 0.744889654},
           {0.0, 1.0, 0.0, true, 1000.0, 0.337163554},   {0.0, 0.0, 1.0, true, 10000.0, 0.947020219},
           {0.5, 0.5, 0.5, false, 20.0, 0.34891474},     {0.5, 0.5, 0.5, false, 500.0, 0.0451367243},
           {0.5, 0.5, 0.5, false, 10000.0, 0.364694072}, {1.0, 1.0, 1.0, false, 10000.0, 0.698565354},
           {0.0, 1.0, 0.0, false, 1000.0, 0.0694625352}};
    for (auto [low, mid, high, drive, f, gain] : cases)
        EXPECT_NEAR(gainAt(low, mid, high, drive, f), gain, 1e-6 * gain)
            << low << " " << mid << " " << high << " " << drive << " " << f << " Hz";
}

// Trapezoidal rule: the discrete response at e^{jωT} is the network's at the prewarped
// frequency tan(ωT/2)·2/T; a sine through the stage measures the discrete response.
TEST(Tonestack, DiscreteStageFollowsTheNetwork)
{
    const double T = kT44k;
    Tonestack t;
    for (bool drive : {false, true}) {
        t.setCoefficients(0.3, 0.6, 0.9, drive, T);
        for (double f : {50.0, 700.0, 5000.0, 15000.0}) {
            const double warped = std::tan(std::numbers::pi * f * T) / (std::numbers::pi * T);
            const double expected = test::continuousGain<3>(t.network(), warped);
            EXPECT_NEAR(test::discreteGain<3>(t.discreteNetwork(), f, T), expected, 1e-9);
            EXPECT_NEAR(test::measureGain(t, f, T, 1.0, 1, 0.5), expected, 1e-3 * expected) << f;
        }
    }
}

// Back to the constructor's settings after a change: recomputed to the same values; and
// each control on its own reaches the coefficients.
TEST(Tonestack, EveryControlReachesTheCoefficients)
{
    Tonestack constructed, t;
    t.setCoefficients(0.1, 0.2, 0.3, false, kT44k);
    EXPECT_NE(t.discreteNetwork().A, constructed.discreteNetwork().A);
    t.setCoefficients(0.5, 0.5, 0.5, true, kT44k);
    EXPECT_EQ(t.discreteNetwork().A, constructed.discreteNetwork().A);
    for (int knob = 0; knob < 5; ++knob) {
        t.setCoefficients(knob == 0 ? 0.6 : 0.5, knob == 1 ? 0.6 : 0.5, knob == 2 ? 0.6 : 0.5, knob != 3,
                          knob == 4 ? kT44k / 16.0 : kT44k);
        const StateSpace<3>& s = t.discreteNetwork();
        EXPECT_TRUE(s.A != constructed.discreteNetwork().A || s.C != constructed.discreteNetwork().C) << knob;
        t.setCoefficients(0.5, 0.5, 0.5, true, kT44k);
    }
}

} // namespace
} // namespace brimtone
