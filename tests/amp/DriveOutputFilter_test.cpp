#include "LinearResponse.h"
#include "amp/DriveOutputFilter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace brimtone {
namespace {

constexpr double kT44k = 1.0 / 44100.0;

// Gains of the continuous networks (a reference run of the closed formulas) for every
// flavour, with and without Lead, and with Shape and Level moving the 2002 Lead network.
TEST(DriveOutputFilter, ContinuousNetworkGains)
{
    struct Case {
        int ampMode;
        bool lead;
        double shape, level, f, gain;
    };
    const Case cases[] = {
        {2, true, 0.5, 0.5, 20.0, 1.63458747e-05},     {2, true, 0.5, 0.5, 500.0, 9.34752803e-06},
        {2, true, 0.5, 0.5, 10000.0, 1.41720665e-05},  {2, false, 0.5, 0.5, 20.0, 1.15970941e-05},
        {2, false, 0.5, 0.5, 3000.0, 1.38431225e-05},  {1, true, 0.5, 0.5, 500.0, 5.14604956e-06},
        {1, false, 0.5, 0.5, 3000.0, 9.52743552e-06},  {0, true, 0.5, 0.5, 100.0, 2.16815771e-05},
        {0, false, 0.5, 0.5, 10000.0, 3.30158426e-05}, {2, true, 1.0, 0.01, 500.0, 1.01103566e-07},
        {2, true, 0.0, 1.0, 3000.0, 2.70844504e-05},
    };
    for (const Case& c : cases) {
        DriveOutputFilter d;
        d.setCoefficients(c.ampMode, c.lead, c.shape, c.level, kT44k);
        EXPECT_NEAR(test::continuousGain<4>(d.network(), c.f), c.gain, 1e-6 * c.gain)
            << c.ampMode << c.lead << " " << c.shape << " " << c.level << " " << c.f << " Hz";
    }
}

// The one-state section: its discrete response at DC (z = 1) and at Nyquist (z = −1)
// equals the continuous one at s = 0 and s = ∞.
TEST(DriveOutputFilter, OneStateSectionEndsEachChain)
{
    struct Case {
        int ampMode;
        bool lead;
        double dc;
        double top;
        double corner; // −3 dB point of the high-passes, 0 for the shelves
    };
    const Case cases[] = {
        {2, true, 0.0, 1.0, 13.263},          {2, false, 1.0, 0.7407405486, 0.0}, {1, true, 1.0, 1.0, 0.0},
        {1, false, 1.35, 0.99999974061, 0.0}, {0, true, 0.0, 1.0, 24.485},        {0, false, 0.0, 1.0, 17.684},
    };
    for (const Case& c : cases) {
        DriveOutputFilter d;
        const double T = kT44k / 4.0;
        d.setCoefficients(c.ampMode, c.lead, 0.5, 0.5, T);
        const StateSpace<1>& s = d.discreteSection();
        if (!(c.ampMode == 1 && c.lead)) { // a pass-through has its pole at z = 1
            EXPECT_NEAR(std::abs(test::transferAt<1>(s, 1.0)), c.dc, 1e-6) << c.ampMode << c.lead;
        }
        EXPECT_NEAR(std::abs(test::transferAt<1>(s, -1.0)), c.top, 1e-9) << c.ampMode << c.lead;
        if (c.corner > 0.0) {
            EXPECT_NEAR(test::discreteGain<1>(s, c.corner, T), std::sqrt(0.5), 1e-3) << c.ampMode << c.lead;
        }
    }
}

TEST(DriveOutputFilter, SineThroughTheStageFollowsNetworkAndSection)
{
    const double T = kT44k / 16.0;
    for (int ampMode : {0, 1, 2})
        for (bool lead : {false, true}) {
            DriveOutputFilter d;
            d.setCoefficients(ampMode, lead, 0.5, 0.5, T);
            for (double f : {200.0, 2000.0}) {
                const double expected = test::discreteGain<4>(d.discreteNetwork(), f, T)
                                        * test::discreteGain<1>(d.discreteSection(), f, T);
                EXPECT_NEAR(test::measureGain(d, f, T, 1.0, 1, 0.5), expected, expected * 1e-3)
                    << ampMode << lead << " " << f << " Hz";
            }
        }
}

} // namespace
} // namespace brimtone
