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

constexpr int kBypass = 0;
constexpr int kClean = 1;
constexpr int kDrive = 2;
constexpr int kLead = 3;
constexpr double kT44k = 1.0 / 44100.0;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::complex<double> widen(Complex z) { return {z.real(), z.imag()}; }

bool bothNaN(Complex q) { return std::isnan(q.real()) && std::isnan(q.imag()); }

// The filters of one channel setting, with their display blocks refreshed.
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

TEST(ComplexDivide, ScaledQuotients)
{
    // |Im s| < |Re s|: (1 + 2j) / (3 + j) = 0.5 + 0.5j.
    Complex q = complexDivide({1.0f, 2.0f}, {3.0f, 1.0f});
    EXPECT_FLOAT_EQ(q.real(), 0.5f);
    EXPECT_FLOAT_EQ(q.imag(), 0.5f);
    // |Im s| > |Re s|: (1 + 2j) / (1 + 3j) = 0.7 − 0.1j.
    q = complexDivide({1.0f, 2.0f}, {1.0f, 3.0f});
    EXPECT_FLOAT_EQ(q.real(), 0.7f);
    EXPECT_FLOAT_EQ(q.imag(), -0.1f);
    // Equal magnitudes take the second branch: 2 / (1 + j) = 1 − j.
    q = complexDivide({2.0f, 0.0f}, {1.0f, 1.0f});
    EXPECT_FLOAT_EQ(q.real(), 1.0f);
    EXPECT_FLOAT_EQ(q.imag(), -1.0f);
    // A purely imaginary divisor: 1 / −2j = 0.5j.
    q = complexDivide({1.0f, 0.0f}, {0.0f, -2.0f});
    EXPECT_FLOAT_EQ(q.real(), 0.0f);
    EXPECT_FLOAT_EQ(q.imag(), 0.5f);
    // The scaling keeps a large divisor from overflowing: 1e30 / (3e30 + 4e30j).
    q = complexDivide({1e30f, 0.0f}, {3e30f, 4e30f});
    EXPECT_FLOAT_EQ(q.real(), 0.12f);
    EXPECT_FLOAT_EQ(q.imag(), -0.16f);
}

TEST(ComplexDivide, NaNRules)
{
    EXPECT_TRUE(bothNaN(complexDivide({1.0f, 1.0f}, {0.0f, 0.0f})));
    EXPECT_TRUE(bothNaN(complexDivide({0.0f, 0.0f}, {-0.0f, 0.0f})));
    EXPECT_TRUE(bothNaN(complexDivide({1.0f, 0.0f}, {kNaN, 0.0f})));
    EXPECT_TRUE(bothNaN(complexDivide({1.0f, 0.0f}, {0.0f, kNaN})));
    EXPECT_TRUE(bothNaN(complexDivide({1.0f, 0.0f}, {1.0f, kNaN})));
    // Both parts infinite: the scale is NaN (a library division would return 0).
    EXPECT_TRUE(bothNaN(complexDivide({1.0f, 1.0f}, {kInf, kInf})));
    // One infinite part is a usable divisor.
    const Complex q = complexDivide({1.0f, 1.0f}, {kInf, 1.0f});
    EXPECT_EQ(q.real(), 0.0f);
    EXPECT_FALSE(std::isnan(q.imag()));
}

TEST(ToneResponse, BypassIsFlat)
{
    // Blocks that would give NaN (A = 0 at z = 0) do not matter in Bypass.
    DisplayBlock<3> singular;
    const FrequencyGrid grid;
    const DriveOutputFilter::Display drive{};
    for (std::size_t k = 0; k < FrequencyGrid::kPoints; ++k)
        EXPECT_EQ(toneResponseAt(kBypass, singular, DisplayBlock<2>{}, drive, grid.point(k)), 1.0f);
    EXPECT_EQ(toneResponseAt(kBypass, singular, DisplayBlock<2>{}, drive, {0.0f, 0.0f}), 1.0f);
}

