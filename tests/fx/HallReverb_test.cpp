#include "fx/HallReverb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace brimtone {
namespace {

constexpr double kFirstEcho = 0.011 * 0.75; // input gain times one low-pass step

// Wet response of one channel to an impulse; the other channel is fed silence in between.
std::vector<double> impulseResponse(HallReverb& hall, int channel, int length)
{
    std::vector<double> response;
    for (int n = 0; n < length; ++n) {
        for (int c = 0; c < 2; ++c) {
            double sample = (c == channel && n == 0) ? 1.0 : 0.0;
            hall.process(sample, c);
            if (c == channel) {
                response.push_back(sample);
            }
        }
    }
    return response;
}

// Index of the first non-zero sample, or -1.
int firstEcho(const std::vector<double>& response)
{
    for (std::size_t n = 0; n < response.size(); ++n) {
        if (response[n] != 0.0) {
            return static_cast<int>(n);
        }
    }
    return -1;
}

TEST(HallReverb, FirstEchoArrivesAfterTheShortestLine)
{
    auto hall = std::make_unique<HallReverb>();
    const std::vector<double> r = impulseResponse(*hall, 0, 1400);
    EXPECT_EQ(firstEcho(r), 978);
    EXPECT_DOUBLE_EQ(r[978], kFirstEcho);
    // The line's one-pole low-pass lets a quarter through on each following sample.
    EXPECT_DOUBLE_EQ(r[979], kFirstEcho * 0.25);
    EXPECT_DOUBLE_EQ(r[980], kFirstEcho * 0.0625);
    // The next line (1193 samples) brings the same echo.
    EXPECT_NEAR(r[1193], kFirstEcho, 1e-12);
    // The shortest diffusion stages echo it 225 and 341 samples later.
    EXPECT_NEAR(r[978 + 225], -kFirstEcho, 1e-7);
    EXPECT_NEAR(r[978 + 341], -kFirstEcho, 1e-7);
}

TEST(HallReverb, SecondChannelIsTwentyThreeSamplesLater)
{
    auto hall = std::make_unique<HallReverb>();
    const std::vector<double> r = impulseResponse(*hall, 1, 1300);
    EXPECT_EQ(firstEcho(r), 978 + 23);
    EXPECT_DOUBLE_EQ(r[1001], kFirstEcho);
    EXPECT_DOUBLE_EQ(r[1002], kFirstEcho * 0.25);
    EXPECT_NEAR(r[1193 + 23], kFirstEcho, 1e-12);
}

TEST(HallReverb, DelaysFollowTheSampleRate)
{
    auto hall = std::make_unique<HallReverb>();
    hall->setSamplePeriod(1.0 / 96000.0);
    hall->clear();
    // 0.022177 s at 96 kHz is 2128.99 samples.
    EXPECT_EQ(firstEcho(impulseResponse(*hall, 0, 2200)), 2129);

    // Rates above 192 kHz, and periods that give no positive rate, keep the previous rate.
    hall->setSamplePeriod(1.0 / 200000.0);
    hall->setSamplePeriod(0.0);
    hall->setSamplePeriod(-1.0 / 44100.0);
    hall->setSamplePeriod(std::numeric_limits<double>::quiet_NaN());
    hall->clear();
    EXPECT_EQ(firstEcho(impulseResponse(*hall, 0, 2200)), 2129);

    // At 192 kHz the shortest line is 4257.98 samples.
    hall->setSamplePeriod(1.0 / 192000.0);
    hall->clear();
    EXPECT_EQ(firstEcho(impulseResponse(*hall, 0, 4300)), 4258);
}

TEST(HallReverb, ClearReturnsToSilence)
{
    auto hall = std::make_unique<HallReverb>();
    for (int n = 0; n < 3000; ++n) {
        double sample = std::sin(0.01 * n);
        hall->process(sample, 0);
    }
    hall->clear();
    const std::vector<double> r = impulseResponse(*hall, 0, 1000);
    EXPECT_EQ(firstEcho(r), 978);
    EXPECT_DOUBLE_EQ(r[978], kFirstEcho);
}

} // namespace
} // namespace brimtone
