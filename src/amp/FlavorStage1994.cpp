#include "amp/FlavorStage1994.h"

#include "dsp/Bisection.h"
#include "dsp/StateSpace.h"
#include "amp/TubeDiode.h"
#include "amp/tables/FlavorCurves.h"

#include <cstddef>

namespace brimtone {

namespace {

// Diode clipper curve U3: inputs 0 .. 16 V.
constexpr int kClipperPoints = 3001;
constexpr double kClipperMax = 16.0;
constexpr double kClipperPointsPerUnit = 187.5;
// Two antiparallel grid diodes behind 1 kΩ: R·Is and R·Is/Vt.
constexpr double kClipperRIs = 6.2229e-06;
constexpr double kClipperRIsOverVt = 0.000125224272367471;
constexpr double kClipperTolerance = 1e-06;

// Transfer curve U4: inputs −1.5 .. 1.5 V.
constexpr double kTransferMin = -1.5;
constexpr double kTransferMax = 1.5;
constexpr double kTransferPointsPerUnit = 333.3333333333333;
constexpr double kTransferStep = 0.003;
constexpr double kSolveLow = -16.0;
constexpr double kSolveHigh = 16.0;
constexpr double kTransferResidual = 1e-10;
constexpr double kTransferWidth = 1e-6;

// For each input V the clipped voltage x with x + R·Is·(exp(x/Vt) − exp(−x/Vt)) = V, by
// Newton's method from the previous point's solution.
CurveSamples<kClipperPoints> computeClipperSamples()
{
    CurveSamples<kClipperPoints> samples{};
    double x = 0.0;
    for (int i = 0; i < kClipperPoints; ++i) {
        const double V = i * kClipperMax / 3000.0;
        for (int iteration = 0;; ++iteration) {
            const double e = std::exp(x * TubeDiode::kInverseVt);
            const double f = (e - 1.0 / e) * kClipperRIs + (x - V);
            if (std::fabs(f) <= kClipperTolerance || iteration == TubeDiode::kNewtonIterationLimit)
                break;
            x -= f / ((e + 1.0 / e) * kClipperRIsOverVt + 1.0);
        }
        samples[static_cast<std::size_t>(i)] = x;
    }
    repeatLastPoint(samples);
    return samples;
}

// Computed once, by the first caller; the initialisation of a function-local static is
// thread-safe, so instances constructed on several threads at once share one result.
const CurveSamples<kClipperPoints>& clipperSamples()
{
    static const CurveSamples<kClipperPoints> samples = computeClipperSamples();
    return samples;
}

CurveTable sharedClipperCurve()
{
    const auto& s = clipperSamples();
    CurveTable curve(s.data(), kClipperPointsPerUnit, 0.0, kClipperMax, 0.0, 0.0, kClipperPoints);
    curve.setSlopesFromSamples();
    return curve;
}

} // namespace

FlavorStage1994::FlavorStage1994()
    : device_(tables::flavorDevice1994Curve), clipper_(sharedClipperCurve()),
      transfer_(transferSamples_.data(), kTransferPointsPerUnit, kTransferMin, kTransferMax, 0.0, 0.0, kTransferPoints)
{
    setCoefficients(0.5, 1.0 / 44100.0);
}

void FlavorStage1994::setCoefficients(double g, double T)
{
    if (T != T_) {
        bias_.setSamplePeriod(T);
        // Coupling high-pass after the clipper: pole at −1000 rad/s.
        StateSpace<1> highPass;
        highPass.A[0][0] = -1000.0;
        highPass.B[0] = -1000.0;
        highPass.C[0] = 1.0;
        highPass.D = 1.0;
        const StateSpace<1> d = discretiseBilinear<1>(highPass, T);
        highPassA_ = d.A[0][0];
        highPassB_ = d.B[0];
        highPassC_ = d.C[0];
        highPassD_ = d.D;
    }
    if (g != g_) {
        g_ = g;
        loadInput_ = -250.0 * g;
        loadDevice_ = -250000.0 * g;
        buildTransfer();
    }
    T_ = T;
}

// U4: for each input v the device voltage x with x = (−250·g)·v + (−250000·g)·U1(x).
void FlavorStage1994::buildTransfer()
{
    for (int i = 0; i < kTransferPoints; ++i) {
        const double v = kTransferMin + kTransferStep * i;
        const auto f = [&](double x) { return x - loadInput_ * v - loadDevice_ * device_.lookup(x); };
        transferSamples_[static_cast<std::size_t>(i)]
            = bisectRoot(f, kSolveLow, kSolveHigh, kTransferResidual, kTransferWidth);
    }
    repeatLastPoint(transferSamples_);
    transfer_.setSlopesFromSamples();
}

} // namespace brimtone
