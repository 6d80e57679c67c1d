#include "analysis/FrequencyGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace brimtone {
namespace {

constexpr float kT44k = static_cast<float>(1.0 / 44100.0);

double frequencyOf(std::complex<float> z, float T)
{
    return std::atan2(static_cast<double>(z.imag()), static_cast<double>(z.real()))
           / (2.0 * std::numbers::pi * static_cast<double>(T));
}

TEST(FrequencyGrid, EqualRatiosOnTheUnitCircle)
{
    FrequencyGrid grid;
    EXPECT_FLOAT_EQ(grid.samplePeriod(), kT44k);
    const float T = kT44k / 4.0f;
    grid.setSamplePeriod(T);
    EXPECT_NEAR(frequencyOf(grid.point(0), T), 20.0, 1e-4);
    EXPECT_NEAR(frequencyOf(grid.point(FrequencyGrid::kPoints - 1), T), 22050.0, 0.01);
    for (std::size_t k = 0; k < FrequencyGrid::kPoints; ++k) {
        EXPECT_NEAR(std::abs(grid.point(k)), 1.0f, 1e-6f) << k;
        if (k > 0) {
            const double ratio = frequencyOf(grid.point(k), T) / frequencyOf(grid.point(k - 1), T);
            EXPECT_NEAR(ratio, 1.04157, 1e-5) << k;
        }
    }
}

} // namespace
} // namespace brimtone
