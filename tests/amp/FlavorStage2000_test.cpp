#include "LinearResponse.h"
#include "amp/FlavorStage2000.h"
#include "amp/tables/FlavorCurves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace brimtone {
namespace {

constexpr double kT = 1.0 / 44100.0;
constexpr double kIs = 6.2229e-9;
constexpr double kInverseVt = 20.123137503008405;

TEST(FlavorStage2000, QuadraticContinuationsMeetTheTransferCurveAtThree)
{
    const FlavorStage2000 stage;
    EXPECT_NEAR(stage.transferCurve(-3.0), 4.3474793, 1e-7);
    EXPECT_NEAR(stage.transferCurve(-3.0 + 1e-9), 4.34186376, 1e-7);
    EXPECT_NEAR(stage.transferCurve(3.0), -2.2282739, 1e-7);
    EXPECT_NEAR(stage.transferCurve(3.0 - 1e-9), -2.22743985, 1e-7);
    EXPECT_LT(std::fabs(stage.transferCurve(-3.0) - stage.transferCurve(-3.0 + 1e-9)), 0.006);
    EXPECT_LT(std::fabs(stage.transferCurve(3.0) - stage.transferCurve(3.0 - 1e-9)), 0.006);
    EXPECT_NEAR(stage.transferCurve(-10.0), 0.4304433 + 2.419308 + 3.582947, 1e-12);
    EXPECT_NEAR(stage.transferCurve(10.0), -0.4140866 - 1.694417 - 1.682681, 1e-12);
}

// Reference figures of the whole stage (gain section, Lead pre-section and clipper,
// transfer curve with its continuations, bias loop).
TEST(FlavorStage2000, SettledOutputReferenceFigures)
{
    FlavorStage2000 plain;
    plain.setCoefficients(0.5, false, kT);
    test::expectSettled(test::settledOutput(plain, 0.05, 440.0, kT, 44100), 0.124618348207, 0.433542529598);
    FlavorStage2000 lead;
    lead.setCoefficients(0.7, true, kT / 4.0);
    test::expectSettled(test::settledOutput(lead, 0.3, 440.0, kT / 4.0, 2 * 44100), 0.919796928027, 2.49139429645);
    FlavorStage2000 hot;
    test::expectSettled(test::settledOutput(hot, 1.0, 440.0, kT, 44100), 0.936923517907, 2.37970781699);
}

} // namespace
} // namespace brimtone
