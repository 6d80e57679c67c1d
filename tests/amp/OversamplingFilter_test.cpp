#include "amp/OversamplingFilter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/OversamplingCoefficients.h"

namespace brimtone {
namespace {

constexpr double kHostRate = 44100.0;

// One host sample through an up-sampler and straight into the matching down-sampler.
struct Pair4x {
    OversamplingFilter up;
    OversamplingFilter down;
    double process(double x)
    {
        std::array<double, 4> sub{};
        up.upsample4(x, sub.data());
        return down.downsample4(sub.data());
    }
};

struct Pair16x {
    OversamplingFilter up;
    OversamplingFilter down;
    double process(double x)
    {
        std::array<double, 16> sub{};
        up.upsample16(x, sub.data());
        return down.downsample16(sub.data());
    }
};

// Amplitude of a sine of the given frequency after the pair, measured by correlation over
// one second (a whole number of cycles) once the filters have settled.
template <typename Pair>
double sineAmplitude(double frequency)
{
    Pair pair;
    const double w = 2.0 * std::numbers::pi * frequency / kHostRate;
    constexpr int kSettle = 400;
    constexpr int kLength = 44100;
    double inPhase = 0.0;
    double quadrature = 0.0;
    for (int n = 0; n < kSettle + kLength; ++n) {
        const double y = pair.process(std::sin(w * n));
        if (n >= kSettle) {
            inPhase += y * std::sin(w * n);
            quadrature += y * std::cos(w * n);
        }
    }
    return 2.0 * std::hypot(inPhase, quadrature) / kLength;
}

template <typename Pair>
double settledDcGain()
{
    Pair pair;
    double y = 0.0;
    for (int n = 0; n < 500; ++n) {
        y = pair.process(1.0);
    }
    return y;
}

// Settled figures of each up/down pair: the constant gain (the squared kernel gain) and
// sine amplitudes across the pass band and the transition band. A kernel tap or an all-pass
// coefficient off in its fourth significant digit moves one of them by far more than 1e-7.
TEST(OversamplingFilter, PairsSettleToTheirDesignedFigures)
{
    EXPECT_NEAR(settledDcGain<Pair4x>(), 0.99957, 1e-5);
    EXPECT_NEAR(settledDcGain<Pair16x>(), 1.00021, 1e-5);
    EXPECT_NEAR(sineAmplitude<Pair4x>(5000.0), 0.999774961, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair4x>(15000.0), 0.679796589, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair4x>(20000.0), 0.114577311, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair16x>(5000.0), 0.99988796, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair16x>(15000.0), 0.998629462, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair16x>(20000.0), 0.972133123, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair16x>(22000.0), 0.139932554, 1e-7);
}

TEST(OversamplingFilter, UpsampleFourImpulseIsTheKernelInPhaseOrder)
{
    OversamplingFilter up;
    for (int j = 0; j < 12; ++j) {
        std::array<double, 4> out{};
        up.upsample4(j == 0 ? 1.0 : 0.0, out.data());
        for (int k = 0; k < 4; ++k) {
            const double expected = j < 10 ? 4.0 * kKernel4x[4 * j + k] : 0.0;
            EXPECT_DOUBLE_EQ(out[k], expected) << "call " << j << " phase " << k;
        }
    }
}

TEST(OversamplingFilter, FourTimesPairImpulseIsSymmetricAboutTenSamples)
{
    Pair4x pair;
    std::vector<double> response;
    for (int n = 0; n < 24; ++n) {
        response.push_back(pair.process(n == 0 ? 1.0 : 0.0));
    }
    EXPECT_NEAR(response[10], 0.745, 5e-4);
    for (int n = 0; n < 24; ++n) {
        if (n != 10) {
            EXPECT_LT(std::abs(response[n]), response[10]);
        }
    }
    // Symmetric apart from the small asymmetry of the kernel's first tap.
    for (int m = 1; m <= 10; ++m) {
        EXPECT_NEAR(response[10 - m], response[10 + m], 2e-4) << "offset " << m;
    }
}

TEST(OversamplingFilter, DownsampleFourOutputIgnoresTheLaterSubSamplesOfTheCall)
{
    OversamplingFilter a;
    OversamplingFilter b;
    for (int n = 0; n < 30; ++n) {
        const std::array<double, 4> in = {std::sin(0.3 * n), std::cos(0.7 * n), 0.1 * n, -0.5};
        ASSERT_EQ(a.downsample4(in.data()), b.downsample4(in.data()));
    }
    const std::array<double, 4> first = {0.25, 1.0, -2.0, 3.0};
    const std::array<double, 4> second = {0.25, -7.0, 5.0, 0.0};
    EXPECT_EQ(a.downsample4(first.data()), b.downsample4(second.data()));
    // The differing samples do enter the next call.
    const std::array<double, 4> next = {0.0, 0.0, 0.0, 0.0};
    EXPECT_NE(a.downsample4(next.data()), b.downsample4(next.data()));
}

} // namespace
} // namespace brimtone
