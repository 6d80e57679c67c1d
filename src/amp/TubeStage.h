#pragma once

#include "dsp/LaneStateSpace.h"
#include "dsp/StateSpace.h"

#include <array>
#include <bit>
#include <utility>

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

    double process(double u, int channel) { return process(u, OneChannel{channel}); }

    template <class Lanes>
    LaneValue<Lanes> process(LaneValue<Lanes> u, Lanes lanes)
    {
        using V = LaneValue<Lanes>;
        const auto x = loadState(x_, lanes);
        const SampleCircuit& k = sampleCircuit_;
        V ig;
        V ip;
        currentsAt(sumRow<kGridVoltageTerms>(k.gridVoltage, x, u, V{}, V{}), ig, ip);
        const V y = sumRow<kOutputTerms>(k.output, x, u, ig, ip);
        const std::array<V, 4> next
            = {sumRow<kNextTerms[0]>(k.next[0], x, u, ig, ip), sumRow<kNextTerms[1]>(k.next[1], x, u, ig, ip),
               sumRow<kNextTerms[2]>(k.next[2], x, u, ig, ip), sumRow<kNextTerms[3]>(k.next[3], x, u, ig, ip)};
        storeState(x_, next, lanes);
        return y;
    }

    // The terms of a row of the discrete system, one bit each, in their summing order: the
    // four states, the signal, the supply, the grid and the plate current.
    static constexpr unsigned kState1Term = 0x02;
    static constexpr unsigned kState2Term = 0x04;
    static constexpr unsigned kState3Term = 0x08;
    static constexpr unsigned kStateTerms = 0x0f;
    static constexpr unsigned kSignalTerm = 0x10;
    static constexpr unsigned kSupplyTerm = 0x20;
    static constexpr unsigned kGridCurrentTerm = 0x40;
    static constexpr unsigned kPlateCurrentTerm = 0x80;
    // The terms each row sums. The plate network (states 1 to 3) sees neither the coupling
    // state 0 nor the signal nor the grid current, states 1 and 2 and the output do not see
    // state 3 either: those coefficients are exactly zero at every period and position, so
    // their products add nothing and are skipped. The grid voltage is read before the
    // currents are known.
    static constexpr unsigned kGridVoltageTerms = kStateTerms | kSignalTerm | kSupplyTerm;
    static constexpr unsigned kPlateNetworkTerms = kState1Term | kState2Term | kSupplyTerm | kPlateCurrentTerm;
    static constexpr unsigned kOutputTerms = kPlateNetworkTerms;
    static constexpr unsigned kAllTerms = 0xff;
    static constexpr std::array<unsigned, 4> kNextTerms
        = {kAllTerms, kPlateNetworkTerms, kPlateNetworkTerms, kPlateNetworkTerms | kState3Term};

    // First state value of one channel, or of both (the power bias display).
    double biasState(int channel) const { return x_[0][channel]; }
    template <class Lanes>
    LaneValue<Lanes> biasState(Lanes lanes) const
    {
        return lanes.load(x_[0]);
    }
    std::array<double, 4> state(int channel) const
    {
        return {x_[0][channel], x_[1][channel], x_[2][channel], x_[3][channel]};
    }

    // Grid voltages the current table covers; inputs outside read its end entries. The
    // table's kTableSize entries are followed by a copy of the last one, so that an entry
    // and its successor are always read together.
    VoltageRange tableRange() const { return {lo_, hi_}; }
    const std::array<CurrentPair, kTableSize + 1>& currentTable() const { return table_; }

