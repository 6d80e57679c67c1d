#include "amp/FlavorBias.h"

#include "dsp/StateSpace.h"
#include "amp/TubeDiode.h"

#include <cmath>
#include <cstddef>

namespace brimtone {

namespace {

// 47 kΩ against 1 µF.
constexpr double kBiasPole = -21.2766;
constexpr double kBiasInputGain = 1e6; // 1/C
constexpr double kBiasOutputGain = 1.0;
constexpr double kGridResistor = 10000.0;

// Curve grid: node voltages −1 .. 6 V.
constexpr double kCurveMin = -1.0;
constexpr double kCurveMax = 6.0;
constexpr double kCurvePointsPerUnit = 142.85714285714286;
constexpr double kCurveStep = 0.007;

constexpr double kNewtonTolerance = 0.0001;

} // namespace

FlavorBias::FlavorBias() : current_(samples_.data(), kCurvePointsPerUnit, kCurveMin, kCurveMax, 0.0, 0.0, kCurvePoints)
{}

void FlavorBias::setSamplePeriod(double T)
{
    StateSpace<1> network;
    network.A[0][0] = kBiasPole;
    network.B[0] = kBiasInputGain;
    network.C[0] = kBiasOutputGain;
    network.D = kGridResistor;
    const StateSpace<1> d = discretiseBilinear<1>(network, T);
    a_ = d.A[0][0];
    b_ = d.B[0];
    c_ = d.C[0];
    K_ = d.D; // 1e6/(α + 21.2766) + 10 kΩ
    buildCurrentCurve();
}

// For each node voltage v the grid voltage x with x = v + K·I(x), where
// I(x) = −Is·(exp(x/Vt) − 1) is the diode current, by Newton's method from the previous
// point's solution; the sample is the current at the last iterate.
void FlavorBias::buildCurrentCurve()
{
    const double slopeScale = -TubeDiode::kIsOverVt * K_;
    double x = 0.0;
    for (int i = 0; i < kCurvePoints; ++i) {
        const double v = kCurveMin + kCurveStep * i;
        double current = 0.0;
        for (int iteration = 0;; ++iteration) {
            const double e = std::exp(x * TubeDiode::kInverseVt);
            current = -TubeDiode::kIs * (e - 1.0);
            const double f = x - v - K_ * current;
            if (std::fabs(f) <= kNewtonTolerance || iteration == TubeDiode::kNewtonIterationLimit)
                break;
            x -= f / (1.0 - e * slopeScale);
        }
        samples_[static_cast<std::size_t>(i)] = current;
    }
    repeatLastPoint(samples_);
    current_.setSlopesFromSamples();
}

} // namespace brimtone
