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

std::vector<double> testSignal(int n)
{
    std::vector<double> u(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        u[static_cast<std::size_t>(i)] = 0.05 * std::sin(0.07 * i) + 0.02 * std::sin(0.31 * i);
    return u;
}

TEST(FlavorStage2000, QuadraticContinuationsMeetTheTransferCurveAtThree)
{
    const FlavorStage2000 stage;
    EXPECT_NEAR(stage.transferCurve(-3.0), 4.3474793, 1e-7);
    EXPECT_NEAR(stage.transferCurve(-3.0 + 1e-9), 4.34186376, 1e-7);
    EXPECT_NEAR(stage.transferCurve(3.0), -2.2282739, 1e-7);
    EXPECT_NEAR(stage.transferCurve(3.0 - 1e-9), -2.22743985, 1e-7);
    EXPECT_LT(std::fabs(stage.transferCurve(-3.0) - stage.transferCurve(-3.0 + 1e-9)), 0.006);
    EXPECT_LT(std::fabs(stage.transferCurve(3.0) - stage.transferCurve(3.0 - 1e-9)), 0.006);
    // Beyond the grid the continuations take over.
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

TEST(FlavorStage2000, BiasCurrentCurveSolvesTheGridDiode)
{
    const FlavorStage2000 stage;
    const double alpha = 2.0 / kT;
    const double K = 1e6 / (alpha + 21.2766) + 10000.0;
    EXPECT_DOUBLE_EQ(stage.bias().resistance(), K);

    const CurveTable& curve = stage.bias().currentCurve();
    // Reverse biased: the saturation current.
    EXPECT_NEAR(curve.samples()[0], kIs, 1e-6 * kIs);
    // Conducting: the node voltage divides between K and the diode, I = −Is·(exp(x/Vt) − 1).
    for (const int i : {500, 800, 1000}) {
        const double v = -1.0 + 0.007 * i;
        const double current = curve.samples()[i];
        const double x = v + K * current;
        EXPECT_GT(x, 0.2);
        EXPECT_LT(x, 0.8);
        const double diode = -kIs * (std::exp(x * kInverseVt) - 1.0);
        EXPECT_NEAR(current, diode, 0.01 * std::fabs(current)) << "at v = " << v;
    }
    EXPECT_DOUBLE_EQ(curve.slopeAbove(), (curve.samples()[1000] - curve.samples()[999]) * 142.85714285714286);
}

// F: the clipping network's curve made odd and continued by its asymptote beyond 8.
double network(double x)
{
    const double a = std::fabs(x);
    const double m = a <= 8.0 ? tables::flavorClipNetwork2000Curve.lookup(a) : a * 0.5290064744 - 2.15072618204251;
    return x > 0.0 ? m : (x < 0.0 ? -m : 0.0);
}

TEST(FlavorStage2000, LeadClipperCurveSolvesTheClippingNetwork)
{
    const double g = 0.7;
    FlavorStage2000 stage;
    stage.setCoefficients(g, true, kT);
    const CurveTable& t3 = stage.leadClipperCurve();
    EXPECT_EQ(t3.samples()[0], 0.0);
    for (int i = 1; i <= 512; i += 37) {
        const double v = i * 0.02 / 512.0;
        const double x = t3.samples()[i];
        const auto f = [&](double y) { return y + 10000.0 * g * (v + network(y)); };
        // The root lies within the bisection's final interval around x.
        EXPECT_LE(f(x - 0.0001), 0.0) << "at v = " << v;
        EXPECT_GE(f(x + 0.0001), 0.0) << "at v = " << v;
        // Inverting, and held near the network's conduction voltage.
        EXPECT_LT(x, 0.0);
        EXPECT_GT(x, -4.0);
    }
}

TEST(FlavorStage2000, LeadClipperIsBuiltOnlyWhileLeadIsOn)
{
    FlavorStage2000 stage;
    const CurveTable& t3 = stage.leadClipperCurve();
    const auto samplesNow = [&] { return std::vector<double>(t3.samples(), t3.samples() + t3.count()); };
    EXPECT_EQ(samplesNow(), std::vector<double>(513, 0.0));

    stage.setCoefficients(0.3, true, kT);
    const std::vector<double> builtAt03 = samplesNow();
    EXPECT_NE(builtAt03, std::vector<double>(513, 0.0));

    stage.setCoefficients(0.8, false, kT);
    stage.setCoefficients(0.8, false, kT / 4.0);
    EXPECT_EQ(samplesNow(), builtAt03);

    stage.setCoefficients(0.8, true, kT);
    EXPECT_NE(samplesNow(), builtAt03);
}

TEST(FlavorStage2000, UnchangedInputsLeaveTablesCoefficientsAndState)
{
    const std::vector<double> u = testSignal(4000);
    FlavorStage2000 a;
    FlavorStage2000 b;
    a.setCoefficients(0.6, true, kT / 4.0);
    b.setCoefficients(0.6, true, kT / 4.0);
    for (std::size_t i = 0; i < 2000; ++i) {
        a.process(u[i], 0);
        b.process(u[i], 0);
    }
    const std::vector<double> t3(a.leadClipperCurve().samples(), a.leadClipperCurve().samples() + 513);
    a.setCoefficients(0.6, true, kT / 4.0);
    a.setCoefficients(0.6, true, kT / 4.0);
    EXPECT_EQ(std::vector<double>(a.leadClipperCurve().samples(), a.leadClipperCurve().samples() + 513), t3);
    for (std::size_t i = 2000; i < u.size(); ++i)
        ASSERT_EQ(a.process(u[i], 0), b.process(u[i], 0)) << "at sample " << i;
    EXPECT_EQ(a.biasState(0), b.biasState(0));
}

} // namespace
} // namespace brimtone
