#include "fx/RateFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "dsp/OversamplingCoefficients.h"

namespace brimtone {
namespace {

// A reduced-rate sample interpolated and decimated straight back (the cabinet and spring
// reverb run their convolution in between).
template <int Ratio>
struct RoundTrip {
    RateFilter up, down;
    float process(float x)
    {
        std::array<float, Ratio> block{};
        if constexpr (Ratio == 2) {
            up.interpolate2(x, block.data());
            return down.decimate2(block.data());
        } else if constexpr (Ratio == 4) {
            up.interpolate4(x, block.data());
            return down.decimate4(block.data());
        } else {
            up.interpolate8(x, block.data());
            return down.decimate8(block.data());
        }
    }
};

template <int Ratio>
float settledDcGain()
{
    RoundTrip<Ratio> trip;
    float y = 0.0f;
    for (int n = 0; n < 500; ++n)
        y = trip.process(1.0f);
    return y;
}

double kernelGain() { return std::accumulate(kKernel4x.begin(), kKernel4x.end(), 0.0); }

TEST(RateFilter, RoundTripsSettleToTheSquaredKernelGain)
{
    EXPECT_NEAR(kernelGain() * kernelGain(), 0.9996, 1e-4);
    EXPECT_NEAR(settledDcGain<4>(), kernelGain() * kernelGain(), 2e-6);
    EXPECT_NEAR(settledDcGain<2>(), 1.0f, 2e-6); // the half-band all-pass pair
    EXPECT_NEAR(settledDcGain<8>(), kernelGain() * kernelGain(), 2e-6);
}

TEST(RateFilter, HalfBandDecimatorRejectsTheUpperHalfBand)
{
    // A sine at 0.45 of the host rate would alias to 0.05 of the reduced rate; the half-band
    // pair keeps it well down while 0.05 of the host rate passes.
    auto decimatedAmplitude = [](double cyclesPerSample) {
        RateFilter down;
        const double w = 2.0 * 3.141592653589793 * cyclesPerSample;
        double peak = 0.0;
        for (int n = 0; n < 2000; ++n) {
            const std::array<float, 2> in
                = {static_cast<float>(std::sin(w * (2 * n))), static_cast<float>(std::sin(w * (2 * n + 1)))};
            const float y = down.decimate2(in.data());
            if (n >= 200)
                peak = std::max(peak, std::abs(static_cast<double>(y)));
        }
        return peak;
    };
    EXPECT_NEAR(decimatedAmplitude(0.05), 1.0, 2e-3);
    EXPECT_LT(decimatedAmplitude(0.45), 1e-4);
}

} // namespace
} // namespace brimtone
