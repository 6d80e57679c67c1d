#include "fx/SpringReverb.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Wet response of one channel to a unit impulse; the other channel is fed silence in
// between, as the engine interleaves them.
std::vector<double> impulseResponse(SpringReverb& spring, int channel, int length)
{
    std::vector<double> response;
    for (int n = 0; n < length; ++n) {
        for (int c = 0; c < 2; ++c) {
            const double wet = spring.process((c == channel && n == 0) ? 1.0 : 0.0, c);
            if (c == channel) {
                response.push_back(wet);
            } else {
                EXPECT_EQ(wet, 0.0) << "channel " << c << ", sample " << n;
            }
        }
    }
    return response;
}

int strongest(const std::vector<double>& response)
{
    int best = 0;
    for (int n = 1; n < static_cast<int>(response.size()); ++n) {
        if (std::abs(response[n]) > std::abs(response[best])) {
            best = n;
        }
    }
    return best;
}

// The wet response a reverb running at `factor` host samples per reverb sample must give:
// the scaled impulse decimated, convolved, interpolated, with each block's outputs handed
// out from the call that completes it.
std::vector<double> reducedRateResponse(const float* table, int factor, int length)
{
    LongConvolver convolver;
    convolver.setImpulseResponse(table);
    RateFilter down;
    RateFilter up;
    std::array<float, 8> in{};
    std::array<float, 8> out{};
    std::vector<double> result;
    for (int n = 0; n < length; ++n) {
        in[n % factor] = n == 0 ? static_cast<float>(kInputGain) : 0.0f;
        if (n % factor == factor - 1) {
            switch (factor) {
            case 1:
                out[0] = convolver.process(in[0]);
                break;
            case 2:
                up.interpolate2(convolver.process(down.decimate2(in.data())), out.data());
                break;
            case 4:
                up.interpolate4(convolver.process(down.decimate4(in.data())), out.data());
                break;
            default:
                up.interpolate8(convolver.process(down.decimate8(in.data())), out.data());
                break;
            }
        }
        result.push_back(out[(n + 1) % factor]);
    }
    return result;
}

void expectResponse(const std::vector<double>& actual, const std::vector<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t n = 0; n < actual.size(); ++n) {
        ASSERT_NEAR(actual[n], expected[n], kTolerance) << "sample " << n;
    }
}

// At a host rate below 40 kHz the reverb runs at the host rate without rate filters: the
// wet signal is the response (from sample 256 on, one sample early) at 0.04 of the input.
std::vector<double> hostRateResponse(const float* table, int length)
{
    std::vector<double> expected(length, 0.0);
    for (int n = LongConvolver::skippedSamples - 1; n < length; ++n) {
        expected[n] = kInputGain * table[n + 1];
    }
    return expected;
}

TEST(SpringReverb, At44k1AnImpulseStartsSilentAndPeaksAtTheStrongestReflection)
{
    auto spring = std::make_unique<SpringReverb>();
    const std::vector<double> left = impulseResponse(*spring, 0, 4000);
    // About 2 x 256 host samples of silence: the convolver leaves out the response's first
    // 256 samples, so its first output (half-rate sample 255) leaves at host sample 511.
    for (int n = 0; n < 2 * 255 + 1; ++n) {
        ASSERT_LT(std::abs(left[n]), 1e-7) << n;
    }
    double early = 0.0;
    for (int n = 2 * 256; n < 2 * 262; ++n) {
        early = std::max(early, std::abs(left[n]));
    }
    EXPECT_GT(early, 1e-4);
    // The half-rate peak arrives one sample early; the rate filters delay it a few samples.
    EXPECT_GE(strongest(left), 2 * 279 - 1);
    EXPECT_LE(strongest(left), 2 * 279 + 8);

    auto other = std::make_unique<SpringReverb>();
    const std::vector<double> right = impulseResponse(*other, 1, 4000);
    EXPECT_GE(strongest(right), 2 * 468 - 1);
    EXPECT_LE(strongest(right), 2 * 468 + 8);
}

