#include "fx/FirFilter.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "fx/RingDelay.h"

namespace brimtone {
namespace {

std::vector<float> noise(int length, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> signal(length);
    for (float& value : signal)
        value = uniform(generator);
    return signal;
}

TEST(RingDelay, ReadsBackEachSampleAndRunsInTimeOrderAcrossTheWrap)
{
    RingDelay<5> line;
    for (int n = 1; n <= 13; ++n) {
        line.advance();
        line.write(static_cast<float>(n));
        for (int d = 0; d < 5 && d < n; ++d)
            ASSERT_EQ(line.read(d), static_cast<float>(n - d)) << "sample " << n << ", " << d << " ago";
        // From the oldest sample held to the newest, one contiguous run (zeros before the first).
        const float* run = line.since(4);
        for (int j = 0; j < 5; ++j) {
            const int written = n - 4 + j;
            ASSERT_EQ(run[j], written >= 1 ? static_cast<float>(written) : 0.0f) << "sample " << n << ", run " << j;
        }
    }
}

// out[n] = sum over k of coeff[k] * in[n - k], added in tap order in single precision.
float sequentialSum(const std::array<float, 7>& coeff, const std::vector<float>& in, int n)
{
    float y = 0.0f;
    for (int k = 0; k < 7; ++k)
        y += coeff[k] * (n - k >= 0 ? in[n - k] : 0.0f);
    return y;
}

TEST(FirFilter, BlocksGiveTheSequentialSumExactlyOnEachChannel)
{
    const std::vector<float> kernel = noise(7, 1u);
    std::array<float, 7> coeff{};
    std::copy(kernel.begin(), kernel.end(), coeff.begin());
    FirFilter<7, 2 * kWeightedSumWidth> fir;
    fir.setKernel(coeff);

    const int blocks = 5; // enough to wrap the history several times
    const std::vector<float> left = noise(blocks * kWeightedSumWidth, 2u),
                             right = noise(blocks * kWeightedSumWidth, 3u);
    std::vector<float> out(kWeightedSumWidth);
    for (int b = 0; b < blocks; ++b) {
        const int first = b * kWeightedSumWidth;
        for (int channel = 0; channel < 2; ++channel) {
            const std::vector<float>& in = channel ? right : left;
            fir.process(in.data() + first, out.data(), kWeightedSumWidth, channel);
            for (int j = 0; j < kWeightedSumWidth; ++j)
                ASSERT_EQ(out[j], sequentialSum(coeff, in, first + j))
                    << "channel " << channel << ", sample " << first + j;
        }
    }
}

} // namespace
} // namespace brimtone