TEST(ToneResponse, CleanAtDcMatchesDoublePrecisionProduct)
{
    // The 1994 clean output network blocks DC (its B is A's first column and D = c1),
    // so the product is zero in exact arithmetic; the single-precision evaluation must
    // agree to far below the passband level.
    for (const double T : {kT44k, kT44k / 4.0}) {
        const ToneChain chain(kClean, 0, T);
        const StateSpace<3>& tonestack = chain.tonestack.discreteNetwork();
        const StateSpace<2> clean = chain.clean.discrete();
        const double dcTonestack = std::norm(test::transferAt<3>(tonestack, 1.0));
        const double dcClean = std::norm(test::transferAt<2>(clean, 1.0));
        const std::complex<double> oneKHz = std::polar(1.0, 2000.0 * std::numbers::pi * T);
        const double atOneKHz = std::norm(test::transferAt<2>(clean, oneKHz));
        const double passband = dcTonestack * atOneKHz;
        const float dc = chain.responseAt(kClean, {1.0f, 0.0f});
        EXPECT_NEAR(dc, dcTonestack * dcClean, 1e-6 * passband) << "T " << T;
    }
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

TEST(ToneResponse, CleanMatchesDoublePrecision)
{
    for (const int ampMode : {0, 1, 2})
        for (const int oversampling : {1, 4})
            expectGridMatchesReference(kClean, ampMode, oversampling);
}

TEST(ToneResponse, DriveAndLeadMatchDoublePrecision)
{
    for (const int channel : {kDrive, kLead})
        for (const int ampMode : {0, 1, 2})
            for (const int oversampling : {1, 4, 16})
                expectGridMatchesReference(channel, ampMode, oversampling);
}

TEST(ToneResponse, EigenvalueOfAGivesNaN)
{
    // A = diag(0.5, 0.25, −0.5): z = 0.25 makes z·I − A singular.
    StateSpace<3> s;
    s.A = {{{0.5, 0.0, 0.0}, {0.0, 0.25, 0.0}, {0.0, 0.0, -0.5}}};
    s.B = {1.0, 1.0, 1.0};
    s.C = {1.0, 1.0, 1.0};
    s.D = 0.5;
    DisplayBlock<3> tonestack;
    tonestack.assign(s);
    // Away from the eigenvalues the same block is ordinary.
    EXPECT_NEAR(std::abs(blockResponseAt(tonestack, {0.0f, 1.0f})), std::abs(test::transferAt<3>(s, {0.0, 1.0})), 1e-6);

    const ToneChain chain(kDrive, 0, kT44k);
    const float atEigenvalue
        = toneResponseAt(kDrive, tonestack, chain.clean.displayBlock(), chain.drive.displayBlock(), {0.25f, 0.0f});
    EXPECT_TRUE(std::isnan(atEigenvalue));
    EXPECT_EQ(responseLevelDb(atEigenvalue), -50.0f);

    // Two and four states, and the one-state section at z = a.
    StateSpace<2> s2;
    s2.A = {{{0.5, 0.0}, {0.0, -0.75}}};
    s2.B = {1.0, 1.0};
    s2.C = {1.0, 1.0};
    DisplayBlock<2> b2;
    b2.assign(s2);
    EXPECT_TRUE(bothNaN(blockResponseAt(b2, {-0.75f, 0.0f})));
    StateSpace<4> s4;
    s4.A = {{{0.5, 0.0, 0.0, 0.0}, {0.0, 0.25, 0.0, 0.0}, {0.0, 0.0, 0.125, 0.0}, {0.0, 0.0, 0.0, -0.5}}};
    s4.B = {1.0, 1.0, 1.0, 1.0};
    s4.C = {1.0, 1.0, 1.0, 1.0};
    DisplayBlock<4> b4;
    b4.assign(s4);
    EXPECT_TRUE(bothNaN(blockResponseAt(b4, {0.125f, 0.0f})));
    const DisplayBlock<1>& section = chain.drive.displayBlock().section;
    EXPECT_TRUE(bothNaN(blockResponseAt(section, section.A[0])));
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
