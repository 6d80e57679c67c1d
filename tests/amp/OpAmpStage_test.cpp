#include "LinearResponse.h"
#include "amp/CleanLevelAmp.h"
#include "amp/DrivePreamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace brimtone {
namespace {

constexpr double kT44k = 1.0 / 44100.0;
constexpr double kSwing = 14.37;
constexpr double kGain = 200000.0;
constexpr double kKnee = 0.433003;

TEST(OpAmpModel, OutputSaturatesSmoothlyTowardsTheSwing)
{
    OpAmpModel m;
    EXPECT_DOUBLE_EQ(m.swing(), 13.37); // ±15 V rails
    m.setRails(-16.0, 16.0, kGain);
    m.setKnees(-kKnee, kKnee);
    EXPECT_DOUBLE_EQ(m.swing(), kSwing);

    // Linear with gain G between the knees, continuous with slope G at them.
    const double vKnee = kKnee * kSwing / kGain;
    EXPECT_DOUBLE_EQ(m.output(0.5 * vKnee), 0.5 * vKnee * kGain);
    for (double v : {vKnee, -vKnee}) {
        const double h = 1e-6 * vKnee;
        EXPECT_NEAR(m.output(v + h) - m.output(v), h * kGain, 1e-6 * h * kGain);
        EXPECT_NEAR(m.output(v) - m.output(v - h), h * kGain, 1e-6 * h * kGain);
    }
    EXPECT_NEAR(m.output(1.0), kSwing, 0.01);
    EXPECT_LT(m.output(1.0), kSwing);
    EXPECT_NEAR(m.output(-1.0), -kSwing, 0.01);
    EXPECT_GT(m.output(-1.0), -kSwing);
}

// The closed-form solution satisfies the loop equation y = out(p − K·y) everywhere, and
// its three cases meet at the knees.
TEST(OpAmpModel, ExactLoopSolution)
{
    DrivePreamp stage;
    // Beyond the knees the output bends: w = ±0.6 gives ±S·(0.6 − k²)/(1.6 − 2k).
    for (double sign : {1.0, -1.0})
        EXPECT_NEAR(stage.output(sign * 0.6 * kSwing / kGain), sign * 8.07601388650407, 1e-9);
    for (double K : {0.4097136944662836, 0.011531162865722644, 1.0}) {
        const double r = stage.loopScale(K);
        for (double p = -100.0; p <= 100.0; p += 0.0625) {
            const double y = stage.solve(p, K, r);
            EXPECT_NEAR(y, stage.output(p - K * y), 1e-9 * (1.0 + std::fabs(y))) << "K " << K << " p " << p;
            EXPECT_LE(std::fabs(y), kSwing);
        }
        for (double sign : {1.0, -1.0}) {
            // p′ = ±k·(S + r) puts the linear solution exactly on a knee.
            const double pKnee = sign * kKnee * (kSwing + r) * K;
            const double atKnee = stage.solve(pKnee, K, r);
            EXPECT_NEAR(atKnee, sign * kKnee * kSwing, 1e-12);
            const double h = 1e-9 * std::fabs(pKnee);
            EXPECT_NEAR(stage.solve(pKnee + h, K, r) - atKnee, h * kSwing / (K * (kSwing + r)), 1e-6 * h / K);
            EXPECT_NEAR(atKnee - stage.solve(pKnee - h, K, r), h * kSwing / (K * (kSwing + r)), 1e-6 * h / K);
        }
    }
}

// Small sines measure the closed-loop gain G/(1 + G·β) ≈ 1/β of each feedback network.
TEST(OpAmpStage, ClosedLoopFrequencyResponse)
{
    const double T = kT44k / 16.0;
    const double a = 1e-4;
    DrivePreamp drive;
    const std::tuple<bool, bool, double, double, double> driveCases[] = {{false, false, 100.0, 1.163, 0.005},
                                                                         {false, false, 1000.0, 2.753, 0.01},
                                                                         {false, true, 1000.0, 12.14, 0.05},
                                                                         {true, false, 1000.0, 35.32, 0.15}};
    for (auto [a1, a2, f, gain, tolerance] : driveCases) {
        drive.setCoefficients(a1, a2, T);
        EXPECT_NEAR(test::measureGain(drive, f, T, a), gain, tolerance) << a1 << a2 << f;
    }
    CleanLevelAmp clean;
    const std::tuple<double, double, double> cleanCases[]
        = {{0.0, 2.482, 0.01}, {0.5, 3.936, 0.015}, {1.0, 150.4, 0.6}};
    for (auto [level, gain, tolerance] : cleanCases) {
        clean.setCoefficients(level, T);
        EXPECT_NEAR(test::measureGain(clean, 1000.0, T, a), gain, tolerance) << level;
    }
}

} // namespace
} // namespace brimtone