private:
    // Input columns and output rows of the circuit.
    static constexpr std::size_t kSignal = 0;
    static constexpr std::size_t kSupply = 1;
    static constexpr std::size_t kGridCurrent = 2;
    static constexpr std::size_t kPlateCurrent = 3;
    static constexpr std::size_t kOutput = 0;
    static constexpr std::size_t kGridVoltage = 1;
    static constexpr std::size_t kPlateVoltage = 2;
    static constexpr Coefficient kTableScale{static_cast<double>(kTableSize - 1)};

    using Circuit = StateSpaceMimo<4, 4, 3>;

    // One row of the discrete system (the stage output, a next state, the grid voltage) over
    // the state, the signal, the supply (its term precomputed: the supply is constant) and
    // the two currents, summed in that order.
    struct SampleRow {
        std::array<Coefficient, 4> state;
        Coefficient signal;
        Coefficient supply; // coefficient times V
        Coefficient gridCurrent;
        Coefficient plateCurrent;
    };

    // The discrete system and the table range laid out for process.
    struct SampleCircuit {
        SampleRow output;
        std::array<SampleRow, 4> next;
        SampleRow gridVoltage; // read before the currents are known: its current terms are unused
        Coefficient lo;
        Coefficient hi;
        Coefficient span; // hi − lo
    };

    // The row's products of the chosen terms, summed in order.
    template <unsigned Terms, class V>
    static V sumRow(const SampleRow& row, const std::array<V, 4>& x, V u, V ig, V ip)
    {
        const auto product = [&]<unsigned Term>() -> V {
            if constexpr (Term < 4)
                return row.state[Term] * x[Term];
            else if constexpr (Term == 4)
                return row.signal * u;
            else if constexpr (Term == 5)
                return lanesOf<V>(row.supply);
            else if constexpr (Term == 6)
                return row.gridCurrent * ig;
            else
                return row.plateCurrent * ip;
        };
        constexpr unsigned first = static_cast<unsigned>(std::countr_zero(Terms));
        V sum = product.template operator()<first>();
        const auto add = [&]<unsigned Term>() {
            if constexpr (Term > first && ((Terms >> Term) & 1u) != 0)
                sum = sum + product.template operator()<Term>();
        };
        [&]<unsigned... Term>(std::integer_sequence<unsigned, Term...>) { (add.template operator()<Term>(), ...); }
        (std::make_integer_sequence<unsigned, 8>{});
        return sum;
    }

    // The table entry for a grid voltage, interpolated; outside [lo, hi] the end entry.
    template <class V>
    void currentsAt(V gridVoltage, V& grid, V& plate) const
    {
        const SampleCircuit& k = sampleCircuit_;
        const V v = atMost(atLeast(gridVoltage, lanesOf<V>(k.lo)), lanesOf<V>(k.hi)); // a NaN reads lo
        const V f = (v - k.lo) * kTableScale / lanesOf<V>(k.span);
        V phi;
        const auto i = truncateToIndex(f, phi);
        V aGrid, aPlate, bGrid, bPlate;
        entries(i, aGrid, aPlate);
        // At the last entry the fraction is 0 and its copy goes unused.
        entries(nextIndex(i), bGrid, bPlate);
        const V rest = broadcast<V>(1.0) - phi;
        const auto exact = phi <= broadcast<V>(1e-10);
        grid = select(exact, aGrid, rest * aGrid + phi * bGrid);
        plate = select(exact, aPlate, rest * aPlate + phi * bPlate);
    }

    static int nextIndex(int k) { return k + 1; }
    static IndexPair nextIndex(IndexPair k) { return {k.first + 1, k.second + 1}; }

    void entries(int k, double& grid, double& plate) const
    {
        grid = table_[static_cast<std::size_t>(k)].grid;
        plate = table_[static_cast<std::size_t>(k)].plate;
    }
    void entries(IndexPair k, DoublePair& grid, DoublePair& plate) const
    {
        static_assert(sizeof(CurrentPair) == 2 * sizeof(double));
        const __m128d a = _mm_loadu_pd(&table_[static_cast<std::size_t>(k.first)].grid);
        const __m128d b = _mm_loadu_pd(&table_[static_cast<std::size_t>(k.second)].grid);
        grid = _mm_unpacklo_pd(a, b);
        plate = _mm_unpackhi_pd(a, b);
    }

    void layOutCoefficients();
    void buildCurrentTable();

    Circuit continuous_;
    std::array<CurrentPair, kTableSize + 1> table_{};
    Circuit discrete_;
    SampleCircuit sampleCircuit_;
    LaneState<4> x_{}; // one lane per channel
    double T_ = 1.0;
    double P_ = 0.0;
    double V_ = 0.0;
    double lo_ = 0.0;
    double hi_ = 0.0;
    Vector<2> newtonVoltages_{}; // solution of the last table entry, start of the next solve
};

} // namespace brimtone