TEST(SpringReverb, Below40kHzRunsAtTheHostRateAtFourPercentInput)
{
    auto spring = std::make_unique<SpringReverb>();
    spring->setSamplePeriod(1.0 / 32000.0);
    spring->reset();
    const int length = 3000;
    expectResponse(impulseResponse(*spring, 0, length), hostRateResponse(springIrLeft, length));
    spring->reset();
    expectResponse(impulseResponse(*spring, 1, length), hostRateResponse(springIrRight, length));
}

struct RateCase {
    double rate;
    int factor;
};

// Names each case by its rate, e.g. "HostRates/SpringReverbRate.<test>/96000Hz".
std::string rateName(const ::testing::TestParamInfo<RateCase>& info)
{
    return std::to_string(static_cast<int>(info.param.rate)) + "Hz";
}

class SpringReverbRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(SpringReverbRate, DividesTheHostRateUntilItIsBelow40kHz)
{
    const RateCase c = GetParam();
    auto spring = std::make_unique<SpringReverb>();
    spring->setSamplePeriod(1.0 / c.rate);
    spring->reset();
    const int length = c.factor * 600;
    expectResponse(impulseResponse(*spring, 0, length), reducedRateResponse(springIrLeft, c.factor, length));
}

INSTANTIATE_TEST_SUITE_P(HostRates, SpringReverbRate,
                         ::testing::Values(RateCase{10000, 1}, RateCase{39999, 1}, RateCase{40000, 2},
                                           RateCase{44100, 2}, RateCase{48000, 2}, RateCase{88200, 4},
                                           RateCase{96000, 4}, RateCase{176400, 8}, RateCase{192000, 8},
                                           RateCase{200000, 8}),
                         rateName);

TEST(SpringReverb, ResetClearsTheHistorySoTheReverbStartsFromSilence)
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
    expectResponse(impulseResponse(*spring, 0, 2000), hostRateResponse(springIrLeft, 2000));
}

TEST(SpringReverb, RateChangeLoweringTheFactorKeepsTheBlockPositionInRange)
{
    auto spring = std::make_unique<SpringReverb>();
    spring->setSamplePeriod(1.0 / 176400.0);
    for (int n = 0; n < 5; ++n) {
        spring->process(0.0, 0);
    }
    // Factor 8 -> 1; no block was completed, so the convolvers are still silent.
    spring->setSamplePeriod(1.0 / 32000.0);
    expectResponse(impulseResponse(*spring, 0, 1000), hostRateResponse(springIrLeft, 1000));
}

TEST(SpringReverbLifecycle, InstancesCreatedRunAndDestroyedInALoop)
{
    const double rates[] = {44100.0, 32000.0, 96000.0, 192000.0};
    for (int i = 0; i < 6; ++i) {
        auto spring = std::make_unique<SpringReverb>();
        spring->setSamplePeriod(1.0 / rates[i % 4]);
        spring->reset();
        for (int n = 0; n < 3000 + 111 * i; ++n) {
            for (int c = 0; c < 2; ++c) {
                ASSERT_TRUE(std::isfinite(spring->process(std::sin(0.01 * n + c), c)));
            }
        }
    }
}

TEST(SpringReverbLifecycle, DestroyedWhileItsWorkersAreBusy)
{
    // At the host rate, sample 16384 starts jobs in all seven pairs of each channel, the four
    // on worker threads among them (the longest a 16384-point transform); destroy right after.
    for (int i = 0; i < 3; ++i) {
        auto spring = std::make_unique<SpringReverb>();
        spring->setSamplePeriod(1.0 / 32000.0);
        for (int n = 0; n < 16384; ++n) {
            spring->process(0.25, 0);
            spring->process(-0.25, 1);
        }
        if (i == 2) {
            spring->reset(); // a reset while they are busy, then destruction
        }
    }
}

} // namespace
} // namespace brimtone
