#pragma once

#include "amp/DisplayBlock.h"
#include "dsp/LaneStateSpace.h"
#include "dsp/StateSpace.h"

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

    double process(double u, int channel) { return process(u, OneChannel{channel}); }

    template <class Lanes>
    LaneValue<Lanes> process(LaneValue<Lanes> u, Lanes lanes)
    {
        using V = LaneValue<Lanes>;
        const auto x = loadState(x_, lanes);
        const V v = outputDirectFirst(networkCoefficients_, x, u);
        storeState(x_, advance(networkCoefficients_, x, u), lanes);

        const V z = lanes.load(sectionState_);
        const LaneStateSpace<1>& s = sectionCoefficients_;
        const V y = s.C[0] * z + s.D * v;
        lanes.store(sectionState_, s.A[0][0] * z + s.B[0] * v);
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
    LaneStateSpace<4> networkCoefficients_; // discrete_, laid out for process
    LaneState<4> x_{};
    StateSpace<1> section_;
    LaneStateSpace<1> sectionCoefficients_;
    DoublePair sectionState_{};

    Display display_;
};

} // namespace brimtone
