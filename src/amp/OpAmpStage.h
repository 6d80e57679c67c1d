#pragma once

#include "amp/OpAmpModel.h"
#include "amp/StateSpace.h"

#include <cstddef>

namespace brimtone {

// An op-amp inside a reactive feedback network of N states. The network, driven by the
// op-amp output y, feeds back C·x + D·y to the inverting input; the non-inverting input
// takes the stage input u. Each sample the loop equation y = out(u − C_d·x − D_d·y) is
// solved exactly (OpAmpModel::solve), then the network advances with y.
template <std::size_t N>
class OpAmpStage : public OpAmpModel {
public:
    double process(double u, int channel)
    {
        double* x = x_[channel];
        double p = u;
        for (std::size_t i = 0; i < N; ++i)
            p -= discrete_.C[i] * x[i];
        const double y = solve(p, discrete_.D, loopScale_);
        double next[N];
        for (std::size_t i = 0; i < N; ++i) {
            double s = discrete_.B[i] * y;
            for (std::size_t j = 0; j < N; ++j)
                s += discrete_.A[i][j] * x[j];
            next[i] = s;
        }
        for (std::size_t i = 0; i < N; ++i)
            x[i] = next[i];
        return y;
    }

    const StateSpace<N>& network() const { return network_; }
    const StateSpace<N>& discreteNetwork() const { return discrete_; }
    double samplePeriod() const { return T_; }

protected:
    // Both stages run their op-amps from ±16 V with an open-loop gain of 200000
    // (swing 14.37 V) and knees at ±0.433003.
    OpAmpStage()
    {
        setRails(-16.0, 16.0, 200000.0);
        setKnees(-0.433003, 0.433003);
    }

    // Trapezoidal discretisation of the continuous network for the period T.
    void setNetwork(const StateSpace<N>& network, double T)
    {
        network_ = network;
        discrete_ = discretiseBilinear<N>(network, T);
        T_ = T;
        loopScale_ = loopScale(discrete_.D);
    }

private:
    StateSpace<N> network_;
    StateSpace<N> discrete_;
    double T_ = 0.0;
    double loopScale_ = 0.0;  // S/(D_d·G)
    double x_[2][N] = {};
};

} // namespace brimtone
