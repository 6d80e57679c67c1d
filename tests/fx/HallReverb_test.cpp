#include "ImpulseResponse.h"
#include "fx/HallReverb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <vector>

namespace brimtone {
namespace {

constexpr double kFirstEcho = 0.011 * 0.75; // input gain times one low-pass step

int firstEcho(const std::vector<double>& r)
{
    return static_cast<int>(std::find_if(r.begin(), r.end(), [](double x) { return x != 0.0; }) - r.begin());
}

double energy(const std::vector<double>& r, int from, int to)
{
    return std::inner_product(r.begin() + from, r.begin() + to, r.begin() + from, 0.0);
}

TEST(HallReverb, EchoesArriveAfterTheLinesAndDiffusersOnBothChannels)
{
    for (int channel : {0, 1}) {
        auto hall = std::make_unique<HallReverb>();
        const std::vector<double> r = test::impulseResponse<double>(*hall, channel, 1400);
        const int shift = 23 * channel; // every delay of channel 1 is 23 samples longer
        EXPECT_EQ(firstEcho(r), 978 + shift);
        EXPECT_DOUBLE_EQ(r[978 + shift], kFirstEcho);
        // The line's one-pole low-pass lets a quarter through on each following sample.
        EXPECT_DOUBLE_EQ(r[979 + shift], kFirstEcho * 0.25);
        EXPECT_DOUBLE_EQ(r[980 + shift], kFirstEcho * 0.0625);
        EXPECT_NEAR(r[1193 + shift], kFirstEcho, 1e-12); // the next line
        // The shortest diffusion stages (as much longer) echo it 225 and 341 samples later.
        EXPECT_NEAR(r[978 + 2 * shift + 225], -kFirstEcho, 1e-7);
        EXPECT_NEAR(r[978 + 2 * shift + 341], -kFirstEcho, 1e-7);
    }
}

// The tail's decay is set by the feedback gain and the damping of the lines: its energy per
// half second, a reference figure a feedback gain off in its third digit moves by percents.
TEST(HallReverb, TailDecaysAtItsSettledRate)
{
    auto hall = std::make_unique<HallReverb>();
    const std::vector<double> r = test::impulseResponse<double>(*hall, 0, 88200);
    EXPECT_NEAR(energy(r, 4410, 22050), 0.0469158593, 1e-6 * 0.0469158593);
    EXPECT_NEAR(energy(r, 22050, 44100) / energy(r, 4410, 22050), 0.0836316488, 1e-6 * 0.0836316488);
    EXPECT_NEAR(energy(r, 44100, 88200) / energy(r, 22050, 44100), 0.0956483973, 1e-6 * 0.0956483973);
}

TEST(HallReverb, DelaysFollowTheSampleRateAndClearReturnsToSilence)
{
    auto hall = std::make_unique<HallReverb>();
    for (int n = 0; n < 3000; ++n) {
        double sample = std::sin(0.01 * n);
        hall->process(sample, 0);
    }
    hall->setSamplePeriod(1.0 / 96000.0);
    hall->clear();
    // 0.022177 s at 96 kHz is 2128.99 samples.
    EXPECT_EQ(firstEcho(test::impulseResponse<double>(*hall, 0, 2200)), 2129);

    hall->setSamplePeriod(1.0 / 192000.0); // the shortest line is 4257.98 samples
    hall->clear();
    EXPECT_EQ(firstEcho(test::impulseResponse<double>(*hall, 0, 4300)), 4258);
}

} // namespace
} // namespace brimtone
