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

// Trapezoidal discretisation of a one-state section (pole p, input gain b, output gain c,
// direct term d).
struct OneState {
    double a;
    double b;
    double c;
    double d;
};

OneState trapezoidal(double pole, double input, double output, double direct, double T)
{
    const double alpha = 2.0 / T;
    return {(alpha + pole) / (alpha - pole), 2.0 * input / (alpha - pole), alpha * output / (alpha - pole),
            output * input / (alpha - pole) + direct};
}

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

TEST(FlavorStage2000, FirstSamplesFollowGainSectionTransferAndBias)
{
    // Lead off, g = 0.5, zero state: s = r_d·u, out = curve(1000·s), z = b_b·T2(−out).
    const double g = 0.5;
    const double n = 1.0 / (14362379700.0 * g * g - 14538620780.0 * g - 3198499771.0);
    const double Q = 1147000943.0 * g * g - 1515182393.0 * g - 333340460.0;
    const OneState r
        = trapezoidal(-1748.251748 * Q * n, 635727272600.0 * g * n, 0.003846153846 * Q * n, -1398599.999 * g * n, kT);
    const double alpha = 2.0 / kT;
    const double ab = (alpha - 21.2766) / (alpha + 21.2766);
    const double bb = 2e6 / (alpha + 21.2766);
    const double cb = alpha / (alpha + 21.2766);

    FlavorStage2000 stage;
    const CurveTable& t2 = stage.bias().currentCurve();
    const double u = 0.12; // x = 1000·s near 0.012, the knee
    const double out1 = stage.transferCurve(1000.0 * r.d * u);
    EXPECT_NEAR(stage.process(u, 0), out1, 1e-12 * std::fabs(out1) + 1e-15);
    const double z1 = bb * t2.lookup(-out1);
    EXPECT_NEAR(stage.biasState(0), z1, 1e-12 * std::fabs(z1) + 1e-30);
    // The other channel is untouched.
    EXPECT_EQ(stage.biasState(1), 0.0);

    // Second sample: the gain section's state and the bias shift come in.
    const double s2 = r.d * u + r.c * (r.b * u);
    const double out2 = stage.transferCurve((z1 * 2.1276595744680852e-05 + s2) * 1000.0);
    EXPECT_NEAR(stage.process(u, 0), out2, 1e-12 * std::fabs(out2) + 1e-15);
    const double z2 = bb * t2.lookup(-out2 + cb * z1) + ab * z1;
    EXPECT_NEAR(stage.biasState(0), z2, 1e-12 * std::fabs(z2) + 1e-30);
}

TEST(FlavorStage2000, LeadRunsThePreSectionAndClipperFirst)
{
    const double g = 0.8;
    const double den = 2.730874258e13 * g - 4.047895548e13;
    const double m = (206383.0 - 106383.0 * g) / den;
    const double rd = trapezoidal(24177954540.0 * m, 1.208897727e15 / den, -53191.5 * m, -2.659575e9 / den, kT).d;
    const double qd = trapezoidal(-666.2228955, -666.1562799, 0.0006661562799, 0.0007660796719, kT).d;

    for (const double u : {0.3, -0.3}) {
        FlavorStage2000 fresh;
        fresh.setCoefficients(g, true, kT);
        const double v = qd * u;
        const double clipped = (v > 0.0 ? 1.0 : -1.0) * fresh.leadClipperCurve().lookup(std::fabs(v));
        const double expected = fresh.transferCurve(1000.0 * rd * clipped);
        EXPECT_NEAR(fresh.process(u, 1), expected, 1e-12 * std::fabs(expected));
    }
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

TEST(FlavorStage2000, HeavyDriveClipsAsymmetricallyAndMovesTheBias)
{
    FlavorStage2000 stage;
    double lo = 0.0;
    double hi = 0.0;
    for (int i = 0; i < 44100; ++i) {
        const double y = stage.process(std::sin(2.0 * std::numbers::pi * 440.0 * i * kT), 0);
        if (i > 22050) {
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
    }
    // Bounded by the curve's two sides, the positive side reaching further.
    EXPECT_GT(hi, 2.0);
    EXPECT_LT(hi, 4.4);
    EXPECT_LT(lo, -1.0);
    EXPECT_GT(lo, -2.3);
    // The grid current has charged the bias network negative.
    EXPECT_LT(stage.biasState(0), -0.1);
}

} // namespace
} // namespace brimtone
