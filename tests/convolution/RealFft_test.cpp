#include "convolution/FrequencyBins.h"
#include "convolution/RealFft.h"
#include "convolution/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace brimtone {
namespace {

using test::randomSignal;

class RealFftPlanTest : public ::testing::TestWithParam<int> {
protected:
    int n() const { return GetParam(); }
    std::unique_ptr<RealFftPlan> plan = createRealFftPlan(GetParam());
};

// x of N samples and h of N/2 samples zero-padded: the inverse of the product
// with the rescaled spectrum of h is the circular convolution.
TEST_P(RealFftPlanTest, ProductOfSpectraIsCircularConvolution)
{
    const std::vector<float> x = randomSignal(n(), 3u);
    std::vector<float> h = randomSignal(n(), 5u);
    std::fill(h.begin() + n() / 2, h.end(), 0.0f);

    std::vector<float> xSpectrum(static_cast<std::size_t>(n())), hSpectrum(xSpectrum), y(xSpectrum);
    plan->forward(xSpectrum.data(), x.data());
    plan->forward(hSpectrum.data(), h.data());
    plan->rescale(hSpectrum.data());
    multiplyPackedSpectra(xSpectrum.data(), xSpectrum.data(), hSpectrum.data(), n());
    plan->inverse(xSpectrum.data(), y.data());

    std::vector<double> expected(static_cast<std::size_t>(n()), 0.0);
    double largest = 0.0;
    for (int t = 0; t < n(); ++t) {
        for (int k = 0; k < n() / 2; ++k)
            expected[static_cast<std::size_t>(t)]
                += static_cast<double>(h[static_cast<std::size_t>(k)])
                   * static_cast<double>(x[static_cast<std::size_t>((t - k + n()) % n())]);
        largest = std::max(largest, std::abs(expected[static_cast<std::size_t>(t)]));
    }
    const double tolerance = 2e-6 * largest * std::log2(n());
    for (int t = 0; t < n(); ++t)
        ASSERT_NEAR(y[static_cast<std::size_t>(t)], expected[static_cast<std::size_t>(t)], tolerance) << "sample " << t;
}

INSTANTIATE_TEST_SUITE_P(EverySize, RealFftPlanTest, ::testing::Values(128, 256, 512, 1024, 2048, 4096, 8192, 16384));

} // namespace
} // namespace brimtone
