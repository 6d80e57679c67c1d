// The two channels in lockstep: every stage run on both channels at once (BothChannels, one
// lane per channel) gives bit for bit what it gives each channel run alone, also where the
// lanes take different branches (saturation, table ends); the oversampling filters resume
// each channel's history after one channel ran alone; and the stage pipeline gives the
// results of the plain chain.

#include "amp/CleanLevelAmp.h"
#include "amp/CleanOutputFilter.h"
#include "amp/DriveOutputFilter.h"
#include "amp/DrivePreamp.h"
#include "amp/FlavorStage1994.h"
#include "amp/FlavorStage2000.h"
#include "amp/InputFilter.h"
#include "amp/OversamplingFilter.h"
#include "amp/StagePipeline.h"
#include "amp/Tonestack.h"
#include "amp/TubeStage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace brimtone {
namespace {

constexpr double kT16 = 1.0 / (48000.0 * 16.0);

std::uint64_t bits(double x)
{
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

// Different signals per channel whose bursts reach `peak` at different times, with stretches
// of silence: one lane saturates or leaves a table while the other does not.
double testSignal(int n, int channel, double peak)
{
    const double t = n * 0.001;
    const double burst = std::fmod(t * (channel == 0 ? 1.0 : 1.37), 1.0);
    const double level = burst < 0.2 ? 0.0 : burst < 0.6 ? 0.05 : 1.0;
    return peak * level * std::sin(n * (channel == 0 ? 0.013 : 0.021) + channel);
}

// `both` runs both channels in lockstep, `alone` (set up identically) one channel at a time.
template <class Stage>
void expectLockstepMatchesChannelsAlone(Stage& both, Stage& alone, double peak, int samples = 6000)
{
    for (int n = 0; n < samples; ++n) {
        const double left = testSignal(n, 0, peak);
        const double right = testSignal(n, 1, peak);
        const DoublePair y = both.process(DoublePair{left, right}, BothChannels{});
        const double yLeft = alone.process(left, 0);
        const double yRight = alone.process(right, 1);
        ASSERT_EQ(bits(y[0]), bits(yLeft)) << "sample " << n;
        ASSERT_EQ(bits(y[1]), bits(yRight)) << "sample " << n;
    }
}

TEST(StereoLockstep, LinearFiltersMatchTheirChannelsRunAlone)
{
    InputFilter inputBoth, inputAlone;
    inputBoth.setCoefficients(true, kT16);
    inputAlone.setCoefficients(true, kT16);
    expectLockstepMatchesChannelsAlone(inputBoth, inputAlone, 1.0);

    for (bool flavour2000 : {false, true}) {
        CleanOutputFilter both, alone;
        both.setCoefficients(0.7, flavour2000, true, kT16);
        alone.setCoefficients(0.7, flavour2000, true, kT16);
        expectLockstepMatchesChannelsAlone(both, alone, 2.0);
    }

    Tonestack tonesBoth, tonesAlone;
    tonesBoth.setCoefficients(0.2, 0.7, 0.4, false, kT16);
    tonesAlone.setCoefficients(0.2, 0.7, 0.4, false, kT16);
    expectLockstepMatchesChannelsAlone(tonesBoth, tonesAlone, 3.0);

    for (int ampMode = 0; ampMode < 3; ++ampMode) {
        for (bool lead : {false, true}) {
            DriveOutputFilter both, alone;
            both.setCoefficients(ampMode, lead, 0.3, 0.8, kT16);
            alone.setCoefficients(ampMode, lead, 0.3, 0.8, kT16);
            expectLockstepMatchesChannelsAlone(both, alone, 4.0);
        }
    }
}

TEST(StereoLockstep, OpAmpStagesMatchInAndOutOfSaturation)
{
    DrivePreamp preampBoth, preampAlone;
    preampBoth.setCoefficients(true, true, kT16);
    preampAlone.setCoefficients(true, true, kT16);
    expectLockstepMatchesChannelsAlone(preampBoth, preampAlone, 8.0);

    CleanLevelAmp levelBoth, levelAlone;
    levelBoth.setCoefficients(0.9, kT16);
    levelAlone.setCoefficients(0.9, kT16);
    expectLockstepMatchesChannelsAlone(levelBoth, levelAlone, 5.0);
}

TEST(StereoLockstep, FlavourStagesMatchWithTheirTablesAndBiasLoops)
{
    for (bool lead : {false, true}) {
        auto both = std::make_unique<FlavorStage2000>();
        auto alone = std::make_unique<FlavorStage2000>();
        both->setCoefficients(0.95, lead, kT16);
        alone->setCoefficients(0.95, lead, kT16);
        // Loud enough to leave the transfer table (|x| >= 3) and the clipper's grid.
        expectLockstepMatchesChannelsAlone(*both, *alone, 40.0);
        EXPECT_EQ(both->biasState(0), alone->biasState(0));
        EXPECT_EQ(both->biasState(1), alone->biasState(1));
    }

    auto both = std::make_unique<FlavorStage1994>();
    auto alone = std::make_unique<FlavorStage1994>();
    both->setCoefficients(0.8, kT16);
    alone->setCoefficients(0.8, kT16);
    expectLockstepMatchesChannelsAlone(*both, *alone, 25.0);
    EXPECT_EQ(both->lastOutput(1), alone->lastOutput(1));
}

TEST(StereoLockstep, TubeStageMatchesBeyondItsTableRange)
{
    TubeStage both, alone;
    both.setCoefficients(6.0, 0.5, kT16);
    alone.setCoefficients(6.0, 0.5, kT16);
    expectLockstepMatchesChannelsAlone(both, alone, 60.0);
    for (int channel = 0; channel < 2; ++channel)
        for (std::size_t r = 0; r < 4; ++r)
            EXPECT_EQ(both.state(channel)[r], alone.state(channel)[r]);
}

// Channel 0 runs alone (mono) for a while, then both run in lockstep, then channel 1 alone:
// each channel's output stays that of a filter pair that only ever saw that channel.
template <class Up, class Down>
void expectFiltersFollowEachChannel(int factor, Up up, Down down)
{
    OversamplingFilter upBoth, downBoth;
    OversamplingFilter upAlone[2], downAlone[2];
    DoublePair sub[16];
    double subAlone[16];
    const auto alone = [&](int channel, double x) {
        up(upAlone[channel], x, subAlone, OneChannel{0});
        return down(downAlone[channel], subAlone, OneChannel{0});
    };
    int n = 0;
    for (int stretch = 0; stretch < 6; ++stretch) {
        const int mode = stretch % 3; // 0: channel 0 alone, 1: both, 2: channel 1 alone
        for (int k = 0; k < 37 + 11 * stretch; ++k, ++n) {
            const double left = std::sin(0.1 * n);
            const double right = 0.5 * std::sin(0.37 * n + 1.0);
            if (mode == 1) {
                up(upBoth, DoublePair{left, right}, sub, BothChannels{});
                const DoublePair y = down(downBoth, sub, BothChannels{});
                ASSERT_EQ(bits(y[0]), bits(alone(0, left))) << factor << "x, sample " << n;
                ASSERT_EQ(bits(y[1]), bits(alone(1, right))) << factor << "x, sample " << n;
            } else {
                const int channel = mode == 0 ? 0 : 1;
                const double x = channel == 0 ? left : right;
                double one[16];
                up(upBoth, x, one, OneChannel{channel});
                const double y = down(downBoth, one, OneChannel{channel});
                ASSERT_EQ(bits(y), bits(alone(channel, x))) << factor << "x, sample " << n;
            }
        }
    }
}

TEST(StereoLockstep, OversamplingFiltersResumeEachChannelsHistory)
{
    expectFiltersFollowEachChannel(
        4, [](OversamplingFilter& f, auto x, auto* out, auto lanes) { f.upsample4(x, out, lanes); },
        [](OversamplingFilter& f, const auto* in, auto lanes) { return f.downsample4(in, lanes); });
    expectFiltersFollowEachChannel(
        16, [](OversamplingFilter& f, auto x, auto* out, auto lanes) { f.upsample16(x, out, lanes); },
        [](OversamplingFilter& f, const auto* in, auto lanes) { return f.downsample16(in, lanes); });
}

// Three groups, the middle stage split in two halves around a shared state, against the
// plain chain, over blocks of every size the engine uses.
TEST(StagePipeline, GivesThePlainChainsResults)
{
    struct Chain {
        double first = 0.0;
        double split = 1.0;
        double last = 0.0;
        double front(double x) { return first = x + 0.5 * first; }
        double splitRead(double x) { return x * split + 1.0; }
        double splitUpdate(double x)
        {
            split = 0.25 * split + 0.1 * x;
            return x;
        }
        double back(double x)
        {
            const double y = x - last;
            last = x;
            return y;
        }
    };
    Chain plain, piped;
    int n = 0;
    for (int count : {16, 1, 4, 16, 2, 16}) {
        double block[16];
        double expected[16];
        for (int k = 0; k < count; ++k, ++n) {
            block[k] = std::sin(0.3 * n);
            expected[k] = plain.back(plain.splitUpdate(plain.splitRead(plain.front(block[k]))));
        }
        runPipelined(
            block, count, [&](double x) { return piped.front(x); }, [&](double x) { return piped.splitRead(x); },
            [&](double x) { return piped.splitUpdate(x); }, [&](double x) { return piped.back(x); });
        for (int k = 0; k < count; ++k)
            ASSERT_EQ(bits(block[k]), bits(expected[k])) << "block of " << count << ", sample " << k;
    }
}

} // namespace
} // namespace brimtone
