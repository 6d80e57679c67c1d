#include "amp/FlavorStage2000.h"

#include "dsp/Bisection.h"
#include "dsp/StateSpace.h"
#include "amp/tables/FlavorCurves.h"

#include <cstddef>

namespace brimtone {

namespace {

// Lead clipper curve T3: pre-section outputs 0 .. 0.02 V.
constexpr double kLeadClipperMax = 0.02;
constexpr double kLeadClipperPointsPerUnit = 25600.0;

// The clipping network's curve beyond the stored range (x > 8): its asymptote.
constexpr double kNetworkSlopeBeyond = 0.5290064744;
constexpr double kNetworkOffsetBeyond = -2.15072618204251;

// Lead clipper solve: x = −10000·g·(v + F(x)) on [−16, 16].
constexpr double kClipperFeedback = -10000.0;
constexpr double kSolveLow = -16.0;
constexpr double kSolveHigh = 16.0;
constexpr double kClipperResidual = 1e-10;
constexpr double kClipperWidth = 0.0001;

StateSpace<1> oneState(double pole, double inputGain, double outputGain, double direct)
{
    StateSpace<1> s;
    s.A[0][0] = pole;
    s.B[0] = inputGain;
    s.C[0] = outputGain;
    s.D = direct;
    return s;
}

} // namespace

FlavorStage2000::FlavorStage2000()
    : transfer_(tables::flavorTransfer2000Curve), leadClipper_(leadClipperSamples_.data(), kLeadClipperPointsPerUnit,
                                                               0.0, kLeadClipperMax, 0.0, 0.0, kLeadClipperPoints),
      clipNetwork_(tables::flavorClipNetwork2000Curve)
{
    setCoefficients(0.5, false, 1.0 / 44100.0);
}

void FlavorStage2000::setCoefficients(double g, bool lead, double T)
{
    if (T != T_) {
        bias_.setSamplePeriod(T);
        // Lead pre-section: a first-order high-pass shelf in front of the clipper.
        const StateSpace<1> pre
            = discretiseBilinear<1>(oneState(-666.2228955, -666.1562799, 0.0006661562799, 0.0007660796719), T);
        leadA_ = pre.A[0][0];
        leadB_ = pre.B[0];
        leadC_ = pre.C[0];
        leadD_ = pre.D;
    }
    if (T == T_ && lead == lead_ && g == g_) {
        T_ = T;
        return;
    }
    g_ = g;
    lead_ = lead;
    setGainSection(g, lead, T);
    if (lead)
        buildLeadClipper(g);
    T_ = T;
}

// The gain section is the tube's cathode/plate network around the Gain potentiometer;
// its pole, gains and direct term are closed formulas of g, one set per Lead state.
void FlavorStage2000::setGainSection(double g, bool lead, double T)
{
    StateSpace<1> section;
    if (lead) {
        const double den = 2.730874258e13 * g - 4.047895548e13;
        const double m = (206383.0 - 106383.0 * g) / den;
        section = oneState(24177954540.0 * m, 1.208897727e15 / den, -53191.5 * m, -2.659575e9 / den);
    } else {
        const double n = 1.0 / (14362379700.0 * g * g - 14538620780.0 * g - 3198499771.0);
        const double Q = 1147000943.0 * g * g - 1515182393.0 * g - 333340460.0;
        section = oneState(-1748.251748 * Q * n, 635727272600.0 * g * n, 0.003846153846 * Q * n, -1398599.999 * g * n);
    }
    const StateSpace<1> d = discretiseBilinear<1>(section, T);
    gainA_ = d.A[0][0];
    gainB_ = d.B[0];
    gainC_ = d.C[0];
    gainD_ = d.D;
}

// T3: for each pre-section output v the clipper node x with x = −10000·g·(v + F(x)), F
// the clipping network's curve T4 made odd (and continued by its asymptote beyond 8).
void FlavorStage2000::buildLeadClipper(double g)
{
    const double feedback = kClipperFeedback * g;
    const auto network = [this](double x) {
        const double a = std::fabs(x);
        const double magnitude = a <= 8.0 ? clipNetwork_.lookup(a) : a * kNetworkSlopeBeyond + kNetworkOffsetBeyond;
        return sign(x) * magnitude;
    };
    for (int i = 0; i < kLeadClipperPoints; ++i) {
        const double v = i * kLeadClipperMax / 512.0;
        const auto f = [&](double x) { return x - feedback * (v + network(x)); };
        leadClipperSamples_[static_cast<std::size_t>(i)]
            = bisectRoot(f, kSolveLow, kSolveHigh, kClipperResidual, kClipperWidth);
    }
    repeatLastPoint(leadClipperSamples_);
    leadClipper_.setSlopesFromSamples();
}

} // namespace brimtone
