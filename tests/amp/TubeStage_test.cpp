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

} // namespace
} // namespace brimtone
