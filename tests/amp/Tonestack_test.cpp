#include "LinearResponse.h"
#include "amp/Tonestack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

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
    struct Case {
        double low, mid, high;
        bool drive;
        double f, gain;
    };
    const Case cases[] = {
        // Drive/Lead network at noon: the mid scoop of a passive tone stack; each knob lifts its band.
        {0.5, 0.5, 0.5, true, 100.0, 0.657551796},
        {0.5, 0.5, 0.5, true, 1000.0, 0.252670917},
        {0.5, 0.5, 0.5, true, 10000.0, 0.577554742},
        {1.0, 0.0, 0.0, true, 100.0, 0.744889654},
        {0.0, 1.0, 0.0, true, 1000.0, 0.337163554},
        {0.0, 0.0, 1.0, true, 10000.0, 0.947020219},
        // Clean network.
        {0.5, 0.5, 0.5, false, 20.0, 0.34891474},
        {0.5, 0.5, 0.5, false, 500.0, 0.0451367243},
        {0.5, 0.5, 0.5, false, 10000.0, 0.364694072},
        {1.0, 1.0, 1.0, false, 10000.0, 0.698565354},
        {0.0, 1.0, 0.0, false, 1000.0, 0.0694625352},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(gainAt(c.low, c.mid, c.high, c.drive, c.f), c.gain, 1e-6 * c.gain)
            << c.low << " " << c.mid << " " << c.high << " " << c.drive << " " << c.f << " Hz";
}

TEST(Tonestack, PassiveNetworksNeverAmplify)
{
    for (bool drive : {false, true})
        for (double low : {0.0, 0.3, 1.0})
            for (double mid : {0.0, 0.5, 1.0})
                for (double high : {0.0, 0.7, 1.0})
                    for (double f = 20.0; f < 22050.0; f *= 1.25)
                        EXPECT_LT(gainAt(low, mid, high, drive, f), 1.0) << drive << low << mid << high << f;
}

TEST(Tonestack, LowAtZeroActsAsTheSmallestPosition)
{
    for (bool drive : {false, true}) {
        Tonestack zero;
        zero.setCoefficients(0.0, 0.2, 0.8, drive, kT44k);
        Tonestack minimum;
        minimum.setCoefficients(0.001, 0.2, 0.8, drive, kT44k);
        EXPECT_EQ(zero.network().A, minimum.network().A);
        EXPECT_EQ(zero.discreteNetwork().A, minimum.discreteNetwork().A);
        EXPECT_TRUE(std::isfinite(zero.process(1.0, 0)));
    }
}

TEST(Tonestack, CleanDirectTermHasItsOwnDenominator)
{
    Tonestack t;
    t.setCoefficients(0.4, 0.0, 1.0, false, kT44k);
    EXPECT_DOUBLE_EQ(t.network().D, 2e6 / 2.01e6);
    t.setCoefficients(0.4, 0.5, 0.5, true, kT44k);
    EXPECT_DOUBLE_EQ(t.network().D, (10.0 + 5.5) / 25.5);
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

TEST(Tonestack, CachingAndSamplePeriod)
{
    Tonestack constructed;
    Tonestack t;
    // Back to the constructor's settings after a change: recomputed to the same values.
    t.setCoefficients(0.1, 0.2, 0.3, false, kT44k);
    EXPECT_NE(t.discreteNetwork().A, constructed.discreteNetwork().A);
    t.setCoefficients(0.5, 0.5, 0.5, true, kT44k);
    EXPECT_EQ(t.discreteNetwork().A, constructed.discreteNetwork().A);
    EXPECT_EQ(t.discreteNetwork().D, constructed.discreteNetwork().D);

    // A new period alone re-discretises the same network.
    const StateSpace<3> network = t.network();
    t.setCoefficients(0.5, 0.5, 0.5, true, kT44k / 16.0);
    EXPECT_EQ(t.network().A, network.A);
    const StateSpace<3> expected = discretiseBilinear<3>(network, kT44k / 16.0, ProductOrder::InverseRight);
    EXPECT_EQ(t.discreteNetwork().A, expected.A);
    EXPECT_EQ(t.discreteNetwork().C, expected.C);

    // Each control reaches the coefficients.
    for (int knob = 0; knob < 4; ++knob) {
        Tonestack u;
        u.setCoefficients(knob == 0 ? 0.6 : 0.5, knob == 1 ? 0.6 : 0.5, knob == 2 ? 0.6 : 0.5, knob != 3, kT44k);
        EXPECT_TRUE(u.network().A != constructed.network().A || u.network().C != constructed.network().C) << knob;
    }
}

TEST(Tonestack, DisplayBlockCopiesTheDiscreteCoefficients)
{
    Tonestack t;
    t.setCoefficients(0.2, 0.7, 0.4, false, kT44k);
    t.refreshDisplayBlock();
    const DisplayBlock<3>& b = t.displayBlock();
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            EXPECT_EQ(b.a(i, j), std::complex<float>(static_cast<float>(t.discreteNetwork().A[i][j]), 0.0f));
    EXPECT_EQ(b.A[2].real(), static_cast<float>(t.discreteNetwork().A[2][0]));
    EXPECT_EQ(b.B[1].real(), static_cast<float>(t.discreteNetwork().B[1]));
    EXPECT_EQ(b.D.real(), static_cast<float>(t.discreteNetwork().D));
}

} // namespace
} // namespace brimtone
