#pragma once

#include "dsp/LaneStateSpace.h"
#include "amp/OpAmpModel.h"
#include "dsp/StateSpace.h"

#include <cstddef>

namespace brimtone {

// An op-amp inside a reactive feedback network of N states. The network, driven by the
// op-amp output y, feeds back C·x + D·y to the inverting input; the non-inverting input
// takes the stage input u. Each sample the loop equation y = out(u − C_d·x − D_d·y) is
// solved exactly (OpAmpModel::solve), then the network advances with y.
template <std::size_t N>
class OpAmpStage : public OpAmpModel {
public:
    double process(double u, int channel) { return process(u, OneChannel{channel}); }

    template <class Lanes>
    LaneValue<Lanes> process(LaneValue<Lanes> u, Lanes lanes)
    {
        using V = LaneValue<Lanes>;
        const std::array<V, N> x = loadState(x_, lanes);
        V p = u;
        for (std::size_t i = 0; i < N; ++i)
            p -= coefficients_.C[i] * x[i];
        const V y = solve(p, loop_);
        storeState(x_, advance(coefficients_, x, y), lanes);
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
        coefficients_ = LaneStateSpace<N>(discrete_);
        T_ = T;
        loop_ = loopConstants(discrete_.D, loopScale(discrete_.D));
    }

private:
    StateSpace<N> network_;
    StateSpace<N> discrete_;
    LaneStateSpace<N> coefficients_; // discrete_, laid out for process
    double T_ = 0.0;
    Loop loop_; // the loop equation for K = D_d
    LaneState<N> x_{};
};

} // namespace brimtone
