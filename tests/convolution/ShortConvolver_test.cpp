#include "convolution/ShortConvolver.h"
#include "convolution/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace brimtone {
namespace {

using test::randomSignal;
using test::runThrough;
using test::unitImpulse;

constexpr int responseLength = ShortConvolver::responseLength;

// Float round-off of the FFT partitions stays near 1e-7 of the response's
// scale; a tap in the wrong place or a partition a sample off is of order 1.
constexpr double impulseTolerance = 1e-5;

void expectImpulseResponse(const std::vector<float>& output, const std::vector<float>& h, int from)
{
    for (int t = 0; from + t < static_cast<int>(output.size()); ++t)
        ASSERT_NEAR(output[static_cast<std::size_t>(from + t)],
                    t < responseLength ? h[static_cast<std::size_t>(t)] : 0.0f, impulseTolerance)
            << "output " << t << " after the impulse";
}

TEST(ShortConvolver, UnitImpulseYieldsTheResponseWithNoLatencyThenSilence)
{
    const std::vector<float> h = randomSignal(responseLength, 21u);
    auto convolver = std::make_unique<ShortConvolver>();
    convolver->setImpulseResponse(h.data());
    const std::vector<float> output = runThrough(*convolver, unitImpulse(3 * responseLength, 0));
    EXPECT_NEAR(output[0], h[0], 1e-7) << "the direct taps meet the sample just written";
    expectImpulseResponse(output, h, 0);
    // Whatever the phase of the partition schedule at which it arrives.
    auto later = std::make_unique<ShortConvolver>();
    later->setImpulseResponse(h.data());
    const int at = 1000 + 255; // one sample before a 256 boundary, past a ring wrap
    expectImpulseResponse(runThrough(*later, unitImpulse(at + 2 * responseLength, at)), h, at);
}

// A steady stream keeps all partitions busy at once.
TEST(ShortConvolver, StreamOutputIsTheLinearConvolution)
{
    const std::vector<float> h = randomSignal(responseLength, 23u);
    const std::vector<float> x = randomSignal(6000, 24u);
    auto convolver = std::make_unique<ShortConvolver>();
    convolver->setImpulseResponse(h.data());
    const std::vector<float> output = runThrough(*convolver, x);
    for (int t = 0; t < static_cast<int>(x.size()); ++t)
        ASSERT_NEAR(output[static_cast<std::size_t>(t)], test::directConvolution(x, h, t, 0, 0), 1e-4)
            << "sample " << t;
}

TEST(ShortConvolver, LoadingAResponseClearsAllHistory)
{
    const std::vector<float> first = randomSignal(responseLength, 25u);
    const std::vector<float> second = randomSignal(responseLength, 26u);
    auto convolver = std::make_unique<ShortConvolver>();
    convolver->setImpulseResponse(first.data());
    runThrough(*convolver, randomSignal(1000, 27u)); // mid-block, a block job's result pending
    convolver->setImpulseResponse(second.data());
    expectImpulseResponse(runThrough(*convolver, unitImpulse(2 * responseLength, 0)), second, 0);
}

// Reloading right after a block job, many times: the spectrum that job kept
// for the next one must not survive the reload.
TEST(ShortConvolver, ReloadingRightAfterABlockJobRestartsCleanly)
{
    const std::vector<float> h = randomSignal(responseLength, 28u);
    const std::vector<float> noise = randomSignal(256, 29u);
    auto convolver = std::make_unique<ShortConvolver>();
    for (int round = 0; round < 50; ++round) {
        convolver->setImpulseResponse(h.data());
        runThrough(*convolver, noise); // ends on a block job
    }
    convolver->setImpulseResponse(h.data());
    expectImpulseResponse(runThrough(*convolver, unitImpulse(2 * responseLength, 0)), h, 0);
}

} // namespace
} // namespace brimtone
