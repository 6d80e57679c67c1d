#include "LinearResponse.h"
#include "amp/FlavorStage1994.h"
#include "amp/tables/FlavorCurves.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

namespace brimtone {
namespace {

constexpr double kT = 1.0 / 44100.0;
constexpr double kInverseVt = 20.123137503008405;

TEST(FlavorStage1994, ClipperCurveSolvesTheAntiparallelDiodes)
{
    const FlavorStage1994 stage;
    const CurveTable& u3 = stage.clipperCurve();
    ASSERT_EQ(u3.count(), 3001);
    for (int i = 0; i <= 3000; i += 97) {
        const double V = i * 16.0 / 3000.0;
        const double x = u3.samples()[i];
        const double e = std::exp(x * kInverseVt);
        EXPECT_NEAR((e - 1.0 / e) * 6.2229e-06 + x, V, 1e-6) << "at V = " << V;
    }
    // Small inputs pass, large ones are held near 0.73 V.
    EXPECT_NEAR(u3.lookup(0.05), 0.05, 1e-4);
    EXPECT_NEAR(u3.lookup(16.0), 0.731, 0.002);
}

// Reference figures of the whole stage (clipper, high-pass, transfer curve, bias loop): a
// small drive at the host rate and a heavy one at 4x.
TEST(FlavorStage1994, SettledOutputReferenceFigures)
{
    FlavorStage1994 small;
    small.setCoefficients(0.35, kT);
    test::expectSettled(test::settledOutput(small, 0.3, 440.0, kT, 44100), 0.878742750074, 2.42604150399);
    FlavorStage1994 heavy;
    heavy.setCoefficients(0.8, kT / 4.0);
    test::expectSettled(test::settledOutput(heavy, 3.0, 440.0, kT / 4.0, 2 * 44100), 0.949414133467, 2.70375520446);
}

} // namespace
} // namespace brimtone
