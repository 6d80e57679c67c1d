#include "ImpulseResponse.h"
#include "fx/SpringReverb.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "convolution/LongConvolver.h"
#include "fx/RateFilter.h"
#include "fx/tables/SpringResponses.h"

namespace brimtone {
namespace {

constexpr double kInputGain = 0.04;
constexpr double kTolerance = 1e-6; // rounding of the partitioned convolution

// The wet response at `factor` host samples per reverb sample: the scaled impulse
// decimated, convolved, interpolated, each block's outputs handed out from the call that
// completes it. Factor 1 (host rates below 40 kHz) is the response from sample 256 on,
// one sample early, at 0.04 of the input.
std::vector<double> expectedResponse(const float* table, int factor, int length)
{
    if (factor == 1) {
        std::vector<double> expected(length, 0.0);
        for (int n = LongConvolver::skippedSamples - 1; n < length; ++n)
            expected[n] = kInputGain * table[n + 1];
        return expected;
    }
    auto convolver = std::make_unique<LongConvolver>();
    convolver->setImpulseResponse(table);
    RateFilter down, up;
    std::array<float, 8> in{}, out{};
    std::vector<double> result;
    for (int n = 0; n < length; ++n) {
        in[n % factor] = n == 0 ? static_cast<float>(kInputGain) : 0.0f;
        if (n % factor == factor - 1) {
            if (factor == 2)
                up.interpolate2(convolver->process(down.decimate2(in.data())), out.data());
            else if (factor == 4)
                up.interpolate4(convolver->process(down.decimate4(in.data())), out.data());
            else
                up.interpolate8(convolver->process(down.decimate8(in.data())), out.data());
        }
        result.push_back(out[(n + 1) % factor]);
    }
    return result;
}

void expectResponse(const std::vector<double>& actual, const std::vector<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t n = 0; n < actual.size(); ++n)
        ASSERT_NEAR(actual[n], expected[n], kTolerance) << "sample " << n;
}

class SpringReverbRate : public ::testing::TestWithParam<std::pair<double, int>> {};

TEST_P(SpringReverbRate, DividesTheHostRateUntilItIsBelow40kHz)
{
    const auto [rate, factor] = GetParam();
    const int length = factor * 600;
    for (int channel : {0, 1}) {
        auto spring = std::make_unique<SpringReverb>();
        spring->setSamplePeriod(1.0 / rate);
        spring->reset();
        expectResponse(test::impulseResponse<double>(*spring, channel, length),
                       expectedResponse(channel == 0 ? springIrLeft : springIrRight, factor, length));
    }
}

INSTANTIATE_TEST_SUITE_P(HostRates, SpringReverbRate,
                         ::testing::Values(std::pair{39999.0, 1}, std::pair{40000.0, 2}, std::pair{96000.0, 4},
                                           std::pair{200000.0, 8}),
                         [](const auto& info) { return std::to_string(static_cast<int>(info.param.first)) + "Hz"; });

TEST(SpringReverb, ResetStartsFromSilence)
{
    auto spring = std::make_unique<SpringReverb>();
    spring->setSamplePeriod(1.0 / 32000.0);
    std::mt19937 generator(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (int n = 0; n < 20000; ++n) {
        spring->process(uniform(generator), 0);
        spring->process(uniform(generator), 1);
    }
    spring->reset();
    for (int n = 0; n < 40000; ++n) {
        ASSERT_EQ(spring->process(0.0, 0), 0.0) << n;
        ASSERT_EQ(spring->process(0.0, 1), 0.0) << n;
    }
    expectResponse(test::impulseResponse<double>(*spring, 0, 2000), expectedResponse(springIrLeft, 1, 2000));
}

} // namespace
} // namespace brimtone
