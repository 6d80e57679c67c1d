#include "fx/RoomAmbience.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "fx/tables/RoomAmbienceTables.h"

namespace brimtone {
namespace {

constexpr int kLength = 2400;

// Response of a fresh ambience to an impulse on one channel; the other channel is fed
// silence in between, as the cabinet interleaves them.
std::vector<float> impulseResponse(int channel)
{
    RoomAmbience ambience;
    std::vector<float> response;
    for (int n = 0; n < kLength; ++n) {
        for (int c = 0; c < 2; ++c) {
            float sample = (c == channel && n == 0) ? 1.0f : 0.0f;
            ambience.process(sample, c);
            if (c == channel) {
                response.push_back(sample);
            } else {
                EXPECT_EQ(sample, 0.0f) << "channel " << c << " sample " << n;
            }
        }
    }
    return response;
}

// Reflection i as it leaves the colour FIR: gain times the colour kernel from its delay on.
double reflection(int n, int delay, double gain)
{
    const int k = n - delay;
    return (k >= 0 && k < 70) ? gain * kAmbienceColourKernel[k] : 0.0;
}

TEST(RoomAmbience, ImpulseGivesTheDirectPathThenTheFirstReflections)
{
    EXPECT_FLOAT_EQ(kAmbienceColourKernel[7], 1.0f); // 219 / 219
    EXPECT_FLOAT_EQ(kAmbienceColourKernel[69], 12.0f / 219.0f);
    EXPECT_FLOAT_EQ(kAmbienceDirectKernel[0], -0.125477f);
    EXPECT_FLOAT_EQ(kAmbienceDirectKernel[21], -0.04469319f);

    const std::vector<float> r = impulseResponse(0);
    for (int n = 0; n < 22; ++n) {
        EXPECT_FLOAT_EQ(r[n], 7.66f * kAmbienceDirectKernel[n]) << n;
    }
    for (int n = 22; n < 112; ++n) {
        EXPECT_EQ(r[n], 0.0f) << n;
    }
    // Taps 0..3 (112 / 0.24576, 135 / -0.22332, 154 / 0.20957, 169 / -0.20034) alone shape
    // the response until tap 4 arrives at sample 180.
    for (int n = 112; n < 180; ++n) {
        const double expected = reflection(n, 112, 0.24576) + reflection(n, 135, -0.22332) + reflection(n, 154, 0.20957)
                                + reflection(n, 169, -0.20034);
        EXPECT_NEAR(r[n], expected, 2e-5) << n;
    }
}

TEST(RoomAmbience, LastReflectionsEndTheResponse)
{
    // Taps 46 (2140 / 0.10067) and 47 (2212 / -0.10035) are alone after tap 45 has passed
    // through the colour FIR (2049 + 70 samples); the response ends 70 samples after tap 47.
    const std::vector<float> r = impulseResponse(0);
    for (int n = 2119; n < kLength; ++n) {
        const double expected = reflection(n, 2140, 0.10067) + reflection(n, 2212, -0.10035);
        EXPECT_NEAR(r[n], expected, 1e-5) << n;
    }
}

TEST(RoomAmbience, SecondChannelIsTheSameResponseTwentySamplesLater)
{
    // Includes the direct path and the longest read (tap 47 plus the offset, 2232 samples).
    const std::vector<float> left = impulseResponse(0);
    const std::vector<float> right = impulseResponse(1);
    for (int n = 0; n < 20; ++n) {
        EXPECT_EQ(right[n], 0.0f) << n;
    }
    for (int n = 20; n < kLength; ++n) {
        EXPECT_EQ(right[n], left[n - 20]) << n;
    }
}

// The ambience computed sample by sample from its definition, in single precision: the
// reflection delays and gains from their formulas, every sum in plain sequential order.
class ReferenceAmbience {
public:
    ReferenceAmbience()
    {
        float t = 0.003021875f;
        for (int i = 0; i < 48; ++i) {
            if (i > 0) {
                t = t + (static_cast<float>(i) * 3.331e-05f + 0.0002f);
            }
            const float time = t + kAmbienceTapJitter[i] - 0.00015873015f;
            delay[i] = static_cast<int>(std::lrint(time / (1.0f / 44100.0f)));
            const float g = 0.0004756357f / (time + 0.0005232348f) + 0.090970784f;
            gain[i] = (i % 2 == 0) ? g : -g;
        }
    }

    float process(float x, int c)
    {
        input[c].push_back(x);
        const int n = static_cast<int>(input[c].size()) - 1;
        const int offset = c == 0 ? 0 : 20;
        float reflections = 0.0f;
        for (int i = 0; i < 48; ++i) {
            reflections += past(input[c], n - delay[i] - offset) * gain[i];
        }
        reflected[c].push_back(reflections);
        direct[c].push_back(past(input[c], n - offset) * 7.66f);
        return fir(kAmbienceColourKernel, reflected[c], n) + fir(kAmbienceDirectKernel, direct[c], n);
    }

private:
    static float past(const std::vector<float>& signal, int n) { return n >= 0 ? signal[n] : 0.0f; }

    template <std::size_t Taps>
    static float fir(const std::array<float, Taps>& kernel, const std::vector<float>& signal, int n)
    {
        float y = 0.0f;
        for (std::size_t k = 0; k < Taps; ++k) {
            y += kernel[k] * past(signal, n - static_cast<int>(k));
        }
        return y;
    }

    std::array<int, 48> delay{};
    std::array<float, 48> gain{};
    std::array<std::vector<float>, 2> input, reflected, direct;
};

TEST(RoomAmbience, StreamFollowsTheSampleBySampleDefinitionOnBothChannels)
{
    // Long enough for the delay line and every block and history to wrap.
    RoomAmbience ambience;
    ReferenceAmbience reference;
    std::mt19937 generator(7u);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    for (int n = 0; n < 6000; ++n) {
        for (int c = 0; c < 2; ++c) {
            const float x = uniform(generator);
            float sample = x;
            ambience.process(sample, c);
            // The reflections are computed in the same order; only the direct path's sum is
            // associated differently. A reflection a sample off changes the output by about 0.1.
            ASSERT_NEAR(sample, reference.process(x, c), 5e-6) << "channel " << c << ", sample " << n;
        }
    }
}

} // namespace
} // namespace brimtone
