#pragma once

#include "amp/DisplayBlock.h"
#include "amp/StateSpace.h"

namespace brimtone {

// The output network of the Drive and Lead channels: a four-state network shaped by the
// Shape and Level controls, followed by a one-state section (a high-pass for Lead, a
// shelf for the 2000/2002 Drive settings). Both are discretised by the trapezoidal rule.
class DriveOutputFilter {
public:
    // Single-precision copies for the response display.
    struct Display {
        DisplayBlock<4> network;
        DisplayBlock<1> section;
    };

    // Starts zeroed (silent); the engine's first update fills it.
    DriveOutputFilter() = default;

    // ampMode: 0, 1, 2 for flavours 1994, 2000, 2002; lead: Channel is Lead; shape and
    // level: taper values 0..1; T: the amplifier-path period. Nothing is recomputed when
    // all five equal those of the previous call.
    void setCoefficients(int ampMode, bool lead, double shape, double level, double T);

    double process(double u, int channel)
    {
        double* x = x_[channel];
        double v = discrete_.D * u;
        for (std::size_t i = 0; i < 4; ++i)
            v += discrete_.C[i] * x[i];
        double next[4];
        for (std::size_t i = 0; i < 4; ++i) {
            double s = discrete_.B[i] * u;
            for (std::size_t j = 0; j < 4; ++j)
                s += discrete_.A[i][j] * x[j];
            next[i] = s;
        }
        for (std::size_t i = 0; i < 4; ++i)
            x[i] = next[i];

        double& z = sectionState_[channel];
        const double y = section_.C[0] * z + section_.D * v;
        z = section_.A[0][0] * z + section_.B[0] * v;
        return y;
    }

    // The continuous four-state network and the discrete coefficients in use.
    const StateSpace<4>& network() const { return network_; }
    const StateSpace<4>& discreteNetwork() const { return discrete_; }
    const StateSpace<1>& discreteSection() const { return section_; }

    // Copies the discrete coefficients into the display block (display analysis).
    void refreshDisplayBlock();
    const Display& displayBlock() const { return display_; }

private:
    static StateSpace<4> network2002Lead(double S, double L);
    static StateSpace<4> network2002(double L);
    static StateSpace<4> network2000(double S, double L, bool lead);
    static StateSpace<4> network1994Lead(double S, double L);
    static StateSpace<4> network1994(double S, double L);
    static StateSpace<1> section(int flavour, bool lead);

    // Inputs of the last computation.
    double T_ = 0.0;
    double shape_ = 0.0;
    double level_ = 0.0;
    bool lead_ = false;
    int ampMode_ = 0;

    StateSpace<4> network_;
    StateSpace<4> discrete_;
    double x_[2][4] = {};
    StateSpace<1> section_;
    double sectionState_[2] = {0.0, 0.0};

    Display display_;
};

} // namespace brimtone
