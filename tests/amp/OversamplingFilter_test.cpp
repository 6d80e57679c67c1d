#include "amp/OversamplingFilter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

namespace brimtone {
namespace {

constexpr double kHostRate = 44100.0;

// One host sample through an up-sampler and straight into the matching down-sampler.
template <int Factor>
struct Pair {
    OversamplingFilter up;
    OversamplingFilter down;
    double process(double x)
    {
        std::array<double, Factor> sub{};
        if constexpr (Factor == 4) {
            up.upsample4(x, sub.data());
            return down.downsample4(sub.data());
        } else {
            up.upsample16(x, sub.data());
            return down.downsample16(sub.data());
        }
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
    for (int n = 0; n < 500; ++n)
        y = pair.process(1.0);
    return y;
}

// Settled figures of each up/down pair: the constant gain (the squared kernel gain) and
// sine amplitudes across the pass band and the transition band. A kernel tap or an all-pass
// coefficient off in its fourth significant digit moves one of them by far more than 1e-7.
TEST(OversamplingFilter, PairsSettleToTheirDesignedFigures)
{
    EXPECT_NEAR(settledDcGain<Pair<4>>(), 0.99957, 1e-5);
    EXPECT_NEAR(settledDcGain<Pair<16>>(), 1.00021, 1e-5);
    EXPECT_NEAR(sineAmplitude<Pair<4>>(5000.0), 0.999774961, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair<4>>(15000.0), 0.679796589, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair<4>>(20000.0), 0.114577311, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair<16>>(5000.0), 0.99988796, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair<16>>(15000.0), 0.998629462, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair<16>>(20000.0), 0.972133123, 1e-7);
    EXPECT_NEAR(sineAmplitude<Pair<16>>(22000.0), 0.139932554, 1e-7);
}

} // namespace
} // namespace brimtone
