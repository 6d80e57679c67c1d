#pragma once

#include "amp/StateSpace.h"

#include <array>

namespace brimtone {

// The triode stage switched by Tube Mode: a four-state circuit around one triode in
// nonlinear state-space form. The linear part is discretised by the trapezoidal rule
// with inputs (signal u, supply V, grid current Ig, plate current Ip) and outputs (stage
// output, grid-cathode voltage, plate-cathode voltage). The two triode currents depend
// on the two voltages, which in turn depend on the currents through the discrete direct
// terms; that implicit pair is solved ahead of time, by Newton's method, for 1024 grid
// voltages at the plate voltage of the moment, so a sample only reads the table.
class TubeStage {
public:
    static constexpr int kTableSize = 1024;

    struct CurrentPair {
        double grid;
        double plate;
    };

    struct VoltageRange {
        double lo;
        double hi;
    };

    // Loads the circuit, then setCoefficients(6.0, 0.5, 1/44100 s), which also puts both
    // channels at the operating point.
    TubeStage();

    // V: supply value (6.0); P: position (0.5); T: the amplifier-path period. A new T or P
    // rediscretises and rebuilds the current table; a new V moves both channels to its
    // operating point.
    void setCoefficients(double V, double P, double T);

    // Both channels' states to the operating point of the stored V.
    void resetToOperatingPoint();

    double process(double u, int channel)
    {
        double* x = x_[channel];
        const auto& d = discrete_;
        const double gridVoltage = d.C[kGridVoltage][0] * x[0] + d.C[kGridVoltage][1] * x[1] +
                                   d.C[kGridVoltage][2] * x[2] + d.C[kGridVoltage][3] * x[3] +
                                   d.D[kGridVoltage][kSignal] * u + d.D[kGridVoltage][kSupply] * V_;
        const CurrentPair i = currentsAt(gridVoltage);

        const double y = d.C[kOutput][0] * x[0] + d.C[kOutput][1] * x[1] + d.C[kOutput][2] * x[2] +
                         d.C[kOutput][3] * x[3] + d.D[kOutput][kSignal] * u +
                         d.D[kOutput][kSupply] * V_ + d.D[kOutput][kGridCurrent] * i.grid +
                         d.D[kOutput][kPlateCurrent] * i.plate;
        double next[4];
        for (std::size_t r = 0; r < 4; ++r)
            next[r] = d.A[r][0] * x[0] + d.A[r][1] * x[1] + d.A[r][2] * x[2] + d.A[r][3] * x[3] +
                      d.B[kSignal][r] * u + d.B[kSupply][r] * V_ + d.B[kGridCurrent][r] * i.grid +
                      d.B[kPlateCurrent][r] * i.plate;
        for (std::size_t r = 0; r < 4; ++r)
            x[r] = next[r];
        return y;
    }

    // First state value of a channel (the power bias display).
    double biasState(int channel) const { return x_[channel][0]; }
    const double* state(int channel) const { return x_[channel]; }

    // Grid voltages the current table covers; inputs outside read its end entries.
    VoltageRange tableRange() const { return {lo_, hi_}; }
    const std::array<CurrentPair, kTableSize>& currentTable() const { return table_; }

private:
    // Input columns and output rows of the circuit.
    static constexpr std::size_t kSignal = 0;
    static constexpr std::size_t kSupply = 1;
    static constexpr std::size_t kGridCurrent = 2;
    static constexpr std::size_t kPlateCurrent = 3;
    static constexpr std::size_t kOutput = 0;
    static constexpr std::size_t kGridVoltage = 1;
    static constexpr std::size_t kPlateVoltage = 2;

    using Circuit = StateSpaceMimo<4, 4, 3>;

    // The table entry for a grid voltage, interpolated; outside [lo, hi] the end entry.
    CurrentPair currentsAt(double gridVoltage) const
    {
        double v = gridVoltage > lo_ ? gridVoltage : lo_; // a NaN reads lo
        v = v < hi_ ? v : hi_;
        const double f = (v - lo_) * (kTableSize - 1) / (hi_ - lo_);
        const int k = static_cast<int>(f);
        const double phi = f - k;
        const CurrentPair& a = table_[static_cast<std::size_t>(k)];
        if (phi <= 1e-10)
            return a;
        const CurrentPair& b = table_[static_cast<std::size_t>(k) + 1];
        return {(1.0 - phi) * a.grid + phi * b.grid, (1.0 - phi) * a.plate + phi * b.plate};
    }

    void buildCurrentTable();

    Circuit continuous_;
    std::array<CurrentPair, kTableSize> table_{};
    Circuit discrete_;
    double x_[2][4] = {};
    double T_ = 1.0;
    double P_ = 0.0;
    double V_ = 0.0;
    double lo_ = 0.0;
    double hi_ = 0.0;
    Vector<2> newtonVoltages_{}; // solution of the last table entry, start of the next solve
};

} // namespace brimtone
