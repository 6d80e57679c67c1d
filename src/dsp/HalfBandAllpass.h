#pragma once

#include <array>
#include <type_traits>

#include "dsp/Lanes.h"
#include "dsp/OversamplingCoefficients.h"

namespace brimtone {

// State of the polyphase half-band pair: branch A and branch B, each four first-order
// all-pass sections in series. Both branches are stepped together; entry 2 * s + b belongs
// to section s of branch b (0 = A, 1 = B), the same layout as kHalfBandCoeffs.
// T is the sample type (float, double), or DoublePair for a pair that serves both channels
// (one lane each), stepped through a lane selector.
template <typename T>
class HalfBandAllpass {
public:
    // Runs a through branch A and b through branch B, in place.
    void process(T& a, T& b) { process(a, b, AllLanes<T>{}); }

    template <class Lanes>
    void process(LaneValue<Lanes>& a, LaneValue<Lanes>& b, Lanes lanes)
    {
        LaneValue<Lanes> value[2] = {a, b};
        for (int s = 0; s < 4; ++s) {
            for (int branch = 0; branch < 2; ++branch) {
                const int i = 2 * s + branch;
                // y = (x - y1) * c + x1: a first-order all-pass with unit gain at every frequency.
                const LaneValue<Lanes> y
                    = (value[branch] - lanes.load(previousOutput[i])) * kCoeffs[i] + lanes.load(previousInput[i]);
                lanes.store(previousInput[i], value[branch]);
                lanes.store(previousOutput[i], y);
                value[branch] = y;
            }
        }
        a = value[0];
        b = value[1];
    }

private:
    // The coefficients in the sample type; for both channels in both lanes.
    using Stored = std::conditional_t<std::is_same_v<T, DoublePair>, Coefficient, T>;
    static constexpr std::array<Stored, 8> kCoeffs = convertTable<Stored>(kHalfBandCoeffs);

    std::array<T, 8> previousInput{};
    std::array<T, 8> previousOutput{};
};

} // namespace brimtone
