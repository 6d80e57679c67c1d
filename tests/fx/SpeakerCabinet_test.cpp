#include "ImpulseResponse.h"
#include "fx/SpeakerCabinet.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "convolution/ShortConvolver.h"
#include "fx/RateFilter.h"
#include "fx/tables/CabinetResponses.h"

namespace brimtone {
namespace {

constexpr double kTrim1x12 = 0.649382; // 10^(-0.1875)
constexpr double kTrim4x12 = 0.728618; // 10^(-0.1375)
constexpr int kLength = 1100;          // the whole 1024-sample response and some silence
constexpr double kTolerance = 2e-6;    // rounding of the partitioned convolution

// A reused cabinet's other channel still rings out the round-off of its last response.
std::vector<double> response(SpeakerCabinet& cabinet, int channel)
{
    return test::impulseResponse<double>(cabinet, channel, kLength, false);
}

std::vector<double> trimmed(const float* table, double trim, int length = kLength)
{
    std::vector<double> response(length, 0.0);
    for (int n = 0; n < 1024 && n < length; ++n)
        response[n] = table[n] * trim;
    return response;
}

// The response a cabinet running at `factor` host samples per cabinet sample must give:
// the impulse decimated, convolved with the trimmed table, interpolated, with each block's
// outputs handed out from the call that completes it.
std::vector<double> reducedRateResponse(const float* table, double trim, int factor)
{
    std::array<float, 1024> response{};
    for (int n = 0; n < 1024; ++n)
        response[n] = static_cast<float>(table[n] * trim);
    ShortConvolver convolver;
    convolver.setImpulseResponse(response.data());
    RateFilter down, up;
    std::array<float, 4> in{}, out{};
    std::vector<double> result;
    for (int n = 0; n < kLength; ++n) {
        in[n % factor] = n == 0 ? 1.0f : 0.0f;
        if (n % factor == factor - 1) {
            if (factor == 1)
                out[0] = convolver.process(in[0]);
            else if (factor == 2)
                up.interpolate2(convolver.process(down.decimate2(in.data())), out.data());
            else
                up.interpolate4(convolver.process(down.decimate4(in.data())), out.data());
        }
        result.push_back(out[(n + 1) % factor]);
    }
    return result;
}

void expectResponse(const std::vector<double>& actual, const std::vector<double>& expected, const char* what)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t n = 0; n < actual.size(); ++n)
        ASSERT_NEAR(actual[n], expected[n], kTolerance) << what << ", sample " << n;
}

TEST(SpeakerCabinet, ImpulseAt44k1GivesTheTrimmedResponseOfEachTypeOnBothChannels)
{
    auto cabinet = std::make_unique<SpeakerCabinet>();
    const std::vector<double> expected = trimmed(cabinetIr44k1x12, kTrim1x12);
    expectResponse(response(*cabinet, 0), expected, "channel 0");
    expectResponse(response(*cabinet, 1), expected, "channel 1");
    cabinet->setSecondType(1);
    expectResponse(response(*cabinet, 0), trimmed(cabinetIr44k4x12, kTrim4x12), "4x12");
}

struct RateCase {
    double rate;
    bool family48k;
    int factor;
};

class SpeakerCabinetRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(SpeakerCabinetRate, ChoosesTheFamilyAndTheRateFactor)
{
    const RateCase c = GetParam();
    auto cabinet = std::make_unique<SpeakerCabinet>();
    cabinet->setSamplePeriod(1.0 / c.rate);
    cabinet->setSecondType(0);
    const float* table1x12 = c.family48k ? cabinetIr48k1x12 : cabinetIr44k1x12;
    expectResponse(response(*cabinet, 0), reducedRateResponse(table1x12, kTrim1x12, c.factor), "1x12");
    cabinet->setSecondType(1);
    const float* table4x12 = c.family48k ? cabinetIr48k4x12 : cabinetIr44k4x12;
    expectResponse(response(*cabinet, 1), reducedRateResponse(table4x12, kTrim4x12, c.factor), "4x12");
}

INSTANTIATE_TEST_SUITE_P(HostRates, SpeakerCabinetRate,
                         ::testing::Values(RateCase{46050, false, 1}, RateCase{46051, true, 1},
                                           RateCase{80000, false, 2}, RateCase{200000, true, 4}),
                         [](const ::testing::TestParamInfo<RateCase>& info) {
                             return std::to_string(static_cast<int>(info.param.rate)) + "Hz";
                         });

TEST(SpeakerCabinet, AmbienceStaysOffUpToTheThresholdAndMixesInThreeTenthsAboveIt)
{
    const double h0 = cabinetIr44k1x12[0] * kTrim1x12;
    // The first ambience output for a cabinet sample y is 7.66 * directKernel[0] * y.
    const double ambienceGainAtZero = 7.66 * -0.125477;
    const std::vector<double> dry = trimmed(cabinetIr44k1x12, kTrim1x12);

    const std::pair<double, bool> settings[] = {
        {0.0, false},          {0.01, false}, // the lowest Ambience setting: 0.003
        {0.0031 / 0.3, false}, {std::nextafter(0.0031f, 1.0f) / 0.3, true},
        {1.0, true},
    };
    for (auto [v, on] : settings) {
        auto cabinet = std::make_unique<SpeakerCabinet>();
        cabinet->setAmbience(v);
        const std::vector<double> r = response(*cabinet, 0);
        if (!on) {
            expectResponse(r, dry, "ambience off");
            continue;
        }
        EXPECT_NEAR(r[0], h0 * (1.0 + ambienceGainAtZero * 0.3 * v), 2e-7) << v;
        EXPECT_GT(std::abs(r[0] - h0), 1e-4) << v;
    }
}

TEST(SpeakerCabinet, SwitchingTheTypeReloadsNothingAndKeepsEachHistory)
{
    auto cabinet = std::make_unique<SpeakerCabinet>();
    for (int n = 0; n < 60; ++n) {
        if (n == 10 || n == 30) {
            cabinet->setSamplePeriod(1.0 / 44100.0);
            cabinet->setSecondType(n == 10 ? 1 : 0);
        }
        double sample = n == 0 ? 1.0 : 0.0;
        cabinet->process(sample, 0);
        // 4x12 sees only silence; 1x12 resumes where it stopped, 10 samples in.
        const double expected = n < 10 ? cabinetIr44k1x12[n] : n < 30 ? 0.0 : cabinetIr44k1x12[n - 20];
        EXPECT_NEAR(sample, expected * kTrim1x12, kTolerance) << n;
    }
}

} // namespace
} // namespace brimtone
