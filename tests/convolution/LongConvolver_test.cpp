#include "convolution/LongConvolver.h"
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

constexpr int responseLength = LongConvolver::responseLength;
constexpr int skipped = LongConvolver::skippedSamples;

// Float round-off of the FFT partitions (up to 16384 points) stays near 1e-6 of
// the response's scale; a block in the wrong place is of order 1.
constexpr double impulseTolerance = 2e-5;

// Output at `from + t` is h[t + 1] for t = 255 ... 32766 and zero elsewhere.
// Before t = 255 it is exactly zero for an impulse at time 0; an impulse that
// arrives later shares FFT windows with those outputs and leaves round-off.
void expectImpulseResponse(const std::vector<float>& output, const std::vector<float>& h, int from)
{
    for (int t = 0; from + t < static_cast<int>(output.size()); ++t) {
        const bool inResponse = t >= skipped - 1 && t < responseLength - 1;
        const float expected = inResponse ? h[static_cast<std::size_t>(t + 1)] : 0.0f;
        const double tolerance = t < skipped - 1 && from == 0 ? 0.0 : impulseTolerance;
        ASSERT_NEAR(output[static_cast<std::size_t>(from + t)], expected, tolerance)
            << "output " << t << " after the impulse";
    }
}

class LongConvolverTest : public ::testing::Test {
protected:
    LongConvolverTest() { convolver->setImpulseResponse(h.data()); }
    const std::vector<float> h = randomSignal(responseLength, 41u);
    std::unique_ptr<LongConvolver> convolver = std::make_unique<LongConvolver>();
};

// An impulse at 30001 has its response run across the counter's wrap at
// 32768, where all seven pairs fire at once, with the pairs out of phase
// with the impulse.
TEST_F(LongConvolverTest, UnitImpulseYieldsTheResponseFromSample256OneSampleEarlyAcrossTheCounterWrap)
{
    for (int at : {0, 30001}) {
        convolver = std::make_unique<LongConvolver>();
        convolver->setImpulseResponse(h.data());
        expectImpulseResponse(runThrough(*convolver, unitImpulse(at + responseLength + 1024, at)), h, at);
    }
}

// A steady stream overlaps the contributions of all fourteen partitions; the
// windows checked lie after the counter's first and second wrap of pair 6.
TEST_F(LongConvolverTest, StreamOutputIsTheConvolutionWithTheResponseTail)
{
    const std::vector<float> x = randomSignal(2 * responseLength + 600, 42u);
    const std::vector<float> output = runThrough(*convolver, x);
    for (int from : {32700, 2 * responseLength})
        for (int t = from; t < from + 300; ++t)
            ASSERT_NEAR(output[static_cast<std::size_t>(t)], test::directConvolution(x, h, t, skipped, 1),
                        2e-5 * std::sqrt(responseLength))
                << "sample " << t;
}

// Reset right after a sample on which all pairs started jobs (the four
// longest on worker threads, the largest taking longest): those results must
// never reach the output.
TEST_F(LongConvolverTest, ResetWhileWorkersAreBusyThenSilenceGivesZeros)
{
    const std::vector<float> noise = randomSignal(2 * 16384, 43u);
    for (int stop : {16384, 2 * 16384 - 128}) {
        runThrough(*convolver, std::vector<float>(noise.begin(), noise.begin() + stop));
        convolver->reset();
        for (float y : runThrough(*convolver, std::vector<float>(2 * responseLength, 0.0f)))
            ASSERT_EQ(y, 0.0f) << "after a reset at " << stop;
    }
    convolver->reset();
    convolver->reset();
    expectImpulseResponse(runThrough(*convolver, unitImpulse(responseLength + 512, 0)), h, 0);
}

TEST(LongConvolver, LoadingAResponseClearsAllHistory)
{
    const std::vector<float> first = randomSignal(responseLength, 45u);
    const std::vector<float> second = randomSignal(responseLength, 46u);
    auto convolver = std::make_unique<LongConvolver>();
    convolver->setImpulseResponse(first.data());
    runThrough(*convolver, randomSignal(8192, 47u)); // pairs 0 ... 5 just started jobs
    convolver->setImpulseResponse(second.data());
    expectImpulseResponse(runThrough(*convolver, unitImpulse(responseLength + 512, 0)), second, 0);
}

} // namespace
} // namespace brimtone
