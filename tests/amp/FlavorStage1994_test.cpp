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

TEST(FlavorStage1994, TransferCurveSolvesTheLoadLine)
{
    for (const double g : {0.2, 0.5, 0.9}) {
        FlavorStage1994 stage;
        stage.setCoefficients(g, kT);
        const CurveTable& u4 = stage.transferCurve();
        for (int i = 0; i <= 1000; i += 53) {
            const double v = -1.5 + 0.003 * i;
            const double x = u4.samples()[i];
            const auto f
                = [&](double y) { return y + 250.0 * g * v + 250000.0 * g * tables::flavorDevice1994Curve.lookup(y); };
            EXPECT_LE(f(x - 1e-6), 0.0) << "g = " << g << ", v = " << v;
            EXPECT_GE(f(x + 1e-6), 0.0) << "g = " << g << ", v = " << v;
        }
    }
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

TEST(FlavorStage1994, InputsBeyondSixteenAreClippedAsSixteen)
{
    for (const double sign : {1.0, -1.0}) {
        FlavorStage1994 atLimit;
        FlavorStage1994 beyond;
        for (int i = 0; i < 50; ++i)
            ASSERT_EQ(atLimit.process(sign * 16.0, 0), beyond.process(sign * (20.0 + i), 0));
    }
}

TEST(FlavorStage1994, ClipperIsOddInTheInput)
{
    // Before the high-pass the stage sees sign(u)·U3(|u|); with a fresh state the
    // high-pass output of the first sample is h_d times that, so the transfer curve reads
    // mirrored inputs.
    const double hd = 1.0 - 1000.0 / (2.0 / kT + 1000.0);
    for (const double u : {0.2, 1.0, 7.5}) {
        FlavorStage1994 up;
        FlavorStage1994 down;
        const CurveTable& u4 = up.transferCurve();
        const double v = up.clipperCurve().lookup(u);
        EXPECT_NEAR(up.process(u, 0), u4.lookup(hd * v), 1e-12);
        EXPECT_NEAR(down.process(-u, 0), u4.lookup(-hd * v), 1e-12);
    }
}

TEST(FlavorStage1994, InstancesOnTwoThreadsShareOneClipperCurve)
{
    // Construct on two threads released at the same moment; the shared curve is computed
    // once (run under ThreadSanitizer to see that there is no race).
    std::atomic<int> ready{0};
    const double* samples[2] = {};
    std::vector<double> values[2];
    auto construct = [&](int k) {
        ready.fetch_add(1);
        while (ready.load() < 2) {
        }
        const FlavorStage1994 stage;
        samples[k] = stage.clipperCurve().samples();
        values[k].assign(samples[k], samples[k] + 3001);
    };
    std::thread first(construct, 0);
    std::thread second(construct, 1);
    first.join();
    second.join();
    EXPECT_EQ(samples[0], samples[1]);
    EXPECT_EQ(values[0], values[1]);
    const FlavorStage1994 later;
    EXPECT_EQ(later.clipperCurve().samples(), samples[0]);
}

TEST(FlavorStage1994, UnchangedInputsLeaveTablesCoefficientsAndState)
{
    FlavorStage1994 a;
    FlavorStage1994 b;
    a.setCoefficients(0.35, kT / 16.0);
    b.setCoefficients(0.35, kT / 16.0);
    const auto signal = [](int i) { return 0.3 * std::sin(0.011 * i) + 0.1 * std::sin(0.13 * i); };
    for (int i = 0; i < 3000; ++i) {
        a.process(signal(i), 1);
        b.process(signal(i), 1);
    }
    const std::vector<double> u4(a.transferCurve().samples(), a.transferCurve().samples() + 1001);
    a.setCoefficients(0.35, kT / 16.0);
    EXPECT_EQ(std::vector<double>(a.transferCurve().samples(), a.transferCurve().samples() + 1001), u4);
    for (int i = 3000; i < 6000; ++i)
        ASSERT_EQ(a.process(signal(i), 1), b.process(signal(i), 1)) << "at sample " << i;
    EXPECT_EQ(a.biasState(1), b.biasState(1));
}

TEST(FlavorStage1994, MoreGainSteepensTheTransferCurve)
{
    // Small-signal slope −250·g/(1 + 250000·g·U1′) with U1′ ≈ 8.6e-6 in the flat part.
    FlavorStage1994 stage;
    const CurveTable& u4 = stage.transferCurve();
    const double slopeAtHalf = (u4.lookup(0.003) - u4.lookup(-0.003)) / 0.006;
    stage.setCoefficients(0.9, kT);
    const double slopeAt09 = (u4.lookup(0.003) - u4.lookup(-0.003)) / 0.006;
    EXPECT_NEAR(slopeAtHalf, -125.0 / (1.0 + 125000.0 * 8.6e-6), 3.0);
    EXPECT_NEAR(slopeAt09, -225.0 / (1.0 + 225000.0 * 8.6e-6), 3.0);
}

} // namespace
} // namespace brimtone
