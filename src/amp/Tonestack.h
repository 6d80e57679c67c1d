#pragma once

#include "amp/DisplayBlock.h"
#include "amp/StateSpace.h"

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

    double process(double u, int channel)
    {
        double* x = x_[channel];
        double y = discrete_.D * u;
        for (std::size_t i = 0; i < 3; ++i)
            y += discrete_.C[i] * x[i];
        double next[3];
        for (std::size_t i = 0; i < 3; ++i) {
            double s = discrete_.B[i] * u;
            for (std::size_t j = 0; j < 3; ++j)
                s += discrete_.A[i][j] * x[j];
            next[i] = s;
        }
        for (std::size_t i = 0; i < 3; ++i)
            x[i] = next[i];
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

    double x_[2][3] = {};
    StateSpace<3> network_;
    StateSpace<3> discrete_;

    DisplayBlock<3> display_;
};

} // namespace brimtone
