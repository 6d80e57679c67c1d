#include "LinearResponse.h"
#include "amp/CleanOutputFilter.h"
#include "amp/InputFilter.h"

#include <gtest/gtest.h>

namespace brimtone {
namespace {

constexpr double kT44k = 1.0 / 44100.0;

void expectCoefficients(const StateSpace<2>& s, const StateSpace<2>& expected, double tolerance)
{
    for (std::size_t i = 0; i < 2; ++i) {
        for (std::size_t j = 0; j < 2; ++j)
            EXPECT_NEAR(s.A[i][j], expected.A[i][j], tolerance) << i << "," << j;
        EXPECT_NEAR(s.B[i], expected.B[i], tolerance) << i;
        EXPECT_NEAR(s.C[i], expected.C[i], tolerance) << i;
    }
    EXPECT_NEAR(s.D, expected.D, tolerance);
}

TEST(TwoStateFilter, StartsWithThe1994InputResponseAt44k)
{
    StateSpace<2> initial;
    initial.A = {{{0.9978302751290249, 0.00485606662585034}, {-0.00702579149659864, 0.9927499811836735}}};
    initial.B = {-0.002169724870975057, -0.00702579149659864};
    initial.C = {3.880869869, 4.036642265};
    initial.D = 3.880869869;
    expectCoefficients(InputFilter().discrete(), initial, 0.0);
    expectCoefficients(CleanOutputFilter().discrete(), initial, 0.0);

    InputFilter f;
    f.setCoefficients(true, kT44k);
    f.setCoefficients(false, kT44k);
    expectCoefficients(f.discrete(), initial, 1e-17);
}

// The flavour groups' networks at 16x (a reference run: about 0.16 / 0.36 at 10 Hz,
// 3.87 / 3.54 at 100 Hz, 3.88 / 4.14 in the pass band); a sine through the Euler recurrence
// measures the same.
TEST(InputFilter, GainsOfBothFlavourGroups)
{
    const double T = kT44k / 16.0;
    const double gains[2][3] = {{0.158750655, 3.87017783, 3.88306032}, {0.358465946, 3.54054807, 4.13802259}};
    for (bool notMode1994 : {false, true}) {
        InputFilter f;
        f.setCoefficients(notMode1994, T);
        int k = 0;
        for (double frequency : {10.0, 100.0, 1000.0}) {
            const double gain = gains[notMode1994][k++];
            EXPECT_NEAR(test::discreteGain<2>(f.discrete(), frequency, T), gain, 1e-6 * gain) << frequency;
            EXPECT_NEAR(test::measureGain(f, frequency, T), gain, 2e-3 * gain) << frequency;
        }
    }
}

TEST(CleanOutputFilter, LevelAndBrightShapeTheResponse)
{
    const double T = kT44k / 16.0;
    CleanOutputFilter f;
    const auto gain = [&](double level, bool notMode1994, bool bright, double frequency) {
        f.setCoefficients(level, notMode1994, bright, T);
        return test::discreteGain<2>(f.discrete(), frequency, T);
    };
    // Flavours 2000/2002: a first-order high-pass, corner 2.5 Hz at half level.
    EXPECT_NEAR(gain(0.5, true, false, 1000.0), 1.77293848e-05, 1e-6 * 1.77293848e-05);
    EXPECT_NEAR(gain(0.5, true, false, 2.499), 1.77293848e-05 / std::sqrt(2.0), 1e-3 * 1.77293848e-05);
    EXPECT_NEAR(gain(1.0, true, false, 1000.0), 1.8456018e-05, 1e-6 * 1.8456018e-05);
    // Flavour 1994: Bright lifts the treble, the bass is nearly unchanged.
    EXPECT_NEAR(gain(0.5, false, false, 20.0), 3.94970482e-06, 1e-6 * 3.94970482e-06);
    EXPECT_NEAR(gain(0.5, false, false, 10000.0), 5.42860583e-06, 1e-6 * 5.42860583e-06);
    EXPECT_NEAR(test::measureGain(f, 10000.0, T), 5.42860583e-06, 2e-3 * 5.42860583e-06);
    EXPECT_NEAR(gain(0.5, false, true, 20.0), 3.93752834e-06, 1e-6 * 3.93752834e-06);
    EXPECT_NEAR(gain(0.5, false, true, 10000.0), 1.42384755e-05, 1e-6 * 1.42384755e-05);
}

} // namespace
} // namespace brimtone
