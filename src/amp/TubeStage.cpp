#include "amp/TubeStage.h"

#include <cmath>

namespace brimtone {

namespace {

// Koren's triode equations with this tube's constants.
constexpr double kInverseMu = 0.046511627906976744; // 1/21.5
constexpr double kKp = 84.0;
constexpr double kInverseKp = 0.011904761904761904;
constexpr double kKvb = 300.0;
constexpr double kExponent = 1.3;
constexpr double kInverseKg1 = 0.001694915254237288; // 1/590
// Grid current: 1e-5·(vg + 0.2)^1.5 above −0.2 V.
constexpr double kGridOnset = 0.2;
constexpr double kGridScale = 1e-05;
constexpr double kGridSlopeScale = 1.5000000000000002e-05; // 1.5·1e-5
// Beyond these the softplus is its argument, and its logistic slope 1 or 0.
constexpr double kSoftplusLinear = 16.0;
constexpr double kLogisticSaturation = 6.0;

constexpr double kNewtonTolerance = 1e-12; // on |Δ|² and |F|²
constexpr int kNewtonIterationLimit = 100;

// The currents for a grid-cathode voltage vg and a plate-cathode voltage vp, with the
// partial derivatives the Newton step needs.
struct Triode {
    double ig = 0.0;
    double ip = 0.0;
    double dIgDvg = 0.0;
    double dIpDvg = 0.0;
    double dIpDvp = 0.0;

