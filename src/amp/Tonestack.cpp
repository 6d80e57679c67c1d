#include "amp/Tonestack.h"

#include <algorithm>

namespace brimtone {

namespace {

// A Low potentiometer at 0 would short the network; it never goes below this.
constexpr double kMinimumLow = 0.001;

} // namespace

Tonestack::Tonestack() { setCoefficients(0.5, 0.5, 0.5, true, 1.0 / 44100.0); }

void Tonestack::setCoefficients(double low, double mid, double high, bool driveNetwork, double T)
{
    const bool controlsUnchanged = low == low_ && mid == mid_ && high == high_ && driveNetwork == driveNetwork_;
    if (controlsUnchanged && T == T_)
        return;
    T_ = T;
    if (!controlsUnchanged) {
        low_ = low;
        mid_ = mid;
        high_ = high;
        driveNetwork_ = driveNetwork;
        network_ = driveNetwork ? driveLeadNetwork(low, mid, high) : cleanNetwork(low, mid, high);
    }
    discrete_ = discretiseBilinear<3>(network_, T, ProductOrder::InverseRight);
    coefficients_ = LaneStateSpace<3>(discrete_);
}

StateSpace<3> Tonestack::driveLeadNetwork(double low, double mid, double high)
{
    const double L = std::max(low, kMinimumLow);
    const double M = mid;
    const double Hh = high;
    const double v = 1.0 / (11.0 * M + 20.0);
    const double w = 1.0 / ((11.0 * M + 20.0) * L);

    StateSpace<3> s;
    s.A[0] = {-100.0 * (220.0 * L + 11.0 * M + 20.0) * w, -2000.0 * v, 100.0 * (20.0 * L + 11.0 * M + 20.0) * w};
    s.A[1] = {-425531.9148 * v, -212765.9574 * (M + 2.0) * v, 212765.9574 * (M + 2.0) * v};
    s.A[2] = {212.7659574 * (20.0 * L + 11.0 * M + 20.0) * w, 2127.659574 * (M + 2.0) * v,
              -212.7659574 * (10.0 * L * (M + 2.0) + 11.0 * M + 20.0) * w};
    s.B = {-22000.0 * v, -425531.9148 * v, 4255.319148 * v};
    s.C = {20.0 * (Hh - 1.0) * v, (10.0 * Hh * (M + 2.0) + M) * v, 10.0 * (1.0 - Hh) * (M + 2.0) * v};
    s.D = (20.0 * Hh + 11.0 * M) * v;
    return s;
}

StateSpace<3> Tonestack::cleanNetwork(double low, double mid, double high)
{
    const double L = std::max(low, kMinimumLow);
    const double M = mid;
    const double Hh = high;
    const double P = 247059.0 * M + 2e6;
    const double N = 147059.0 * M + 2e6;
    const double v = 1.0 / P;
    const double w = 1.0 / (P * L);

    StateSpace<3> s;
    s.A[0] = {-100.0 * (4941180.0 * L + P) * w, -2e8 * v, 100.0 * (2e6 * L + P) * w};
    s.A[1] = {-133333333300.0 * v, -66666.66666 * N * v, 66666.66666 * N * v};
    s.A[2] = {45.45454545 * (2e6 * L + P) * w, 45.45454545 * N * v, -45.45454545 * (N * L + P) * w};
    s.B = {-4.94118e8 * v, -133333333300.0 * v, 90909090.9 * v};
    s.C = {2e6 * (Hh - 1.0) * v, (N * Hh + 100000.0 * M) * v, (1.0 - Hh) * N * v};
    // The direct term has 2.01e6 in its denominator where the others have 2e6.
    s.D = (2e6 * Hh + 247059.0 * M) / (247059.0 * M + 2.01e6);
    return s;
}

} // namespace brimtone
