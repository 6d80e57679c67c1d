#include "amp/CleanOutputFilter.h"
#include "amp/DriveOutputFilter.h"
#include "amp/LinearResponse.h"
#include "amp/Tonestack.h"
#include "analysis/FrequencyGrid.h"
#include "analysis/ResponseMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace brimtone {
namespace {

using Complex = std::complex<float>;

constexpr int kClean = 1, kDrive = 2, kLead = 3;
constexpr double kT44k = 1.0 / 44100.0;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::complex<double> widen(Complex z) { return {z.real(), z.imag()}; }

struct ToneChain {
    Tonestack tonestack;
    CleanOutputFilter clean;
    DriveOutputFilter drive;

    ToneChain(int channel, int ampMode, double T)
    {
        const bool driveNetwork = channel == kDrive || channel == kLead;
        tonestack.setCoefficients(0.3, 0.7, 0.6, driveNetwork, T);
        clean.setCoefficients(0.5, ampMode != 0, true, T);
        drive.setCoefficients(ampMode, channel == kLead, 0.4, 0.6, T);
        tonestack.refreshDisplayBlock();
        clean.refreshDisplayBlock();
        drive.refreshDisplayBlock();
    }

    float responseAt(int channel, Complex z) const
    {
        return toneResponseAt(channel, tonestack.displayBlock(), clean.displayBlock(), drive.displayBlock(), z);
    }

    // The same chain from the double-precision discrete coefficients.
    double referenceAt(int channel, std::complex<double> z) const
    {
        const double t = std::norm(test::transferAt<3>(tonestack.discreteNetwork(), z));
        if (channel == kClean)
            return t * std::norm(test::transferAt<2>(clean.discrete(), z));
        return t * std::norm(test::transferAt<4>(drive.discreteNetwork(), z))
               * std::norm(test::transferAt<1>(drive.discreteSection(), z));
    }
};

// Both branches (|Im s| below, at and above |Re s|), and the scaling that keeps a large
// divisor from overflowing; a zero divisor gives NaN.
TEST(ComplexDivide, ScaledQuotients)
{
    const struct {
        Complex r, s, q;
    } cases[] = {
        {{1.0f, 2.0f}, {3.0f, 1.0f}, {0.5f, 0.5f}},       {{1.0f, 2.0f}, {1.0f, 3.0f}, {0.7f, -0.1f}},
        {{2.0f, 0.0f}, {1.0f, 1.0f}, {1.0f, -1.0f}},      {{1.0f, 0.0f}, {0.0f, -2.0f}, {0.0f, 0.5f}},
        {{1e30f, 0.0f}, {3e30f, 4e30f}, {0.12f, -0.16f}},
    };
    for (const auto& c : cases) {
        const Complex q = complexDivide(c.r, c.s);
        EXPECT_FLOAT_EQ(q.real(), c.q.real()) << c.s;
        EXPECT_FLOAT_EQ(q.imag(), c.q.imag()) << c.s;
    }
    EXPECT_TRUE(std::isnan(complexDivide({1.0f, 1.0f}, {0.0f, 0.0f}).real()));
}

TEST(ToneResponse, CleanAtDcIsSingularFor2000And2002)
{
    // The high-pass of the later flavours leaves its second state at A = 1: z = 1 is an
    // eigenvalue, so the point is NaN and shows at the floor.
    for (const int ampMode : {1, 2}) {
        const ToneChain chain(kClean, ampMode, kT44k);
        const float dc = chain.responseAt(kClean, {1.0f, 0.0f});
        EXPECT_TRUE(std::isnan(dc));
        EXPECT_EQ(responseLevelDb(dc), -50.0f);
    }
}

// Every grid point against the double-precision chain; the floor keeps deep zeros (the
// drive networks vanish at 22050 Hz) from asking for more than single precision holds.
void expectGridMatchesReference(int channel, int ampMode, int oversampling)
{
    const double T = kT44k / oversampling;
    const ToneChain chain(channel, ampMode, T);
    FrequencyGrid grid;
    grid.setSamplePeriod(static_cast<float>(T));
    double peak = 0.0;
    for (std::size_t k = 0; k < FrequencyGrid::kPoints; ++k)
        peak = std::max(peak, chain.referenceAt(channel, widen(grid.point(k))));
    ASSERT_GT(peak, 0.0);
    for (std::size_t k = 0; k < FrequencyGrid::kPoints; ++k) {
        const double expected = chain.referenceAt(channel, widen(grid.point(k)));
        EXPECT_NEAR(chain.responseAt(channel, grid.point(k)), expected, 2e-4 * expected + 1e-7 * peak)
            << "channel " << channel << " ampMode " << ampMode << " x" << oversampling << " k " << k;
    }
}

TEST(ToneResponse, EveryChannelAndFlavourMatchesDoublePrecision)
{
    for (const int channel : {kClean, kDrive, kLead})
        for (const int ampMode : {0, 1, 2})
            for (const int oversampling : {1, 4, 16})
                expectGridMatchesReference(channel, ampMode, oversampling);
}

TEST(ToneResponse, LevelInDecibels)
{
    EXPECT_FLOAT_EQ(responseLevelDb(1.0f), 0.0f);
    EXPECT_FLOAT_EQ(responseLevelDb(100.0f), 20.0f);
    EXPECT_FLOAT_EQ(responseLevelDb(0.001f), -30.0f);
    EXPECT_FLOAT_EQ(responseLevelDb(1e-6f), -60.0f); // −50 stands only for m ≤ 0 and NaN
    EXPECT_EQ(responseLevelDb(0.0f), -50.0f);
    EXPECT_EQ(responseLevelDb(-1.0f), -50.0f);
    EXPECT_EQ(responseLevelDb(kNaN), -50.0f);
}

} // namespace
} // namespace brimtone