    Triode(double vg, double vp)
    {
        if (vg > -kGridOnset) {
            ig = kGridScale * std::pow(vg + kGridOnset, 1.5);
            dIgDvg = kGridSlopeScale * std::sqrt(vg + kGridOnset);
        }
        if (vp <= 0.0)
            return;
        const double root = std::sqrt(vp * vp + kKvb);
        const double s = (vg / root + kInverseMu) * kKp;
        const double softplus = s > kSoftplusLinear ? s : std::log(std::exp(s) + 1.0);
        const double E = vp * softplus * kInverseKp;
        if (E <= 0.0)
            return;
        ip = std::pow(E, kExponent) * kInverseKg1;
        double logistic = 0.0;
        if (s > kLogisticSaturation)
            logistic = 1.0;
        else if (s >= -kLogisticSaturation)
            logistic = std::exp(s) / (std::exp(s) + 1.0);
        // E = vp·softplus(s)/Kp with s = Kp·(vg/√(vp² + Kvb) + 1/μ).
        const double dEdVg = vp * logistic / root;
        const double dEdVp = softplus * kInverseKp - vp * vp * vg * logistic / (root * root * root);
        const double dIpdE = kExponent * std::pow(E, kExponent - 1.0) * kInverseKg1;
        dIpDvg = dIpdE * dEdVg;
        dIpDvp = dIpdE * dEdVp;
    }
};

} // namespace

TubeStage::TubeStage()
{
    Circuit& c = continuous_;
    c.A = {{{-9.99000999, -0.01813065561, -9.573004512, 9.99000999},
            {0.0, -9.267473823, 0.3861443886, 0.0},
            {0.0, 0.01814878626, -0.4174224834, 0.0},
            {0.0, -2.745312838, -1449.527957, -212.7659574}}};
    c.B[kSignal] = {-9.99000999, 0.0, 0.0, 0.0};
    c.B[kSupply] = {0.3988748223, -8.881329435, -0.3992736971, -906.7200784};
    c.B[kGridCurrent] = {-99900.0999, 0.0, 0.0, 0.0};
    c.B[kPlateCurrent] = {-39887.48223, 888132.9435, 39927.36971, -6039694.284};
    c.C[kOutput] = {0.0, 0.9582577516, -0.03992736971, 0.0};
    c.C[kGridVoltage] = {0.999000999, -1.813065561e-06, 4.170054779e-05, 0.000999000999};
    c.C[kPlateVoltage] = {0.0, -0.04174224834, -0.03992736971, 0.0};
    c.D[kOutput] = {0.0, 0.9183303819, 0.0, -91833.03819};
    // The grid row's own current term (K00) follows P; see setCoefficients.
    c.D[kGridVoltage] = {0.999000999, 3.988748223e-05, 0.0, -3.988748223};
    c.D[kPlateVoltage] = {0.0, 0.9183303819, 0.0, -91833.03819};
    setCoefficients(6.0, 0.5, 1.0 / 44100.0);
}

void TubeStage::setCoefficients(double V, double P, double T)
{
    if (T == T_ && P == P_) {
        if (V != V_) {
            V_ = V;
            resetToOperatingPoint();
            layOutCoefficients();
        }
        return;
    }
    P_ = P;
    T_ = T;
    continuous_.D[kGridVoltage][kGridCurrent] = (P * 11011.0 + 5.0) * -1.998001998;
    discrete_ = discretiseBilinear<4, 4, 3>(continuous_, T);
    // A new supply first moves the channels to its operating point, so that the table is
    // built for that supply and plate voltage. (Built before, the first table would see
    // no supply and a zero state: no plate current anywhere, and a stage that passes
    // almost nothing until the period changes.)
    if (V != V_) {
        V_ = V;
        resetToOperatingPoint();
    }
    buildCurrentTable();
    layOutCoefficients();
}

void TubeStage::layOutCoefficients()
{
    const Circuit& d = discrete_;
    const auto outputRow = [&](std::size_t output) {
        SampleRow row;
        for (std::size_t j = 0; j < 4; ++j)
            row.state[j] = d.C[output][j];
        row.signal = d.D[output][kSignal];
        row.supply = d.D[output][kSupply] * V_;
        row.gridCurrent = d.D[output][kGridCurrent];
        row.plateCurrent = d.D[output][kPlateCurrent];
        return row;
    };
    SampleCircuit& k = sampleCircuit_;
    k.output = outputRow(kOutput);
    k.gridVoltage = outputRow(kGridVoltage);
    for (std::size_t r = 0; r < 4; ++r) {
        SampleRow& row = k.next[r];
        for (std::size_t j = 0; j < 4; ++j)
            row.state[j] = d.A[r][j];
        row.signal = d.B[kSignal][r];
        row.supply = d.B[kSupply][r] * V_;
        row.gridCurrent = d.B[kGridCurrent][r];
        row.plateCurrent = d.B[kPlateCurrent][r];
    }
    k.lo = lo_;
    k.hi = hi_;
    k.span = hi_ - lo_;
}

// The circuit's rest state with no signal, as a fitted function of the supply.
void TubeStage::resetToOperatingPoint()
{
    const double V = V_;
    const double operatingPoint[4]
        = {-0.121 * std::log(V) - 0.4668, 0.0642 - 0.5576 * V, 0.0645 - 0.5576 * V, (0.0018 * V - 0.6043) * V - 0.4015};
    for (std::size_t r = 0; r < 4; ++r)
        x_[r] = DoublePair{operatingPoint[r], operatingPoint[r]};
}

// For 1024 grid-side voltages p0 across [lo, hi], at the plate-side voltage p1 of channel
// 0's present state, the voltage pair v = p + K_d·i(v) by Newton's method, each solve
// starting from the previous one's solution. An entry holds the currents evaluated at
// the start of the last step.
void TubeStage::buildCurrentTable()
{
    lo_ = -18.0 - 0.106 * V_;
    hi_ = 15.0 - 0.104 * V_;
    const auto& d = discrete_;
    const std::array<double, 4> x = state(0);
    const double p1 = d.C[kPlateVoltage][0] * x[0] + d.C[kPlateVoltage][1] * x[1] + d.C[kPlateVoltage][2] * x[2]
                      + d.C[kPlateVoltage][3] * x[3] + d.D[kPlateVoltage][kSupply] * V_;
    const Matrix<2> K = {{{d.D[kGridVoltage][kGridCurrent], d.D[kGridVoltage][kPlateCurrent]},
                          {d.D[kPlateVoltage][kGridCurrent], d.D[kPlateVoltage][kPlateCurrent]}}};
    Vector<2>& v = newtonVoltages_;
    for (int k = 0; k < kTableSize; ++k) {
        const Vector<2> p = {lo_ + (hi_ - lo_) * k / (kTableSize - 1), p1};
        Triode t(v[0], v[1]);
        for (int iteration = 0;; ++iteration) {
            const Vector<2> F
                = {v[0] - p[0] - (K[0][0] * t.ig + K[0][1] * t.ip), v[1] - p[1] - (K[1][0] * t.ig + K[1][1] * t.ip)};
            // J = I − K_d·∂i/∂v, with ∂i/∂v = [[dIg/dvg, 0], [dIp/dvg, dIp/dvp]].
            const Matrix<2> J = {{{1.0 - (K[0][0] * t.dIgDvg + K[0][1] * t.dIpDvg), -K[0][1] * t.dIpDvp},
                                  {-(K[1][0] * t.dIgDvg + K[1][1] * t.dIpDvg), 1.0 - K[1][1] * t.dIpDvp}}};
            const Vector<2> step = multiply<2>(inverse<2>(J), F);
            v[0] -= step[0];
            v[1] -= step[1];
            const double stepSquared = step[0] * step[0] + step[1] * step[1];
            const double residualSquared = F[0] * F[0] + F[1] * F[1];
            if ((stepSquared <= kNewtonTolerance && residualSquared <= kNewtonTolerance)
                || iteration == kNewtonIterationLimit)
                break;
            t = Triode(v[0], v[1]);
        }
        table_[static_cast<std::size_t>(k)] = {t.ig, t.ip};
    }
    table_[kTableSize] = table_[kTableSize - 1];
}

} // namespace brimtone
