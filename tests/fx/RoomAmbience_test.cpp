#include "ImpulseResponse.h"
#include "fx/RoomAmbience.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fx/tables/RoomAmbienceTables.h"

namespace brimtone {
namespace {

constexpr int kLength = 2400;

// A fresh ambience's response on one channel.
std::vector<float> impulseResponse(int channel)
{
    RoomAmbience ambience;
    return test::impulseResponse<float>(ambience, channel, kLength);
}

// Reflection i as it leaves the colour FIR: gain times the colour kernel from its delay on.
double reflection(int n, int delay, double gain)
{
    const int k = n - delay;
    return (k >= 0 && k < 70) ? gain * kAmbienceColourKernel[k] : 0.0;
}

TEST(RoomAmbience, ImpulseGivesTheDirectPathThenTheFirstReflections)
{
    const std::vector<float> r = impulseResponse(0);
    for (int n = 0; n < 22; ++n)
        EXPECT_FLOAT_EQ(r[n], 7.66f * kAmbienceDirectKernel[n]) << n;
    for (int n = 22; n < 112; ++n)
        EXPECT_EQ(r[n], 0.0f) << n;
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
    for (int n = 0; n < 20; ++n)
        EXPECT_EQ(right[n], 0.0f) << n;
    for (int n = 20; n < kLength; ++n)
        EXPECT_EQ(right[n], left[n - 20]) << n;
}

} // namespace
} // namespace brimtone
