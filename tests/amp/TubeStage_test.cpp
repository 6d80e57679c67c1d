#include "LinearResponse.h"
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

// Reference figures of the discretised circuit: the small-signal gain, and a drive that
// makes the grid conduct (the grid-current terms and the plate-current table matter), at
// the host rate and at 16x.
TEST(TubeStage, SmallAndLargeSignalReferenceFigures)
{
    TubeStage small;
    EXPECT_NEAR(test::measureGain(small, 1000.0, kT, 0.01), 4.58866468, 1e-6 * 4.58866468);
    TubeStage hot;
    test::expectSettled(test::settledOutput(hot, 4.0, 1000.0, kT, 44100), 0.00167576666889, 2.50171249249);
    TubeStage fast;
    fast.setCoefficients(6.0, 0.5, kT / 16.0);
    test::expectSettled(test::settledOutput(fast, 4.0, 1000.0, kT / 16.0, 4 * 44100), 0.00489049422996, 2.5038584902);
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
