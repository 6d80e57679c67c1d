#include "dsp/StateSpace.h"
#include "amp/TubeStage.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace brimtone {
namespace {

constexpr double kT = 1.0 / 44100.0;

std::array<double, 4> operatingPoint(double V)
{
    return {-0.121 * std::log(V) - 0.4668, 0.0642 - 0.5576 * V, 0.0645 - 0.5576 * V,
            (0.0018 * V - 0.6043) * V - 0.4015};
}

void expectAtOperatingPoint(const TubeStage& stage, double V)
{
    const std::array<double, 4> op = operatingPoint(V);
    for (int ch = 0; ch < 2; ++ch)
        for (std::size_t r = 0; r < 4; ++r)
            EXPECT_DOUBLE_EQ(stage.state(ch)[r], op[r]) << "channel " << ch << ", state " << r;
}

// The circuit as written down: inputs (u, V, Ig, Ip), outputs (y, grid, plate).
StateSpaceMimo<4, 4, 3> circuit(double P)
{
    StateSpaceMimo<4, 4, 3> c;
    c.A = {{{-9.99000999, -0.01813065561, -9.573004512, 9.99000999},
            {0.0, -9.267473823, 0.3861443886, 0.0},
            {0.0, 0.01814878626, -0.4174224834, 0.0},
            {0.0, -2.745312838, -1449.527957, -212.7659574}}};
    c.B[0] = {-9.99000999, 0.0, 0.0, 0.0};
    c.B[1] = {0.3988748223, -8.881329435, -0.3992736971, -906.7200784};
    c.B[2] = {-99900.0999, 0.0, 0.0, 0.0};
    c.B[3] = {-39887.48223, 888132.9435, 39927.36971, -6039694.284};
    c.C[0] = {0.0, 0.9582577516, -0.03992736971, 0.0};
    c.C[1] = {0.999000999, -1.813065561e-06, 4.170054779e-05, 0.000999000999};
    c.C[2] = {0.0, -0.04174224834, -0.03992736971, 0.0};
    c.D[0] = {0.0, 0.9183303819, 0.0, -91833.03819};
    c.D[1] = {0.999000999, 3.988748223e-05, (P * 11011.0 + 5.0) * -1.998001998, -3.988748223};
    c.D[2] = {0.0, 0.9183303819, 0.0, -91833.03819};
    return c;
}

TEST(TubeStage, ConstructionPlacesBothChannelsAtTheOperatingPoint)
{
    const TubeStage stage;
    expectAtOperatingPoint(stage, 6.0);
    EXPECT_NEAR(stage.biasState(0), -0.6836028, 1e-6);
    EXPECT_EQ(stage.biasState(1), stage.biasState(0));
}

TEST(TubeStage, TableCoversTheGridRangeOfTheSupply)
{
    const TubeStage stage;
    EXPECT_NEAR(stage.tableRange().lo, -18.636, 1e-12);
    EXPECT_NEAR(stage.tableRange().hi, 14.376, 1e-12);
}

TEST(TubeStage, TableHoldsTheTriodeCurrents)
{
    const TubeStage stage;
    const auto& table = stage.currentTable();
    // Cut off at the negative end: no grid current, no plate current.
    EXPECT_EQ(table.front().grid, 0.0);
    EXPECT_LT(table.front().plate, 1e-20);
    // Grid current once the grid goes positive, plate current rising to saturation.
    EXPECT_GT(table.back().grid, 1e-4);
    EXPECT_GT(table.back().plate, 5e-5);
    EXPECT_LT(table.back().plate, 7e-5);
    for (std::size_t k = 1; k < table.size(); ++k) {
        ASSERT_GE(table[k].grid, table[k - 1].grid) << "entry " << k;
        ASSERT_GE(table[k].plate, table[k - 1].plate) << "entry " << k;
    }
}

TEST(TubeStage, OperatingPointIsTheRestStateOfTheCircuit)
{
    TubeStage stage;
    for (int i = 0; i < 44100; ++i)
        stage.process(0.0, 0);
    const std::array<double, 4> op = operatingPoint(6.0);
    for (std::size_t r = 0; r < 4; ++r)
        EXPECT_NEAR(stage.state(0)[r], op[r], 0.01) << "state " << r;
}

TEST(TubeStage, SkippedTermsAreExactlyZeroAtEveryPeriodAndPosition)
{
    // A row skips the products whose coefficient is zero; that holds for the circuit's
    // structure, so at every period and position the discretised coefficients must be
    // exactly zero there.
    const auto expectSkippedZero = [](unsigned terms, const std::array<double, 8>& row, const char* what) {
        for (unsigned t = 0; t < 8; ++t) {
            if (((terms >> t) & 1u) == 0) {
                EXPECT_EQ(row[t], 0.0) << what << ", term " << t;
            }
        }
    };
    for (double T : {1.0 / 10000.0, kT, 1.0 / (48000.0 * 16.0), 1.0 / (200000.0 * 16.0)})
        for (double P : {0.0, 0.5, 1.0}) {
            const auto d = discretiseBilinear<4, 4, 3>(circuit(P), T);
            const auto outputRow = [&](std::size_t o) {
                return std::array<double, 8>{d.C[o][0], d.C[o][1], d.C[o][2], d.C[o][3],
                                             d.D[o][0], d.D[o][1], d.D[o][2], d.D[o][3]};
            };
            expectSkippedZero(TubeStage::kOutputTerms, outputRow(0), "output");
            expectSkippedZero(TubeStage::kGridVoltageTerms | TubeStage::kGridCurrentTerm | TubeStage::kPlateCurrentTerm,
                              outputRow(1), "grid voltage");
            for (std::size_t r = 0; r < 4; ++r)
                expectSkippedZero(
                    TubeStage::kNextTerms[r],
                    {d.A[r][0], d.A[r][1], d.A[r][2], d.A[r][3], d.B[0][r], d.B[1][r], d.B[2][r], d.B[3][r]},
                    "next state");
        }
}

TEST(TubeStage, FirstSampleFollowsTheDiscretisedCircuit)
{
    TubeStage stage;
    const auto d = discretiseBilinear<4, 4, 3>(circuit(0.5), kT);
    const std::array<double, 4> x = operatingPoint(6.0);
    const double u = 0.37;
    const double V = 6.0;

    const double p0 = dot<4>(d.C[1], x) + d.D[1][0] * u + d.D[1][1] * V;
    const auto range = stage.tableRange();
    const double f = (p0 - range.lo) * 1023.0 / (range.hi - range.lo);
    const auto k = static_cast<std::size_t>(f);
    const double phi = f - static_cast<double>(k);
    const auto& table = stage.currentTable();
    const double ig = (1.0 - phi) * table[k].grid + phi * table[k + 1].grid;
    const double ip = (1.0 - phi) * table[k].plate + phi * table[k + 1].plate;

    const double y = dot<4>(d.C[0], x) + d.D[0][0] * u + d.D[0][1] * V + d.D[0][2] * ig + d.D[0][3] * ip;
    EXPECT_NEAR(stage.process(u, 1), y, 1e-12 * std::fabs(y) + 1e-15);
    for (std::size_t r = 0; r < 4; ++r) {
        const double next = dot<4>(d.A[r], x) + d.B[0][r] * u + d.B[1][r] * V + d.B[2][r] * ig + d.B[3][r] * ip;
        EXPECT_NEAR(stage.state(1)[r], next, 1e-12 * std::fabs(next)) << "state " << r;
    }
    // Channel 0 did not move.
    EXPECT_EQ(stage.state(0)[0], x[0]);
}

TEST(TubeStage, GridVoltagesOutsideTheTableReadItsEndEntries)
{
    // Beyond the table the currents are constant, so the output is affine in u.
    for (const double side : {1.0, -1.0}) {
        double y[3];
        for (int i = 0; i < 3; ++i) {
            TubeStage stage;
            y[i] = stage.process(side * (100.0 + 50.0 * i), 0);
        }
        EXPECT_NEAR(y[2] - y[1], y[1] - y[0], 1e-9 * std::fabs(y[1] - y[0]));
    }
    // Inside it is not.
    double y[3];
    for (int i = 0; i < 3; ++i) {
        TubeStage stage;
        y[i] = stage.process(-0.5 + 0.5 * i, 0);
    }
    EXPECT_GT(std::fabs((y[2] - y[1]) - (y[1] - y[0])), 1e-3 * std::fabs(y[1] - y[0]));
}

TEST(TubeStage, ResetReturnsBothChannelsToTheOperatingPoint)
{
    TubeStage stage;
    for (int i = 0; i < 1000; ++i) {
        stage.process(2.0 * std::sin(0.05 * i), 0);
        stage.process(-1.5 * std::sin(0.03 * i), 1);
    }
    EXPECT_GT(std::fabs(stage.state(0)[0] - operatingPoint(6.0)[0]), 1e-3);
    stage.resetToOperatingPoint();
    expectAtOperatingPoint(stage, 6.0);
    stage.resetToOperatingPoint();
    expectAtOperatingPoint(stage, 6.0);
}

TEST(TubeStage, UnchangedPeriodAndPositionKeepTableAndState)
{
    TubeStage stage;
    for (int i = 0; i < 1000; ++i)
        stage.process(3.0 * std::sin(0.02 * i), 0);
    const auto table = stage.currentTable();
    const std::array<double, 4> x = {stage.state(0)[0], stage.state(0)[1], stage.state(0)[2], stage.state(0)[3]};

    stage.setCoefficients(6.0, 0.5, kT);
    EXPECT_EQ(stage.currentTable().front().plate, table.front().plate);
    for (std::size_t k = 0; k < table.size(); ++k)
        ASSERT_EQ(stage.currentTable()[k].plate, table[k].plate) << "entry " << k;
    EXPECT_EQ(stage.state(0)[0], x[0]);

    // A new period rebuilds the table at channel 0's present plate voltage; the state
    // runs on.
    stage.setCoefficients(6.0, 0.5, kT / 4.0);
    bool changed = false;
    for (std::size_t k = 0; k < table.size(); ++k)
        changed = changed || stage.currentTable()[k].plate != table[k].plate;
    EXPECT_TRUE(changed);
    EXPECT_EQ(stage.state(0)[0], x[0]);
}

TEST(TubeStage, NewSupplyAloneMovesToItsOperatingPoint)
{
    TubeStage stage;
    for (int i = 0; i < 500; ++i)
        stage.process(std::sin(0.02 * i), 1);
    stage.setCoefficients(5.0, 0.5, kT);
    expectAtOperatingPoint(stage, 5.0);
    // The table stays the one built for 6.0 until the period or position changes.
    EXPECT_NEAR(stage.tableRange().lo, -18.636, 1e-12);
}

} // namespace
} // namespace brimtone
