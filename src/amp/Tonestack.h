#pragma once

#include "amp/DisplayBlock.h"
#include "dsp/LaneStateSpace.h"
#include "dsp/StateSpace.h"

#include <cstddef>

namespace brimtone {

// The passive Low/Mid/High tone network: a three-state system whose continuous matrices
// are closed formulas of the three potentiometer positions, discretised by the
// trapezoidal rule. One network serves the Clean channel, another Drive and Lead.
class Tonestack {
public:
    // Drive/Lead network, all positions at 0.5, 44.1 kHz.
    Tonestack();

    // Positions 0..1 (from the tone tapers), driveNetwork: Channel is Drive or Lead, T: the
    // amplifier-path period. With unchanged controls only a new T is acted on (the
    // network is discretised again); with nothing changed nothing happens.
    void setCoefficients(double low, double mid, double high, bool driveNetwork, double T);

    double process(double u, int channel) { return process(u, OneChannel{channel}); }

    template <class Lanes>
    LaneValue<Lanes> process(LaneValue<Lanes> u, Lanes lanes)
    {
        const auto x = loadState(x_, lanes);
        const LaneValue<Lanes> y = outputDirectFirst(coefficients_, x, u);
        storeState(x_, advance(coefficients_, x, u), lanes);
        return y;
    }

    const StateSpace<3>& network() const { return network_; }
    const StateSpace<3>& discreteNetwork() const { return discrete_; }

    // Copies the discrete coefficients into the display block (display analysis).
    void refreshDisplayBlock() { display_.assign(discrete_); }
    const DisplayBlock<3>& displayBlock() const { return display_; }

private:
    static StateSpace<3> driveLeadNetwork(double low, double mid, double high);
    static StateSpace<3> cleanNetwork(double low, double mid, double high);

    // Inputs of the last computation; the positions start out of range so that the
    // first call always computes.
    double low_ = -1.0;
    double mid_ = -1.0;
    double high_ = -1.0;
    bool driveNetwork_ = false;
    double T_ = 0.0;

    LaneState<3> x_{};
    StateSpace<3> network_;
    StateSpace<3> discrete_;
    LaneStateSpace<3> coefficients_; // discrete_, laid out for process

    DisplayBlock<3> display_;
};

} // namespace brimtone
